// The output set gathers blocks for many files within a small budget and
// writes them out as it fills up. Whatever the order and size of the blocks,
// even blocks larger than the whole budget, every file must end up with its
// blocks in order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/OutputSet.h"
#include "support/TestSupport.h"

namespace marrowgate {
namespace {

TEST(OutputBudget, EveryFileGetsItsBlocksInOrder) {
    test::TempDir dir;
    constexpr std::size_t kBudget = 64 << 10;
    constexpr std::size_t kFiles = 40;
    OutputSet outputs(real_file_system(), "*MARKER*", kBudget);
    std::vector<std::string> expected(kFiles, "*MARKER*\r\n\r\r\n");
    for (std::size_t f = 0; f < kFiles; ++f) outputs.add(dir / ("LIB_" + std::to_string(f) + ".p"));
    outputs.create_all();

    unsigned state = 11;
    const auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return state >> 8;
    };
    for (int block = 0; block < 3000; ++block) {
        const std::size_t spread = next() % 4;
        const std::size_t f = next() % kFiles * spread / 3 % kFiles;  // some files far more often
        std::string bytes(1 + next() % 3000, static_cast<char>('a' + block % 26));
        if (block % 500 == 7) bytes.assign(3 * kBudget, 'L');  // a block larger than the whole budget
        if (block % 2) {
            outputs.write_line(f, bytes);
            expected[f] += bytes + "\r\n";
        } else {
            outputs.write_bytes(f, bytes);
            expected[f] += bytes;
        }
    }
    outputs.close_all();
    for (std::size_t f = 0; f < kFiles; ++f)
        EXPECT_EQ(test::read_file(outputs.path(f)), expected[f] + "*END*\r\n") << f;
}

}  // namespace
}  // namespace marrowgate
