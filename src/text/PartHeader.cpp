#include "text/PartHeader.h"

#include <algorithm>

namespace marrowgate {

void Suppression_Des_Espaces(std::string& Line_01) {
    auto last = std::unique(Line_01.begin(), Line_01.end(), [](char a, char b) { return a == ' ' && b == ' '; });
    Line_01.erase(last, Line_01.end());
}

}  // namespace marrowgate
