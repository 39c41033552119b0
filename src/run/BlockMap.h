// The part blocks of one input as the collection pass found them, so that the
// copy pass copies each block to the file of its key straight from the bytes
// it reads, without looking for lines again. Each block is kept as four
// numbers of a few bytes each: the bytes before it (since the end of the
// block before), its own bytes (its header line through its empty line), the
// lines from the header line before, and its key with two flags; about six
// bytes a part.
//
// A map is usable only where its file holds nothing the copy pass has to
// look at line by line: a header line longer than is held, or a line between
// blocks that is reported. Where it is not, the copy pass reads that file as
// the collection pass did.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace marrowgate {

class BlockMap {
public:
    struct Block {
        std::uint64_t gap = 0;    // bytes between the end of the block before (or the file's start) and this one
        std::uint64_t size = 0;   // header line through empty line, or through the end of the file
        std::uint64_t lines = 0;  // this header line's number minus that of the header line before (or 0)
        std::int64_t key = -1;    // index of the key in the collection pass's table; -1: placed nowhere
        bool as_is = true;        // every line ends with CR LF: the bytes go out as they are
        bool closed = true;       // an empty line ends it (not the end of the file)
    };

    void add(const Block& block);
    // The file holds what only a line by line reading reports: the map is
    // of no use.
    void give_up() {
        usable_ = false;
        bytes_ = {};
        bytes_.shrink_to_fit();
    }
    bool usable() const { return usable_; }
    // The size the file had when the collection pass read it whole.
    void set_file_size(std::uint64_t size) { file_size_ = size; }
    std::uint64_t file_size() const { return file_size_; }
    // The blocks' keys are indexes in a table of the file's own: from now on
    // key k is key to[k] of the run's table.
    void renumber_keys(std::vector<std::int64_t> to) { renumbered_ = std::move(to); }

    // Reads the blocks in order.
    class Reader {
    public:
        explicit Reader(const BlockMap& map)
            : at_(map.bytes_.data()), end_(map.bytes_.data() + map.bytes_.size()),
              renumbered_(map.renumbered_.empty() ? nullptr : map.renumbered_.data()) {}
        // Read for every part: in line, with the numbers of one and two
        // bytes (sizes of blocks, keys beyond the 31st) taken without a loop.
        // The copy pass reads each map twice (see copy_mapped()), and GCC
        // then left it out of line; number() too, which then read and wrote
        // the position in memory four times a block, each read waiting for
        // the write before.
        [[gnu::always_inline]] bool next(Block& block) {
            if (at_ >= end_) return false;
            block.gap = number();
            block.size = number();
            block.lines = number();
            const std::uint64_t key_and_flags = number();
            block.key = static_cast<std::int64_t>(key_and_flags >> 2) - 1;
            if (block.key >= 0 && renumbered_) block.key = renumbered_[static_cast<std::size_t>(block.key)];
            block.as_is = (key_and_flags & 2) == 0;
            block.closed = (key_and_flags & 1) == 0;
            return true;
        }

    private:
        [[gnu::always_inline]] std::uint64_t number() {
            const unsigned char first = *at_++;
            if (first < 0x80) return first;
            // A number that goes on has its next byte in the map.
            const unsigned char second = *at_;
            if (second >= 0x80) return longer(first);
            ++at_;
            return (first & 0x7Fu) | static_cast<std::uint64_t>(second) << 7;
        }
        std::uint64_t longer(unsigned char first);

        const unsigned char* at_;
        const unsigned char* end_;
        const std::int64_t* renumbered_;  // nothing: the keys are the run's
    };

private:
    static constexpr std::size_t kMostBytes = 10;  // of a number of 64 bits, seven bits a byte

    std::vector<unsigned char> bytes_;
    std::vector<std::int64_t> renumbered_;
    std::uint64_t file_size_ = 0;
    bool usable_ = true;
};

}  // namespace marrowgate
