// Drives marrowgate.exe as a user would, for the tests of the download and the
// installer: starts it with the given arguments, waits for its main window,
// chooses "Alphanumeric Order", presses "Execute", waits for "Done.", answers
// every "Vorlane" box with OK, presses "Exit" and waits for the program to end.
// Controls are found by their identifiers (window/Controls.h) and pressed with
// BM_CLICK, as the window's test does (WindowDriver.h). Each step is printed;
// the exit status is 0 when the run finished and the program ended by itself
// with status 0, otherwise 1 (and the program is ended).
//
//   marrowgate-window-driver.exe [--timeout SECONDS] PROGRAM [ARGUMENT...]
#include <windows.h>
#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "WindowDriver.h"

namespace {

using namespace marrowgate::driver;
using marrowgate::window::Control;
using marrowgate::window::control_id;
using Clock = std::chrono::steady_clock;

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

void say(const std::string& line) {
    std::printf("window-driver: %s\n", line.c_str());
    std::fflush(stdout);
}

std::string control_name(Control control) { return marrowgate::window::info(control).name; }

class Driver {
public:
    Driver(const std::wstring& command_line, std::chrono::seconds timeout)
        : program_(command_line), timeout_(timeout) {
        if (!program_.started())
            throw Failure("cannot start " + utf8(command_line) + " (error " + std::to_string(program_.error()) + ")");
        say("started " + utf8(command_line));
    }
    ~Driver() {
        if (program_.end()) say("ended the program");
    }
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    void run() {
        form_ = wait_for("its main window", [this] { return find_form(program_.id()); });
        const std::wstring title = text_of(form_);
        say("main window: \"" + utf8(title) + "\"");
        if (title != L"Vorlane Marrowgate " MARROWGATE_VERSION)
            throw Failure("the title is not \"Vorlane Marrowgate " MARROWGATE_VERSION "\"");
        answer_boxes();

        const int rows = row_count(control(Control::ListView1));
        say(std::to_string(rows) + " file(s) listed");
        if (rows == 0) throw Failure("no file is listed: the files given at start were not taken");

        press(Control::Option1_0);
        if (!checked(control(Control::Option1_0)))
            throw Failure(control_name(Control::Option1_0) + " is not checked after a click");
        if (!IsWindowEnabled(control(Control::Command1)))
            throw Failure(control_name(Control::Command1) + " (Execute) is not enabled after an option was chosen");
        press(Control::Command1);
        wait_for_run();
        settle();

        press(Control::Command2);
        const auto deadline = Clock::now() + timeout_;
        std::optional<DWORD> status;
        while (!(status = program_.wait(kPoll))) {
            answer_boxes();
            if (Clock::now() > deadline)
                throw Failure("the program did not end " + std::to_string(timeout_.count()) + " s after Exit");
        }
        say("the program ended with status " + std::to_string(*status));
        if (*status != 0) throw Failure("the program's exit status is not 0");
    }

private:
    // Polls `found` until it gives a window; fails when the program ends
    // first or the time is up.
    template <class Find>
    HWND wait_for(const std::string& what, Find found) {
        const auto deadline = Clock::now() + timeout_;
        for (;;) {
            if (HWND window = found()) return window;
            if (const auto status = program_.wait(std::chrono::milliseconds(0)))
                throw Failure("the program ended (status " + std::to_string(*status) + ") while waiting for " + what);
            if (Clock::now() > deadline)
                throw Failure("no " + what + " after " + std::to_string(timeout_.count()) + " s");
            std::this_thread::sleep_for(kPoll);
        }
    }

    HWND control(Control control) const {
        if (HWND found = find_control(form_, control)) return found;
        throw Failure("no control " + control_name(control) + " (identifier " + std::to_string(control_id(control)) +
                      ")");
    }

    // A click that opens a modal box goes on after a few seconds.
    void press(Control pressed) {
        HWND button = control(pressed);
        say("click " + control_name(pressed) + " \"" + utf8(text_of(button)) + "\"");
        click(button);
    }

    // Every "Vorlane" box of the program is shown and answered with OK.
    void answer_boxes() {
        for (HWND box : boxes_of(program_.id())) {
            say("box \"Vorlane\": " + utf8(box_text(box)));
            HWND ok = ok_button(box);
            if (!ok) throw Failure("the box has no OK button");
            say("click OK");
            click(ok);
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

    Process program_;
    std::chrono::seconds timeout_;
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
        command_line += (command_line.empty() ? L"" : L" ") + quoted_argument(arguments[i]);
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
