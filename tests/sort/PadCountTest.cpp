#include <map>

#include "sort/SortFixture.h"

namespace marrowgate::test {
namespace {

// Counts the files opened for reading, by file name, and reads them from disk.
class CountingFileSystem final : public FileSystem {
public:
    std::unique_ptr<InputFile> open_read(const std::filesystem::path& path) override {
        ++reads[path.filename().string()];
        return real_file_system().open_read(path);
    }
    std::unique_ptr<OutputFile> open_write(const std::filesystem::path& path, WriteMode mode) override {
        return real_file_system().open_write(path, mode);
    }
    std::map<std::string, int> reads;
};

class PadCountRun : public SortRun {
protected:
    void choose_decals(const Lines& lines) {
        const auto path = dir / "decals.d";
        write_file(path, crlf(lines));
        ASSERT_EQ(choose_decal_file(state, path, real_file_system(), MarkerRule::decals_v4()).outcome,
                  AddOutcome::Added);
    }
};

TEST_F(PadCountRun, PartsGoToTheFileOfTheirFirstDecalsPadCount) {
    choose_decals({kDecalMarkerV4, "", "DIP14      M 0   0  0 2 1 0 14 1 0", "TIMESTAMP 2024.01.01.00.00.00",
                   "SO14 M 0 0 0 2 1 0 14 1 0", "TQFP I 0 0 0 2 1 0 014 1 0", "dip14 M 0 0 0 2 1 0 8 1 0",
                   "SHORT M 0 0 0 2 1 0 8", "DIP14 M 0 0 0 2 1 0 99 1 0", "*END*"});
    const Lines dip = part("74LS00 DIP14:SO14 I TTL 3 1 0 0 0"), so = part("LM324 SO14 I ANA 2 1 0 0 0"),
                tqfp = part("X1 TQFP I TTL 3 1 0 0 0"), low = part("Y1 dip14 I TTL 3 1 0 0 0"),
                // Not in the decal library; its attribute line names a decal that is.
                lost{"Z1 SO8 I TTL 3 1 0 0 0", "\"Note\" SO14 M a b c d e f g h", ""},
                short_decal = part("S1 SHORT I TTL 3 1 0 0 0");
    list_parts("parts.p", {dip, lost, so, tqfp, low, short_decal});

    CountingFileSystem files;
    ASSERT_TRUE(run(SortKey::PadCount, files).ok) << result.error;
    EXPECT_EQ(files.reads["decals.d"], 1);  // indexed once per run, whatever the number of parts
    EXPECT_EQ(lib_files(), (Lines{"LIB_014.p", "LIB_14.p", "LIB_8.p"}));
    EXPECT_EQ(lib("14"), output_bytes({dip, so}));
    EXPECT_EQ(lib("014"), output_bytes({tqfp}));
    EXPECT_EQ(lib("8"), output_bytes({low}));

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
    EXPECT_EQ(read_file(app("tmp") / "Pads_Number_in_Decals.dat"), "");
    EXPECT_EQ(read_file(app("Pads_Number_in_Decals.dat")), "");
}

TEST_F(PadCountRun, WithoutADecalFileNothingIsWrittenButTheListFiles) {
    list_parts("parts.p", {part("A1 DIP8 I TTL 1 1 0 0 0"), part("A2 SO8 I TTL 1 1 0 0 0")});
    write_file(app("tmp") / "Pads_Number_in_Decals.dat", "old");
    write_file(app("Pads_Number_in_Decals.dat"), "old");
    ASSERT_TRUE(run(SortKey::PadCount).ok) << result.error;
    EXPECT_TRUE(lib_files().empty());
    EXPECT_EQ(read_file(app("tmp") / "Pads_Number_in_Decals.dat"), "");
    EXPECT_EQ(read_file(app("Pads_Number_in_Decals.dat")), "");
    EXPECT_EQ(status.captions.back(), "Done.");
    // The parts are listed as placed nowhere; one warning says why.
    EXPECT_EQ(result.unplaced.size(), 2u);
    EXPECT_EQ(result.warnings, Lines{"No PCB decal file was chosen, so no part could be placed."});
}

}  // namespace
}  // namespace marrowgate::test
