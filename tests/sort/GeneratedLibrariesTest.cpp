// The engine against the library model (support/LibraryModel.h), which the
// fuzz check also holds it to, on generated libraries with every key. The
// irregular libraries hold the cases where a fast sort could part from the
// model: attribute values with " I " or " M ", parts whose decal is missing,
// decals defined twice or with a header line too short for a pad count, short
// part header lines, names with characters a file name cannot hold, lines
// ended by LF alone or holding a stray CR, and a file that ends inside a part
// block.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "generator/LibraryGenerator.h"
#include "sort/SortFixture.h"
#include "support/LibraryModel.h"
#include "workspace/Folders.h"

namespace marrowgate::test {
namespace {

namespace fs = std::filesystem;
using bench::LibraryShape;

constexpr SortKey kKeys[] = {SortKey::Alphanumeric, SortKey::LogicFamily, SortKey::DecalName, SortKey::PadCount};

class Generated : public SortRun {
protected:
    // On a lib folder that ignores letter case, keys that name one file are
    // one key for the engine and two for the model.
    void SetUp() override {
        if (lib_folder_ignores_case(state, real_file_system())) GTEST_SKIP() << "the lib folder ignores letter case here";
    }

    // Sorts with every key and holds each run to the model; returns the runs.
    std::vector<RunResult> sort_all(const bench::GeneratedLibraries& libraries) {
        state = {};
        state.Application_Folder = dir / "app";
        for (const auto& file : libraries.part_files) add(file);
        choose_decals(libraries.decal_file);
        std::vector<std::string> inputs;
        for (const auto& file : libraries.part_files) inputs.push_back(read_file(file));
        const auto pads = model_decals(read_file(libraries.decal_file));
        std::vector<RunResult> results;
        for (const SortKey key : kKeys) {
            fs::remove_all(lib_folder(state));
            fs::create_directory(lib_folder(state));
            results.push_back(run(key));
            EXPECT_TRUE(result.ok) << sort_key_name(key) << ": " << result.error;
            const ModelRun model = model_run(key, inputs, pads);
            std::map<std::string, std::string> expected;
            for (const auto& [name, blocks] : model.outputs)
                expected[output_library_path(state, name).filename().string()] =
                    std::string(kPartTypeMarkerV4) + "\r\n\r\r\n" + blocks + "*END*\r\n";
            EXPECT_EQ(folder_files(lib_folder(state)), expected) << sort_key_name(key);
            EXPECT_EQ(result.parts, model.parts);
            EXPECT_EQ(result.warnings.of(WarningKind::Unplaced).count, static_cast<long long>(model.nowhere.size()));
            EXPECT_EQ(result.warnings.of(WarningKind::PassedOver).count, model.stray);
        }
        return results;
    }
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

TEST_F(Generated, EngineWritesTheModelsFilesOnIrregularLibraries) {
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
        const auto results = sort_all(libraries);
        EXPECT_EQ(results.front().parts, census.parts);
        EXPECT_GT(results.back().warnings.of(WarningKind::Unplaced).count, 0);
    }
}

TEST_F(Generated, EngineWritesTheModelsFilesOnCleanExports) {
    LibraryShape shape;
    shape.seed = 7;
    shape.parts_per_file = 40;
    shape.decal_names = 30;
    shape.decals = 60;
    shape.max_pads = 24;
    sort_all(bench::generate_libraries(shape, dir.path()));
}

}  // namespace
}  // namespace marrowgate::test
