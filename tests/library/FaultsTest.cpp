// Hostile inputs and failing file operations: every run either gives the
// expected files or says which file failed and why, with the hourglass
// released, the inputs untouched and no output file holding a byte it should
// not.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "library/FileList.h"
#include "library/Folders.h"
#include "library/RunFrame.h"
#include "sort/Sorts.h"
#include "fuzz/EngineCheck.h"
#include "state/Module1.h"
#include "support/FaultyFileSystem.h"
#include "support/TestSupport.h"

namespace marrowgate {
namespace {

namespace fs = std::filesystem;
using test::FaultyFileSystem;
using Op = FaultyFileSystem::Op;

const std::string kMarker = "*PADS-LIBRARY-PART-TYPES-V4*";
const std::string kOpening = kMarker + "\r\n\r\r\n";
const std::string kEnd = "*END*\r\n";

// A part type as a PADS export writes it, with its closing empty line.
std::string part(const std::string& name, const std::string& decal, const std::string& family,
                 const std::string& body = "GATE 1 2 0") {
    return test::crlf({name + " " + decal + " I " + family + " 2 1 0 0 0", "TIMESTAMP 2024.03.11.09.15.02", body, ""});
}

std::string library(const std::vector<std::string>& parts) {
    std::string text = kMarker + "\r\n\r\n";
    for (const auto& p : parts) text += p;
    return text + "*END*\r\n";
}

class Faults : public ::testing::Test {
protected:
    void SetUp() override {
        state.Application_Folder = dir / "app";
        fs::create_directory(state.Application_Folder);
        fs::create_directory(dir / "in");
        ASSERT_TRUE(tmp_makedir(state));
    }

    fs::path input(const std::string& name, const std::string& bytes) {
        const auto path = dir.path() / "in" / name;
        test::write_file(path, bytes);
        return path;
    }

    void list(const fs::path& path) {
        const auto added = add_part_type_file(state, path, real_file_system(), MarkerRule::part_types_any_version());
        ASSERT_EQ(added.outcome, AddOutcome::Added) << added.reason;
    }

    void choose_decals(const fs::path& path) {
        const auto chosen = choose_decal_file(state, path, real_file_system(), MarkerRule::decals_any_version());
        ASSERT_EQ(chosen.outcome, AddOutcome::Added);
    }

    RunResult run(SortKey key, FileSystem& files = real_file_system()) {
        status = {};
        return run_sort(state, key, status, files);
    }

    // The run failed, said which file and why, and let go of the hourglass.
    void expect_failure(const RunResult& result, const fs::path& file, const std::string& reason) {
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.error.find(display_path(file)), std::string::npos) << result.error;
        EXPECT_NE(result.error.find(reason), std::string::npos) << result.error;
        EXPECT_FALSE(status.hourglass);
        EXPECT_NE(status.captions.back(), "Done.");
    }

    std::vector<fs::path> lib_files() const {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(lib_folder(state))) files.push_back(entry.path());
        return files;
    }

    std::string output(const std::string& key) const {
        return test::read_file(output_library_path(state, key));
    }

    test::TempDir dir;
    Module1 state;
    test::RecordingStatus status;
};

TEST_F(Faults, ListedFileThatIsGoneOrAFolderStopsTheRunBeforeAnythingIsWritten) {
    const auto first = input("first.p", library({part("74LS00", "DIP14", "TTL")}));
    const auto second = input("second.p", library({part("BAT54", "SOT23", "DIO")}));
    list(first);
    list(second);

    fs::remove(second);
    expect_failure(run(SortKey::Alphanumeric), second, "cannot be opened");
    EXPECT_TRUE(lib_files().empty());

    fs::create_directory(second);
    expect_failure(run(SortKey::LogicFamily), second, "folder");
    EXPECT_TRUE(lib_files().empty());
    EXPECT_EQ(test::read_file(first), library({part("74LS00", "DIP14", "TTL")}));
}

TEST_F(Faults, DecalFileGoneBeforeAPadCountRun) {
    list(input("parts.p", library({part("74LS00", "DIP14", "TTL")})));
    const auto decals = input("decals.d", test::crlf({"*PADS-LIBRARY-PCB-DECALS-V4*", "", "DIP14 M 0 0 0 2 3 0 14 1 0", ""}));
    choose_decals(decals);
    fs::remove(decals);
    expect_failure(run(SortKey::PadCount), decals, "cannot be opened");
    EXPECT_TRUE(lib_files().empty());
}

TEST_F(Faults, LibOrTmpThatIsARegularFile) {
    list(input("parts.p", library({part("74LS00", "DIP14", "TTL")})));

    fs::remove(tmp_folder(state));
    test::write_file(tmp_folder(state), "not a folder");
    EXPECT_FALSE(tmp_makedir(state));
    expect_failure(run(SortKey::Alphanumeric), tmp_folder(state) / "Alphanumeric.dat", "cannot be created");
    EXPECT_TRUE(lib_files().empty());
    EXPECT_EQ(test::read_file(tmp_folder(state)), "not a folder");

    fs::remove(tmp_folder(state));
    fs::remove_all(lib_folder(state));
    test::write_file(lib_folder(state), "not a folder");
    EXPECT_FALSE(tmp_makedir(state));
    fs::create_directory(tmp_folder(state));
    expect_failure(run(SortKey::Alphanumeric), output_library_path(state, "7"), "cannot be created");
    EXPECT_EQ(test::read_file(lib_folder(state)), "not a folder");
}

TEST_F(Faults, KeyTooLongForAFileNameStopsTheRunBeforeAnyFileIsEmptied) {
    // "LIB_" + key + ".p" may have 255 characters.
    const std::string longest(249, 'F');
    list(input("long.p", library({part("A1", "SO8", "TTL"), part("B1", "SO8", longest)})));
    ASSERT_TRUE(run(SortKey::LogicFamily).ok);
    EXPECT_EQ(output(longest), kOpening + part("B1", "SO8", longest) + kEnd);

    const std::string earlier = output("TTL");
    list(input("longer.p", library({part("C1", "SO8", longest + "F")})));
    expect_failure(run(SortKey::LogicFamily), output_library_path(state, longest + "F"), "too long");
    EXPECT_EQ(output("TTL"), earlier);
}

TEST_F(Faults, EveryFailingWriteOpenOrCloseIsReportedAndNothingIsDuplicated) {
    const std::string text = library({part("74LS00", "DIP14", "TTL"), part("BAT54", "SOT23", "DIO"),
                                      part("7805T", "TO220", "REG"), part("BAV99", "SOT23", "DIO")});
    const auto path = input("parts.p", text);
    list(path);

    // The outputs of a run that meets no fault, and how many operations it makes.
    FaultyFileSystem counting;
    ASSERT_TRUE(run(SortKey::Alphanumeric, counting).ok);
    std::vector<std::pair<fs::path, std::string>> complete;
    for (const auto& file : lib_files()) complete.emplace_back(file, test::read_file(file));
    ASSERT_EQ(complete.size(), 2u);

    const std::vector<std::pair<Op, int>> faults = {
        {Op::OpenWrite, EACCES}, {Op::Write, ENOSPC}, {Op::Close, EIO}};
    for (const auto& [op, error] : faults) {
        for (long nth = 1; nth <= counting.count(op); ++nth) {
            SCOPED_TRACE("operation " + std::to_string(static_cast<int>(op)) + " number " + std::to_string(nth));
            for (const auto& file : lib_files()) fs::remove(file);
            FaultyFileSystem faulty;
            faulty.fail(op, nth, error);
            const RunResult result = run(SortKey::Alphanumeric, faulty);
            EXPECT_FALSE(result.ok);
            EXPECT_NE(result.error.find(system_reason(error)), std::string::npos) << result.error;
            EXPECT_NE(result.error.find(display_path(state.Application_Folder)), std::string::npos) << result.error;
            EXPECT_FALSE(status.hourglass);
            // Whatever stayed behind is the start of what a whole run writes.
            for (const auto& [file, whole] : complete) {
                if (!fs::exists(file)) continue;
                const std::string kept = test::read_file(file);
                EXPECT_EQ(whole.compare(0, kept.size(), kept), 0) << display_path(file) << " holds:\n" << kept;
            }
            EXPECT_EQ(test::read_file(path), text);
        }
    }

    // A disk that fills up in the middle of the closing pass.
    for (const auto& file : lib_files()) fs::remove(file);
    FaultyFileSystem full;
    full.set_free_space(2 * kOpening.size() + 40);
    const RunResult result = run(SortKey::Alphanumeric, full);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find(system_reason(ENOSPC)), std::string::npos) << result.error;
    EXPECT_FALSE(status.hourglass);

    // A listed file that breaks off while it is read.
    FaultyFileSystem broken;
    broken.fail(Op::Read, 2, EIO, path);
    expect_failure(run(SortKey::DecalName, broken), path, "cannot be read");
}

TEST_F(Faults, TenMegabyteLineIsCopiedWhole) {
    const std::string huge = "\"Description\" " + std::string(10 << 20, 'x');
    const std::string block = part("LONG1", "SO8", "ANA", huge);
    list(input("long.p", library({part("AAA", "SO8", "ANA"), block})));
    const RunResult result = run(SortKey::Alphanumeric);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(output("L"), kOpening + block + kEnd);
}

TEST_F(Faults, UnusualBytesAndLineEndsAreCopiedUnchanged) {
    // NUL bytes and bytes above 127 in names and values.
    const std::string binary_name = std::string("\xE9tude") + '\0' + "x";
    const std::string binary = part(binary_name, "SO8", "ANA", std::string("\"Value\" 4\xB5\x37 ") + '\0' + "\xFF");
    // LF-only lines, a lone CR inside a line and CR CR LF closing a value.
    const std::string lf_only = "LF1 SO8 I LFO 2 1 0 0 0\nGATE 1 2 0\n\n";
    const std::string crs = "CR1 SO8 I CRS 2 1 0 0 0\r\n\"Description\" a\rb\r\r\n\"Value\" 10k\r\r\n\r\n";
    const std::string mixed = "MX1 SO8 I MIX 2 1 0 0 0\nGATE 1 2 0\r\n\n";
    list(input("odd.p", kMarker + "\n\n" + binary + lf_only + crs + mixed + "*END*\n"));

    const RunResult result = run(SortKey::LogicFamily);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.parts, 4);
    EXPECT_EQ(output("ANA"), kOpening + binary + kEnd);
    EXPECT_EQ(output("LFO"), kOpening + test::crlf({"LF1 SO8 I LFO 2 1 0 0 0", "GATE 1 2 0", ""}) + kEnd);
    EXPECT_EQ(output("CRS"), kOpening + crs + kEnd);
    EXPECT_EQ(output("MIX"), kOpening + test::crlf({"MX1 SO8 I MIX 2 1 0 0 0", "GATE 1 2 0", ""}) + kEnd);

    // The NUL byte of a name cannot be part of a file name: the initial is
    // used as it is, the byte above 127 included.
    const RunResult by_initial = run(SortKey::Alphanumeric);
    ASSERT_TRUE(by_initial.ok) << by_initial.error;
    EXPECT_EQ(output("\xE9"), kOpening + binary + kEnd);
}

TEST_F(Faults, FileThatWouldBeItsOwnOutputIsRefusedBeforeWriting) {
    const std::string text = library({part("A100", "SO8", "ANA"), part("B200", "SO8", "ANA")});
    const auto own = output_library_path(state, "A");
    test::write_file(own, text);
    list(own);
    expect_failure(run(SortKey::Alphanumeric), own, "would destroy it");
    EXPECT_EQ(test::read_file(own), text);
    EXPECT_EQ(lib_files().size(), 1u);

    // The same for a decal library that a pad-count run would write over.
    state = {};
    state.Application_Folder = dir / "app";
    list(input("parts.p", library({part("A100", "DIP14", "ANA")})));
    const std::string decals = test::crlf({"*PADS-LIBRARY-PCB-DECALS-V4*", "", "DIP14 M 0 0 0 2 3 0 14 1 0", ""});
    const auto decal_output = output_library_path(state, "14");
    test::write_file(decal_output, decals);
    choose_decals(decal_output);
    expect_failure(run(SortKey::PadCount), decal_output, "would destroy it");
    EXPECT_EQ(test::read_file(decal_output), decals);
}

// Where the lib folder ignores letter case (Windows, Wine, macOS) the parts
// "a..." and "A..." share one file, which must end with one "*END*" and hold
// both parts; elsewhere they get a file each.
TEST_F(Faults, InitialsThatDifferOnlyInCaseFollowTheLibFolder) {
    const std::string lower = part("abc", "SO8", "ANA");
    const std::string upper = part("ABC", "SO8", "ANA");
    list(input("case.p", library({lower, upper})));
    const RunResult result = run(SortKey::Alphanumeric);
    ASSERT_TRUE(result.ok) << result.error;
    if (lib_folder_ignores_case(state)) {
        ASSERT_EQ(result.outputs.size(), 1u);
        EXPECT_EQ(lib_files().size(), 1u);
        EXPECT_EQ(test::read_file(result.outputs[0].file), kOpening + lower + upper + kEnd);
    } else {
        ASSERT_EQ(result.outputs.size(), 2u);
        EXPECT_EQ(output("a"), kOpening + lower + kEnd);
        EXPECT_EQ(output("A"), kOpening + upper + kEnd);
    }
}

// The fuzz target's seeds, and every input it ever broke a property with,
// replayed with the same checks in every build.
TEST(FuzzCorpus, EveryCommittedCaseKeepsItsProperties) {
    const fs::path corpus = fs::path(MARROWGATE_TEST_DATA_DIR).parent_path() / "fuzz" / "corpus";
    ASSERT_TRUE(fs::is_directory(corpus)) << display_path(corpus);
    test::TempDir dir;
    int cases = 0;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        const std::string bytes = test::read_file(entry.path());
        EXPECT_EQ(fuzz::check_case(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), dir / "case"), "")
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
    const std::string text = library({part("R1", "0805", "RES"), part("C1", "0603", "CAP")});
    test::write_file(file, text);

    std::string written = utf8_from_path(fs::absolute(file));
    for (char& c : written)
        if (c == '/') c = '\\';
    ASSERT_EQ(written[1], ':') << written;  // a drive letter
    state = {};
    state.Application_Folder = folder / u8"application";
    fs::create_directory(state.Application_Folder);
    ASSERT_TRUE(tmp_makedir(state));
    const auto added = add_part_type_file(state, path_from_utf8(written), real_file_system(),
                                          MarkerRule::part_types_v4());
    ASSERT_EQ(added.outcome, AddOutcome::Added) << added.reason;
    EXPECT_EQ(state.File_Name[1], "pi\xC3\xA8" "ces.p");

    const RunResult result = run(SortKey::DecalName);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(output("0805"), kOpening + part("R1", "0805", "RES") + kEnd);
    EXPECT_EQ(output("0603"), kOpening + part("C1", "0603", "CAP") + kEnd);
    EXPECT_TRUE(fs::exists(state.Application_Folder / "tmp" / "Decals.dat"));
}
#endif

}  // namespace
}  // namespace marrowgate
