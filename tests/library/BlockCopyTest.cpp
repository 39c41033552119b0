// The copy pass takes a part block's body as runs of bytes rather than line by
// line. Whatever the bytes and wherever the reads cut them, the runs must
// equal the block's lines read one by one, each followed by CR LF, and the
// reader must stand on the same line afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "library/LineReader.h"

namespace marrowgate {
namespace {

// Hands out its bytes in pieces whose sizes follow a seed.
class PiecewiseInput final : public InputFile {
public:
    PiecewiseInput(std::string bytes, unsigned seed, std::size_t largest)
        : bytes_(std::move(bytes)), state_(seed), largest_(largest) {}
    std::size_t read(char* buffer, std::size_t size) override {
        state_ = state_ * 1103515245u + 12345u;
        const std::size_t piece = 1 + (state_ >> 8) % largest_;
        const std::size_t n = std::min({size, piece, bytes_.size() - at_});
        std::memcpy(buffer, bytes_.data() + at_, n);
        at_ += n;
        return n;
    }

private:
    std::string bytes_;
    unsigned state_;
    std::size_t largest_;
    std::size_t at_ = 0;
};

// Alternates: one line read alone, then a block body, until the end; returns
// what each way gave, as text, for both readers to be compared.
std::string walk(const std::string& bytes, bool as_runs, unsigned seed, std::size_t largest) {
    LineReader lines(std::make_unique<PiecewiseInput>(bytes, seed, largest));
    PartBlockReader blocks(lines);
    std::string seen;
    for (;;) {
        std::string_view line;
        if (!lines.next(line)) return seen;
        seen += "[line " + std::string(line) + "]";
        std::string body;
        const bool closed = as_runs ? blocks.copy_body([&](std::string_view bytes) { body.append(bytes); })
                                    : blocks.body([&](std::string_view l) { body.append(l).append("\r\n"); });
        seen += "[body " + body + (closed ? "]" : " unclosed]");
    }
}

TEST(BlockCopy, RunsOfBytesEqualTheLinesReadOneByOne) {
    // Random text of the bytes that matter, cut into pieces of 1 to 7 bytes,
    // or read whole so that the scan meets long stretches.
    const char* alphabet[] = {"\r\n", "\r\n", "\n", "\r", "a", "b", " ", "\r\n\r\n", "\n\n", "\n\r\n"};
    unsigned state = 7;
    for (unsigned seed = 1; seed <= 400; ++seed) {
        std::string bytes;
        const int pieces = static_cast<int>(seed % 150);
        for (int i = 0; i < pieces; ++i) {
            state = state * 1103515245u + 12345u;
            bytes += alphabet[(state >> 8) % 10];
        }
        const std::size_t largest = seed % 2 ? 7 : 4096;
        ASSERT_EQ(walk(bytes, true, seed, largest), walk(bytes, false, seed, largest)) << "seed " << seed;
    }
}

TEST(BlockCopy, BlocksAcrossManyRefillsOfTheBuffer) {
    // Blocks of a few hundred lines, most ended by CR LF, some by a lone LF,
    // some holding a stray CR, read in pieces up to twice the buffer.
    std::string bytes;
    for (int block = 0; block < 400; ++block) {
        bytes += "HEADER " + std::to_string(block) + " I X\r\n";
        for (int line = 0; line < 300; ++line) {
            bytes += "pin " + std::to_string(line) + (line % 97 == 0 ? "\r" : "");
            bytes += line % 61 == 0 ? "\n" : "\r\n";
        }
        bytes += block % 5 == 0 ? "\n" : "\r\n";
    }
    bytes += "last HEADER I\r\nunfinished";  // the file ends inside a block, without a line end
    for (unsigned seed : {1u, 2u}) {
        const std::size_t largest = seed == 1 ? 4099 : 2 * LineReader::kChunk;
        EXPECT_EQ(walk(bytes, true, seed, largest), walk(bytes, false, seed, largest));
    }
}

}  // namespace
}  // namespace marrowgate
