// Surroundings of a sort run for the tests: an application folder with lib and
// tmp, part-type libraries written from lines and listed the way "+" lists
// them, and a decal library chosen the way "File ..." chooses it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "run/Progress.h"
#include "sort/Sorts.h"
#include "state/Module1.h"
#include "support/TestSupport.h"
#include "workspace/FileList.h"
#include "workspace/Folders.h"

namespace marrowgate::test {

// The outputs of a run: each key with its blocks, keys in the order first met.
using Outputs = std::vector<std::pair<std::string, std::vector<Lines>>>;

inline void place(Outputs& outputs, const std::string& key, const Lines& block) {
    auto at = std::find_if(outputs.begin(), outputs.end(), [&](const auto& output) { return output.first == key; });
    if (at == outputs.end()) at = outputs.insert(outputs.end(), {key, {}});
    at->second.push_back(block);
}

class SortRun : public ::testing::Test {
protected:
    SortRun() {
        state.Application_Folder = dir / "app";
        std::filesystem::create_directories(state.Application_Folder);
        EXPECT_TRUE(tmp_makedir(state));
    }

    // Lists a file with the V4 rule.
    void add(const std::filesystem::path& path) {
        const auto added = add_part_type_file(state, path, real_file_system(), MarkerRule::part_types_v4());
        EXPECT_EQ(added.outcome, AddOutcome::Added) << display_path(path) << " " << added.reason;
    }
    // Writes a file into the folder of inputs and lists it.
    std::filesystem::path list(const std::string& name, const std::string& bytes) {
        std::filesystem::create_directories(dir / "in");
        write_file(dir / "in" / name, bytes);
        add(dir / "in" / name);
        return dir / "in" / name;
    }
    std::filesystem::path list_parts(const std::string& name, const std::vector<Lines>& blocks) {
        return list(name, library_bytes(blocks));
    }
    void choose_decals(const std::filesystem::path& path) {
        const auto chosen = choose_decal_file(state, path, real_file_system(), MarkerRule::decals_v4());
        EXPECT_EQ(chosen.outcome, AddOutcome::Added) << chosen.reason;
    }

    RunResult run(SortKey key, FileSystem& files = real_file_system()) {
        result = run_sort(state, key, status, files);
        return result;
    }

    std::string lib(const std::string& key) const { return read_file(output_library_path(state, key)); }
    // The outputs of the last run, in the order their keys were met, each
    // holding its blocks in input order and counting them; lib holds no other file.
    void expect_outputs(const Outputs& outputs) const {
        std::vector<std::pair<std::string, long long>> expected, reported;
        Lines names;
        for (const auto& [key, blocks] : outputs) {
            EXPECT_EQ(lib(key), output_bytes(blocks)) << "key \"" << key << "\"";
            expected.emplace_back(key, static_cast<long long>(blocks.size()));
            names.push_back(output_library_path(state, key).filename().string());
        }
        for (const auto& output : result.outputs) reported.emplace_back(output.key, output.parts);
        EXPECT_EQ(reported, expected);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(lib_files(), names);
    }
    std::vector<std::string> lib_files() const { return file_names(lib_folder(state)); }
    std::filesystem::path app(const std::filesystem::path& relative) const { return state.Application_Folder / relative; }

    TempDir dir;
    Module1 state;
    RecordingStatus status;
    RunResult result;
};

}  // namespace marrowgate::test
