// marrowgate-cli check through the command line: the real libraries of the
// corpus with their own decal libraries, the exit status of every outcome,
// and the JSON findings parsed back.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/CliRun.h"
#include "support/TestSupport.h"

namespace marrowgate::test {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

// The findings of a JSON summary: kind -> the titles of its first groups.
std::map<std::string, std::vector<std::string>> findings_of(const Json& summary) {
    std::map<std::string, std::vector<std::string>> kinds;
    for (const auto& kind : summary["findings"]) {
        auto& titles = kinds[kind["kind"]];
        for (const auto& group : kind["first_groups"]) titles.push_back(group["title"]);
    }
    return kinds;
}

struct Pair : NamedCase {
    fs::path parts, decals;
    std::vector<std::string> missing;  // decals the decal library lacks: the only errors
};

// The part-type libraries with the decal library exported beside them. The
// OV7725 pair comes from two repositories of one vendor's library, and its
// decal library lacks two decals its parts name.
std::vector<Pair> pairs() {
    const fs::path sara = "SARA-R4_DevBoard";
    return {{{"PGA460"}, fs::path("pga460") / "PGA460TPWQ1.p", fs::path("pga460") / "SOP65P640X120-16N.d", {}},
            {{"ESD224"}, sara / "ESD224DQAR.p", sara / "ESD224DQAR.d", {}},
            {{"NX3215"}, sara / "NX3215SA-32.768K-EXS00A-MU0000.p", sara / "NX3215SA32768KEXS00AMU00003.d", {}},
            {{"OV7725"}, fs::path("ebf_camera_ov7725") / "OV7725_SCH.p", fs::path("surviveCS") / "OV7725_PCB.d",
             {"decal AL422B(28PINS)", "decal LED_BLUE_0603_FIRE"}}};
}

class CorpusCheck : public ::testing::TestWithParam<Pair> {};

TEST_P(CorpusCheck, RealPairsHoldNoErrorButTheDecalsTheirLibraryLacks) {
    const fs::path root = corpus_dir();
    if (root.empty()) GTEST_SKIP() << "corpus folder not found: " << MARROWGATE_CORPUS_DIR;
    const Pair& pair = GetParam();
    const auto run = run_cli({"check", "--json", "--decal-file", (root / pair.decals).string(), (root / pair.parts).string()});
    ASSERT_EQ(run.code, pair.missing.empty() ? 0 : 1) << run.err << run.out;
    const Json summary = Json::parse(run.out);
    EXPECT_EQ(summary["counts"]["error"], pair.missing.size());
    const auto kinds = findings_of(summary);
    EXPECT_EQ(kinds.count("pins_first_decal"), 0u) << "every pin count matches its decal's pads";
    EXPECT_EQ(kinds.count("not_checked"), 0u) << "every part's pins were read";
    if (!pair.missing.empty()) {
        EXPECT_EQ(kinds.at("missing_decal"), pair.missing);
    }
}

INSTANTIATE_TEST_SUITE_P(Pairs, CorpusCheck, ::testing::ValuesIn(pairs()), case_name);

// Copies of the samples (V4: their pins are not read).
class CheckFiles : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"logic.p", "discretes.p", "footprints.d"})
            write_file(dir / name, read_file(samples_dir() / name));
    }
    std::string at(const char* name) const { return (dir / name).string(); }
    TempDir dir;
};

struct ExitCase : NamedCase {
    std::vector<std::string> args;  // "@name" for a file of the folder
    int code;
};

TEST_F(CheckFiles, ExitStatusOfEveryOutcome) {
    std::string lacking = read_file(dir / "footprints.d");
    lacking.replace(lacking.find("TO220 M"), 5, "TO999");
    write_file(dir / "lacking.d", lacking);
    std::string twice = read_file(dir / "logic.p");
    twice.replace(twice.find("*END*"), 5, "*REMARK* stray\r\n*END*");
    write_file(dir / "stray.p", twice);
    std::string v9 = read_file(dir / "logic.p");
    write_file(dir / "v9.p", v9.replace(0, v9.find('\r'), "*PADS-LIBRARY-PART-TYPES-V9*"));
    write_file(dir / "other.txt", "no marker here\r\n");
    write_file(dir / "copy.p", read_file(dir / "discretes.p"));
    const std::vector<ExitCase> cases = {
        {{"Clean"}, {"--decal-file", "@footprints.d", "@logic.p", "@discretes.p"}, 0},
        {{"MissingDecalIsAnError"}, {"--decal-file", "@lacking.d", "@logic.p", "@discretes.p"}, 1},
        {{"WarningsPass"}, {"@stray.p"}, 0},
        {{"WarningsFailWhenStrict"}, {"--strict", "@stray.p"}, 1},
        {{"ReportWritten"}, {"--report", "@report.txt", "--decal-file", "@lacking.d", "@logic.p"}, 1},
        {{"Help"}, {"--help"}, 0},
        {{"FourFiles"}, {"@logic.p", "@discretes.p", "@stray.p", "@copy.p"}, 0},
        {{"NoFile"}, {"--json"}, 2},
        {{"FiveFiles"}, {"@logic.p", "@discretes.p", "@stray.p", "@v9.p", "@other.txt"}, 2},
        {{"UnknownOption"}, {"--sort", "pad-count", "@logic.p"}, 2},
        {{"Unreadable"}, {"@absent.p"}, 2},
        {{"NoMarker"}, {"@other.txt"}, 2},
        {{"DecalLibraryAsPartTypes"}, {"@footprints.d"}, 2},
        {{"PartTypesAsDecalLibrary"}, {"--decal-file", "@discretes.p", "@logic.p"}, 2},
        {{"GivenTwice"}, {"@logic.p", "@logic.p"}, 2},
        {{"TwoFormats"}, {"@logic.p", "@v9.p"}, 2},
        {{"ReportOverAnInput"}, {"--report", "@logic.p", "@logic.p"}, 2},
        {{"ReportInNoFolder"}, {"--report", "@absent/report.txt", "@logic.p"}, 2},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"check"};
        for (const auto& arg : c.args) args.push_back(arg.starts_with("@") ? at(arg.c_str() + 1) : arg);
        const auto run = run_cli(args);
        EXPECT_EQ(run.code, c.code) << c.name << "\n" << run.out << run.err;
        if (c.code == 2) {
            EXPECT_NE(run.err.find("marrowgate-cli: check: "), std::string::npos) << c.name;
        }
    }
    EXPECT_EQ(read_file(dir / "logic.p"), read_file(samples_dir() / "logic.p")) << "no input is written";
    // Without --json the findings are said as text, errors first.
    const auto text = run_cli({"check", "--decal-file", at("lacking.d"), at("logic.p")});
    EXPECT_EQ(text.out.find("Checked: " + at("logic.p") + "\n"), 0u) << text.out;
    EXPECT_NE(text.out.find("Result: 1 error, 0 warnings"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Errors (1):\n  Decals not in the decal library (1 decal, 1 part):\n"
                            "    decal TO220, 1 part: 7805T\n"),
              std::string::npos)
        << text.out;
    const std::string report = read_file(dir / "report.txt");
    EXPECT_NE(report.find("Errors (1):"), std::string::npos) << report;
    EXPECT_NE(report.find("  decal TO220, 1 part: 7805T\n"), std::string::npos) << report;
    EXPECT_EQ(file_names(dir.path()).size(), 9u) << "no scratch file is left";
}

TEST_F(CheckFiles, JsonGivesEveryKindWithItsCountGroupsAndExamples) {
    // 74LS00 twice, a line outside the blocks, and a decal the library lacks.
    std::string logic = read_file(dir / "logic.p");
    const std::size_t end = logic.find("*END*");
    const std::size_t first = logic.find("74LS00");
    const std::string again = logic.substr(first, logic.find("\r\n\r\n", first) + 4 - first);
    logic.insert(end, again + "*REMARK* stray\r\n");
    write_file(dir / "logic.p", logic);
    std::string discretes = read_file(dir / "discretes.p");
    discretes.replace(discretes.find("BUZ12/5"), 7, "BUZ12/5:GHOST");
    write_file(dir / "discretes.p", discretes);
    const auto run = run_cli({"check", "--json", "--decal-file", at("footprints.d"), at("logic.p"), at("discretes.p")});
    ASSERT_EQ(run.code, 1) << run.err;
    const Json summary = Json::parse(run.out);
    EXPECT_EQ(summary["ok"], false);
    EXPECT_EQ(summary["exit_code"], 1);
    EXPECT_EQ(summary["parts"], 8);
    long long total = 0;
    std::map<std::string, long long> severity_totals;
    for (const auto& kind : summary["findings"]) {
        long long in_groups = 0;
        for (const auto& group : kind["first_groups"]) in_groups += group["count"].get<long long>();
        EXPECT_EQ(in_groups, kind["count"]) << kind["kind"];
        severity_totals[kind["severity"]] += kind["count"].get<long long>();
        total += kind["count"].get<long long>();
    }
    for (const auto& [severity, count] : severity_totals) EXPECT_EQ(summary["counts"][severity], count) << severity;
    const auto kinds = findings_of(summary);
    EXPECT_EQ(kinds.at("missing_decal"), std::vector<std::string>{"decal GHOST"});
    EXPECT_EQ(kinds.at("name_identical"), std::vector<std::string>{"part 74LS00"});
    EXPECT_EQ(kinds.at("passed_over"), std::vector<std::string>{at("logic.p")});
    EXPECT_GT(total, 3);
}

}  // namespace
}  // namespace marrowgate::test
