#include "library/LineReader.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>

#include "library/ByteScan.h"
#include "library/PartHeader.h"

namespace marrowgate {

namespace {
// Where nothing has been read yet: a valid address for empty ranges.
char kNothing[1] = {};
const scan::Width kWidth = scan::preferred_width();
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
            last_line_ = ++line_feeds_;
            return true;
        }
        clear = available;
        if (!fill()) {
            if (begin_ == end_) return false;
            // The last line has no line end.
            line = std::string_view(base_ + begin_, end_ - begin_);
            begin_ = end_;
            last_line_ = line_feeds_ + 1;
            return true;
        }
    }
}

std::size_t LineReader::find_line_event(const char* base, std::size_t floor, std::size_t from, std::size_t to,
                                        std::size_t* feeds) {
    return scan::line_event(kWidth, base, floor, from, to, feeds);
}

std::size_t LineReader::find_header_mark(const char* base, std::size_t from, std::size_t to) {
    return scan::header_mark(kWidth, base, from, to);
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
            if ((passed || numbering_) && start != begin_) {
                const std::size_t feeds = scan::line_feeds(kWidth, base + begin_, start - begin_);
                if (passed) *passed += feeds;
                line_feeds_ += feeds;
            }
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
                last_line_ = ++line_feeds_;
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
            last_line_ = line_feeds_ + 1;
            return true;
        }
    }
}

bool PartBlockReader::next_header(std::string_view& header) { return lines_.next_header_line(header); }

}  // namespace marrowgate
