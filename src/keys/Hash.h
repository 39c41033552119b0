// The engine's hashes: FNV-1a, a byte at a time, for keys and part blocks, a
// word-at-a-time mix for the part names of a whole run, and a stream hash of
// many bytes for the blocks the check reads.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace marrowgate {

// A 64-bit hash of bytes, continued from `seed` (FNV-1a): a byte at a time,
// so a block hashed in pieces gives the same hash however it is cut.
inline constexpr std::uint64_t kHashSeed = 14695981039346656037ull;
inline std::uint64_t hash_bytes(std::string_view bytes, std::uint64_t seed = kHashSeed) {
    for (const char c : bytes) seed = (seed ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return seed;
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
    // The last bytes, in the low end of a word as a copy of them would put
    // them, read as the last eight bytes of the name where it has eight: a
    // word stored a byte at a time and read back whole stalls the processor
    // until the stores are done, on every name.
    std::uint64_t tail = 0;
    if (left > 0 && name.size() >= 8) {
        std::memcpy(&tail, name.data() + name.size() - 8, 8);
        tail >>= 8 * (8 - left);
    } else {
        for (std::size_t i = 0; i < left; ++i) tail |= std::uint64_t{static_cast<unsigned char>(at[i])} << (8 * i);
    }
    hash = (hash ^ tail) * kMix;
    return hash ^ (hash >> 29);
}

// A hash of a short key (a few characters: an initial, a family, a decal
// name), cheaper than the standard library's for such lengths: eight bytes
// at a time, as a part's name (every part's decal is looked up by it).
inline std::size_t short_key_hash(std::string_view key) { return static_cast<std::size_t>(hash_name(key)); }

// A 64-bit hash of bytes handed over in pieces, the same however they are
// cut: four lanes take 32 bytes at a time, as xxHash64 does, and the bytes
// of an unfinished stripe wait for the next piece.
class StreamHash {
public:
    void add(std::string_view bytes) {
        const char* at = bytes.data();
        std::size_t left = bytes.size();
        if (left == 0) return;
        length_ += left;
        if (held_ > 0) {
            const std::size_t take = std::min(left, kStripe - held_);
            std::memcpy(stripe_ + held_, at, take);
            held_ += take;
            at += take;
            left -= take;
            if (held_ < kStripe) return;
            take_stripe(stripe_);
            held_ = 0;
        }
        for (; left >= kStripe; at += kStripe, left -= kStripe) take_stripe(at);
        std::memcpy(stripe_, at, left);
        held_ = left;
    }

    std::uint64_t value() const {
        std::uint64_t hash = std::rotl(lanes_[0], 1) + std::rotl(lanes_[1], 7) + std::rotl(lanes_[2], 12) +
                             std::rotl(lanes_[3], 18);
        for (const std::uint64_t lane : lanes_) hash = (hash ^ round(0, lane)) * kP1 + kP4;
        hash += length_;
        // The bytes of the unfinished stripe, the last word padded with
        // zeros (the length tells them apart).
        for (std::size_t at = 0; at < held_; at += 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, stripe_ + at, std::min<std::size_t>(8, held_ - at));
            hash = std::rotl(hash ^ round(0, word), 27) * kP1 + kP4;
        }
        hash ^= hash >> 33;
        hash *= kP2;
        hash ^= hash >> 29;
        hash *= kP3;
        return hash ^ (hash >> 32);
    }

private:
    static constexpr std::size_t kStripe = 32;
    static constexpr std::uint64_t kP1 = 11400714785074694791ull, kP2 = 14029467366897019727ull,
                                   kP3 = 1609587929392839161ull, kP4 = 9650029242287828579ull;
    static std::uint64_t round(std::uint64_t lane, std::uint64_t word) { return std::rotl(lane + word * kP2, 31) * kP1; }
    void take_stripe(const char* at) {
        for (std::size_t lane = 0; lane < 4; ++lane) {
            std::uint64_t word;
            std::memcpy(&word, at + 8 * lane, 8);
            lanes_[lane] = round(lanes_[lane], word);
        }
    }

    std::uint64_t lanes_[4] = {kP1 + kP2, kP2, 0, 0 - kP1};
    char stripe_[kStripe] = {};
    std::size_t held_ = 0;
    std::uint64_t length_ = 0;
};

// A bit for each value of the top 16 bits among a set of hashes, so that a
// hash whose bit is clear is passed over without a search of the set: the
// names met more than once are a few among thousands.
class HashFilter {
public:
    void add(std::uint64_t hash) {
        if (bits_.empty()) bits_.assign(kWords, 0);
        bits_[top(hash) / 64] |= std::uint64_t{1} << (top(hash) % 64);
    }
    // False: `hash` is surely not among those added.
    bool may_hold(std::uint64_t hash) const {
        return !bits_.empty() && (bits_[top(hash) / 64] >> (top(hash) % 64) & 1) != 0;
    }

private:
    static constexpr int kBits = 16;
    static constexpr std::size_t kWords = (std::size_t{1} << kBits) / 64;
    static std::uint64_t top(std::uint64_t hash) { return hash >> (64 - kBits); }
    std::vector<std::uint64_t> bits_;
};

}  // namespace marrowgate
