#include "library/OutputSet.h"

#include <algorithm>

namespace marrowgate {

OutputSet::OutputSet(FileSystem& files, std::string marker, std::size_t budget)
    : files_io_(files), marker_(std::move(marker)), budget_(budget) {}

std::size_t OutputSet::add(std::filesystem::path path) {
    files_.push_back(Entry{std::move(path), {}});
    return files_.size() - 1;
}

void OutputSet::create_all() {
    per_file_ = std::clamp<std::size_t>(budget_ / std::max<std::size_t>(files_.size(), 1), 8 << 10, 1 << 20);
    const std::string opening = marker_ + "\r\n\r\r\n";
    for (Entry& entry : files_) {
        entry.pending.reserve(per_file_ + per_file_ / 4);  // grown once, not by doubling
        auto out = files_io_.open_write(entry.path, WriteMode::Truncate);
        out->write(opening.data(), opening.size());
        out->close();
    }
}

void OutputSet::write_line(std::size_t index, std::string_view line) {
    Entry& entry = files_[index];
    entry.pending.append(line);
    entry.pending.append("\r\n", 2);
    if (entry.pending.size() >= per_file_) flush(entry);
}

void OutputSet::write_bytes(std::size_t index, std::string_view bytes) {
    Entry& entry = files_[index];
    entry.pending.append(bytes);
    if (entry.pending.size() >= per_file_) flush(entry);
}

void OutputSet::flush(Entry& entry, std::string_view tail) {
    // The gathered bytes leave the entry before they are written: a write that
    // fails may have stored part of them, and abandon() must not append them
    // a second time.
    std::string data;
    data.swap(entry.pending);
    auto out = files_io_.open_write(entry.path, WriteMode::Append);
    out->write(data.data(), data.size());
    out->write(tail.data(), tail.size());
    out->close();
    data.clear();
    if (data.capacity() <= 2 * per_file_) entry.pending.swap(data);  // keep the buffer, unless after a huge line
}

void OutputSet::close_all() {
    static constexpr std::string_view kEnd = "*END*\r\n";
    for (Entry& entry : files_) flush(entry, kEnd);
}

void OutputSet::abandon() noexcept {
    for (Entry& entry : files_) {
        if (entry.pending.empty()) continue;
        try {
            flush(entry);
        } catch (...) {
            entry.pending.clear();
        }
    }
}

}  // namespace marrowgate
