// The main window: the file list with "+" and "-" and the box that takes every
// PADS version, the four sort options with "File ..." for the decal library
// and its name, the news line and the link, the status label, "Execute" and
// "Exit". Every control keeps its name as member and as
// object name; the handlers are named after their control and event.
#pragma once

#include <QFrame>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <filesystem>

#include "library/FileSystem.h"
#include "library/RunFrame.h"
#include "state/Module1.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace marrowgate {
class NewsDownload;
}

namespace marrowgate::ui {

class Dialogs;
class FileListView;
class Picture;

struct WindowSettings {
    // The folder that holds lib, tmp, the list files and the news file.
    std::filesystem::path application_folder;
    // The maker's web site: the link and the news download.
    QString site;
    // The message file; empty: marrowgate_msg.dat in the application folder.
    std::filesystem::path message_file;
};

inline constexpr const char* kBoxTitle = "Vorlane";
// Filters of the two file-open dialogs.
inline constexpr const char* kPartTypeFilter = "Part-Type Files (*.p)";
inline constexpr const char* kDecalFilter = "PCB Decal File (*.d)";
// Where the window keeps what it remembers between sessions (an INI file of
// the user's: the version box, the folder of the last file chosen).
inline constexpr const char* kSettingsOrganisation = "Vorlane";
inline constexpr const char* kSettingsApplication = "marrowgate";
class Form1 : public QWidget {
    Q_OBJECT
public:
    Form1(WindowSettings settings, Dialogs& dialogs, FileSystem& files = real_file_system(),
          QWidget* parent = nullptr);
    ~Form1() override;

    const Module1& state() const { return state_; }
    // Whether a sort run is in progress.
    bool running() const { return running_; }

    // The controls.
    Picture* picBanner = nullptr;
    QLabel* lblSelected = nullptr;
    QFrame* Frame1 = nullptr;
    QLineEdit* Text1 = nullptr;
    Picture* Picture1 = nullptr;
    QLabel* Label3 = nullptr;
    FileListView* ListView1 = nullptr;
    // Off: V4 libraries only; on: every PADS version, as the command line.
    QCheckBox* chkAnyVersion = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QLabel* Label4 = nullptr;
    std::array<QRadioButton*, 4> Option1{};
    QPushButton* Command5 = nullptr;
    QLabel* lblDecalFile = nullptr;  // the decal file chosen, beside "File ..."
    std::array<QLabel*, 2> Label1{};
    QLabel* lblLink = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    // After a run: open the lib folder, and list what went where.
    QPushButton* cmdOpenFolder = nullptr;
    QPushButton* cmdDetails = nullptr;

public slots:
    void Option1_Click(int index);
    void Command1_Click();  // "Execute"
    void Command2_Click();  // "Exit"
    void Command3_Click();  // "+"
    void Command4_Click();  // "-"
    void Command5_Click();  // "File ..."
    void lblLink_MouseDown(Qt::MouseButton button);
    // Files dropped on the list: each goes through what "+" does with a chosen file.
    void ListView1_Drop(const QStringList& paths);
    void cmdOpenFolder_Click();
    void cmdDetails_Click();
    void chkAnyVersion_Click(bool checked);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // In Form1Layout.cpp: the controls, where they sit, which handler each calls.
    void build_controls();
    void size_file_list();
    int list_row_height() const;
    void place_exit_button();

    void Form_Load();
    void Add_Ascii_File();
    void Del_Ascii_File();
    // Lists one chosen file. Returns why it was refused, naming it; empty when
    // it was listed, or when it is listed already and `quiet_if_listed`.
    QString add_chosen_file(const QString& path, bool quiet_if_listed);
    // The folder a file dialog starts in; a chosen file's folder is remembered.
    QString start_folder() const;
    void remember_folder(const QString& chosen);
    // Shows the warning box with "Execute" disabled while it is up.
    void warn(const QString& text);
    void show_decal_choice(bool shown);
    void append_row(int entry);
    void clear_options();
    bool takes_files() const;
    RunResult run_chosen_sort();
    void report(const RunResult& result);

    WindowSettings settings_;
    Dialogs& dialogs_;
    FileSystem& files_;
    Module1 state_;
    NewsDownload* news_ = nullptr;
    QButtonGroup* option_group_ = nullptr;
    bool running_ = false;
    bool exit_requested_ = false;
    QString last_details_;
};

}  // namespace marrowgate::ui
