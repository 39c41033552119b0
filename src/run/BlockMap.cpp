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

std::uint64_t BlockMap::Reader::longer(unsigned char first) {
    std::uint64_t number = first & 0x7F;
    for (int shift = 7;; shift += 7) {
        const unsigned char byte = *at_++;
        number |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
        if (byte < 0x80) return number;
    }
}

}  // namespace marrowgate
