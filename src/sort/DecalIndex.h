// The pad count of every decal of a PCB decal library, read once per run.
// A decal header line is a line that passes the part header line test; its
// runs of spaces count as one, decal word 1 is the decal's name and decal word
// 9 its pad count. Memory grows with the number of decal header lines only.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "library/FileSystem.h"

namespace marrowgate {

class DecalIndex {
public:
    // Reads the decal library. Where a name is defined twice the first
    // definition decides; later ones and header lines too short to hold a pad
    // count are reported in `warnings`.
    void load(FileSystem& files, const std::filesystem::path& path, std::vector<std::string>& warnings);

    std::optional<std::string_view> pad_count(std::string_view decal_name) const;
    std::size_t size() const { return pads_.size(); }

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    std::unordered_map<std::string, std::string, Hash, std::equal_to<>> pads_;
};

}  // namespace marrowgate
