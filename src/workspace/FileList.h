// The file list and the decal file: the checks a file passes before it is
// listed or chosen. The window and the command line both come through here;
// the window stays silent where the result says so, the command line says why.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "io/FileSystem.h"
#include "text/MarkerRule.h"

namespace marrowgate {

struct Module1;

enum class AddOutcome {
    Added,          // listed (or, for the decal file, chosen)
    NoDotInTitle,   // the file title has no "."; nothing said
    CannotRead,     // the file cannot be opened or read; nothing said
    NoMarker,       // no line is the marker line: the warning box
    OtherVersion,   // no marker line of a version taken, but one of another (`marker`)
    OtherKind,      // no marker line of its kind, but one of the other kind (`marker`)
    NotRegularFile, // a folder, a FIFO, a device: the warning box, nothing read
    AlreadyListed,  // the file is listed already, under this or another name; nothing said
    WrongExtension, // the extension is neither ".p" nor ".d"; nothing said
    ListFull,       // four files are listed already
};

struct AddResult {
    AddOutcome outcome = AddOutcome::Added;
    std::string reason;  // the system's reason, for CannotRead
    std::string marker;  // the marker line found (for OtherVersion, the one of another version)
    int entry = 0;       // the entry listed
};

// Why a file was refused: "it is listed already". The one table of the
// reasons, which the command line puts after "FILE: refused: " and the window
// after "FILE was not added: ".
std::string describe_refusal(const AddResult& result, const MarkerRule& rule);

// Splits a chosen file into Staged_Folder, Staged_Base and Staged_Extension:
// the base is the file title up to its last ".", the extension the title from
// its last "." on. Returns false (after setting Staged_Folder) when the title
// has no ".".
bool stage_file(Module1& state, const std::filesystem::path& chosen);

// "+": checks the chosen file and appends it to the file list, adding its part
// count to Total_Parts.
AddResult add_part_type_file(Module1& state, const std::filesystem::path& chosen, FileSystem& files,
                             const MarkerRule& rule);

// "File ...": checks the chosen file and makes it the decal file.
AddResult choose_decal_file(Module1& state, const std::filesystem::path& chosen, FileSystem& files,
                            const MarkerRule& rule);

// "-": removes the last entry whose file name is `name`, moves the later
// entries down and subtracts its part count. Returns the entry removed, or 0.
int remove_listed_file(Module1& state, std::string_view name);

// The number of part types of a part-type file: the header lines that open a
// block. Throws FileError.
int count_part_types(FileSystem& files, const std::filesystem::path& path);

}  // namespace marrowgate
