#include <algorithm>

#include "sort/SortFixture.h"
#include "support/FaultyFileSystem.h"

namespace marrowgate::test {
namespace {

TEST_F(SortRun, PadCountPutsPartsInTheFileOfTheirFirstDecalsPadCount) {
    const auto decal_file = dir / "decals.d";
    write_file(decal_file, crlf({kDecalMarkerV4, "", "DIP14      M 0   0  0 2 1 0 14 1 0", "TIMESTAMP 2024.01.01.00.00.00",
                                 "SO14 M 0 0 0 2 1 0 14 1 0", "TQFP I 0 0 0 2 1 0 014 1 0", "dip14 M 0 0 0 2 1 0 8 1 0",
                                 "SHORT M 0 0 0 2 1 0 8", "DIP14 M 0 0 0 2 1 0 99 1 0", "*END*"}));
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
    EXPECT_NE(result.warnings[0].find("line 8"), std::string::npos) << result.warnings[0];
    EXPECT_NE(result.warnings[1].find("DIP14"), std::string::npos) << result.warnings[1];
    EXPECT_NE(result.warnings[2].find("Z1"), std::string::npos) << result.warnings[2];

    EXPECT_EQ(status.captions,
              (Lines{"Processing...", "First pass... 16 %", "First pass... 33 %", "First pass... 50 %",
                     "First pass... 66 %", "First pass... 83 %", "First pass... 100 %", "Processing... 16 %",
                     "Processing... 33 %", "Processing... 50 %", "Processing... 66 %", "Processing... 83 %",
                     "Processing... 100 %", "Done."}));
}

// Several files are read side by side in the first pass; what the user sees is
// what reading them one after another shows: every percentage in turn, and
// the keys in the order the parts first name them.
TEST_F(SortRun, FirstPassOverSeveralFilesShowsEveryPercentageAndKeepsTheKeyOrder) {
    const auto decal_file = dir / "decals.d";
    Lines decals{kDecalMarkerV4, ""};
    for (int pads = 1; pads <= 9; ++pads) decals.push_back("D" + std::to_string(pads) + " M 0 0 0 2 1 0 " + std::to_string(pads) + " 1 0");
    write_file(decal_file, crlf(decals));
    choose_decals(decal_file);
    std::vector<std::string> expected_keys;
    for (int file = 0; file < 3; ++file) {
        std::vector<Lines> blocks;
        for (int i = 0; i < 90 - 10 * file; ++i) {
            const int pads = (i * 7 + file * 3) % 9 + 1;
            const std::string key = std::to_string(pads);
            if (std::find(expected_keys.begin(), expected_keys.end(), key) == expected_keys.end()) expected_keys.push_back(key);
            blocks.push_back(part("P" + std::to_string(file) + "_" + std::to_string(i) + " D" + key + " I TTL 1 1 0 0 0"));
        }
        list_parts("parts" + std::to_string(file) + ".p", blocks);
    }
    ASSERT_EQ(state.Total_Parts, 240);
    ASSERT_TRUE(run(SortKey::PadCount).ok) << result.error;

    Lines expected_captions{"Processing..."};
    for (const char* phase : {"First pass...", "Processing..."})
        for (int part = 1; part <= 240; ++part) expected_captions.push_back(progress_caption(phase, part, 240));
    expected_captions.erase(std::unique(expected_captions.begin(), expected_captions.end()), expected_captions.end());
    expected_captions.push_back("Done.");
    EXPECT_EQ(status.captions, expected_captions);
    Lines keys;
    for (const auto& output : result.outputs) keys.push_back(output.key);
    EXPECT_EQ(keys, expected_keys);
}

TEST_F(SortRun, PadCountWithoutADecalFilePlacesNoPart) {
    list_parts("parts.p", {part("A1 DIP8 I TTL 1 1 0 0 0"), part("A2 SO8 I TTL 1 1 0 0 0")});
    ASSERT_TRUE(run(SortKey::PadCount).ok) << result.error;
    EXPECT_TRUE(lib_files().empty());
    EXPECT_EQ(status.captions.back(), "Done.");
    // The parts are listed as placed nowhere; one warning says why.
    EXPECT_EQ(result.unplaced.size(), 2u);
    EXPECT_EQ(result.warnings, Lines{"No PCB decal file was chosen, so no part could be placed."});
}

}  // namespace
}  // namespace marrowgate::test
