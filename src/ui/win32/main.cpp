// marrowgate.exe: the window on Windows.
//   marrowgate.exe [--app-folder DIR] [FILE...]
#include <windows.h>
#include <objbase.h>

#include <exception>
#include <string>
#include <vector>

#include "ui/win32/Form1.h"
#include "ui/win32/Text.h"
#include "window/WindowStart.h"

namespace {

using namespace marrowgate;

constexpr const wchar_t* kProgram = L"Vorlane Marrowgate " MARROWGATE_VERSION;

int box(const std::string& text, UINT icon, int status) {
    MessageBoxW(nullptr, win32::wide(text).c_str(), kProgram, MB_OK | icon);
    return status;
}

std::vector<std::string> arguments() {
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) args.push_back(win32::utf8(words[i]));
    LocalFree(words);
    return args;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
    const window::WindowArguments parsed = window::parse_window_arguments(arguments());
    if (!parsed.error.empty()) return box("marrowgate: " + parsed.error + "\n\n" + window::window_usage(), MB_ICONERROR, 2);
    if (parsed.help) return box(window::window_usage(), MB_ICONINFORMATION, 0);
    if (parsed.version) return box("Vorlane Marrowgate " MARROWGATE_VERSION, MB_ICONINFORMATION, 0);

    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    // The file dialogs, the shell and the picture decoder are COM.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    try {
        const window::WindowStart start = window::window_start(parsed);
        if (!start.refusal.empty()) return box(start.refusal, MB_ICONERROR, 1);
        win32::CommonFileChooser chooser;
        win32::Form1 form(start.settings, chooser, win32::IniSettings::default_file());
        form.on_closed = [] { PostQuitMessage(0); };
        form.show(show);
        // Files dropped on the program's icon, or opened with it.
        if (!parsed.files.empty()) form.add_files(parsed.files);
        MSG message{};
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (form.translate(message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        return static_cast<int>(message.wParam);
    } catch (const std::exception& error) {
        return box(error.what(), MB_ICONERROR, 1);
    }
}
