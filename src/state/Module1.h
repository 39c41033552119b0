// The state shared by the window, the command line and the sort runs: the file
// list, the staged file of the last file-open dialog, the decal file, the sort
// option, the line buffers and the message table. One instance lives as long
// as the program; nothing of it is saved.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace marrowgate {

// Marker lines of the two kinds of library file.
inline constexpr const char* kPartTypeMarkerV4 = "*PADS-LIBRARY-PART-TYPES-V4*";
inline constexpr const char* kDecalMarkerV4 = "*PADS-LIBRARY-PCB-DECALS-V4*";

// Slots 0..20 exist; entries 1..File_Count are in use; entry 0 is never used.
inline constexpr int kListSlots = 21;
inline constexpr int kMaxListedFiles = 4;

struct Module1 {
    // File list. Folders are kept as UTF-8 text ending with the path separator,
    // so that folder + name is the full path and entries compare exactly.
    std::int16_t File_Count = 0;
    std::array<std::string, kListSlots> File_Name{};
    std::array<std::string, kListSlots> File_Folder{};
    std::array<std::int32_t, kListSlots> File_Parts{};
    // The marker line found in each listed file (the format its outputs keep).
    std::array<std::string, kListSlots> File_Marker{};
    std::int32_t Total_Parts = 0;

    // Staged file: written by every use of either file-open dialog.
    std::string Staged_Folder;
    std::string Staged_Base;
    std::string Staged_Extension;
    std::string Staged_Marker;

    // Decal file: at most one entry, entry 1.
    std::int16_t Decal_Count = 0;
    std::array<std::string, kListSlots> Decal_Folder{};
    std::array<std::string, kListSlots> Decal_Name{};

    // Index 0..3 of the option last clicked; empty until the first click.
    std::optional<std::int16_t> Sort_Option;

    // Message_Table[slot][number]: slots 0..2, message numbers 0..1.
    std::array<std::array<std::string, 2>, 3> Message_Table{};

    // The folder that holds lib, tmp, the list files and the news file.
    std::filesystem::path Application_Folder;
    // The message file to read; empty: marrowgate_msg.dat in the application folder.
    std::filesystem::path Message_File;

    // Text of Message_Table(slot, number).
    const std::string& message(int slot, int number) const {
        return Message_Table.at(static_cast<std::size_t>(slot)).at(static_cast<std::size_t>(number));
    }
};

// Full path of file-list entry i (1..File_Count).
std::filesystem::path listed_file_path(const Module1& state, int i);
// Full path of the decal file (entry 1); empty when none was chosen.
std::filesystem::path decal_file_path(const Module1& state);

}  // namespace marrowgate
