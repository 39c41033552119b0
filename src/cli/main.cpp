#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/SortCommand.h"

#ifdef _WIN32
#include <io.h>
#define MARROWGATE_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define MARROWGATE_ISATTY(fd) isatty(fd)
#endif

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const bool terminal = MARROWGATE_ISATTY(fileno(stderr)) != 0;
    return marrowgate::cli::run_command_line(args, {std::cout, std::cerr, terminal}, marrowgate::real_file_system());
}
