// Surroundings of a sort run for the tests: an application folder with lib and
// tmp, part-type libraries written from lines and listed the way "+" lists
// them, and the bytes an output library file must hold afterwards.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "library/FileList.h"
#include "library/Folders.h"
#include "sort/Sorts.h"
#include "state/Module1.h"
#include "support/TestSupport.h"

namespace marrowgate::test {

using Lines = std::vector<std::string>;

// A part block: its header, two body lines and the empty line that ends it.
inline Lines part(const std::string& header) {
    return {header, "TIMESTAMP 2024.01.01.00.00.00", "\"Value\" " + header.substr(0, header.find(' ')), ""};
}

// A part-type library: the marker line, an empty line, the blocks, "*END*".
inline std::string library_bytes(const std::vector<Lines>& blocks, const std::string& marker = kPartTypeMarkerV4) {
    Lines lines{marker, ""};
    for (const auto& block : blocks) lines.insert(lines.end(), block.begin(), block.end());
    lines.push_back("*END*");
    return crlf(lines);
}

// What an output library file holds after a run: the marker, the line of one
// carriage return, the blocks in input order, "*END*".
inline std::string output_bytes(const std::vector<Lines>& blocks) {
    std::string text = std::string(kPartTypeMarkerV4) + "\r\n\r\r\n";
    for (const auto& block : blocks) text += crlf(block);
    return text + "*END*\r\n";
}

inline std::vector<std::string> file_names(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class SortRun : public ::testing::Test {
protected:
    SortRun() {
        state.Application_Folder = dir / "app";
        std::filesystem::create_directories(state.Application_Folder);
        EXPECT_TRUE(tmp_makedir(state));
    }

    // Writes a file into a folder of inputs and lists it with the V4 rule.
    std::filesystem::path list(const std::string& name, const std::string& bytes, const std::string& folder = "in") {
        const auto path = dir.path() / folder / name;
        std::filesystem::create_directories(path.parent_path());
        write_file(path, bytes);
        const auto added = add_part_type_file(state, path, real_file_system(), MarkerRule::part_types_v4());
        EXPECT_EQ(added.outcome, AddOutcome::Added) << display_path(path);
        return path;
    }
    std::filesystem::path list_parts(const std::string& name, const std::vector<Lines>& blocks) {
        return list(name, library_bytes(blocks));
    }

    RunResult run(SortKey key, FileSystem& files = real_file_system()) {
        result = run_sort(state, key, status, files);
        return result;
    }

    std::string lib(const std::string& key) const { return read_file(output_library_path(state, key)); }
    std::vector<std::string> lib_files() const { return file_names(lib_folder(state)); }
    std::filesystem::path app(const std::string& relative) const { return state.Application_Folder / relative; }
    bool case_sensitive() const { return !lib_folder_ignores_case(state); }

    TempDir dir;
    Module1 state;
    RecordingStatus status;
    RunResult result;
};

}  // namespace marrowgate::test
