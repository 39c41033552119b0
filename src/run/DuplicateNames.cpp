#include "run/DuplicateNames.h"

#include <algorithm>

namespace marrowgate {

namespace {

// Sorts in eight passes of a byte each, with one scratch array.
void radix_sort(std::vector<std::uint64_t>& keys) {
    std::vector<std::uint64_t> scratch(keys.size());
    for (int shift = 0; shift < 64; shift += 8) {
        std::size_t counts[257] = {};
        for (const std::uint64_t key : keys) ++counts[((key >> shift) & 0xFF) + 1];
        if (counts[((keys.empty() ? 0 : keys[0] >> shift) & 0xFF) + 1] == keys.size()) continue;  // one digit
        for (int d = 0; d < 256; ++d) counts[d + 1] += counts[d];
        for (const std::uint64_t key : keys) scratch[counts[(key >> shift) & 0xFF]++] = key;
        keys.swap(scratch);
    }
}

}  // namespace

DuplicateNames::DuplicateNames(const std::vector<std::size_t>& parts) : hashes_(parts.size()) {
    for (std::size_t i = 0; i < parts.size(); ++i) hashes_[i].reserve(parts[i]);
}

void DuplicateNames::find() {
    for (auto& file : hashes_) radix_sort(file);
    // The files' sorted hashes merged: a hash equal to the one before is a
    // name met twice.
    std::vector<std::size_t> at(hashes_.size(), 0);
    bool any = false;
    std::uint64_t last = 0;
    for (;;) {
        std::size_t from = hashes_.size();
        for (std::size_t f = 0; f < hashes_.size(); ++f)
            if (at[f] < hashes_[f].size() && (from == hashes_.size() || hashes_[f][at[f]] < hashes_[from][at[from]]))
                from = f;
        if (from == hashes_.size()) break;
        const std::uint64_t hash = hashes_[from][at[from]++];
        if (any && hash == last && (names_.empty() || names_.back().hash != hash)) names_.push_back(Name{hash, 0, 0, 0, 0});
        any = true;
        last = hash;
    }
    hashes_ = {};
    for (const Name& name : names_) filter_.add(name.hash);
}

DuplicateNames::Name* DuplicateNames::candidate(std::string_view name) {
    if (names_.empty()) return nullptr;
    const std::uint64_t hash = hash_name(name);
    if (!filter_.may_hold(hash)) return nullptr;
    const auto at = std::lower_bound(names_.begin(), names_.end(), hash,
                                     [](const Name& known, std::uint64_t h) { return known.hash < h; });
    return at != names_.end() && at->hash == hash ? &*at : nullptr;
}

}  // namespace marrowgate
