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

    ASSERT_EQ(result.unplaced.size(), 2u);
    EXPECT_EQ(result.unplaced[0].part, "Z1");
    EXPECT_EQ(result.unplaced[0].decal, "SO8");
    EXPECT_EQ(result.unplaced[1].part, "S1");
    // The short decal line, the second DIP14 and the two unplaced parts.
    ASSERT_EQ(result.warnings.size(), 4u);
    EXPECT_NE(result.warnings[0].find("line 8:"), std::string::npos) << result.warnings[0];
    EXPECT_NE(result.warnings[1].find("line 9: the decal DIP14 is defined again (pad count 99)"), std::string::npos)
        << result.warnings[1];
    EXPECT_NE(result.warnings[2].find("Z1"), std::string::npos) << result.warnings[2];
}

TEST_F(SortRun, PadCountWithoutADecalFilePlacesNoPart) {
    list_parts("parts.p", {part("A1 DIP8 I TTL 1 1 0 0 0"), part("A2 SO8 I TTL 1 1 0 0 0")});
    ASSERT_TRUE(run(SortKey::PadCount).ok) << result.error;
    EXPECT_TRUE(lib_files().empty());
    // The parts are listed as placed nowhere; one warning says why.
    EXPECT_EQ(result.unplaced.size(), 2u);
    EXPECT_EQ(result.warnings, Lines{"No PCB decal file was chosen, so no part could be placed."});
}

}  // namespace
}  // namespace marrowgate::test
