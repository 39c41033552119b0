#include "run/DuplicateNames.h"

#include <algorithm>

namespace marrowgate {

DuplicateNames::DuplicateNames(const std::vector<std::size_t>& parts) : hashes_(parts.size()) {
    for (std::size_t i = 0; i < parts.size(); ++i) hashes_[i].reserve(parts[i]);
}

void DuplicateNames::find() {
    // The hashes of every file put in order of their top bits, with one pass
    // that counts them and one that places them. Each such bucket then holds
    // a few hashes, sorted where they lie: a hash equal to the one before it
    // is a name met twice. The buckets follow one another in order, so the
    // names found are in order of their hash.
    constexpr int kTopBits = 16;
    const auto bucket = [](std::uint64_t hash) { return static_cast<std::size_t>(hash >> (64 - kTopBits)); };
    std::vector<std::size_t> start((std::size_t{1} << kTopBits) + 1, 0);
    for (const auto& file : hashes_)
        for (const std::uint64_t hash : file) ++start[bucket(hash) + 1];
    for (std::size_t b = 1; b < start.size(); ++b) start[b] += start[b - 1];
    std::vector<std::uint64_t> all(start.back());
    {
        std::vector<std::size_t> next(start.begin(), start.end() - 1);
        for (auto& file : hashes_) {
            for (const std::uint64_t hash : file) all[next[bucket(hash)]++] = hash;
            file = {};
        }
    }
    hashes_ = {};
    for (std::size_t b = 0; b + 1 < start.size(); ++b) {
        const auto first = all.begin() + static_cast<std::ptrdiff_t>(start[b]);
        const auto last = all.begin() + static_cast<std::ptrdiff_t>(start[b + 1]);
        if (last - first < 2) continue;
        std::sort(first, last);
        for (auto at = first + 1; at != last; ++at)
            if (*at == at[-1] && (names_.empty() || names_.back().hash != *at)) names_.push_back(Name{*at, 0, 0, 0, 0});
    }
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
