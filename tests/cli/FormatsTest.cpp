// The command line sorts the libraries that current PADS versions export
// (V2007, V9 ...) and keeps their marker line in every output.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "cli/SortCommand.h"
#include "library/Folders.h"
#include "sort/Sorts.h"
#include "support/TestSupport.h"

namespace marrowgate {
namespace {

using test::TempDir;

std::vector<std::string> split_lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::size_t stop = end;
        if (stop > start && bytes[stop - 1] == '\r' && end < bytes.size()) --stop;
        lines.push_back(bytes.substr(start, stop - start));
        start = end + 1;
    }
    return lines;
}

bool is_header(const std::string& line) {
    return line.find(" M ") != std::string::npos || line.find(" I ") != std::string::npos;
}

// The part blocks of a library, each as its lines joined with CR LF.
std::vector<std::string> blocks_of(const std::string& bytes) {
    std::vector<std::string> blocks;
    std::string* open = nullptr;
    for (const auto& line : split_lines(bytes)) {
        if (!open) {
            if (!is_header(line)) continue;
            blocks.emplace_back();
            open = &blocks.back();
        }
        *open += line + "\r\n";
        if (line.empty()) open = nullptr;
    }
    return blocks;
}

struct CliRun {
    int code = 0;
    std::string out, err;
};

CliRun run_cli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    CliRun run;
    run.code = cli::run_command_line(args, {out, err, false}, real_file_system());
    run.out = out.str();
    run.err = err.str();
    return run;
}

std::string first_line(const std::string& bytes) { return split_lines(bytes).at(0); }

std::filesystem::path corpus_or_skip() {
    return test::corpus_dir();
}

TEST(Formats, RealExportsSortByEveryKeyAndKeepTheirMarker) {
    const auto corpus = corpus_or_skip();
    if (corpus.empty()) GTEST_SKIP() << "corpus folder not found (set MARROWGATE_CORPUS_DIR): real exports not tested";
    struct Group {
        std::vector<std::string> parts;
        std::string decals;
    };
    const std::vector<Group> groups = {
        {{"atrias/drl_passives.p"}, ""},
        {{"pga460/PGA460TPWQ1.p"}, "pga460/SOP65P640X120-16N.d"},
        {{"SARA-R4_DevBoard/ESD224DQAR.p", "SARA-R4_DevBoard/NX3215SA-32.768K-EXS00A-MU0000.p"},
         "SARA-R4_DevBoard/ESD224DQAR.d"},
        {{"ebf_camera_ov7725/OV7725_SCH.p"}, "surviveCS/OV7725_PCB.d"},
    };
    const std::vector<std::pair<std::string, std::string (*)(std::string_view)>> keys = {
        {"alphanumeric", &initial_key}, {"logic-family", &logic_family_key}, {"decal-name", &decal_name_key}};
    for (const auto& group : groups) {
        std::vector<std::string> inputs;
        std::vector<std::string> blocks;
        for (const auto& part : group.parts) {
            inputs.push_back((corpus / part).string());
            for (auto& block : blocks_of(test::read_file(corpus / part))) blocks.push_back(block);
        }
        const std::string marker = first_line(test::read_file(inputs[0]));
        for (const auto& [key_name, key_of] : keys) {
            TempDir app;
            std::vector<std::string> args = {"--sort", key_name, "--app-folder", app.path().string()};
            args.insert(args.end(), inputs.begin(), inputs.end());
            const auto run = run_cli(args);
            ASSERT_EQ(run.code, 0) << run.err;
            EXPECT_NE(run.out.find("Format: " + marker), std::string::npos) << run.out;
            // Every block arrives once, in the file of its key, in input order.
            std::map<std::string, std::vector<std::string>> expected;
            for (const auto& block : blocks) {
                std::string key = key_of(block.substr(0, block.find("\r\n")));
                make_file_name_safe(key);
                expected["LIB_" + key + ".p"].push_back(block);
            }
            for (const auto& [file, file_blocks] : expected) {
                const std::string bytes = test::read_file(app.path() / "lib" / file);
                std::string want = marker + "\r\n\r\r\n";
                for (const auto& block : file_blocks) want += block;
                want += "*END*\r\n";
                EXPECT_EQ(bytes, want) << key_name << " " << file;
            }
            std::size_t files = 0;
            for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(app.path() / "lib")) ++files;
            EXPECT_EQ(files, expected.size()) << key_name;
        }
    }
}

TEST(Formats, PadCountWithTheMatchingDecalLibraries) {
    const auto corpus = corpus_or_skip();
    if (corpus.empty()) GTEST_SKIP() << "corpus folder not found (set MARROWGATE_CORPUS_DIR): real exports not tested";
    TempDir app;
    const auto run = run_cli({"--sort", "pad-count", "--app-folder", app.path().string(), "--decal-file",
                              (corpus / "surviveCS/OV7725_PCB.d").string(),
                              (corpus / "ebf_camera_ov7725/OV7725_SCH.p").string()});
    ASSERT_EQ(run.code, 0) << run.err;
    // Two of the eighteen parts name decals that the decal library lacks.
    EXPECT_NE(run.out.find("AL422B(28PINS)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("LED_BLUE_0603_FIRE"), std::string::npos) << run.out;
    std::size_t placed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(app.path() / "lib")) {
        const std::string bytes = test::read_file(entry.path());
        EXPECT_EQ(first_line(bytes), "*PADS-LIBRARY-PART-TYPES-V9*");
        placed += blocks_of(bytes).size();
    }
    EXPECT_EQ(placed, 16u);

    TempDir pga;
    const auto one = run_cli({"--sort", "pad-count", "--app-folder", pga.path().string(), "--decal-file",
                              (corpus / "pga460/SOP65P640X120-16N.d").string(),
                              (corpus / "pga460/PGA460TPWQ1.p").string()});
    ASSERT_EQ(one.code, 0) << one.err;
    EXPECT_TRUE(std::filesystem::exists(pga.path() / "lib" / "LIB_16.p"));
}

TEST(Formats, FilesOfDifferentFormatsAreRefusedBeforeAnythingIsWritten) {
    TempDir dir;
    const std::string body = test::crlf({"", "R1 0805 I RES 0 1 0 0 0", "TIMESTAMP 2020.01.01.00.00.00", "", "*END*"});
    test::write_file(dir / "old.p", "*PADS-LIBRARY-PART-TYPES-V4*\r\n" + body);
    test::write_file(dir / "new.p", "*PADS-LIBRARY-PART-TYPES-V9*\r\n" + body);
    const auto app = dir / "app";
    std::filesystem::create_directory(app);
    const auto run = run_cli({"--sort", "alphanumeric", "--app-folder", app.string(), (dir / "old.p").string(),
                              (dir / "new.p").string()});
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.err.find("old.p: *PADS-LIBRARY-PART-TYPES-V4*"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("new.p: *PADS-LIBRARY-PART-TYPES-V9*"), std::string::npos) << run.err;
    EXPECT_TRUE(std::filesystem::is_empty(app)) << "nothing may be written";

    // Versions are taken by their form; anything else is no marker.
    test::write_file(dir / "v2005.p", "*PADS-LIBRARY-PART-TYPES-V2005*\r\n" + body);
    test::write_file(dir / "bad.p", "*PADS-LIBRARY-PART-TYPES-V*\r\n" + body);
    EXPECT_EQ(run_cli({"--sort", "alphanumeric", "--app-folder", app.string(), (dir / "v2005.p").string()}).code, 0);
    EXPECT_EQ(test::read_file(app / "lib" / "LIB_R.p").substr(0, 34), "*PADS-LIBRARY-PART-TYPES-V2005*\r\n\r");
    const auto bad = run_cli({"--sort", "alphanumeric", "--app-folder", app.string(), (dir / "bad.p").string()});
    EXPECT_EQ(bad.code, 2);
    EXPECT_NE(bad.err.find("marker line"), std::string::npos) << bad.err;
}

}  // namespace
}  // namespace marrowgate
