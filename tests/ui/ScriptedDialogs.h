// Dialogs answered by a script: each file-open dialog takes the next answer
// (cancel when none is left), and every question and box is recorded.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "ui/Dialogs.h"

namespace marrowgate::test {

class ScriptedDialogs final : public ui::Dialogs {
public:
    struct Question {
        QString filter;
        QString initialName;
    };
    struct Box {
        QString kind;  // "warning", "critical" or "details"
        QString title;
        QString text;
    };

    // The next dialog's answer; a null string cancels it.
    void answer(const QString& path) { answers.push_back(path); }

    std::optional<QString> openFile(const QString& filter, const QString& initialName) override {
        questions.push_back({filter, initialName});
        const QString next = answers.isEmpty() ? QString() : answers.takeFirst();
        if (next.isNull()) return std::nullopt;
        return next;
    }
    void warning(const QString& title, const QString& text) override { boxes.push_back({"warning", title, text}); }
    void critical(const QString& title, const QString& text) override { boxes.push_back({"critical", title, text}); }
    void details(const QString& title, const QString& text) override { boxes.push_back({"details", title, text}); }
    void openFolder(const QString& folder) override { opened_folders.push_back(folder); }

    QStringList answers;
    QStringList opened_folders;
    std::vector<Question> questions;
    std::vector<Box> boxes;
};

}  // namespace marrowgate::test
