#include "sort/SortFixture.h"

namespace marrowgate::test {
namespace {

TEST(RunFrame, ProgressCaption) {
    EXPECT_EQ(progress_caption("Processing...", 1, 3), "Processing... 33 %");
    EXPECT_EQ(progress_caption("Processing...", 2, 3), "Processing... 66 %");
    EXPECT_EQ(progress_caption("First pass...", 1, 200), "First pass... 0 %");
    EXPECT_EQ(progress_caption("Processing...", 5, 4), "Processing... 125 %");
    EXPECT_EQ(progress_caption("Processing...", 3, 0), "Processing...");
}

TEST_F(SortRun, InitialsGoToOneFileEachWithExactBytes) {
    if (!case_sensitive()) GTEST_SKIP() << "the lib folder ignores letter case here";
    const Lines p74 = part("74LS00 DIP14 I TTL 3 1 0 0 0"), bat = part("BAT SOT23 I DIO 2 1 0 0 0"),
                p78 = part("7805T TO220 I REG 2 1 0 0 0"), buz = part("buzzer BUZ I UND 2 1 0 0 0"),
                bc = part("BC547 TO92 I TRX 3 1 0 0 0");
    list_parts("a.p", {p74, bat, p78});
    list_parts("b.p", {buz, bc});
    ASSERT_TRUE(run(SortKey::Alphanumeric).ok) << result.error;

    expect_outputs({{"7", {p74, p78}}, {"B", {bat, bc}}, {"b", {buz}}});
    EXPECT_EQ(result.outputs.at(0).blocks, 2);
    EXPECT_EQ(lib("b"),
              "*PADS-LIBRARY-PART-TYPES-V4*\r\n\r\r\n"
              "buzzer BUZ I UND 2 1 0 0 0\r\nTIMESTAMP 2024.01.01.00.00.00\r\n\"Value\" buzzer\r\n\r\n"
              "*END*\r\n");

    // Status: the hourglass for the run, "Processing..." until the copy pass,
    // a percentage per part, then "Done.".
    EXPECT_EQ(status.captions, (Lines{"Processing...", "Processing... 20 %", "Processing... 40 %",
                                      "Processing... 60 %", "Processing... 80 %", "Processing... 100 %", "Done."}));
    EXPECT_EQ(status.hourglass_changes, (std::vector<bool>{true, false}));
    EXPECT_TRUE(status.visible);
}

TEST_F(SortRun, InitialsThatCannotNameAFileBecomeUnderscore) {
    const Lines net = part(".NET1 SO8 I UND 1 1 0 0 0"), rst = part("/RESET SO8 I UND 1 1 0 0 0"),
                vref = part("\\VREF SO8 I UND 1 1 0 0 0"), gnd = part("_GND SO8 I UND 1 1 0 0 0"),
                star = part("*STAR SO8 I UND 1 1 0 0 0"), colon = part(":C SO8 I UND 1 1 0 0 0"),
                blank = part(" LEADING SO8 I UND 1 1 0 0 0");
    list_parts("odd.p", {net, rst, vref, gnd, star, blank, colon});
    ASSERT_TRUE(run(SortKey::Alphanumeric).ok) << result.error;
    expect_outputs({{"_", {net, rst, vref, gnd, star, colon}}, {"", {blank}}});
}

TEST_F(SortRun, LogicFamiliesIncludingShortAndAlignedHeaders) {
    if (!case_sensitive()) GTEST_SKIP() << "the lib folder ignores letter case here";
    const Lines t1 = part("A1 DIP14 I TTL 3 1 0 0 0"), c1 = part("A2 DIP14 I CMOS 3 1 0 0 0"),
                t2 = part("A3 DIP14 I TTL 3 1 0 0 0"), e1 = part("B1 DIP14 I ECL 3 1 0 0 0"),
                c2 = part("B2 DIP14 I CMOS 3 1 0 0 0"), low = part("B3 DIP14 I ttl 3 1 0 0 0"),
                // Later PADS versions write eight spaces; old V4 exports align with runs of spaces.
                eight = part("PGA SOP16 I ANA 9 1 0 0 0"),
                aligned = part("PCAPALT,22UF_50V PCAPALT I UND  0   0   0   2     0"),
                empty = part("B4 DIP14 I  3 1 0 0 0"), three = part("B5 DIP14 I "),
                slash = part("B6 DIP14 I CMOS/TTL 3 1 0 0 0");
    list_parts("a.p", {t1, c1, t2});
    list_parts("b.p", {e1, c2, low, eight, aligned, empty, three, slash});
    ASSERT_TRUE(run(SortKey::LogicFamily).ok) << result.error;

    expect_outputs({{"TTL", {t1, t2}}, {"CMOS", {c1, c2}}, {"ECL", {e1}}, {"ttl", {low}}, {"ANA", {eight}},
                    {"UND", {aligned}}, {"", {empty, three}}, {"CMOS_TTL", {slash}}});
}

TEST_F(SortRun, DecalNameKeys) {
    if (!case_sensitive()) GTEST_SKIP() << "the lib folder ignores letter case here";
    const Lines abc = part("P1 a/b.c I X 0 0 0 0 0"), dots = part("P2 a.b.c I X 0 0 0 0 0"),
                back = part("P3 x\\y I X 0 0 0 0 0"), alt = part("P4 DIP14:SO14 I X 0 0 0 0 0"),
                ab1 = part("P5 A/B I X 0 0 0 0 0"), ab2 = part("P6 A.B I X 0 0 0 0 0"),
                ab3 = part("P7 A_B I X 0 0 0 0 0"), low = part("P8 dip14 I X 0 0 0 0 0"),
                none = part("P9 :SO8 I X 0 0 0 0 0"), two = part("P10 a//b I X 0 0 0 0 0");
    list_parts("d.p", {abc, dots, back, alt, ab1, ab2, ab3, low, none, two});
    ASSERT_TRUE(run(SortKey::DecalName).ok) << result.error;

    expect_outputs({{"a_b_c", {abc}}, {"a_b.c", {dots}}, {"x_y", {back}}, {"DIP14", {alt}}, {"A_B", {ab1, ab2, ab3}},
                    {"dip14", {low}}, {"", {none}}, {"a__b", {two}}});
}

// Keys that differ only in letter case ("a" and "A", e-acute and E-acute in
// code page 1252) name one file where the lib folder ignores case as Windows
// does: then they share it, with one "*END*"; elsewhere each has its own.
TEST_F(SortRun, KeysThatNameOneFileShareIt) {
    const auto one_file = [this](const std::string& lower, const std::string& upper) {
        write_file(output_library_path(state, lower), "");
        const bool shared = std::filesystem::exists(output_library_path(state, upper));
        std::filesystem::remove(output_library_path(state, lower));
        return shared;
    };
    const bool ascii = one_file("a", "A"), accents = one_file("\xE9", "\xC9");
    const Lines a = part("abc SO8 I A 1 1 0 0 0"), A = part("ABC SO8 I A 1 1 0 0 0"),
                e = part("\xE9x SO8 I A 1 1 0 0 0"), E = part("\xC9y SO8 I A 1 1 0 0 0");
    list_parts("case.p", {a, A, e, E});
    ASSERT_TRUE(run(SortKey::Alphanumeric).ok) << result.error;
    EXPECT_EQ(result.outputs.size(), (ascii ? 1u : 2u) + (accents ? 1u : 2u));
    EXPECT_EQ(lib("a"), ascii ? output_bytes({a, A}) : output_bytes({a}));
    EXPECT_EQ(lib("A"), ascii ? output_bytes({a, A}) : output_bytes({A}));
    EXPECT_EQ(lib("\xE9"), accents ? output_bytes({e, E}) : output_bytes({e}));
    EXPECT_EQ(lib("\xC9"), accents ? output_bytes({e, E}) : output_bytes({E}));
}

// A key is worked out once for each distinct word it is made from, for a
// bounded number of words; hundreds of different families that all name the
// same file, more than that bound, interleaved with another, still go where
// their keys say, in order.
TEST_F(SortRun, ManyWordsThatGiveOneKey) {
    const std::string unsafe = "/\\:*?\"<>|";
    std::vector<Lines> blocks, mixed, plain;
    for (const char a : unsafe)
        for (const char b : unsafe)
            for (const char c : unsafe) {
                mixed.push_back(part("M" + std::to_string(blocks.size()) + " SO8 I X" + a + b + c + " 1 1 0 0 0"));
                blocks.push_back(mixed.back());
                if (blocks.size() % 7 == 0) {
                    plain.push_back(part("P" + std::to_string(blocks.size()) + " SO8 I TTL 1 1 0 0 0"));
                    blocks.push_back(plain.back());
                }
            }
    list_parts("families.p", blocks);
    ASSERT_TRUE(run(SortKey::LogicFamily).ok) << result.error;
    expect_outputs({{"X___", mixed}, {"TTL", plain}});
}

TEST_F(SortRun, OnlyRealHeadersGiveKeysAndEveryByteOfABlockIsKept) {
    // Attribute values that look like headers, a CR inside a value, a value
    // ending in CR (CR CR LF), NUL bytes and bytes above 127, LF-only and mixed
    // line ends, and a last block that runs into the end of the file without
    // its empty line or a line end.
    const Lines first{"74LS00 DIP14 I TTL 3 1 0 0 0", "\"Note\" zz M yy x x x x x x x", "\"Text\" a\rb",
                      "\"Text\" ends\r", ""};
    const Lines binary{std::string("\xE9tude") + '\0' + "x SO8 I ANA 2 1 0 0 0",
                       std::string("\"Value\" 4\xB5\x37 ") + '\0' + "\xFF", ""};
    const Lines lf_only{"LF1 SO8 I LFO 2 1 0 0 0", "GATE 1 2 0", ""}, mixed{"MX1 SO8 I MIX 2 1 0 0 0", "GATE 1 2 0", ""};
    const std::string bytes = "*PADS-LIBRARY-PART-TYPES-V4*\n\n" + crlf(first) + crlf(binary) +
                              "LF1 SO8 I LFO 2 1 0 0 0\nGATE 1 2 0\n\nMX1 SO8 I MIX 2 1 0 0 0\nGATE 1 2 0\r\n\n" +
                              "\r\nQ1 SOT23 I TRX 3 1 0 0 0\nGATE 1 3 0\n\"Class\" I x x x x x x x x x";
    const Lines q1{"Q1 SOT23 I TRX 3 1 0 0 0", "GATE 1 3 0", "\"Class\" I x x x x x x x x x", ""};
    const auto input = list("mixed.p", bytes);
    EXPECT_EQ(state.File_Parts[1], 5);
    ASSERT_TRUE(run(SortKey::LogicFamily).ok) << result.error;
    EXPECT_EQ(result.parts, 5);
    // Nothing from "Note" or "Class".
    expect_outputs({{"TTL", {first}}, {"ANA", {binary}}, {"LFO", {lf_only}}, {"MIX", {mixed}}, {"TRX", {q1}}});
    EXPECT_EQ(status.captions.at(status.captions.size() - 2), "Processing... 100 %");
    ASSERT_EQ(result.warnings.size(), 1u);
    EXPECT_NE(result.warnings[0].find(display_path(input)), std::string::npos) << result.warnings[0];
    EXPECT_NE(result.warnings[0].find("Q1"), std::string::npos) << result.warnings[0];

    // The NUL byte of a name cannot be part of a file name: the initial is
    // used as it is, the byte above 127 included.
    ASSERT_TRUE(run(SortKey::Alphanumeric).ok) << result.error;
    EXPECT_EQ(lib("\xE9"), output_bytes({binary}));
    EXPECT_EQ(lib_files().size(), 5u + 5u);
}

// A run empties the list files of its key, whatever they held, writes its
// outputs anew and leaves other library files alone.
TEST_F(SortRun, ARunEmptiesItsOwnFilesAndLeavesOthersAlone) {
    const Lines a = part("A1 DIP8 I TTL 1 1 0 0 0");
    list_parts("a.p", {a});
    write_file(lib_folder(state) / "LIB_A.p", "stale content\r\n");
    write_file(lib_folder(state) / "LIB_Z.p", "kept\r\n");
    const std::filesystem::path tmp = "tmp";
    const std::pair<SortKey, std::vector<std::filesystem::path>> list_files[] = {
        {SortKey::Alphanumeric, {tmp / "Alphanumeric.dat", tmp / "Alphabetic.dat"}},
        {SortKey::LogicFamily, {tmp / "Logic_Families.dat"}},
        {SortKey::DecalName, {tmp / "Decals.dat"}},
        {SortKey::PadCount, {tmp / "Pads_Number_in_Decals.dat", "Pads_Number_in_Decals.dat"}}};
    for (const auto& [key, files] : list_files) {
        for (const auto& file : files) write_file(app(file), "old");
        ASSERT_TRUE(run(key).ok) << result.error;
        for (const auto& file : files) EXPECT_EQ(read_file(app(file)), "") << display_path(file);
    }
    ASSERT_TRUE(run(SortKey::Alphanumeric).ok);  // a second run writes the same bytes again
    EXPECT_EQ(lib("A"), output_bytes({a}));
    EXPECT_EQ(read_file(lib_folder(state) / "LIB_Z.p"), "kept\r\n");
}

TEST_F(SortRun, EmptyListOrNoPartsWritesNoLibraryFile) {
    ASSERT_TRUE(run(SortKey::LogicFamily).ok);
    EXPECT_TRUE(lib_files().empty());
    EXPECT_EQ(status.captions.back(), "Done.");
    list("none.p", crlf({kPartTypeMarkerV4, "", "*END*"}));
    ASSERT_TRUE(run(SortKey::DecalName).ok);
    EXPECT_TRUE(lib_files().empty());
}

}  // namespace
}  // namespace marrowgate::test
