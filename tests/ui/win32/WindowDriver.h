// Drives the real Win32 window as a user and a screen reader reach it: the
// controls found by their identifiers, pressed with BM_CLICK, read with
// WM_GETTEXT and the list's messages, files dropped with WM_DROPFILES, and
// the boxes of the window answered as they come up. Works on a window of this
// process and, with its messages marshalled, on one of another process.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "window/Controls.h"

namespace marrowgate::test {

using namespace std::chrono_literals;

// The control of that identifier among all the windows inside `top`.
HWND find_control(HWND top, window::Control control);
// The visible top-level window of that class of a process.
HWND find_form(DWORD process_id, const std::wstring& window_class = L"MarrowgateForm1");

std::wstring text_of(HWND hwnd);
// The caption without the "&" that marks its access key.
std::wstring caption_of(HWND hwnd);
bool shown(HWND hwnd);
bool checked(HWND hwnd);
void click(HWND hwnd);

int row_count(HWND list);
std::wstring cell(HWND list, int row, int column);
void select_row(HWND list, int row);

// An HDROP made in this process, as Explorer hands one over.
HDROP drop_of(const std::vector<std::filesystem::path>& files);

// Runs this thread's messages (through `translate` first, as the program's
// loop does) until `done` holds; false when it did not within `limit`.
bool pump_until(const std::function<bool()>& done, const std::function<bool(MSG&)>& translate = {},
                std::chrono::milliseconds limit = 20s);

// Answers every box titled "Vorlane" that comes up on this thread while it
// lives: keeps the box's text (its labels' and text boxes'), whether it lay
// within the work area of its screen, and presses its OK button.
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
    static BOOL CALLBACK answer(HWND window, LPARAM);
    UINT_PTR timer_ = 0;
};

}  // namespace marrowgate::test
