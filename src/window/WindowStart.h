// How the window program starts, whichever toolkit draws it: its arguments
// (marrowgate [--app-folder DIR] [FILE...]), the maker's web site, and the
// folders it works in.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "window/WindowLogic.h"

namespace marrowgate::window {

struct WindowArguments {
    std::optional<std::filesystem::path> app_folder;  // made absolute
    // Part-type files to list at start, as "+" lists them (dropped on the
    // program's icon, "Open with"); made absolute.
    std::vector<std::filesystem::path> files;
    bool help = false;
    bool version = false;
    std::string error;  // a usage error; empty when the arguments are sound
};

// The arguments after the program's name, as UTF-8 text.
WindowArguments parse_window_arguments(const std::vector<std::string>& args);
std::string window_usage();

// The address of the maker's web site: MARROWGATE_SITE_URL from the
// environment when set, otherwise the address the program was built with.
std::string site_address();

// The settings of the window: a portable copy works in its own folder, an
// installed one in the per-user data folder, and --app-folder overrides both;
// the folder is made when missing. `refusal` says why no folder can be used.
struct WindowStart {
    WindowSettings settings;
    std::string refusal;
};
WindowStart window_start(const WindowArguments& arguments);

}  // namespace marrowgate::window
