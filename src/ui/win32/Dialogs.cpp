#include "ui/win32/Dialogs.h"

#include <algorithm>
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

namespace {

constexpr int kTextId = 100;
constexpr int kIconId = 101;

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

struct TextBoxState {
    std::wstring text;
    bool fixed_pitch;
    Font font;
    LPCWSTR icon = nullptr;
};

// The text box fills the dialog above OK, which keeps the bottom right
// corner, and right of the icon when there is one.
void place_text_box(HWND dialog) {
    RECT client{};
    GetClientRect(dialog, &client);
    RECT units{7, 7, 50, 14};  // margin, margin, button width, button height
    MapDialogRect(dialog, &units);
    const int margin = units.left, button_width = units.right, button_height = units.bottom;
    int left = margin;
    if (const HWND icon = GetDlgItem(dialog, kIconId)) {
        const int size = GetSystemMetricsForDpi(SM_CXICON, GetDpiForWindow(dialog));
        SetWindowPos(icon, nullptr, margin, margin, size, size, SWP_NOZORDER);
        left += size + margin;
    }
    SetWindowPos(GetDlgItem(dialog, kTextId), nullptr, left, margin, client.right - left - margin,
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

INT_PTR CALLBACK text_box_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG: {
            auto* state = reinterpret_cast<TextBoxState*>(lparam);
            const HWND text = GetDlgItem(dialog, kTextId);
            if (state->fixed_pitch) {
                state->font = make_font({L"Consolas", 9, false, false, true}, GetDpiForWindow(dialog));
                SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(state->font.get()), FALSE);
            }
            if (state->icon)
                SendDlgItemMessageW(dialog, kIconId, STM_SETICON,
                                    reinterpret_cast<WPARAM>(LoadIconW(nullptr, state->icon)), 0);
            SendMessageW(text, EM_SETLIMITTEXT, 0, 0);
            SetWindowTextW(text, state->text.c_str());
            fit_on_screen(dialog);
            place_text_box(dialog);
            // A warning is answered with Return, as a message box is; a text
            // to read takes the keys that scroll it.
            SetFocus(state->icon ? GetDlgItem(dialog, IDOK) : text);
            SendMessageW(text, EM_SETSEL, 0, 0);
            return FALSE;
        }
        case WM_SIZE: place_text_box(dialog); return TRUE;
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

// A dialog with the text in a read-only box that scrolls, OK, and an icon
// when one is given (IDI_WARNING, IDI_ERROR).
void text_box(HWND owner, const std::wstring& title, const std::wstring& text, bool fixed_pitch, LPCWSTR icon) {
    DialogTemplate dialog(DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME,
                          380, 250, title, icon ? 3 : 2);
    if (icon) dialog.item(SS_ICON, 0x0082, kIconId, L"");
    // A proportional text breaks its lines at the box's edge; a table of
    // columns in a fixed-pitch font keeps them and scrolls sideways.
    dialog.item(ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP |
                    (fixed_pitch ? ES_AUTOHSCROLL | WS_HSCROLL : 0),
                0x0081, kTextId, L"");
    dialog.item(BS_DEFPUSHBUTTON | WS_TABSTOP, 0x0080, IDOK, L"OK");
    TextBoxState state{{}, fixed_pitch, {}, icon};
    // The edit control breaks lines at CR LF only.
    for (const wchar_t c : text) {
        if (c == L'\n') state.text += L'\r';
        state.text += c;
    }
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.get(), owner, text_box_procedure,
                            reinterpret_cast<LPARAM>(&state));
}

// Whether a message box of this text stays within the screen of its owner:
// its lines as the narrowest box breaks them (Wine's, 300 pixels at 96 dots
// per inch; Windows' grows wider), the caption, the button and the margins.
bool fits_in_message_box(HWND owner, const std::wstring& text) {
    const UINT dpi = owner ? GetDpiForWindow(owner) : GetDpiForSystem();
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi);
    Font font(CreateFontIndirectW(&metrics.lfMessageFont));
    RECT area{0, 0, std::min<LONG>((work.right - work.left) / 2, scaled(300, dpi)), 0};
    HDC dc = GetDC(owner);
    const HGDIOBJ old = SelectObject(dc, font.get());
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(owner, dc);
    const int rest = GetSystemMetricsForDpi(SM_CYCAPTION, dpi) + scaled(100, dpi);
    return area.bottom + rest <= work.bottom - work.top;
}

}  // namespace

void message_box(HWND owner, window::BoxIcon icon, const std::wstring& title, const std::wstring& text) {
    const bool warning = icon == window::BoxIcon::Warning;
    // A box taller than the screen would hide its OK button: a long text
    // goes into a box that scrolls.
    if (!fits_in_message_box(owner, text)) {
        text_box(owner, title, text, false, warning ? IDI_WARNING : IDI_ERROR);
        return;
    }
    MessageBoxW(owner, text.c_str(), title.c_str(), MB_OK | (warning ? MB_ICONWARNING : MB_ICONERROR));
}

void details_box(HWND owner, const std::wstring& title, const std::wstring& text) {
    text_box(owner, title, text, true, nullptr);
}

}  // namespace marrowgate::win32
