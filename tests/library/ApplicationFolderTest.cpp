#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "library/Folders.h"
#include "support/TestSupport.h"

namespace marrowgate {
namespace {

using test::TempDir;

TEST(ApplicationFolder, PortableCopyInstalledCopyAndGivenFolder) {
    TempDir root;
    const auto bin = root / "bin";
    std::filesystem::create_directories(bin);
    struct {
        std::map<std::string, std::string> values;
        std::function<std::optional<std::string>(const char*)> getenv() const {
            return [this](const char* name) { return values.count(name) ? std::optional(values.at(name)) : std::nullopt; };
        }
    } env;
    env.values["HOME"] = (root / "home").string();

    // Installed: no message file beside the program.
    auto choice = choose_folders(bin, std::nullopt, env.getenv());
    EXPECT_TRUE(choice.installed);
#ifndef _WIN32
    EXPECT_EQ(choice.application_folder, root / "home" / ".local" / "share" / "marrowgate");
    EXPECT_EQ(choice.message_file, root / "share" / "marrowgate" / "marrowgate_msg.dat");
    env.values["XDG_DATA_HOME"] = (root / "xdg").string();
    EXPECT_EQ(choose_folders(bin, std::nullopt, env.getenv()).application_folder, root / "xdg" / "marrowgate");
    env.values["XDG_DATA_HOME"] = "relative/ignored";
    EXPECT_EQ(choose_folders(bin, std::nullopt, env.getenv()).application_folder,
              root / "home" / ".local" / "share" / "marrowgate");
#else
    env.values["LOCALAPPDATA"] = (root / "local").string();
    EXPECT_EQ(choose_folders(bin, std::nullopt, env.getenv()).application_folder, root / "local" / "Marrowgate");
#endif

    // Portable: the message file beside the program keeps the program's folder.
    test::write_file(bin / "marrowgate_msg.dat", "1;x;y\r\n");
    choice = choose_folders(bin, std::nullopt, env.getenv());
    EXPECT_FALSE(choice.installed);
    EXPECT_EQ(choice.application_folder, bin);
    EXPECT_EQ(choice.message_file, bin / "marrowgate_msg.dat");

    // A given folder overrides both; its own message file is preferred.
    const auto given = root / "given";
    std::filesystem::create_directories(given);
    choice = choose_folders(bin, given, env.getenv());
    EXPECT_EQ(choice.application_folder, given);
    EXPECT_EQ(choice.message_file, bin / "marrowgate_msg.dat");
    test::write_file(given / "marrowgate_msg.dat", "1;a;b\r\n");
    EXPECT_EQ(choose_folders(bin, given, env.getenv()).message_file, given / "marrowgate_msg.dat");
}

TEST(ApplicationFolder, IsCreatedWithItsParentsAndRefusedWhenAFileBlocksIt) {
    TempDir root;
    EXPECT_TRUE(working_folders_possible(root / "a" / "b" / "marrowgate"));
    EXPECT_TRUE(make_application_folder(root / "a" / "b" / "marrowgate"));
    EXPECT_TRUE(std::filesystem::is_directory(root / "a" / "b" / "marrowgate"));
    test::write_file(root / "file", "");
    EXPECT_FALSE(working_folders_possible(root / "file" / "marrowgate"));
    EXPECT_FALSE(make_application_folder(root / "file" / "marrowgate"));
    test::write_file(root / "a" / "b" / "marrowgate" / "tmp", "");
    EXPECT_FALSE(working_folders_possible(root / "a" / "b" / "marrowgate"));
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
