// Reads a library file line by line from large chunks, handing out each line as
// a view into its buffer (valid until the next call) without copying it.
//
// A line ends at CR LF or at a lone LF; the line end is not part of the line.
// A lone CR is an ordinary byte of its line. A last line without a line end is
// still a line.
#pragma once

#include <cstddef>
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
    // over is added to it. False at the end of the file.
    bool next_header_line(std::string_view& line, std::size_t* passed = nullptr);

    // Reads the lines up to and including the first empty line and hands them
    // to `out` as bytes, every line followed by CR LF, as next() would give
    // them line by line: a run of lines that end with CR LF in the file goes
    // out in one piece, straight from the buffer; a line that ends with a lone
    // LF, or with the end of the file, goes out with CR LF put in its place.
    // Returns false when the file ended before an empty line.
    template <class Out>
    bool through_empty_line(Out&& out) {
        for (;;) {
            const char* base = base_;
            const std::size_t floor = begin_;  // a line starts here
            std::size_t run = begin_;          // start of the bytes not handed out yet
            for (;;) {
                const std::size_t feed = find_line_event(base, floor, run, end_);
                if (feed == end_) break;
                if (feed > floor && base[feed - 1] == '\r') {
                    // An empty line ended by CR LF: out with the lines before it.
                    out(std::string_view(base + run, feed + 1 - run));
                    begin_ = feed + 1;
                    scanned_ = 0;
                    return true;
                }
                // A lone LF: the lines before it, then this one with CR LF.
                out(std::string_view(base + run, feed - run));
                out(std::string_view("\r\n", 2));
                run = feed + 1;
                if (feed == floor || base[feed - 1] == '\n') {
                    begin_ = run;
                    scanned_ = 0;
                    return true;
                }
            }
            // No empty line in the buffer: the whole lines go out, the
            // unfinished one waits for more bytes.
            std::size_t unfinished = end_;
            while (unfinished > run && base[unfinished - 1] != '\n') --unfinished;
            if (unfinished > run) out(std::string_view(base + run, unfinished - run));
            begin_ = unfinished;
            scanned_ = 0;
            if (!fill()) {
                if (begin_ == end_) return false;
                // The last line has no line end.
                out(std::string_view(base_ + begin_, end_ - begin_));
                out(std::string_view("\r\n", 2));
                begin_ = end_;
                return false;
            }
        }
    }

    // The first LF in [from, to) that ends an empty line or has no CR before
    // it, or `to` when there is none. `floor` is the start of a line at or
    // before `from`; the bytes before it count as a line end.
    static std::size_t find_line_event(const char* base, std::size_t floor, std::size_t from, std::size_t to);
    // The first position in [from, to) of a space, a capital M or I and a
    // space, or `to` when there is none.
    static std::size_t find_header_mark(const char* base, std::size_t from, std::size_t to);

private:
    // Room before every chunk for the unfinished line of the one before; a
    // longer line is joined in a buffer of its own.
    static constexpr std::size_t kHead = kChunk < (std::size_t{64} << 10) ? kChunk : std::size_t{64} << 10;

    // Takes the next chunk, with the unfinished line in hand put before it.
    bool fill();

    ReadAhead source_;
    // The bytes in hand: [begin_, end_) of base_, in a chunk of the source
    // (slot_) or in long_ while a line longer than kHead is in hand.
    char* base_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    int slot_ = -1;
    std::unique_ptr<char[]> long_;
    std::size_t long_size_ = 0;
    std::size_t scanned_ = 0;  // bytes after begin_ already known to hold no LF
    bool at_eof_ = false;
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

    // Reads the rest of the current block, calling on_line for each line up to
    // and including the empty line. Returns false when the file ended first.
    template <class OnLine>
    bool body(OnLine&& on_line) {
        std::string_view line;
        while (lines_.next(line)) {
            on_line(line);
            if (line.empty()) return true;
        }
        return false;
    }

    bool skip_body() {
        return lines_.through_empty_line([](std::string_view) {});
    }

private:
    LineReader& lines_;
};

}  // namespace marrowgate
