// Drives marrowgate.exe as a user would, for the tests of the download and the
// installer: starts it with the given arguments, waits for its main window,
// chooses "Alphanumeric Order", presses "Execute", waits for "Done.", answers
// every "Vorlane" box with OK, presses "Exit" and waits for the program to end.
// Controls are found by their identifiers (window/Controls.h) and pressed with
// BM_CLICK. Each step is printed; the exit status is 0 when the run finished
// and the program ended by itself with status 0, otherwise 1 (and the program
// is ended).
//
//   marrowgate-window-driver.exe [--timeout SECONDS] PROGRAM [ARGUMENT...]
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "window/Controls.h"

namespace {

using marrowgate::window::Control;
using marrowgate::window::control_id;
using Clock = std::chrono::steady_clock;

constexpr wchar_t kFormClass[] = L"MarrowgateForm1";
constexpr wchar_t kBoxClass[] = L"#32770";
constexpr wchar_t kBoxTitle[] = L"Vorlane";
constexpr auto kPoll = std::chrono::milliseconds(50);

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::wstring wide(const std::string& text) {
    if (text.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring chars(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), chars.data(), size);
    return chars;
}

void say(const std::string& line) {
    std::printf("window-driver: %s\n", line.c_str());
    std::fflush(stdout);
}

std::string control_name(Control control) { return marrowgate::window::info(control).name; }

// One argument as CommandLineToArgvW reads it back.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring text = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        text.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        text += c;
    }
    text.append(backslashes * 2, L'\\');
    return text + L'"';
}

// A message sent to a window of the program, given up after `ms` when its
// thread is busy (in a handler that waits, such as a modal box).
std::optional<DWORD_PTR> send(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT ms = 5000) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_NORMAL, ms, &result)) return std::nullopt;
    return result;
}

std::wstring text_of(HWND window) {
    const auto length = send(window, WM_GETTEXTLENGTH, 0, 0);
    if (!length) return {};
    std::wstring text(*length + 1, L'\0');
    const auto copied = send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied ? *copied : 0);
    return text;
}

std::wstring class_of(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

std::vector<HWND> top_windows(DWORD process, const wchar_t* class_name) {
    struct Search {
        DWORD process;
        const wchar_t* class_name;
        std::vector<HWND> found;
    } search{process, class_name, {}};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto& search = *reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == search.process && IsWindowVisible(window) && class_of(window) == search.class_name)
                search.found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> children(HWND parent) {
    std::vector<HWND> found;
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM data) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(data)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

class Driver {
public:
    Driver(std::wstring command_line, std::chrono::seconds timeout) : timeout_(timeout) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process_))
            throw Failure("cannot start " + utf8(command_line) + " (error " + std::to_string(GetLastError()) + ")");
        CloseHandle(process_.hThread);
        say("started " + utf8(command_line));
    }
    ~Driver() {
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 1);
            say("ended the program");
        }
        CloseHandle(process_.hProcess);
    }
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    void run() {
        form_ = wait_for("its main window", [this] {
            const auto forms = top_windows(process_.dwProcessId, kFormClass);
            return forms.empty() ? nullptr : forms.front();
        });
        const std::wstring title = text_of(form_);
        say("main window: \"" + utf8(title) + "\"");
        if (title != wide("Vorlane Marrowgate " MARROWGATE_VERSION))
            throw Failure("the title is not \"Vorlane Marrowgate " MARROWGATE_VERSION "\"");
        answer_boxes();

        const auto rows = send(control(Control::ListView1), LVM_GETITEMCOUNT, 0, 0);
        say(std::to_string(rows.value_or(0)) + " file(s) listed");
        if (rows.value_or(0) == 0) throw Failure("no file is listed: the files given at start were not taken");

        click(Control::Option1_0);
        if (send(control(Control::Option1_0), BM_GETCHECK, 0, 0).value_or(0) != static_cast<DWORD_PTR>(BST_CHECKED))
            throw Failure(control_name(Control::Option1_0) + " is not checked after a click");
        if (!IsWindowEnabled(control(Control::Command1)))
            throw Failure(control_name(Control::Command1) + " (Execute) is not enabled after an option was chosen");
        click(Control::Command1);
        wait_for_run();
        settle();

        click(Control::Command2);
        const auto deadline = Clock::now() + timeout_;
        while (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(kPoll.count())) == WAIT_TIMEOUT) {
            answer_boxes();
            if (Clock::now() > deadline)
                throw Failure("the program did not end " + std::to_string(timeout_.count()) + " s after Exit");
        }
        DWORD status = 0;
        GetExitCodeProcess(process_.hProcess, &status);
        say("the program ended with status " + std::to_string(status));
        if (status != 0) throw Failure("the program's exit status is not 0");
    }

private:
    // Polls `found` until it gives a window; fails when the program ends
    // first or the time is up.
    template <class Find>
    HWND wait_for(const std::string& what, Find found) {
        const auto deadline = Clock::now() + timeout_;
        for (;;) {
            if (HWND window = found()) return window;
            if (WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0) {
                DWORD status = 0;
                GetExitCodeProcess(process_.hProcess, &status);
                throw Failure("the program ended (status " + std::to_string(status) + ") while waiting for " + what);
            }
            if (Clock::now() > deadline)
                throw Failure("no " + what + " after " + std::to_string(timeout_.count()) + " s");
            std::this_thread::sleep_for(kPoll);
        }
    }

    HWND control(Control control) const {
        for (HWND child : children(form_))
            if (GetDlgCtrlID(child) == control_id(control)) return child;
        throw Failure("no control " + control_name(control) + " (identifier " + std::to_string(control_id(control)) +
                      ")");
    }

    // BM_CLICK; a handler that opens a modal box answers only when the box
    // goes, so a click that is not answered within a few seconds goes on.
    void click(Control pressed) {
        HWND button = control(pressed);
        say("click " + control_name(pressed) + " \"" + utf8(text_of(button)) + "\"");
        send(button, BM_CLICK, 0, 0, 3000);
    }

    // Every "Vorlane" box of the program is shown and answered with OK.
    void answer_boxes() {
        for (HWND box : top_windows(process_.dwProcessId, kBoxClass)) {
            if (text_of(box) != kBoxTitle) continue;
            std::wstring text;
            HWND ok = nullptr;
            for (HWND child : children(box)) {
                const std::wstring kind = class_of(child);
                if (_wcsicmp(kind.c_str(), L"Static") == 0) text += text_of(child);
                if (_wcsicmp(kind.c_str(), L"Button") == 0 && GetDlgCtrlID(child) == IDOK) ok = child;
            }
            say("box \"Vorlane\": " + utf8(text));
            if (!ok) throw Failure("the box has no OK button");
            say("click OK");
            send(ok, BM_CLICK, 0, 0, 3000);
            wait_for("the box to close",
                     [box]() -> HWND { return IsWindow(box) && IsWindowVisible(box) ? nullptr : box; });
            ++boxes_;
        }
    }

    // Until Label2 says "Done." and "Details" shows, the run's last step.
    void wait_for_run() {
        std::wstring shown;
        wait_for("\"Done.\" in Label2", [&]() -> HWND {
            answer_boxes();
            HWND label = control(Control::Label2);
            const std::wstring status = IsWindowVisible(label) ? text_of(label) : L"";
            if (status != shown && !status.empty()) say("status: " + utf8(status));
            shown = status;
            if (status == L"Run failed.") {
                settle();  // its box says why
                throw Failure("the run failed");
            }
            return status == L"Done." && IsWindowVisible(control(Control::cmdDetails)) ? label : nullptr;
        });
    }

    // The box after a run opens in the same handler that shows "Details":
    // once the window's thread has answered a message, it is either open or
    // not coming.
    void settle() {
        for (;;) {
            if (!send(form_, WM_NULL, 0, 0, static_cast<UINT>(timeout_.count() * 1000)))
                throw Failure("the window does not answer");
            const int before = boxes_;
            answer_boxes();
            if (boxes_ == before) break;
        }
        say(std::to_string(boxes_) + " box(es) answered");
    }

    std::chrono::seconds timeout_;
    PROCESS_INFORMATION process_{};
    HWND form_ = nullptr;
    int boxes_ = 0;
};

}  // namespace

int main() {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> arguments(args + 1, args + count);
    LocalFree(args);

    long seconds = 120;
    std::size_t first = 0;
    if (arguments.size() >= 2 && arguments[0] == L"--timeout") {
        seconds = std::wcstol(arguments[1].c_str(), nullptr, 10);
        first = 2;
    }
    if (first >= arguments.size() || seconds <= 0) {
        std::fprintf(stderr, "usage: marrowgate-window-driver [--timeout SECONDS] PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    std::wstring command_line;
    for (std::size_t i = first; i < arguments.size(); ++i)
        command_line += (command_line.empty() ? L"" : L" ") + quoted(arguments[i]);
    try {
        Driver driver(command_line, std::chrono::seconds(seconds));
        driver.run();
    } catch (const Failure& failure) {
        std::fprintf(stderr, "window-driver: %s\n", failure.what());
        return 1;
    }
    say("the window sorted the files and closed");
    return 0;
}
