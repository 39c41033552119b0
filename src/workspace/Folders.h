// The application folder and its working folders lib and tmp, and the names of
// the files a run writes there.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "io/FileSystem.h"
#include "keys/KeyNames.h"

namespace marrowgate {

struct Module1;

// The folder that holds the running executable.
std::filesystem::path executable_folder();

// Where a copy of the program keeps its working files and finds its message file.
struct FolderChoice {
    std::filesystem::path application_folder;  // holds lib, tmp, the list and news files
    std::filesystem::path message_file;        // marrowgate_msg.dat to read
    bool installed = false;                    // an installed copy, not a portable one
    std::string refusal;                       // why no application folder can be used safely
};

// A portable copy (the message file beside the program, as in a build folder or
// an unpacked zip) works in its own folder. An installed copy never writes into
// its own folder: it works in the per-user data folder ($XDG_DATA_HOME/marrowgate,
// by default ~/.local/share/marrowgate; %LOCALAPPDATA%\Marrowgate on Windows) and
// reads the message file from the installed data folder (../share/marrowgate).
// A folder given on the command line overrides both; a message file in the
// application folder is preferred to the program's own. Where no home folder
// is known, an installed copy works in a folder of its own in the temporary
// folder, made private to the user (or refused: see `refusal`), since other
// users could plant links there. `getenv` reads the
// environment (a parameter so that tests can supply their own).
FolderChoice choose_folders(const std::filesystem::path& program_folder,
                            const std::optional<std::filesystem::path>& given_folder,
                            const std::function<std::optional<std::string>(const char*)>& getenv);
FolderChoice choose_folders(const std::optional<std::filesystem::path>& given_folder);

// A folder or file named on a command line (UTF-8 text), made absolute against
// the working folder, as both front ends take --app-folder and their files;
// the path as given where that fails.
std::filesystem::path absolute_argument(const std::string& text);

// Creates the application folder and its parents when missing.
bool make_application_folder(const std::filesystem::path& folder);
// Creates through `files` the application folder and the folders above it
// that are missing, then lib and tmp (a dry run's layer makes them for the
// run to try and removes them afterwards). Returns false when one of them
// could not be made.
bool make_working_folders(const Module1& state, FileSystem& files);

std::filesystem::path lib_folder(const Module1& state);
std::filesystem::path tmp_folder(const Module1& state);

// The folders a run writes: the application folder, and lib and tmp in it.
struct RunFolders {
    std::filesystem::path application;
    std::filesystem::path lib;
    std::filesystem::path tmp;
};
RunFolders run_folders(const std::filesystem::path& application_folder);

// Creates the lib folder, then the tmp folder. A folder that exists already is
// no failure; any other failure ends the procedure quietly (the tmp folder is
// then not attempted). Returns false when a folder could not be created.
bool tmp_makedir(const Module1& state, FileSystem& files = real_file_system());

std::filesystem::path output_library_path(const Module1& state, std::string_view key);

// Whether names in the lib folder ignore letter case (Windows, macOS, some
// mounts). Decided by looking the folder up under another spelling.
bool lib_folder_ignores_case(const RunFolders& folders, FileSystem& files);
bool lib_folder_ignores_case(const Module1& state, FileSystem& files = real_file_system());

}  // namespace marrowgate
