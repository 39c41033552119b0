// Part names met more than once among a run's inputs. The collection pass
// keeps a 64-bit hash of every name, file by file (eight bytes a part);
// between the passes they are put in order, all files' at once through as
// much scratch space, and the hashes met twice are kept. The copy pass looks
// each name up among those only, compares the blocks' bytes with the first
// of their name, and reports a name at its second block, with its first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "keys/Hash.h"

namespace marrowgate {

class DuplicateNames {
public:
    // What the copy pass knows of a name met more than once.
    struct Name {
        std::uint64_t hash = 0;        // of the name
        std::uint64_t first_block = 0; // hash of the first block of the name
        long long first_line = 0;      // line of its header in its file
        std::uint32_t first = 0;       // ordinal of that block in the copy pass
        std::uint32_t met = 0;         // blocks of the name met so far
    };

    // For `files` files, the i-th (from 0) holding about parts[i] parts.
    explicit DuplicateNames(const std::vector<std::size_t>& parts);

    // The collection pass: the name of the next part of file `file`. Files
    // may be read side by side, each by one thread.
    void add_name(std::size_t file, std::string_view name) { hashes_[file].push_back(hash_name(name)); }
    // Between the passes.
    void find();
    // The copy pass: what is known of `name` when it is met more than once.
    Name* candidate(std::string_view name);

private:
    std::vector<std::vector<std::uint64_t>> hashes_;  // until find(): each file's, in order
    std::vector<Name> names_;                         // after find(): one a name met twice, by hash
    HashFilter filter_;  // after find(): of the names met twice
};

}  // namespace marrowgate
