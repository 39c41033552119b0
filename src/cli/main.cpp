#include <atomic>
#include <csignal>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cli/SortCommand.h"
#include "io/Paths.h"
#include "state/Module1.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#define MARROWGATE_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define MARROWGATE_ISATTY(fd) isatty(fd)
#endif

namespace {

// The arguments as UTF-8 text. On Windows the narrow argv holds them in the
// ANSI code page, which cannot spell every file name, so they are taken from
// the wide command line instead.
std::vector<std::string> arguments(int argc, char** argv) {
#ifdef _WIN32
    int count = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        std::vector<std::string> args;
        for (int i = 1; i < count; ++i) args.push_back(marrowgate::utf8_from_path(std::filesystem::path(wide[i])));
        LocalFree(wide);
        return args;
    }
#endif
    return std::vector<std::string>(argv + 1, argv + argc);
}

// Set by Ctrl+C (SIGINT) and SIGTERM: the run stops at its next chance and
// changes nothing. A second signal ends the program at once, which is as safe:
// lib changes only when a run is complete.
std::atomic<int> stop_signal{0};

#ifdef _WIN32
BOOL WINAPI on_console_event(DWORD event) {
    if (stop_signal.load() != 0) return FALSE;  // the system ends the program
    stop_signal = event == CTRL_C_EVENT ? SIGINT : SIGTERM;
    return TRUE;
}
#else
extern "C" void on_signal(int number) { stop_signal = number; }
#endif

void catch_stop_signals() {
#ifdef _WIN32
    SetConsoleCtrlHandler(on_console_event, TRUE);
#else
    struct sigaction action {};
    action.sa_handler = on_signal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#endif
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    SetConsoleOutputCP(CP_UTF8);  // messages name files in UTF-8
#endif
    const std::vector<std::string> args = arguments(argc, argv);
    const bool terminal = MARROWGATE_ISATTY(fileno(stderr)) != 0;
    catch_stop_signals();
    int code = marrowgate::cli::run_command_line(args, {std::cout, std::cerr, terminal, &stop_signal},
                                                 marrowgate::real_file_system());

    // The summary has reached standard output only once it is flushed (std::cout
    // writes through the C library's buffer) and closed. One that was lost, on a
    // full disk or a closed output, makes a finished run a failed one; a run that
    // failed or was refused keeps its code.
    errno = 0;
    bool written = static_cast<bool>(std::cout.flush());
    int error = written ? 0 : errno;
    if (std::fclose(stdout) != 0) {
        written = false;
        if (error == 0) error = errno;
    }
    // The streams flushed at exit must not touch the closed one.
    std::cout.setstate(std::ios::badbit);
    std::wcout.setstate(std::ios::badbit);
    if (!written && code == marrowgate::cli::kFinished) {
        std::cerr << "marrowgate-cli: error: standard output cannot be written"
                  << (error != 0 ? ": " + marrowgate::system_reason(error) : std::string()) << '\n';
        code = marrowgate::cli::kRunFailed;
    }
    return code;
}
