// The file list and the decal file: the checks a file passes before it is
// listed or chosen. The window and the command line both come through here;
// the window stays silent where the result says so, the command line says why.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "library/FileSystem.h"

namespace marrowgate {

struct Module1;

// Which marker lines a file may carry.
class MarkerRule {
public:
    // Only the V4 marker, as the window accepts it.
    static MarkerRule part_types_v4();
    static MarkerRule decals_v4();
    // Any version: *PADS-LIBRARY-PART-TYPES-V<version>* (V4, V5, V2005, V2007, V9 ...).
    static MarkerRule part_types_any_version();
    static MarkerRule decals_any_version();

    bool matches(std::string_view line) const;
    // The marker of the V4 form, kept in Staged_Marker.
    const std::string& v4_marker() const { return v4_; }
    // "*PADS-LIBRARY-PART-TYPES-V4*" or "*PADS-LIBRARY-PART-TYPES-V<version>*".
    std::string description() const;
    // "V9" for "*PADS-LIBRARY-PART-TYPES-V9*": the version of a marker line of
    // this rule's kind, whatever versions the rule takes; empty for any other line.
    std::string version_of(std::string_view line) const;
    // "part-type" or "PCB decal": the kind of library the rule takes.
    std::string kind_name() const;
    // Every version of the other kind of library: a decal library given
    // where a part-type library is asked for is named as what it is.
    MarkerRule other_kind() const;

private:
    MarkerRule(std::string prefix, bool any_version);
    std::string prefix_;
    std::string v4_;
    bool any_version_;
};

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
