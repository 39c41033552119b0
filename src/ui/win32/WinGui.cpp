#include "ui/win32/WinGui.h"

#include <algorithm>
#include <system_error>

namespace marrowgate::win32 {

namespace {

constexpr const wchar_t* kControlProperty = L"MarrowgateControl";
constexpr const wchar_t* kPanelClass = L"MarrowgatePanel";

HINSTANCE instance() { return GetModuleHandleW(nullptr); }

[[noreturn]] void fail(const char* what) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), what);
}

bool is_push_button(HWND hwnd) {
    wchar_t name[16] = {};
    if (!hwnd || !GetClassNameW(hwnd, name, 16) || lstrcmpiW(name, L"Button") != 0) return false;
    const LONG type = GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

// The caption as drawn: "&" marks the access key, "&&" is one "&".
std::wstring without_access_mark(const std::wstring& text) {
    std::wstring drawn;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size()) ++i;
        drawn += text[i];
    }
    return drawn;
}

// A control that is hidden or disabled while it has the focus hands it on,
// so that the keyboard never ends on a control it cannot use.
void pass_focus_on(HWND hwnd) {
    if (GetFocus() != hwnd) return;
    const HWND top = GetAncestor(hwnd, GA_ROOT);
    const HWND next = GetNextDlgTabItem(top, hwnd, FALSE);
    SetFocus(next && next != hwnd ? next : top);
}

}  // namespace

Font make_font(const FontStyle& style, UINT dpi) {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(style.points, static_cast<int>(dpi), 72);
    font.lfWeight = style.bold ? FW_BOLD : FW_NORMAL;
    font.lfUnderline = style.underline ? TRUE : FALSE;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = CLEARTYPE_QUALITY;
    if (style.fixed_pitch) font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    lstrcpynW(font.lfFaceName, style.face, LF_FACESIZE);
    return Font(CreateFontIndirectW(&font));
}

SIZE text_extent(HWND window, HFONT font, const std::wstring& text) {
    SIZE size{};
    HDC dc = GetDC(window);
    const HGDIOBJ old = SelectObject(dc, font);
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return size;
}

int line_height(HWND window, HFONT font) {
    TEXTMETRICW metrics{};
    HDC dc = GetDC(window);
    const HGDIOBJ old = SelectObject(dc, font);
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return metrics.tmHeight;
}

std::vector<std::filesystem::path> dropped_files(HDROP drop) {
    std::vector<std::filesystem::path> files;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring name(length + 1, L'\0');
        DragQueryFileW(drop, i, name.data(), length + 1);
        name.resize(length);
        files.emplace_back(name);
    }
    DragFinish(drop);
    return files;
}

// --- Widget -------------------------------------------------------------------------

Widget::Widget(const ControlArgs& args, const wchar_t* window_class, DWORD style, DWORD ex_style) {
    style |= WS_CHILD | WS_VISIBLE;
    if (args.tab_stop) style |= WS_TABSTOP;
    if (args.group) style |= WS_GROUP;
    hwnd_ = CreateWindowExW(ex_style, window_class, args.text.c_str(), style, 0, 0, 0, 0, args.parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(args.id)), instance(), nullptr);
    if (!hwnd_) fail("CreateWindowExW");
    SetPropW(hwnd_, kControlProperty, this);
    if (args.font) set_font(args.font);
}

Widget::~Widget() {
    if (IsWindow(hwnd_)) RemovePropW(hwnd_, kControlProperty);
}

Widget* Widget::from(HWND hwnd) {
    return hwnd ? static_cast<Widget*>(GetPropW(hwnd, kControlProperty)) : nullptr;
}

void Widget::set_text(const std::wstring& text) { SetWindowTextW(hwnd_, text.c_str()); }

std::wstring Widget::text() const {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd_)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size()))));
    return text;
}

void Widget::set_enabled(bool enabled) {
    if (!enabled) pass_focus_on(hwnd_);
    EnableWindow(hwnd_, enabled ? TRUE : FALSE);
}

bool Widget::enabled() const { return IsWindowEnabled(hwnd_) != FALSE; }

void Widget::set_visible(bool visible) {
    if (!visible) pass_focus_on(hwnd_);
    ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

void Widget::set_font(HFONT font) { SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE); }

HFONT Widget::font() const { return reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0)); }

void Widget::place(int x, int y, int width, int height) {
    SetWindowPos(hwnd_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT Widget::bounds() const {
    RECT rect{};
    GetWindowRect(hwnd_, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(hwnd_), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

SIZE Widget::text_size() const {
    wchar_t name[16] = {};
    GetClassNameW(hwnd_, name, 16);
    const bool marked = lstrcmpiW(name, L"Button") == 0;
    return text_extent(hwnd_, font(), marked ? without_access_mark(text()) : text());
}

void Widget::command(WORD) {}

LRESULT Widget::notify(const NMHDR&) { return 0; }

HBRUSH Widget::colours(HDC dc, HBRUSH parent_background) {
    SetBkMode(dc, TRANSPARENT);
    if (text_colour != CLR_INVALID) SetTextColor(dc, text_colour);
    return parent_background;
}

// --- buttons ---------------------------------------------------------------------------

Button::Button(const ControlArgs& args) : Button(args, BS_PUSHBUTTON) {}

Button::Button(const ControlArgs& args, DWORD type) : Widget(args, WC_BUTTONW, type) {}

void Button::command(WORD code) {
    // A click queued before the button was disabled does nothing.
    if (code == BN_CLICKED && enabled() && on_click) on_click();
}

CheckBox::CheckBox(const ControlArgs& args) : Button(args, BS_AUTOCHECKBOX) {}

void CheckBox::set_checked(bool checked) {
    SendMessageW(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool CheckBox::checked() const { return SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void CheckBox::command(WORD code) {
    if (code == BN_CLICKED && enabled() && on_toggle) on_toggle(checked());
}

OptionButton::OptionButton(const ControlArgs& args) : Button(args, BS_RADIOBUTTON) {}

void OptionButton::set_checked(bool checked) {
    SendMessageW(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

// --- labels and the text box -------------------------------------------------------------

Label::Label(const LabelArgs& args)
    : Widget(args, WC_STATICW,
              SS_LEFT | SS_NOPREFIX | (args.clickable ? SS_NOTIFY : 0) | (args.ellipsis ? SS_ENDELLIPSIS : 0)) {}

void Label::command(WORD code) {
    if (code == STN_CLICKED && on_click) on_click();
}

ReadOnlyEdit::ReadOnlyEdit(const ControlArgs& args)
    : Widget(args, WC_EDITW, ES_LEFT | ES_AUTOHSCROLL | ES_READONLY, WS_EX_CLIENTEDGE) {}

HBRUSH ReadOnlyEdit::colours(HDC dc, HBRUSH) {
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    return GetSysColorBrush(COLOR_WINDOW);
}

// --- the list ------------------------------------------------------------------------------

ListView::ListView(const ControlArgs& args)
    : Widget(args, WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
              WS_EX_CLIENTEDGE) {
    ListView_SetExtendedListViewStyle(hwnd_, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_DOUBLEBUFFER);
    SetWindowSubclass(hwnd_, subclass, 1, reinterpret_cast<DWORD_PTR>(this));
}

ListView::~ListView() {
    if (IsWindow(hwnd_)) RemoveWindowSubclass(hwnd_, subclass, 1);
}

LRESULT CALLBACK ListView::subclass(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                    DWORD_PTR data) {
    if (message == WM_DROPFILES) {
        auto files = dropped_files(reinterpret_cast<HDROP>(wparam));
        auto* list = reinterpret_cast<ListView*>(data);
        if (list->on_drop) list->on_drop(std::move(files));
        return 0;
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, subclass, 1);
    return DefSubclassProc(hwnd, message, wparam, lparam);
}

void ListView::add_column(const std::wstring& text, int width) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(text.c_str());
    ListView_InsertColumn(hwnd_, columns(), &column);
}

void ListView::set_column_width(int column, int width) { ListView_SetColumnWidth(hwnd_, column, width); }

int ListView::columns() const { return Header_GetItemCount(ListView_GetHeader(hwnd_)); }

void ListView::clear() {
    ListView_DeleteAllItems(hwnd_);
    tips_.clear();
}

void ListView::append(const std::vector<std::wstring>& cells, const std::wstring& tip) {
    if (cells.empty()) return;
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = ListView_GetItemCount(hwnd_);
    item.pszText = const_cast<wchar_t*>(cells[0].c_str());
    const int row = ListView_InsertItem(hwnd_, &item);
    if (row < 0) return;
    for (std::size_t i = 1; i < cells.size(); ++i)
        ListView_SetItemText(hwnd_, row, static_cast<int>(i), const_cast<wchar_t*>(cells[i].c_str()));
    tips_.resize(static_cast<std::size_t>(row) + 1);
    tips_[static_cast<std::size_t>(row)] = tip;
}

std::optional<int> ListView::selected() const {
    const int row = ListView_GetNextItem(hwnd_, -1, LVNI_SELECTED);
    if (row < 0) return std::nullopt;
    return row;
}

int ListView::header_height() const {
    RECT area{0, 0, 4096, 4096};
    WINDOWPOS position{};
    HDLAYOUT layout{&area, &position};
    Header_Layout(ListView_GetHeader(hwnd_), &layout);
    return position.cy;
}

int ListView::row_height() const {
    // Measured on a row, as the control lays rows out for its font.
    RECT rect{};
    if (ListView_GetItemCount(hwnd_) > 0) {
        ListView_GetItemRect(hwnd_, 0, &rect, LVIR_BOUNDS);
        return rect.bottom - rect.top;
    }
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.pszText = const_cast<wchar_t*>(L"");
    ListView_InsertItem(hwnd_, &item);
    ListView_GetItemRect(hwnd_, 0, &rect, LVIR_BOUNDS);
    ListView_DeleteItem(hwnd_, 0);
    return rect.bottom - rect.top;
}

void ListView::accept_drops(bool accept) { DragAcceptFiles(hwnd_, accept ? TRUE : FALSE); }

LRESULT ListView::notify(const NMHDR& header) {
    if (header.code == LVN_KEYDOWN) {
        const auto& key = reinterpret_cast<const NMLVKEYDOWN&>(header);
        if (key.wVKey == VK_DELETE && on_delete_key) on_delete_key();
    } else if (header.code == LVN_GETINFOTIPW) {
        auto& tip = const_cast<NMLVGETINFOTIPW&>(reinterpret_cast<const NMLVGETINFOTIPW&>(header));
        if (tip.iItem >= 0 && static_cast<std::size_t>(tip.iItem) < tips_.size() && tip.cchTextMax > 0)
            lstrcpynW(tip.pszText, tips_[static_cast<std::size_t>(tip.iItem)].c_str(), tip.cchTextMax);
    }
    return 0;
}

// --- panels ----------------------------------------------------------------------------------

namespace {

const wchar_t* panel_class(WNDPROC procedure) {
    static const bool registered = [procedure] {
        WNDCLASSEXW window_class{};
        window_class.cbSize = sizeof window_class;
        window_class.lpfnWndProc = procedure;
        window_class.hInstance = instance();
        window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        window_class.lpszClassName = kPanelClass;
        return RegisterClassExW(&window_class) != 0;
    }();
    if (!registered) fail("RegisterClassExW");
    return kPanelClass;
}

}  // namespace

Panel::Panel(const PanelArgs& args)
    : Widget(ControlArgs{args.parent, args.id, L"", nullptr, false, false}, panel_class(procedure), WS_CLIPCHILDREN,
              WS_EX_CONTROLPARENT),
      fill_(args.fill),
      border_(args.border) {}

void Panel::set_picture(HBITMAP picture) {
    picture_ = picture;
    rendered_ = {};
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Panel::render() {
    RECT client{};
    GetClientRect(hwnd_, &client);
    const SIZE size{std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1)};
    if (background_.get() && size.cx == rendered_.cx && size.cy == rendered_.cy) return;
    HDC screen = GetDC(hwnd_);
    HDC dc = CreateCompatibleDC(screen);
    Bitmap surface(CreateCompatibleBitmap(screen, size.cx, size.cy));
    const HGDIOBJ old = SelectObject(dc, surface.get());
    const RECT area{0, 0, size.cx, size.cy};
    SetDCBrushColor(dc, fill_);
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    BITMAP picture{};
    if (picture_ && GetObjectW(picture_, sizeof picture, &picture)) {
        HDC source = CreateCompatibleDC(screen);
        const HGDIOBJ old_source = SelectObject(source, picture_);
        BitBlt(dc, 0, 0, std::min<LONG>(picture.bmWidth, size.cx), std::min<LONG>(picture.bmHeight, size.cy), source,
               0, 0, SRCCOPY);
        SelectObject(source, old_source);
        DeleteDC(source);
    }
    if (border_ != CLR_INVALID) {
        SetDCBrushColor(dc, border_);
        FrameRect(dc, &area, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(hwnd_, screen);
    brush_.reset(CreatePatternBrush(surface.get()));
    background_ = std::move(surface);
    rendered_ = size;
}

void Panel::paint(HDC target) {
    render();
    HDC dc = CreateCompatibleDC(target);
    const HGDIOBJ old = SelectObject(dc, background_.get());
    BitBlt(target, 0, 0, rendered_.cx, rendered_.cy, dc, 0, 0, SRCCOPY);
    SelectObject(dc, old);
    DeleteDC(dc);
}

LRESULT CALLBACK Panel::procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* panel = static_cast<Panel*>(Widget::from(hwnd));
    if (!panel) return DefWindowProcW(hwnd, message, wparam, lparam);
    switch (message) {
        case WM_SIZE:
            // Every control on it paints its background from the new picture.
            RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
            return 0;
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: {
            PAINTSTRUCT paint{};
            HDC dc = BeginPaint(hwnd, &paint);
            panel->paint(dc);
            EndPaint(hwnd, &paint);
            return 0;
        }
        case WM_PRINTCLIENT: panel->paint(reinterpret_cast<HDC>(wparam)); return 0;
        case WM_SETCURSOR:
            // The window decides (the hourglass, a control's own pointer).
            if (reinterpret_cast<HWND>(wparam) != hwnd)
                return SendMessageW(GetParent(hwnd), WM_SETCURSOR, wparam, lparam);
            break;
        default: {
            panel->render();
            LRESULT result = 0;
            if (dispatch_control_message(hwnd, message, wparam, lparam, panel->brush_.get(), result)) return result;
        }
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

// --- the dispatch ------------------------------------------------------------------------------

bool dispatch_control_message(HWND parent, UINT message, WPARAM wparam, LPARAM lparam, HBRUSH background,
                              LRESULT& result) {
    switch (message) {
        case WM_COMMAND: {
            Widget* control = Widget::from(reinterpret_cast<HWND>(lparam));
            if (!control) return false;
            control->command(HIWORD(wparam));
            result = 0;
            return true;
        }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            Widget* control = Widget::from(header->hwndFrom);
            if (!control) return false;
            result = control->notify(*header);
            return true;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT: {
            const auto child = reinterpret_cast<HWND>(lparam);
            Widget* control = Widget::from(child);
            if (!control || !background) return false;
            POINT origin{};
            MapWindowPoints(child, parent, &origin, 1);
            const auto dc = reinterpret_cast<HDC>(wparam);
            SetBrushOrgEx(dc, -origin.x, -origin.y, nullptr);
            result = reinterpret_cast<LRESULT>(control->colours(dc, background));
            return true;
        }
        default: return false;
    }
}

// --- the top-level window -----------------------------------------------------------------------

namespace {

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;

}  // namespace

Window::Window(const WindowArgs& args) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = instance();
    window_class.hIcon = args.icon;
    window_class.hIconSm = args.small_icon;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = args.class_name;
    if (!RegisterClassExW(&window_class) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) fail("RegisterClassExW");
    if (!CreateWindowExW(kWindowExStyle, args.class_name, args.title.c_str(), kWindowStyle, CW_USEDEFAULT,
                         CW_USEDEFAULT, 640, 480, nullptr, nullptr, instance(), this))
        fail("CreateWindowExW");
}

Window::~Window() { destroy(); }

LRESULT CALLBACK Window::procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    Window* window = nullptr;
    if (message == WM_NCCREATE) {
        window = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        window->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    } else {
        window = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!window) return DefWindowProcW(hwnd, message, wparam, lparam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        window->hwnd_ = nullptr;
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    return window->handle(message, wparam, lparam);
}

LRESULT Window::handle(UINT message, WPARAM wparam, LPARAM lparam) {
    LRESULT result = 0;
    if (dispatch_control_message(hwnd_, message, wparam, lparam, GetSysColorBrush(COLOR_BTNFACE), result))
        return result;
    switch (message) {
        case WM_CLOSE:
            if (on_close()) destroy();
            return 0;
        case WM_DESTROY: on_destroyed(); return 0;
        case WM_DPICHANGED: on_dpi_changed(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam)); return 0;
        case WM_DROPFILES: on_files_dropped(dropped_files(reinterpret_cast<HDROP>(wparam))); return 0;
        case WM_APP: on_wake(); return 0;
        case WM_SETCURSOR: {
            const auto over = reinterpret_cast<HWND>(wparam);
            const bool client = LOWORD(lparam) == HTCLIENT;
            if (busy_ && client) {
                SetCursor(LoadCursorW(nullptr, IDC_WAIT));
                return TRUE;
            }
            if (const Widget* control = Widget::from(over); control && control->cursor && client) {
                SetCursor(control->cursor);
                return TRUE;
            }
            // A control sets its own pointer.
            if (over != hwnd_) return FALSE;
            break;
        }
        case WM_ACTIVATE:
            if (LOWORD(wparam) == WA_INACTIVE) {
                const HWND focus = GetFocus();
                if (focus && IsChild(hwnd_, focus)) last_focus_ = focus;
            }
            break;
        case WM_SETFOCUS: {
            // Back to the control that had the focus when the window was left.
            HWND target = last_focus_;
            if (!target || !IsWindow(target) || !IsWindowVisible(target) || !IsWindowEnabled(target))
                target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
            if (target) SetFocus(target);
            return 0;
        }
        default: break;
    }
    return DefWindowProcW(hwnd_, message, wparam, lparam);
}

UINT Window::dpi() const { return hwnd_ ? GetDpiForWindow(hwnd_) : USER_DEFAULT_SCREEN_DPI; }

void Window::show(int how) {
    ShowWindow(hwnd_, how);
    UpdateWindow(hwnd_);
}

void Window::set_client_size(int width, int height) {
    RECT rect{0, 0, width, height};
    AdjustWindowRectExForDpi(&rect, kWindowStyle, FALSE, kWindowExStyle, dpi());
    SetWindowPos(hwnd_, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Window::destroy() {
    if (hwnd_) DestroyWindow(hwnd_);
}

void Window::accept_drops(bool accept) { DragAcceptFiles(hwnd_, accept ? TRUE : FALSE); }

bool Window::translate(MSG& message) {
    if (!hwnd_ || (message.hwnd != hwnd_ && !IsChild(hwnd_, message.hwnd))) return false;
    if (message.message == WM_KEYDOWN) {
        if (on_key(message.wParam)) return true;
        const HWND focus = GetFocus();
        if (message.wParam == VK_RETURN && is_push_button(focus)) {
            SendMessageW(focus, BM_CLICK, 0, 0);
            return true;
        }
    }
    return IsDialogMessageW(hwnd_, &message) != FALSE;
}

void Window::set_busy(bool busy) {
    busy_ = busy;
    POINT at{};
    GetCursorPos(&at);
    const HWND over = WindowFromPoint(at);
    if (over && (over == hwnd_ || IsChild(hwnd_, over)))
        SendMessageW(over, WM_SETCURSOR, reinterpret_cast<WPARAM>(over), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

// --- tips and calls from other threads -------------------------------------------------------------

Tooltips::Tooltips(HWND owner) : owner_(owner) {}

void Tooltips::set(HWND control, const std::wstring& text) {
    if (!tips_) {
        tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner_, nullptr,
                                instance(), nullptr);
        if (!tips_) return;
        SendMessageW(tips_, TTM_SETMAXTIPWIDTH, 0, 600);
    }
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = owner_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<wchar_t*>(text.c_str());
    const bool known = std::find(controls_.begin(), controls_.end(), control) != controls_.end();
    SendMessageW(tips_, known ? TTM_UPDATETIPTEXTW : TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    if (!known) controls_.push_back(control);
}

void CallQueue::open(HWND target) {
    const std::lock_guard lock(mutex_);
    target_ = target;
}

void CallQueue::post(std::function<void()> call) {
    const std::lock_guard lock(mutex_);
    if (!target_) return;
    calls_.push_back(std::move(call));
    if (calls_.size() == 1) PostMessageW(target_, WM_APP, 0, 0);
}

void CallQueue::run() {
    // The calls waiting now, then back to the loop, which paints and takes
    // the user's input before the next ones: a thread that posts faster than
    // they run cannot hold the window.
    std::size_t waiting = 0;
    {
        const std::lock_guard lock(mutex_);
        waiting = calls_.size();
    }
    for (; waiting > 0; --waiting) {
        std::function<void()> call;
        {
            const std::lock_guard lock(mutex_);
            if (calls_.empty()) return;
            call = std::move(calls_.front());
            calls_.pop_front();
        }
        call();
    }
    const std::lock_guard lock(mutex_);
    if (!calls_.empty() && target_) PostMessageW(target_, WM_APP, 0, 0);
}

void CallQueue::close() {
    std::deque<std::function<void()>> dropped;
    const std::lock_guard lock(mutex_);
    target_ = nullptr;
    dropped.swap(calls_);
}

}  // namespace marrowgate::win32
