#include "run/BlockMap.h"

#include <array>

namespace marrowgate {

namespace {

// Seven bits a byte, the lowest first; the top bit says more follow.
unsigned char* put(unsigned char* out, std::uint64_t number) {
    while (number >= 0x80) {
        *out++ = static_cast<unsigned char>(number | 0x80);
        number >>= 7;
    }
    *out++ = static_cast<unsigned char>(number);
    return out;
}

}  // namespace

void BlockMap::add(const Block& block) {
    if (!usable_) return;
    // The four numbers are put together first and appended at once: one
    // look at the vector's room a block instead of one a byte.
    std::array<unsigned char, 4 * kMostBytes> numbers;
    unsigned char* end = put(numbers.data(), block.gap);
    end = put(end, block.size);
    end = put(end, block.lines);
    end = put(end, static_cast<std::uint64_t>(block.key + 1) << 2 | (block.as_is ? 0u : 2u) | (block.closed ? 0u : 1u));
    bytes_.insert(bytes_.end(), numbers.data(), end);
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
