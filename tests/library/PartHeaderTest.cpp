#include "library/PartHeader.h"

#include <gtest/gtest.h>

#include "state/Module1.h"

namespace marrowgate {
namespace {

TEST(PartHeader, HeaderTestNeedsACapitalMOrIBetweenSpaces) {
    EXPECT_TRUE(is_part_header_line("LM324 SO14 I ANALOG"));
    EXPECT_TRUE(is_part_header_line("SO14 M 0 0 0"));
    EXPECT_FALSE(is_part_header_line("LM324 SO14 i ANALOG"));
    EXPECT_FALSE(is_part_header_line("LM324 SO14 m ANALOG"));
    EXPECT_FALSE(is_part_header_line("M starts the line"));
    EXPECT_FALSE(is_part_header_line("ends the line I"));
    EXPECT_FALSE(is_part_header_line(""));
    EXPECT_TRUE(is_part_header_line("\"Description\" Class I device"));
}

TEST(PartHeader, TenWordSplit) {
    auto w = ten_word_split("A B C D E F G H I J K");
    EXPECT_EQ(w[1], "A");
    EXPECT_EQ(w[9], "I");
    EXPECT_EQ(w[10], "J K");
    w = ten_word_split("A B C D E F G H I J");
    EXPECT_EQ(w[10], "J");
    w = ten_word_split(" A B");
    EXPECT_EQ(w[1], "");
    EXPECT_EQ(w[2], "A");
    w = ten_word_split("A  B C");
    EXPECT_EQ(w[2], "");
    EXPECT_EQ(w[3], "B");
}

TEST(PartHeader, ShortHeaderLinesKeepTheRestInTheLastWordFound) {
    // Later PADS versions write eight spaces in a part header.
    auto w = ten_word_split("PGA460TPWQ1 SOP65P640X120-16N I ANA 9 1 0 0 0");
    EXPECT_EQ(w[1], "PGA460TPWQ1");
    EXPECT_EQ(w[4], "ANA");
    EXPECT_EQ(w[9], "0");
    EXPECT_EQ(w[10], "");
    w = ten_word_split("X Y I");
    EXPECT_EQ(w[3], "I");
    EXPECT_EQ(w[4], "");
    EXPECT_EQ(w[10], "");
    // An old V4 export aligned with runs of spaces.
    w = ten_word_split("PCAPALT,22UF_50V PCAPALT I UND  0   0   0   2     0");
    EXPECT_EQ(w[4], "UND");
    EXPECT_EQ(w[5], "");
    EXPECT_EQ(w[6], "0");
}

TEST(PartHeader, SuppressionDesEspacesCollapsesRunsOfSpacesOnly) {
    Module1 state;
    std::string line = "a   b";
    Suppression_Des_Espaces(state, line);
    EXPECT_EQ(line, "a b");
    EXPECT_EQ(state.Collapsed_Line, "a b");
    for (auto [in, out] : {std::pair<std::string, std::string>{"  x", " x"}, {"x  ", "x "}, {"a\t\tb", "a\t\tb"},
                           {"", ""}, {"a b c", "a b c"}}) {
        Suppression_Des_Espaces(state, in);
        EXPECT_EQ(in, out);
        EXPECT_EQ(state.Collapsed_Line, out);
    }
}

}  // namespace
}  // namespace marrowgate
