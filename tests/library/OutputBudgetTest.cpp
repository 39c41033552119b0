// The output set gathers blocks for many files within a small budget and
// writes them out behind the run as it fills up, keeping a bounded number of
// files open. Whatever the order and size of the blocks, even blocks larger
// than the whole budget, every file must end up with its blocks in order; a
// write that fails must be reported and leave every other file whole as far
// as it got.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "library/OutputSet.h"
#include "support/FaultyFileSystem.h"
#include "support/TestSupport.h"

namespace marrowgate {
namespace {

// Writes `blocks` random blocks to `files` files of a fresh output set and
// returns what each file must hold; stops early when a write reports a failure.
struct Writing {
    std::vector<std::string> expected;
    bool failed = false;
};

Writing write_blocks(OutputSet& outputs, const test::TempDir& dir, std::size_t files, int blocks, std::size_t budget) {
    Writing w;
    w.expected.assign(files, "*MARKER*\r\n\r\r\n");
    for (std::size_t f = 0; f < files; ++f) outputs.add(dir / ("LIB_" + std::to_string(f) + ".p"));
    unsigned state = 11;
    const auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return state >> 8;
    };
    try {
        outputs.create_all();
        for (int block = 0; block < blocks; ++block) {
            const std::size_t spread = next() % 4;
            const std::size_t f = next() % files * spread / 3 % files;  // some files far more often
            std::string bytes(1 + next() % 3000, static_cast<char>('a' + block % 26));
            if (block % 500 == 7) bytes.assign(3 * budget, 'L');  // a block larger than the whole budget
            // Counted first: bytes handed over before a failure is reported may still be stored.
            if (block % 2) {
                w.expected[f] += bytes + "\r\n";
                outputs.write_line(f, bytes);
            } else {
                w.expected[f] += bytes;
                outputs.write_bytes(f, bytes);
            }
        }
        outputs.close_all();
        for (auto& bytes : w.expected) bytes += "*END*\r\n";
    } catch (const FileError&) {
        w.failed = true;
    }
    return w;
}

TEST(OutputBudget, EveryFileGetsItsBlocksInOrder) {
    // Up to 16 files open at once: with 40 files, the least recently written
    // are closed and opened again.
    for (const std::size_t most_open : {std::size_t{16}, std::size_t{100}}) {
        constexpr std::size_t files = 40;
        test::TempDir dir;
        constexpr std::size_t kBudget = 64 << 10;
        test::FaultyFileSystem counting;
        OutputSet outputs(counting, "*MARKER*", kBudget, most_open);
        const Writing w = write_blocks(outputs, dir, files, 3000, kBudget);
        ASSERT_FALSE(w.failed);
        for (std::size_t f = 0; f < files; ++f) EXPECT_EQ(test::read_file(outputs.path(f)), w.expected[f]) << f;
        EXPECT_LE(counting.most_open(), most_open);
        EXPECT_EQ(counting.count(test::FaultyFileSystem::Op::OpenWrite) > static_cast<long>(files), most_open < files);
    }
}

TEST(OutputBudget, AFailedWriteIsReportedAndTheOtherFilesStayWholeAsFarAsTheyGot) {
    for (const long nth : {1L, 2L, 5L}) {
        test::TempDir dir;
        constexpr std::size_t kBudget = 64 << 10;
        test::FaultyFileSystem faulty;
        const auto failing = dir / "LIB_3.p";
        faulty.fail(test::FaultyFileSystem::Op::Write, nth, ENOSPC, failing);
        OutputSet outputs(faulty, "*MARKER*", kBudget);
        const Writing w = write_blocks(outputs, dir, 40, 3000, kBudget);
        EXPECT_TRUE(w.failed) << nth;
        for (std::size_t f = 0; f < 40; ++f) {
            // A file the run did not come to is not there at all.
            if (outputs.path(f) == failing || !std::filesystem::exists(outputs.path(f))) continue;
            const std::string kept = test::read_file(outputs.path(f));
            EXPECT_EQ(w.expected[f].compare(0, kept.size(), kept), 0) << f;
        }
        // The file that failed holds the half write and nothing after it.
        EXPECT_LT(test::read_file(failing).size(), w.expected[3].size());
    }
}

}  // namespace
}  // namespace marrowgate
