#include "text/PartHeader.h"

#include <gtest/gtest.h>

#include <random>

#include "state/Module1.h"

namespace marrowgate {
namespace {

// The first N words of a line joined with '|', as split_words cuts them, or as
// stated: word n ends at the n-th space, the last word holds the rest.
template <std::size_t N>
std::string split(std::string_view line, bool stated) {
    Words<N> words{};
    if (!stated) split_words<N>(line, words);
    std::string joined;
    for (std::size_t n = 1; n <= N; ++n) {
        const std::size_t space = n < N ? line.find(' ') : std::string_view::npos;
        joined.append(n > 1 ? "|" : "").append(stated ? line.substr(0, space) : words[n]);
        line = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
    }
    return joined;
}

TEST(PartHeader, SplitOfLongAndShortLinesWithSpacesAnywhere) {
    // Old V4 exports align the words of a header with runs of spaces.
    EXPECT_EQ(split<10>("PCAPALT,22UF_50V PCAPALT I UND  0   0   0   2     0", false),
              "PCAPALT,22UF_50V|PCAPALT|I|UND||0|||0|  0   2     0");
    EXPECT_EQ(split<10>("X Y I", false), "X|Y|I|||||||");
    std::minstd_rand random(5);
    for (int i = 0; i < 3000; ++i) {
        std::string line;
        for (int j = 0; j < i % 90; ++j) line += random() % 4 == 0 ? ' ' : static_cast<char>('a' + random() % 26);
        ASSERT_EQ(split<2>(line, false), split<2>(line, true)) << line;
        ASSERT_EQ(split<5>(line, false), split<5>(line, true)) << line;
        ASSERT_EQ(split<10>(line, false), split<10>(line, true)) << line;
        ASSERT_EQ(split<11>(line, false), split<11>(line, true)) << line;
        // One word alone, as the keys take it.
        Words<5> words{};
        split_words<5>(line, words);
        ASSERT_EQ(word<1>(line), words[1]) << line;
        ASSERT_EQ(word<2>(line), words[2]) << line;
        ASSERT_EQ(word<4>(line), words[4]) << line;
        // The words of the line with its runs of spaces made one, as a decal
        // header line is read.
        std::string collapsed = line;
        Suppression_Des_Espaces(collapsed);
        Words<11> of_copy{}, in_place{};
        ASSERT_EQ(split_words_collapsed<11>(line, in_place), split_words<11>(collapsed, of_copy)) << line;
        for (std::size_t n = 1; n < 11; ++n) ASSERT_EQ(in_place[n], of_copy[n]) << line << " word " << n;
        std::string rest(in_place[11]);
        Suppression_Des_Espaces(rest);
        ASSERT_EQ(rest, of_copy[11]) << line;
    }
}

TEST(PartHeader, SuppressionDesEspacesCollapsesRunsOfSpacesOnly) {
    for (auto [in, out] : {std::pair<std::string, std::string>{"a   b", "a b"}, {"  x", " x"}, {"x  ", "x "},
                           {"a\t\tb", "a\t\tb"}, {"", ""}, {"a b c", "a b c"}}) {
        Suppression_Des_Espaces(in);
        EXPECT_EQ(in, out);
    }
}

}  // namespace
}  // namespace marrowgate
