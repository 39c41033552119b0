#include "text/ByteScan.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64)
#include <emmintrin.h>
#define MARROWGATE_SSE2 1
#else
#define MARROWGATE_SSE2 0
#endif
#if MARROWGATE_SSE2 && defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define MARROWGATE_AVX2 1  // chosen at run time, where the processor has it
#else
#define MARROWGATE_AVX2 0
#endif

namespace marrowgate::scan {

std::vector<Width> available_widths() {
    std::vector<Width> widths{Width::Plain};
#if MARROWGATE_SSE2
    widths.push_back(Width::Sse2);
#endif
#if MARROWGATE_AVX2
    __builtin_cpu_init();  // this may run before the library has looked at the processor
    if (__builtin_cpu_supports("avx2")) widths.push_back(Width::Avx2);
#endif
    return widths;
}

Width preferred_width() { return available_widths().back(); }

namespace {

bool is_line_event(const char* base, std::size_t floor, std::size_t feed) {
    if (feed == floor || base[feed - 1] != '\r') return true;  // an empty line, or no CR before the LF
    return feed - 1 == floor || base[feed - 2] == '\n';         // "\r" alone on its line
}

template <bool kCount>
std::size_t plain_line_event(const char* base, std::size_t floor, std::size_t from, std::size_t to,
                             std::size_t& feeds) {
    while (from < to) {
        const void* hit = std::memchr(base + from, '\n', to - from);
        if (!hit) return to;
        const auto feed = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
        if (is_line_event(base, floor, feed)) return feed;
        if constexpr (kCount) ++feeds;
        from = feed + 1;
    }
    return to;
}

// The LFs of a mask's first `bits` positions.
std::size_t feeds_before(unsigned lf_mask, unsigned bits) {
    return static_cast<std::size_t>(std::popcount(lf_mask & ((1u << bits) - 1)));
}

#if MARROWGATE_AVX2
// The sum of 32 byte counters.
__attribute__((target("avx2"))) std::size_t sum_of(__m256i counters) {
    // Four sums of eight counters, each under 2,048: added in pairs, then
    // the two left read as 32 and 16 bits (as the 32-bit targets can).
    const __m256i sums = _mm256_sad_epu8(counters, _mm256_setzero_si256());
    const __m128i pairs = _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
    return static_cast<std::size_t>(_mm_cvtsi128_si32(pairs)) + static_cast<std::size_t>(_mm_extract_epi16(pairs, 4));
}

// The sixteen-byte scan below, thirty-two bytes at a time. Advances `from`
// while 32 bytes remain and no event is found; true at an event. Where it
// counts, each byte's LFs go to a counter of its own, summed before any can
// reach 256.
template <bool kCount>
__attribute__((target("avx2"))) bool line_event_avx2(const char* base, std::size_t& from, std::size_t to,
                                                     std::size_t& feeds) {
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i cr = _mm256_set1_epi8('\r');
    // Where it counts, at most 255 steps between sums.
    for (std::size_t stop = to; from + 32 <= to;) {
        if constexpr (kCount) stop = std::min(to, from + 255 * 32);
        __m256i counters = _mm256_setzero_si256();
        for (; from + 32 <= stop; from += 32) {
            const __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + from));
            const __m256i before = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + from - 1));
            const __m256i two_before = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + from - 2));
            const __m256i crlf_in_line =
                _mm256_andnot_si256(_mm256_cmpeq_epi8(two_before, lf), _mm256_cmpeq_epi8(before, cr));
            const __m256i is_lf = _mm256_cmpeq_epi8(here, lf);
            const auto mask = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_andnot_si256(crlf_in_line, is_lf)));
            if (mask != 0) {
                const auto at = static_cast<unsigned>(std::countr_zero(mask));
                if constexpr (kCount)
                    feeds += sum_of(counters) + feeds_before(static_cast<unsigned>(_mm256_movemask_epi8(is_lf)), at);
                from += at;
                return true;
            }
            if constexpr (kCount) counters = _mm256_sub_epi8(counters, is_lf);
        }
        if constexpr (kCount) feeds += sum_of(counters);
    }
    return false;
}

// The header mark scan below, thirty-two positions at a time; the same
// contract as line_event_avx2.
__attribute__((target("avx2"))) bool header_mark_avx2(const char* base, std::size_t& from, std::size_t to) {
    const __m256i space = _mm256_set1_epi8(' ');
    const __m256i m = _mm256_set1_epi8('M');
    const __m256i i = _mm256_set1_epi8('I');
    for (; from + 34 <= to; from += 32) {
        const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + from));
        const __m256i letter = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + from + 1));
        const __m256i last = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + from + 2));
        const __m256i marks = _mm256_and_si256(
            _mm256_and_si256(_mm256_cmpeq_epi8(first, space), _mm256_cmpeq_epi8(last, space)),
            _mm256_or_si256(_mm256_cmpeq_epi8(letter, m), _mm256_cmpeq_epi8(letter, i)));
        const auto mask = static_cast<unsigned>(_mm256_movemask_epi8(marks));
        if (mask != 0) {
            from += static_cast<std::size_t>(std::countr_zero(mask));
            return true;
        }
    }
    return false;
}
#endif

}  // namespace

namespace {

template <bool kCount>
std::size_t line_event_of(Width width, const char* base, std::size_t floor, std::size_t from, std::size_t to,
                          std::size_t& feeds) {
#if MARROWGATE_SSE2
    if (width != Width::Plain) {
        // An LF is an event unless a CR stands before it and no LF before
        // that CR: the wide forms need the two bytes before each position.
        for (; from < to && from < floor + 2; ++from) {
            if (base[from] != '\n') continue;
            if (is_line_event(base, floor, from)) return from;
            if constexpr (kCount) ++feeds;
        }
#if MARROWGATE_AVX2
        if (width == Width::Avx2 && line_event_avx2<kCount>(base, from, to, feeds)) return from;
#endif
        const __m128i lf = _mm_set1_epi8('\n');
        const __m128i cr = _mm_set1_epi8('\r');
        // The events among 16 bytes, and their LFs.
        const auto events = [&](std::size_t at, __m128i& is_lf) {
            const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + at));
            const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + at - 1));
            const __m128i two_before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + at - 2));
            const __m128i crlf_in_line =
                _mm_andnot_si128(_mm_cmpeq_epi8(two_before, lf), _mm_cmpeq_epi8(before, cr));
            is_lf = _mm_cmpeq_epi8(here, lf);
            return static_cast<unsigned>(_mm_movemask_epi8(_mm_andnot_si128(crlf_in_line, is_lf)));
        };
        // Each byte's LFs in a counter of its own (two a step), summed
        // before any can reach 256.
        __m128i counters = _mm_setzero_si128();
        unsigned pending = 0;
        const auto sum = [&] {
            const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
            feeds += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
                     static_cast<std::size_t>(_mm_extract_epi16(sums, 4));
            counters = _mm_setzero_si128();
            pending = 0;
        };
        const auto found = [&](unsigned mask, unsigned lf_mask) {
            const auto at = static_cast<unsigned>(std::countr_zero(mask));
            if constexpr (kCount) {
                sum();
                feeds += feeds_before(lf_mask, at);
            }
            return from + at;
        };
        __m128i low, high;
        for (; from + 32 <= to; from += 32) {
            const unsigned mask = events(from, low) | events(from + 16, high) << 16;
            if (mask != 0)
                return found(mask, static_cast<unsigned>(_mm_movemask_epi8(low)) |
                                       static_cast<unsigned>(_mm_movemask_epi8(high)) << 16);
            if constexpr (kCount) {
                counters = _mm_sub_epi8(_mm_sub_epi8(counters, low), high);
                if (++pending == 127) sum();
            }
        }
        if (from + 16 <= to) {
            if (const unsigned mask = events(from, low))
                return found(mask, static_cast<unsigned>(_mm_movemask_epi8(low)));
            if constexpr (kCount) counters = _mm_sub_epi8(counters, low);
            from += 16;
        }
        if constexpr (kCount) sum();
    }
#else
    (void)width;
#endif
    return plain_line_event<kCount>(base, floor, from, to, feeds);
}

}  // namespace

std::size_t line_event(Width width, const char* base, std::size_t floor, std::size_t from, std::size_t to,
                       std::size_t* feeds) {
    std::size_t none = 0;
    return feeds ? line_event_of<true>(width, base, floor, from, to, *feeds)
                 : line_event_of<false>(width, base, floor, from, to, none);
}

std::size_t header_mark(Width width, const char* base, std::size_t from, std::size_t to) {
#if MARROWGATE_AVX2
    if (width == Width::Avx2 && header_mark_avx2(base, from, to)) return from;
#endif
#if MARROWGATE_SSE2
    if (width != Width::Plain) {
        const __m128i space = _mm_set1_epi8(' ');
        const __m128i m = _mm_set1_epi8('M');
        const __m128i i = _mm_set1_epi8('I');
        for (; from + 18 <= to; from += 16) {
            const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + from));
            const __m128i letter = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + from + 1));
            const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + from + 2));
            const __m128i marks =
                _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(first, space), _mm_cmpeq_epi8(last, space)),
                              _mm_or_si128(_mm_cmpeq_epi8(letter, m), _mm_cmpeq_epi8(letter, i)));
            if (const auto mask = static_cast<unsigned>(_mm_movemask_epi8(marks)))
                return from + static_cast<std::size_t>(std::countr_zero(mask));
        }
    }
#else
    (void)width;
#endif
    for (; from + 3 <= to; ++from)
        if (base[from] == ' ' && (base[from + 1] == 'M' || base[from + 1] == 'I') && base[from + 2] == ' ') return from;
    return to;
}

std::size_t last_line_feed(Width width, const char* bytes, std::size_t size) {
    std::size_t end = size;  // the bytes before it are still to be looked at
#if MARROWGATE_SSE2
    if (width != Width::Plain) {
        const __m128i lf = _mm_set1_epi8('\n');
        for (; end >= 16; end -= 16) {
            const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + end - 16));
            const auto feeds = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(here, lf)));
            if (feeds != 0) return end - 16 + static_cast<std::size_t>(31 - std::countl_zero(feeds));
        }
    }
#else
    (void)width;
#endif
    while (end > 0)
        if (bytes[--end] == '\n') return end;
    return size;
}

std::size_t line_feeds(Width width, const char* bytes, std::size_t size) {
    std::size_t count = 0;
    std::size_t at = 0;
#if MARROWGATE_SSE2
    if (width != Width::Plain) {
        // Sixteen counters of one byte each, summed before any can reach 256.
        const __m128i lf = _mm_set1_epi8('\n');
        while (at + 16 <= size) {
            const std::size_t stop = at + 16 * std::min<std::size_t>((size - at) / 16, 255);
            __m128i counters = _mm_setzero_si128();
            for (; at < stop; at += 16) {
                const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at));
                counters = _mm_sub_epi8(counters, _mm_cmpeq_epi8(here, lf));
            }
            const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
            count += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
                     static_cast<std::size_t>(_mm_extract_epi16(sums, 4));
        }
    }
#else
    (void)width;
#endif
    for (; at < size; ++at) count += bytes[at] == '\n';
    return count;
}

}  // namespace marrowgate::scan
