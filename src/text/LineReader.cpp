#include "text/LineReader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "text/ByteScan.h"
#include "text/PartHeader.h"

namespace marrowgate {

namespace {
// Where nothing has been read yet: a valid address for empty ranges.
char kNothing[1] = {};
const scan::Width kWidth = scan::preferred_width();
}  // namespace

LineReader::LineReader(std::unique_ptr<InputFile> input)
    : source_(std::move(input), kChunk, kHead), base_(kNothing) {}

LineReader::LineReader(FileSystem& files, const std::filesystem::path& path) : LineReader(files.open_read(path)) {}

bool LineReader::fill() {
    if (at_eof_) return false;
    if (check_) check_();
    const ChunkReader::Chunk chunk = source_.take();
    if (chunk.size == 0) {
        at_eof_ = true;
        return false;
    }
    taken_ += chunk.size;
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

bool LineReader::hand_out_start(std::string_view& line, Held held) {
    line = held == Held::Start ? std::string_view(base_ + begin_, kLongestHeld) : std::string_view();
    if (held == Held::Start) {
        begin_ += kLongestHeld;
        before_rest_ = line.back();
    } else {
        before_rest_ = 0;
    }
    held_ = held;
    mid_line_ = true;
    last_line_ = line_feeds_ + 1;
    line_start_ = taken_ - (end_ - begin_) - line.size();
    return true;
}

void LineReader::skip_rest_of_line() {
    mid_line_ = false;
    for (;;) {
        if (const void* hit = std::memchr(base_ + begin_, '\n', end_ - begin_)) {
            begin_ = static_cast<std::size_t>(static_cast<const char*>(hit) - base_) + 1;
            ++line_feeds_;
            return;
        }
        begin_ = end_;
        if (!fill()) return;
    }
}

bool LineReader::next(std::string_view& line) {
    if (mid_line_) skip_rest_of_line();
    held_ = Held::Whole;
    std::size_t clear = 0;  // bytes after begin_ known to hold no LF
    for (;;) {
        const char* start = base_ + begin_;
        const std::size_t available = end_ - begin_;
        if (const void* hit = std::memchr(start + clear, '\n', available - clear)) {
            std::size_t length = static_cast<std::size_t>(static_cast<const char*>(hit) - start);
            if (length > 0 && start[length - 1] == '\r') --length;
            if (length > kLongestHeld) return hand_out_start(line, Held::Start);
            begin_ = static_cast<std::size_t>(static_cast<const char*>(hit) - base_) + 1;
            line = std::string_view(start, length);
            last_line_ = ++line_feeds_;
            return true;
        }
        clear = available;
        // Longer than is held, whatever its line end: no more of it is joined.
        if (available >= kLongestHeld + 2) return hand_out_start(line, Held::Start);
        if (!fill()) {
            if (begin_ == end_) return false;
            if (end_ - begin_ > kLongestHeld) return hand_out_start(line, Held::Start);
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

void LineReader::tell_stray_line(std::string_view line, long long number, bool is_long) {
    if (number <= 2 || (!is_long && (line.empty() || line == "*END*"))) return;
    stray_(number);
}

void LineReader::tell_stray_lines(std::size_t from, std::size_t to, bool long_first) {
    long long number = static_cast<long long>(line_feeds_) + 1;
    for (std::size_t at = from; at < to; ++number) {
        const auto feed =
            static_cast<std::size_t>(static_cast<const char*>(std::memchr(base_ + at, '\n', to - at)) - base_);
        std::size_t length = feed - at;
        if (length > 0 && base_[feed - 1] == '\r') --length;
        tell_stray_line(std::string_view(base_ + at, length), number, long_first && at == from);
        at = feed + 1;
    }
}

bool LineReader::next_header_line(std::string_view& line, std::size_t* passed) {
    if (mid_line_) skip_rest_of_line();
    held_ = Held::Whole;
    // What is known of the line in hand (from begin_) when more bytes are
    // needed, so that it is never looked at from its start again: no mark
    // starts in its first `unmarked` bytes; or, once `marked`, it holds a
    // mark `mark_at` bytes from its start and its first `clear` bytes hold no
    // LF. `passing`: the line in hand is longer than is held and holds no
    // mark in its first kLongestHeld bytes; only its last two bytes are kept,
    // as a mark may start there.
    std::size_t unmarked = 0;
    bool marked = false;
    std::size_t mark_at = 0;
    std::size_t clear = 0;
    bool passing = false;
    const bool count = passed || numbering_;
    for (;;) {
        const char* base = base_;
        if (!marked) {
            const std::size_t from = begin_ + unmarked;
            const std::size_t mark = find_header_mark(base, from, end_);
            // The line that holds the mark, or else the unfinished last line,
            // starts after the last LF before the mark; there is none in the
            // part of the line in hand looked at before. It is looked for
            // back from the mark, over that line only, not line by line
            // from the last header.
            std::size_t start = begin_;
            const std::size_t low = std::max(begin_, from);
            const std::size_t feed = scan::last_line_feed(kWidth, base + low, mark - low);
            if (feed != mark - low) start = low + feed + 1;
            if (start != begin_) {
                if (stray_) tell_stray_lines(begin_, start, passing);
                if (count) {
                    const std::size_t feeds = scan::line_feeds(kWidth, base + begin_, start - begin_);
                    if (passed) *passed += feeds;
                    line_feeds_ += feeds;
                }
                passing = false;
            }
            begin_ = start;
            if (mark != end_) {
                // The mark came after the start of the line was passed over.
                if (passing) return hand_out_start(line, Held::None);
                marked = true;
                mark_at = mark - start;
                clear = mark_at;
            } else if (passing || end_ - begin_ >= kLongestHeld + 2) {
                // No mark within what is held of the line: it is passed over
                // as it comes.
                passing = true;
                begin_ = end_ - 2;
                unmarked = 0;
            } else {
                // The last two bytes may begin a mark that the next chunk ends.
                unmarked = std::max(end_ - start, std::size_t{2}) - 2;
            }
        }
        if (marked) {
            // A header line longer than is held: its start, where the mark lies within it.
            const Held part = mark_at + 3 <= kLongestHeld ? Held::Start : Held::None;
            if (const void* hit = std::memchr(base + begin_ + clear, '\n', end_ - begin_ - clear)) {
                const auto feed = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
                std::size_t length = feed - begin_;
                if (length > 0 && base[feed - 1] == '\r') --length;
                if (length > kLongestHeld) return hand_out_start(line, part);
                line = std::string_view(base + begin_, length);
                line_start_ = position();
                begin_ = feed + 1;
                last_line_ = ++line_feeds_;
                return true;
            }
            clear = end_ - begin_;
            if (clear >= kLongestHeld + 2) return hand_out_start(line, part);
        }
        // The line in hand is not whole yet: more bytes, then look on.
        if (!fill()) {
            if (begin_ == end_) return false;
            if (!marked) {
                // The last line has no line end, and no mark.
                if (passed) ++*passed;
                if (stray_)
                    tell_stray_line(std::string_view(base_ + begin_, end_ - begin_),
                                    static_cast<long long>(line_feeds_) + 1, passing);
                begin_ = end_;
                return false;
            }
            if (end_ - begin_ > kLongestHeld) return hand_out_start(line, mark_at + 3 <= kLongestHeld ? Held::Start : Held::None);
            line = std::string_view(base_ + begin_, end_ - begin_);
            line_start_ = position();
            begin_ = end_;
            last_line_ = line_feeds_ + 1;
            return true;
        }
    }
}

bool PartBlockReader::next_header(std::string_view& header) { return lines_.next_header_line(header); }

}  // namespace marrowgate
