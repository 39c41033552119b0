// What a run tells of its warnings: short summaries grouped by kind, and the
// report in the application folder holding every one.
#include <set>
#include <sstream>

#include "sort/SortFixture.h"

namespace marrowgate::test {
namespace {

// A hundred thousand parts whose decals (1,500 of them, more than the groups
// kept) the decal library lacks, and a decal defined twice: the summary stays
// about 40 lines, the report names every part, and the counts are exact.
TEST_F(SortRun, ManyWarningsGiveAShortSummaryAndACompleteReport) {
    constexpr int kParts = 100000;
    std::string bytes = std::string(kPartTypeMarkerV4) + "\r\n\r\n";
    for (int i = 0; i < kParts; ++i)
        bytes += "U" + std::to_string(i) + " MISS" + std::to_string(i % 1500) + " I TTL 3 1 0 0 0\r\nGATE 1 3 0\r\n\r\n";
    bytes += "A1 DIP8 I TTL 3 1 0 0 0\r\n\r\n*END*\r\n";
    const auto many = list("many.p", bytes);
    write_file(dir / "d.d", crlf({kDecalMarkerV4, "", "DIP8 M 0 0 0 2 1 0 8 1 0", "", "DIP8 M 0 0 0 2 1 0 9 1 0"}));
    choose_decals(dir / "d.d");
    ASSERT_TRUE(run(SortKey::PadCount).ok) << result.error;

    const auto& unplaced = result.warnings.of(WarningKind::Unplaced);
    // 1,500 decals missing, of which the first 1,000 are kept as groups.
    EXPECT_EQ(unplaced.count, kParts);
    EXPECT_EQ(unplaced.groups, 1000);
    EXPECT_FALSE(unplaced.groups_exact);
    EXPECT_EQ(unplaced.kept[7].title, "decal MISS7: not in the decal library");
    EXPECT_EQ(unplaced.kept[7].count, 67);
    EXPECT_EQ(unplaced.kept[7].examples, (Lines{"U7", "U1507", "U3007", "U4507", "U6007"}));
    EXPECT_EQ(result.parts_written, 1);
    EXPECT_EQ(result.unplaced[static_cast<std::size_t>(Unplaced::DecalNotInLibrary)], kParts);
    const Lines summary = result.warnings.summary();
    EXPECT_LE(summary.size(), 40u);
    EXPECT_EQ(summary.front(), "The decal library (1):");
    EXPECT_EQ(summary[2], "Parts placed in no file (100,000 parts, more than 1,000 decals):");
    EXPECT_EQ(summary[3], "  decal MISS0: not in the decal library, 67 parts: U0, U1500, U3000, U4500, U6000, ...");
    const auto shown = static_cast<long long>(summary.size() - 4);
    EXPECT_EQ(summary.back(), "  ... and " + with_thousands(kParts - 67 * shown) + " parts more");

    // The report: the summary with every group, then every warning.
    EXPECT_EQ(result.warnings.report, app("marrowgate-report.txt"));
    std::istringstream report(read_file(app("marrowgate-report.txt")));
    std::set<std::string> named;
    long long groups = 0;
    bool every = false;  // in the second part, after its heading
    for (std::string line; std::getline(report, line);) {
        every = every || line == "Every warning, in the order met:";
        if (line.rfind("U7:", 0) == 0) {  // the part's place and line: three lines a part from line 3
            EXPECT_EQ(line, "U7: decal MISS7, many.p part 8 at line 24 (" + display_path(many) + ")");
        }
        if (line.rfind("  decal MISS", 0) == 0 && !every) ++groups;
        if (line[0] == 'U' && every) named.insert(line.substr(0, line.find(':')));
    }
    EXPECT_EQ(groups, 1000);
    EXPECT_EQ(named.size(), static_cast<std::size_t>(kParts));
}

// Part names met twice: within one file and across files, with the same bytes
// or others. Every block is still written.
TEST_F(SortRun, PartNamesMetTwiceAreReportedWithWhereAndWhetherTheBytesDiffer) {
    const Lines x1 = part("X1 DIP8 I TTL 3 1 0 0 0"), y1 = part("Y1 DIP8 I TTL 3 1 0 0 0");
    Lines other_x1 = x1;
    other_x1[1] = "TIMESTAMP 2025.01.01.00.00.00";
    list_parts("a.p", {x1, x1, y1, part("Z1 DIP8 I TTL 3 1 0 0 0")});
    const auto b = list_parts("b.p", {other_x1, y1});
    ASSERT_TRUE(run(SortKey::Alphanumeric).ok) << result.error;
    expect_outputs({{"X", {x1, x1, other_x1}}, {"Y", {y1, y1}}, {"Z", {part("Z1 DIP8 I TTL 3 1 0 0 0")}}});

    const auto& twice = result.warnings.of(WarningKind::DuplicateName);
    EXPECT_EQ(twice.count, 5);
    EXPECT_EQ(twice.groups, 2);
    ASSERT_EQ(twice.kept.size(), 2u);
    EXPECT_EQ(twice.kept[0].examples, (Lines{"a.p part 1 at line 3", "a.p part 2 at line 7 (the same bytes)",
                                             "b.p part 1 at line 3 (other bytes)"}));
    EXPECT_EQ(twice.kept[1].examples, (Lines{"a.p part 3 at line 11", "b.p part 2 at line 7 (the same bytes)"}));
    EXPECT_NE(read_file(app("marrowgate-report.txt"))
                  .find("X1: b.p part 1 at line 3 (" + display_path(b) + "), other bytes than a.p part 1 at line 3\n"),
              std::string::npos);
}

// After a run by another key, the files of the first stay in lib, counted as
// not written by this run; a file the run writes again is not counted.
TEST_F(SortRun, FilesOfEarlierRunsAreCountedNotDeleted) {
    list_parts("a.p", {part("A1 DIP8 I TTL 3 1 0 0 0"), part("B1 SO8 I CMOS 3 1 0 0 0")});
    ASSERT_TRUE(run(SortKey::Alphanumeric).ok) << result.error;
    EXPECT_EQ(result.earlier_files, 0);
    ASSERT_TRUE(run(SortKey::LogicFamily).ok) << result.error;
    EXPECT_EQ(result.earlier_files, 2);  // LIB_A.p and LIB_B.p
    ASSERT_TRUE(run(SortKey::Alphanumeric).ok) << result.error;
    EXPECT_EQ(result.earlier_files, 2);  // LIB_TTL.p and LIB_CMOS.p
    EXPECT_EQ(lib_files().size(), 4u);
}

}  // namespace
}  // namespace marrowgate::test
