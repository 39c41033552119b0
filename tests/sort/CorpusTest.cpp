// Runs every sort on the real libraries of the corpus folder (read in place,
// never copied into the project) and checks, against a reading of the files
// made here independently of the engine, that every part block arrives
// exactly once, byte for byte, in the file of its key.
#include <functional>
#include <map>
#include <optional>

#include "library/StatusDisplay.h"
#include "sort/SortFixture.h"

namespace marrowgate::test {
namespace {

const std::filesystem::path kFiles[] = {
    std::filesystem::path("atrias") / "drl_passives.p", std::filesystem::path("pga460") / "PGA460TPWQ1.p",
    std::filesystem::path("SARA-R4_DevBoard") / "ESD224DQAR.p",
    std::filesystem::path("SARA-R4_DevBoard") / "NX3215SA-32.768K-EXS00A-MU0000.p",
    std::filesystem::path("ebf_camera_ov7725") / "OV7725_SCH.p"};

// The file's bytes with its marker line (whatever its version) made the V4 one.
std::string as_v4(const std::filesystem::path& file, const std::string& prefix, const std::string& v4) {
    std::string bytes = read_file(file);
    const auto at = bytes.find(prefix);
    if (at != std::string::npos) bytes.replace(at, bytes.find('*', at + 1) + 1 - at, v4);
    return bytes;
}

// Lines split at LF, a CR before the LF dropped.
Lines lines_of(const std::string& bytes) {
    Lines lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        const bool ended = end != std::string::npos;
        if (!ended) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (ended && !line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool is_header(const std::string& line) {
    return line.find(" M ") != std::string::npos || line.find(" I ") != std::string::npos;
}

std::vector<Lines> blocks_of(const std::string& bytes) {
    std::vector<Lines> blocks;
    bool inside = false;
    for (const auto& line : lines_of(bytes)) {
        if (!inside && !is_header(line)) continue;
        if (!inside) blocks.emplace_back();
        blocks.back().push_back(line);
        inside = !line.empty();
    }
    if (inside) blocks.back().push_back("");  // the run closes a block cut off by the end of the file
    return blocks;
}

// Word n of a line split at single spaces.
std::string word(const std::string& line, int n) {
    std::size_t start = 0;
    for (int i = 1; i < n; ++i) {
        const auto space = line.find(' ', start);
        if (space == std::string::npos) return "";
        start = space + 1;
    }
    return line.substr(start, line.find(' ', start) - start);
}

void replace_first(std::string& text, char c) {
    if (const auto at = text.find(c); at != std::string::npos) text[at] = '_';
}

std::string first_decal(const std::string& header) {
    const std::string field = word(header, 2);
    return field.substr(0, field.find(':'));
}

using Oracle = std::function<std::optional<std::string>(const std::string& header)>;

const Oracle kInitial = [](const std::string& header) -> std::optional<std::string> {
    std::string key = header.substr(0, 1);
    if (key == "\\" || key == "/" || key == ".") key = "_";
    return key;
};
const Oracle kFamily = [](const std::string& header) -> std::optional<std::string> { return word(header, 4); };
const Oracle kDecal = [](const std::string& header) -> std::optional<std::string> {
    std::string key = first_decal(header);
    for (const char c : {'/', '\\', '.'}) replace_first(key, c);
    return key;
};

class Corpus : public ::testing::Test {
protected:
    void SetUp() override {
        root = corpus_dir();
        if (root.empty()) GTEST_SKIP() << "corpus folder not found: " << MARROWGATE_CORPUS_DIR;
    }

    // Sorts V4 copies of `inputs` in a fresh application folder and compares
    // every output library file with the blocks the oracle sends to it.
    void check(const std::vector<std::filesystem::path>& inputs, SortKey key, const Oracle& key_of,
               const std::filesystem::path& decals = {}, std::size_t unplaced = 0) {
        TempDir dir;
        Module1 state;
        state.Application_Folder = dir / "app";
        std::filesystem::create_directories(state.Application_Folder);
        ASSERT_TRUE(tmp_makedir(state));
        std::map<std::string, std::vector<Lines>> expected;
        std::size_t parts = 0;
        for (const auto& input : inputs) {
            const std::string bytes = as_v4(root / input, "*PADS-LIBRARY-PART-TYPES-V", kPartTypeMarkerV4);
            const auto copy = dir / input.filename().string();
            write_file(copy, bytes);
            ASSERT_EQ(add_part_type_file(state, copy, real_file_system(), MarkerRule::part_types_v4()).outcome,
                      AddOutcome::Added) << display_path(input);
            const auto blocks = blocks_of(bytes);
            EXPECT_EQ(state.File_Parts[static_cast<std::size_t>(state.File_Count)], static_cast<int>(blocks.size()));
            for (const auto& block : blocks) {
                ++parts;
                if (const auto k = key_of(block.front())) expected[*k].push_back(block);
            }
        }
        if (!decals.empty()) {
            const auto copy = dir / decals.filename().string();
            write_file(copy, as_v4(root / decals, "*PADS-LIBRARY-PCB-DECALS-V", kDecalMarkerV4));
            ASSERT_EQ(choose_decal_file(state, copy, real_file_system(), MarkerRule::decals_v4()).outcome,
                      AddOutcome::Added);
        }
        NullStatusDisplay status;
        const RunResult result = run_sort(state, key, status, real_file_system());
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_EQ(result.parts, static_cast<long long>(parts));
        EXPECT_EQ(result.unplaced.size(), unplaced);
        EXPECT_EQ(file_names(lib_folder(state)).size(), expected.size());
        for (const auto& [k, blocks] : expected)
            EXPECT_EQ(read_file(output_library_path(state, k)), output_bytes(blocks)) << "key " << k;
    }

    std::filesystem::path root;
};

TEST_F(Corpus, EveryBlockArrivesOnceInTheFileOfItsKey) {
    const std::vector<std::filesystem::path> four(std::begin(kFiles), std::begin(kFiles) + 4);
    for (const auto& [key, oracle] : {std::pair{SortKey::Alphanumeric, kInitial}, std::pair{SortKey::LogicFamily, kFamily},
                                      std::pair{SortKey::DecalName, kDecal}}) {
        SCOPED_TRACE(sort_key_name(key));
        check(four, key, oracle);
        check({kFiles[4]}, key, oracle);
    }
}

TEST_F(Corpus, PadCountWithTheMatchingDecalLibraries) {
    struct Pair {
        std::filesystem::path parts, decals;
        std::size_t unplaced;
    };
    const Pair pairs[] = {{kFiles[1], std::filesystem::path("pga460") / "SOP65P640X120-16N.d", 0},
                          {kFiles[2], std::filesystem::path("SARA-R4_DevBoard") / "ESD224DQAR.d", 0},
                          {kFiles[3], std::filesystem::path("SARA-R4_DevBoard") / "NX3215SA32768KEXS00AMU00003.d", 0},
                          {kFiles[4], std::filesystem::path("surviveCS") / "OV7725_PCB.d", 2}};
    for (const auto& pair : pairs) {
        SCOPED_TRACE(display_path(pair.parts));
        // Pad counts as the decal library gives them: runs of spaces count as one.
        std::map<std::string, std::string> pads;
        for (auto line : lines_of(read_file(root / pair.decals))) {
            if (!is_header(line)) continue;
            for (std::size_t at; (at = line.find("  ")) != std::string::npos;) line.erase(at, 1);
            pads.emplace(word(line, 1), word(line, 9));
        }
        check({pair.parts}, SortKey::PadCount,
              [&](const std::string& header) -> std::optional<std::string> {
                  const auto it = pads.find(first_decal(header));
                  if (it == pads.end()) return std::nullopt;
                  return it->second;
              },
              pair.decals, pair.unplaced);
    }
}

}  // namespace
}  // namespace marrowgate::test
