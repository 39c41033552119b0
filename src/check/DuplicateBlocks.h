// Part names met more than once, found with sixteen bytes a part: the
// first pass keeps a 64-bit hash of every part's name and one of its block
// (as the check hashes it), in chunks, so that no copy of them is ever
// made as they grow. Between the passes each chunk is sorted and the chunks
// are merged: a name hash met twice is a name to look at again, and whether
// its blocks' hashes differ says whether their lines must be compared. The
// memory of the records is given back before the second pass, which reads
// only the blocks of those names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "keys/Hash.h"

namespace marrowgate {

class DuplicateBlocks {
public:
    // The first pass: a part's name and the hash of its block.
    void add(std::string_view name, std::uint64_t block);
    // Between the passes; false where no name was met twice.
    bool find();
    // The second pass: whether the name was met twice, and whether the
    // hashes of its blocks differ.
    bool involved(std::string_view name) const;
    bool blocks_differ(std::string_view name) const;

    std::size_t names_met_twice() const { return involved_.size(); }
    // Bytes held for the records, for the test of the memory they take.
    std::size_t record_bytes() const;

    static constexpr std::size_t kChunk = std::size_t{1} << 16;  // records a chunk

private:
    struct Record {
        std::uint64_t name;
        std::uint64_t block;
    };
    struct Involved {
        std::uint64_t name;
        bool differ;
    };
    const Involved* lookup(std::string_view name) const;
    static void sort_chunk(std::vector<Record>& chunk, std::vector<Record>& scratch);
    std::vector<std::vector<Record>> chunks_;
    std::vector<Involved> involved_;  // by name hash, after find()
    HashFilter filter_;  // after find(): of the names involved
};

}  // namespace marrowgate
