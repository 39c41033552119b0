// Reads a library file line by line from large chunks, handing out each line as
// a view into its buffer (valid until the next call) without copying it.
//
// A line ends at CR LF or at a lone LF; the line end is not part of the line.
// A lone CR is an ordinary byte of its line. A last line without a line end is
// still a line.
//
// Every byte is looked at a bounded number of times, however long its line.
// next() and next_header_line() hand out whole lines, so they hold the line in
// hand whole until its end; through_empty_line() holds no line.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

#include "library/Background.h"
#include "library/FileSystem.h"
#include "library/ReadAhead.h"

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

    // `read_ahead`: the next chunk is read on a thread of its own while this
    // one is scanned (see ReadAhead); otherwise when it is needed.
    explicit LineReader(std::unique_ptr<InputFile> input, bool read_ahead = read_ahead_beside(1));
    LineReader(FileSystem& files, const std::filesystem::path& path, bool read_ahead = read_ahead_beside(1));

    // Next line into `line`; false at the end of the file.
    bool next(std::string_view& line);

    // The next line that passes the part header line test (it holds " M " or
    // " I "), as next() would give it, found in one pass over the bytes rather
    // than line by line. When `passed` is given, the number of lines passed
    // over is added to it. False at the end of the file. A line is held whole
    // until its end even where no mark has been met yet: one may still come.
    bool next_header_line(std::string_view& line, std::size_t* passed = nullptr);

    // Counts the lines as they are read, for line_number(), in the same
    // pass over the bytes that finds them. Call it before the first line.
    void number_lines() { numbering_ = true; }
    // The number (from 1) of the line next() or next_header_line() gave last.
    long long line_number() const { return static_cast<long long>(last_line_); }

    // Reads the lines up to and including the first empty line and hands them
    // to `out` as bytes, every line followed by CR LF, as next() would give
    // them line by line: a run of lines that end with CR LF in the file goes
    // out in one piece, straight from the buffer; a line that ends with a lone
    // LF, or with the end of the file, goes out with CR LF put in its place.
    // No line is held whole: the bytes in hand go out at the end of every
    // chunk, the start of an unfinished line with them, so that a line of any
    // length costs one pass and a chunk of memory.
    // Returns false when the file ended before an empty line.
    template <class Out>
    bool through_empty_line(Out&& out) {
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
                if (end_ > begin_ && base_[end_ - 1] != '\n') out(std::string_view("\r\n", 2));
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

    ReadAhead source_;
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
    // Where numbering_: the line feeds read so far, and the number of the
    // line handed out last.
    bool numbering_ = false;
    std::size_t line_feeds_ = 0;
    std::size_t last_line_ = 0;
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
