#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>

#include "library/RunFrame.h"

#include "support/CliRun.h"
#include "support/TestSupport.h"

#ifndef _WIN32
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace marrowgate::test {
namespace {

class Cli : public ::testing::Test {
protected:
    CliRun run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--app-folder", utf8_from_path(app)});
        return run_cli(args);
    }
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

// Usage errors and refused files: exit status 2, the reason (with the file it
// concerns) on the error stream, and nothing written.
TEST_F(Cli, UsageErrorsAndRefusedFilesExitWithTwoAndWriteNothing) {
    const auto good = file("good.p", library_bytes({part("A1 DIP8 I TTL 1 1 0 0 0")}));
    const auto v9 = file("nine.p", library_bytes({part("B1 DIP8 I TTL 1 1 0 0 0")}, kV9));
    const auto sort = [](std::vector<std::string> files) {
        files.insert(files.begin(), {"--sort", "alphanumeric"});
        return files;
    };
    std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{good}, "--sort KEY is required"},
        {{"--sort", "size", good}, "unknown sort key \"size\""},
        {{"--sort", "alphanumeric"}, "no part-type library file given"},
        {{"--sort", "pad-count", good}, "--decal-file"},
        {sort({good, good, good, good, good}), "at most four"},
        {{"--frobnicate"}, "unknown option --frobnicate"},
        {sort({file("plain.p", "no marker\r\n")}), "plain.p: refused: no line of it is the marker line"},
        {sort({file("bare.p", library_bytes({}, "*PADS-LIBRARY-PART-TYPES-V*"))}), "bare.p: refused: no line of it"},
        {sort({file("upper.P", library_bytes({}))}), "upper.P: refused: its extension is neither"},
        {sort({good, good}), "good.p: refused: it is listed already"},
        {sort({utf8_from_path(dir / "missing.p")}), "missing.p: refused: it cannot be read: "},
        {{"--sort", "pad-count", "--decal-file", good, good}, "good.p: refused as decal file: no line of it"},
        {{"--sort", "pad-count", "--decal-file", file("both.p", crlf({kPartTypeMarkerV4, kDecalMarkerV4})),
          utf8_from_path(dir / "both.p")},
         "both.p: refused as decal file: it is listed as a part-type file"},
        {sort({good, v9}), "different formats and cannot be sorted together:\n  " + good + ": " + kPartTypeMarkerV4 +
                               "\n  " + v9 + ": " + kV9},
    };
#ifndef _WIN32
    // Refused unread: a FIFO, devices named through links (reading them would
    // wait for a writer or never end; should that come back, the alarm ends
    // the test program instead of waiting with it). Refused as listed already:
    // the file given first, again through links (its parts would be written twice).
    alarm(10);
    const auto named = [this](const char* name) { return utf8_from_path(dir / name); };
    ASSERT_EQ(mkfifo(named("pipe.p").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/null", dir / "null.p");
    std::filesystem::create_symlink("/dev/zero", dir / "zero.d");
    std::filesystem::create_hard_link(good, dir / "hard.p");
    std::filesystem::create_symlink(good, dir / "soft.p");
    cases.insert(cases.end(), {
        {sort({good, named("pipe.p")}), "pipe.p: refused: it is not a regular file"},
        {sort({named("null.p")}), "null.p: refused: it is not a regular file"},
        {{"--sort", "pad-count", "--decal-file", named("pipe.p"), good},
         "pipe.p: refused as decal file: it is not a regular file"},
        {{"--sort", "pad-count", "--decal-file", named("zero.d"), good},
         "zero.d: refused as decal file: it is not a regular file"},
        {sort({good, named("hard.p")}), "hard.p: refused: it is listed already"},
        {sort({good, named("soft.p")}), "soft.p: refused: it is listed already"},
    });
#endif
    for (const auto& [args, message] : cases) {
        const auto outcome = run(args);
        EXPECT_EQ(outcome.code, 2) << message;
        EXPECT_NE(outcome.err.find(message), std::string::npos) << outcome.err;
        EXPECT_TRUE(outcome.out.empty()) << outcome.out;
    }
    EXPECT_FALSE(std::filesystem::exists(app));
#ifndef _WIN32
    alarm(0);
#endif

    const auto help = run({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_EQ(help.out.rfind("Usage: marrowgate-cli --sort KEY", 0), 0u) << help.out;
}

TEST_F(Cli, SummaryListsEachFileWithItsKeyPartsAndWarnings) {
    // Any version is sorted as it is, taken by the form of its marker; the
    // outputs keep the marker.
    const auto a = file("a.p", library_bytes({part("74LS00 DIP14 I TTL 3 1 0 0 0"), part("BAT SOT23 I DIO 2 1 0 0 0"),
                                              part("7805T TO220 I REG 2 1 0 0 0")}, kV2005));
    const auto b = file("b.p", kV2005 + "\r\n\r\nBC547 TO92 I TRX 3 1 0 0 0\r\nGATE 1 3 0");
    const auto outcome = run({"--sort=alphanumeric", a, b});
    ASSERT_EQ(outcome.code, 0) << outcome.err;
    EXPECT_NE(outcome.out.find("Format: " + kV2005), std::string::npos) << outcome.out;
    EXPECT_NE(outcome.out.find("Sorted 4 parts by alphanumeric"), std::string::npos) << outcome.out;
    EXPECT_NE(outcome.out.find("  LIB_7.p  key \"7\"  2 parts\n  LIB_B.p  key \"B\"  2 parts\n"), std::string::npos)
        << outcome.out;
    EXPECT_NE(outcome.out.find("Warnings (1):\n  " + b + ": the part BC547"), std::string::npos) << outcome.out;
    EXPECT_EQ(lib("LIB_B.p").rfind(kV2005 + "\r\n\r\r\nBAT SOT23", 0), 0u);
    EXPECT_NE(lib("LIB_B.p").find("GATE 1 3 0\r\n\r\n*END*\r\n"), std::string::npos);

    // Pad count: a part whose decal is missing is named in the warnings.
    const auto decals = file("lib.d", crlf({"*PADS-LIBRARY-PCB-DECALS-V9*", "DIP14 M 0 0 0 2 1 0 14 1 0"}));
    const auto pads = run({"--sort", "pad-count", "--decal-file", decals, a});
    ASSERT_EQ(pads.code, 0) << pads.err;
    EXPECT_NE(pads.out.find("  LIB_14.p  key \"14\"  1 part\n"), std::string::npos) << pads.out;
    EXPECT_NE(pads.out.find("the part BAT was placed in no file: its decal \"SOT23\""), std::string::npos) << pads.out;
}

// A run that cannot be made fails with 1, and its dry run fails the same way.
TEST_F(Cli, AFailedRunExitsWithOneAndSoDoesItsDryRun) {
    namespace fs = std::filesystem;
    const auto good = file("good.p", library_bytes({part("A1 DIP8 I TTL 1 1 0 0 0")}));
    std::unique_ptr<FolderLock> held;
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { write_file(app / "lib", ""); }, "cannot create the folders lib and tmp"},
        {[&] { write_file(app / "tmp", ""); }, "cannot create the folders lib and tmp"},
        {[&] { fs::remove_all(app); write_file(app, ""); }, "cannot create the folders lib and tmp"},
        {[&] { held = real_file_system().lock(run_lock_path(app), true); }, "another run is sorting into"},
        {[&] { fs::create_directories(app / "lib"); fs::create_symlink(dir / "elsewhere", app / "lib" / "LIB_A.p"); },
         "LIB_A.p is a link"},
    };
    for (const auto& [make, message] : cases) {
        fs::remove_all(app);
        fs::create_directories(app);
        make();
        const auto dry = run({"--dry-run", "--sort", "alphanumeric", good});
        const auto real = run({"--sort", "alphanumeric", good});
        EXPECT_EQ(real.code, 1) << message;
        EXPECT_NE(real.err.find(message), std::string::npos) << real.err;
        EXPECT_EQ(dry.code, real.code) << message;
        EXPECT_EQ(dry.err, real.err);
        EXPECT_FALSE(fs::exists(dir / "elsewhere"));
        held.reset();
    }
    fs::remove_all(app);
    std::vector<Lines> blocks;
    for (int i = 0; i < 51; ++i) blocks.push_back(part("P DIP8 I F" + std::to_string(i) + " 1 1 0 0 0"));
    const auto full = run({"--sort", "logic-family", file("many.p", library_bytes(blocks))});
    EXPECT_EQ(full.code, 1);
    EXPECT_NE(full.err.find("marrowgate-cli: error: the key table is full"), std::string::npos) << full.err;
    EXPECT_TRUE(file_names(app / "lib").empty());
}

// The installed program itself, through the shell: its output and errors go
// into `out`, or its output where `stdout_to` redirects it (">/dev/full").
int run_program(const std::string& arguments, const std::filesystem::path& out, const std::string& stdout_to = "") {
    const std::string into = "\"" + utf8_from_path(out) + "\"";
    std::string command = std::string("\"") + MARROWGATE_CLI_PATH + "\" " + arguments +
                          (stdout_to.empty() ? " > " + into + " 2>&1" : " " + stdout_to + " 2> " + into);
#ifdef _WIN32
    command = "\"" + command + "\"";  // cmd /c drops the outermost pair of quotes
    return std::system(command.c_str());
#else
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

TEST_F(Cli, TheProgramRunsAndReportsItsExitCode) {
    if (!std::filesystem::exists(MARROWGATE_CLI_PATH)) GTEST_SKIP() << "program not found here: " << MARROWGATE_CLI_PATH;
    const auto out = dir / "out.txt";
    EXPECT_EQ(run_program("--help", out), 0);
    EXPECT_NE(read_file(out).find("Exit status"), std::string::npos);
    EXPECT_EQ(run_program("--sort nothing", out), 2);
    const auto input = file("a.p", library_bytes({part("A1 DIP8 I TTL 1 1 0 0 0")}));
    EXPECT_EQ(run_program("--sort logic-family --app-folder \"" + utf8_from_path(app) + "\" \"" + input + "\"", out),
              0);
    EXPECT_NE(read_file(out).find("LIB_TTL.p  key \"TTL\"  1 part"), std::string::npos) << read_file(out);
    EXPECT_EQ(lib("LIB_TTL.p"), output_bytes({part("A1 DIP8 I TTL 1 1 0 0 0")}));

#ifndef _WIN32
    // A summary that cannot be written (a full disk, a closed output) fails a
    // finished run; a usage error stays one.
    const std::string sort = "--sort logic-family --app-folder \"" + utf8_from_path(app) + "\" \"" + input + "\"";
    for (const char* stdout_to : {">/dev/full", ">&-"}) {
        for (const std::string json : {"", " --json"}) {
            EXPECT_EQ(run_program(sort + json, out, stdout_to), 1) << stdout_to << json;
            EXPECT_NE(read_file(out).find("error: standard output cannot be written"), std::string::npos)
                << read_file(out);
        }
        EXPECT_EQ(run_program("--sort nothing", out, stdout_to), 2) << stdout_to;
    }
#endif
}

#ifndef _WIN32
// The program as a child process on a library with 1,000 keys, signalled or
// killed once its run has begun (its staging folder is there).
class CliChild : public Cli {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(MARROWGATE_CLI_PATH)) GTEST_SKIP() << "program not found: " << MARROWGATE_CLI_PATH;
    }
    // A library of 20,000 parts over 1,000 decals; `variant` changes every block.
    std::string big(const std::string& name, const std::string& variant) {
        std::string bytes = std::string(kPartTypeMarkerV4) + "\r\n\r\n";
        for (int i = 0; i < 20000; ++i)
            bytes += "P" + std::to_string(i) + " D" + std::to_string(i % 1000) + " I TTL 1 1 0 0 0\r\n\"V\" " +
                     variant + std::string(200, 'x') + "\r\n\r\n";
        return file(name, bytes);
    }
    pid_t start(const std::string& input) {
        const std::string command = std::string("exec \"") + MARROWGATE_CLI_PATH + "\" --sort decal-name --app-folder \"" +
                                    utf8_from_path(app) + "\" \"" + input + "\" >/dev/null 2>\"" +
                                    utf8_from_path(dir / "err.txt") + "\"";
        const pid_t pid = fork();
        if (pid == 0) {
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        return pid;
    }
    // Waits until the child's run has begun; false when it ended first.
    bool begun(pid_t pid) {
        while (!std::filesystem::exists(app / ".marrowgate-staging"))
            if (waitpid(pid, nullptr, WNOHANG) == pid) return false;
        return true;
    }
    int wait_status(pid_t pid) {
        int status = 0;
        waitpid(pid, &status, 0);
        return status;
    }
};

TEST_F(CliChild, SignalOrKillAtAnyMomentLeavesEachFileOldOrCompleteNew) {
    const auto old_input = big("old.p", "old");
    ASSERT_EQ(run({"--sort", "decal-name", old_input}).code, 0);
    const auto before = folder_files(app / "lib");
    const auto input = big("new.p", "new");

    // Ctrl+C and SIGTERM: exit 130 and 143, saying so; lib as it was.
    for (const int signal : {SIGINT, SIGTERM}) {
        const pid_t pid = start(input);
        ASSERT_TRUE(begun(pid));
        kill(pid, signal);
        const int status = wait_status(pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
        EXPECT_NE(read_file(dir / "err.txt").find("was changed"), std::string::npos);
        EXPECT_EQ(folder_files(app / "lib"), before);
        EXPECT_FALSE(std::filesystem::exists(app / ".marrowgate-staging"));
    }
    // The new bytes, from a run into another folder.
    const auto expected = [&] {
        const auto other = dir / "other";
        EXPECT_EQ(run_cli({"--app-folder", utf8_from_path(other), "--sort", "decal-name", input}).code, 0);
        return folder_files(other / "lib");
    }();
    // Killed: each file old or new; the lock dies with the process.
    for (const int delay_us : {0, 2000, 10000, 40000, 80000, 120000, 160000, 200000, 240000}) {
        const pid_t pid = start(input);
        if (begun(pid)) {
            usleep(static_cast<useconds_t>(delay_us));
            kill(pid, SIGKILL);
        }
        wait_status(pid);
        const auto now = folder_files(app / "lib");
        ASSERT_EQ(now.size(), before.size()) << delay_us;
        for (const auto& [name, bytes] : now)
            EXPECT_TRUE(bytes == before.at(name) || bytes == expected.at(name)) << name << " after " << delay_us;
        std::filesystem::remove_all(app / ".marrowgate-staging");  // as the next run would
    }
    const auto last = run({"--sort", "decal-name", input});
    ASSERT_EQ(last.code, 0) << last.err;
    EXPECT_EQ(folder_files(app / "lib"), expected);
}
#endif

}  // namespace
}  // namespace marrowgate::test
