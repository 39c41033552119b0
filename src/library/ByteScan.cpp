#include "library/ByteScan.h"

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

std::size_t plain_line_event(const char* base, std::size_t floor, std::size_t from, std::size_t to) {
    while (from < to) {
        const void* hit = std::memchr(base + from, '\n', to - from);
        if (!hit) return to;
        const auto feed = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
        if (is_line_event(base, floor, feed)) return feed;
        from = feed + 1;
    }
    return to;
}

#if MARROWGATE_AVX2
// The sixteen-byte scan below, thirty-two bytes at a time. Advances `from`
// while 32 bytes remain and no event is found; true at an event.
__attribute__((target("avx2"))) bool line_event_avx2(const char* base, std::size_t& from, std::size_t to) {
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i cr = _mm256_set1_epi8('\r');
    for (; from + 32 <= to; from += 32) {
        const __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + from));
        const __m256i before = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + from - 1));
        const __m256i two_before = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + from - 2));
        const __m256i crlf_in_line =
            _mm256_andnot_si256(_mm256_cmpeq_epi8(two_before, lf), _mm256_cmpeq_epi8(before, cr));
        const auto mask = static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_andnot_si256(crlf_in_line, _mm256_cmpeq_epi8(here, lf))));
        if (mask != 0) {
            from += static_cast<std::size_t>(std::countr_zero(mask));
            return true;
        }
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

std::size_t line_event(Width width, const char* base, std::size_t floor, std::size_t from, std::size_t to) {
#if MARROWGATE_SSE2
    if (width != Width::Plain) {
        // An LF is an event unless a CR stands before it and no LF before
        // that CR: the wide forms need the two bytes before each position.
        for (; from < to && from < floor + 2; ++from)
            if (base[from] == '\n' && is_line_event(base, floor, from)) return from;
#if MARROWGATE_AVX2
        if (width == Width::Avx2 && line_event_avx2(base, from, to)) return from;
#endif
        const __m128i lf = _mm_set1_epi8('\n');
        const __m128i cr = _mm_set1_epi8('\r');
        const auto events = [&](std::size_t at) {
            const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + at));
            const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + at - 1));
            const __m128i two_before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + at - 2));
            const __m128i crlf_in_line =
                _mm_andnot_si128(_mm_cmpeq_epi8(two_before, lf), _mm_cmpeq_epi8(before, cr));
            return static_cast<unsigned>(_mm_movemask_epi8(_mm_andnot_si128(crlf_in_line, _mm_cmpeq_epi8(here, lf))));
        };
        for (; from + 32 <= to; from += 32) {
            const unsigned mask = events(from) | events(from + 16) << 16;
            if (mask != 0) return from + static_cast<std::size_t>(std::countr_zero(mask));
        }
        if (from + 16 <= to) {
            if (const unsigned mask = events(from)) return from + static_cast<std::size_t>(std::countr_zero(mask));
            from += 16;
        }
    }
#else
    (void)width;
#endif
    return plain_line_event(base, floor, from, to);
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
