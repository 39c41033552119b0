// The engine against the literal passes (LiteralSort.h): both sort the same
// libraries with every key, and every file they write (the output library
// files, the list files) must be the same, byte for byte. The generated
// libraries hold the cases where a faster sort could part from the passes:
// attribute values with " I " or " M ", parts whose decal is missing, decals
// defined twice or with a header line too short for a pad count, short part
// header lines, names with characters a file name cannot hold, lines ended by
// LF alone or holding a stray CR, and a file that ends inside a part block.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "generator/LibraryGenerator.h"
#include "library/Folders.h"
#include "sort/LiteralSort.h"
#include "sort/Sorts.h"
#include "state/Module1.h"
#include "support/TestSupport.h"

namespace marrowgate::test {
namespace {

namespace fs = std::filesystem;
using bench::LibraryShape;

constexpr SortKey kKeys[] = {SortKey::Alphanumeric, SortKey::LogicFamily, SortKey::DecalName, SortKey::PadCount};

// Where two trees part: the first file only one holds, or the first byte that
// differs with a little of what surrounds it.
std::string difference(const std::map<std::string, std::string>& engine, const std::map<std::string, std::string>& literal) {
    for (const auto& [name, bytes] : literal) {
        const auto it = engine.find(name);
        if (it == engine.end()) return name + " written by the literal passes only";
        std::size_t at = 0;
        while (at < bytes.size() && at < it->second.size() && bytes[at] == it->second[at]) ++at;
        if (at == bytes.size() && at == it->second.size()) continue;
        const std::size_t from = at < 80 ? 0 : at - 80;
        return name + " differs at byte " + std::to_string(at) + "\nengine:  " + it->second.substr(from, 160) +
               "\nliteral: " + bytes.substr(from, 160);
    }
    for (const auto& [name, bytes] : engine)
        if (!literal.count(name) && name != ".marrowgate.lock") return name + " written by the engine only";
    return {};
}

class LiteralDifferential : public ::testing::Test {
protected:
    // On a lib folder that ignores letter case the engine makes keys that name
    // one file one key, where the literal passes end that file once per key.
    void SetUp() override {
        if (lib_folder_ignores_case(state_for("probe", {}, {})))
            GTEST_SKIP() << "the lib folder ignores letter case here";
    }

    Module1 state_for(const std::string& app, const std::vector<fs::path>& files, const fs::path& decals) {
        Module1 state;
        state.Application_Folder = dir / app;
        fs::create_directories(state.Application_Folder);
        EXPECT_TRUE(tmp_makedir(state));
        for (const auto& path : files) {
            state.File_Count = static_cast<std::int16_t>(state.File_Count + 1);
            const auto slot = static_cast<std::size_t>(state.File_Count);
            state.File_Folder[slot] = utf8_from_path(path.parent_path()) + std::string(1, fs::path::preferred_separator);
            state.File_Name[slot] = utf8_from_path(path.filename());
            state.File_Parts[slot] = 1;
            state.Total_Parts += 1;
        }
        if (!decals.empty()) {
            state.Decal_Count = 1;
            state.Decal_Folder[1] = utf8_from_path(decals.parent_path()) + std::string(1, fs::path::preferred_separator);
            state.Decal_Name[1] = utf8_from_path(decals.filename());
        }
        return state;
    }

    // Sorts with both and compares; returns the engine's result.
    RunResult compare(const std::string& label, SortKey key, const std::vector<fs::path>& files, const fs::path& decals) {
        const std::string name = label + "-" + sort_key_name(key);
        Module1 engine_state = state_for(name + "-engine", files, decals);
        Module1 literal_state = state_for(name + "-literal", files, decals);
        NullStatusDisplay status;
        const RunResult result = run_sort(engine_state, key, status, real_file_system());
        EXPECT_TRUE(result.ok) << name << ": " << result.error;
        literal_sort(literal_state, key);
        const auto engine = folder_files(engine_state.Application_Folder);
        const auto literal = folder_files(literal_state.Application_Folder);
        EXPECT_EQ(difference(engine, literal), "") << name;
        EXPECT_GT(engine.size(), 2u) << name << " wrote no output library file";
        fs::remove_all(engine_state.Application_Folder);
        fs::remove_all(literal_state.Application_Folder);
        return result;
    }

    TempDir dir;
};

LibraryShape irregular(std::uint64_t seed) {
    LibraryShape shape;
    shape.seed = seed;
    shape.parts_per_file = 50;
    shape.initials = 30;
    shape.families = 14;
    shape.decal_names = 40;
    shape.decals = 60;
    shape.max_pads = 24;
    shape.irregular.header_marks_in_body = 0.15;
    shape.irregular.missing_decal = 0.1;
    shape.irregular.duplicate_decal = 0.3;
    shape.irregular.short_header = 0.1;
    shape.irregular.awkward_name = 0.06;
    shape.irregular.lf_line_end = 0.1;
    shape.irregular.extra_lines_between = 0.2;
    shape.irregular.unterminated_last_part = true;
    return shape;
}

TEST_F(LiteralDifferential, EngineWritesTheLiteralFilesOnIrregularLibraries) {
    for (const std::uint64_t seed : {1u, 2u, 3u}) {
        const fs::path folder = dir / ("in-" + std::to_string(seed));
        fs::create_directories(folder);
        const auto libraries = bench::generate_libraries(irregular(seed), folder);
        // The inputs still hold every case they are meant to exercise.
        const bench::Census& census = libraries.census;
        EXPECT_GT(census.header_marks_in_body, 0);
        EXPECT_GT(census.missing_decal, 0);
        EXPECT_GT(census.duplicate_decal, 0);
        EXPECT_GT(census.short_decal_header, 0);
        EXPECT_GT(census.short_header, 0);
        EXPECT_GT(census.awkward_name, 0);
        EXPECT_GT(census.lf_line_end, 0);
        EXPECT_GT(census.stray_cr, 0);
        EXPECT_EQ(census.unterminated, 1);

        for (const SortKey key : kKeys) {
            const RunResult result = compare("seed" + std::to_string(seed), key, libraries.part_files, libraries.decal_file);
            EXPECT_EQ(result.parts, census.parts) << sort_key_name(key);
            if (key == SortKey::PadCount) {
                EXPECT_FALSE(result.unplaced.empty());
            }
        }
    }
}

TEST_F(LiteralDifferential, EngineWritesTheLiteralFilesOnCleanExports) {
    LibraryShape shape;
    shape.seed = 7;
    shape.parts_per_file = 40;
    shape.decal_names = 30;
    shape.decals = 60;
    shape.max_pads = 24;
    const auto libraries = bench::generate_libraries(shape, dir.path());
    for (const SortKey key : kKeys) compare("clean", key, libraries.part_files, libraries.decal_file);
}

}  // namespace
}  // namespace marrowgate::test
