// Reads a library file line by line from large chunks, handing out each line as
// a view into its buffer (valid until the next call) without copying it.
//
// A line ends at CR LF or at a lone LF; the line end is not part of the line.
// A lone CR is an ordinary byte of its line. A last line without a line end is
// still a line.
//
// Every byte is looked at a bounded number of times, however long its line,
// and memory stays bounded whatever the bytes: next() and next_header_line()
// hold a line whole only up to kLongestHeld bytes. Of a longer line they hand
// out its first kLongestHeld bytes (held() says so) and pass over the rest as
// it comes; through_empty_line() holds no line at all.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "io/FileSystem.h"
#include "io/ChunkReader.h"

namespace marrowgate {

class LineReader {
public:
    // The fuzz build reads in tiny chunks so that short inputs reach the
    // paths of lines that span chunks and of lines longer than the buffer.
#ifdef MARROWGATE_LINE_READER_CHUNK
    static constexpr std::size_t kChunk = MARROWGATE_LINE_READER_CHUNK;
#else
    static constexpr std::size_t kChunk = 1 << 20;
#endif
    // The longest line held whole (without its line end). The fuzz build
    // holds a few dozen bytes, so that its cases reach lines held in part.
#ifdef MARROWGATE_LINE_READER_HELD
    static constexpr std::size_t kLongestHeld = MARROWGATE_LINE_READER_HELD;
#else
    static constexpr std::size_t kLongestHeld = 1 << 20;
#endif
    static_assert(kLongestHeld >= 16);

    // How much of the line handed out last is in hand: all of it; its first
    // kLongestHeld bytes (the line is longer); or none of it, for a header
    // line whose mark comes only after its first kLongestHeld bytes, which
    // were passed over before the mark showed what the line is.
    enum class Held { Whole, Start, None };
    Held held() const { return held_; }

    explicit LineReader(std::unique_ptr<InputFile> input);
    LineReader(FileSystem& files, const std::filesystem::path& path);

    // Next line into `line` (its start only where it is longer than
    // kLongestHeld); false at the end of the file.
    bool next(std::string_view& line);

    // The next line that passes the part header line test (it holds " M " or
    // " I "), as next() would give it, found in one pass over the bytes rather
    // than line by line. When `passed` is given, the number of lines passed
    // over is added to it. False at the end of the file. A header line longer
    // than kLongestHeld is handed out as its start (held() is Start) where
    // the mark lies within it, else as nothing (held() is None); either way
    // the rest of it is still to be read, by through_empty_line() or by the
    // next call.
    bool next_header_line(std::string_view& line, std::size_t* passed = nullptr);

    // Where next_header_line() passes over a line that is neither empty nor
    // "*END*" nor one of the first two (the marker line and the one after
    // it), `stray` is called with its number. Numbers the lines.
    void report_stray_lines(std::function<void(long long)> stray) {
        stray_ = std::move(stray);
        numbering_ = true;
    }

    // `check` is called before every chunk is taken, to stop a long read
    // (it may throw).
    void check_between_chunks(std::function<void()> check) { check_ = std::move(check); }

    // Counts the lines as they are read, for line_number(), in the same
    // pass over the bytes that finds them. Call it before the first line.
    void number_lines() { numbering_ = true; }
    // The number (from 1) of the line next() or next_header_line() gave last.
    long long line_number() const { return static_cast<long long>(last_line_); }

    // Where the reader stands in the file: the offset of the first byte not
    // read yet, and that of the first byte of the line handed out last.
    std::uint64_t position() const { return taken_ - (end_ - begin_); }
    std::uint64_t line_start() const { return line_start_; }
    // The line ends through_empty_line() made so far: a CR LF handed out in
    // place of a lone LF or of the end of the file. While it stays the same,
    // what it handed out are the file's bytes as they are.
    std::uint64_t line_ends_made() const { return line_ends_made_; }

    // Reads the lines up to and including the first empty line and hands them
    // to `out` as bytes, every line followed by CR LF, as next() would give
    // them line by line: a run of lines that end with CR LF in the file goes
    // out in one piece, straight from the buffer; a line that ends with a lone
    // LF, or with the end of the file, goes out with CR LF put in its place.
    // No line is held whole: the bytes in hand go out at the end of every
    // chunk, the start of an unfinished line with them, so that a line of any
    // length costs one pass and a chunk of memory.
    // Returns false when the file ended before an empty line. Where only the
    // start of the line before was handed out, the rest of that line goes
    // out first.
    template <class Out>
    bool through_empty_line(Out&& out) {
        if (mid_line_ && !rest_of_line(out)) return false;
        // `run`: the first byte not handed out yet. `floor`: the start of a
        // line at or before it, or two bytes before it, which is all the test
        // for an empty line or a lone LF looks back at (see find_line_event).
        std::size_t floor = begin_;
        std::size_t run = begin_;
        std::size_t* const feeds = numbering_ ? &line_feeds_ : nullptr;
        for (;;) {
            const char* base = base_;
            for (;;) {
                const std::size_t feed = find_line_event(base, floor, run, end_, feeds);
                if (feed == end_) break;
                if (feeds) ++*feeds;
                if (feed > floor && base[feed - 1] == '\r') {
                    // An empty line ended by CR LF: out with the lines before it.
                    out(std::string_view(base + run, feed + 1 - run));
                    begin_ = feed + 1;
                    return true;
                }
                // A lone LF: the lines before it, then this one with CR LF.
                out(std::string_view(base + run, feed - run));
                out(std::string_view("\r\n", 2));
                ++line_ends_made_;
                run = feed + 1;
                if (feed == floor || base[feed - 1] == '\n') {
                    begin_ = run;
                    return true;
                }
            }
            // No empty line in the bytes in hand: they all go out. The last
            // two (fewer where a line starts after them) stay in hand before
            // the next chunk, so that an LF at its start is told apart as a
            // lone LF, the end of a CR LF, or the end of an empty line.
            if (end_ > run) out(std::string_view(base + run, end_ - run));
            const std::size_t kept = std::min<std::size_t>(end_ - floor, 2);
            begin_ = end_ - kept;
            if (!fill()) {
                // The file ends inside the block; a last line without a line
                // end gets CR LF.
                if (end_ > begin_ && base_[end_ - 1] != '\n') {
                    out(std::string_view("\r\n", 2));
                    ++line_ends_made_;
                }
                begin_ = end_;
                return false;
            }
            floor = begin_;
            run = begin_ + kept;
        }
    }

    // The first LF in [from, to) that ends an empty line or has no CR before
    // it, or `to` when there is none. `floor` is the start of a line at or
    // before `from`; the bytes before it count as a line end. With `feeds`,
    // the LFs before the one found are added to it.
    static std::size_t find_line_event(const char* base, std::size_t floor, std::size_t from, std::size_t to,
                                       std::size_t* feeds = nullptr);
    // The first position in [from, to) of a space, a capital M or I and a
    // space, or `to` when there is none.
    static std::size_t find_header_mark(const char* base, std::size_t from, std::size_t to);

private:
    // Hands out the first kLongestHeld bytes of the line at begin_ and
    // leaves the rest in hand.
    bool hand_out_start(std::string_view& line, Held held);
    // Where the line in hand was handed out in part: passes over the rest
    // of it, through its line end.
    void skip_rest_of_line();
    // Tells `stray_` of the lines in [from, to), which end with an LF, the
    // first of them numbered line_feeds_ + 1; `long_first`: the first one was
    // longer than kLongestHeld.
    void tell_stray_lines(std::size_t from, std::size_t to, bool long_first);
    void tell_stray_line(std::string_view line, long long number, bool is_long);

    // The rest of a line whose start was handed out, through its line end,
    // as through_empty_line() hands out its lines: CR LF in place of a lone
    // LF or of the end of the file. False where the file ends first.
    template <class Out>
    bool rest_of_line(Out& out) {
        mid_line_ = false;
        char before = before_rest_;  // the byte before the one in hand
        for (;;) {
            const char* base = base_;
            if (const void* hit = std::memchr(base + begin_, '\n', end_ - begin_)) {
                const auto feed = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
                if (feed > begin_) before = base[feed - 1];
                if (before == '\r') {
                    out(std::string_view(base + begin_, feed + 1 - begin_));
                } else {
                    out(std::string_view(base + begin_, feed - begin_));
                    out(std::string_view("\r\n", 2));
                    ++line_ends_made_;
                }
                begin_ = feed + 1;
                ++line_feeds_;
                return true;
            }
            if (end_ > begin_) {
                out(std::string_view(base + begin_, end_ - begin_));
                before = base[end_ - 1];
            }
            begin_ = end_;
            if (!fill()) {
                out(std::string_view("\r\n", 2));
                ++line_ends_made_;
                return false;
            }
        }
    }

    // Room before every chunk for the unfinished line of the one before; a
    // longer line is joined in a buffer of its own. (through_empty_line keeps
    // two bytes there.)
    static constexpr std::size_t kHead = kChunk < (std::size_t{64} << 10) ? kChunk : std::size_t{64} << 10;
    static_assert(kHead >= 2);

    // Takes the next chunk, with the bytes in hand, [begin_, end_), put before
    // it. Joining a long line costs a copy of each chunk once (the buffer
    // grows by doubling); the callers keep what they found out about the
    // bytes in hand (as offsets from begin_) and go on from there, so that no
    // line is scanned again from its start.
    bool fill();

    ChunkReader source_;
    // The bytes in hand: [begin_, end_) of base_, in a chunk of the source
    // (slot_) or in long_ while a line longer than kHead is in hand.
    char* base_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    int slot_ = -1;
    struct Free {
        void operator()(char* bytes) const { std::free(bytes); }
    };
    std::unique_ptr<char, Free> long_;  // from malloc, to grow with realloc
    std::size_t long_size_ = 0;
    bool at_eof_ = false;
    std::uint64_t taken_ = 0;       // the bytes of every chunk taken
    std::uint64_t line_start_ = 0;  // see line_start()
    std::uint64_t line_ends_made_ = 0;
    // Where numbering_: the line feeds read so far, and the number of the
    // line handed out last.
    bool numbering_ = false;
    std::size_t line_feeds_ = 0;
    std::size_t last_line_ = 0;
    Held held_ = Held::Whole;
    // The line in hand was handed out in part: begin_ is inside it, after
    // the byte before_rest_.
    bool mid_line_ = false;
    char before_rest_ = 0;
    std::function<void(long long)> stray_;
    std::function<void()> check_;
};

// Walks a part-type library file block by block. A part block is a part header
// line and the lines after it up to and including the first empty line; lines
// between blocks are passed over, and the lines of a block are never tested as
// headers.
class PartBlockReader {
public:
    explicit PartBlockReader(LineReader& lines) : lines_(lines) {}

    // Advances to the next part header line outside a block; false at the end.
    bool next_header(std::string_view& header);

    // Reads the rest of the current block and hands it to on_bytes as bytes,
    // every line followed by CR LF (see LineReader::through_empty_line).
    // Returns false when the file ended before the empty line.
    template <class OnBytes>
    bool copy_body(OnBytes&& on_bytes) {
        return lines_.through_empty_line(on_bytes);
    }

    bool skip_body() {
        return lines_.through_empty_line([](std::string_view) {});
    }

private:
    LineReader& lines_;
};

}  // namespace marrowgate
