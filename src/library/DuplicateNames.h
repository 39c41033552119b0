// Part names met more than once among a run's inputs, in memory that stays
// small whatever the number of parts. The collection pass marks the hash of
// every name in a bitmap (two bytes a part); a name whose mark is set already
// may have been met before and becomes a candidate. The copy pass counts the
// candidates' parts and compares their blocks' bytes with the first of their
// name: a name met twice is reported at its second part, with its first.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

namespace marrowgate {

// A 64-bit hash of bytes, continued from `seed` (FNV-1a).
constexpr std::uint64_t kHashSeed = 14695981039346656037ull;
std::uint64_t hash_bytes(std::string_view bytes, std::uint64_t seed = kHashSeed);

class DuplicateNames {
public:
    // What the copy pass knows of a name that may be met more than once.
    struct Name {
        std::uint64_t hash = 0;        // of the name
        std::uint64_t first_block = 0; // hash of the first block of the name
        std::uint32_t first = 0;       // ordinal of that block in the copy pass
        std::uint32_t met = 0;         // blocks of the name met so far
    };

    // Room for about `parts` parts (the file list's count).
    explicit DuplicateNames(std::size_t parts);

    // The collection pass, from any thread: the name of a part.
    void add_name(std::string_view name);
    // Between the passes.
    void find();
    // The copy pass: what is known of `name` when it may be met twice.
    Name* candidate(std::string_view name);

private:
    std::size_t mask_;
    std::unique_ptr<std::atomic<std::uint64_t>[]> marks_;
    std::mutex mutex_;
    std::vector<std::uint64_t> candidates_;  // hashes whose mark was set already
    std::vector<Name> names_;                // after find(): one a candidate, by hash
};

}  // namespace marrowgate
