// The real libraries of the corpus folder, read in place and never copied into
// the project, sorted by every key two ways: copies whose marker line is made
// the V4 one through the engine, and the files as they are through the command
// line. Against the library model every part block arrives exactly once, byte
// for byte, in the file of its key, after the marker line of the input.
#include <gtest/gtest.h>

#include <map>

#include "library/FileList.h"
#include "library/Folders.h"
#include "support/CliRun.h"
#include "support/LibraryModel.h"
#include "support/TestSupport.h"

namespace marrowgate::test {
namespace {

namespace fs = std::filesystem;
using Unplaced = std::vector<std::pair<std::string, std::string>>;  // part, decal

struct Set {
    std::vector<fs::path> parts;
    SortKey key;
    fs::path decals;
    Unplaced unplaced;
};

// The V2007 export alone and the four V9 exports together by the keys that
// need no decal library, then each V9 export by pad count with its decal
// library: two of the eighteen OV7725 parts name decals that library lacks.
std::vector<Set> sets() {
    const fs::path drl = fs::path("atrias") / "drl_passives.p", pga = fs::path("pga460") / "PGA460TPWQ1.p",
                   sara = "SARA-R4_DevBoard", esd = sara / "ESD224DQAR.p",
                   nx = sara / "NX3215SA-32.768K-EXS00A-MU0000.p", ov = fs::path("ebf_camera_ov7725") / "OV7725_SCH.p";
    std::vector<Set> sets;
    for (const SortKey key : {SortKey::Alphanumeric, SortKey::LogicFamily, SortKey::DecalName}) {
        sets.push_back({{drl}, key, {}, {}});
        sets.push_back({{pga, esd, nx, ov}, key, {}, {}});
    }
    sets.push_back({{pga}, SortKey::PadCount, fs::path("pga460") / "SOP65P640X120-16N.d", {}});
    sets.push_back({{esd}, SortKey::PadCount, sara / "ESD224DQAR.d", {}});
    sets.push_back({{nx}, SortKey::PadCount, sara / "NX3215SA32768KEXS00AMU00003.d", {}});
    sets.push_back({{ov}, SortKey::PadCount, fs::path("surviveCS") / "OV7725_PCB.d",
                    {{"AL422B_FIRE", "AL422B(28PINS)"}, {"LED_BLUE_0603_FIRE", "LED_BLUE_0603_FIRE"}}});
    return sets;
}

// What a run must write: the bytes of each output file by its name, and the
// parts it can place in no file.
struct Expected {
    std::map<std::string, std::string> files;
    long long parts = 0;
    Unplaced unplaced;
};

Expected expected(const std::vector<std::string>& inputs, SortKey key, const std::string& decals,
                  const std::string& marker) {
    Expected e;
    const auto pads = model_decals(decals);
    for (const auto& input : inputs) {
        for (const auto& block : model_blocks(input)) {
            ++e.parts;
            if (const auto k = model_key(key, block.header, pads)) {
                e.files["LIB_" + *k + ".p"] += block.bytes;
                continue;
            }
            const auto decal = model_field(block.header, 2);
            e.unplaced.emplace_back(model_field(block.header, 1), decal.substr(0, decal.find(':')));
        }
    }
    for (auto& [name, bytes] : e.files) bytes = marker + "\r\n\r\r\n" + bytes + "*END*\r\n";
    return e;
}

void expect_outputs(const fs::path& lib, const Expected& e) {
    EXPECT_EQ(file_names(lib).size(), e.files.size());
    for (const auto& [name, bytes] : e.files) EXPECT_EQ(read_file(lib / name), bytes) << name;
}

// The bytes of a library with its marker line, whatever its version, made `marker`.
std::string with_marker(const fs::path& file, const std::string& prefix, const std::string& marker) {
    std::string bytes = read_file(file);
    const auto at = bytes.find(prefix);
    if (at != std::string::npos) bytes.replace(at, bytes.find('*', at + 1) + 1 - at, marker);
    return bytes;
}

class Corpus : public ::testing::Test {
protected:
    void SetUp() override {
        root = corpus_dir();
        if (root.empty()) GTEST_SKIP() << "corpus folder not found: " << MARROWGATE_CORPUS_DIR;
    }
    fs::path root;
};

TEST_F(Corpus, V4CopiesThroughTheEngine) {
    for (const auto& set : sets()) {
        SCOPED_TRACE(sort_key_name(set.key) + " " + display_path(set.parts[0]));
        TempDir dir;
        Module1 state;
        state.Application_Folder = dir / "app";
        fs::create_directories(state.Application_Folder);
        ASSERT_TRUE(tmp_makedir(state));
        std::vector<std::string> inputs;
        for (const auto& part : set.parts) {
            inputs.push_back(with_marker(root / part, "*PADS-LIBRARY-PART-TYPES-V", kPartTypeMarkerV4));
            write_file(dir / part.filename(), inputs.back());
            ASSERT_EQ(add_part_type_file(state, dir / part.filename(), real_file_system(), MarkerRule::part_types_v4())
                          .outcome,
                      AddOutcome::Added);
            EXPECT_EQ(state.File_Parts[static_cast<std::size_t>(state.File_Count)],
                      static_cast<int>(model_blocks(inputs.back()).size()));
        }
        std::string decals;
        if (!set.decals.empty()) {
            decals = with_marker(root / set.decals, "*PADS-LIBRARY-PCB-DECALS-V", kDecalMarkerV4);
            write_file(dir / set.decals.filename(), decals);
            ASSERT_EQ(choose_decal_file(state, dir / set.decals.filename(), real_file_system(),
                                        MarkerRule::decals_v4()).outcome,
                      AddOutcome::Added);
        }
        NullStatusDisplay status;
        const RunResult result = run_sort(state, set.key, status, real_file_system());
        ASSERT_TRUE(result.ok) << result.error;
        const Expected e = expected(inputs, set.key, decals, kPartTypeMarkerV4);
        EXPECT_EQ(e.unplaced, set.unplaced);
        EXPECT_EQ(result.parts, e.parts);
        Unplaced unplaced;
        for (const auto& u : result.unplaced) unplaced.emplace_back(u.part, u.decal);
        EXPECT_EQ(unplaced, e.unplaced);
        expect_outputs(lib_folder(state), e);
    }
}

TEST_F(Corpus, UnchangedFilesThroughTheCommandLine) {
    for (const auto& set : sets()) {
        SCOPED_TRACE(sort_key_name(set.key) + " " + display_path(set.parts[0]));
        TempDir app;
        std::vector<std::string> args = {"--sort", sort_key_name(set.key), "--app-folder", app.path().string()};
        std::string decals;
        if (!set.decals.empty()) {
            args.insert(args.end(), {"--decal-file", (root / set.decals).string()});
            decals = read_file(root / set.decals);
        }
        std::vector<std::string> inputs;
        for (const auto& part : set.parts) {
            args.push_back((root / part).string());
            inputs.push_back(read_file(root / part));
        }
        const auto run = run_cli(args);
        ASSERT_EQ(run.code, 0) << run.err;
        const std::string marker = inputs[0].substr(0, inputs[0].find_first_of("\r\n"));
        EXPECT_NE(run.out.find("Format: " + marker), std::string::npos) << run.out;
        const Expected e = expected(inputs, set.key, decals, marker);
        for (const auto& [part, decal] : e.unplaced)
            EXPECT_NE(run.out.find("the part " + part + " was placed in no file: its decal \"" + decal + "\""),
                      std::string::npos) << run.out;
        expect_outputs(app / "lib", e);
    }
}

}  // namespace
}  // namespace marrowgate::test
