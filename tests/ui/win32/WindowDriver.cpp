#include "ui/win32/WindowDriver.h"

#include <shlobj.h>

namespace marrowgate::test {

namespace {

constexpr UINT kWait = 5000;  // ms a marshalled message may take

LRESULT send(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(hwnd, message, wparam, lparam, SMTO_ABORTIFHUNG, kWait, &result);
    return static_cast<LRESULT>(result);
}

std::wstring class_of(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

BoxAnswerer* current_answerer = nullptr;

}  // namespace

HWND find_control(HWND top, window::Control control) {
    struct Search {
        int id;
        HWND found;
    } search{window::control_id(control), nullptr};
    EnumChildWindows(
        top,
        [](HWND child, LPARAM data) -> BOOL {
            auto* search = reinterpret_cast<Search*>(data);
            if (GetDlgCtrlID(child) != search->id) return TRUE;
            search->found = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND find_form(DWORD process_id, const std::wstring& window_class) {
    struct Search {
        DWORD process;
        const std::wstring& window_class;
        HWND found;
    } search{process_id, window_class, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* search = reinterpret_cast<Search*>(data);
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process != search->process || class_of(window) != search->window_class || !IsWindowVisible(window))
                return TRUE;
            search->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring text_of(HWND hwnd) {
    std::wstring text(4096, L'\0');
    const auto length = send(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

std::wstring caption_of(HWND hwnd) {
    std::wstring caption;
    const std::wstring text = text_of(hwnd);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size()) ++i;
        caption += text[i];
    }
    return caption;
}

bool shown(HWND hwnd) { return (GetWindowLongW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0; }

bool checked(HWND hwnd) { return send(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void click(HWND hwnd) { send(hwnd, BM_CLICK, 0, 0); }

int row_count(HWND list) { return static_cast<int>(send(list, LVM_GETITEMCOUNT, 0, 0)); }

std::wstring cell(HWND list, int row, int column) {
    wchar_t text[512] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 512;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

void select_row(HWND list, int row) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

HDROP drop_of(const std::vector<std::filesystem::path>& files) {
    std::wstring names;
    for (const auto& file : files) {
        names += file.wstring();
        names += L'\0';
    }
    names += L'\0';
    const std::size_t size = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, size);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::copy(names.begin(), names.end(), reinterpret_cast<wchar_t*>(drop + 1));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

bool pump_until(const std::function<bool()>& done, const std::function<bool(MSG&)>& translate,
                std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (translate && translate(message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

BoxAnswerer::BoxAnswerer() {
    current_answerer = this;
    timer_ = SetTimer(nullptr, 0, 20, tick);
}

BoxAnswerer::~BoxAnswerer() {
    KillTimer(nullptr, timer_);
    current_answerer = nullptr;
}

void CALLBACK BoxAnswerer::tick(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), answer, 0);
}

BOOL CALLBACK BoxAnswerer::answer(HWND window, LPARAM) {
    if (!current_answerer || class_of(window) != L"#32770" || !IsWindowVisible(window) ||
        text_of(window) != L"Vorlane")
        return TRUE;
    std::wstring said;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM data) -> BOOL {
            if (class_of(child) == L"Static" || class_of(child) == L"Edit")
                *reinterpret_cast<std::wstring*>(data) += text_of(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&said));
    current_answerer->texts.push_back(said);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    RECT box{}, within{};
    GetWindowRect(window, &box);
    current_answerer->on_screen.push_back(IntersectRect(&within, &box, &monitor.rcWork) && EqualRect(&within, &box));
    click(GetDlgItem(window, IDOK));
    return TRUE;
}

}  // namespace marrowgate::test
