// The controls of the main window, as both faces build them: each with the
// name it carries (the Qt object name, the name of the Win32 control
// identifier), its first caption and the key that reaches it with Alt.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace marrowgate::window {

enum class Control {
    picBanner,
    lblSelected,
    Frame1,
    Text1,
    Picture1,
    Label3,
    ListView1,
    chkAnyVersion,
    Command3,
    Command4,
    Label4,
    Option1_0,
    Option1_1,
    Option1_2,
    Option1_3,
    Command5,
    lblDecalFile,
    Label1_0,
    Label1_1,
    lblLink,
    Label2,
    Command1,
    Command2,
    cmdOpenFolder,
    cmdDetails,
};
inline constexpr std::size_t kControls = static_cast<std::size_t>(Control::cmdDetails) + 1;

struct ControlInfo {
    Control control;
    const char* name;     // "Command1"
    const char* caption;  // "Execute"; the link's caption is the site's address
    char access_key;      // the letter underlined in the caption; 0 for none
};

inline constexpr std::array<ControlInfo, kControls> kControlTable{{
    {Control::picBanner, "picBanner", "", 0},
    {Control::lblSelected, "lblSelected", "Vorlane Marrowgate " MARROWGATE_VERSION, 0},
    {Control::Frame1, "Frame1", "", 0},
    {Control::Text1, "Text1", "News:", 0},
    {Control::Picture1, "Picture1", "", 0},
    {Control::Label3, "Label3", "Select files", 0},
    {Control::ListView1, "ListView1", "", 0},
    {Control::chkAnyVersion, "chkAnyVersion", "Accept every PADS version", 'v'},
    {Control::Command3, "Command3", "+", 0},
    {Control::Command4, "Command4", "-", 0},
    {Control::Label4, "Label4", "Sort by", 0},
    {Control::Option1_0, "Option1_0", "Alphanumeric Order", 'A'},
    {Control::Option1_1, "Option1_1", "Logic Family", 'L'},
    {Control::Option1_2, "Option1_2", "PCB Decal Name", 'N'},
    {Control::Option1_3, "Option1_3", "PCB Decal Pads Number", 'P'},
    {Control::Command5, "Command5", "File ...", 'F'},
    {Control::lblDecalFile, "lblDecalFile", "", 0},
    {Control::Label1_0, "Label1_0", "Visit", 0},
    {Control::Label1_1, "Label1_1", "to read lastest news about our CAD tools softwares for PADS2005...", 0},
    {Control::lblLink, "lblLink", "", 0},
    {Control::Label2, "Label2", "Label2", 0},
    {Control::Command1, "Command1", "Execute", 'E'},
    {Control::Command2, "Command2", "Exit", 'x'},
    {Control::cmdOpenFolder, "cmdOpenFolder", "Open folder", 'O'},
    {Control::cmdDetails, "cmdDetails", "Details", 'D'},
}};

inline const ControlInfo& info(Control control) { return kControlTable[static_cast<std::size_t>(control)]; }

// The Win32 control identifier of a control (the dialog item a test finds
// with GetDlgItem).
inline constexpr int control_id(Control control) { return 1001 + static_cast<int>(control); }

inline Control option_control(int index) {
    return static_cast<Control>(static_cast<int>(Control::Option1_0) + index);
}

// The keys that reach "+" and "-", which have no letter to underline: Insert
// adds a file, Delete on the list removes the selected one.
inline constexpr std::string_view kAddKeyName = "Insert";
inline constexpr std::string_view kRemoveKeyName = "Delete";

// The caption with "&" before its access key, as both toolkits mark it
// ("&Execute", "E&xit"); a "&" of the caption itself is doubled.
inline std::string caption_with_access_key(Control control, std::string_view caption) {
    std::string marked;
    const char key = info(control).access_key;
    bool placed = key == 0;
    for (const char c : caption) {
        if (c == '&') marked += '&';
        if (!placed && c == key) {
            marked += '&';
            placed = true;
        }
        marked += c;
    }
    return marked;
}

}  // namespace marrowgate::window
