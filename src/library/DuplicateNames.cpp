#include "library/DuplicateNames.h"

#include <algorithm>

namespace marrowgate {

std::uint64_t hash_bytes(std::string_view bytes, std::uint64_t seed) {
    for (const char c : bytes) seed = (seed ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return seed;
}

DuplicateNames::DuplicateNames(std::size_t parts) {
    // Sixteen bits a part: about one name in sixteen that is met once finds
    // its mark set by another name and becomes a candidate for nothing.
    std::size_t bits = 1024;
    while (bits < parts * 16) bits <<= 1;
    mask_ = bits - 1;
    marks_ = std::make_unique<std::atomic<std::uint64_t>[]>(bits / 64);
}

void DuplicateNames::add_name(std::string_view name) {
    const std::uint64_t hash = hash_bytes(name);
    const std::size_t bit = static_cast<std::size_t>(hash ^ (hash >> 32)) & mask_;
    const std::uint64_t mark = std::uint64_t{1} << (bit % 64);
    if (marks_[bit / 64].fetch_or(mark, std::memory_order_relaxed) & mark) {
        std::lock_guard lock(mutex_);
        candidates_.push_back(hash);
    }
}

void DuplicateNames::find() {
    marks_.reset();
    std::sort(candidates_.begin(), candidates_.end());
    candidates_.erase(std::unique(candidates_.begin(), candidates_.end()), candidates_.end());
    names_.reserve(candidates_.size());
    for (const std::uint64_t hash : candidates_) names_.push_back(Name{hash, 0, 0, 0});
    candidates_ = {};
}

DuplicateNames::Name* DuplicateNames::candidate(std::string_view name) {
    if (names_.empty()) return nullptr;
    const std::uint64_t hash = hash_bytes(name);
    const auto at = std::lower_bound(names_.begin(), names_.end(), hash,
                                     [](const Name& known, std::uint64_t h) { return known.hash < h; });
    return at != names_.end() && at->hash == hash ? &*at : nullptr;
}

}  // namespace marrowgate
