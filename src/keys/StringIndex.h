// Distinct strings in the order they were added, found again by hash: open
// addressing over a power-of-two number of slots, at most half full, so that
// a lookup costs a hash and a probe or two, with no division and no walk
// through scattered nodes. The key table, the decal index and the cache of
// key sources of a run are all looked up for every part of both passes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "keys/Hash.h"

namespace marrowgate {

class StringIndex {
public:
    static constexpr std::uint32_t kNone = ~std::uint32_t{0};

    // The position of `text`, or kNone.
    std::uint32_t find(std::string_view text) const { return slots_[slot_of(text, short_key_hash(text))]; }

    // Adds `text` when it is not there; returns its position and whether it was added.
    std::pair<std::uint32_t, bool> insert(std::string_view text) {
        const std::size_t hash = short_key_hash(text);
        std::size_t slot = slot_of(text, hash);
        if (slots_[slot] != kNone) return {slots_[slot], false};
        if (2 * (strings_.size() + 1) > slots_.size()) {
            grow();
            slot = slot_of(text, hash);
        }
        const auto position = static_cast<std::uint32_t>(strings_.size());
        slots_[slot] = position;
        strings_.emplace_back(text);
        hashes_.push_back(hash);
        return {position, true};
    }

    std::size_t size() const { return strings_.size(); }
    const std::string& at(std::uint32_t position) const { return strings_[position]; }

private:
    std::size_t slot_of(std::string_view text, std::size_t hash) const {
        const std::size_t mask = slots_.size() - 1;
        std::size_t slot = hash & mask;
        while (slots_[slot] != kNone && (hashes_[slots_[slot]] != hash || strings_[slots_[slot]] != text))
            slot = (slot + 1) & mask;
        return slot;
    }

    void grow() {
        slots_.assign(2 * slots_.size(), kNone);
        const std::size_t mask = slots_.size() - 1;
        for (std::uint32_t position = 0; position < strings_.size(); ++position) {
            std::size_t slot = hashes_[position] & mask;
            while (slots_[slot] != kNone) slot = (slot + 1) & mask;
            slots_[slot] = position;
        }
    }

    std::vector<std::string> strings_;
    std::vector<std::size_t> hashes_;
    std::vector<std::uint32_t> slots_ = std::vector<std::uint32_t>(64, kNone);
};

}  // namespace marrowgate
