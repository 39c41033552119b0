// Dialogs answered by a script: each file-open dialog takes the next answer
// (cancel when none is left), and every question and box is recorded.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "ui/qt/Dialogs.h"

namespace marrowgate::test {

class ScriptedDialogs final : public ui::Dialogs {
public:
    struct Question {
        QString filter;
        QString initialName;
        QString startFolder;
    };
    struct Box {
        QString kind;  // "warning", "critical" or "details"
        QString title;
        QString text;
    };

    // The next dialog's answer; a null string cancels it.
    void answer(const QString& path) { answers.push_back(path); }

    std::optional<QString> openFile(const QString& filter, const QString& initialName,
                                    const QString& startFolder) override {
        questions.push_back({filter, initialName, startFolder});
        const QString next = answers.isEmpty() ? QString() : answers.takeFirst();
        if (next.isNull()) return std::nullopt;
        return next;
    }
    void warning(const QString& title, const QString& text) override { box({"warning", title, text}); }
    void critical(const QString& title, const QString& text) override { box({"critical", title, text}); }
    void details(const QString& title, const QString& text) override { box({"details", title, text}); }
    bool openFolder(const QString& folder) override {
        opened_folders.push_back(folder);
        return true;
    }

    // Called as each box is shown, while it would be up.
    std::function<void()> onBox;

    QStringList answers;
    QStringList opened_folders;
    std::vector<Question> questions;
    std::vector<Box> boxes;

private:
    void box(Box shown) {
        boxes.push_back(std::move(shown));
        if (onBox) onBox();
    }
};

}  // namespace marrowgate::test
