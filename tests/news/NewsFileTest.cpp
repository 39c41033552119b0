#include "news/NewsFile.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace marrowgate {
namespace {

TEST(NewsFile, LastLineRules) {
    test::TempDir dir;
    const auto last_line = [&](const std::string& bytes) {
        test::write_file(dir / "vorlane.news", bytes);
        return last_news_line(real_file_system(), dir / "vorlane.news");
    };
    EXPECT_EQ(last_line(""), "");
    EXPECT_EQ(last_line("first\r\nsecond\r\nthird\r\n"), "third");
    EXPECT_EQ(last_line("first\nsecond\nthird\n"), "third");
    EXPECT_EQ(last_line("first\r\nthird"), "third");      // no line end after the last line
    EXPECT_EQ(last_line("first\r\nsecond\r\n\r\n"), "");  // ends with an empty line
    EXPECT_EQ(last_line("first\n\n"), "");
    EXPECT_EQ(last_line("\r\n"), "");
    EXPECT_EQ(last_line("only\r\n"), "only");
    EXPECT_EQ(last_line("a\r\n  spaced out  \r\n"), "  spaced out  ");

    EXPECT_THROW(last_news_line(real_file_system(), dir / "absent.news"), FileError);
    EXPECT_EQ(news_caption("third"), "News: third");
    EXPECT_EQ(news_caption(""), "News: ");
}

}  // namespace
}  // namespace marrowgate
