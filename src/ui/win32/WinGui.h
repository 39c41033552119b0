// A thin layer over the Win32 controls the window uses. Each control is a
// small object created from a struct of arguments; its events are plain
// callbacks. Only this layer creates windows and reads WM_COMMAND, WM_NOTIFY
// and the colour and cursor questions of the controls; the window above it
// places controls, sets their texts and answers their callbacks.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace marrowgate::win32 {

// A length given for 96 dots per inch, at `dpi`.
inline int scaled(int length, UINT dpi) { return MulDiv(length, static_cast<int>(dpi), 96); }

// A GDI object, deleted when it goes.
template <class Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : handle_(handle) {}
    ~GdiObject() { reset(); }
    GdiObject(GdiObject&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    GdiObject& operator=(GdiObject&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = other.handle_;
            other.handle_ = nullptr;
        }
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    Handle get() const { return handle_; }
    void reset(Handle handle = nullptr) {
        if (handle_) DeleteObject(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = nullptr;
};
using Font = GdiObject<HFONT>;
using Bitmap = GdiObject<HBITMAP>;
using Brush = GdiObject<HBRUSH>;

struct FontStyle {
    const wchar_t* face;
    int points;
    bool bold = false;
    bool underline = false;
    bool fixed_pitch = false;
};
Font make_font(const FontStyle& style, UINT dpi);
// The size of a text in a font.
SIZE text_extent(HWND window, HFONT font, const std::wstring& text);
// The height of a line of the font.
int line_height(HWND window, HFONT font);

// The files of a drop from Explorer; the drop is finished.
std::vector<std::filesystem::path> dropped_files(HDROP drop);

struct ControlArgs {
    HWND parent = nullptr;
    int id = 0;
    std::wstring text;
    HFONT font = nullptr;
    bool tab_stop = false;
    // The first control of a group (the options), reached by Tab; arrows move within.
    bool group = false;
};

// One control: a child window of a standard class, found again from its
// window handle.
class Widget {
public:
    virtual ~Widget();
    Widget(const Widget&) = delete;
    Widget& operator=(const Widget&) = delete;

    HWND hwnd() const { return hwnd_; }
    void set_text(const std::wstring& text);
    std::wstring text() const;
    void set_enabled(bool enabled);
    bool enabled() const;
    void set_visible(bool visible);
    void set_font(HFONT font);
    HFONT font() const;
    void place(int x, int y, int width, int height);
    // Its position in its parent.
    RECT bounds() const;
    // The size of its text in its font.
    SIZE text_size() const;

    // The colour of its text over its parent's background; CLR_INVALID: the system's.
    COLORREF text_colour = CLR_INVALID;
    // The pointer over it; nullptr: the usual one.
    HCURSOR cursor = nullptr;

    // The layer's dispatch: its parent received a message about it.
    virtual void command(WORD code);
    virtual LRESULT notify(const NMHDR& header);
    // WM_CTLCOLOR*: the brush its background is painted with, its parent's
    // by default, so that it sits on the parent's picture.
    virtual HBRUSH colours(HDC dc, HBRUSH parent_background);

    // The control of a window, when it is one of this layer's.
    static Widget* from(HWND hwnd);

protected:
    Widget(const ControlArgs& args, const wchar_t* window_class, DWORD style, DWORD ex_style = 0);
    HWND hwnd_ = nullptr;
};

class Button : public Widget {
public:
    explicit Button(const ControlArgs& args);
    std::function<void()> on_click;
    void command(WORD code) override;

protected:
    Button(const ControlArgs& args, DWORD type);
};

// A check box the user toggles; on_click gets its new state.
class CheckBox : public Button {
public:
    explicit CheckBox(const ControlArgs& args);
    void set_checked(bool checked);
    bool checked() const;
    std::function<void(bool)> on_toggle;
    void command(WORD code) override;
};

// An option of a group. Clicking it checks nothing by itself: whoever
// answers on_click checks the options.
class OptionButton : public Button {
public:
    explicit OptionButton(const ControlArgs& args);
    void set_checked(bool checked);
};

struct LabelArgs : ControlArgs {
    // Clickable (on_click): the link.
    bool clickable = false;
    // The text cut with "..." where it does not fit: a path.
    bool ellipsis = false;
};

class Label : public Widget {
public:
    explicit Label(const LabelArgs& args);
    std::function<void()> on_click;
    void command(WORD code) override;
};

// A one-line text box the user reads and cannot change.
class ReadOnlyEdit : public Widget {
public:
    explicit ReadOnlyEdit(const ControlArgs& args);
    HBRUSH colours(HDC dc, HBRUSH parent_background) override;
};

// A report-style list of whole rows, one selected at a time, that takes
// files dropped from Explorer.
class ListView : public Widget {
public:
    explicit ListView(const ControlArgs& args);
    ~ListView() override;
    // Appends a left-aligned column.
    void add_column(const std::wstring& text, int width);
    void set_column_width(int column, int width);
    int columns() const;
    void clear();
    // A row: its cells and the tip shown over it.
    void append(const std::vector<std::wstring>& cells, const std::wstring& tip);
    std::optional<int> selected() const;
    // The height of the header and of one row, as the control draws them.
    int header_height() const;
    int row_height() const;
    void accept_drops(bool accept);

    std::function<void()> on_delete_key;
    std::function<void(std::vector<std::filesystem::path>)> on_drop;
    LRESULT notify(const NMHDR& header) override;

private:
    static LRESULT CALLBACK subclass(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    std::vector<std::wstring> tips_;
};

// A container that paints a fill, a picture at its top left corner and a
// border, and hosts controls that sit on that picture (picBanner, Frame1,
// Picture1).
struct PanelArgs {
    HWND parent = nullptr;
    int id = 0;
    COLORREF fill = RGB(255, 255, 255);
    COLORREF border = CLR_INVALID;
};

class Panel : public Widget {
public:
    explicit Panel(const PanelArgs& args);
    // Not owned; nullptr for none.
    void set_picture(HBITMAP picture);

private:
    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    // The background as it is painted: fill, picture and border, at the panel's size.
    void render();
    void paint(HDC dc);

    COLORREF fill_;
    COLORREF border_;
    HBITMAP picture_ = nullptr;
    Bitmap background_;
    Brush brush_;
    SIZE rendered_{};
};

// A top-level window with the keyboard of a dialog: Tab and Shift+Tab
// through the controls in their order, Alt and a caption's underlined letter,
// Return on the focused button.
struct WindowArgs {
    const wchar_t* class_name = nullptr;
    std::wstring title;
    HICON icon = nullptr;
    HICON small_icon = nullptr;
};

class Window {
public:
    explicit Window(const WindowArgs& args);
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND hwnd() const { return hwnd_; }
    UINT dpi() const;
    void show(int how);
    // Sizes the window so that its client area is this large.
    void set_client_size(int width, int height);
    // Destroys the window now.
    void destroy();
    void accept_drops(bool accept);
    // Handles a message of the loop meant for this window's keyboard;
    // true when it was (then it is neither translated nor dispatched).
    bool translate(MSG& message);

    // The hourglass over the window and every control on it.
    void set_busy(bool busy);

protected:
    // The close box or Alt+F4: whether the window may close.
    virtual bool on_close() { return true; }
    virtual void on_destroyed() {}
    virtual void on_dpi_changed(UINT /*dpi*/, const RECT& /*suggested*/) {}
    virtual void on_files_dropped(std::vector<std::filesystem::path> /*files*/) {}
    // WM_APP, which a CallQueue posts.
    virtual void on_wake() {}
    // A key pressed in the window, before the keys of a dialog; true: handled.
    virtual bool on_key(WPARAM /*key*/) { return false; }

private:
    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);

    HWND hwnd_ = nullptr;
    HWND last_focus_ = nullptr;
    bool busy_ = false;
};

// Tips shown over controls.
class Tooltips {
public:
    explicit Tooltips(HWND owner);
    Tooltips(const Tooltips&) = delete;
    Tooltips& operator=(const Tooltips&) = delete;
    void set(HWND control, const std::wstring& text);

private:
    HWND owner_;
    HWND tips_ = nullptr;
    std::vector<HWND> controls_;
};

// Calls carried over to a window's thread from any thread: a post wakes the
// window with WM_APP, and run(), on its thread, makes the calls waiting then,
// in the order posted. Calls posted after close(), or still waiting then,
// are dropped.
class CallQueue {
public:
    void open(HWND target);
    void post(std::function<void()> call);
    void run();
    void close();

private:
    std::mutex mutex_;
    std::deque<std::function<void()>> calls_;
    HWND target_ = nullptr;
};

// What every window of this layer does with the messages a control sends its
// parent; true when `message` was one of them.
bool dispatch_control_message(HWND parent, UINT message, WPARAM wparam, LPARAM lparam, HBRUSH background,
                              LRESULT& result);

}  // namespace marrowgate::win32
