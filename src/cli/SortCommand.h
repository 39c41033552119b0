// marrowgate-cli: sorts up to four part-type libraries from the command line.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "library/FileSystem.h"

namespace marrowgate::cli {

enum ExitCode { kFinished = 0, kRunFailed = 1, kUsageOrRefused = 2 };

struct Streams {
    std::ostream& out;
    std::ostream& err;
    bool err_is_terminal = false;
};

// Runs the command with its arguments (without the program name) and returns
// the exit code.
int run_command_line(const std::vector<std::string>& args, Streams streams, FileSystem& files);

std::string help_text();

}  // namespace marrowgate::cli
