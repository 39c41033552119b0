// The handlers of Form1: what each control does when it is used. The
// controls are built in Form1Layout.cpp, the texts of a finished run in
// RunReport.cpp.
#include "ui/Form1.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>

#include "library/FileList.h"
#include "library/Folders.h"
#include "news/MessageTable.h"
#include "news/NewsDownload.h"
#include "sort/Sorts.h"
#include "ui/Dialogs.h"
#include "ui/FileListView.h"
#include "ui/RunReport.h"
#include "ui/WindowStatus.h"

namespace marrowgate::ui {

namespace {

std::filesystem::path path_from_qstring(const QString& text) {
    return path_from_utf8(text.toUtf8().toStdString());
}

// Disables the controls that would change what a running sort reads, and puts
// back their enabled states when the run is over.
class RunGuard {
public:
    RunGuard(bool& running, std::initializer_list<QWidget*> controls) : running_(running) {
        running_ = true;
        for (QWidget* control : controls) {
            saved_.push_back({control, control->isEnabled()});
            control->setEnabled(false);
        }
    }
    ~RunGuard() {
        for (const auto& [control, enabled] : saved_) control->setEnabled(enabled);
        running_ = false;
    }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

private:
    bool& running_;
    std::vector<std::pair<QWidget*, bool>> saved_;
};

}  // namespace

Form1::Form1(WindowSettings settings, Dialogs& dialogs, FileSystem& files, QWidget* parent)
    : QWidget(parent), settings_(std::move(settings)), dialogs_(dialogs), files_(files) {
    state_.Application_Folder = settings_.application_folder;
    state_.Message_File = settings_.message_file;
    setObjectName(QStringLiteral("Form1"));
    build_controls();
    Form_Load();
}

Form1::~Form1() = default;

void Form1::Form_Load() {
    Label2->hide();
    Command1->setEnabled(false);
    Command4->setEnabled(false);
    for (QRadioButton* option : Option1) option->setEnabled(false);
    Command5->hide();

    news_ = new NewsDownload(settings_.site, state_.Application_Folder, this);
    connect(news_, &NewsDownload::newsReady, Text1, &QLineEdit::setText);
    news_->Internet_Detection();

    Lecture_des_Messages(state_, files_);
    // A folder that cannot be created shows when a run cannot write its files.
    tmp_makedir(state_);
}

void Form1::Option1_Click(int index) {
    if (running_) return;
    state_.Sort_Option = static_cast<std::int16_t>(index);
    Command1->setEnabled(true);
    Command5->setVisible(index == 3);
}

RunResult Form1::run_chosen_sort() {
    WindowStatus status(Label2, exit_requested_);
    return run_sort(state_, static_cast<SortKey>(*state_.Sort_Option), status, files_);
}

void Form1::Command1_Click() {
    // The buttons are disabled during a run; a call that still reaches a
    // handler then (a queued click, a direct call) changes nothing.
    if (running_) return;
    if (state_.Sort_Option && *state_.Sort_Option >= 0 && *state_.Sort_Option <= 3) {
        RunResult result;
        cmdOpenFolder->hide();
        cmdDetails->hide();
        {
            RunGuard guard(running_, {Command1, Command3, Command4, Command5, Option1[0], Option1[1], Option1[2],
                                      Option1[3]});
            result = run_chosen_sort();
        }
        report(result);
    }
    Command1->setEnabled(false);
    // "Exit" or the window's close box was used during the run.
    if (exit_requested_) close();
}

void Form1::report(const RunResult& result) {
    if (result.outcome == RunResult::Outcome::Stopped) return;  // the window closes
    if (result.outcome == RunResult::Outcome::Busy) {
        dialogs_.warning(QString::fromLatin1(kBoxTitle), QString::fromStdString(result.error));
        return;
    }
    if (!result.ok) {
        Label2->setText(QStringLiteral("Run failed."));
        Label2->show();
        dialogs_.critical(QString::fromLatin1(kBoxTitle), QString::fromStdString(result.error));
        return;
    }
    last_details_ = run_details(result, QString::fromStdString(display_path(lib_folder(state_))));
    cmdOpenFolder->show();
    cmdDetails->show();
    const QString warnings = run_warnings(result);
    if (!warnings.isEmpty()) dialogs_.warning(QString::fromLatin1(kBoxTitle), warnings);
}

void Form1::Command2_Click() { close(); }

void Form1::cmdOpenFolder_Click() {
    dialogs_.openFolder(QString::fromStdString(display_path(lib_folder(state_))));
}

void Form1::cmdDetails_Click() { dialogs_.details(QString::fromLatin1(kBoxTitle), last_details_); }

void Form1::closeEvent(QCloseEvent* event) {
    if (running_) {
        // The run stops at its next chance, changing nothing; Command1_Click
        // closes the window then.
        exit_requested_ = true;
        event->ignore();
        return;
    }
    event->accept();
}

void Form1::Command3_Click() {
    if (running_) return;
    // Add_Ascii_File adds the new entry's part count to Total_Parts itself.
    Add_Ascii_File();
}

void Form1::Add_Ascii_File() {
    const auto chosen =
        dialogs_.openFile(QString::fromLatin1(kPartTypeFilter), QString::fromStdString(state_.Staged_Extension));
    if (!chosen) return;
    add_chosen_file(*chosen);
}

bool Form1::takes_files() const { return !running_ && Command3->isEnabled(); }

void Form1::ListView1_Drop(const QStringList& paths) {
    for (const QString& path : paths) {
        if (!takes_files()) return;
        add_chosen_file(path);
    }
}

void Form1::add_chosen_file(const QString& path) {
    const AddResult result =
        add_part_type_file(state_, path_from_qstring(path), files_, MarkerRule::part_types_v4());
    if (result.outcome == AddOutcome::NoMarker || result.outcome == AddOutcome::NotRegularFile) {
        dialogs_.warning(QString::fromLatin1(kBoxTitle), QString::fromStdString(state_.message(0, 1)));
        return;
    }
    if (result.outcome != AddOutcome::Added) return;
    if (state_.File_Count == kMaxListedFiles) Command3->setEnabled(false);
    append_row(result.entry);
    Command4->setEnabled(true);
    for (QRadioButton* option : Option1) option->setEnabled(true);
}

void Form1::append_row(int entry) {
    const auto slot = static_cast<std::size_t>(entry);
    auto* row = new QTreeWidgetItem(ListView1);
    row->setText(0, QString::fromStdString(state_.File_Name[slot]));
    row->setText(1, QString::number(state_.File_Parts[slot]));
    row->setToolTip(0, QString::fromStdString(state_.File_Folder[slot] + state_.File_Name[slot]));
    row->setSizeHint(0, QSize(0, list_row_height()));
}

void Form1::Command4_Click() {
    if (running_) return;
    Del_Ascii_File();
}

void Form1::Del_Ascii_File() {
    const QString name = ListView1->selectedName();
    if (name.isEmpty()) return;
    remove_listed_file(state_, name.toUtf8().toStdString());
    ListView1->clear();
    for (int i = 1; i <= state_.File_Count; ++i) append_row(i);
    if (state_.File_Count == 0) {
        Command4->setEnabled(false);
        clear_options();
    }
    Command5->hide();
}

void Form1::clear_options() {
    // An exclusive group keeps one option checked; let go of that while clearing.
    option_group_->setExclusive(false);
    for (QRadioButton* option : Option1) {
        option->setAutoExclusive(false);
        option->setChecked(false);
        option->setAutoExclusive(true);
        option->setEnabled(false);
    }
    option_group_->setExclusive(true);
}

void Form1::Command5_Click() {
    if (running_) return;
    const auto chosen =
        dialogs_.openFile(QString::fromLatin1(kDecalFilter), QString::fromStdString(state_.Staged_Extension));
    if (!chosen) return;
    const AddResult result =
        choose_decal_file(state_, path_from_qstring(*chosen), files_, MarkerRule::decals_v4());
    if (result.outcome == AddOutcome::NoMarker || result.outcome == AddOutcome::NotRegularFile)
        dialogs_.warning(QString::fromLatin1(kBoxTitle), QString::fromStdString(state_.message(0, 1)));
}

void Form1::lblLink_MouseDown(Qt::MouseButton button) {
    if (button != Qt::LeftButton) return;
    QDesktopServices::openUrl(QUrl(settings_.site));
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblLink && event->type() == QEvent::MouseButtonPress) {
        lblLink_MouseDown(static_cast<QMouseEvent*>(event)->button());
        return true;
    }
    if ((watched == Command1 || watched == Frame1) &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
        place_exit_button();
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace marrowgate::ui
