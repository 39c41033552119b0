// What the window's logic asks of the toolkit that draws it: the state of a
// control, the rows of the file list, the file-open dialog and the boxes, the
// hourglass, what the user's desktop remembers, the news download, and a call
// carried over to the window's thread. The Qt window and the Win32 window
// each implement it; the logic's tests implement it with no toolkit at all.
//
// Every text is UTF-8. Every call comes from the window's thread, except
// post(), which any thread may call.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "window/Controls.h"

namespace marrowgate::window {

// One file-open dialog: "Open", one filter, nothing else required of the
// name typed (the face may still ask the dialog for a file that exists).
struct FileQuestion {
    std::string filter_description;  // "Part-Type Files (*.p)"
    std::string filter_pattern;      // "*.p"
    std::string initial_name;        // Staged_Extension: ".p" after a first choice
    std::filesystem::path start_folder;  // the folder of the last file chosen; empty: the dialog's own choice
};

enum class BoxIcon { Warning, Error };

class WindowFace {
public:
    virtual ~WindowFace() = default;

    // --- controls
    virtual void set_caption(Control control, const std::string& caption) = 0;
    virtual void set_enabled(Control control, bool enabled) = 0;
    virtual void set_visible(Control control, bool visible) = 0;
    // An option button or the version box.
    virtual void set_checked(Control control, bool checked) = 0;
    virtual void set_tooltip(Control control, const std::string& text) = 0;
    virtual void set_focus(Control control) = 0;

    // --- ListView1: a report-style list of whole rows, one selected at a time
    // A column header, left-aligned, its width in twips (1/1440 inch) at the
    // window's resolution.
    virtual void add_column(const std::string& text, int twips) = 0;
    virtual void clear_rows() = 0;
    // A row: the file name, the part count in the column "#", and the full
    // path as its tooltip.
    virtual void append_row(const std::string& name, const std::string& count, const std::string& tooltip) = 0;
    // The selected row, counted from 0; nothing when none is selected.
    virtual std::optional<int> selected_row() = 0;

    // The hourglass over the whole window, or the usual pointer.
    virtual void set_hourglass(bool busy) = 0;

    // --- dialogs, modal to the window
    // Nothing when the dialog was cancelled.
    virtual std::optional<std::filesystem::path> open_file(const FileQuestion& question) = 0;
    // A box with one OK button.
    virtual void message_box(BoxIcon icon, const std::string& title, const std::string& text) = 0;
    // A long text to read at leisure: scrollable, in a fixed-pitch font, with OK.
    virtual void details_box(const std::string& title, const std::string& text) = 0;
    // Shows a folder in the desktop's file manager; false when none could be started.
    virtual bool open_folder(const std::filesystem::path& folder) = 0;
    // Opens the address in the default browser ("open"); the outcome is not asked.
    virtual void open_url(const std::string& address) = 0;

    // --- what the user's desktop keeps between sessions
    virtual std::optional<std::string> recall(const std::string& key) = 0;
    virtual void remember(const std::string& key, const std::string& value) = 0;

    // --- the news: asks whether a connection exists and, if so, downloads
    // <site>/news/vorlane.news into the application folder, in the background
    // and within a time limit. A complete download is answered on the
    // window's thread with WindowLogic::news_arrived("News: " + last line).
    virtual void Internet_Detection() = 0;

    // --- threads
    // Runs `call` on the window's thread, soon, in the order posted. Calls
    // still waiting when the window is destroyed are dropped.
    virtual void post(std::function<void()> call) = 0;
    // Closes the window (and, for the main window, ends the program).
    virtual void close_window() = 0;
};

}  // namespace marrowgate::window
