#include "library/LineReader.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>

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

#include "library/PartHeader.h"

namespace marrowgate {

namespace {
// Where nothing has been read yet: a valid address for empty ranges.
char kNothing[1] = {};
}  // namespace

LineReader::LineReader(std::unique_ptr<InputFile> input, bool read_ahead)
    : source_(std::move(input), kChunk, kHead, read_ahead), base_(kNothing) {}

LineReader::LineReader(FileSystem& files, const std::filesystem::path& path, bool read_ahead)
    : LineReader(files.open_read(path), read_ahead) {}

bool LineReader::fill() {
    if (at_eof_) return false;
    const ReadAhead::Chunk chunk = source_.take();
    if (chunk.size == 0) {
        at_eof_ = true;
        return false;
    }
    const std::size_t tail = end_ - begin_;  // the bytes in hand: an unfinished line
    if (tail <= kHead) {
        // The usual case: the unfinished line goes into the room before the chunk.
        std::memcpy(chunk.data - tail, base_ + begin_, tail);
        source_.give_back(slot_);
        long_.reset();
        long_size_ = 0;
        slot_ = chunk.slot;
        base_ = chunk.data - kHead;
        begin_ = kHead - tail;
        end_ = kHead + chunk.size;
        return true;
    }
    // A line longer than the room: joined in a buffer of its own that grows
    // by doubling, so that a very long line costs a copy of each chunk once.
    // It grows in place where the system can (a large block's pages are
    // moved, not its bytes): a line is then held once, not twice while the
    // buffer is copied.
    if (base_ != long_.get()) {
        long_size_ = 2 * (tail + chunk.size);
        long_.reset(static_cast<char*>(std::malloc(long_size_)));
        if (!long_) throw std::bad_alloc();
        std::memcpy(long_.get(), base_ + begin_, tail);
    } else {
        if (begin_ > 0) std::memmove(long_.get(), base_ + begin_, tail);
        if (tail + chunk.size > long_size_) {
            const std::size_t size = std::max(2 * long_size_, 2 * (tail + chunk.size));
            char* bigger = static_cast<char*>(std::realloc(long_.get(), size));
            if (!bigger) throw std::bad_alloc();
            static_cast<void>(long_.release());
            long_.reset(bigger);
            long_size_ = size;
        }
    }
    std::memcpy(long_.get() + tail, chunk.data, chunk.size);
    source_.give_back(slot_);
    source_.give_back(chunk.slot);
    slot_ = -1;
    base_ = long_.get();
    begin_ = 0;
    end_ = tail + chunk.size;
    return true;
}

bool LineReader::next(std::string_view& line) {
    std::size_t clear = 0;  // bytes after begin_ known to hold no LF
    for (;;) {
        const char* start = base_ + begin_;
        const std::size_t available = end_ - begin_;
        if (const void* hit = std::memchr(start + clear, '\n', available - clear)) {
            std::size_t length = static_cast<std::size_t>(static_cast<const char*>(hit) - start);
            begin_ += length + 1;
            if (length > 0 && start[length - 1] == '\r') --length;
            line = std::string_view(start, length);
            return true;
        }
        clear = available;
        if (!fill()) {
            if (begin_ == end_) return false;
            // The last line has no line end.
            line = std::string_view(base_ + begin_, end_ - begin_);
            begin_ = end_;
            return true;
        }
    }
}

namespace {

bool is_line_event(const char* base, std::size_t floor, std::size_t feed) {
    if (feed == floor || base[feed - 1] != '\r') return true;  // an empty line, or no CR before the LF
    return feed - 1 == floor || base[feed - 2] == '\n';         // "\r" alone on its line
}

#if MARROWGATE_AVX2
// The sixteen-byte scan below, thirty-two bytes at a time. Advances `from`
// while fewer than 32 bytes remain or until an event; true at an event.
__attribute__((target("avx2"))) bool find_line_event_avx2(const char* base, std::size_t& from, std::size_t to) {
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
// contract as find_line_event_avx2.
__attribute__((target("avx2"))) bool find_header_mark_avx2(const char* base, std::size_t& from, std::size_t to) {
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

const bool kHasAvx2 = __builtin_cpu_supports("avx2");
#endif

std::size_t find_line_event_from(const char* base, std::size_t floor, std::size_t from, std::size_t to) {
    while (from < to) {
        const void* hit = std::memchr(base + from, '\n', to - from);
        if (!hit) return to;
        const auto feed = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
        if (is_line_event(base, floor, feed)) return feed;
        from = feed + 1;
    }
    return to;
}

// The LFs among `size` bytes.
std::size_t count_line_feeds(const char* bytes, std::size_t size) {
    std::size_t count = 0;
    std::size_t at = 0;
#if MARROWGATE_SSE2
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
#endif
    for (; at < size; ++at) count += bytes[at] == '\n';
    return count;
}

}  // namespace

std::size_t LineReader::find_line_event(const char* base, std::size_t floor, std::size_t from, std::size_t to) {
#if MARROWGATE_SSE2
    // Sixteen bytes at a time: an LF is an event unless a CR stands before it
    // and no LF before that CR. Needs the two bytes before each position.
    for (; from < to && from < floor + 2; ++from)
        if (base[from] == '\n' && is_line_event(base, floor, from)) return from;
#if MARROWGATE_AVX2
    if (kHasAvx2 && find_line_event_avx2(base, from, to)) return from;
#endif
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    const auto events = [&](std::size_t at) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + at));
        const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + at - 1));
        const __m128i two_before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + at - 2));
        const __m128i crlf_in_line = _mm_andnot_si128(_mm_cmpeq_epi8(two_before, lf), _mm_cmpeq_epi8(before, cr));
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
#endif
    return find_line_event_from(base, floor, from, to);
}

std::size_t LineReader::find_header_mark(const char* base, std::size_t from, std::size_t to) {
#if MARROWGATE_AVX2
    if (kHasAvx2 && find_header_mark_avx2(base, from, to)) return from;
#endif
#if MARROWGATE_SSE2
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
#endif
    for (; from + 3 <= to; ++from)
        if (base[from] == ' ' && (base[from + 1] == 'M' || base[from + 1] == 'I') && base[from + 2] == ' ') return from;
    return to;
}

bool LineReader::next_header_line(std::string_view& line, std::size_t* passed) {
    // What is known of the line in hand (from begin_) when more bytes are
    // needed, so that it is never looked at from its start again: no mark
    // starts in its first `unmarked` bytes; or, once `marked`, it holds a
    // mark and its first `clear` bytes hold no LF.
    std::size_t unmarked = 0;
    bool marked = false;
    std::size_t clear = 0;
    for (;;) {
        const char* base = base_;
        if (!marked) {
            const std::size_t from = begin_ + unmarked;
            const std::size_t mark = find_header_mark(base, from, end_);
            // The line that holds the mark, or else the unfinished last line,
            // starts after the last LF before the mark; there is none in the
            // part of the line in hand looked at before.
            std::size_t start = mark;
            while (start > from && base[start - 1] != '\n') --start;
            if (start == from) start = begin_;
            if (passed) *passed += count_line_feeds(base + begin_, start - begin_);
            begin_ = start;
            if (mark == end_) {
                // The last two bytes may begin a mark that the next chunk ends.
                unmarked = std::max(end_ - start, std::size_t{2}) - 2;
            } else {
                marked = true;
                clear = mark - start;
            }
        }
        if (marked) {
            if (const void* hit = std::memchr(base + begin_ + clear, '\n', end_ - begin_ - clear)) {
                const auto feed = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
                std::size_t length = feed - begin_;
                if (length > 0 && base[feed - 1] == '\r') --length;
                line = std::string_view(base + begin_, length);
                begin_ = feed + 1;
                return true;
            }
            clear = end_ - begin_;
        }
        // The line in hand is not whole yet: more bytes, then look on.
        if (!fill()) {
            if (begin_ == end_) return false;
            // The last line has no line end; a mark would have been found by now.
            const std::string_view last(base_ + begin_, end_ - begin_);
            begin_ = end_;
            if (!marked) {
                if (passed) ++*passed;
                return false;
            }
            line = last;
            return true;
        }
    }
}

bool PartBlockReader::next_header(std::string_view& header) { return lines_.next_header_line(header); }

}  // namespace marrowgate
