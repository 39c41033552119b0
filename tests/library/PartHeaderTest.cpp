#include "library/PartHeader.h"

#include <gtest/gtest.h>

#include <random>

#include "state/Module1.h"

namespace marrowgate {
namespace {

// The split as stated: word n ends at the n-th space, the last word holds the rest.
template <std::size_t N>
std::string stated_split(std::string_view line) {
    std::string joined;
    for (std::size_t n = 1; n <= N; ++n) {
        const std::size_t space = n < N ? line.find(' ') : std::string_view::npos;
        joined.append(n > 1 ? "|" : "").append(line.substr(0, space));
        line = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
    }
    return joined;
}

template <std::size_t N>
std::string split_joined(std::string_view line) {
    Words<N> words{};
    split_words<N>(line, words);
    std::string joined;
    for (std::size_t n = 1; n <= N; ++n) joined.append(n > 1 ? "|" : "").append(words[n]);
    return joined;
}

TEST(PartHeader, SplitOfLongAndShortLinesWithSpacesAnywhere) {
    // Later PADS versions write eight spaces in a part header; old V4 exports
    // align with runs of spaces.
    EXPECT_EQ(split_joined<10>("PCAPALT,22UF_50V PCAPALT I UND  0   0   0   2     0"),
              "PCAPALT,22UF_50V|PCAPALT|I|UND||0|||0|  0   2     0");
    EXPECT_EQ(split_joined<10>("X Y I"), "X|Y|I|||||||");
    std::minstd_rand random(5);
    for (int i = 0; i < 3000; ++i) {
        std::string line;
        const int length = i % 90;
        for (int j = 0; j < length; ++j) line += random() % 4 == 0 ? ' ' : static_cast<char>('a' + random() % 26);
        ASSERT_EQ(split_joined<2>(line), stated_split<2>(line)) << line;
        ASSERT_EQ(split_joined<5>(line), stated_split<5>(line)) << line;
        ASSERT_EQ(split_joined<10>(line), stated_split<10>(line)) << line;
        ASSERT_EQ(split_joined<11>(line), stated_split<11>(line)) << line;
    }
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
