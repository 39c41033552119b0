// The file-open dialog and the message boxes of the window, behind a small
// interface so that the widget tests can answer them.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <optional>

namespace marrowgate::ui {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Asks for one file to open. `filter` is "Description (*.ext)"; the
    // dialog shows `startFolder` (the dialog's own choice when empty) and its
    // file-name box starts with `initialName`. Nothing when cancelled.
    virtual std::optional<QString> openFile(const QString& filter, const QString& initialName,
                                            const QString& startFolder) = 0;
    // Message boxes with one OK button.
    virtual void warning(const QString& title, const QString& text) = 0;
    virtual void critical(const QString& title, const QString& text) = 0;
    // A long text to read at leisure (scrollable), with an OK button.
    virtual void details(const QString& title, const QString& text) = 0;
    // Opens a folder in the desktop's file manager; false when none could be started.
    virtual bool openFolder(const QString& folder) = 0;
};

// QFileDialog and QMessageBox, modal to the window.
class QtDialogs final : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void setParentWidget(QWidget* parent) { parent_ = parent; }

    std::optional<QString> openFile(const QString& filter, const QString& initialName,
                                    const QString& startFolder) override;
    void warning(const QString& title, const QString& text) override;
    void critical(const QString& title, const QString& text) override;
    void details(const QString& title, const QString& text) override;
    bool openFolder(const QString& folder) override;

private:
    QPointer<QWidget> parent_;
};

}  // namespace marrowgate::ui
