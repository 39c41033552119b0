#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>

#include "run/RunFrame.h"
#include "workspace/Staging.h"

#include "io/Paths.h"
#include "support/CliRun.h"
#include "support/TestSupport.h"

#ifndef _WIN32
#include <csignal>
#include <iostream>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace marrowgate::test {
namespace {

class Cli : public ::testing::Test {
protected:
    std::string file(const std::string& name, const std::string& bytes) {
        write_file(dir / name, bytes);
        return utf8_from_path(dir / name);
    }
    std::string lib(const std::string& name) const { return read_file(app / "lib" / name); }

    TempDir dir;
    const std::filesystem::path app = dir / "app";
};

const std::string kV9 = "*PADS-LIBRARY-PART-TYPES-V9*";
const std::string kV2005 = "*PADS-LIBRARY-PART-TYPES-V2005*";

// The program itself, through the shell, each case in the same application
// folder. Any version is sorted as it is, taken by the form of its marker;
// the summary goes to the output. Usage errors and refused files exit with 2,
// runs that cannot be made with 1, and so do their dry runs: the reason (with
// the file it concerns) on the error stream, nothing on the output, nothing
// written. A summary that cannot be written (a full disk, a closed output)
// fails a finished run; a usage error stays one. What the file list refuses
// is tested there; here each reason once, as the command line says it.
TEST_F(Cli, TheProgramSaysWhatItDidAndExitsWithItsStatus) {
    namespace fs = std::filesystem;
    if (!fs::exists(MARROWGATE_CLI_PATH)) GTEST_SKIP() << "program not found here: " << MARROWGATE_CLI_PATH;
    const auto q = [](const std::string& text) { return "\"" + text + "\""; };
    const auto program = [&](const std::vector<std::string>& args, const std::string& stdout_to) {
        std::string command = q(MARROWGATE_CLI_PATH) + " --app-folder " + q(utf8_from_path(app));
        for (const auto& arg : args) command += " " + q(arg);
        command += (stdout_to.empty() ? " >" + q(utf8_from_path(dir / "out.txt")) : " " + stdout_to) + " 2>" +
                   q(utf8_from_path(dir / "err.txt"));
        write_file(dir / "out.txt", "");
#ifdef _WIN32
        const int code = std::system(q(command).c_str());  // cmd /c drops the outer quotes
#else
        const int status = std::system(command.c_str());
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
        CliRun said{code, read_file(dir / "out.txt"), read_file(dir / "err.txt")};
        for (auto* text : {&said.out, &said.err}) text->erase(std::remove(text->begin(), text->end(), '\r'), text->end());
        return said;
    };
    const auto good = file("good.p", library_bytes({part("A1 DIP8 I TTL 1 1 0 0 0")}));
    const auto v9 = file("nine.p", library_bytes({part("B1 DIP8 I TTL 1 1 0 0 0")}, kV9));
    const auto both = file("both.p", crlf({kPartTypeMarkerV4, kDecalMarkerV4}));
    const auto a = file("a.p", library_bytes({part("74LS00 DIP14 I TTL 3 1 0 0 0"), part("BAT SOT23 I DIO 2 1 0 0 0"),
                                              part("7805T TO220 I REG 2 1 0 0 0")}, kV2005));
    const auto b = file("b.p", kV2005 + "\r\n\r\nBC547 TO92 I TRX 3 1 0 0 0\r\nGATE 1 3 0");
    const auto decals = file("lib.d", crlf({"*PADS-LIBRARY-PCB-DECALS-V9*", "DIP14 M 0 0 0 2 1 0 14 1 0"}));
    std::vector<Lines> families;
    for (int i = 0; i < 51; ++i) families.push_back(part("P DIP8 I F" + std::to_string(i) + " 1 1 0 0 0"));
    const auto many = file("many.p", library_bytes(families));
    std::vector<Lines> ttl;
    for (int i = 0; i < 1234; ++i) ttl.push_back(part("P" + std::to_string(i) + " DIP8 I TTL 1 1 0 0 0"));
    const auto thousands = file("thousands.p", library_bytes(ttl));
    const auto sort = [](std::vector<std::string> files) {
        files.insert(files.begin(), {"--sort", "alphanumeric"});
        return files;
    };
    const auto pads = [&](const std::string& decal_file, const std::string& parts) {
        return std::vector<std::string>{"--sort", "pad-count", "--decal-file", decal_file, parts};
    };
    std::unique_ptr<FolderLock> held;
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string said;  // on the output after a finished run, else on the error stream
        std::function<void()> make = nullptr;  // what the application folder holds; none: it is not there
        std::string stdout_to = "";
    };
    std::vector<Case> cases = {
        {{"--help"}, 0, "Usage: marrowgate-cli --sort KEY"},
        {{"--sort=alphanumeric", a, b}, 0,
         "Format: " + kV2005 + "\nKey: alphanumeric (Alphanumeric Order)\nWrote 4 parts into 2 library files in " +
             utf8_from_path(app / "lib") + ".\n  LIB_7.p   key \"7\"   2 parts\n  LIB_B.p   key \"B\"   2 parts\n"
             "Warnings (1):\n  Parts without the empty line that ends a part (1):\n    " + b +
             ": the part BC547 (part 1 at line 3) reaches the end of the file", [] {}},
        {pads(decals, a), 0,
         "Key: pad-count (PCB Decal Pads Number)\nWrote 1 of 3 parts into 1 library file in " +
             utf8_from_path(app / "lib") + ".\n2 parts were placed in no file: their decal is not in the decal "
             "library (2 decals).\n  LIB_14.p   key \"14\"   1 part\nWarnings (2):\n  Parts placed in no file (2 "
             "parts, 2 decals):\n    decal SOT23: not in the decal library, 1 part: BAT\n    decal TO220: not in the "
             "decal library, 1 part: 7805T\nReport: " + utf8_from_path(app / "marrowgate-report.txt") + "\n", [] {}},
        {{"--dry-run", "--sort=alphanumeric", a, b}, 0,
         "Dry run, nothing written: would write 4 parts into 2 library files in " + utf8_from_path(app / "lib") +
             ".\n  LIB_7.p   key \"7\"   2 parts\n", [] {}},
        {{"--no-sync", "--sort", "logic-family", thousands}, 0,
         "Wrote 1,234 parts into 1 library file in " + utf8_from_path(app / "lib") +
             ".\n  LIB_TTL.p   key \"TTL\"   1,234 parts\nReport: ", [] {}},
        {{good}, 2, "--sort KEY is required"},
        {{"--sort", "size", good}, 2, "unknown sort key \"size\""},
        {{"--sort", "alphanumeric"}, 2, "no part-type library file given"},
        {{"--sort", "pad-count", good}, 2, "--decal-file"},
        {sort({good, good, good, good, good}), 2, "at most four"},
        {{"--frobnicate", "--sort"}, 2, "unknown option --frobnicate"},
        {{"--json=yes", good}, 2, "unknown option --json=yes"},
        {{good, "--sort"}, 2, "--sort needs a value"},
        {sort({file("plain.p", "no marker\r\n")}), 2, "plain.p: refused: no line of it is the marker line"},
        {sort({file("upper.P", library_bytes({}))}), 2, "upper.P: refused: its extension is neither"},
        {sort({good, good}), 2, "good.p: refused: it is listed already"},
        {sort({utf8_from_path(dir / "missing.p")}), 2, "missing.p: refused: it cannot be read: "},
        {pads(both, both), 2, "both.p: refused as decal file: it is listed as a part-type file"},
        {sort({good, v9}), 2, "different formats and cannot be sorted together:\n  " + good + ": " + kPartTypeMarkerV4 +
                                  "\n  " + v9 + ": " + kV9},
        {sort({good}), 1, "cannot create the folders lib and tmp", [&] { write_file(app / "lib", ""); }},
        {sort({good}), 1, "another run is sorting into",
         [&] { held = real_file_system().lock(run_lock_path(app), true); }},
        {{"--sort", "logic-family", many}, 1, "marrowgate-cli: error: The key table is full", [] {}},
        // A name that would retitle the terminal is shown escaped; its block is written as it is.
        {sort({file("esc.p", library_bytes({part("\x1b]0;X\x07Q DIP8 I TTL 1 1 0 0 0"),
                                            part("\x1b]0;X\x07Q DIP8 I TTL 1 1 0 0 0")}))}),
         0, "  part \\x1b]0;X\\x07Q, 2 blocks: esc.p part 1 at line 3", [] {}},
        // An input that is a file of the run's own: refused before anything is written.
        {pads(utf8_from_path(app / "marrowgate-report.txt"), a), 2, "marrowgate-report.txt: refused: it is the report",
         [&] { write_file(app / "marrowgate-report.txt", read_file(decals)); }},
        {pads(utf8_from_path(app / "tmp" / "Pads_Number_in_Decals.dat"), a), 2,
         "Pads_Number_in_Decals.dat: refused: it is the list file", [&] {
             fs::create_directories(app / "tmp");
             write_file(app / "tmp" / "Pads_Number_in_Decals.dat", read_file(decals));
         }},
        {sort({utf8_from_path(app / "lib" / ".marrowgate-staging-q1w2e3" / "in.p")}), 2,
         "in.p: refused: it is " + utf8_from_path(app / "lib" / ".marrowgate-staging-q1w2e3" / "in.p") +
             ", left by a run that was stopped",
         [&] {
             fs::create_directories(app / "lib" / ".marrowgate-staging-q1w2e3");
             write_file(app / "lib" / ".marrowgate-staging-q1w2e3" / "in.p", read_file(good));
         }},
    };
#ifndef _WIN32
    // Refused unread: a FIFO, a device named through a link (reading them would
    // wait for a writer or never end; should that come back, the alarm ends
    // the test program instead of waiting with it). An output that is a link
    // fails the run before it writes through it.
    alarm(60);
    ASSERT_EQ(mkfifo((dir / "pipe.p").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir / "zero.d");
    fs::create_symlink(good, dir / "soft.p");
    cases.push_back({sort({good, utf8_from_path(dir / "pipe.p")}), 2, "pipe.p: refused: it is not a regular file"});
    cases.push_back({pads(utf8_from_path(dir / "zero.d"), good), 2, "zero.d: refused as decal file: it is not a regular"});
    cases.push_back({sort({good, utf8_from_path(dir / "soft.p")}), 2, "soft.p: refused: it is listed already"});
    cases.push_back({sort({good}), 1, "LIB_A.p is a link", [&] {
                         fs::create_directories(app / "lib");
                         fs::create_symlink(dir / "elsewhere", app / "lib" / "LIB_A.p");
                     }});
    for (const std::string stdout_to : {">/dev/full", ">&-"}) {
        cases.push_back({{"--sort=alphanumeric", a, b}, 1, "error: standard output cannot be written", [] {}, stdout_to});
        cases.push_back({{"--json", "--sort=alphanumeric", a, b}, 1, "error: standard output cannot be written", [] {},
                         stdout_to});
        cases.push_back({{"--sort=", good}, 2, "unknown sort key \"\"", nullptr, stdout_to});
    }
#endif
    for (const Case& c : cases) {
        fs::remove_all(app);
        if (c.make) {
            fs::create_directories(app);
            c.make();
        }
        const auto before = folder_files(app / "lib");
        const auto run = program(c.args, c.stdout_to);
        EXPECT_EQ(run.code, c.code) << c.said;
        EXPECT_NE((c.code == 0 ? run.out : run.err).find(c.said), std::string::npos) << run.out << run.err;
        if (c.code == 0 || !c.stdout_to.empty()) continue;
        EXPECT_EQ(run.out, "");
        auto dry_args = c.args;
        dry_args.insert(dry_args.begin(), "--dry-run");
        const auto dry = program(dry_args, "");
        EXPECT_EQ(dry.code, run.code) << c.said;
        EXPECT_EQ(dry.err, run.err.substr(0, run.err.find("Report: ")));  // a dry run leaves no report
        EXPECT_EQ(fs::exists(app), c.make != nullptr) << c.said;
        EXPECT_EQ(folder_files(app / "lib"), before) << c.said;
        EXPECT_FALSE(fs::exists(dir / "elsewhere"));
        held.reset();
    }
#ifndef _WIN32
    alarm(0);
#endif
    // The outputs keep the marker; a block cut short by the end of its file is closed.
    program({"--sort=alphanumeric", a, b}, "");
    EXPECT_EQ(lib("LIB_B.p").rfind(kV2005 + "\r\n\r\r\nBAT SOT23", 0), 0u);
    EXPECT_NE(lib("LIB_B.p").find("GATE 1 3 0\r\n\r\n*END*\r\n"), std::string::npos);
}

#ifndef _WIN32
// The dry run fails where the run fails, saying the same, and leaves the
// application folder exactly as it was: it takes the locks and tries in
// folders of its own what the run does. Where the tests run as root, the
// program runs as the user nobody, so that folders and files it may not
// write stop it as they stop a user; the rows that mount a folder need root
// and are skipped, saying so, where mount refuses.
TEST_F(Cli, DryRunFailsExactlyWhereTheRunFails) {
    namespace fs = std::filesystem;
    if (!fs::exists(MARROWGATE_CLI_PATH)) GTEST_SKIP() << "program not found here: " << MARROWGATE_CLI_PATH;
    const bool root = ::geteuid() == 0;
    if (root && std::system("setpriv --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "the tests run as root, and setpriv is missing to run the program as another user";
    const uid_t nobody = 65534;
    const auto q = [](const std::string& text) { return "'" + text + "'"; };
    const auto good = file("good.p", library_bytes({part("A1 DIP8 I TTL 1 1 0 0 0")}));
    const auto program = [&](const fs::path& folder, bool dry) {
        const std::string command = (root ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "") +
                                    q(MARROWGATE_CLI_PATH) + (dry ? " --dry-run" : "") + " --app-folder " +
                                    q(utf8_from_path(folder)) + " --sort alphanumeric " + q(good) + " >/dev/null 2>" +
                                    q(utf8_from_path(dir / "err.txt"));
        const int status = std::system(command.c_str());
        return std::pair(WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(dir / "err.txt"));
    };
    // Every name below a folder with what it is, and a file's bytes.
    const auto snapshot = [](const fs::path& folder) {
        std::map<std::string, std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            const auto name = entry.path().lexically_relative(folder).generic_string();
            names[name] = entry.is_symlink()        ? "<link " + fs::read_symlink(entry.path()).string() + ">"
                          : entry.is_directory()    ? "<folder>"
                          : entry.is_regular_file() ? read_file(entry.path())
                                                    : "<other>";
        }
        return names;
    };
    const auto give_to_nobody = [&](const fs::path& path) {
        if (!root) return;
        ASSERT_EQ(::lchown(path.c_str(), nobody, nobody), 0);
        if (!fs::is_directory(fs::symlink_status(path))) return;
        for (const auto& entry : fs::recursive_directory_iterator(path))
            ASSERT_EQ(::lchown(entry.path().c_str(), nobody, nobody), 0);
    };
    // A lock file of the user's own.
    const auto lock_file = [&](const fs::path& path) {
        write_file(path, "");
        give_to_nobody(path);
    };
    const auto shell = [](const std::string& command) { return std::system((command + " 2>/dev/null").c_str()) == 0; };
    fs::path deep = dir.path();
    while (utf8_from_path(deep).size() + 201 < 4076) deep /= std::string(200, 'd');
    deep /= std::string(4076 - utf8_from_path(deep).size() - 1, 'e');
    ASSERT_EQ(utf8_from_path(deep).size(), 4076u);
    const fs::path other = dir / "other-lib";
    struct Row {
        std::string name;
        std::function<bool()> make;  // false: the row cannot be made here
        int code;
        std::string said;
        fs::path folder = {};  // the application folder; empty: app
    };
    const std::vector<Row> rows = {
        {"lock_file_a_folder", [&] { return fs::create_directory(app / ".marrowgate.lock"); }, 1,
         ".marrowgate.lock: cannot be opened: " + system_reason(EISDIR)},
        {"lock_file_of_lib_a_folder", [&] { return fs::create_directory(app / "lib" / ".marrowgate.lock"); }, 1,
         "lib/.marrowgate.lock: cannot be opened: " + system_reason(EISDIR)},
        {"lock_file_read_only", [&] {  // locked as it may be read
             lock_file(app / ".marrowgate.lock");
             fs::permissions(app / ".marrowgate.lock", fs::perms::owner_read | fs::perms::group_read);
             return true;
         }, 0, ""},
        {"application_folder_not_writable", [&] {
             fs::permissions(app, fs::perms::owner_write, fs::perm_options::remove);
             return true;
         }, 1, ".marrowgate.lock: cannot be opened: " + system_reason(EACCES)},
        {"application_folder_not_writable_its_lock_file_there", [&] {
             lock_file(app / ".marrowgate.lock");
             fs::permissions(app, fs::perms::owner_write, fs::perm_options::remove);
             return true;
         }, 1, "a folder for the run's new files cannot be made in it: " + system_reason(EACCES)},
        {"lib_not_writable", [&] {
             fs::permissions(app / "lib", fs::perms::owner_write, fs::perm_options::remove);
             return true;
         }, 1, "lib/.marrowgate.lock: cannot be opened: " + system_reason(EACCES)},
        {"lib_not_writable_its_lock_file_there", [&] {
             lock_file(app / "lib" / ".marrowgate.lock");
             fs::permissions(app / "lib", fs::perms::owner_write, fs::perm_options::remove);
             return true;
         }, 1, "lib: a folder for the run's new files cannot be made in it: " + system_reason(EACCES)},
        {"lib_on_a_read_only_file_system", [&] {
             const std::string lib = q(utf8_from_path(app / "lib"));
             return root && shell("mount --bind " + lib + " " + lib + " && mount -o remount,bind,ro " + lib);
         }, 1, "lib/.marrowgate.lock: cannot be opened: " + system_reason(EROFS)},
        {"lib_a_bind_mount", [&] {
             fs::create_directories(other);
             give_to_nobody(other);
             return root && shell("mount --bind " + q(utf8_from_path(other)) + " " + q(utf8_from_path(app / "lib")));
         }, 0, ""},
        {"a_library_file_mounted_over", [&] {
             write_file(app / "lib" / "LIB_A.p", "of an earlier run");
             write_file(dir / "mounted.p", "mounted");
             return root && shell("mount --bind " + q(utf8_from_path(dir / "mounted.p")) + " " +
                                  q(utf8_from_path(app / "lib" / "LIB_A.p")));
         }, 1, "LIB_A.p: cannot be replaced: something is mounted there"},
        // lib and tmp are locked in the order of their identities, so either
        // lock file's name may be the first refused as too long.
        {"application_path_of_4076_bytes", [&] {
             fs::create_directories(deep / "lib");
             fs::create_directories(deep / "tmp");
             give_to_nobody(deep);
             return true;
         }, 1, "/.marrowgate.lock: cannot be opened: " + system_reason(ENAMETOOLONG), deep},
        {"old_folder_of_new_files_a_link", [&] {
             fs::create_directories(dir / "elsewhere");
             write_file(dir / "elsewhere" / "kept.txt", "kept");
             fs::create_directory_symlink(dir / "elsewhere", app / ".marrowgate-staging");
             return true;
         }, 0, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(app);
        fs::create_directories(app / "lib");
        fs::create_directories(app / "tmp");
        give_to_nobody(app);
        if (!row.make()) {
            std::cout << "[  SKIPPED ] " << row.name << ": the folder cannot be mounted here\n";
            continue;
        }
        const fs::path folder = row.folder.empty() ? app : row.folder;
        const auto before = snapshot(folder);
        const auto [dry_code, dry_said] = program(folder, true);
        EXPECT_EQ(snapshot(folder), before) << "the dry run changed the application folder";
        const auto [code, said] = program(folder, false);
        EXPECT_EQ(dry_code, row.code) << dry_said;
        EXPECT_EQ(code, row.code) << said;
        EXPECT_NE(said.find(row.said), std::string::npos) << said;
        // The run adds where its report is, or why there is none.
        EXPECT_EQ(dry_said, said.substr(0, std::min(said.find("Report: "), said.find("The report could not"))));
        for (const auto& mounted : {app / "lib" / "LIB_A.p", app / "lib"}) shell("umount " + q(utf8_from_path(mounted)));
        std::error_code ec;
        for (const auto& folder : {app, app / "lib"}) fs::permissions(folder, fs::perms::owner_all, ec);
    }
    EXPECT_EQ(read_file(dir / "elsewhere" / "kept.txt"), "kept");
}

// The program as a child process on a library of 20,000 parts over 1,000
// decals, signalled or killed once its run has begun (its folder of new files
// is in lib): lib holds each file old or complete new.
TEST_F(Cli, SignalOrKillAtAnyMomentLeavesEachFileOldOrCompleteNew) {
    if (!std::filesystem::exists(MARROWGATE_CLI_PATH)) GTEST_SKIP() << "program not found: " << MARROWGATE_CLI_PATH;
    const auto staging_folders = [&] {
        std::vector<std::filesystem::path> found;
        for (const auto& folder : {app, app / "lib", app / "tmp"})
            for (const auto& name : file_names(folder))
                if (name.rfind(Staging::kFolderName, 0) == 0) found.push_back(folder / name);
        return found;
    };
    const auto big = [&](const std::string& variant) {
        std::string bytes = std::string(kPartTypeMarkerV4) + "\r\n\r\n";
        for (int i = 0; i < 20000; ++i)
            bytes += "P" + std::to_string(i) + " D" + std::to_string(i % 1000) + " I TTL 1 1 0 0 0\r\n\"V\" " +
                     variant + std::string(200, 'x') + "\r\n\r\n";
        return file(variant + ".p", bytes);
    };
    // Starts the program and waits until its run has begun; 0 when it ended first.
    const auto start = [&](const std::string& input) {
        const std::string command = std::string("exec \"") + MARROWGATE_CLI_PATH + "\" --sort decal-name --app-folder \"" +
                                    utf8_from_path(app) + "\" \"" + input + "\" >/dev/null 2>\"" +
                                    utf8_from_path(dir / "err.txt") + "\"";
        const pid_t pid = fork();
        if (pid == 0) {
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        while (staging_folders().empty())
            if (waitpid(pid, nullptr, WNOHANG) == pid) return pid_t{0};
        return pid;
    };
    ASSERT_EQ(run_cli({"--app-folder", utf8_from_path(app), "--sort", "decal-name", big("old")}).code, 0);
    const auto before = folder_files(app / "lib");
    const auto input = big("new");
    ASSERT_EQ(run_cli({"--app-folder", utf8_from_path(dir / "other"), "--sort", "decal-name", input}).code, 0);
    const auto after = folder_files(dir / "other" / "lib");

    // Ctrl+C and SIGTERM: exit 130 and 143, saying so; lib as it was.
    for (const int signal : {SIGINT, SIGTERM}) {
        const pid_t pid = start(input);
        ASSERT_NE(pid, 0);
        kill(pid, signal);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
        EXPECT_NE(read_file(dir / "err.txt").find("was changed"), std::string::npos);
        EXPECT_EQ(folder_files(app / "lib"), before);
        EXPECT_TRUE(staging_folders().empty());
    }
    // Killed: each file old or new; the lock dies with the process.
    for (const int delay_us : {0, 2000, 10000, 40000, 80000, 120000, 160000, 200000, 240000}) {
        if (const pid_t pid = start(input)) {
            usleep(static_cast<useconds_t>(delay_us));
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        auto now = folder_files(app / "lib");
        std::erase_if(now, [](const auto& file) { return file.first.rfind(Staging::kFolderName, 0) == 0; });
        ASSERT_EQ(now.size(), before.size()) << delay_us;
        for (const auto& [name, bytes] : now)
            EXPECT_TRUE(bytes == before.at(name) || bytes == after.at(name)) << name << " after " << delay_us;
        for (const auto& left : staging_folders()) std::filesystem::remove_all(left);  // as the next run would
    }
    const auto last = run_cli({"--app-folder", utf8_from_path(app), "--sort", "decal-name", input});
    ASSERT_EQ(last.code, 0) << last.err;
    EXPECT_EQ(folder_files(app / "lib"), after);
}
#endif

}  // namespace
}  // namespace marrowgate::test
