// The summary for scripts, and the dry run that reports a sort before it is made.
#include <gtest/gtest.h>

#include <algorithm>

#include "cli/JsonSummary.h"
#include "support/CliRun.h"
#include "support/Json.h"
#include "support/TestSupport.h"

namespace marrowgate {
namespace {

using test::Json;
using test::TempDir;
using test::run_cli;

TEST(JsonSummary, DryRunWritesNothingAndReportsWhatTheRealRunWrites) {
    TempDir dir;
    const auto app = dir / "app";
    const auto samples = test::samples_dir();
    const std::vector<std::string> inputs = {(samples / "logic.p").string(), (samples / "discretes.p").string()};
    std::vector<std::string> args = {"--sort", "pad-count", "--decal-file", (dir / "decals.d").string(),
                                     "--app-folder", app.string(), "--json"};
    // A decal library that lacks one decal, so one part is placed nowhere.
    std::string decals = test::read_file(samples / "footprints.d");
    const auto gone = decals.find("TO220 M");
    decals.replace(gone, 5, "TO999");
    test::write_file(dir / "decals.d", decals);
    args.insert(args.end(), inputs.begin(), inputs.end());

    auto dry_args = args;
    dry_args.push_back("--dry-run");
    const auto dry = run_cli(dry_args);
    ASSERT_EQ(dry.code, 0) << dry.err;
    EXPECT_FALSE(std::filesystem::exists(app)) << "a dry run creates no folder";

    const auto real = run_cli(args);
    ASSERT_EQ(real.code, 0) << real.err;
    const Json d = Json::parse(dry.out);
    const Json r = Json::parse(real.out);
    EXPECT_TRUE(d["dry_run"].boolean());
    EXPECT_FALSE(r["dry_run"].boolean());
    EXPECT_TRUE(r["ok"].boolean());
    EXPECT_EQ(r["format"].str(), "*PADS-LIBRARY-PART-TYPES-V4*");
    EXPECT_EQ(r["key"].str(), "pad-count");
    EXPECT_EQ(std::filesystem::path(r["lib_folder"].str()), app / "lib");
    ASSERT_EQ(r["outputs"].size(), d["outputs"].size());
    std::vector<std::string> reported;
    for (std::size_t i = 0; i < r["outputs"].size(); ++i) {
        EXPECT_EQ(r["outputs"][i]["file"].str(), d["outputs"][i]["file"].str());
        EXPECT_EQ(r["outputs"][i]["parts"].num(), d["outputs"][i]["parts"].num());
        EXPECT_TRUE(std::filesystem::exists(r["outputs"][i]["file"].str()));
        reported.push_back(std::filesystem::path(r["outputs"][i]["file"].str()).filename().string());
    }
    // Exactly the reported files are in lib.
    std::sort(reported.begin(), reported.end());
    EXPECT_EQ(test::file_names(app / "lib"), reported);
    ASSERT_EQ(r["unplaced"].size(), 1u);
    EXPECT_EQ(r["unplaced"][0]["part"].str(), "7805T");
    EXPECT_EQ(r["unplaced"][0]["decal"].str(), "TO220");
    EXPECT_EQ(d["unplaced"].size(), 1u);
    EXPECT_GE(r["warnings"].size(), 1u);

    // A second dry run over existing outputs leaves every byte as it was.
    const auto before = test::folder_files(app);
    ASSERT_EQ(run_cli(dry_args).code, 0);
    EXPECT_EQ(test::folder_files(app), before);
}

TEST(JsonSummary, StringsSurviveQuotesControlsAndBytesOfOtherCodePages) {
    RunResult result;
    result.format = "*PADS-LIBRARY-PART-TYPES-V4*";
    result.warnings = {"quote \" back\\slash tab\t", std::string("\x01 bell"), "caf\xc3\xa9", "latin \xe9 byte"};
    result.outputs.push_back({"a\"b", "/x/LIB_a\"b.p", 3});
    const Json j = Json::parse(cli::json_summary(result, "alphanumeric", "/x", false));
    EXPECT_EQ(j["warnings"][0].str(), "quote \" back\\slash tab\t");
    EXPECT_EQ(j["warnings"][1].str(), "\x01 bell");
    EXPECT_EQ(j["warnings"][2].str(), "caf\xc3\xa9");
    EXPECT_EQ(j["warnings"][3].str(), "latin \xc3\xa9 byte");  // the stray byte read as Latin-1
    EXPECT_EQ(j["outputs"][0]["key"].str(), "a\"b");
    EXPECT_EQ(j["outputs"][0]["parts"].num(), 3);

    result.ok = false;
    result.error = "/x/in.p: cannot be opened: No such file or directory";
    const Json failed = Json::parse(cli::json_summary(result, "alphanumeric", "/x", false));
    EXPECT_FALSE(failed["ok"].boolean());
    EXPECT_EQ(failed["error"].str(), result.error);
}

}  // namespace
}  // namespace marrowgate
