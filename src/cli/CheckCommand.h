// marrowgate-cli check: reads up to four part-type libraries and a decal
// library and tells what is wrong with them, writing nothing but the report
// asked for.
#pragma once

#include <string>
#include <vector>

#include "cli/SortCommand.h"

namespace marrowgate::cli {

// The words after "check"; returns the exit code: 0 no error, 1 errors
// (with --strict, warnings too), 2 a usage error or a refused file.
int run_check_command(const std::vector<std::string>& args, Streams streams, FileSystem& files);

std::string check_help_text();

}  // namespace marrowgate::cli
