#include "library/KeyTable.h"

#include "library/Folders.h"
#include "library/RunFrame.h"

namespace marrowgate {

void KeyTable::add(const std::string& key) {
    const std::string folded = ignore_case_ ? case_folded_key(key) : std::string();
    const std::string_view compared = ignore_case_ ? std::string_view(folded) : std::string_view(key);
    if (folded_.find(compared) != StringIndex::kNone) return;
    if (keys_.size() == capacity_)
        throw RunError("The key table is full: it holds " + std::to_string(capacity_) + " keys, and the key \"" +
                       key + "\" would be one more. Nothing was written. Sort by another key, or fewer files "
                       "at a time.");
    folded_.insert(compared);
    keys_.push_back(key);
}

std::optional<std::size_t> KeyTable::find(const std::string& key) const {
    const std::uint32_t position = ignore_case_ ? folded_.find(case_folded_key(key)) : folded_.find(key);
    if (position == StringIndex::kNone) return std::nullopt;
    return position;
}

// Collection pass: adds the key of a header line to the table, worked out
// once for each key source.
void add_key(std::string_view header, const KeyRule& rule, std::string& looked_up, KeySourceCache& met, KeyTable& table) {
    const std::optional<std::string_view> source = rule.key_source(header);
    if (source && met.find(*source)) return;
    if (auto key = rule.key_of(header, looked_up)) {
        if (key->size() > kLongestKey) throw KeyTooLong{key->size()};
        table.add(*key);
    }
    if (source) met.insert(*source, 0);
}

}  // namespace marrowgate
