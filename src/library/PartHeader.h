// The part header line and its words.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace marrowgate {

struct Module1;

// A part header line holds " M " or " I " (space, capital letter, space)
// anywhere. In a part-type library these lines open a part type; in a decal
// library they open a decal.
bool is_part_header_line(std::string_view line);

// Words 1..N of a header line; index 0 is never used.
template <std::size_t N>
using Words = std::array<std::string_view, N + 1>;

// Words 1..N-1 end at the first N-1 spaces of the line and word N is the rest.
// The split never fails: when the line has fewer spaces, the last word found
// holds the rest of the line and the later words are empty. Returns the number
// of spaces that ended a word.
template <std::size_t N>
std::size_t split_words(std::string_view line, Words<N>& words) {
    std::size_t cuts = 0;
    for (std::size_t n = 1; n < N; ++n) {
        const std::size_t space = line.find(' ');
        if (space == std::string_view::npos) {
            words[n] = line;
            line = {};
            for (std::size_t later = n + 1; later <= N; ++later) words[later] = {};
            return cuts;
        }
        words[n] = line.substr(0, space);
        line.remove_prefix(space + 1);
        ++cuts;
    }
    words[N] = line;
    return cuts;
}

// A hash of a short key (a few characters: an initial, a family, a decal
// name), cheaper than the library's for such lengths.
inline std::size_t short_key_hash(std::string_view key) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : key) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return static_cast<std::size_t>(hash ^ (hash >> 29));
}

inline Words<10> ten_word_split(std::string_view line) {
    Words<10> words{};
    split_words<10>(line, words);
    return words;
}

// Every run of two or more spaces becomes one space; nothing else changes.
void collapse_spaces(std::string& line);

// Collapses the runs of spaces of Line_01 in place and leaves the same text in
// the state's Collapsed_Line.
void Suppression_Des_Espaces(Module1& state, std::string& Line_01);

}  // namespace marrowgate
