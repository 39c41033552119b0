#include "news/MessageTable.h"

#include <charconv>
#include <cmath>
#include <string>

#include "state/Module1.h"
#include "text/LineReader.h"

namespace marrowgate {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

double read_message_number(std::string_view field) {
    // Blanks, tabs and line feeds are ignored wherever they stand; any other
    // character either continues the number or ends the reading.
    std::string text;
    for (const char c : field)
        if (c != ' ' && c != '\t' && c != '\n') text += c;

    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    std::string number;
    bool nonzero_whole = false;
    while (pos < text.size() && is_digit(text[pos])) {
        nonzero_whole = nonzero_whole || text[pos] != '0';
        number += text[pos++];
    }
    if (pos < text.size() && text[pos] == '.') {
        number += text[pos++];
        while (pos < text.size() && is_digit(text[pos])) number += text[pos++];
    }
    if (number.empty() || number == ".") return 0.0;

    // from_chars, unlike strtod, does not follow the locale's decimal separator.
    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value,
                                              std::chars_format::fixed);
    (void)end;
    if (error == std::errc::result_out_of_range) value = nonzero_whole ? HUGE_VAL : 0.0;
    return negative ? -value : value;
}

bool apply_message_line(Module1& state, std::string_view line) {
    const std::size_t first = line.find(';');
    if (first == std::string_view::npos) return false;
    const double value = std::nearbyint(read_message_number(line.substr(0, first)));  // ties to even
    const std::string_view rest = line.substr(first + 1);
    const std::size_t second = rest.find(';');
    if (second == std::string_view::npos) return false;
    if (value != 0.0 && value != 1.0) return false;
    const auto number = static_cast<std::size_t>(value);
    state.Message_Table[0][number] = std::string(rest.substr(0, second));
    state.Message_Table[1][number] = std::string(rest.substr(second + 1));
    return true;
}

std::filesystem::path message_file_path(const Module1& state) {
    if (!state.Message_File.empty()) return state.Message_File;
    return state.Application_Folder / "marrowgate_msg.dat";
}

void Lecture_des_Messages(Module1& state, FileSystem& files) {
    try {
        LineReader lines(files, message_file_path(state));
        std::string_view line;
        while (lines.next(line)) {
            if (!apply_message_line(state, line)) return;
        }
    } catch (const FileError&) {
        // A missing or unreadable message file leaves the table as it is.
    }
}

}  // namespace marrowgate
