// What Form1 does for the logic: each call of the face sets a control or
// opens a dialog. The controls themselves are built in Form1Layout.cpp.
#include "ui/win32/Form1.h"

#include <exception>

#include "ui/win32/Text.h"

namespace marrowgate::win32 {

using window::Control;

namespace {

constexpr int kTwipsPerInch = 1440;

int twips_to_pixels(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), kTwipsPerInch); }

}  // namespace

Form1::Form1(window::WindowSettings settings, FileChooser& chooser, std::filesystem::path settings_file)
    : Window(WindowArgs{kWindowClass, L"Vorlane Marrowgate " MARROWGATE_VERSION,
                        program_icon(SM_CXICON, GetDpiForSystem()), program_icon(SM_CXSMICON, GetDpiForSystem())}),
      settings_(std::move(settings)),
      chooser_(chooser),
      stored_(std::move(settings_file)),
      tooltips_(hwnd()) {
    queue_.open(hwnd());
    create_controls();
    apply_dpi();
    connect_controls();
    logic_ = std::make_unique<window::WindowLogic>(*this, settings_);
    guarded([this] { logic_->Form_Load(); });
    layout();
    sync_drop_target();
}

Form1::~Form1() {
    // The window goes before the controls' objects do; the logic, destroyed
    // next, stops its run, whose last calls the closed queue drops.
    destroy();
}

Widget& Form1::widget(Control which) const { return *widgets_[static_cast<std::size_t>(which)]; }

void Form1::guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        win32::message_box(hwnd(), window::BoxIcon::Error, wide(window::kBoxTitle), wide(error.what()));
    }
}

void Form1::sync_drop_target() {
    if (!hwnd() || !logic_) return;
    const bool takes = logic_->takes_files();
    accept_drops(takes);
    ListView1->accept_drops(takes);
}

// --- controls ------------------------------------------------------------------------------

void Form1::set_caption(Control which, const std::string& caption) {
    // Buttons show their access key underlined; labels show their text as it is.
    const bool marked = window::info(which).access_key != 0;
    Widget& shown = widget(which);
    shown.set_text(wide(marked ? window::caption_with_access_key(which, caption) : caption));
    // A label is as wide as its text, and the controls after it in its row
    // follow: only a new width moves them ("Processing... 41 %" to 42 % does not).
    if (!dynamic_cast<Label*>(&shown) || which == Control::lblDecalFile) return;
    const RECT bounds = shown.bounds();
    if (bounds.right - bounds.left != shown.text_size().cx + scaled(2, dpi())) layout();
}

void Form1::set_enabled(Control which, bool enabled) {
    widget(which).set_enabled(enabled);
    if (which == Control::Command3) sync_drop_target();
}

void Form1::set_visible(Control which, bool visible) { widget(which).set_visible(visible); }

void Form1::set_checked(Control which, bool checked) {
    if (which == Control::chkAnyVersion) {
        chkAnyVersion->set_checked(checked);
    } else if (auto* option = dynamic_cast<OptionButton*>(&widget(which))) {
        option->set_checked(checked);
    }
}

void Form1::set_tooltip(Control which, const std::string& text) { tooltips_.set(widget(which).hwnd(), wide(text)); }

void Form1::set_focus(Control which) { SetFocus(widget(which).hwnd()); }

// --- the list ----------------------------------------------------------------------------------

void Form1::add_column(const std::string& text, int twips) {
    column_twips_.push_back(twips);
    ListView1->add_column(wide(text), twips_to_pixels(twips, dpi()));
    layout();
}

void Form1::clear_rows() { ListView1->clear(); }

void Form1::append_row(const std::string& name, const std::string& count, const std::string& tooltip) {
    ListView1->append({wide(name), wide(count)}, wide(tooltip));
}

std::optional<int> Form1::selected_row() { return ListView1->selected(); }

void Form1::set_hourglass(bool busy) { set_busy(busy); }

// --- dialogs -----------------------------------------------------------------------------------

std::optional<std::filesystem::path> Form1::open_file(const window::FileQuestion& question) {
    return chooser_.open(hwnd(), question);
}

void Form1::message_box(window::BoxIcon icon, const std::string& title, const std::string& text) {
    win32::message_box(hwnd(), icon, wide(title), wide(text));
}

void Form1::details_box(const std::string& title, const std::string& text) {
    win32::details_box(hwnd(), wide(title), wide(text));
}

bool Form1::open_folder(const std::filesystem::path& folder) {
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(hwnd(), L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

void Form1::open_url(const std::string& address) {
    ShellExecuteW(hwnd(), L"open", wide(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// --- what the desktop keeps, the news, threads ---------------------------------------------------

std::optional<std::string> Form1::recall(const std::string& key) { return stored_.recall(key); }

void Form1::remember(const std::string& key, const std::string& value) { stored_.remember(key, value); }

void Form1::Internet_Detection() {
    news_.start(settings_.site, settings_.application_folder, [this](const std::string& caption) {
        post([this, caption] { logic_->news_arrived(caption); });
    });
}

void Form1::post(std::function<void()> call) { queue_.post(std::move(call)); }

void Form1::close_window() { destroy(); }

// --- the window's own events --------------------------------------------------------------------

bool Form1::on_close() {
    bool may_close = true;
    guarded([&] { may_close = logic_->Form_QueryUnload(); });
    return may_close;
}

void Form1::on_destroyed() {
    queue_.close();
    if (on_closed) on_closed();
}

void Form1::on_dpi_changed(UINT dpi, const RECT& suggested) {
    SetWindowPos(hwnd(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    apply_dpi();
    for (std::size_t i = 0; i < column_twips_.size(); ++i)
        ListView1->set_column_width(static_cast<int>(i), twips_to_pixels(column_twips_[i], dpi));
    layout();
}

void Form1::add_files(const std::vector<std::filesystem::path>& files) {
    guarded([&] { logic_->add_files(files); });
    sync_drop_target();
}

void Form1::on_files_dropped(std::vector<std::filesystem::path> files) {
    guarded([&] { logic_->ListView1_OLEDragDrop(files); });
}

void Form1::on_wake() {
    guarded([this] { queue_.run(); });
    sync_drop_target();
}

bool Form1::on_key(WPARAM key) {
    // Insert adds a file, as "+" does; "+" has no letter to underline.
    if (key != VK_INSERT || (GetKeyState(VK_CONTROL) & 0x8000) || (GetKeyState(VK_SHIFT) & 0x8000)) return false;
    if (Command3->enabled()) guarded([this] { logic_->Command3_Click(); });
    return true;
}

}  // namespace marrowgate::win32
