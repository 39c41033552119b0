#include "news/MessageTable.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <optional>
#include <string>

#include "state/Module1.h"
#include "support/TestSupport.h"

namespace marrowgate {
namespace {

TEST(MessageNumber, ReadsADecimalNumberUpToTheFirstCharacterThatCannotContinueIt) {
    // Blanks, tabs and line feeds around and inside are ignored; only a point
    // separates decimals; there is no exponent; a carriage return is not a
    // blank; no number at the start reads as 0; numbers too large or too
    // small for a double still read sensibly.
    const std::pair<std::string, double> cases[] = {
        {"1", 1.0},     {" \t1\n ", 1.0}, {"1 2", 12.0}, {"\n1\n2", 12.0}, {"- 1", -1.0}, {"+0.5", 0.5},
        {".5", 0.5},    {"1.2.3", 1.2},   {"1x", 1.0},   {"1,5", 1.0},     {"1e1", 1.0},  {"1\r2", 1.0},
        {"0001", 1.0},  {"", 0.0},        {"   ", 0.0},  {"x1", 0.0},      {".", 0.0},    {"-", 0.0},
        {"1" + std::string(400, '0'), HUGE_VAL},          {"0." + std::string(400, '0') + "1", 0.0}};
    for (const auto& [text, value] : cases) EXPECT_EQ(read_message_number(text), value) << text;
}

TEST(MessageNumber, ReadingIgnoresACommaLocale) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
        GTEST_SKIP() << "no locale with a decimal comma installed";
    const double half = read_message_number("1.5");
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(half, 1.5);
}

// A line splits at its first two semicolons into the message number, rounded
// half to even, and two texts kept unchanged for that message; a malformed
// line ends the loading and writes nothing. Slot 2 is never written.
TEST(MessageLine, SetsBothTextsOfItsMessageOrEndsTheLoading) {
    struct Case {
        const char* line;
        int number;  // -1: malformed
        const char* first = "";
        const char* second = "";
    };
    const Case cases[] = {
        {"1;alpha;beta;gamma", 1, "alpha", "beta;gamma"}, {"0;;x", 0, "", "x"}, {";a;b", 0, "a", "b"}, {"1;;", 1},
        {" 1 ; \"quoted\" ;\ttab\r", 1, " \"quoted\" ", "\ttab\r"}, {"0.5;half;", 0, "half"},
        {"-0.5;minus half;", 0, "minus half"}, {"1.4999;below;", 1, "below"}, {"0.6;above;", 1, "above"},
        {"x;not a number;", 0, "not a number"}, {"", -1}, {"no separator", -1}, {"1;only one", -1},
        {"2;a;b", -1}, {"-1;a;b", -1}, {"1.5;a;b", -1}, {"2.5;a;b", -1}};
    for (const Case& c : cases) {
        Module1 state;
        for (auto& slot : state.Message_Table) slot = {"old", "old"};
        EXPECT_EQ(apply_message_line(state, c.line), c.number >= 0) << c.line;
        for (int n = 0; n < 2; ++n)
            EXPECT_EQ(state.message(0, n) + "|" + state.message(1, n) + "|" + state.message(2, n),
                      n == c.number ? std::string(c.first) + "|" + c.second + "|old" : "old|old|old") << c.line;
    }
}

TEST(MessageFile, TheChosenFileIsReadLineByLineUntilOneIsMalformed) {
    test::TempDir dir;
    test::write_file(dir / "marrowgate_msg.dat", "1;beside;beside\r\n");
    // The table after loading, slot by slot, each slot's messages 0 and 1.
    const auto table = [&](std::optional<std::string> chosen) {
        Module1 state;
        state.Application_Folder = dir.path();
        if (chosen) state.Message_File = dir / *chosen;
        Lecture_des_Messages(state, real_file_system());
        std::string joined;
        for (int slot = 0; slot < 3; ++slot) joined += state.message(slot, 0) + "|" + state.message(slot, 1) + "|";
        return joined;
    };
    const std::pair<std::optional<std::string>, std::string> cases[] = {
        {test::crlf({"0;Title;sub", "1;first;one", "1;second;two"}), "Title|second|sub|two|||"},  // later lines win
        {test::crlf({"0;a;b", "1;c;d", "", "1;late;late"}), "a|c|b|d|||"},  // a blank line ends the loading
        {test::crlf({"1;kept;x", "2;bad;bad", "0;never;never"}), "|kept||x|||"},  // so does message 2
        {"0;lf;x\n1;no end;y", "lf|no end|x|y|||"},  // line feeds end lines, the last needs none
        {std::nullopt, "||||||"},  // no file
        {"/", "||||||"},           // a folder in its place
    };
    for (const auto& [bytes, messages] : cases) {
        std::filesystem::remove_all(dir / "chosen.dat");
        if (bytes == "/") std::filesystem::create_directory(dir / "chosen.dat");
        else if (bytes) test::write_file(dir / "chosen.dat", *bytes);
        EXPECT_EQ(table("chosen.dat"), messages);
    }
    EXPECT_EQ(table(std::nullopt), "|beside||beside|||");  // without a chosen file, the one beside
}

}  // namespace
}  // namespace marrowgate
