// The dialogs of the window: the common file-open dialog (behind an
// interface, so that a test can answer it), the message box, and the box
// that shows a long text to read at leisure.
#pragma once

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>

#include "window/WindowFace.h"

namespace marrowgate::win32 {

class FileChooser {
public:
    virtual ~FileChooser() = default;
    // Nothing when the user cancelled.
    virtual std::optional<std::filesystem::path> open(HWND owner, const window::FileQuestion& question) = 0;
};

// GetOpenFileNameW: one filter, the initial name in the name box, the start
// folder; the name typed must be of a file that exists.
class CommonFileChooser final : public FileChooser {
public:
    std::optional<std::filesystem::path> open(HWND owner, const window::FileQuestion& question) override;
};

// A box with one OK button and a warning or error icon: MessageBoxW, or,
// for a text that would make it taller than the screen, a box like
// details_box's that scrolls.
void message_box(HWND owner, window::BoxIcon icon, const std::wstring& title, const std::wstring& text);

// A dialog of its own (#32770) with the text in a read-only box that
// scrolls, in a fixed-pitch font, and OK; it never outgrows the screen it
// is on.
void details_box(HWND owner, const std::wstring& title, const std::wstring& text);

}  // namespace marrowgate::win32
