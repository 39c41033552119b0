#include "run/BlockMap.h"

namespace marrowgate {

// Seven bits a byte, the lowest first; the top bit says more follow.
void BlockMap::put(std::uint64_t number) {
    while (number >= 0x80) {
        bytes_.push_back(static_cast<unsigned char>(number | 0x80));
        number >>= 7;
    }
    bytes_.push_back(static_cast<unsigned char>(number));
}

void BlockMap::add(const Block& block) {
    if (!usable_) return;
    put(block.gap);
    put(block.size);
    put(block.lines);
    put(static_cast<std::uint64_t>(block.key + 1) << 2 | (block.as_is ? 0u : 2u) | (block.closed ? 0u : 1u));
}

std::uint64_t BlockMap::Reader::number() {
    std::uint64_t number = 0;
    for (int shift = 0;; shift += 7) {
        const unsigned char byte = map_.bytes_[at_++];
        number |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
        if (byte < 0x80) return number;
    }
}

bool BlockMap::Reader::next(Block& block) {
    if (at_ >= map_.bytes_.size()) return false;
    block.gap = number();
    block.size = number();
    block.lines = number();
    const std::uint64_t key_and_flags = number();
    block.key = static_cast<std::int64_t>(key_and_flags >> 2) - 1;
    if (block.key >= 0 && !map_.renumbered_.empty()) block.key = map_.renumbered_[static_cast<std::size_t>(block.key)];
    block.as_is = (key_and_flags & 2) == 0;
    block.closed = (key_and_flags & 1) == 0;
    return true;
}

}  // namespace marrowgate
