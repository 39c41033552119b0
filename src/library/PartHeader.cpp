#include "library/PartHeader.h"

#include <algorithm>

#include "state/Module1.h"

namespace marrowgate {

void collapse_spaces(std::string& line) {
    auto last = std::unique(line.begin(), line.end(), [](char a, char b) { return a == ' ' && b == ' '; });
    line.erase(last, line.end());
}

void Suppression_Des_Espaces(Module1& state, std::string& Line_01) {
    collapse_spaces(Line_01);
    state.Collapsed_Line = Line_01;
}

}  // namespace marrowgate
