#include "news/MessageTable.h"

#include <cctype>
#include <cmath>
#include <string>

#include "library/LineReader.h"
#include "state/Module1.h"

namespace marrowgate {

double read_message_number(std::string_view field) {
    // Keep only the characters that count: blanks, tabs and line feeds are ignored.
    std::string text;
    for (const char c : field)
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') text += c;

    std::size_t pos = 0;
    std::string number;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) number += text[pos++];
    std::size_t digits = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
        number += text[pos++];
        ++digits;
    }
    if (pos < text.size() && text[pos] == '.') {
        number += text[pos++];
        while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
            number += text[pos++];
            ++digits;
        }
    }
    if (digits == 0) return 0.0;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E' || text[pos] == 'd' || text[pos] == 'D')) {
        std::string exponent = "e";
        std::size_t at = pos + 1;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) exponent += text[at++];
        std::size_t exponent_digits = 0;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
            exponent += text[at++];
            ++exponent_digits;
        }
        if (exponent_digits > 0) number += exponent;
    }
    try {
        return std::stod(number);
    } catch (const std::out_of_range&) {
        return number[0] == '-' ? -HUGE_VAL : HUGE_VAL;
    }
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

void Lecture_des_Messages(Module1& state, FileSystem& files) {
    try {
        LineReader lines(files, state.Application_Folder / "marrowgate_msg.dat");
        std::string_view line;
        while (lines.next(line)) {
            if (!apply_message_line(state, line)) return;
        }
    } catch (const FileError&) {
        // A missing or unreadable message file leaves the table as it is.
    }
}

}  // namespace marrowgate
