#include "WindowDriver.h"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>

namespace marrowgate::driver {

namespace {

// Window classes are named without regard to case.
bool is_class(HWND window, const wchar_t* name) { return _wcsicmp(class_of(window).c_str(), name) == 0; }

BoxAnswerer* current_answerer = nullptr;

}  // namespace

std::optional<DWORD_PTR> send(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT wait) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_NORMAL, wait, &result)) return std::nullopt;
    return result;
}

std::wstring text_of(HWND window) {
    const auto length = send(window, WM_GETTEXTLENGTH);
    if (!length) return {};
    std::wstring text(*length + 1, L'\0');
    const auto copied = send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied ? std::min<std::size_t>(*copied, text.size()) : 0);
    return text;
}

std::wstring caption_of(HWND window) {
    std::wstring caption;
    const std::wstring text = text_of(window);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size()) ++i;
        caption += text[i];
    }
    return caption;
}

std::wstring class_of(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

bool shown(HWND window) { return (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

bool checked(HWND button) { return send(button, BM_GETCHECK).value_or(0) == static_cast<DWORD_PTR>(BST_CHECKED); }

void click(HWND button) { send(button, BM_CLICK, 0, 0, kClickWait); }

std::vector<HWND> children(HWND parent) {
    std::vector<HWND> found;
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM data) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(data)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND find_control(HWND top, window::Control control) {
    for (HWND child : children(top))
        if (GetDlgCtrlID(child) == window::control_id(control)) return child;
    return nullptr;
}

std::vector<HWND> windows_of(DWORD process_id, std::wstring_view window_class) {
    struct Search {
        DWORD process;
        std::wstring class_name;
        std::vector<HWND> found;
    } search{process_id, std::wstring(window_class), {}};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto& search = *reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == search.process && IsWindowVisible(window) && is_class(window, search.class_name.c_str()))
                search.found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND find_form(DWORD process_id, std::wstring_view window_class) {
    const auto found = windows_of(process_id, window_class);
    return found.empty() ? nullptr : found.front();
}

std::vector<HWND> boxes_of(DWORD process_id) {
    std::vector<HWND> boxes = windows_of(process_id, kBoxClass);
    std::erase_if(boxes, [](HWND box) { return text_of(box) != kBoxTitle; });
    return boxes;
}

std::wstring box_text(HWND box) {
    std::wstring text;
    for (HWND child : children(box))
        if (is_class(child, L"Static") || is_class(child, L"Edit")) text += text_of(child);
    return text;
}

HWND ok_button(HWND box) {
    for (HWND child : children(box))
        if (GetDlgCtrlID(child) == IDOK && is_class(child, L"Button")) return child;
    return nullptr;
}

int row_count(HWND list) { return static_cast<int>(send(list, LVM_GETITEMCOUNT).value_or(0)); }

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
    for (HWND box : boxes_of(GetCurrentProcessId())) {
        if (!current_answerer) return;
        current_answerer->texts.push_back(box_text(box));
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromWindow(box, MONITOR_DEFAULTTONEAREST), &monitor);
        RECT area{}, within{};
        GetWindowRect(box, &area);
        current_answerer->on_screen.push_back(IntersectRect(&within, &area, &monitor.rcWork) &&
                                              EqualRect(&within, &area));
        click(ok_button(box));
    }
}

std::wstring quoted_argument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring text = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        text.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        text += c;
    }
    text.append(backslashes * 2, L'\\');
    return text + L'"';
}

Process::Process(std::wstring command_line) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    started_ = CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &process_);
    if (!started_) {
        error_ = GetLastError();
        return;
    }
    CloseHandle(process_.hThread);
}

Process::~Process() {
    if (!started_) return;
    end();
    CloseHandle(process_.hProcess);
}

std::optional<DWORD> Process::wait(std::chrono::milliseconds limit) const {
    if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD status = 0;
    GetExitCodeProcess(process_.hProcess, &status);
    return status;
}

bool Process::end() {
    if (!started_ || WaitForSingleObject(process_.hProcess, 0) != WAIT_TIMEOUT) return false;
    TerminateProcess(process_.hProcess, 1);
    return true;
}

}  // namespace marrowgate::driver
