// marrowgate-cli: sorts up to four part-type libraries from the command line.
#pragma once

#include <atomic>
#include <iosfwd>
#include <string>
#include <vector>

#include "io/FileSystem.h"

namespace marrowgate::cli {

// A run stopped by a signal exits with 128 and the signal's number (130 for
// SIGINT, 143 for SIGTERM).
enum ExitCode { kFinished = 0, kRunFailed = 1, kUsageOrRefused = 2, kStoppedBySignal = 128 };

struct Streams {
    std::ostream& out;
    std::ostream& err;
    bool err_is_terminal = false;
    // The number of a signal that asks the run to stop (SIGINT, SIGTERM), set
    // by its handler; 0 while none came.
    const std::atomic<int>* stop_signal = nullptr;
};

// Runs the command with its arguments (without the program name) and returns
// the exit code.
int run_command_line(const std::vector<std::string>& args, Streams streams, FileSystem& files);

std::string help_text();

}  // namespace marrowgate::cli
