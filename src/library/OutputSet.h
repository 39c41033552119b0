// The output library files of one run. Each starts with the marker line and a
// line of one carriage return, receives its part blocks in input order and
// ends with "*END*". Blocks are gathered per file in memory within a fixed
// budget shared by all files and appended in large writes, so a run costs a
// few opens per file instead of one per block, whatever the number of keys.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "library/FileSystem.h"

namespace marrowgate {

class OutputSet {
public:
    static constexpr std::size_t kDefaultBudget = std::size_t{16} << 20;

    OutputSet(FileSystem& files, std::string marker, std::size_t budget = kDefaultBudget);

    // Registers the file of the next key; returns its index.
    std::size_t add(std::filesystem::path path);
    std::size_t size() const { return files_.size(); }
    const std::filesystem::path& path(std::size_t index) const { return files_[index].path; }

    // Creation pass: creates or empties every file, in order, with its two
    // opening lines.
    void create_all();
    // Appends one line and its CR LF to the file of `index`.
    void write_line(std::size_t index, std::string_view line);
    // Appends bytes as they are (whole lines with their CR LF).
    void write_bytes(std::size_t index, std::string_view bytes);
    // Closing pass: appends what is gathered and "*END*" to every file, in order.
    void close_all();
    // After a failure: stores what was gathered, as far as it goes.
    void abandon() noexcept;

private:
    struct Entry {
        std::filesystem::path path;
        std::string pending;
    };
    void flush(Entry& entry, std::string_view tail = {});

    FileSystem& files_io_;
    std::string marker_;
    std::size_t budget_;
    std::size_t per_file_ = 0;
    std::vector<Entry> files_;
};

}  // namespace marrowgate
