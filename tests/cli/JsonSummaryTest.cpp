// The summary for scripts, and the dry run that reports a sort before it is made.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "cli/JsonSummary.h"
#include "support/CliRun.h"
#include "support/TestSupport.h"

namespace marrowgate::test {
namespace {

using Json = nlohmann::json;

TEST(JsonSummary, DryRunWritesNothingAndReportsWhatTheRealRunWrites) {
    TempDir dir;
    const auto app = dir / "app";
    // A decal library that lacks one decal, so one part is placed nowhere.
    std::string decals = read_file(samples_dir() / "footprints.d");
    decals.replace(decals.find("TO220 M"), 5, "TO999");
    write_file(dir / "decals.d", decals);
    std::vector<std::string> args = {"--sort", "pad-count", "--decal-file", (dir / "decals.d").string(),
                                     "--app-folder", app.string(), "--json", (samples_dir() / "logic.p").string(),
                                     (samples_dir() / "discretes.p").string(), "--dry-run"};
    const auto dry = run_cli(args);
    ASSERT_EQ(dry.code, 0) << dry.err;
    EXPECT_FALSE(std::filesystem::exists(app)) << "a dry run creates no folder";
    args.pop_back();
    const auto real = run_cli(args);
    ASSERT_EQ(real.code, 0) << real.err;

    Json d = Json::parse(dry.out);
    const Json r = Json::parse(real.out);
    EXPECT_EQ(d["dry_run"], true);
    EXPECT_TRUE(d["report"].is_null());
    d["dry_run"] = false;
    d["report"] = r["report"];
    EXPECT_EQ(d, r);  // apart from being a dry run, the same summary
    EXPECT_EQ(r["ok"], true);
    EXPECT_EQ(r["format"], "*PADS-LIBRARY-PART-TYPES-V4*");
    EXPECT_EQ(r["key"], "pad-count");
    EXPECT_EQ(std::filesystem::path(r["lib_folder"].get<std::string>()), app / "lib");
    std::vector<std::string> reported;  // exactly the files in lib
    for (const auto& output : r["outputs"])
        reported.push_back(std::filesystem::path(output["file"].get<std::string>()).filename().string());
    std::sort(reported.begin(), reported.end());
    EXPECT_EQ(file_names(app / "lib"), reported);
    ASSERT_EQ(r["warnings"].size(), 1u);
    EXPECT_EQ(r["warnings"][0]["kind"], "unplaced");
    EXPECT_EQ(r["warnings"][0]["first_groups"][0]["title"], "decal TO220: not in the decal library");
    EXPECT_EQ(r["warnings"][0]["first_groups"][0]["examples"], Json::array({"7805T"}));
    EXPECT_EQ(r["parts_unplaced"], 1);
    EXPECT_EQ(r["unplaced_by_reason"],
              (Json{{"decal_not_in_library", 1}, {"no_decal_library", 0}, {"decal_without_pad_count", 0}}));
    EXPECT_EQ(r["parts_written"], r["parts"].get<long long>() - 1);
    EXPECT_EQ(std::filesystem::path(r["report"].get<std::string>()), app / "marrowgate-report.txt");

    // A second dry run over existing outputs leaves every byte as it was.
    const auto before = folder_files(app);
    args.push_back("--dry-run");
    ASSERT_EQ(run_cli(args).code, 0);
    EXPECT_EQ(folder_files(app), before);
}

// Every string of the summary is valid UTF-8 (the reader refuses anything
// else); a byte that is not part of a well-formed sequence reads as Latin-1.
TEST(JsonSummary, StringsAreValidUtf8WhateverTheBytes) {
    const std::pair<std::string, std::string> cases[] = {
        {"quote \" back\\slash tab\t \x01", "quote \" back\\slash tab\t \x01"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x94\x8c", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x94\x8c"},
        {"latin \xe9 byte", "latin \xc3\xa9 byte"},
        {"\xdf\xbf \xef\xbf\xbd", "\xdf\xbf \xef\xbf\xbd"},  // the last lead bytes of two and three
        {"\xf5\xff", "\xc3\xb5\xc3\xbf"},
        {"\xf8\x88\x80\x80", "\xc3\xb8\xc2\x88\xc2\x80\xc2\x80"},                         // never lead bytes
        {"\xf8\x80\x80", "\xc3\xb8\xc2\x80\xc2\x80"},              // no five-byte forms
        {"\xed\xa0\x80", "\xc3\xad\xc2\xa0\xc2\x80"},              // a surrogate
        {"\xc0\xaf \xe0\x80\xaf", "\xc3\x80\xc2\xaf \xc3\xa0\xc2\x80\xc2\xaf"},  // overlong forms
        {"\xf4\x90\x80\x80", "\xc3\xb4\xc2\x90\xc2\x80\xc2\x80"},  // beyond U+10FFFF
        {"cut \xe2\x82", "cut \xc3\xa2\xc2\x82"},
    };
    RunResult result;
    for (const auto& [bytes, shown] : cases) result.warnings.add(WarningKind::DecalLibrary, bytes);
    result.outputs.push_back({"a\"b\xff", "/x/LIB_a\"b\xff.p", 3});
    result.ok = false;
    result.error = "/x/in\xfe.p: cannot be opened";
    const Json j = Json::parse(cli::json_summary(result, "alphanumeric", "/x", false));
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(j["warnings"][0]["first_groups"][i]["title"], cases[i].second) << i;
    EXPECT_EQ(j["outputs"][0]["key"], "a\"b\xc3\xbf");
    EXPECT_EQ(j["outputs"][0]["parts"], 3);
    EXPECT_EQ(j["ok"], false);
    EXPECT_EQ(j["error"], "/x/in\xc3\xbe.p: cannot be opened");
}

}  // namespace
}  // namespace marrowgate::test
