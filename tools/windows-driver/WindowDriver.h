// Drives the real Win32 window as a user and a screen reader reach it: the
// controls found by their identifiers, pressed with BM_CLICK, read with
// WM_GETTEXT and the list's messages, files dropped with WM_DROPFILES, and
// the window's boxes read and answered. The window may be of this process or
// of another one: messages go with SendMessageTimeoutW, so that a thread
// held in a modal box holds the caller up for a while only. Those marked
// "this process" work on a window of this process only.
//
// Used by the window's test (tests/ui/win32) and by the program
// marrowgate-window-driver, which drives marrowgate.exe in the tests of the
// download and the installer.
#pragma once

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "window/Controls.h"

namespace marrowgate::driver {

inline constexpr wchar_t kFormClass[] = L"MarrowgateForm1";
// The class of a dialog: a message box, or a box of the window's own.
inline constexpr wchar_t kBoxClass[] = L"#32770";
// The title of every box of the window.
inline constexpr wchar_t kBoxTitle[] = L"Vorlane";

// How long (ms) a window's thread has to answer a message.
inline constexpr UINT kAnswerWait = 5000;
// A click whose handler opens a modal box is answered only when the box
// goes: after this long (ms) the clicker goes on.
inline constexpr UINT kClickWait = 3000;

// The answer to a message; nothing when the window's thread did not answer
// within `wait` ms or the window is gone.
std::optional<DWORD_PTR> send(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0,
                              UINT wait = kAnswerWait);

std::wstring text_of(HWND window);
// The caption without the "&" that marks its access key.
std::wstring caption_of(HWND window);
std::wstring class_of(HWND window);
bool shown(HWND window);
bool checked(HWND button);
void click(HWND button);

// Every window inside `parent`, its children's children too.
std::vector<HWND> children(HWND parent);
// The control of that identifier among all the windows inside `top`.
HWND find_control(HWND top, window::Control control);
// The visible top-level windows of that class of a process, the topmost first.
std::vector<HWND> windows_of(DWORD process_id, std::wstring_view window_class);
// The topmost of them; nullptr when there is none.
HWND find_form(DWORD process_id, std::wstring_view window_class = kFormClass);

// The visible boxes titled "Vorlane" of a process.
std::vector<HWND> boxes_of(DWORD process_id);
// What a box says: the text of its labels and of its text box.
std::wstring box_text(HWND box);
// Its OK button; nullptr when it has none.
HWND ok_button(HWND box);

int row_count(HWND list);
// The text of a cell of the list (this process).
std::wstring cell(HWND list, int row, int column);
// Selects and focuses a row of the list (this process).
void select_row(HWND list, int row);

// An HDROP made in this process, as Explorer hands one over.
HDROP drop_of(const std::vector<std::filesystem::path>& files);

// Runs this thread's messages (through `translate` first, as the program's
// loop does) until `done` holds; false when it did not within `limit`.
bool pump_until(const std::function<bool()>& done, const std::function<bool(MSG&)>& translate = {},
                std::chrono::milliseconds limit = std::chrono::seconds(20));

// Answers every box titled "Vorlane" that this process shows while it
// lives, from a timer of this thread (which a modal box's loop runs): keeps
// the box's text, whether it lay within the work area of its screen, and
// presses its OK button.
class BoxAnswerer {
public:
    BoxAnswerer();
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;
    std::vector<std::wstring> texts;
    std::vector<bool> on_screen;

private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD);
    UINT_PTR timer_ = 0;
};

// One argument of a command line, quoted as CommandLineToArgvW reads it back.
std::wstring quoted_argument(const std::wstring& argument);

// A program started with a command line; ended, if it still runs, when this
// goes.
class Process {
public:
    explicit Process(std::wstring command_line);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // When it did not start, error() says why (GetLastError).
    bool started() const { return started_; }
    DWORD error() const { return error_; }
    DWORD id() const { return process_.dwProcessId; }
    // Its exit status; nothing when it has not ended within `limit`.
    std::optional<DWORD> wait(std::chrono::milliseconds limit) const;
    // Ends it if it still runs; false when it had ended already.
    bool end();

private:
    PROCESS_INFORMATION process_{};
    bool started_ = false;
    DWORD error_ = 0;
};

}  // namespace marrowgate::driver
