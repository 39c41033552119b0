// The key table of a run and what the run remembers of the keys it worked out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "keys/StringIndex.h"

namespace marrowgate {

// The distinct keys of a run in order of first appearance. Where the lib folder
// ignores letter case, keys that differ only in case are one key, spelled as
// first met.
class KeyTable {
public:
    KeyTable(std::size_t capacity, bool ignore_case) : capacity_(capacity), ignore_case_(ignore_case) {}

    // Adds a key not in the table yet; throws RunError when the table is full.
    // Returns the key's index.
    std::size_t add(const std::string& key);
    std::optional<std::size_t> find(const std::string& key) const;

    const std::vector<std::string>& keys() const { return keys_; }
    bool ignores_case() const { return ignore_case_; }

private:
    std::size_t capacity_;
    bool ignore_case_;
    std::vector<std::string> keys_;  // as first met
    StringIndex folded_;             // the keys as compared
};

// What the run worked out already for the key sources it met (the bytes of a
// header line its key is made from): the key's index in the table, or kNoKey
// for a part placed in no file. Sources up to 64 bytes long, at most four
// times as many as the table holds keys; beyond that the key is worked out
// again for every part, as without the cache.
class KeySourceCache {
public:
    static constexpr std::int32_t kNoKey = -1;

    explicit KeySourceCache(std::size_t capacity) : most_(4 * capacity + 64) {}

    const std::int32_t* find(std::string_view source) const {
        const std::uint32_t position = sources_.find(source);
        return position == StringIndex::kNone ? nullptr : &values_[position];
    }

    void insert(std::string_view source, std::int32_t value) {
        if (source.size() > 64 || sources_.size() == most_) return;
        if (sources_.insert(source).second) values_.push_back(value);
    }

private:
    std::size_t most_;
    StringIndex sources_;
    std::vector<std::int32_t> values_;
};

// Longer than any file name may be, in bytes (255 UTF-16 units of
// "LIB_<key>.p" on Windows hold at most 3 bytes each): the library file of
// such a key could not be created.
inline constexpr std::size_t kLongestKey = 1000;
struct KeyTooLong {
    std::size_t size;
};

}  // namespace marrowgate
