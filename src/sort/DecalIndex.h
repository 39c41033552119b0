// The pad count of every decal of a PCB decal library, read once per run.
// A decal header line is a line that passes the part header line test; its
// runs of spaces count as one, decal word 1 is the decal's name and decal word
// 9 its pad count. Memory grows with the number of decal header lines only.

#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "io/FileSystem.h"
#include "keys/StringIndex.h"
#include "report/RunWarnings.h"

namespace marrowgate {

// What a reader of the decal library that classes its faults itself hears
// of them, in place of the warnings: a header line without a pad count, and
// a name defined again (with the pad count of its first definition).
struct DecalEvents {
    std::function<void(std::string_view name, long long line)> without_pad_count;
    std::function<void(std::string_view name, std::string_view first_pads, std::string_view pads, long long line)>
        defined_again;
};

class DecalIndex {
public:
    // Reads the decal library. Where a name is defined twice the first
    // definition decides; later ones and header lines too short to hold a pad
    // count are reported in `warnings`. A header line longer than the line
    // reader holds (LineReader::kLongestHeld) whose pad count (word 9) does
    // not end within what is held throws RunError naming the file and the
    // line. `check` is called before every chunk is read (it may throw, to
    // stop the run).
    void load(FileSystem& files, const std::filesystem::path& path, RunWarnings& warnings,
              const std::function<void()>& check = {}, const DecalEvents* events = nullptr);

    std::optional<std::string_view> pad_count(std::string_view decal_name) const;
    // Whether a header line of the name was passed over for holding no pad count.
    bool passed_over(std::string_view decal_name) const { return passed_.find(decal_name) != StringIndex::kNone; }
    std::size_t size() const { return names_.size(); }
    // The decals by position, in the order first defined; kNone where absent.
    std::uint32_t position(std::string_view decal_name) const { return names_.find(decal_name); }
    const std::string& name_at(std::uint32_t position) const { return names_.at(position); }
    const std::string& pads_at(std::uint32_t position) const { return pads_[position]; }

private:
    StringIndex names_;
    std::vector<std::string> pads_;  // of each name, in the same order
    StringIndex passed_;             // names of header lines passed over
};

}  // namespace marrowgate
