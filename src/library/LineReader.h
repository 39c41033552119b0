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

#include "library/FileSystem.h"

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

    explicit LineReader(std::unique_ptr<InputFile> input);
    LineReader(FileSystem& files, const std::filesystem::path& path);

    // Next line into `line`; false at the end of the file.
    bool next(std::string_view& line);

private:
    bool fill();

    std::unique_ptr<InputFile> input_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
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
        return body([](std::string_view) {});
    }

private:
    LineReader& lines_;
};

}  // namespace marrowgate
