#include "library/PartHeader.h"

#include <algorithm>

#include "state/Module1.h"

namespace marrowgate {

bool is_part_header_line(std::string_view line) {
    // Look for a capital M or I with a space on both sides. The search goes by
    // letter: library lines hold far fewer of them than spaces.
    for (const char letter : {'M', 'I'}) {
        for (std::size_t pos = line.find(letter, 1); pos != std::string_view::npos && pos + 1 < line.size();
             pos = line.find(letter, pos + 1)) {
            if (line[pos - 1] == ' ' && line[pos + 1] == ' ') return true;
        }
    }
    return false;
}

void collapse_spaces(std::string& line) {
    auto last = std::unique(line.begin(), line.end(), [](char a, char b) { return a == ' ' && b == ' '; });
    line.erase(last, line.end());
}

void Suppression_Des_Espaces(Module1& state, std::string& Line_01) {
    collapse_spaces(Line_01);
    state.Collapsed_Line = Line_01;
}

}  // namespace marrowgate
