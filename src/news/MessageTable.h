// The message file beside the program: lines "number;slot 0 text;slot 1 text"
// that fill the message table at start-up.
#pragma once

#include <string_view>

#include "library/FileSystem.h"

namespace marrowgate {

struct Module1;

// The numeric value of a message-number field: a decimal number with a point
// as separator, blanks, tabs and line feeds ignored, reading stopping at the
// first character that cannot continue the number; no number reads as 0.
double read_message_number(std::string_view field);

// Applies one line of the message file. Returns false when the line ends the
// loading (fewer than two ";", or a number that is not 0 or 1 once rounded).
bool apply_message_line(Module1& state, std::string_view line);

// Fills the message table from <application folder>/marrowgate_msg.dat. Ends
// quietly at a missing file, a read failure or the first malformed line,
// keeping what was loaded before it.
void Lecture_des_Messages(Module1& state, FileSystem& files);

}  // namespace marrowgate
