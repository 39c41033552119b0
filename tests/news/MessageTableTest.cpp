#include "news/MessageTable.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "state/Module1.h"
#include "support/TestSupport.h"

namespace marrowgate {
namespace {

TEST(MessageNumber, ReadsADecimalNumberUpToTheFirstCharacterThatCannotContinueIt) {
    // Blanks around and inside are ignored; only a point separates decimals;
    // there is no exponent; a carriage return is not a blank; no number at the
    // start reads as 0.
    const std::pair<const char*, double> cases[] = {
        {"1", 1.0},  {" \t1\n ", 1.0}, {"1 2", 12.0}, {"- 1", -1.0}, {"+0.5", 0.5}, {".5", 0.5}, {"1.2.3", 1.2},
        {"1x", 1.0}, {"1,5", 1.0},     {"1e1", 1.0},  {"1\r2", 1.0}, {"0001", 1.0}, {"", 0.0},   {"   ", 0.0},
        {"x1", 0.0}, {".", 0.0},       {"-", 0.0}};
    for (const auto& [text, value] : cases) EXPECT_EQ(read_message_number(text), value) << text;

    // Numbers too large or too small for a double still read sensibly.
    EXPECT_GT(read_message_number("1" + std::string(400, '0')), 1e300);
    EXPECT_EQ(read_message_number("0." + std::string(400, '0') + "1"), 0.0);
}

TEST(MessageNumber, ReadingIgnoresACommaLocale) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
        GTEST_SKIP() << "no locale with a decimal comma installed";
    const double half = read_message_number("1.5");
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(half, 1.5);
}

// The table as a line leaves it, starting from a table full of "old".
struct Applied {
    bool goes_on;
    Module1 state;
};

Applied apply(std::string_view line) {
    Applied result{false, {}};
    for (auto& slot : result.state.Message_Table) slot = {"old", "old"};
    result.goes_on = apply_message_line(result.state, line);
    return result;
}

TEST(MessageLine, SplitsAtTheFirstTwoSemicolonsAndKeepsTextsUnchanged) {
    struct Case {
        const char* line;
        int number;
        const char* slot0;
        const char* slot1;
    };
    for (const Case& c : {Case{"1;alpha;beta;gamma", 1, "alpha", "beta;gamma"}, Case{"0;;x", 0, "", "x"},
                          Case{";a;b", 0, "a", "b"}, Case{"1;;", 1, "", ""},
                          Case{" 1 ; \"quoted\" ;\ttab\r", 1, " \"quoted\" ", "\ttab\r"}}) {
        const auto r = apply(c.line);
        ASSERT_TRUE(r.goes_on) << c.line;
        EXPECT_EQ(r.state.message(0, c.number), c.slot0) << c.line;
        EXPECT_EQ(r.state.message(1, c.number), c.slot1) << c.line;
        EXPECT_EQ(r.state.message(0, 1 - c.number), "old") << c.line;  // the other message is untouched
        EXPECT_EQ(r.state.message(2, c.number), "old") << c.line;      // slot 2 is never written
    }
}

TEST(MessageLine, MalformedLinesEndTheLoadingWithoutWriting) {
    for (const char* line : {"", "no separator", "1;only one", "2;a;b", "-1;a;b", "1.5;a;b", "2.5;a;b"}) {
        const auto r = apply(line);
        EXPECT_FALSE(r.goes_on) << line;
        for (int number = 0; number < 2; ++number) {
            EXPECT_EQ(r.state.message(0, number), "old") << line;
            EXPECT_EQ(r.state.message(1, number), "old") << line;
        }
    }
}

TEST(MessageLine, NumberIsRoundedHalfToEven) {
    EXPECT_EQ(apply("0.5;half;").state.message(0, 0), "half");
    EXPECT_EQ(apply("-0.5;minus half;").state.message(0, 0), "minus half");
    EXPECT_EQ(apply("1.4999;below;").state.message(0, 1), "below");
    EXPECT_EQ(apply("0.6;above;").state.message(0, 1), "above");
    EXPECT_EQ(apply("x;not a number;").state.message(0, 0), "not a number");
    EXPECT_FALSE(apply("1.5;a;b").goes_on);
}

class MessageFile : public ::testing::Test {
protected:
    // Loads `bytes` as the message file of a fresh state.
    Module1 load(const std::string& bytes) {
        test::write_file(dir_ / "marrowgate_msg.dat", bytes);
        return load_folder(dir_.path());
    }
    static Module1 load_folder(const std::filesystem::path& folder) {
        Module1 state;
        state.Application_Folder = folder;
        Lecture_des_Messages(state, real_file_system());
        return state;
    }
    test::TempDir dir_;
};

TEST_F(MessageFile, LaterLinesOverwriteAndTheFirstMalformedLineEndsTheLoading) {
    auto state = load(test::crlf({"0;Title;sub", "1;first;one", "1;second;two"}));
    EXPECT_EQ(state.message(0, 0), "Title");
    EXPECT_EQ(state.message(1, 0), "sub");
    EXPECT_EQ(state.message(0, 1), "second");
    EXPECT_EQ(state.message(1, 1), "two");

    // A blank line ends the loading; everything before it stays.
    state = load(test::crlf({"0;a;b", "1;c;d", "", "1;late;late"}));
    EXPECT_EQ(state.message(0, 0), "a");
    EXPECT_EQ(state.message(0, 1), "c");

    // Message 2 stops the loading before a later valid line.
    state = load(test::crlf({"1;kept;x", "2;bad;bad", "0;never;never"}));
    EXPECT_EQ(state.message(0, 1), "kept");
    EXPECT_EQ(state.message(0, 0), "");

    // Line feeds alone end lines as well, and a last line needs no line end.
    state = load("0;lf;x\n1;no end;y");
    EXPECT_EQ(state.message(0, 0), "lf");
    EXPECT_EQ(state.message(1, 1), "y");

    // Slot 2 stays empty whatever the file holds.
    for (int number = 0; number < 2; ++number) EXPECT_EQ(state.message(2, number), "");
}

TEST_F(MessageFile, MissingOrUnreadableFileLeavesTheTableEmpty) {
    for (const auto& folder : {dir_ / "absent", dir_.path()}) {
        const auto state = load_folder(folder);
        for (int slot = 0; slot < 3; ++slot)
            for (int number = 0; number < 2; ++number) EXPECT_EQ(state.message(slot, number), "");
    }
    // A folder in the message file's place cannot be read as a file.
    std::filesystem::create_directory(dir_ / "marrowgate_msg.dat");
    EXPECT_EQ(load_folder(dir_.path()).message(0, 1), "");
}

TEST_F(MessageFile, MessageFileSetInTheStateIsReadInsteadOfTheOneInTheFolder) {
    test::write_file(dir_ / "marrowgate_msg.dat", "1;beside;x\r\n");
    test::write_file(dir_ / "other.dat", "1;chosen;x\r\n");
    Module1 state;
    state.Application_Folder = dir_.path();
    state.Message_File = dir_ / "other.dat";
    Lecture_des_Messages(state, real_file_system());
    EXPECT_EQ(state.message(0, 1), "chosen");
}

TEST(ShippedMessageFile, ExplainsTheMissingMarkerLine) {
    Module1 state;
    state.Message_File = test::samples_dir().parent_path() / "resources" / "marrowgate_msg.dat";
    Lecture_des_Messages(state, real_file_system());
    const std::string& warning = state.message(0, 1);
    EXPECT_NE(warning.find("marker line is missing"), std::string::npos) << warning;
    EXPECT_NE(warning.find(kPartTypeMarkerV4), std::string::npos) << warning;
    EXPECT_NE(warning.find(kDecalMarkerV4), std::string::npos) << warning;
}

}  // namespace
}  // namespace marrowgate
