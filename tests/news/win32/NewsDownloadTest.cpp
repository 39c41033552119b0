// The news download on Windows, against a server on this machine: what a
// complete download shows, and that a failed or late one changes nothing.
#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "news/win32/LocalServer.h"
#include "news/win32/NewsDownload.h"
#include "support/TestSupport.h"

namespace marrowgate::test {
namespace {

using namespace std::chrono_literals;

struct NewsCase : NamedCase {
    std::string response;
    bool stall;
    std::string shown;  // empty: nothing shown, the earlier news file kept
};

class NewsDownloadTest : public testing::TestWithParam<NewsCase> {};

TEST_P(NewsDownloadTest, ShowsTheLastLineOfACompleteDownloadOnly) {
    const NewsCase& news = GetParam();
    TempDir dir;
    write_file(dir / "vorlane.news", "earlier news\r\n");
    std::mutex mutex;
    std::vector<std::string> shown;
    {
        LocalServer server(news.response, news.stall);
        win32::NewsDownload download;
        download.start(
            server.site(), dir.path(),
            [&](const std::string& caption) {
                const std::lock_guard lock(mutex);
                shown.push_back(caption);
            },
            1s);
        for (int i = 0; i < 300 && !download.finished(); ++i) std::this_thread::sleep_for(10ms);
        if (news.stall) std::this_thread::sleep_for(1500ms);  // past the limit
    }
    const std::lock_guard lock(mutex);
    if (news.shown.empty()) {
        EXPECT_TRUE(shown.empty());
        EXPECT_EQ(read_file(dir / "vorlane.news"), "earlier news\r\n");
    } else {
        EXPECT_EQ(shown, std::vector<std::string>{news.shown});
        EXPECT_EQ(read_file(dir / "vorlane.news"), "first\r\nsecond\r\nthe third\r\n");
    }
    EXPECT_EQ(file_names(dir.path()), std::vector<std::string>{"vorlane.news"}) << "no partial file is left";
}

const std::string kBody = "first\r\nsecond\r\nthe third\r\n";

INSTANTIATE_TEST_SUITE_P(
    Server, NewsDownloadTest,
    testing::Values(NewsCase{{"complete"}, http("200 OK", kBody), false, "News: the third"},
                    NewsCase{{"not_found"}, http("404 Not Found", "no such page\r\n"), false, ""},
                    NewsCase{{"cut_short"}, http("200 OK", "first\r\n", 5000), false, ""},
                    NewsCase{{"stalled"}, http("200 OK", "first\r\n", 5000), true, ""}),
    case_name);

TEST(NewsUrl, IsTheSiteFolloweByTheNewsPathForHttpOnly) {
    EXPECT_EQ(win32::news_url("http://www.vorlane.example/"), L"http://www.vorlane.example/news/vorlane.news");
    EXPECT_EQ(win32::news_url("HTTPS://host"), L"HTTPS://host/news/vorlane.news");
    EXPECT_EQ(win32::news_url("file:///C:/news"), L"");
    EXPECT_EQ(win32::news_url("vorlane.example"), L"");
}

}  // namespace
}  // namespace marrowgate::test
