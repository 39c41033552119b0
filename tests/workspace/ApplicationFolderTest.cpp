#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "support/TestSupport.h"
#include "workspace/Folders.h"

namespace marrowgate {
namespace {

using test::TempDir;

TEST(ApplicationFolder, PortableCopyInstalledCopyAndGivenFolder) {
    TempDir root;
    const auto bin = root / "bin", given = root / "given", home = root / "home" / ".local" / "share" / "marrowgate";
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(given);
    std::map<std::string, std::string> env{{"HOME", (root / "home").string()}};
    const auto choose = [&](std::optional<std::filesystem::path> folder) {
        return choose_folders(bin, folder, [&](const char* name) {
            return env.count(name) ? std::optional(env.at(name)) : std::nullopt;
        });
    };

    // Installed: no message file beside the program.
    EXPECT_TRUE(choose(std::nullopt).installed);
#ifndef _WIN32
    EXPECT_EQ(choose(std::nullopt).application_folder, home);
    EXPECT_EQ(choose(std::nullopt).message_file, root / "share" / "marrowgate" / "marrowgate_msg.dat");
    env["XDG_DATA_HOME"] = (root / "xdg").string();
    EXPECT_EQ(choose(std::nullopt).application_folder, root / "xdg" / "marrowgate");
    env["XDG_DATA_HOME"] = "relative/ignored";
    EXPECT_EQ(choose(std::nullopt).application_folder, home);
#else
    env["LOCALAPPDATA"] = (root / "local").string();
    EXPECT_EQ(choose(std::nullopt).application_folder, root / "local" / "Marrowgate");
#endif

    // Portable: the message file beside the program keeps the program's folder.
    test::write_file(bin / "marrowgate_msg.dat", "1;x;y\r\n");
    EXPECT_FALSE(choose(std::nullopt).installed);
    EXPECT_EQ(choose(std::nullopt).application_folder, bin);
    EXPECT_EQ(choose(std::nullopt).message_file, bin / "marrowgate_msg.dat");

    // A given folder overrides both; its own message file is preferred.
    EXPECT_EQ(choose(given).application_folder, given);
    EXPECT_EQ(choose(given).message_file, bin / "marrowgate_msg.dat");
    test::write_file(given / "marrowgate_msg.dat", "1;a;b\r\n");
    EXPECT_EQ(choose(given).message_file, given / "marrowgate_msg.dat");
}

// The same through a dry run's layer, which makes them for the run to try
// and removes them when it goes.
TEST(ApplicationFolder, IsCreatedWithItsParentsAndRefusedWhenAFileBlocksIt) {
    TempDir root;
    Module1 state;
    const auto made = [&](const std::filesystem::path& folder, bool dry) {
        state.Application_Folder = folder;
        DiscardingFileSystem trial(real_file_system());
        return make_working_folders(state, dry ? static_cast<FileSystem&>(trial) : real_file_system());
    };
    EXPECT_TRUE(made(root / "a" / "b" / "marrowgate", true));
    EXPECT_FALSE(std::filesystem::exists(root / "a"));
    EXPECT_TRUE(made(root / "a" / "b" / "marrowgate", false));
    EXPECT_TRUE(std::filesystem::is_directory(root / "a" / "b" / "marrowgate" / "tmp"));
    EXPECT_TRUE(make_application_folder(root / "a" / "b" / "marrowgate"));
    test::write_file(root / "file", "");
    EXPECT_FALSE(make_application_folder(root / "file" / "marrowgate"));
    for (const bool dry : {true, false}) EXPECT_FALSE(made(root / "file" / "marrowgate", dry));
    std::filesystem::remove(root / "a" / "b" / "marrowgate" / "tmp");
    test::write_file(root / "a" / "b" / "marrowgate" / "tmp", "");
    for (const bool dry : {true, false}) EXPECT_FALSE(made(root / "a" / "b" / "marrowgate", dry));
}

#ifndef _WIN32
// Without a home folder an installed copy works in the temporary folder, in a
// folder only its user can enter; anything else there is refused.
TEST(ApplicationFolder, FallbackWithoutAHomeFolderIsPrivateOrRefused) {
    TempDir root;
    const char* saved = std::getenv("TMPDIR");
    const std::string saved_value = saved ? saved : "";
    ::setenv("TMPDIR", root.path().c_str(), 1);
    const auto none = [](const char*) { return std::optional<std::string>(); };
    const auto fallback = root / ("marrowgate-" + std::to_string(::getuid()));

    FolderChoice choice = choose_folders(root / "bin", std::nullopt, none);
    EXPECT_EQ(choice.application_folder, fallback);
    EXPECT_EQ(choice.refusal, "");
    EXPECT_EQ(std::filesystem::status(fallback).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);

    std::filesystem::permissions(fallback, std::filesystem::perms::all);  // open to everybody
    EXPECT_NE(choose_folders(root / "bin", std::nullopt, none).refusal, "");
    std::filesystem::remove(fallback);
    std::filesystem::create_directory(root / "elsewhere");
    std::filesystem::create_directory_symlink(root / "elsewhere", fallback);  // planted by another user
    EXPECT_NE(choose_folders(root / "bin", std::nullopt, none).refusal.find("--app-folder"), std::string::npos);
    EXPECT_EQ(choose_folders(root / "bin", root / "given", none).refusal, "");

    if (saved) ::setenv("TMPDIR", saved_value.c_str(), 1);
    else ::unsetenv("TMPDIR");
}
#endif

}  // namespace
}  // namespace marrowgate
