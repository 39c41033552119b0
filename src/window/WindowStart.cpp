#include "window/WindowStart.h"

#include <cstdlib>

#include "cli/CommandLine.h"
#include "state/Module1.h"
#include "workspace/Folders.h"

namespace marrowgate::window {

WindowArguments parse_window_arguments(const std::vector<std::string>& args) {
    WindowArguments parsed;
    arguments::CommandLine line;
    line.flag("--help", parsed.help, {"-h"});
    line.flag("--version", parsed.version);
    line.value("--app-folder", [&](const std::string& folder) { parsed.app_folder = absolute_argument(folder); });
    try {
        for (const std::string& file : line.parse(args)) parsed.files.push_back(absolute_argument(file));
    } catch (const arguments::UsageError& error) {
        parsed.error = error.what();
    }
    return parsed;
}

std::string window_usage() {
    return "Usage: marrowgate [--app-folder DIR] [FILE...]\n"
           "\n"
           "Opens the Marrowgate window. Each FILE, a PADS part-type library, is\n"
           "listed as \"+\" lists it.\n"
           "\n"
           "  --app-folder DIR  folder that holds lib and tmp (default: the folder of\n"
           "                    this program when marrowgate_msg.dat is beside it,\n"
           "                    otherwise the per-user data folder)\n"
           "  --help            show this text\n"
           "  --version         show the version\n";
}

std::string site_address() {
    if (const char* env = std::getenv("MARROWGATE_SITE_URL")) {
        std::string text = env;
        const auto first = text.find_first_not_of(" \t\r\n");
        const auto last = text.find_last_not_of(" \t\r\n");
        if (first != std::string::npos) return text.substr(first, last - first + 1);
    }
    return MARROWGATE_SITE_URL;
}

WindowStart window_start(const WindowArguments& arguments) {
    WindowStart start;
    const FolderChoice folders = choose_folders(arguments.app_folder);
    if (!folders.refusal.empty()) {
        start.refusal = folders.refusal;
        return start;
    }
    make_application_folder(folders.application_folder);
    start.settings.application_folder = folders.application_folder;
    start.settings.message_file = folders.message_file;
    start.settings.site = site_address();
    return start;
}

}  // namespace marrowgate::window
