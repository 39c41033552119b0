#include "ui/qt/Dialogs.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QUrl>
#include <QVBoxLayout>
#include <QMessageBox>

namespace marrowgate::ui {

std::optional<QString> QtDialogs::openFile(const QString& filter, const QString& initialName,
                                           const QString& startFolder) {
    QFileDialog dialog(parent_, QStringLiteral("Open"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name must exist: the dialog says so itself rather than the
    // window refusing the name without a word.
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(filter);
    if (!startFolder.isEmpty()) dialog.setDirectory(startFolder);
    if (!initialName.isEmpty()) dialog.selectFile(initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

namespace {

void show_box(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace

void QtDialogs::warning(const QString& title, const QString& text) {
    show_box(parent_, QMessageBox::Warning, title, text);
}

void QtDialogs::critical(const QString& title, const QString& text) {
    show_box(parent_, QMessageBox::Critical, title, text);
}

void QtDialogs::details(const QString& title, const QString& text) {
    QDialog dialog(parent_);
    dialog.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&dialog);
    auto* view = new QPlainTextEdit(text, &dialog);
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(view);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
    dialog.resize(640, 420);
    dialog.exec();
}

bool QtDialogs::openFolder(const QString& folder) { return QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); }

}  // namespace marrowgate::ui
