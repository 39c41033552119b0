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

// Blanks, tabs and line feeds around and inside are ignored; only a point
// separates decimals, whatever the locale; there is no exponent; a carriage
// return is not a blank; no number at the start reads as 0; numbers too large
// or too small for a double still read sensibly.
TEST(MessageNumber, ReadsADecimalNumberUpToTheFirstCharacterThatCannotContinueIt) {
    const std::pair<std::string, double> cases[] = {
        {" \t1\n ", 1.0}, {"1 2", 12.0}, {"- 1", -1.0}, {"+0.5", 0.5}, {".5", 0.5},  {"1.2.3", 1.2}, {"1,5", 1.0},
        {"1e1", 1.0},     {"1\r2", 1.0}, {"0001", 1.0}, {"", 0.0},     {"x1", 0.0},  {".", 0.0},     {"-", 0.0},
        {"1" + std::string(400, '0'), HUGE_VAL},        {"0." + std::string(400, '0') + "1", 0.0}};
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    // Where a locale with a decimal comma is installed, under it.
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");
    for (const auto& [text, value] : cases) EXPECT_EQ(read_message_number(text), value) << text;
    std::setlocale(LC_NUMERIC, saved.c_str());
}

// Each line of the message file "number;text;text" sets both texts of message
// 0 or 1 (the number rounded half to even), the texts kept as they are; later
// lines win. An empty line, one without two ";" or one of another number ends
// the loading, writing nothing. A line ends at LF (a CR before it too); the
// last needs none. Without a chosen file, the one beside the program is read.
TEST(MessageFile, SetsBothTextsOfAMessageLineByLineUntilOneIsMalformed) {
    test::TempDir dir;
    test::write_file(dir / "marrowgate_msg.dat", "1;beside;beside\r\n");
    // The table after loading: for messages 0 and 1, the texts of slots 0, 1 and 2.
    const auto table = [&](std::optional<std::string> bytes) {
        std::filesystem::remove_all(dir / "chosen.dat");
        if (bytes == "/") std::filesystem::create_directory(dir / "chosen.dat");
        else if (bytes) test::write_file(dir / "chosen.dat", *bytes);
        Module1 state;
        state.Application_Folder = dir.path();
        if (bytes != "beside") state.Message_File = dir / "chosen.dat";
        Lecture_des_Messages(state, real_file_system());
        std::string joined;
        for (int n = 0; n < 2; ++n) joined += state.message(0, n) + "|" + state.message(1, n) + "|" + state.message(2, n) + ";";
        return joined;
    };
    const std::string kept = "1;kept;x\n", never = "\n0;never;never";  // around a line that ends the loading
    const std::pair<std::optional<std::string>, std::string> cases[] = {
        {"1;alpha;beta;gamma\n0;;x", "|x|;alpha|beta;gamma|;"},
        {";a;b\r\n1;c;d\r\n1;;", "a|b|;||;"},
        {" 1 ; \"quoted\" ;\ttab\r", "||; \"quoted\" |\ttab\r|;"},
        {test::crlf({"0;Title;sub", "1;first;one", "1;second;two"}), "Title|sub|;second|two|;"},
        {"0.5;half;", "half||;||;"},
        {"-0.5;minus half;", "minus half||;||;"},
        {"1.4999;below;", "||;below||;"},
        {"0.6;above;", "||;above||;"},
        {"x;not a number;", "not a number||;||;"},
        {kept + "" + never, "||;kept|x|;"},
        {kept + "no separator" + never, "||;kept|x|;"},
        {kept + "1;only one" + never, "||;kept|x|;"},
        {kept + "2;a;b" + never, "||;kept|x|;"},
        {kept + "-1;a;b" + never, "||;kept|x|;"},
        {kept + "1.5;a;b" + never, "||;kept|x|;"},
        {std::nullopt, "||;||;"},  // no file
        {"/", "||;||;"},           // a folder in its place
        {"beside", "||;beside|beside|;"},
    };
    for (const auto& [bytes, messages] : cases) EXPECT_EQ(table(bytes), messages) << bytes.value_or("no file");
}

}  // namespace
}  // namespace marrowgate
