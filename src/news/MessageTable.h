// The message file beside the program: lines "number;slot 0 text;slot 1 text"
// that fill the message table at start-up.
#pragma once

#include <filesystem>
#include <string_view>

#include "io/FileSystem.h"

namespace marrowgate {

struct Module1;

// The numeric value of a message-number field: a decimal number (an optional
// sign, digits, a point, digits) read whatever the locale; blanks, tabs and
// line feeds are ignored, reading stops at the first character that cannot
// continue the number, and a field without a number reads as 0.
double read_message_number(std::string_view field);

// Applies one line of the message file. Returns false when the line ends the
// loading (fewer than two ";", or a number that is not 0 or 1 once rounded).
bool apply_message_line(Module1& state, std::string_view line);

// The message file: Message_File when set, otherwise marrowgate_msg.dat in the
// application folder.
std::filesystem::path message_file_path(const Module1& state);

// Fills the message table from the message file. Ends quietly at a missing
// file, a read failure or the first malformed line, keeping what was loaded
// before it.
void Lecture_des_Messages(Module1& state, FileSystem& files);

}  // namespace marrowgate
