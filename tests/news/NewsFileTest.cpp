#include "news/NewsFile.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace marrowgate {
namespace {

TEST(NewsFile, TheCaptionShowsTheLastLineEvenWhenEmpty) {
    test::TempDir dir;
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"first\r\nsecond\r\nthird\r\n", "third"},
        {"first\nsecond\nthird\n", "third"},
        {"first\r\nthird", "third"},  // no line end after the last line
        {"first\r\nsecond\r\n\r\n", ""},
        {"first\n\n", ""},
        {"\r\n", ""},
        {"only\r\n", "only"},
        {"a\r\n  spaced out  \r\n", "  spaced out  "},
    };
    for (const auto& [bytes, last] : cases) {
        test::write_file(dir / "vorlane.news", bytes);
        EXPECT_EQ(news_caption(last_news_line(real_file_system(), dir / "vorlane.news")), std::string("News: ") + last)
            << bytes;
    }
    EXPECT_THROW(last_news_line(real_file_system(), dir / "absent.news"), FileError);
}

}  // namespace
}  // namespace marrowgate
