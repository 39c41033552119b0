// The real libraries of the corpus folder, read in place and never copied into
// the project, sorted as they are through the command line (which drives the
// engine). Against the library model every part block arrives exactly once,
// byte for byte, in the file of its key, after the marker line of the input.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/CliRun.h"
#include "support/LibraryModel.h"
#include "support/TestSupport.h"

namespace marrowgate::test {
namespace {

namespace fs = std::filesystem;
using Unplaced = std::vector<std::pair<std::string, std::string>>;  // part, decal

struct Set : NamedCase {
    std::vector<fs::path> parts;
    SortKey key;
    fs::path decals;
    Unplaced unplaced;
};

const fs::path kDrl = fs::path("atrias") / "drl_passives.p", kPga = fs::path("pga460") / "PGA460TPWQ1.p",
               kSara = "SARA-R4_DevBoard", kEsd = kSara / "ESD224DQAR.p",
               kNx = kSara / "NX3215SA-32.768K-EXS00A-MU0000.p", kOv = fs::path("ebf_camera_ov7725") / "OV7725_SCH.p";

// The V2007 export alone and the four V9 exports together by the keys that
// need no decal library, then each V9 export by pad count with its decal
// library: two of the eighteen OV7725 parts name decals that library lacks.
std::vector<Set> sets() {
    std::vector<Set> sets;
    const std::pair<SortKey, std::string> keys[] = {
        {SortKey::Alphanumeric, "initials"}, {SortKey::LogicFamily, "families"}, {SortKey::DecalName, "decals"}};
    for (const auto& [key, name] : keys) {
        sets.push_back({{"V2007_" + name}, {kDrl}, key, {}, {}});
        sets.push_back({{"FourV9_" + name}, {kPga, kEsd, kNx, kOv}, key, {}, {}});
    }
    sets.push_back({{"PGA460_pads"}, {kPga}, SortKey::PadCount, fs::path("pga460") / "SOP65P640X120-16N.d", {}});
    sets.push_back({{"ESD224_pads"}, {kEsd}, SortKey::PadCount, kSara / "ESD224DQAR.d", {}});
    sets.push_back({{"NX3215_pads"}, {kNx}, SortKey::PadCount, kSara / "NX3215SA32768KEXS00AMU00003.d", {}});
    sets.push_back({{"OV7725_pads"}, {kOv}, SortKey::PadCount, fs::path("surviveCS") / "OV7725_PCB.d",
                    {{"AL422B_FIRE", "AL422B(28PINS)"}, {"LED_BLUE_0603_FIRE", "LED_BLUE_0603_FIRE"}}});
    return sets;
}

class Corpus : public ::testing::TestWithParam<Set> {};

TEST_P(Corpus, EveryBlockArrivesOnceInTheFileOfItsKey) {
    const fs::path root = corpus_dir();
    if (root.empty()) GTEST_SKIP() << "corpus folder not found: " << MARROWGATE_CORPUS_DIR;
    const Set& set = GetParam();
    TempDir app;
    std::vector<std::string> args = {"--json", "--sort", sort_key_name(set.key), "--app-folder", app.path().string()};
    const std::string decals = set.decals.empty() ? "" : read_file(root / set.decals);
    if (!set.decals.empty()) args.insert(args.end(), {"--decal-file", (root / set.decals).string()});

    std::vector<std::string> inputs;
    for (const auto& input : set.parts) {
        args.push_back((root / input).string());
        inputs.push_back(read_file(root / input));
    }
    const std::string marker = inputs[0].substr(0, inputs[0].find_first_of("\r\n"));
    const ModelRun model = model_run(set.key, inputs, model_decals(decals));

    const auto run = run_cli(args);
    ASSERT_EQ(run.code, 0) << run.err;
    const auto summary = nlohmann::json::parse(run.out);
    EXPECT_EQ(summary["format"], marker);
    EXPECT_EQ(summary["parts"], model.parts);
    Unplaced reported;
    for (const auto& kind : summary["warnings"]) {
        if (kind["kind"] != "unplaced") continue;
        for (const auto& group : kind["first_groups"]) {
            const std::string title = group["title"];  // "decal X: not in the decal library"
            for (const auto& part : group["examples"]) reported.emplace_back(part, title.substr(6, title.rfind(": ") - 6));
        }
    }
    EXPECT_EQ(reported, set.unplaced);
    EXPECT_EQ(file_names(app / "lib").size(), model.outputs.size());
    for (const auto& [key, bytes] : model.outputs)
        EXPECT_EQ(read_file(app / "lib" / ("LIB_" + key + ".p")), marker + "\r\n\r\r\n" + bytes + "*END*\r\n") << key;
}

INSTANTIATE_TEST_SUITE_P(Sets, Corpus, ::testing::ValuesIn(sets()), case_name);

}  // namespace
}  // namespace marrowgate::test
