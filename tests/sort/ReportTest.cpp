// What a run tells of its warnings: short summaries grouped by kind, and the
// report in the application folder holding every one.
#include <algorithm>
#include <set>
#include <sstream>

#include "report/RunText.h"
#include "sort/SortFixture.h"

namespace marrowgate::test {
namespace {

// A hundred thousand parts whose decals (9,800 of them, far more than the
// groups kept in memory; one with a long part name) the decal library lacks,
// 1,100 names met twice, and a decal defined twice. The box fits a small
// screen, the summary stays about 40 lines, and the report has every group,
// worked out from the warnings on disk, and every part with its place and
// line.
TEST_F(SortRun, ManyWarningsGiveAShortBoxAndSummaryAndACompleteReport) {
    constexpr int kParts = 100000, kDecals = 9800, kTwice = 1100;
    const std::string long_name = "L" + std::string(20000, 'x');  // its records longer than a piece read
    std::string bytes = std::string(kPartTypeMarkerV4) + "\r\n\r\n" + long_name + " MISSLONG I TTL 3 1 0 0 0\r\n\r\n";
    for (int i = 0; i < kParts; ++i)
        bytes += "U" + std::to_string(i) + " MISS" + std::to_string(i % kDecals) + " I TTL 3 1 0 0 0\r\nGATE 1 3 0\r\n\r\n";
    for (int i = 0; i < 2 * kTwice; ++i) bytes += "D" + std::to_string(i % kTwice) + " DIP8 I TTL 3 1 0 0 0\r\n\r\n";
    bytes += "A1 DIP8 I TTL 3 1 0 0 0\r\n\r\n*END*\r\n";
    const auto many = list("many.p", bytes);
    write_file(dir / "d.d", crlf({kDecalMarkerV4, "", "DIP8 M 0 0 0 2 1 0 8 1 0", "", "DIP8 M 0 0 0 2 1 0 9 1 0"}));
    choose_decals(dir / "d.d");
    ASSERT_TRUE(run(SortKey::PadCount).ok) << result.error;

    // The first 1,000 decals and names are kept in memory; the report counted the rest.
    const auto& unplaced = result.warnings.of(WarningKind::Unplaced);
    EXPECT_EQ(unplaced.count, kParts + 1);
    EXPECT_EQ(unplaced.groups, kDecals + 1);
    EXPECT_TRUE(unplaced.groups_exact);
    EXPECT_EQ(unplaced.kept.size(), 1000u);
    EXPECT_EQ(unplaced.kept[8].title, "decal MISS7: not in the decal library");
    EXPECT_EQ(unplaced.kept[8].count, 11);
    EXPECT_EQ(unplaced.kept[8].examples, (Lines{"U7", "U9807", "U19607", "U29407", "U39207"}));
    EXPECT_EQ(result.warnings.of(WarningKind::DuplicateName).groups, kTwice);
    EXPECT_TRUE(result.warnings.of(WarningKind::DuplicateName).groups_exact);
    EXPECT_EQ(result.parts_written, 2 * kTwice + 1);
    EXPECT_EQ(result.unplaced[static_cast<std::size_t>(Unplaced::DecalNotInLibrary)], kParts + 1);

    const Lines summary = warning_lines(result.warnings);
    EXPECT_LE(summary.size(), 40u);
    EXPECT_EQ(summary.front(), "The decal library (1):");
    EXPECT_EQ(summary[2], "Parts placed in no file (100,001 parts, 9,801 decals):");
    EXPECT_EQ(summary[4], "  decal MISS0: not in the decal library, 11 parts: U0, U9800, U19600, U29400, U39200, ...");
    const auto names = std::find(summary.begin(), summary.end(), "Part names met more than once (1,100 names, 2,200 blocks):");
    ASSERT_NE(names, summary.end());
    EXPECT_EQ(*(names - 1), "  ... and " + with_thousands(kDecals + 1 - (names - summary.begin() - 4)) + " more");

    // The box: the headline, the first groups, where the report is.
    std::istringstream box(run_box_text(result));
    Lines box_lines;
    for (std::string line; std::getline(box, line);) box_lines.push_back(line);
    EXPECT_LE(box_lines.size(), kBoxLines);
    for (const auto& line : box_lines) EXPECT_LE(line.size(), kBoxWidth) << line;
    ASSERT_GE(box_lines.size(), 6u);
    EXPECT_EQ(box_lines[0], "Wrote 2,201 of 102,202 parts into 1 library file in " + display_path(app("lib")) + ".");
    EXPECT_EQ(box_lines[1], "100,001 parts were placed in no file: their decal is not in the decal library (9,801 decals).");
    EXPECT_EQ(box_lines[3], "Warnings (102,202):");
    EXPECT_EQ(box_lines[7], "  decal MISSLONG: not in the decal library, 1 part: L" + std::string(19, 'x') + "..." +
                                std::string(35, 'x'));
    EXPECT_EQ(box_lines.back(), display_path(app("marrowgate-report.txt")));
    // "Details": the same headline, the file table, the groups, the report.
    const std::string details = run_details_text(result, app("lib"));
    EXPECT_EQ(details.rfind(box_lines[0] + "\n" + box_lines[1] + "\n\nLibrary files written in ", 0), 0u) << details;
    EXPECT_NE(details.find("\n  LIB_8.p   key \"8\"   2,201 parts\n"), std::string::npos) << details;
    EXPECT_TRUE(details.ends_with("\nThe report of the run, with every warning: " + box_lines.back() + "\n")) << details;

    // The report: every group once, in the order first met, then every part
    // with its place and line (three lines a part, the first on line 5).
    EXPECT_EQ(result.warnings.report, app("marrowgate-report.txt"));
    std::istringstream report(read_file(app("marrowgate-report.txt")));
    Lines groups;
    long long names_grouped = 0;
    std::set<std::string> named;
    bool every = false;  // in the second part, after its heading
    for (std::string line; std::getline(report, line);) {
        every = every || line == "Every warning of those groups, in the order met:";
        if (line.rfind("  decal MISS", 0) == 0 && !every) groups.push_back(line.substr(0, line.find(':')));
        names_grouped += line.rfind("  part D", 0) == 0 && !every;
        if (line.rfind("  part D1099,", 0) == 0) {  // past the names kept; lines from 300,005, two a part
            EXPECT_EQ(line, "  part D1099, 2 blocks: many.p part 101,101 at line 302,203, many.p part 102,201 at line "
                            "304,403 (the same bytes)");
        }
        if (line[0] == 'U' && every) named.insert(line.substr(0, line.find(':')));
        if (line.rfind("U7:", 0) == 0) {
            EXPECT_EQ(line, "U7: decal MISS7, many.p part 9 at line 26 (" + display_path(many) + ")");
        }
        if (line.rfind("  decal MISS9799:", 0) == 0) {
            EXPECT_EQ(line, "  decal MISS9799: not in the decal library, 10 parts: U9799, U19599, U29399, U39199, U48999, ...");
        }
    }
    ASSERT_EQ(groups.size(), static_cast<std::size_t>(kDecals + 1));
    EXPECT_EQ(groups[0], "  decal MISSLONG");
    for (int d = 0; d < kDecals; ++d) ASSERT_EQ(groups[static_cast<std::size_t>(d) + 1], "  decal MISS" + std::to_string(d));
    EXPECT_EQ(named.size(), static_cast<std::size_t>(kParts));
    EXPECT_EQ(names_grouped, kTwice);
}

// A summary of so many lines shares them among the kinds: a kind whose
// groups fit in its share shows them all; with one group more it shows one
// fewer and says how many more there are, in as many lines.
TEST(WarningLines, AKindShowsEveryGroupThatFitsItsShareElseHowManyMore) {
    for (const int groups : {9, 10}) {
        RunWarnings warnings;
        for (int g = 0; g < groups; ++g)
            warnings.add(WarningKind::DuplicateName, "P" + std::to_string(g), "a.p part 1 at line 3", "P");
        const Lines summary = warning_lines(warnings, 10);  // the title and a share of 9 lines
        ASSERT_EQ(summary.size(), 10u) << groups;
        EXPECT_EQ(summary.back(), groups == 9 ? "  P8, 1 block: a.p part 1 at line 3" : "  ... and 2 more");
    }
}

// The headline says how many parts went into how many files, and how many
// went nowhere and why; the report's groups say why for each decal.
TEST_F(SortRun, HeadlineSaysWhatWasWrittenAndWhatWentNowhere) {
    const Lines dip8 = {kDecalMarkerV4, "", "DIP8 M 0 0 0 2 1 0 8 1 0"};
    Lines so8_short = dip8;  // SO8's header line holds no pad count
    so8_short.insert(so8_short.end(), {"", "SO8 M 0 0 0"});
    const std::vector<Lines> two = {part("A1 DIP8 I TTL 3 1 0 0 0"), part("B1 SO8 I TTL 3 1 0 0 0")};
    std::vector<Lines> three = two;
    three.push_back(part("C1 QFP44 I TTL 3 1 0 0 0"));
    struct Case {
        SortKey key;
        Lines decals;  // none where empty
        std::vector<Lines> parts;
        Lines headline;     // LIB for the lib folder
        std::string group;  // a group line of the report
    };
    const Case cases[] = {
        {SortKey::Alphanumeric, {}, two, {"Wrote 2 parts into 2 library files in LIB."}, ""},
        {SortKey::PadCount, dip8, two,
         {"Wrote 1 of 2 parts into 1 library file in LIB.",
          "1 part was placed in no file: its decal is not in the decal library (1 decal)."},
         "  decal SO8: not in the decal library, 1 part: B1"},
        {SortKey::PadCount, so8_short, two,
         {"Wrote 1 of 2 parts into 1 library file in LIB.",
          "1 part was placed in no file: its decal's header line in the decal library holds no pad count (1 decal)."},
         "  decal SO8: its header line in the decal library holds no pad count, 1 part: B1"},
        {SortKey::PadCount, so8_short, three,
         {"Wrote 1 of 3 parts into 1 library file in LIB.",
          "2 parts were placed in no file: 1 whose decal is not in the decal library; 1 whose decal's header line in "
          "the decal library holds no pad count."},
         "  decal QFP44: not in the decal library, 1 part: C1"},
        {SortKey::PadCount, {}, two,
         {"Wrote no library file: none of the 2 parts read could be placed.",
          "2 parts were placed in no file: no decal library was chosen, and the pad count needs one."},
         "  decal SO8, 1 part: B1"},
        {SortKey::LogicFamily, {}, {}, {"The files hold no part: no library file was written."}, ""},
    };
    for (const Case& c : cases) {
        state = {};
        state.Application_Folder = dir / "app";
        list_parts("in.p", c.parts);
        if (!c.decals.empty()) {
            write_file(dir / "d.d", crlf(c.decals));
            choose_decals(dir / "d.d");
        }
        ASSERT_TRUE(run(c.key).ok) << result.error;
        Lines expected = c.headline;
        for (auto& line : expected)
            if (const auto at = line.find(" in LIB."); at != std::string::npos) line.replace(at + 4, 3, display_path(app("lib")));
        EXPECT_EQ(run_headline(result), expected);
        const std::string report = read_file(app("marrowgate-report.txt"));
        for (const auto& line : expected) EXPECT_NE(report.find("\n" + line + "\n"), std::string::npos) << report;
        EXPECT_NE(report.find("\n" + c.group + (c.group.empty() ? "" : "\n")), std::string::npos) << report;
    }
}

// A report that cannot be put in place (a folder holds its name) leaves the
// run as it ended, and every front end says why the report is missing.
TEST_F(SortRun, AReportThatCannotBeWrittenIsSaidWhereTheReportWouldBe) {
    std::filesystem::create_directories(app("marrowgate-report.txt") / "kept");
    write_file(dir / "d.d", crlf({kDecalMarkerV4, "", "DIP8 M 0 0 0 2 1 0 8 1 0"}));
    list_parts("in.p", {part("A1 DIP8 I TTL 3 1 0 0 0"), part("B1 SO8 I TTL 3 1 0 0 0")});
    choose_decals(dir / "d.d");
    ASSERT_TRUE(run(SortKey::PadCount).ok) << result.error;
    EXPECT_TRUE(result.warnings.report.empty());
    ASSERT_NE(result.warnings.report_error.find("marrowgate-report.txt"), std::string::npos) << result.warnings.report_error;
    const std::string said = "The report could not be written: " + result.warnings.report_error;
    const std::string box = run_box_text(result);
    EXPECT_EQ(box.substr(box.rfind('\n') + 1), shorten(said, kBoxWidth));
    EXPECT_TRUE(run_details_text(result, app("lib")).ends_with("\n" + said + "\n"));
    const std::string summary = run_summary_text(result, false);
    EXPECT_TRUE(summary.ends_with("\n  LIB_8.p   key \"8\"   1 part\nWarnings (1):\n  Parts placed in no file (1 part, 1 "
                                  "decal):\n    decal SO8: not in the decal library, 1 part: B1\n" + said + "\n"))
        << summary;
    EXPECT_EQ(summary.find("Report: "), std::string::npos);
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

// Blocks whose header line holds neither " I " nor " M " (units C) are no
// part blocks: their lines are passed over, each one told with its file and
// line; the marker line, the line after it, empty lines and *END* are not.
TEST_F(SortRun, LinesOutsideAnyPartBlockAreCountedAndEachIsInTheReport) {
    const auto in = list_parts("in.p", {part("A1 DIP8 I TTL 3 1 0 0 0"), part("C1 DIP8 C TTL 3 1 0 0 0"),
                                        part("B1 DIP8 M TTL 3 1 0 0 0"), part("C2 DIP8 C TTL 3 1 0 0 0"),
                                        part("D1 DIP8 I TTL 3 1 0 0 0"), part("E1 DIP8 I TTL 3 1 0 0 0"),
                                        part("C3 DIP8 C TTL 3 1 0 0 0")});
    ASSERT_TRUE(run(SortKey::Alphanumeric).ok) << result.error;
    EXPECT_EQ(result.parts, 4);
    const Lines summary = warning_lines(result.warnings);
    EXPECT_EQ(summary, (Lines{"Lines outside any part block, passed over (9 lines in 1 file):",
                              "  " + display_path(in) + ", 9 lines: 7, 8, 9, 15, 16, ..."}));
    const std::string report = read_file(app("marrowgate-report.txt"));
    std::string every;
    for (const int line : {7, 8, 9, 15, 16, 17, 27, 28, 29}) every += display_path(in) + ", line " + std::to_string(line) + "\n";
    EXPECT_NE(report.find("\nLines outside any part block, passed over (9 lines in 1 file):\n" + every), std::string::npos)
        << report;
    // Under its group a line is only counted: each is listed once.
    const std::string eighth = display_path(in) + ", line 8\n";
    EXPECT_EQ(report.find(eighth), report.rfind(eighth)) << report;
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
