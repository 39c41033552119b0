// The pad count of every decal of a PCB decal library, read once per run.
// A decal header line is a line that passes the part header line test; its
// runs of spaces count as one, decal word 1 is the decal's name and decal word
// 9 its pad count. Memory grows with the number of decal header lines only.
//
// Every part of both passes looks its decal up, so the names and pad counts
// sit in one block of text and the table holds only their places: one probe
// or two into a small array, rather than a walk through scattered nodes.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <cstdint>
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
    std::size_t size() const { return count_; }

private:
    struct Slot {
        std::size_t hash = 0;
        std::uint32_t name_at = 0;
        std::uint32_t name_size = 0;
        std::uint32_t pads_at = 0;
        std::uint32_t pads_size = 0;
        bool used = false;
    };
    std::string_view text(std::uint32_t at, std::uint32_t size) const { return std::string_view(text_).substr(at, size); }
    // The slot of `name`, or the empty slot where it would go.
    std::size_t slot_of(std::string_view name, std::size_t hash) const;
    void grow();

    std::string text_;  // every name and pad count, one after another
    std::vector<Slot> slots_ = std::vector<Slot>(1024);  // a power of two, at most half full
    std::size_t count_ = 0;
};

}  // namespace marrowgate
