#include "workspace/FileList.h"

#include <gtest/gtest.h>

#include "io/Paths.h"
#include "state/Module1.h"
#include "support/TestSupport.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace marrowgate::test {
namespace {

class FileList : public ::testing::Test {
protected:
    std::filesystem::path file(const std::string& relative, const Lines& lines) {
        const auto path = dir.path() / path_from_utf8(relative);
        std::filesystem::create_directories(path.parent_path());
        write_file(path, crlf(lines));
        return path;
    }
    // A part-type library of n parts.
    std::filesystem::path library(const std::string& relative, int n) {
        Lines lines{kPartTypeMarkerV4};
        for (int i = 0; i < n; ++i) lines.insert(lines.end(), {"P" + std::to_string(i) + " DIP8 I TTL 1 1 0 0 0", ""});
        return file(relative, lines);
    }
    AddOutcome add(const std::filesystem::path& path) {
        return add_part_type_file(state, path, real_file_system(), MarkerRule::part_types_v4()).outcome;
    }
    AddOutcome choose(const std::filesystem::path& path) {
        return choose_decal_file(state, path, real_file_system(), MarkerRule::decals_v4()).outcome;
    }

    TempDir dir;
    Module1 state;
};

// Files offered to "+" in turn, and what it makes of each.
TEST_F(FileList, WhatPlusAcceptsAndRefuses) {
    const auto missing = add_part_type_file(state, dir / "missing.p", real_file_system(), MarkerRule::part_types_v4());
    EXPECT_EQ(missing.outcome, AddOutcome::CannotRead);
    EXPECT_FALSE(missing.reason.empty());
    const std::pair<std::filesystem::path, AddOutcome> steps[] = {
        {file("third.p", {"x", "", kPartTypeMarkerV4, "A1 DIP8 I TTL 1 1 0 0 0", ""}), AddOutcome::Added},
        {file("space.p", {std::string(kPartTypeMarkerV4) + " "}), AddOutcome::NoMarker},
        {file("case.p", {"*pads-library-part-types-v4*"}), AddOutcome::NoMarker},
        {file("decals.p", {kDecalMarkerV4}), AddOutcome::OtherKind},
        {file("v9.p", {"*PADS-LIBRARY-PART-TYPES-V9*"}), AddOutcome::OtherVersion},
        {dir / "third.p", AddOutcome::AlreadyListed},
        {library("upper.P", 1), AddOutcome::WrongExtension},
        {library("noextension", 1), AddOutcome::NoDotInTitle},
        {library("NX3215SA-32.768K-EXS00A-MU0000.p", 2), AddOutcome::Added},  // split at the last dot
        {library("lib.d", 3), AddOutcome::Added},  // a part-type library named .d
        {library("x.p", 1), AddOutcome::Added},
        {library("fifth.p", 1), AddOutcome::ListFull},
    };
    for (const auto& [path, outcome] : steps) EXPECT_EQ(add(path), outcome) << path;
    EXPECT_EQ(state.File_Count, 4);
    EXPECT_EQ(state.Total_Parts, 7);
    EXPECT_EQ(listed_file_path(state, 2), dir / "NX3215SA-32.768K-EXS00A-MU0000.p");
}

TEST_F(FileList, SameNameFromTwoFoldersAndRemoval) {
    ASSERT_EQ(add(library("one/lib.p", 10)), AddOutcome::Added);
    ASSERT_EQ(add(library("two/lib.p", 5)), AddOutcome::Added);
    EXPECT_EQ(state.File_Parts[1], 10);
    EXPECT_EQ(state.Total_Parts, 15);
    // "-" finds the row by its name: of two lib.p the one added last goes.
    EXPECT_EQ(remove_listed_file(state, "lib.p"), 2);
    EXPECT_EQ(state.Total_Parts, 10);
    ASSERT_EQ(add(library("b.p", 5)), AddOutcome::Added);
    ASSERT_EQ(add(library("c.p", 1)), AddOutcome::Added);
    EXPECT_EQ(remove_listed_file(state, "nothing.p"), 0);
    EXPECT_EQ(remove_listed_file(state, "lib.p"), 1);
    EXPECT_EQ(state.File_Count, 2);
    EXPECT_EQ(state.Total_Parts, 6);
    EXPECT_EQ(listed_file_path(state, 1), dir / "b.p");
    EXPECT_EQ(state.File_Parts[1], 5);
    EXPECT_EQ(state.File_Name[2], "c.p");
}

TEST_F(FileList, DecalFileChoice) {
    const auto first = file("first.d", {kDecalMarkerV4});
    const auto second = file("second.lib", {"", kDecalMarkerV4});
    ASSERT_EQ(choose(first), AddOutcome::Added);
    EXPECT_EQ(state.Decal_Count, 1);
    EXPECT_EQ(choose(second), AddOutcome::Added);  // any extension, replaces the first
    EXPECT_EQ(decal_file_path(state), second);
    EXPECT_EQ(state.Staged_Extension, ".lib");
    EXPECT_EQ(choose(library("parts.d", 1)), AddOutcome::OtherKind);
    // A listed part-type file is refused even when it carries the decal marker too.
    const auto both = file("both.p", {kPartTypeMarkerV4, kDecalMarkerV4});
    ASSERT_EQ(add(both), AddOutcome::Added);
    EXPECT_EQ(choose(both), AddOutcome::AlreadyListed);
    EXPECT_EQ(decal_file_path(state), second);
    EXPECT_EQ(state.Decal_Count, 1);
    EXPECT_EQ(state.File_Count, 1);

    // A file in the root folder: the folder is the root itself.
    const auto root = dir.path().root_path() / "x.p";
    ASSERT_TRUE(stage_file(state, root));
    EXPECT_EQ(state.Staged_Folder, utf8_from_path(dir.path().root_path()));
    EXPECT_EQ(state.Staged_Base + state.Staged_Extension, "x.p");
}

// Another name of the listed file (a hard link, a symbolic link, a linked
// folder) is that file: refused by "+", where every part would be written
// twice, and as the decal file. A folder, a FIFO or a device (named through a
// link) is refused unread, by "+", by "File ..." and by the file layer:
// reading a FIFO would wait for a writer, a device may never end.
TEST_F(FileList, OtherNamesOfTheListedFileAndWhatIsNotARegularFileAreRefused) {
    const auto listed = file("one/both.p", {kPartTypeMarkerV4, kDecalMarkerV4});
    ASSERT_EQ(add(listed), AddOutcome::Added);
    std::error_code ec;  // links may not be allowed here
    std::filesystem::create_hard_link(listed, dir / "hard.p", ec);
    std::filesystem::create_symlink(listed, dir / "soft.p", ec);
    std::filesystem::create_directory_symlink(dir / "one", dir / "linked", ec);
    std::filesystem::create_directory(dir / "folder.p");
    std::vector<std::pair<std::filesystem::path, AddOutcome>> others = {
        {dir / "hard.p", AddOutcome::AlreadyListed}, {dir / "soft.p", AddOutcome::AlreadyListed},
        {dir / "linked" / "both.p", AddOutcome::AlreadyListed}, {dir / "folder.p", AddOutcome::NotRegularFile}};
#ifndef _WIN32
    alarm(10);  // should a read wait after all, the test program ends instead of waiting with it
    ASSERT_EQ(mkfifo((dir / "pipe.p").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir / "zero.p");
    others.insert(others.end(),
                  {{dir / "pipe.p", AddOutcome::NotRegularFile}, {dir / "zero.p", AddOutcome::NotRegularFile}});
#endif
    for (const auto& [other, outcome] : others) {
        if (!std::filesystem::exists(other)) continue;
        EXPECT_EQ(add(other), outcome) << other;
        EXPECT_EQ(choose(other), outcome) << other;
        if (outcome == AddOutcome::NotRegularFile) {
            EXPECT_THROW(real_file_system().open_read(other), FileError) << other;
        }
    }
    EXPECT_EQ(state.File_Count, 1);
    EXPECT_EQ(state.Decal_Count, 0);
#ifndef _WIN32
    alarm(0);
#endif
}

TEST(MarkerRule, AnyVersionTakesEveryVersionOfItsKindOnly) {
    const auto rule = MarkerRule::part_types_any_version();
    for (const char* line : {"*PADS-LIBRARY-PART-TYPES-V4*", "*PADS-LIBRARY-PART-TYPES-V9*",
                             "*PADS-LIBRARY-PART-TYPES-V2007*", "*PADS-LIBRARY-PART-TYPES-V9.5*"})
        EXPECT_TRUE(rule.matches(line)) << line;
    for (const char* line : {"*PADS-LIBRARY-PART-TYPES-V*", "*PADS-LIBRARY-PART-TYPES-V9* ",
                             "*PADS-LIBRARY-PCB-DECALS-V9*", "*PADS-LIBRARY-PART-TYPES-V9 *"})
        EXPECT_FALSE(rule.matches(line)) << line;
    EXPECT_FALSE(MarkerRule::part_types_v4().matches("*PADS-LIBRARY-PART-TYPES-V9*"));
    EXPECT_EQ(MarkerRule::part_types_v4().version_of("*PADS-LIBRARY-PART-TYPES-V9.5*"), "V9.5");
    EXPECT_EQ(MarkerRule::part_types_v4().version_of("*PADS-LIBRARY-PCB-DECALS-V9*"), "");
}

}  // namespace
}  // namespace marrowgate::test
