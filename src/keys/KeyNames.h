// Keys as file names: the bytes a file name cannot hold, the name of a key's
// output file, and the one ASCII case fold of the engine.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace marrowgate {

// Replaces every character that Windows or Linux refuses in a file name
// (\ / : * ? " < > | and control characters) with "_".
void make_file_name_safe(std::string& key);

// The name of a key's output library file: LIB_<key>.p. The key's bytes are
// the file name's bytes on POSIX systems; on Windows they are read in the
// ANSI code page.
std::filesystem::path output_file_name(std::string_view key);

// The spelling under which a lib folder that ignores letter case tells the
// output files of two keys apart: on Windows the name as the ANSI code page
// reads it, upper-cased by the file system's rules (so that e-acute and
// E-acute are one key, as they are one file); elsewhere ASCII lower case.
std::string case_folded_key(std::string_view key);

// ASCII letters in lower case, every other character as it is: of a file
// name's bytes (or UTF-16 units) on any system.
template <typename Text>
Text ascii_lower(Text text) {
    for (auto& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<typename Text::value_type>(c - 'A' + 'a');
    return text;
}

}  // namespace marrowgate
