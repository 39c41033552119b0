// The main window on Windows: the controls of Form1 on the Win32 API, over
// the window's logic. It shows what the logic sets and forwards what the user
// does; every decision is the logic's.
#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "news/win32/NewsDownload.h"
#include "ui/win32/Dialogs.h"
#include "ui/win32/Images.h"
#include "ui/win32/Settings.h"
#include "ui/win32/WinGui.h"
#include "window/WindowLogic.h"

namespace marrowgate::win32 {

inline constexpr const wchar_t* kWindowClass = L"MarrowgateForm1";

class Form1 final : public Window, public window::WindowFace {
public:
    // Builds the window, hidden, and runs the logic's start-up. What it
    // remembers goes into `settings_file`.
    Form1(window::WindowSettings settings, FileChooser& chooser, std::filesystem::path settings_file);
    ~Form1() override;

    window::WindowLogic& logic() { return *logic_; }
    // Lists files as "+" lists them (the program's command line).
    void add_files(const std::vector<std::filesystem::path>& files);
    // Called once the window has been destroyed.
    std::function<void()> on_closed;

    // --- window::WindowFace
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
    bool on_close() override;
    void on_destroyed() override;
    void on_dpi_changed(UINT dpi, const RECT& suggested) override;
    void on_files_dropped(std::vector<std::filesystem::path> files) override;
    void on_wake() override;
    bool on_key(WPARAM key) override;

private:
    // In Form1Layout.cpp: the controls, their fonts and where they sit.
    void create_controls();
    void connect_controls();
    // The fonts and pictures at the window's resolution.
    void apply_dpi();
    void layout();
    struct Metrics;
    struct PanelSize {
        int width;
        int height;
    };
    PanelSize layout_panel(const Metrics& m);

    Widget& widget(window::Control control) const;
    // Runs a handler of the logic; a failure it lets escape is shown, not fatal.
    void guarded(const std::function<void()>& handler);
    // Drops are taken only while "+" would take a file.
    void sync_drop_target();

    // Declared first, destroyed last: the logic and the news post to it.
    CallQueue queue_;
    window::WindowSettings settings_;
    FileChooser& chooser_;
    IniSettings stored_;
    NewsDownload news_;
    Tooltips tooltips_;

    Font window_font_, banner_font_, heading_font_, status_font_, link_font_;
    Picture banner_picture_{L"BANNER"};
    Picture panel_picture_{L"PANEL"};
    std::vector<int> column_twips_;

    std::unique_ptr<Panel> picBanner, Frame1, Picture1;
    std::unique_ptr<Label> lblSelected, Label3, Label4, lblDecalFile, lblLink, Label2;
    std::array<std::unique_ptr<Label>, 2> Label1;
    std::unique_ptr<ReadOnlyEdit> Text1;
    std::unique_ptr<ListView> ListView1;
    std::unique_ptr<CheckBox> chkAnyVersion;
    std::array<std::unique_ptr<OptionButton>, 4> Option1;
    std::unique_ptr<Button> Command1, Command2, Command3, Command4, Command5, cmdOpenFolder, cmdDetails;
    std::array<Widget*, window::kControls> widgets_{};

    // Declared last, destroyed first: it stops and waits for a run, which
    // may still post until then.
    std::unique_ptr<window::WindowLogic> logic_;
};

}  // namespace marrowgate::win32
