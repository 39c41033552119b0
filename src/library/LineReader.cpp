#include "library/LineReader.h"

#include <cstring>

#include "library/PartHeader.h"

namespace marrowgate {

LineReader::LineReader(std::unique_ptr<InputFile> input) : input_(std::move(input)), buffer_(kChunk) {}

LineReader::LineReader(FileSystem& files, const std::filesystem::path& path)
    : LineReader(files.open_read(path)) {}

bool LineReader::fill() {
    if (at_eof_) return false;
    if (begin_ > 0) {
        // Move the unfinished line to the front.
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);  // a line longer than the buffer
    const std::size_t got = input_->read(buffer_.data() + end_, buffer_.size() - end_);
    if (got == 0) {
        at_eof_ = true;
        return false;
    }
    end_ += got;
    return true;
}

bool LineReader::next(std::string_view& line) {
    for (;;) {
        const char* start = buffer_.data() + begin_;
        const std::size_t available = end_ - begin_;
        if (scanned_ < available) {
            const void* hit = std::memchr(start + scanned_, '\n', available - scanned_);
            if (hit) {
                std::size_t length = static_cast<std::size_t>(static_cast<const char*>(hit) - start);
                begin_ += length + 1;
                scanned_ = 0;
                if (length > 0 && start[length - 1] == '\r') --length;
                line = std::string_view(start, length);
                return true;
            }
            scanned_ = available;
        }
        if (!fill()) {
            if (begin_ == end_) return false;
            // The last line has no line end.
            line = std::string_view(buffer_.data() + begin_, end_ - begin_);
            begin_ = end_;
            scanned_ = 0;
            return true;
        }
    }
}

bool PartBlockReader::next_header(std::string_view& header) {
    std::string_view line;
    while (lines_.next(line)) {
        if (is_part_header_line(line)) {
            header = line;
            return true;
        }
    }
    return false;
}

}  // namespace marrowgate
