#include "sort/DecalIndex.h"

#include <cstdint>
#include <functional>

#include "library/LineReader.h"
#include "library/PartHeader.h"

namespace marrowgate {

void DecalIndex::load(FileSystem& files, const std::filesystem::path& path, std::vector<std::string>& warnings) {
    LineReader lines(files, path);
    std::string_view line;
    std::string collapsed;
    long long line_number = 0;
    std::size_t passed = 0;  // lines that are no decal header lines
    while (lines.next_header_line(line, &passed)) {
        line_number += static_cast<long long>(passed) + 1;
        passed = 0;
        collapsed.assign(line);
        collapse_spaces(collapsed);
        Words<11> words{};
        if (split_words<11>(collapsed, words) < 10) {
            warnings.push_back(display_path(path) + ", line " + std::to_string(line_number) +
                               ": the decal header line has too few fields to hold a pad count; passed over.");
            continue;
        }
        const std::string_view name = words[1];
        const std::size_t hash = short_key_hash(name);
        const Slot& found = slots_[slot_of(name, hash)];
        if (!found.used) {
            if (text_.size() + name.size() + words[9].size() > UINT32_MAX)
                throw FileError(path, "cannot be read: the decal library is too large");
            if (2 * (count_ + 1) > slots_.size()) grow();
            Slot& slot = slots_[slot_of(name, hash)];
            slot = Slot{hash, static_cast<std::uint32_t>(text_.size()), static_cast<std::uint32_t>(name.size()),
                        static_cast<std::uint32_t>(text_.size() + name.size()),
                        static_cast<std::uint32_t>(words[9].size()), true};
            text_.append(name);
            text_.append(words[9]);
            ++count_;
            continue;
        }
        const std::string_view first_pads = text(found.pads_at, found.pads_size);
        if (first_pads != words[9]) {
            warnings.push_back(display_path(path) + ", line " + std::to_string(line_number) + ": the decal " +
                               std::string(words[1]) + " is defined again (pad count " + std::string(words[9]) +
                               "); its first definition (pad count " + std::string(first_pads) + ") is used.");
        } else {
            warnings.push_back(display_path(path) + ", line " + std::to_string(line_number) + ": the decal " +
                               std::string(words[1]) + " is defined again; its first definition is used.");
        }
    }
}

std::size_t DecalIndex::slot_of(std::string_view name, std::size_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = hash & mask;
    while (slots_[at].used &&
           (slots_[at].hash != hash || text(slots_[at].name_at, slots_[at].name_size) != name))
        at = (at + 1) & mask;
    return at;
}

void DecalIndex::grow() {
    std::vector<Slot> old(2 * slots_.size());
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (!slot.used) continue;
        std::size_t at = slot.hash & mask;
        while (slots_[at].used) at = (at + 1) & mask;
        slots_[at] = slot;
    }
}

std::optional<std::string_view> DecalIndex::pad_count(std::string_view decal_name) const {
    const Slot& slot = slots_[slot_of(decal_name, short_key_hash(decal_name))];
    if (!slot.used) return std::nullopt;
    return text(slot.pads_at, slot.pads_size);
}

}  // namespace marrowgate
