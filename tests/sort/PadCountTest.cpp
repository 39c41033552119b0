#include "sort/SortFixture.h"
#include "support/FaultyFileSystem.h"

namespace marrowgate::test {
namespace {

TEST_F(SortRun, PadCountPutsPartsInTheFileOfTheirFirstDecalsPadCount) {
    // Runs of spaces, a line that is no decal header, a pad count written with
    // a leading zero, decal names that differ in case only, a header one field
    // short of the eleven that hold a pad count and a decal defined twice.
    const auto decal_file = dir / "decals.d";
    write_file(decal_file, crlf({kDecalMarkerV4, "", "DIP14      M 0   0  0 2 1 0 14 1 0", "TIMESTAMP 2024.01.01.00.00.00",
                                 "SO14 M 0 0 0 2 1 0 14 1 0", "TQFP I 0 0 0 2 1 0 014 1 0", "dip14 M 0 0 0 2 1 0 8 1 0",
                                 "SHORT M 0 0 0 2 1 0 8 1", "DIP14 M 0 0 0 2 1 0 99 1 0", "*END*"}));
    choose_decals(decal_file);
    const Lines dip = part("74LS00 DIP14:SO14 I TTL 3 1 0 0 0"), so = part("LM324 SO14 I ANA 2 1 0 0 0"),
                tqfp = part("X1 TQFP I TTL 3 1 0 0 0"), low = part("Y1 dip14 I TTL 3 1 0 0 0"),
                // Not in the decal library; its attribute line names a decal that is.
                lost{"Z1 SO8 I TTL 3 1 0 0 0", "\"Note\" SO14 M a b c d e f g h", ""},
                short_decal = part("S1 SHORT I TTL 3 1 0 0 0");
    list_parts("parts.p", {dip, lost, so, tqfp, low, short_decal});

    FaultyFileSystem files;
    ASSERT_TRUE(run(SortKey::PadCount, files).ok) << result.error;
    EXPECT_EQ(files.read_opens(decal_file), 1);  // indexed once per run, whatever the number of parts
    expect_outputs({{"14", {dip, so}}, {"014", {tqfp}}, {"8", {low}}});

    // The two unplaced parts, by decal; the short decal line and the second DIP14.
    const auto& unplaced = result.warnings.of(WarningKind::Unplaced);
    ASSERT_EQ(unplaced.kept.size(), 2u);
    EXPECT_EQ(unplaced.kept[0].title, "decal SO8: not in the decal library");
    EXPECT_EQ(unplaced.kept[0].examples, Lines{"Z1"});
    EXPECT_EQ(unplaced.kept[1].examples, Lines{"S1"});
    const auto& decals = result.warnings.of(WarningKind::DecalLibrary);
    ASSERT_EQ(decals.count, 2);
    EXPECT_NE(decals.kept[0].title.find("line 8:"), std::string::npos) << decals.kept[0].title;
    EXPECT_NE(decals.kept[1].title.find("line 9: the decal DIP14 is defined again (pad count 99)"), std::string::npos)
        << decals.kept[1].title;
    EXPECT_EQ(result.warnings.total(), 4);
}

TEST_F(SortRun, PadCountWithoutADecalFilePlacesNoPart) {
    list_parts("parts.p", {part("A1 DIP8 I TTL 1 1 0 0 0"), part("A2 SO8 I TTL 1 1 0 0 0")});
    ASSERT_TRUE(run(SortKey::PadCount).ok) << result.error;
    EXPECT_TRUE(lib_files().empty());
    // The parts are listed as placed nowhere; one warning says why.
    EXPECT_EQ(result.warnings.of(WarningKind::Unplaced).count, 2);
    EXPECT_EQ(result.warnings.of(WarningKind::NoDecalFile).kept[0].title,
              "No PCB decal file was chosen, so no part could be placed.");
}

}  // namespace
}  // namespace marrowgate::test
