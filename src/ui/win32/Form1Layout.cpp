// The controls of Form1, where they sit, how they look, and which handler of
// the logic each one calls. Lengths are given for 96 dots per inch and
// scaled to the window's resolution.
#include <algorithm>

#include "ui/win32/Form1.h"
#include "ui/win32/Text.h"

namespace marrowgate::win32 {

using window::Control;

namespace {

constexpr COLORREF kPanelFill = RGB(0xf3, 0xf6, 0xf9);
constexpr COLORREF kPanelBorder = RGB(0xc9, 0xd3, 0xdd);
constexpr COLORREF kBannerFill = RGB(0x1d, 0x46, 0x68);
constexpr COLORREF kHeadingColour = RGB(0x23, 0x3a, 0x52);
constexpr COLORREF kLinkColour = RGB(0x15, 0x5c, 0xa8);

constexpr int kMargin = 12;
constexpr int kBannerHeight = 64;
constexpr int kPanelWidth = 800;  // the panel's picture
constexpr int kGap = 12;
constexpr int kButtonGap = 8;

int text_width(const Widget& widget) { return static_cast<int>(widget.text_size().cx); }

int id(Control control) { return window::control_id(control); }

// The first caption, with its access key marked.
std::wstring caption(Control control) {
    return wide(window::caption_with_access_key(control, window::info(control).caption));
}

ControlArgs args(HWND parent, Control control, bool tab_stop = false) {
    return ControlArgs{parent, id(control), caption(control), nullptr, tab_stop, false};
}

LabelArgs label(HWND parent, Control control, bool clickable = false, bool ellipsis = false) {
    return LabelArgs{args(parent, control), clickable, ellipsis};
}

}  // namespace

void Form1::create_controls() {
    // Created in the order Tab goes through them.
    picBanner = std::make_unique<Panel>(PanelArgs{hwnd(), id(Control::picBanner), kBannerFill});
    lblSelected = std::make_unique<Label>(label(picBanner->hwnd(), Control::lblSelected));
    lblSelected->text_colour = RGB(255, 255, 255);

    Frame1 = std::make_unique<Panel>(PanelArgs{hwnd(), id(Control::Frame1), GetSysColor(COLOR_BTNFACE)});
    Picture1 = std::make_unique<Panel>(PanelArgs{Frame1->hwnd(), id(Control::Picture1), kPanelFill, kPanelBorder});
    const HWND panel = Picture1->hwnd();
    Label3 = std::make_unique<Label>(label(panel, Control::Label3));
    ListView1 = std::make_unique<ListView>(args(panel, Control::ListView1, true));
    Command3 = std::make_unique<Button>(args(panel, Control::Command3, true));
    Command4 = std::make_unique<Button>(args(panel, Control::Command4, true));
    chkAnyVersion = std::make_unique<CheckBox>(args(panel, Control::chkAnyVersion, true));
    Label4 = std::make_unique<Label>(label(panel, Control::Label4));
    for (int i = 0; i < 4; ++i) {
        ControlArgs option = args(panel, window::option_control(i), true);
        option.group = i == 0;
        Option1[static_cast<std::size_t>(i)] = std::make_unique<OptionButton>(option);
    }
    ControlArgs file = args(panel, Control::Command5, true);
    file.group = true;  // the arrows move among the options only
    Command5 = std::make_unique<Button>(file);
    // The decal file's name: its full path shows as a tip, so it takes the mouse.
    lblDecalFile = std::make_unique<Label>(label(panel, Control::lblDecalFile, true, true));
    Label1[0] = std::make_unique<Label>(label(panel, Control::Label1_0));
    lblLink = std::make_unique<Label>(label(panel, Control::lblLink, true));
    Label1[1] = std::make_unique<Label>(label(panel, Control::Label1_1));
    for (Label* heading : {Label3.get(), Label4.get()}) heading->text_colour = kHeadingColour;
    lblLink->text_colour = kLinkColour;
    lblLink->cursor = LoadCursorW(nullptr, IDC_HAND);

    // The news line is read, not typed in: no Tab stop.
    Text1 = std::make_unique<ReadOnlyEdit>(args(Frame1->hwnd(), Control::Text1));
    Label2 = std::make_unique<Label>(label(Frame1->hwnd(), Control::Label2));
    cmdOpenFolder = std::make_unique<Button>(args(Frame1->hwnd(), Control::cmdOpenFolder, true));
    cmdDetails = std::make_unique<Button>(args(Frame1->hwnd(), Control::cmdDetails, true));
    Command1 = std::make_unique<Button>(args(Frame1->hwnd(), Control::Command1, true));
    Command2 = std::make_unique<Button>(args(hwnd(), Control::Command2, true));

    tooltips_.set(Command3->hwnd(), L"Add a part-type library file (Insert)");
    tooltips_.set(Command4->hwnd(), L"Remove the selected file (Delete)");
    tooltips_.set(chkAnyVersion->hwnd(), L"Off: PADS V4 libraries only");
    tooltips_.set(Command5->hwnd(), L"Choose the PCB decal library file");

    Widget* all[] = {picBanner.get(),    lblSelected.get(), Frame1.get(),    Text1.get(),     Picture1.get(),
                      Label3.get(),       ListView1.get(),   chkAnyVersion.get(), Command3.get(), Command4.get(),
                      Label4.get(),       Option1[0].get(),  Option1[1].get(), Option1[2].get(), Option1[3].get(),
                      Command5.get(),     lblDecalFile.get(), Label1[0].get(), Label1[1].get(), lblLink.get(),
                      Label2.get(),       Command1.get(),    Command2.get(),  cmdOpenFolder.get(), cmdDetails.get()};
    static_assert(std::size(all) == window::kControls);
    std::copy(std::begin(all), std::end(all), widgets_.begin());
}

void Form1::connect_controls() {
    const auto forward = [this](void (window::WindowLogic::*handler)()) {
        return [this, handler] { guarded([this, handler] { (logic_.get()->*handler)(); }); };
    };
    Command1->on_click = forward(&window::WindowLogic::Command1_Click);
    Command2->on_click = forward(&window::WindowLogic::Command2_Click);
    Command3->on_click = forward(&window::WindowLogic::Command3_Click);
    Command4->on_click = forward(&window::WindowLogic::Command4_Click);
    Command5->on_click = forward(&window::WindowLogic::Command5_Click);
    cmdOpenFolder->on_click = forward(&window::WindowLogic::cmdOpenFolder_Click);
    cmdDetails->on_click = forward(&window::WindowLogic::cmdDetails_Click);
    ListView1->on_delete_key = forward(&window::WindowLogic::ListView1_KeyDown_Delete);
    for (int i = 0; i < 4; ++i)
        Option1[static_cast<std::size_t>(i)]->on_click = [this, i] { guarded([this, i] { logic_->Option1_Click(i); }); };
    chkAnyVersion->on_toggle = [this](bool checked) { guarded([this, checked] { logic_->chkAnyVersion_Click(checked); }); };
    lblLink->on_click = [this] { guarded([this] { logic_->lblLink_MouseDown(1); }); };
    ListView1->on_drop = [this](std::vector<std::filesystem::path> files) { on_files_dropped(std::move(files)); };
}

void Form1::apply_dpi() {
    const UINT dpi = this->dpi();
    // The controls take the new fonts before the old ones are deleted.
    Font window_font = make_font({L"Verdana", 9}, dpi);
    Font banner_font = make_font({L"Tahoma", 15, true}, dpi);
    Font heading_font = make_font({L"Arial", 9, true}, dpi);
    Font status_font = make_font({L"Arial", 9}, dpi);
    Font link_font = make_font({L"Verdana", 9, false, true}, dpi);
    for (Widget* widget : widgets_) widget->set_font(window_font.get());
    lblSelected->set_font(banner_font.get());
    Label3->set_font(heading_font.get());
    Label4->set_font(heading_font.get());
    Label2->set_font(status_font.get());
    lblLink->set_font(link_font.get());
    window_font_ = std::move(window_font);
    banner_font_ = std::move(banner_font);
    heading_font_ = std::move(heading_font);
    status_font_ = std::move(status_font);
    link_font_ = std::move(link_font);
    picBanner->set_picture(banner_picture_.bitmap(dpi));
    Picture1->set_picture(panel_picture_.bitmap(dpi));
}

// The measures every part of the layout starts from, at the window's DPI.
struct Form1::Metrics {
    UINT dpi;
    int line;           // a line of the window's font
    int button_height;
    int row_height;     // a check box or an option
    int box_room;       // the box or circle before a caption
    int s(int length) const { return scaled(length, dpi); }
};

void Form1::layout() {
    const UINT dpi = this->dpi();
    const int line = line_height(hwnd(), window_font_.get());
    const Metrics m{dpi, line, line + scaled(10, dpi), line + scaled(6, dpi), scaled(24, dpi)};
    const PanelSize panel = layout_panel(m);
    const auto s = [&m](int length) { return m.s(length); };
    const int panel_width = panel.width;
    const int button_height = m.button_height;

    // Frame1: the panel, the news line, then the status and the buttons.
    int y = panel.height + s(kButtonGap);
    const int news_height = line + s(10);
    Text1->place(0, y, panel_width, news_height);
    y += news_height + s(kButtonGap) + s(4);
    const int status_line = line_height(hwnd(), status_font_.get());
    const int status_width = text_width(*Label2) + s(2);
    Label2->place(0, y + (button_height - status_line) / 2, status_width, status_line + s(2));
    int x = status_width + s(kButtonGap);
    for (Button* after_run : {cmdOpenFolder.get(), cmdDetails.get()}) {
        const int width = text_width(*after_run) + s(36);
        after_run->place(x, y, width, button_height);
        x += width + s(kButtonGap);
    }
    const int wide_button = std::max(s(100), std::max(text_width(*Command1), text_width(*Command2)) + s(24));
    Command1->place(panel_width - 2 * wide_button - s(kButtonGap), y, wide_button, button_height);
    const int frame_height = y + button_height;

    // The window: the banner, Frame1, and "Exit" on the right margin, in line with "Execute".
    const int banner_height = s(kBannerHeight);
    const int client_width = panel_width + 2 * s(kMargin);
    picBanner->place(0, 0, client_width, banner_height);
    const SIZE title = lblSelected->text_size();
    lblSelected->place(s(72), s(8), title.cx + s(4), title.cy + s(2));
    const int frame_top = banner_height + s(kMargin);
    Frame1->place(s(kMargin), frame_top, panel_width, frame_height);
    Command2->place(s(kMargin) + panel_width - wide_button, frame_top + y, wide_button, button_height);

    const int client_height = frame_top + frame_height + s(kMargin);
    RECT client{};
    GetClientRect(hwnd(), &client);
    if (client.right != client_width || client.bottom != client_height) set_client_size(client_width, client_height);
}

// Picture1: headings on the left, the list with "+" and "-", the version box,
// the options with "File ...", the link row.
Form1::PanelSize Form1::layout_panel(const Metrics& m) {
    const auto s = [&m](int length) { return m.s(length); };
    const UINT dpi = m.dpi;
    const int line = m.line, button_height = m.button_height, row_height = m.row_height, box_room = m.box_room;
    const int heading_width = std::max(s(84), std::max(text_width(*Label3), text_width(*Label4)) + s(4));
    const int heading_height = line_height(hwnd(), heading_font_.get()) + s(2);
    const int left = s(16);
    const int list_left = left + heading_width + s(kGap);
    const int edge = GetSystemMetricsForDpi(SM_CXEDGE, dpi);
    int columns_width = 0;
    for (const int twips : column_twips_) columns_width += MulDiv(twips, static_cast<int>(dpi), 1440);
    // Room for both columns and four rows, the most the list holds, inside its border.
    const int list_width = columns_width + 2 * edge + s(4);
    const int list_height = ListView1->header_height() + 4 * ListView1->row_height() + 2 * edge + s(6);
    const int side = list_left + list_width + s(kGap);
    const int small_button = s(36);
    const int file_width = std::max(s(72), text_width(*Command5) + s(24));
    int y = s(14);
    Label3->place(left, y + s(2), heading_width, heading_height);
    ListView1->place(list_left, y, list_width, list_height);
    Command3->place(side, y, small_button, button_height);
    Command4->place(side, y + button_height + s(6), small_button, button_height);
    y += list_height + s(kGap);
    chkAnyVersion->place(list_left, y, text_width(*chkAnyVersion) + box_room, row_height);
    y += row_height + s(kGap);
    Label4->place(left, y + s(2), heading_width, heading_height);
    const int option_pitch = row_height + s(4);
    for (int i = 0; i < 4; ++i) {
        auto& option = *Option1[static_cast<std::size_t>(i)];
        option.place(list_left, y + i * option_pitch, text_width(option) + box_room, row_height);
    }
    const int options_bottom = y + 3 * option_pitch + row_height;
    y = options_bottom + s(kGap);
    int x = left;
    for (Label* part : {Label1[0].get(), lblLink.get(), Label1[1].get()}) {
        const int width = text_width(*part) + s(2);
        part->place(x, y, width, line + s(2));
        x += width + s(5);
    }
    const int panel_width = std::max({s(kPanelWidth), x + s(16), side + file_width + s(120)});
    const int panel_height = y + line + s(2) + s(kGap);
    Picture1->place(0, 0, panel_width, panel_height);
    Command5->place(side, options_bottom - button_height, file_width, button_height);
    const int name_left = side + file_width + s(kGap);
    lblDecalFile->place(name_left, options_bottom - button_height + (button_height - line) / 2,
                        panel_width - name_left - s(16), line + s(2));

    return {panel_width, panel_height};
}

}  // namespace marrowgate::win32
