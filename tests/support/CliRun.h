// The command line run in this process, with its output and errors caught.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/SortCommand.h"

namespace marrowgate::test {

struct CliRun {
    int code = 0;
    std::string out, err;
};

inline CliRun run_cli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = cli::run_command_line(args, {out, err, false}, real_file_system());
    return {code, out.str(), err.str()};
}

}  // namespace marrowgate::test
