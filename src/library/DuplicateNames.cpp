#include "library/DuplicateNames.h"

#include <algorithm>

namespace marrowgate {

std::uint64_t hash_bytes(std::string_view bytes, std::uint64_t seed) {
    for (const char c : bytes) seed = (seed ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return seed;
}

void DuplicateNames::append(DuplicateNames&& later) {
    const std::uint32_t offset = count();
    if (parts_.empty()) {
        parts_ = std::move(later.parts_);
    } else {
        parts_.reserve(parts_.size() + later.parts_.size());
        for (const Part& part : later.parts_) parts_.push_back(Part{part.hash, part.ordinal + offset, 0});
    }
    later.parts_ = {};
}

void DuplicateNames::find() {
    std::sort(parts_.begin(), parts_.end(), [](const Part& a, const Part& b) {
        return a.hash != b.hash ? a.hash < b.hash : a.ordinal < b.ordinal;
    });
    std::size_t kept = 0;
    for (std::size_t i = 0; i < parts_.size();) {
        std::size_t end = i + 1;
        while (end < parts_.size() && parts_[end].hash == parts_[i].hash) ++end;
        if (end - i > 1) {
            for (std::size_t j = i; j < end; ++j) parts_[kept++] = Part{0, parts_[j].ordinal, parts_[i].ordinal};
        }
        i = end;
    }
    parts_.resize(kept);
    std::sort(parts_.begin(), parts_.end(), [](const Part& a, const Part& b) { return a.ordinal < b.ordinal; });
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
