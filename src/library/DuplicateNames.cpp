#include "library/DuplicateNames.h"

#include <algorithm>

namespace marrowgate {

std::uint64_t hash_bytes(std::string_view bytes, std::uint64_t seed) {
    for (const char c : bytes) seed = (seed ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return seed;
}

void DuplicateNames::append(DuplicateNames&& later) {
    if (names_.empty()) names_ = std::move(later.names_);
    else names_.insert(names_.end(), later.names_.begin(), later.names_.end());
    later.names_ = {};
}

void DuplicateNames::find() {
    // The hashes met more than once, sorted.
    std::vector<std::uint64_t> shared = names_;
    std::sort(shared.begin(), shared.end());
    std::size_t kept = 0;
    for (std::size_t i = 0; i < shared.size();) {
        std::size_t end = i + 1;
        while (end < shared.size() && shared[end] == shared[i]) ++end;
        if (end - i > 1) shared[kept++] = shared[i];
        i = end;
    }
    shared.resize(kept);
    shared.shrink_to_fit();
    // Each part of those names, in order, with the first of its name.
    constexpr std::uint32_t kNone = 0xFFFFFFFF;
    std::vector<std::uint32_t> first(shared.size(), kNone);
    parts_.clear();
    for (std::size_t ordinal = 0; ordinal < names_.size(); ++ordinal) {
        const auto at = std::lower_bound(shared.begin(), shared.end(), names_[ordinal]);
        if (at == shared.end() || *at != names_[ordinal]) continue;
        std::uint32_t& first_of_name = first[static_cast<std::size_t>(at - shared.begin())];
        if (first_of_name == kNone) first_of_name = static_cast<std::uint32_t>(ordinal);
        parts_.push_back(Part{0, static_cast<std::uint32_t>(ordinal), first_of_name});
    }
    names_ = {};
    next_ = 0;
}

bool DuplicateNames::shares_name(std::uint32_t ordinal) {
    while (next_ < parts_.size() && parts_[next_].ordinal < ordinal) ++next_;
    return next_ < parts_.size() && parts_[next_].ordinal == ordinal;
}

bool DuplicateNames::same_as_first(std::uint64_t block_hash) {
    Part& part = parts_[next_];
    part.hash = block_hash;
    if (part.first == part.ordinal) return true;
    const auto first = std::lower_bound(parts_.begin(), parts_.begin() + static_cast<std::ptrdiff_t>(next_),
                                        part.first, [](const Part& p, std::uint32_t o) { return p.ordinal < o; });
    return first->hash == block_hash;
}

}  // namespace marrowgate
