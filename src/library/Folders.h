// The application folder and its working folders lib and tmp, and the names of
// the files a run writes there.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace marrowgate {

struct Module1;

// The folder that holds the running executable.
std::filesystem::path executable_folder();

std::filesystem::path lib_folder(const Module1& state);
std::filesystem::path tmp_folder(const Module1& state);

// Creates the lib folder, then the tmp folder. A folder that exists already is
// no failure; any other failure ends the procedure quietly (the tmp folder is
// then not attempted). Returns false when a folder could not be created.
bool tmp_makedir(const Module1& state);

// Replaces every character that Windows or Linux refuses in a file name
// (\ / : * ? " < > | and control characters) with "_".
void make_file_name_safe(std::string& key);

// The output library file of a key: lib/LIB_<key>.p. The key's bytes are the
// file name's bytes on POSIX systems; on Windows they are read in the ANSI code
// page.
std::filesystem::path output_library_path(const Module1& state, std::string_view key);

// Whether names in the lib folder ignore letter case (Windows, macOS, some
// mounts). Decided by looking the folder up under another spelling.
bool lib_folder_ignores_case(const Module1& state);

}  // namespace marrowgate
