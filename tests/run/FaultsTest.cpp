// Hostile inputs and failing file operations: every run either gives the
// expected files or says which file failed and why, with the hourglass
// released, the inputs untouched and no output file holding a byte it should
// not.
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <future>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "fuzz/EngineCheck.h"
#include "io/Background.h"
#include "io/Paths.h"
#include "report/RunReportFile.h"
#include "report/RunText.h"
#include "sort/SortFixture.h"
#include "support/FaultyFileSystem.h"
#include "text/LineReader.h"

namespace marrowgate::test {
namespace {

namespace fs = std::filesystem;
using Op = FaultyFileSystem::Op;

const std::string kDecals = crlf({kDecalMarkerV4, "", "DIP14 M 0 0 0 2 3 0 14 1 0", ""});

class Faults : public SortRun {
protected:
    // A run that must fail, say which file and why, and let go of the hourglass.
    void fails(SortKey key, const fs::path& file, const std::string& reason, FileSystem& files = real_file_system()) {
        run(key, files);
        failed(file, reason);
    }
    // The last run failed, naming the file and the reason.
    void failed(const fs::path& file, const std::string& reason) {
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.error.find(display_path(file)), std::string::npos) << result.error;
        EXPECT_NE(result.error.find(reason), std::string::npos) << result.error;
        EXPECT_FALSE(status.hourglass);
        EXPECT_NE(status.captions.back(), "Done.");
    }
};

TEST_F(Faults, KeyTooLongForAFileNameStopsTheRunBeforeAnyFileIsEmptied) {
    // "LIB_" + key + ".p" may have 255 characters.
    const std::string longest(249, 'F');
    const Lines longest_part = part("B1 SO8 I " + longest + " 2 1 0 0 0");
    list_parts("long.p", {part("A1 SO8 I TTL 2 1 0 0 0"), longest_part});
    ASSERT_TRUE(run(SortKey::LogicFamily).ok);
    EXPECT_EQ(lib(longest), output_bytes({longest_part}));

    const std::string earlier = lib("TTL");
    list_parts("longer.p", {part("C1 SO8 I " + longest + "F 2 1 0 0 0")});
    fails(SortKey::LogicFamily, output_library_path(state, longest + "F"), "too long");
    EXPECT_EQ(lib("TTL"), earlier);
    // Far longer: refused as it is met, before the key tables hold it.
    const auto longer = list_parts("far.p", {part("D1 SO8 I " + std::string(1001, 'F') + " 2 1 0 0 0")});
    fails(SortKey::LogicFamily, longer, ", line 3: the part's key is 1,001 bytes long");
    EXPECT_EQ(lib("TTL"), earlier);
}

// A header line longer than the line reader holds is copied whole where its
// key (words 1 to 4) and its " I " end within what is held; else the run is
// refused, naming the file and the line.
TEST_F(Faults, HeaderLineLongerThanIsHeldIsCopiedWholeOrRefused) {
    const std::string rest(LineReader::kLongestHeld, '0');
    const Lines whole = part("D1 SO8 I TTL " + rest);
    list_parts("held.p", {part("A1 SO8 I TTL 2 1 0 0 0"), whole});
    ASSERT_TRUE(run(SortKey::LogicFamily).ok) << result.error;
    EXPECT_TRUE(lib("TTL") == output_bytes({part("A1 SO8 I TTL 2 1 0 0 0"), whole}));
    const std::string earlier = lib("TTL");
    for (const std::string& header : {"E1 SO8 I TTL" + rest, "E1 SO8 " + rest + " I TTL"}) {
        state = {};
        state.Application_Folder = dir / "app";
        const auto path = list_parts("long.p", {part("A1 SO8 I TTL 2 1 0 0 0"), part(header)});
        fails(SortKey::LogicFamily, path, ", line 7: the part header line is longer than 1,048,576 bytes and its ");
        EXPECT_TRUE(lib("TTL") == earlier);
    }
}

// A key table holds 50 initials or families and 1024 decal names or pad
// counts: a run that meets one key more stops before it writes any file,
// naming the table's size and the key.
TEST_F(Faults, AFullKeyTableStopsTheRunBeforeAnyFileIsWritten) {
    // Initials that stay distinct where letter case is ignored.
    const std::string initials = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ!#$%&'()+,-;=@[";
    Lines decals{kDecalMarkerV4, ""};
    for (int i = 0; i <= 1024; ++i) decals.push_back("D" + std::to_string(i) + " M 0 0 0 2 1 0 " + std::to_string(i) + " 1 0");
    write_file(dir / "decals.d", crlf(decals));
    // Part i has key number i: its initial, family F<i>, decal D<i> of i pads.
    const auto part_of = [&](int i) {
        const std::string n = std::to_string(i);
        return part(initials.substr(static_cast<std::size_t>(i) % 51, 1) + "X D" + n + " I F" + n + " 1 1 0 0 0");
    };
    const struct {
        SortKey key;
        int size;
        std::string one_more;
    } tables[] = {{SortKey::Alphanumeric, 50, "["}, {SortKey::LogicFamily, 50, "F50"},
                  {SortKey::DecalName, 1024, "D1024"}, {SortKey::PadCount, 1024, "1024"}};
    for (const auto& [key, size, one_more] : tables) {
        SCOPED_TRACE(one_more);
        state = {};
        state.Application_Folder = dir / "app";
        std::vector<Lines> blocks;
        for (int i = 0; i < size; ++i) blocks.push_back(part_of(i));
        const auto full = list_parts("full.p", blocks);
        choose_decals(dir / "decals.d");
        ASSERT_TRUE(run(key).ok) << result.error;
        EXPECT_EQ(result.outputs.size(), static_cast<std::size_t>(size));

        const auto before = folder_files(state.Application_Folder);
        const auto more = list_parts("one-more.p", {part_of(size)});
        run(key);
        EXPECT_NE(result.error.find(std::to_string(size) + " keys, and the key \"" + one_more + "\""), std::string::npos)
            << result.error;
        EXPECT_EQ(folder_files(state.Application_Folder), before);
        EXPECT_FALSE(status.hourglass);

        // The files are read side by side; the failure reported is still the
        // one met first reading them in order: the full table, before the
        // second file's read that breaks off after its key.
        FaultyFileSystem broken;
        broken.fail(Op::Read, 2, EIO, more);
        run(key, broken);
        EXPECT_NE(result.error.find("\"" + one_more + "\""), std::string::npos) << result.error;
        broken.fail(Op::Read, 1, EIO, full);
        run(key, broken);
        EXPECT_NE(result.error.find(display_path(full)), std::string::npos) << result.error;
        EXPECT_NE(result.error.find("cannot be read"), std::string::npos) << result.error;
    }
}

// A run that fails anywhere, or is stopped anywhere, changes nothing: the
// outputs of an earlier run and the list files keep their bytes, and no file
// of the run is left behind.
TEST_F(Faults, EveryFailingOperationOrStopLeavesTheApplicationFolderAsItWas) {
    const auto path = list_parts("parts.p", {part("74LS00 DIP14 I TTL 2 1 0 0 0"), part("BAT54 SOT23 I DIO 2 1 0 0 0")});
    ASSERT_TRUE(run(SortKey::Alphanumeric).ok) << result.error;
    write_file(lib_folder(state) / "LIB_Z.p", "of another run");
    // The last part runs into the end of the file: its warning goes to a file
    // of its own too, whose writing can fail as well.
    std::string text = library_bytes({part("74HC00 DIP14 I CMOS 2 1 0 0 0"), part("BAV99 SOT23 I DIO 2 1 0 0 0")});
    text.resize(text.size() - std::string_view("*END*\r\n").size());
    write_file(path, text + "7805T TO220 I REG 2 1 0 0 0\r\n");
    state.Total_Parts = state.File_Parts[1] = 3;
    const auto before = folder_files(state.Application_Folder);

    // Each run works in a copy of the application folder.
    const auto original = state.Application_Folder;
    const auto fresh_copy = [&] {
        state.Application_Folder = dir / "copy";
        fs::remove_all(state.Application_Folder);
        fs::copy(original, state.Application_Folder, fs::copy_options::recursive);
    };
    // How many operations of each kind a whole run makes.
    fresh_copy();
    FaultyFileSystem counting;
    const int pumps = status.pumps;
    ASSERT_TRUE(run(SortKey::Alphanumeric, counting).ok) << result.error;
    const int chances = status.pumps - pumps;
    ASSERT_EQ(counting.count(Op::Move), 5);  // two outputs, two list files, the report

    const std::vector<std::pair<Op, int>> faults = {{Op::OpenWrite, EACCES}, {Op::Write, ENOSPC}, {Op::Close, EIO},
                                                    {Op::Move, EXDEV},       {Op::Read, EIO},     {Op::Sync, EIO}};
    // Without the sync, the library files are moved while the last ones are
    // still written: the same faults, the same outcome.
    for (const bool synced : {true, false})
        for (const auto& [op, error] : faults)
            for (long nth = 1; nth <= (synced || op != Op::Sync ? counting.count(op) : 0); ++nth) {
                SCOPED_TRACE("operation " + std::to_string(static_cast<int>(op)) + " number " + std::to_string(nth) +
                             (synced ? "" : ", no sync"));
                fresh_copy();
                FaultyFileSystem faulty;
                faulty.fail(op, nth, error);
                UnsyncedFileSystem unsynced(faulty);
                if (run(SortKey::Alphanumeric, synced ? static_cast<FileSystem&>(faulty) : unsynced).ok) {
                    // The failure came after the run, in writing its report.
                    EXPECT_NE(result.warnings.report_error.find(system_reason(error)), std::string::npos);
                    continue;
                }
                failed(op == Op::Read ? path : state.Application_Folder, system_reason(error));
                EXPECT_EQ(folder_files(state.Application_Folder), before);
            }
    state.Application_Folder = original;
    // Stopped at any chance the run gives, the moves included.
    for (int nth = 1; nth <= chances; ++nth) {
        SCOPED_TRACE("stopped at chance " + std::to_string(nth));
        status.stop_at = status.pumps + nth;
        run(SortKey::Alphanumeric);
        EXPECT_EQ(result.outcome, RunResult::Outcome::Stopped) << result.error;
        EXPECT_EQ(status.pumps, status.stop_at) << "the run went on after it was asked to stop";
        EXPECT_EQ(folder_files(state.Application_Folder), before);
    }
    status.stop_at = -1;
    ASSERT_TRUE(run(SortKey::Alphanumeric).ok) << result.error;
    EXPECT_EQ(lib("Z"), "of another run");
    EXPECT_EQ(lib("B"), output_bytes({part("BAV99 SOT23 I DIO 2 1 0 0 0")}));
    EXPECT_EQ(file_names(state.Application_Folder), (Lines{"lib", "marrowgate-report.txt", "tmp"}));

    // A report that cannot be put in place leaves the run done, and says why.
    FaultyFileSystem faulty;
    faulty.fail(Op::Move, 5, EXDEV);
    ASSERT_TRUE(run(SortKey::Alphanumeric, faulty).ok) << result.error;
    EXPECT_NE(result.warnings.report_error.find(system_reason(EXDEV)), std::string::npos) << result.warnings.report_error;
}

// Without the sync, the library files are moved into lib as they are
// closed, 32 at a time, while the next ones are still being written. A write
// that fails after the first move puts the old files back all the same, and
// the run says which file failed and that nothing was changed.
TEST_F(Faults, ALastWriteFailingAfterTheFirstMovePutsTheOldFilesBack) {
    if (!background_threads()) GTEST_SKIP() << "one processor: the files are written before any is moved";
    const std::string initials = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";  // 36 files, the last LIB_9.p
    std::vector<Lines> old_parts, new_parts;
    for (const char initial : initials) {
        old_parts.push_back(part(std::string(1, initial) + "1 DIP14 I TTL 2 1 0 0 0"));
        new_parts.push_back(part(std::string(1, initial) + "2 SOT23 I DIO 2 1 0 0 0"));
    }
    const auto path = list_parts("parts.p", old_parts);
    ASSERT_TRUE(run(SortKey::Alphanumeric).ok) << result.error;
    write_file(path, library_bytes(new_parts));
    const auto before = folder_files(state.Application_Folder);

    FaultyFileSystem faulty;
    std::mutex mutex;
    std::condition_variable moved;
    int moves = 0;
    std::size_t library_closes = 0;
    bool moved_first = false;
    faulty.decide = [&](Op op, const fs::path& file) {
        std::unique_lock lock(mutex);
        if (op == Op::Move) {
            ++moves;
            moved.notify_all();
        }
        // The staged library files are in a folder inside lib's folder of new files.
        if (op != Op::Close || file.parent_path().parent_path().parent_path() != lib_folder(state) ||
            ++library_closes < initials.size())
            return 0;
        moved_first = moved.wait_for(lock, std::chrono::seconds(5), [&] { return moves > 0; });
        return EIO;
    };
    UnsyncedFileSystem unsynced(faulty);
    run(SortKey::Alphanumeric, unsynced);
    failed(lib_folder(state) / "LIB_9.p", system_reason(EIO));
    EXPECT_NE(result.error.find("Nothing was changed"), std::string::npos) << result.error;
    EXPECT_TRUE(moved_first) << "the first library files waited for the last one to be written";
    EXPECT_EQ(folder_files(state.Application_Folder), before);
}

// A stop asked for while four files are read side by side in the first pass
// ends the pass there, whichever the key: the files not begun are never
// opened. (The stop is asked from another thread, as the window asks it.)
TEST_F(Faults, AStopInTheFirstPassOfFourFilesReadSideBySideEndsIt) {
    if (!background_threads()) GTEST_SKIP() << "one processor: the files are read one after another";
    std::vector<fs::path> paths;
    for (int i = 0; i < 4; ++i) paths.push_back(list_parts(std::to_string(i) + ".p", {part("A1 DIP8 I TTL 3 1 0 0 0")}));
    class AskedStatus final : public StatusDisplay {
    public:
        void set_hourglass(bool) override {}
        void set_caption(const std::string&) override {}
        void set_visible(bool) override {}
        void pump_events() override {}
        bool stop_requested() override { return asked.load(); }
        std::atomic<bool> asked{false};
    };
    for (const SortKey key : {SortKey::LogicFamily, SortKey::PadCount}) {
        AskedStatus asked;
        FaultyFileSystem files;
        files.before_open_read = [&](const fs::path& path) {
            if (std::find(paths.begin(), paths.end(), path) == paths.end()) return;
            asked.asked = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));  // five times what a stop may take
        };
        const RunResult stopped = run_sort(state, key, asked, files);
        EXPECT_EQ(stopped.outcome, RunResult::Outcome::Stopped) << stopped.error;
        EXPECT_EQ(files.read_opens(paths[2]) + files.read_opens(paths[3]), 0);
    }
}

// An input cut short or grown between the passes fails the run, which then
// moves nothing into lib.
TEST_F(Faults, InputChangedDuringTheRunFailsIt) {
    const auto path = list_parts("parts.p", {part("74LS00 DIP14 I TTL 2 1 0 0 0"), part("BAT54 SOT23 I DIO 2 1 0 0 0")});
    for (const std::string& changed : {library_bytes({part("74LS00 DIP14 I TTL 2 1 0 0 0")}), std::string()}) {
        status.on_caption = [&](const std::string& caption) {
            if (caption.rfind("Processing... ", 0) == 0) write_file(path, changed);
        };
        fails(SortKey::LogicFamily, path, "changed while it was being sorted");
        EXPECT_TRUE(lib_files().empty());
        write_file(path, library_bytes({part("74LS00 DIP14 I TTL 2 1 0 0 0"), part("BAT54 SOT23 I DIO 2 1 0 0 0")}));
    }
}

// Links in the places of a run's files: the run stops before it writes
// anything, names the link, and what the link points to keeps its bytes.
TEST_F(Faults, LinkInThePlaceOfAnOutputOrListFileIsNeverWrittenThrough) {
    list_parts("parts.p", {part("74LS00 DIP14 I TTL 2 1 0 0 0")});
    const auto outside = dir / "outside.txt";
    for (const fs::path& link : {output_library_path(state, "7"), app("tmp") / "Alphabetic.dat"}) {
        for (const bool dangling : {false, true}) {
            write_file(outside, "precious");
            if (dangling) fs::remove(outside);
            std::error_code ec;
            fs::create_symlink(outside, link, ec);
            if (ec) GTEST_SKIP() << "no symbolic links here: " << ec.message();
            fails(SortKey::Alphanumeric, link, "link");
            EXPECT_EQ(result.outcome, RunResult::Outcome::Failed);
            if (dangling) EXPECT_FALSE(fs::exists(outside));
            else EXPECT_EQ(read_file(outside), "precious");
            fs::remove(link);
        }
    }
    ASSERT_TRUE(run(SortKey::Alphanumeric).ok) << result.error;
}

// What killed runs left in their folders of new files, in the application
// folder, lib and tmp (and the one folder of an earlier version), goes with
// the next run.
TEST_F(Faults, NextRunRemovesWhatAKilledRunLeft) {
    list_parts("parts.p", {part("74LS00 DIP14 I TTL 2 1 0 0 0")});
    const Lines left = {".marrowgate-staging", ".marrowgate-staging-a1b2c3"};
    for (const char* folder : {".", "lib", "tmp"}) {
        for (const auto& name : left) {
            fs::create_directories(app(folder) / name / "lib");
            write_file(app(folder) / name / "lib" / "LIB_7.p", "half written");
        }
    }
    ASSERT_TRUE(run(SortKey::Alphanumeric).ok) << result.error;
    for (const char* folder : {".", "lib", "tmp"})
        for (const auto& name : left) EXPECT_FALSE(fs::exists(app(folder) / name)) << folder << " " << name;
    EXPECT_EQ(lib_files(), Lines{"LIB_7.p"});
}

// Two application folders whose lib is one folder (through a link): while a
// run works in the first, a run or a dry run in the second is refused, as a
// second run in one application folder is, and takes nothing of the first's
// (its folder of new files in lib stays); then it runs in turn.
TEST_F(Faults, ApplicationFoldersSharingLibExcludeEachOther) {
    list_parts("parts.p", {part("74LS00 DIP14 I TTL 2 1 0 0 0"), part("BAT54 SOT23 I DIO 2 1 0 0 0")});
    Module1 other = state;
    other.Application_Folder = dir / "other";
    fs::create_directories(other.Application_Folder);
    std::error_code ec;
    fs::create_directory_symlink(lib_folder(state), lib_folder(other), ec);
    if (ec) GTEST_SKIP() << "no symbolic links here: " << ec.message();
    ASSERT_TRUE(tmp_makedir(other));

    // The first run is held at its first read, its locks taken.
    FaultyFileSystem held;
    std::promise<void> reading, go_on;
    std::once_flag once;
    held.before_open_read = [&](const fs::path&) {
        std::call_once(once, [&] {
            reading.set_value();
            go_on.get_future().wait();
        });
    };
    std::thread first([&] { run(SortKey::Alphanumeric, held); });
    reading.get_future().wait();
    DiscardingFileSystem dry(real_file_system());
    for (FileSystem* files : {&real_file_system(), static_cast<FileSystem*>(&dry)}) {
        RecordingStatus other_status;
        const RunResult second = run_sort(other, SortKey::LogicFamily, other_status, *files);
        EXPECT_EQ(second.outcome, RunResult::Outcome::Busy) << second.error;
        EXPECT_NE(second.error.find(display_path(lib_folder(other))), std::string::npos) << second.error;
    }
    go_on.set_value();
    first.join();
    ASSERT_TRUE(result.ok) << result.error;
    expect_outputs({{"7", {part("74LS00 DIP14 I TTL 2 1 0 0 0")}}, {"B", {part("BAT54 SOT23 I DIO 2 1 0 0 0")}}});
    RecordingStatus other_status;
    EXPECT_TRUE(run_sort(other, SortKey::LogicFamily, other_status, real_file_system()).ok);
    EXPECT_EQ(lib_files(), (Lines{"LIB_7.p", "LIB_B.p", "LIB_DIO.p", "LIB_TTL.p"}));
}

// Every file a run puts in place is on the disk before the first of them
// moves, and each folder it moved files into is synced after the last. A
// file that takes the place of another takes its permissions; a new one
// gets the usual ones under the umask.
TEST_F(Faults, FilesReachTheDiskBeforeTheyArePutInPlaceAndKeepTheirPermissions) {
    list_parts("parts.p", {part("74LS00 DIP14 I TTL 2 1 0 0 0"), part("BAT54 SOT23 I DIO 2 1 0 0 0")});
    ASSERT_TRUE(run(SortKey::Alphanumeric).ok) << result.error;
#ifndef _WIN32
    const auto bits = [](const fs::path& path) { return fs::status(path).permissions() & fs::perms::all; };
    const fs::perms usual = bits(output_library_path(state, "B"));
    fs::permissions(output_library_path(state, "7"), fs::perms::owner_read | fs::perms::owner_write);
#endif

    list_parts("more.p", {part("1N4148 SOD80 I DIO 2 1 0 0 0")});
    FaultyFileSystem files;
    ASSERT_TRUE(run(SortKey::Alphanumeric, files).ok) << result.error;
    std::set<fs::path> synced;
    std::map<fs::path, std::size_t> last_move_into;
    const auto steps = files.steps();
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (steps[i].op == Op::Sync) {
            synced.insert(steps[i].path);
            continue;
        }
        EXPECT_EQ(synced.count(steps[i].path), 1u) << display_path(steps[i].to) << " moved before it was on the disk";
        last_move_into[steps[i].to.parent_path()] = i;
    }
    EXPECT_EQ(last_move_into.size(), 3u);  // lib, tmp, the application folder
    for (const auto& [folder, last] : last_move_into) {
        const auto after = std::find_if(steps.begin() + static_cast<std::ptrdiff_t>(last), steps.end(),
                                        [&](const auto& step) { return step.op == Op::Sync && step.path == folder; });
        EXPECT_NE(after, steps.end()) << display_path(folder) << " not synced after its last move";
    }
#ifndef _WIN32
    EXPECT_EQ(bits(output_library_path(state, "7")), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(bits(output_library_path(state, "1")), usual);
#endif
}

// The report is never opened where it stands, as a second name of another
// file would be written through: it is put in place by a move, also when the
// run fails before its work (a leftover it cannot remove). Where no folder
// of its own can be made, the run writes no report and says so.
TEST_F(Faults, ReportIsPutInPlaceOnlyByAMove) {
    list_parts("parts.p", {part("74LS00 DIP14 I TTL 2 1 0 0 0")});
    const fs::path report = run_report_path(state.Application_Folder);
    const fs::path other = dir / "other.txt";
    std::error_code ec;
    write_file(other, "another file's bytes");
    fs::create_hard_link(other, report, ec);
    if (ec) GTEST_SKIP() << "no hard links here: " << ec.message();
    fs::create_directories(app(".marrowgate-staging-left"));
    FaultyFileSystem faulty;
    faulty.fail(Op::Remove, 1, EACCES);
    fails(SortKey::Alphanumeric, app(".marrowgate-staging-left"), system_reason(EACCES), faulty);
    EXPECT_EQ(result.warnings.report, report) << result.warnings.report_error;
    EXPECT_NE(read_file(report).find(system_reason(EACCES)), std::string::npos);
    EXPECT_EQ(read_file(other), "another file's bytes");

    fs::remove(report);
    fs::create_hard_link(other, report);
    FaultyFileSystem no_folder;
    for (const long nth : {1, 2}) no_folder.fail(Op::MakeFolder, nth, EACCES, state.Application_Folder);
    fails(SortKey::Alphanumeric, state.Application_Folder, system_reason(EACCES), no_folder);
    EXPECT_TRUE(result.warnings.report.empty());
    EXPECT_NE(result.warnings.report_error.find(system_reason(EACCES)), std::string::npos) << result.warnings.report_error;
    EXPECT_NE(run_summary_text(result, false).find("The report could not be written"), std::string::npos);
    EXPECT_EQ(read_file(other), "another file's bytes");
}

// One run at a time in an application folder; the lock goes with its holder.
TEST_F(Faults, SecondRunIsRefusedWhileTheFirstHoldsTheLock) {
    list_parts("parts.p", {part("74LS00 DIP14 I TTL 2 1 0 0 0")});
    {
        const auto held = real_file_system().lock(run_lock_path(state.Application_Folder), true);
        ASSERT_TRUE(held);
        run(SortKey::Alphanumeric);
        EXPECT_EQ(result.outcome, RunResult::Outcome::Busy);
        EXPECT_NE(result.error.find(display_path(state.Application_Folder)), std::string::npos) << result.error;
        EXPECT_TRUE(lib_files().empty());
        DiscardingFileSystem dry(real_file_system());
        EXPECT_EQ(run(SortKey::Alphanumeric, dry).outcome, RunResult::Outcome::Busy);
    }
    ASSERT_TRUE(run(SortKey::Alphanumeric).ok) << result.error;
}

#ifndef _WIN32
// The faults above are simulated; this one is the disk's own: a write into a
// full device fails at once with the system's reason, and is never retried.
TEST(DiskFull, AWriteTheDiskRefusesFailsWithItsReason) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    const auto out = real_file_system().open_write("/dev/full", WriteMode::Truncate);
    try {
        out->write("x", 1);
        ADD_FAILURE() << "a write into /dev/full succeeded";
    } catch (const FileError& error) {
        EXPECT_NE(error.reason().find(system_reason(ENOSPC)), std::string::npos) << error.reason();
    }
}
#endif

TEST_F(Faults, SixtyFourMegabyteLineIsCopiedExactlyInSlices) {
    // An attribute line of 64 MB whose line end, CR LF or a lone LF, begins on
    // the last byte of a chunk of the line reader, with a lone CR on the last
    // byte of another: it arrives byte for byte, and is never written whole.
    const std::string header = "LONG1 SO8 I ANA 2 1 0 0 0";
    const std::string head = crlf({kPartTypeMarkerV4, "", header});
    std::string line = "\"Description\" " + std::string(64 * LineReader::kChunk - 1 - head.size() - 14, 'x');
    line[32 * LineReader::kChunk - 1 - head.size()] = '\r';
    for (const std::string end : {"\r\n", "\n"}) {
        const fs::path path = dir / "long.p";
        std::ofstream(path, std::ios::binary) << head << line << end << "\r\n"
                                              << crlf(part("ZZZ SO8 I ANA 2 1 0 0 0")) << "*END*\r\n";
        if (state.File_Count == 0) add(path);
        FaultyFileSystem counting;
        ASSERT_TRUE(run(SortKey::Alphanumeric, counting).ok) << result.error;
        const std::string written = lib("L");
        const std::string_view expected[] = {kPartTypeMarkerV4, "\r\n\r\r\n", header, "\r\n", line, "\r\n\r\n*END*\r\n"};
        std::string_view rest = written;
        for (const std::string_view piece : expected) {
            ASSERT_TRUE(rest.starts_with(piece)) << "at byte " << written.size() - rest.size() << " with " << end.size();
            rest.remove_prefix(piece.size());
        }
        EXPECT_TRUE(rest.empty());
        EXPECT_EQ(lib("Z"), output_bytes({part("ZZZ SO8 I ANA 2 1 0 0 0")}));
        EXPECT_LE(counting.largest_write(), std::size_t{2} << 20);
    }
}

// A block holding a line ended by a lone LF is copied with CR LF in its
// place, also where its other line ends, CR LF, are cut by the end of a
// chunk read: the CR the last byte of one chunk, the LF the first of the next.
TEST_F(Faults, CrLfCutByTheEndOfAChunkStaysOneLineEndInAMendedBlock) {
    const std::string head = std::string(kPartTypeMarkerV4) + "\r\n\r\n";
    Lines block = {"A1 SO8 I ANA 2 1 0 0 0", "\"Note\" ended by a lone LF"};
    const std::size_t before = head.size() + block[0].size() + 2 + block[1].size() + 1;
    block.push_back("\"Description\" " + std::string(LineReader::kChunk - 1 - before - 14, 'x'));
    for (int more = 0; more < 3; ++more) block.push_back(std::string(LineReader::kChunk - 2, 'y'));
    std::string bytes = head + block[0] + "\r\n" + block[1] + "\n";
    for (std::size_t i = 2; i < block.size(); ++i) bytes += block[i] + "\r\n";
    ASSERT_EQ(bytes[LineReader::kChunk - 1], '\r');
    ASSERT_EQ(bytes[2 * LineReader::kChunk], '\n');
    block.push_back("");
    list("mixed.p", bytes + "\r\n*END*\r\n");
    ASSERT_TRUE(run(SortKey::Alphanumeric).ok) << result.error;
    EXPECT_TRUE(lib("A") == output_bytes({block}));
}

// An input the run would write over, empty, replace or remove: an output
// (under its own name, a hard link or a symbolic link), a list file, the
// report, a lock file, a file a stopped run left in a folder of new files.
// The run refuses it before it writes or removes anything, naming it; the
// file keeps its bytes and writes no report.
TEST_F(Faults, InputThatIsOneOfTheRunsOwnFilesIsRefusedUntouched) {
    const std::string text = library_bytes({part("A100 SO8 I ANA 2 1 0 0 0"), part("B200 SO8 I ANA 2 1 0 0 0")});
    const auto own = output_library_path(state, "A");
    write_file(own, text);
    const auto refused = [&](SortKey key, const fs::path& file, const std::string& reason, const std::string& bytes) {
        SCOPED_TRACE(display_path(file));
        const auto before = folder_files(state.Application_Folder);
        fails(key, file, reason);
        EXPECT_EQ(result.outcome, RunResult::Outcome::Refused);
        EXPECT_EQ(read_file(file), bytes);
        EXPECT_EQ(folder_files(state.Application_Folder), before);
        const fs::path report = run_report_path(state.Application_Folder);
        EXPECT_FALSE(fs::exists(report) && file != report) << "a refused run wrote its report";
    };
    // The same file listed under its own name and others.
    for (const std::string how : {"itself", "hard", "soft"}) {
        state = {};
        state.Application_Folder = dir / "app";
        const fs::path other = how == "itself" ? own : dir / (how + ".p");
        std::error_code ec;
        if (how == "hard") fs::create_hard_link(own, other, ec);
        if (how == "soft") fs::create_symlink(own, other, ec);
        if (ec) continue;  // links not allowed here
        add(other);
        refused(SortKey::Alphanumeric, own, "would destroy it", text);
    }

    const struct {
        fs::path file;  // in the application folder, given as the decal library
        std::string reason;
    } own_files[] = {
        {"lib/LIB_14.p", "would destroy it"},
        {"Pads_Number_in_Decals.dat", "refused: it is the list file"},
        {"tmp/Pads_Number_in_Decals.dat", "refused: it is the list file"},
        {"marrowgate-report.txt", "refused: it is the report"},
        {".marrowgate.lock", "refused: it is the lock file"},
        {"tmp/.marrowgate.lock", "refused: it is the lock file"},
        {"lib/.marrowgate-staging-x1y2z3/lib.d", "left by a run that was stopped"},
        {".marrowgate-staging/lib/in.d", "left by a run that was stopped"},
    };
    for (const auto& [file, reason] : own_files) {
        state = {};
        state.Application_Folder = dir / "app";
        list_parts("parts.p", {part("A100 DIP14 I ANA 2 1 0 0 0")});
        fs::create_directories(app(file).parent_path());
        write_file(app(file), kDecals);
        choose_decals(app(file).lexically_normal());
        refused(SortKey::PadCount, app(file).lexically_normal(), reason, kDecals);
        fs::remove(app(file));
    }
}

// The fuzz target's seeds, and every input it ever broke a property with,
// replayed with the same checks in every build.
TEST(FuzzCorpus, EveryCommittedCaseKeepsItsProperties) {
    const fs::path corpus = fs::path(MARROWGATE_FUZZ_CORPUS_DIR);
    ASSERT_TRUE(fs::is_directory(corpus)) << display_path(corpus);
    int cases = 0;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        const std::string bytes = read_file(entry.path());
        EXPECT_EQ(fuzz::check_case(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "")
            << display_path(entry.path().filename());
        ++cases;
    }
    EXPECT_GE(cases, 40);
}

#ifdef _WIN32
// Windows paths as a user gives them: backslashes, a drive letter and folder
// names outside ASCII, for the inputs and the application folder alike.
TEST_F(Faults, WindowsPathsWithDriveLettersAndNonAsciiFolders) {
    const fs::path folder = dir.path() / fs::path(u8"Bibliothèque Ωmega 部品");
    fs::create_directories(folder / u8"entrée");
    const fs::path file = folder / u8"entrée" / u8"pièces.p";
    const Lines r1 = part("R1 0805 I RES 2 1 0 0 0"), c1 = part("C1 0603 I CAP 2 1 0 0 0");
    write_file(file, library_bytes({r1, c1}));

    std::string written = utf8_from_path(fs::absolute(file));
    for (char& c : written)
        if (c == '/') c = '\\';
    ASSERT_EQ(written[1], ':') << written;  // a drive letter
    state = {};
    state.Application_Folder = folder / u8"application";
    fs::create_directory(state.Application_Folder);
    ASSERT_TRUE(tmp_makedir(state));
    add(path_from_utf8(written));
    EXPECT_EQ(state.File_Name[1], "pi\xC3\xA8" "ces.p");

    ASSERT_TRUE(run(SortKey::DecalName).ok) << result.error;
    expect_outputs({{"0805", {r1}}, {"0603", {c1}}});
    EXPECT_TRUE(fs::exists(state.Application_Folder / "tmp" / "Decals.dat"));
}
#endif

}  // namespace
}  // namespace marrowgate::test
