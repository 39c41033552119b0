// The output set gathers blocks for many files within a small budget and
// writes them out, behind the run or in line, as it fills up, keeping a
// bounded number of files open. Whatever the order and size of the blocks,
// even blocks larger than the whole budget, every file must end up with its
// blocks in order; a write that fails must be reported and leave every other
// file whole as far as it got.
#include <gtest/gtest.h>

#include <cerrno>
#include <random>

#include "run/OutputSet.h"
#include "support/FaultyFileSystem.h"
#include "support/TestSupport.h"

namespace marrowgate {
namespace {

using Op = test::FaultyFileSystem::Op;
constexpr std::size_t kFiles = 40, kBudget = 64 << 10;

struct BudgetCase : test::NamedCase {
    OutputSet::Writing writing;
    std::size_t most_open;  // 16: the least recently written of the 40 files are closed and opened again
    long failing_write = 0;  // of LIB_3.p, 1 for the first; 0: none fails
};

class OutputBudget : public ::testing::TestWithParam<BudgetCase> {};

TEST_P(OutputBudget, EveryFileGetsItsBlocksInOrderAndAFailureStopsOnlyItsOwn) {
    const BudgetCase& c = GetParam();
    test::TempDir dir;
    test::FaultyFileSystem files;
    const auto failing = dir / "LIB_3.p";
    if (c.failing_write > 0) files.fail(Op::Write, c.failing_write, ENOSPC, failing);
    OutputSet outputs(files, "*MARKER*", kBudget, c.most_open, c.writing);

    // What each file must hold, counted before it is handed over: bytes handed
    // over before a failure is reported may still be stored.
    std::vector<std::string> expected(kFiles, "*MARKER*\r\n\r\r\n");
    for (std::size_t f = 0; f < kFiles; ++f) outputs.add(dir / ("LIB_" + std::to_string(f) + ".p"));
    std::minstd_rand random(11);
    bool failed = false;
    try {
        outputs.create_all();
        for (int block = 0; block < 3000; ++block) {
            // Some files far more often than others.
            const std::size_t spread = random() % 4, f = random() % kFiles * spread / 3 % kFiles;
            std::string bytes(1 + random() % 3000, static_cast<char>('a' + block % 26));
            if (block % 500 == 7) bytes.assign(3 * kBudget, 'L');  // a block larger than the whole budget
            expected[f] += bytes + (block % 2 ? "\r\n" : "");
            if (block % 2) outputs.write_line(f, bytes);
            else outputs.write_bytes(f, bytes);
        }
        outputs.close_all();
        for (auto& bytes : expected) bytes += "*END*\r\n";
    } catch (const FileError&) {
        failed = true;
    }

    EXPECT_EQ(failed, c.failing_write > 0);
    EXPECT_LE(files.most_open(), c.most_open);
    for (std::size_t f = 0; f < kFiles; ++f) {
        // A file the run did not come to is not there at all; the one that
        // failed holds the half write and nothing after it.
        if (failed && outputs.path(f) != failing && !std::filesystem::exists(outputs.path(f))) continue;
        const std::string kept = test::read_file(outputs.path(f));
        if (failed && outputs.path(f) == failing) {
            EXPECT_LT(kept.size(), expected[f].size());
        } else {
            EXPECT_EQ(expected[f].substr(0, failed ? kept.size() : std::string::npos), kept) << f;
        }
    }
    if (!failed) {
        // Every write but a file's last begins and ends on a page of the file.
        for (std::size_t f = 0; f < kFiles; ++f) EXPECT_LE(files.ragged_writes(outputs.path(f)), 1) << f;
        EXPECT_EQ(files.count(Op::OpenWrite) > static_cast<long>(kFiles), c.most_open < kFiles);
        EXPECT_EQ(files.count(Op::Close), files.count(Op::OpenWrite));  // every file closed by the closing pass
    }
}

constexpr auto kBehind = OutputSet::Writing::Behind, kInLine = OutputSet::Writing::InLine;
INSTANTIATE_TEST_SUITE_P(Writings, OutputBudget,
                         ::testing::Values(BudgetCase{{"BehindAllOpen"}, kBehind, 100},
                                           BudgetCase{{"BehindReopening"}, kBehind, 16},
                                           BudgetCase{{"InLineAllOpen"}, kInLine, 100},
                                           BudgetCase{{"InLineReopening"}, kInLine, 16},
                                           BudgetCase{{"BehindFirstWriteFails"}, kBehind, 16, 1},
                                           BudgetCase{{"BehindSecondWriteFails"}, kBehind, 100, 2},
                                           BudgetCase{{"BehindFifthWriteFails"}, kBehind, 16, 5},
                                           BudgetCase{{"InLineFirstWriteFails"}, kInLine, 100, 1},
                                           BudgetCase{{"InLineSecondWriteFails"}, kInLine, 16, 2},
                                           BudgetCase{{"InLineFifthWriteFails"}, kInLine, 100, 5}),
                         test::case_name);

}  // namespace
}  // namespace marrowgate
