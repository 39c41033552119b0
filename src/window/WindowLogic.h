// Everything the main window decides, whichever toolkit draws it: the order
// of start-up, which controls are enabled and shown after each action, what
// "+", "-", "File ...", the options and the version box do, "Execute" with
// its run on a thread of its own and "Exit" during it, and the boxes and
// texts a finished run leaves. A face (the Qt window, the Win32 window, a
// test's recorder) draws the controls and forwards the user's actions to the
// handlers below, which are named after their control and event.
//
// The handlers run on the window's thread. A run reads the shared state on
// its own thread; every handler that would change that state does nothing
// while it works.
#pragma once

#include <array>
#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "io/FileSystem.h"
#include "run/RunFrame.h"
#include "state/Module1.h"
#include "window/WindowFace.h"

namespace marrowgate::window {

struct WindowSettings {
    // The folder that holds lib, tmp, the list files and the news file.
    std::filesystem::path application_folder;
    // The maker's web site: the link's caption and address, and the news.
    std::string site;
    // The message file; empty: marrowgate_msg.dat in the application folder.
    std::filesystem::path message_file;
};

inline constexpr const char* kBoxTitle = "Vorlane";
inline constexpr int kNameColumnTwips = 3540;
inline constexpr int kCountColumnTwips = 1000;
// What the window keeps between sessions, under these names.
inline constexpr const char* kLastFolderKey = "lastFolder";
inline constexpr const char* kAnyVersionKey = "acceptEveryVersion";

// The state of a control as the logic last set it.
struct ControlState {
    std::string caption;
    bool enabled = true;
    bool visible = true;
    bool checked = false;
};

class WindowLogic {
public:
    WindowLogic(WindowFace& face, WindowSettings settings, FileSystem& files = real_file_system());
    // Stops a run still working and waits for it.
    ~WindowLogic();
    WindowLogic(const WindowLogic&) = delete;
    WindowLogic& operator=(const WindowLogic&) = delete;

    // Called by the face once its controls exist: their first states, the
    // news, the message table, the working folders, the list's columns.
    void Form_Load();

    // --- the user's actions
    void Option1_Click(int index);
    void Command1_Click();  // "Execute"
    void Command2_Click();  // "Exit"
    void Command3_Click();  // "+"
    void Command4_Click();  // "-"
    void Command5_Click();  // "File ..."
    void chkAnyVersion_Click(bool checked);
    void cmdOpenFolder_Click();
    void cmdDetails_Click();
    // `button` as the mouse event numbers it: 1 is the left button.
    void lblLink_MouseDown(int button);
    // Delete pressed on the list: what "-" does, when "-" is enabled.
    void ListView1_KeyDown_Delete();
    // Files dropped on the list, or named on the program's command line: each
    // goes through what "+" does with a chosen file, and one box names every
    // file refused.
    void ListView1_OLEDragDrop(const std::vector<std::filesystem::path>& files);
    void add_files(const std::vector<std::filesystem::path>& files);
    // Whether a drag over the list would be taken now.
    bool takes_files() const;
    // The close box: whether the window may close now. During a run it asks
    // the run to stop, and the window closes once it has.
    bool Form_QueryUnload();

    // A complete news download: the caption for Text1.
    void news_arrived(const std::string& caption);

    // --- what tests and faces read
    bool running() const { return running_; }
    const Module1& state() const { return state_; }
    const ControlState& control(Control control) const { return controls_[static_cast<std::size_t>(control)]; }
    // The rows of ListView1: name and count.
    const std::vector<std::pair<std::string, std::string>>& rows() const { return rows_; }
    const WindowSettings& settings() const { return settings_; }

private:
    void set_caption(Control control, const std::string& caption);
    void set_enabled(Control control, bool enabled);
    void set_visible(Control control, bool visible);
    void set_checked(Control control, bool checked);

    void Add_Ascii_File();
    void Del_Ascii_File();
    // Lists one chosen file; returns why it was refused, naming it, or
    // nothing when it was listed (or listed already and `quiet_if_listed`).
    std::optional<std::string> add_chosen_file(const std::filesystem::path& path, bool quiet_if_listed);
    // The decal file chosen with "File ..."; false when none was accepted.
    bool pick_decal_file();
    void append_row(int entry);
    void list_changed();
    void clear_options();
    void show_decal_choice(bool shown);
    bool any_version() const { return control(Control::chkAnyVersion).checked; }
    FileQuestion question(const char* description, const char* pattern) const;
    void remember_folder(const std::filesystem::path& chosen);
    // The warning box, with "Execute" disabled while it is up.
    void warn(const std::string& text);
    // Why the listed files cannot be sorted as the window stands, or nothing.
    std::optional<std::string> refusal_before_run() const;
    void start_run(int option);
    void run_finished(RunResult result);
    void report(const RunResult& result);

    class RunStatus;

    WindowFace& face_;
    WindowSettings settings_;
    FileSystem& files_;
    Module1 state_;
    std::array<ControlState, kControls> controls_{};
    std::vector<std::pair<std::string, std::string>> rows_;
    std::string decal_marker_;  // the marker line of the decal file chosen

    // The run: its thread, the stop the user asked for, and what the
    // controls were before it disabled them.
    bool running_ = false;
    bool exit_requested_ = false;
    std::atomic<bool> stop_{false};
    std::thread worker_;
    std::vector<std::pair<Control, bool>> enabled_before_run_;
    std::string last_details_;
};

}  // namespace marrowgate::window
