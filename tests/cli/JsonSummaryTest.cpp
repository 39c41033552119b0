// The summary for scripts, and the dry run that reports a sort before it is made.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "cli/JsonSummary.h"
#include "support/CliRun.h"
#include "support/TestSupport.h"

namespace marrowgate {
namespace {

using Json = nlohmann::json;
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
    EXPECT_TRUE(d["dry_run"].get<bool>());
    EXPECT_FALSE(r["dry_run"].get<bool>());
    EXPECT_TRUE(r["ok"].get<bool>());
    EXPECT_EQ(r["format"].get<std::string>(), "*PADS-LIBRARY-PART-TYPES-V4*");
    EXPECT_EQ(r["key"].get<std::string>(), "pad-count");
    EXPECT_EQ(std::filesystem::path(r["lib_folder"].get<std::string>()), app / "lib");
    ASSERT_EQ(r["outputs"].size(), d["outputs"].size());
    std::vector<std::string> reported;
    for (std::size_t i = 0; i < r["outputs"].size(); ++i) {
        EXPECT_EQ(r["outputs"][i]["file"].get<std::string>(), d["outputs"][i]["file"].get<std::string>());
        EXPECT_EQ(r["outputs"][i]["parts"].get<double>(), d["outputs"][i]["parts"].get<double>());
        EXPECT_TRUE(std::filesystem::exists(r["outputs"][i]["file"].get<std::string>()));
        reported.push_back(std::filesystem::path(r["outputs"][i]["file"].get<std::string>()).filename().string());
    }
    // Exactly the reported files are in lib.
    std::sort(reported.begin(), reported.end());
    EXPECT_EQ(test::file_names(app / "lib"), reported);
    ASSERT_EQ(r["unplaced"].size(), 1u);
    EXPECT_EQ(r["unplaced"][0]["part"].get<std::string>(), "7805T");
    EXPECT_EQ(r["unplaced"][0]["decal"].get<std::string>(), "TO220");
    EXPECT_EQ(d["unplaced"].size(), 1u);
    EXPECT_GE(r["warnings"].size(), 1u);

    // A second dry run over existing outputs leaves every byte as it was.
    const auto before = test::folder_files(app);
    ASSERT_EQ(run_cli(dry_args).code, 0);
    EXPECT_EQ(test::folder_files(app), before);
}

// Every string of the summary is valid UTF-8 (the reader refuses anything
// else); a byte that is not part of a well-formed sequence reads as Latin-1.
TEST(JsonSummary, StringsAreValidUtf8WhateverTheBytes) {
    RunResult result;
    result.format = "*PADS-LIBRARY-PART-TYPES-V4*";
    const std::pair<std::string, std::string> cases[] = {
        {"quote \" back\\slash tab\t \x01", "quote \" back\\slash tab\t \x01"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x94\x8c", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x94\x8c"},
        {"latin \xe9 byte", "latin \xc3\xa9 byte"},
        {"\xf5\xff", "\xc3\xb5\xc3\xbf"},                         // never lead bytes
        {"\xf8\x80\x80", "\xc3\xb8\xc2\x80\xc2\x80"},              // no five-byte forms
        {"\xed\xa0\x80", "\xc3\xad\xc2\xa0\xc2\x80"},              // a surrogate
        {"\xc0\xaf \xe0\x80\xaf", "\xc3\x80\xc2\xaf \xc3\xa0\xc2\x80\xc2\xaf"},  // overlong forms
        {"\xf4\x90\x80\x80", "\xc3\xb4\xc2\x90\xc2\x80\xc2\x80"},  // beyond U+10FFFF
        {"cut \xe2\x82", "cut \xc3\xa2\xc2\x82"},
    };
    for (const auto& [bytes, shown] : cases) result.warnings.push_back(bytes);
    result.outputs.push_back({"a\"b\xff", "/x/LIB_a\"b\xff.p", 3});
    result.ok = false;
    result.error = "/x/in\xfe.p: cannot be opened";
    const Json j = Json::parse(cli::json_summary(result, "alphanumeric", "/x", false));
    for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(j["warnings"][i].get<std::string>(), cases[i].second) << i;
    EXPECT_EQ(j["outputs"][0]["key"].get<std::string>(), "a\"b\xc3\xbf");
    EXPECT_EQ(j["outputs"][0]["parts"].get<int>(), 3);
    EXPECT_FALSE(j["ok"].get<bool>());
    EXPECT_EQ(j["error"].get<std::string>(), "/x/in\xc3\xbe.p: cannot be opened");
}

}  // namespace
}  // namespace marrowgate
