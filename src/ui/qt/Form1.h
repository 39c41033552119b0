// The main window drawn with Qt: the file list with "+" and "-" and the box
// that takes every PADS version, the four sort options with "File ..." for
// the decal library and its name, the news line and the link, the status
// label, "Execute" and "Exit". Every control keeps its name as member and as
// object name. What the window decides is the logic's (window/WindowLogic):
// this face only draws what it is told and forwards what the user does.
#pragma once

#include <QFrame>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <filesystem>
#include <memory>

#include "io/FileSystem.h"
#include "window/WindowFace.h"
#include "window/WindowLogic.h"

class QButtonGroup;
class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace marrowgate {
class NewsDownload;
}

namespace marrowgate::ui {

class Dialogs;
class FileListView;
class Picture;

using window::WindowSettings;

// Where the window keeps what it remembers between sessions (an INI file of
// the user's).
inline constexpr const char* kSettingsOrganisation = "Vorlane";
inline constexpr const char* kSettingsApplication = "marrowgate";

class Form1 : public QWidget, public window::WindowFace {
    Q_OBJECT
public:
    Form1(WindowSettings settings, Dialogs& dialogs, FileSystem& files = real_file_system(),
          QWidget* parent = nullptr);
    ~Form1() override;

    window::WindowLogic& logic() { return *logic_; }
    const Module1& state() const { return logic_->state(); }
    bool running() const { return logic_->running(); }

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

    // --- the face the logic draws on
    void set_caption(window::Control control, const std::string& caption) override;
    void set_enabled(window::Control control, bool enabled) override;
    void set_visible(window::Control control, bool visible) override;
    void set_checked(window::Control control, bool checked) override;
    void set_tooltip(window::Control control, const std::string& text) override;
    void set_focus(window::Control control) override;
    void add_column(const std::string& text, int twips) override;
    void clear_rows() override;
    void append_row(const std::string& name, const std::string& count, const std::string& tooltip) override;
    std::optional<int> selected_row() override;
    void set_hourglass(bool busy) override;
    std::optional<std::filesystem::path> open_file(const window::FileQuestion& question) override;
    void message_box(window::BoxIcon icon, const std::string& title, const std::string& text) override;
    void details_box(const std::string& title, const std::string& text) override;
    bool open_folder(const std::filesystem::path& folder) override;
    void open_url(const std::string& address) override;
    std::optional<std::string> recall(const std::string& key) override;
    void remember(const std::string& key, const std::string& value) override;
    void Internet_Detection() override;
    void post(std::function<void()> call) override;
    void close_window() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // In Form1Layout.cpp: the controls, where they sit, which handler each calls.
    void build_controls();
    void build_banner(QVBoxLayout* window_layout);
    void build_panel(QVBoxLayout* frame_layout);
    void build_file_rows(QGridLayout* grid);
    void build_options(QGridLayout* grid);
    void build_bottom_row(QVBoxLayout* frame_layout);
    void connect_handlers();
    void size_file_list();
    int list_row_height() const;
    void place_exit_button();
    QWidget* widget(window::Control control) const;

    Dialogs& dialogs_;
    QButtonGroup* option_group_ = nullptr;
    NewsDownload* news_ = nullptr;
    bool hourglass_ = false;
    int list_columns_ = 0;
    QString decal_name_;  // lblDecalFile's whole text, shown shortened
    std::unique_ptr<window::WindowLogic> logic_;
};

}  // namespace marrowgate::ui
