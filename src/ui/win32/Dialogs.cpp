#include "ui/win32/Dialogs.h"

#include <vector>

#include "ui/win32/Text.h"
#include "ui/win32/WinGui.h"

namespace marrowgate::win32 {

std::optional<std::filesystem::path> CommonFileChooser::open(HWND owner, const window::FileQuestion& question) {
    // "Description\0pattern\0\0"
    std::wstring filter = wide(question.filter_description);
    filter += L'\0';
    filter += wide(question.filter_pattern);
    filter += L'\0';
    std::vector<wchar_t> name(32768, L'\0');
    const std::wstring initial = wide(question.initial_name);
    initial.copy(name.data(), std::min(initial.size(), name.size() - 1));
    const std::wstring folder = question.start_folder.wstring();

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                   OFN_ENABLESIZING;
    if (!GetOpenFileNameW(&dialog)) return std::nullopt;
    return std::filesystem::path(name.data());
}

void message_box(HWND owner, window::BoxIcon icon, const std::wstring& title, const std::wstring& text) {
    MessageBoxW(owner, text.c_str(), title.c_str(),
                MB_OK | (icon == window::BoxIcon::Warning ? MB_ICONWARNING : MB_ICONERROR));
}

namespace {

constexpr int kTextId = 100;

// A dialog template built in memory: the words of DLGTEMPLATE and its items.
class DialogTemplate {
public:
    DialogTemplate(DWORD style, short width, short height, const std::wstring& title, WORD items) {
        dword(style);
        dword(0);
        words_.push_back(items);
        for (const short value : {short{0}, short{0}, width, height}) words_.push_back(static_cast<WORD>(value));
        words_.push_back(0);  // no menu
        words_.push_back(0);  // the dialog class
        text(title);
        words_.push_back(9);  // points of the font, for DS_SETFONT
        text(L"MS Shell Dlg");
    }
    // atom: 0x0080 button, 0x0081 edit
    void item(DWORD style, WORD atom, WORD id, const std::wstring& caption) {
        if (words_.size() % 2) words_.push_back(0);  // each item on a DWORD
        dword(style | WS_CHILD | WS_VISIBLE);
        dword(0);
        for (int i = 0; i < 4; ++i) words_.push_back(0);  // placed on WM_SIZE
        words_.push_back(id);
        words_.push_back(0xFFFF);
        words_.push_back(atom);
        text(caption);
        words_.push_back(0);  // no creation data
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void dword(DWORD value) {
        words_.push_back(LOWORD(value));
        words_.push_back(HIWORD(value));
    }
    void text(const std::wstring& value) {
        words_.insert(words_.end(), value.begin(), value.end());
        words_.push_back(0);
    }
    std::vector<WORD> words_;
};

struct DetailsState {
    std::wstring text;
    Font font;
};

// The text box fills the dialog above OK, which keeps the bottom right corner.
void place_details(HWND dialog) {
    RECT client{};
    GetClientRect(dialog, &client);
    RECT units{7, 7, 50, 14};  // margin, margin, button width, button height
    MapDialogRect(dialog, &units);
    const int margin = units.left, button_width = units.right, button_height = units.bottom;
    SetWindowPos(GetDlgItem(dialog, kTextId), nullptr, margin, margin, client.right - 2 * margin,
                 client.bottom - 3 * margin - button_height, SWP_NOZORDER);
    SetWindowPos(GetDlgItem(dialog, IDOK), nullptr, client.right - margin - button_width,
                 client.bottom - margin - button_height, button_width, button_height, SWP_NOZORDER);
}

// Centres the dialog on its owner, shrunk to the work area of the owner's
// screen and moved within it.
void fit_on_screen(HWND dialog) {
    const HWND owner = GetWindow(dialog, GW_OWNER);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(owner ? owner : dialog, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    RECT rect{}, around = work;
    GetWindowRect(dialog, &rect);
    if (owner) GetWindowRect(owner, &around);
    OffsetRect(&rect, (around.left + around.right - rect.left - rect.right) / 2,
               (around.top + around.bottom - rect.top - rect.bottom) / 2);
    const LONG width = std::min(rect.right - rect.left, work.right - work.left);
    const LONG height = std::min(rect.bottom - rect.top, work.bottom - work.top);
    const LONG left = std::clamp(rect.left, work.left, work.right - width);
    const LONG top = std::clamp(rect.top, work.top, work.bottom - height);
    SetWindowPos(dialog, nullptr, left, top, width, height, SWP_NOZORDER);
}

INT_PTR CALLBACK details_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG: {
            auto* state = reinterpret_cast<DetailsState*>(lparam);
            const HWND text = GetDlgItem(dialog, kTextId);
            state->font = make_font({L"Consolas", 9, false, false, true}, GetDpiForWindow(dialog));
            SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(state->font.get()), FALSE);
            SendMessageW(text, EM_SETLIMITTEXT, 0, 0);
            SetWindowTextW(text, state->text.c_str());
            fit_on_screen(dialog);
            place_details(dialog);
            SetFocus(text);
            SendMessageW(text, EM_SETSEL, 0, 0);
            return FALSE;
        }
        case WM_SIZE: place_details(dialog); return TRUE;
        case WM_CTLCOLORSTATIC:
            // The text on white, as a document, though it cannot be changed.
            if (reinterpret_cast<HWND>(lparam) != GetDlgItem(dialog, kTextId)) return FALSE;
            SetBkColor(reinterpret_cast<HDC>(wparam), GetSysColor(COLOR_WINDOW));
            return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
        case WM_COMMAND:
            if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            return FALSE;
        default: return FALSE;
    }
}

}  // namespace

void details_box(HWND owner, const std::wstring& title, const std::wstring& text) {
    DialogTemplate dialog(DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME,
                          380, 250, title, 2);
    dialog.item(ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL | WS_BORDER |
                    WS_TABSTOP,
                0x0081, kTextId, L"");
    dialog.item(BS_DEFPUSHBUTTON | WS_TABSTOP, 0x0080, IDOK, L"OK");
    DetailsState state;
    // The edit control breaks lines at CR LF only.
    for (const wchar_t c : text) {
        if (c == L'\n') state.text += L'\r';
        state.text += c;
    }
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.get(), owner, details_procedure,
                            reinterpret_cast<LPARAM>(&state));
}

}  // namespace marrowgate::win32
