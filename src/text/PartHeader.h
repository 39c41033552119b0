// The part header line and its words.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64)
#include <emmintrin.h>
#define MARROWGATE_PART_HEADER_SSE2 1
#else
#define MARROWGATE_PART_HEADER_SSE2 0
#endif

namespace marrowgate {

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
    std::size_t start = 0;  // of the word in hand
    std::size_t from = 0;   // every space before it has cut a word
    const auto cut = [&](std::size_t space) {
        words[++cuts] = std::string_view(line.data() + start, space - start);
        start = space + 1;
    };
#if MARROWGATE_PART_HEADER_SSE2
    // Sixteen bytes at a time: every part of both passes cuts its header line,
    // and a search call per word costs more than the words are long.
    for (; cuts + 1 < N && from + 16 <= line.size(); from += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + from));
        auto spaces = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' '))));
        for (; spaces != 0 && cuts + 1 < N; spaces &= spaces - 1)
            cut(from + static_cast<std::size_t>(std::countr_zero(spaces)));
    }
#endif
    while (cuts + 1 < N) {
        const std::size_t space = line.find(' ', std::max(from, start));
        if (space == std::string_view::npos) {
            words[cuts + 1] = line.substr(start);
            for (std::size_t later = cuts + 2; later <= N; ++later) words[later] = {};
            return cuts;
        }
        cut(space);
    }
    words[N] = line.substr(start);
    return cuts;
}

// Word N alone, as split_words<N + 1> cuts it: what lies between the line's
// (N-1)th and Nth spaces, the rest of the line where it has no Nth space,
// and nothing where it has fewer than N - 1. The key of every part is made
// of one word: only the spaces up to the Nth are looked for, and no other
// word is kept.
template <std::size_t N>
std::string_view word(std::string_view line) {
    static_assert(N >= 1);
    std::size_t seen = 0;   // spaces met
    std::size_t start = 0;  // of the word after the last space met
    std::size_t from = 0;
#if MARROWGATE_PART_HEADER_SSE2
    for (; from + 16 <= line.size(); from += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + from));
        for (auto spaces = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' '))));
             spaces != 0; spaces &= spaces - 1) {
            const std::size_t space = from + static_cast<std::size_t>(std::countr_zero(spaces));
            if (++seen == N) return line.substr(start, space - start);
            start = space + 1;
        }
    }
#endif
    for (; from < line.size(); ++from) {
        if (line[from] != ' ') continue;
        if (++seen == N) return line.substr(start, from - start);
        start = from + 1;
    }
    return seen + 1 == N ? line.substr(start) : std::string_view();
}

// The words split_words<N> cuts from the line once Suppression_Des_Espaces
// has made each run of spaces one, found without making that copy: words 1
// to N-1 and the number of cuts are the same. Word N, the rest of the line,
// keeps its runs of spaces.
template <std::size_t N>
std::size_t split_words_collapsed(std::string_view line, Words<N>& words) {
    // Byte by byte: the words of a decal header line are a few bytes long,
    // shorter than a search call costs.
    const char* const first = line.data();
    const char* const end = first + line.size();
    const char* start = first;  // of the word in hand
    std::size_t cuts = 0;
    for (const char* at = first; at != end && cuts + 1 < N; ++at) {
        if (*at != ' ') continue;
        words[++cuts] = std::string_view(start, static_cast<std::size_t>(at - start));
        while (at + 1 != end && at[1] == ' ') ++at;  // the run counts as one space
        start = at + 1;
    }
    words[cuts + 1] = std::string_view(start, static_cast<std::size_t>(end - start));
    for (std::size_t later = cuts + 2; later <= N; ++later) words[later] = {};
    return cuts;
}

// Every run of two or more spaces of Line_01 becomes one space, in place;
// nothing else changes.
void Suppression_Des_Espaces(std::string& Line_01);

}  // namespace marrowgate
