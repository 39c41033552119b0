// Part names met more than once among a run's inputs. The collection pass
// gives the hash of every part's name, in the order the copy pass meets the
// parts; between the passes the parts that share a name are found, and the
// copy pass hands their blocks over so that each can be said to hold the
// same bytes as the first of its name, or not. Eight bytes a part, sixteen
// while the names are compared, and sixteen a part that shares its name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace marrowgate {

// A 64-bit hash of bytes, continued from `seed` (FNV-1a).
constexpr std::uint64_t kHashSeed = 14695981039346656037ull;
std::uint64_t hash_bytes(std::string_view bytes, std::uint64_t seed = kHashSeed);

class DuplicateNames {
public:
    // The collection pass: the name of the next part.
    // Room for the names of `parts` parts, as many as the file list counted.
    void reserve(std::size_t parts) { names_.reserve(parts); }
    void add_name(std::string_view name) { names_.push_back(hash_bytes(name)); }
    // The names another reader collected, for the parts after these.
    void append(DuplicateNames&& later);

    // Between the passes: keeps only the parts whose name another part has.
    void find();

    // The copy pass, at part `ordinal` (from 0): whether it shares its name.
    bool shares_name(std::uint32_t ordinal);
    // The ordinal of the first part of the same name (the part's own when it
    // is that one), after shares_name said yes.
    std::uint32_t first_of_name() const { return parts_[next_].first; }
    // The hash of the current part's block; false where the first part of its
    // name has other bytes. Call for every part shares_name said yes to.
    bool same_as_first(std::uint64_t block_hash);

private:
    struct Part {
        std::uint64_t hash;     // of the block, once met
        std::uint32_t ordinal;  // in the copy pass
        std::uint32_t first;    // ordinal of the first part of the name
    };
    std::vector<std::uint64_t> names_;  // until find(): the hash of every name, in order
    std::vector<Part> parts_;
    std::size_t next_ = 0;
};

}  // namespace marrowgate
