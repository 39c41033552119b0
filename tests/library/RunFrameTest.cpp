#include "library/RunFrame.h"

#include "sort/SortFixture.h"

namespace marrowgate::test {
namespace {

TEST(RunFrame, ProgressCaption) {
    EXPECT_EQ(progress_caption("Processing...", 1, 3), "Processing... 33 %");
    EXPECT_EQ(progress_caption("Processing...", 2, 3), "Processing... 66 %");
    EXPECT_EQ(progress_caption("First pass...", 1, 200), "First pass... 0 %");
    EXPECT_EQ(progress_caption("Processing...", 5, 4), "Processing... 125 %");
    EXPECT_EQ(progress_caption("Processing...", 3, 0), "Processing...");
}

// Failed runs; the failing file layer's tests cover vanished inputs, lib or
// tmp being files and outputs that are inputs.
class FailingRun : public SortRun {};

TEST_F(FailingRun, ADecalFileThatIsAListFileIsNeverEmptied) {
    list_parts("a.p", {part("A1 DIP8 I TTL 1 1 0 0 0")});
    const auto decal = app("Pads_Number_in_Decals.dat");
    const std::string bytes = crlf({kDecalMarkerV4, "DIP8 M 0 0 0 2 1 0 8 1 0"});
    write_file(decal, bytes);
    ASSERT_EQ(choose_decal_file(state, decal, real_file_system(), MarkerRule::decals_v4()).outcome,
              AddOutcome::Added);
    run(SortKey::PadCount);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find(display_path(decal)), std::string::npos) << result.error;
    EXPECT_EQ(read_file(decal), bytes);
    EXPECT_TRUE(lib_files().empty());
    EXPECT_FALSE(std::filesystem::exists(app("tmp") / "Pads_Number_in_Decals.dat"));
    EXPECT_EQ(status.hourglass_changes, (std::vector<bool>{true, false}));
    EXPECT_NE(status.captions.back(), "Done.");
}

TEST_F(FailingRun, AFullKeyTableStopsTheRunBeforeAnyFileIsWritten) {
    // Fifty initials that stay distinct where letter case is ignored.
    const std::string initials = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ!#$%&'()+,-;=@[";
    std::vector<Lines> blocks;
    for (const char c : initials.substr(0, 50)) blocks.push_back(part(std::string(1, c) + "X DIP8 I TTL 1 1 0 0 0"));
    list_parts("fifty.p", blocks);
    ASSERT_TRUE(run(SortKey::Alphanumeric).ok) << result.error;
    EXPECT_EQ(lib_files().size(), 50u);

    std::filesystem::remove_all(lib_folder(state));
    std::filesystem::remove_all(app("tmp"));
    ASSERT_TRUE(tmp_makedir(state));
    list_parts("one-more.p", {part("[X DIP8 I TTL 1 1 0 0 0")});
    run(SortKey::Alphanumeric);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("50"), std::string::npos) << result.error;
    EXPECT_NE(result.error.find("\"[\""), std::string::npos) << result.error;
    EXPECT_TRUE(lib_files().empty());
    EXPECT_TRUE(file_names(app("tmp")).empty());
    EXPECT_FALSE(status.hourglass);
}

TEST_F(FailingRun, DecalKeysHoldUpTo1024) {
    std::vector<Lines> blocks;
    for (int i = 1; i <= 1025; ++i) blocks.push_back(part("P D" + std::to_string(i) + " I TTL 1 1 0 0 0"));
    const Lines last = blocks.back();
    blocks.pop_back();
    list_parts("many.p", blocks);
    ASSERT_TRUE(run(SortKey::DecalName).ok) << result.error;
    EXPECT_EQ(lib_files().size(), 1024u);
    list_parts("last.p", {last});
    run(SortKey::DecalName);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("1024"), std::string::npos) << result.error;
    EXPECT_NE(result.error.find("D1025"), std::string::npos) << result.error;
}

}  // namespace
}  // namespace marrowgate::test
