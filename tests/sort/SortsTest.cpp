#include "sort/SortFixture.h"

namespace marrowgate::test {
namespace {

// Part headers and the key of the file each must go to, read from two files;
// a byte a file name cannot hold is "_" in the key.
// Keys that differ in letter case only ("a" and "A", e-acute and E-acute in
// code page 1252) share the file of the first where the lib folder ignores
// case as Windows does; elsewhere each has its own.
struct KeyCase : NamedCase {
    SortKey key;
    std::vector<std::pair<std::string, std::string>> parts;
};

class WordKeys : public SortRun, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(WordKeys, EveryPartGoesToTheFileOfItsKeyInInputOrder) {
    const auto same_file = [this](const std::string& a, const std::string& b) {
        write_file(output_library_path(state, a), "");
        const bool shared = std::filesystem::exists(output_library_path(state, b));
        std::filesystem::remove(output_library_path(state, a));
        return shared;
    };
    const auto& parts = GetParam().parts;
    std::vector<Lines> files[2];
    Outputs outputs;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        files[2 * i / parts.size()].push_back(part(parts[i].first));
        std::string key = parts[i].second;
        for (const auto& output : outputs)
            if (same_file(output.first, key)) key = output.first;
        place(outputs, key, part(parts[i].first));
    }
    list_parts("a.p", files[0]);
    list_parts("b.p", files[1]);
    ASSERT_TRUE(run(GetParam().key).ok) << result.error;
    expect_outputs(outputs);
}

// A key is worked out once for each distinct word it is made from, for a
// bounded number of words: hundreds of families that all name one file, more
// than that bound, interleaved with another, still go where their keys say.
KeyCase many_words_one_key() {
    KeyCase many{{"ManyFamiliesOneFile"}, SortKey::LogicFamily, {}};
    for (const char a : std::string("/\\:*?\"<>|"))
        for (const char b : std::string("/\\:*?\"<>|"))
            for (const char c : std::string("/\\:*?\"<>|")) {
                many.parts.emplace_back("M" + std::to_string(many.parts.size()) + " SO8 I X" + a + b + c, "X___");
                if (many.parts.size() % 7 == 0)
                    many.parts.emplace_back("P" + std::to_string(many.parts.size()) + " SO8 I TTL", "TTL");
            }
    return many;
}

// Old V4 exports align the words of a header with runs of spaces.
INSTANTIATE_TEST_SUITE_P(
    Keys, WordKeys,
    ::testing::Values(
        KeyCase{{"Initial"}, SortKey::Alphanumeric,
                {{"74LS00 D I X", "7"}, {"BAT D I X", "B"}, {"7805T D I X", "7"}, {"buzzer D I X", "b"},
                 {"BC547 D I X", "B"}, {".NET1 D I X", "_"}, {"/RESET D I X", "_"}, {"\\VREF D I X", "_"},
                 {"*STAR D I X", "_"}, {" LEADING D I X", ""}, {"\xE9x D I X", "\xE9"}, {"\xC9y D I X", "\xC9"}}},
        KeyCase{{"LogicFamily"}, SortKey::LogicFamily,
                {{"A1 D I TTL 3 1 0 0 0", "TTL"}, {"A2 D I CMOS 3", "CMOS"}, {"A3 D I TTL", "TTL"}, {"B1 D I ECL", "ECL"},
                 {"PCAPALT,22UF_50V PCAPALT I UND  0   0   0   2     0", "UND"}, {"B4 D I  3 1 0 0 0", ""},
                 {"B5 D I ", ""}, {"B6 D I CMOS/TTL 3", "CMOS_TTL"}, {"B7 D I ttl", "ttl"},
                 {"B8 D I \x01\t\x1f\x7f~.-\xB5 3", "____~.-\xB5"}}},
        KeyCase{{"DecalName"}, SortKey::DecalName,
                {{"P1 a/b.c I X", "a_b_c"}, {"P2 a.b.c I X", "a_b.c"}, {"P3 x\\y I X", "x_y"},
                 {"P4 DIP14:SO14 I X", "DIP14"}, {"P5 A/B I X", "A_B"}, {"P6 A.B I X", "A_B"}, {"P7 A_B I X", "A_B"},
                 {"P8 dip14 I X", "dip14"}, {"P9 :SO8 I X", ""}, {"P10 a//b I X", "a__b"}}},
        many_words_one_key()),
    case_name);

struct RunCase : NamedCase {
    SortKey key;
    std::vector<int> parts;  // of each listed file
};

class Runs : public SortRun, public ::testing::WithParamInterface<RunCase> {};

// A run shows every percentage in turn, of the first pass too where its key
// shows one, whether the files are read one after another or side by side;
// it writes its keys in the order the parts first name them, anew where their
// files are there already, empties its list files and leaves other library
// files alone.
TEST_P(Runs, ShowProgressEmptyTheirListFilesAndWriteTheKeysInOrder) {
    const SortKey key = GetParam().key;
    const std::vector<int>& counts = GetParam().parts;
    Lines decals{kDecalMarkerV4, ""};
    for (int pads = 1; pads <= 9; ++pads)
        decals.push_back("D" + std::to_string(pads) + " M 0 0 0 2 1 0 " + std::to_string(pads) + " 1 0");
    write_file(dir / "decals.d", crlf(decals));
    choose_decals(dir / "decals.d");
    Outputs outputs;
    long long total = 0;
    for (std::size_t file = 0; file < counts.size(); ++file) {
        std::vector<Lines> blocks;
        for (int i = 0; i < counts[file]; ++i, ++total) {
            const std::string pads = std::to_string((i * 7 + static_cast<int>(file) * 3) % 9 + 1);
            blocks.push_back(part("P" + std::to_string(total) + " D" + pads + " I F" + pads + " 1 1 0 0 0"));
            const std::string file_key = key == SortKey::PadCount ? pads : key == SortKey::LogicFamily ? "F" + pads : "P";
            place(outputs, file_key, blocks.back());
        }
        list_parts("parts" + std::to_string(file) + ".p", blocks);
    }
    const std::map<SortKey, Lines> list_files = {
        {SortKey::Alphanumeric, {"tmp/Alphanumeric.dat", "tmp/Alphabetic.dat"}},
        {SortKey::LogicFamily, {"tmp/Logic_Families.dat"}},
        {SortKey::DecalName, {"tmp/Decals.dat"}},
        {SortKey::PadCount, {"tmp/Pads_Number_in_Decals.dat", "Pads_Number_in_Decals.dat"}}};
    for (const auto& file : list_files.at(key)) write_file(app(file), "old");
    if (!outputs.empty()) write_file(output_library_path(state, outputs[0].first), "stale\r\n");
    write_file(output_library_path(state, "other"), "kept\r\n");
    ASSERT_TRUE(run(key).ok) << result.error;
    for (const auto& file : list_files.at(key)) EXPECT_EQ(read_file(app(file)), "") << file;
    EXPECT_EQ(read_file(output_library_path(state, "other")), "kept\r\n");
    std::filesystem::remove(output_library_path(state, "other"));
    expect_outputs(outputs);
    EXPECT_EQ(result.parts, total);
    Lines captions{"Processing..."};
    const auto pass = [&](std::string_view phase) {
        for (long long n = 1; n <= total; ++n)
            if (const auto caption = progress_caption(phase, n, total); caption != captions.back()) captions.push_back(caption);
    };
    if (key == SortKey::PadCount) pass("First pass...");
    pass("Processing...");
    captions.push_back("Done.");
    EXPECT_EQ(status.captions, captions);
    EXPECT_EQ(status.hourglass_changes, (std::vector<bool>{true, false}));
    EXPECT_TRUE(status.visible);
}

INSTANTIATE_TEST_SUITE_P(Keys, Runs,
                         ::testing::Values(RunCase{{"NoFile"}, SortKey::LogicFamily, {}},
                                           RunCase{{"NoParts"}, SortKey::DecalName, {0}},
                                           RunCase{{"InitialsOfFiveParts"}, SortKey::Alphanumeric, {5}},
                                           RunCase{{"FamiliesOfThreeFiles"}, SortKey::LogicFamily, {90, 80, 70}},
                                           RunCase{{"PadsOfOneFile"}, SortKey::PadCount, {6}},
                                           RunCase{{"PadsOfThreeFiles"}, SortKey::PadCount, {90, 80, 70}}),
                         case_name);

}  // namespace
}  // namespace marrowgate::test
