// The file-open dialog of the Win32 window, answered from a script.
#pragma once

#include <deque>
#include <filesystem>
#include <optional>
#include <vector>

#include "ui/win32/Dialogs.h"

namespace marrowgate::test {

// Gives the answers in turn, then cancels; every question is kept.
class ScriptedChooser final : public win32::FileChooser {
public:
    std::deque<std::optional<std::filesystem::path>> answers;
    std::vector<window::FileQuestion> questions;
    std::optional<std::filesystem::path> open(HWND, const window::FileQuestion& question) override {
        questions.push_back(question);
        if (answers.empty()) return std::nullopt;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

}  // namespace marrowgate::test
