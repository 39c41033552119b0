// The handlers of Form1: what each control does when it is used. The
// controls are built in Form1Layout.cpp, the texts of a finished run in
// RunReport.cpp.
#include "ui/qt/Form1.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QUrl>

#include "library/FileList.h"
#include "library/Folders.h"
#include "news/MessageTable.h"
#include "news/NewsDownload.h"
#include "sort/Sorts.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/FileListView.h"
#include "ui/qt/RunReport.h"
#include "ui/qt/WindowStatus.h"

namespace marrowgate::ui {

namespace {

std::filesystem::path path_from_qstring(const QString& text) {
    return path_from_utf8(text.toUtf8().toStdString());
}

constexpr const char* kLastFolderKey = "lastFolder";
constexpr const char* kAnyVersionKey = "acceptEveryVersion";
// The widest the decal file's name is shown beside "File ...".
constexpr int kDecalNameWidth = 240;

QSettings stored_settings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QString::fromLatin1(kSettingsOrganisation),
                     QString::fromLatin1(kSettingsApplication));
}

// Why a chosen file was not taken, naming it.
QString refusal_text(const Module1& state, const QString& file, const AddResult& result, const MarkerRule& rule,
                     bool decal) {
    const QString name = QDir::toNativeSeparators(file);
    switch (result.outcome) {
        case AddOutcome::Added: return {};
        case AddOutcome::OtherVersion:
            return QStringLiteral("%1 is a PADS %2 %3 library; this window reads V4 libraries, or every version "
                                  "with 'Accept every PADS version'.")
                .arg(name, QString::fromStdString(rule.version_of(result.marker)),
                     decal ? QStringLiteral("PCB decal") : QStringLiteral("part-type"));
        case AddOutcome::NoMarker: {
            const std::string& message = state.message(0, 1);
            return name + QStringLiteral(": ") +
                   QString::fromStdString(message.empty() ? "no line of it is the marker line " + rule.description()
                                                          : message);
        }
        case AddOutcome::NotRegularFile:
            return QStringLiteral("%1 is not a regular file (a folder, a pipe or a device): it is not read.").arg(name);
        case AddOutcome::AlreadyListed:
            if (decal)
                return QStringLiteral("%1 is listed as a part-type file; it cannot be the decal file too.").arg(name);
            return QStringLiteral("%1 is listed already.").arg(name);
        case AddOutcome::ListFull:
            return QStringLiteral("%1 was not added: four files are listed, the most the list holds.").arg(name);
        case AddOutcome::CannotRead:
            return QStringLiteral("%1: %2.").arg(name, QString::fromStdString(result.reason));
        case AddOutcome::NoDotInTitle: return QStringLiteral("%1 has no extension in its name.").arg(name);
        case AddOutcome::WrongExtension: return QStringLiteral("%1 does not end in .p or .d.").arg(name);
    }
    return name;
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
    show_decal_choice(false);
    chkAnyVersion->setChecked(stored_settings().value(QString::fromLatin1(kAnyVersionKey), false).toBool());

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
    show_decal_choice(index == 3);
}

void Form1::show_decal_choice(bool shown) {
    Command5->setVisible(shown);
    lblDecalFile->setVisible(shown);
}

void Form1::chkAnyVersion_Click(bool checked) {
    // Files of other versions listed already stay: "Execute" refuses a mix.
    stored_settings().setValue(QString::fromLatin1(kAnyVersionKey), checked);
}

QString Form1::start_folder() const { return stored_settings().value(QString::fromLatin1(kLastFolderKey)).toString(); }

void Form1::remember_folder(const QString& chosen) {
    stored_settings().setValue(QString::fromLatin1(kLastFolderKey), QFileInfo(chosen).absolutePath());
}

void Form1::warn(const QString& text) {
    const bool executable = Command1->isEnabled();
    Command1->setEnabled(false);
    dialogs_.warning(QString::fromLatin1(kBoxTitle), text);
    Command1->setEnabled(executable);
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
        // One library file holds one format: a mix is refused before anything is written.
        try {
            run_format(state_);
        } catch (const RunError& error) {
            QString text = QString::fromStdString(error.what());
            if (!text.isEmpty()) text[0] = text[0].toUpper();
            warn(text);
            return;
        }
        RunResult result;
        cmdOpenFolder->hide();
        cmdDetails->hide();
        {
            RunGuard guard(running_, {Command1, Command3, Command4, Command5, Option1[0], Option1[1], Option1[2],
                                      Option1[3]});
            result = run_chosen_sort();
        }
        // No second run starts from a click on a box that follows this one;
        // after a run "Execute" waits for an option to be chosen again.
        Command1->setEnabled(false);
        report(result);
    }
    Command1->setEnabled(false);
    // "Exit" or the window's close box was used during the run.
    if (exit_requested_) close();
}

void Form1::report(const RunResult& result) {
    if (result.outcome == RunResult::Outcome::Stopped) return;  // the window closes
    if (result.outcome == RunResult::Outcome::Busy) {
        warn(QString::fromStdString(result.error));
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
    if (!warnings.isEmpty()) warn(warnings);
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
    const auto chosen = dialogs_.openFile(QString::fromLatin1(kPartTypeFilter),
                                          QString::fromStdString(state_.Staged_Extension), start_folder());
    if (!chosen) return;
    remember_folder(*chosen);
    // A file picked twice is simply listed once.
    const QString refusal = add_chosen_file(*chosen, true);
    if (!refusal.isEmpty()) warn(refusal);
}

bool Form1::takes_files() const { return !running_ && Command3->isEnabled(); }

void Form1::ListView1_Drop(const QStringList& paths) {
    if (!takes_files()) return;
    // Every file is tried, the ones after a full list too, and one box names
    // each file refused.
    QStringList refusals;
    for (const QString& path : paths) {
        const QString refusal = add_chosen_file(path, false);
        if (!refusal.isEmpty()) refusals << refusal;
    }
    if (refusals.size() == 1) warn(refusals.constFirst());
    if (refusals.size() > 1)
        warn(QStringLiteral("%1 files were not added:\n\n%2")
                 .arg(refusals.size())
                 .arg(refusals.join(QStringLiteral("\n\n"))));
}

QString Form1::add_chosen_file(const QString& path, bool quiet_if_listed) {
    const MarkerRule rule =
        chkAnyVersion->isChecked() ? MarkerRule::part_types_any_version() : MarkerRule::part_types_v4();
    const AddResult result = add_part_type_file(state_, path_from_qstring(path), files_, rule);
    if (result.outcome == AddOutcome::AlreadyListed && quiet_if_listed) return {};
    if (result.outcome != AddOutcome::Added) return refusal_text(state_, path, result, rule, false);
    if (state_.File_Count == kMaxListedFiles) Command3->setEnabled(false);
    append_row(result.entry);
    Command4->setEnabled(true);
    for (QRadioButton* option : Option1) option->setEnabled(true);
    return {};
}

void Form1::append_row(int entry) {
    const auto slot = static_cast<std::size_t>(entry);
    auto* row = new QTreeWidgetItem(ListView1);
    row->setText(0, QString::fromStdString(state_.File_Name[slot]));
    row->setText(1, grouped(state_.File_Parts[slot]));
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
    show_decal_choice(false);
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
    const auto chosen = dialogs_.openFile(QString::fromLatin1(kDecalFilter),
                                          QString::fromStdString(state_.Staged_Extension), start_folder());
    if (!chosen) return;
    remember_folder(*chosen);
    const MarkerRule rule = chkAnyVersion->isChecked() ? MarkerRule::decals_any_version() : MarkerRule::decals_v4();
    const AddResult result = choose_decal_file(state_, path_from_qstring(*chosen), files_, rule);
    if (result.outcome != AddOutcome::Added) {
        warn(refusal_text(state_, *chosen, result, rule, true));
        return;
    }
    const QString name = QString::fromStdString(state_.Decal_Name[1]);
    lblDecalFile->setText(lblDecalFile->fontMetrics().elidedText(name, Qt::ElideMiddle, kDecalNameWidth));
    lblDecalFile->setToolTip(QString::fromStdString(display_path(decal_file_path(state_))));
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
