// The news download on Windows, against a server on this machine: what a
// complete download shows, and that a failed or late one changes nothing.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "news/win32/NewsDownload.h"
#include "support/TestSupport.h"

namespace marrowgate::test {
namespace {

using namespace std::chrono_literals;

// Answers every request on 127.0.0.1 with `response`; with `stall`, sends
// it and then holds the connection open without a further byte.
class LocalServer {
public:
    LocalServer(std::string response, bool stall) : response_(std::move(response)), stall_(stall) {
        WSADATA data{};
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof address;
        bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        listen(listener_, 4);
        thread_ = std::thread([this] { serve(); });
    }
    ~LocalServer() {
        stop_ = true;
        closesocket(listener_);
        thread_.join();
        WSACleanup();
    }
    std::string site() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

private:
    void serve() {
        while (!stop_) {
            const SOCKET client = accept(listener_, nullptr, nullptr);
            if (client == INVALID_SOCKET) return;
            std::string request;
            char buffer[1024];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const int got = recv(client, buffer, sizeof buffer, 0);
                if (got <= 0) break;
                request.append(buffer, static_cast<std::size_t>(got));
            }
            send(client, response_.data(), static_cast<int>(response_.size()), 0);
            while (stall_ && !stop_) std::this_thread::sleep_for(10ms);
            closesocket(client);
        }
    }

    std::string response_;
    bool stall_;
    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

std::string http(const char* status, const std::string& body, std::size_t announced = 0) {
    return std::string("HTTP/1.0 ") + status + "\r\nContent-Type: text/plain\r\nContent-Length: " +
           std::to_string(announced ? announced : body.size()) + "\r\n\r\n" + body;
}

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
