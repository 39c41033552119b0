#include "keys/KeyTable.h"

#include "io/RunError.h"
#include "keys/KeyNames.h"

namespace marrowgate {

std::size_t KeyTable::add(const std::string& key) {
    const std::string folded = ignore_case_ ? case_folded_key(key) : std::string();
    const std::string_view compared = ignore_case_ ? std::string_view(folded) : std::string_view(key);
    if (const std::uint32_t known = folded_.find(compared); known != StringIndex::kNone) return known;
    if (keys_.size() == capacity_)
        throw RunError("The key table is full: it holds " + std::to_string(capacity_) + " keys, and the key \"" +
                       key + "\" would be one more. Nothing was written. Sort by another key, or fewer files "
                       "at a time.");
    folded_.insert(compared);
    keys_.push_back(key);
    return keys_.size() - 1;
}

std::optional<std::size_t> KeyTable::find(const std::string& key) const {
    const std::uint32_t position = ignore_case_ ? folded_.find(case_folded_key(key)) : folded_.find(key);
    if (position == StringIndex::kNone) return std::nullopt;
    return position;
}

}  // namespace marrowgate
