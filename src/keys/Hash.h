// The engine's hashes: FNV-1a, a byte at a time, for keys and part blocks, and
// a word-at-a-time mix for the part names of a whole run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace marrowgate {

// A 64-bit hash of bytes, continued from `seed` (FNV-1a): a byte at a time,
// so a block hashed in pieces gives the same hash however it is cut.
inline constexpr std::uint64_t kHashSeed = 14695981039346656037ull;
inline std::uint64_t hash_bytes(std::string_view bytes, std::uint64_t seed = kHashSeed) {
    for (const char c : bytes) seed = (seed ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return seed;
}

// A hash of a short key (a few characters: an initial, a family, a decal
// name), cheaper than the standard library's for such lengths.
inline std::size_t short_key_hash(std::string_view key) {
    const std::uint64_t hash = hash_bytes(key);
    return static_cast<std::size_t>(hash ^ (hash >> 29));
}

// A 64-bit hash of a whole name, eight bytes at a time: every part's name is
// hashed in the collection pass.
inline std::uint64_t hash_name(std::string_view name) {
    constexpr std::uint64_t kMix = 0x9E3779B97F4A7C15ull;
    std::uint64_t hash = (kHashSeed ^ name.size()) * kMix;
    const char* at = name.data();
    std::size_t left = name.size();
    for (; left >= 8; at += 8, left -= 8) {
        std::uint64_t word;
        std::memcpy(&word, at, 8);
        hash = (hash ^ word) * kMix;
        hash ^= hash >> 32;
    }
    std::uint64_t tail = 0;
    std::memcpy(&tail, at, left);
    hash = (hash ^ tail) * kMix;
    return hash ^ (hash >> 29);
}

}  // namespace marrowgate
