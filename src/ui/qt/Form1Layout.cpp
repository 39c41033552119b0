// The controls of Form1, where they sit, how they look, and which handler
// each one calls. The handlers themselves are in Form1.cpp.
#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>

#include <QShortcut>

#include "io/Paths.h"
#include "state/Module1.h"
#include "ui/qt/FileListView.h"
#include "ui/qt/Form1.h"
#include "ui/qt/Picture.h"

// The images live in the resources of this library; a static library must
// register them itself.
static void register_window_images() { Q_INIT_RESOURCE(marrowgate); }

namespace marrowgate::ui {

namespace {

using window::Control;

constexpr int kButtonGap = 8;
constexpr int kBannerHeight = 64;

const QColor kPanelFill(0xf3, 0xf6, 0xf9);
const QColor kPanelBorder(0xc9, 0xd3, 0xdd);
const QColor kBannerFill(0x1d, 0x46, 0x68);
const QColor kHeadingColour(0x23, 0x3a, 0x52);
const QColor kLinkColour(0x15, 0x5c, 0xa8);

QString caption_of(Control control) {
    return QString::fromUtf8(window::caption_with_access_key(control, window::info(control).caption));
}

template <typename Widget>
Widget* named(Widget* widget, Control control) {
    widget->setObjectName(QString::fromLatin1(window::info(control).name));
    return widget;
}

QLabel* make_label(Control control, QWidget* parent) {
    return named(new QLabel(QString::fromUtf8(window::info(control).caption), parent), control);
}

QPushButton* make_button(Control control, QWidget* parent) {
    auto* button = named(new QPushButton(caption_of(control), parent), control);
    // Return on the focused button clicks it, as on any desktop.
    button->setAutoDefault(true);
    return button;
}

void set_text_colour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

QFont heading_font() {
    QFont font(QStringLiteral("Arial"), 9);
    font.setBold(true);
    return font;
}

}  // namespace

void Form1::build_controls() {
    register_window_images();
    setWindowTitle(QString::fromUtf8(window::info(Control::lblSelected).caption));
    setWindowIcon(QIcon(QStringLiteral(":/marrowgate/icon.png")));
    setFont(QFont(QStringLiteral("Verdana"), 9));

    auto* window_layout = new QVBoxLayout(this);
    window_layout->setContentsMargins(0, 0, 0, 0);
    window_layout->setSpacing(0);
    window_layout->setSizeConstraint(QLayout::SetMinimumSize);
    build_banner(window_layout);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(12, 12, 12, 12);
    window_layout->addLayout(body);

    Frame1 = named(new QFrame(this), Control::Frame1);
    Frame1->setFrameShape(QFrame::NoFrame);
    body->addWidget(Frame1);
    auto* frame_layout = new QVBoxLayout(Frame1);
    frame_layout->setContentsMargins(0, 0, 0, 0);
    frame_layout->setSpacing(8);
    build_panel(frame_layout);
    Text1 = named(new QLineEdit(QString::fromUtf8(window::info(Control::Text1).caption), Frame1), Control::Text1);
    Text1->setReadOnly(true);
    // A line to read, not a stop on the way from one button to the next.
    Text1->setFocusPolicy(Qt::ClickFocus);
    frame_layout->addWidget(Text1);

    build_bottom_row(frame_layout);
    connect_handlers();
}

void Form1::build_banner(QVBoxLayout* window_layout) {
    // Banner with the product name.
    picBanner = named(new Picture(QStringLiteral(":/marrowgate/banner.png"), kBannerFill, this), Control::picBanner);
    picBanner->setFixedHeight(kBannerHeight);
    lblSelected = make_label(Control::lblSelected, picBanner);
    QFont banner_font(QStringLiteral("Tahoma"), 15);
    banner_font.setBold(true);
    lblSelected->setFont(banner_font);
    set_text_colour(lblSelected, Qt::white);
    lblSelected->move(72, 8);
    lblSelected->resize(lblSelected->sizeHint());
    window_layout->addWidget(picBanner);
}

void Form1::build_panel(QVBoxLayout* frame_layout) {
    // Main panel: the file list, the options and the link over the image.
    Picture1 = named(new Picture(QStringLiteral(":/marrowgate/panel.png"), kPanelFill, Frame1), Control::Picture1);
    Picture1->setBorder(kPanelBorder);
    Picture1->setMinimumWidth(Picture1->image().width());
    Picture1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    frame_layout->addWidget(Picture1);
    auto* grid = new QGridLayout(Picture1);
    grid->setContentsMargins(16, 14, 16, 12);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(12);

    build_file_rows(grid);
    build_options(grid);
    auto* link_row = new QHBoxLayout;
    link_row->setSpacing(5);
    Label1[0] = make_label(Control::Label1_0, Picture1);
    lblLink = make_label(Control::lblLink, Picture1);
    Label1[1] = make_label(Control::Label1_1, Picture1);
    QFont link_font = lblLink->font();
    link_font.setUnderline(true);
    lblLink->setFont(link_font);
    set_text_colour(lblLink, kLinkColour);
    lblLink->setCursor(Qt::PointingHandCursor);
    lblLink->installEventFilter(this);
    link_row->addWidget(Label1[0]);
    link_row->addWidget(lblLink);
    link_row->addWidget(Label1[1]);
    link_row->addStretch(1);
    grid->addLayout(link_row, 3, 0, 1, 4);
    grid->setColumnStretch(3, 1);
}

// The file list with "+" and "-" beside it, and the version box under it.
void Form1::build_file_rows(QGridLayout* grid) {
    Label3 = make_label(Control::Label3, Picture1);
    Label4 = make_label(Control::Label4, Picture1);
    for (QLabel* heading : {Label3, Label4}) {
        heading->setFont(heading_font());
        set_text_colour(heading, kHeadingColour);
        heading->setMinimumWidth(84);
    }
    grid->addWidget(Label3, 0, 0, Qt::AlignTop | Qt::AlignLeft);

    ListView1 = named(new FileListView(Picture1), Control::ListView1);
    grid->addWidget(ListView1, 0, 1);

    auto* list_buttons = new QVBoxLayout;
    list_buttons->setSpacing(6);
    Command3 = make_button(Control::Command3, Picture1);
    Command4 = make_button(Control::Command4, Picture1);
    for (QPushButton* button : {Command3, Command4}) {
        button->setFixedWidth(36);
        list_buttons->addWidget(button);
    }
    Command3->setToolTip(QStringLiteral("Add a part-type library file (%1)").arg(QString::fromLatin1(window::kAddKeyName)));
    Command4->setToolTip(
        QStringLiteral("Remove the selected file (%1 on the list)").arg(QString::fromLatin1(window::kRemoveKeyName)));
    list_buttons->addStretch(1);
    grid->addLayout(list_buttons, 0, 2);

    chkAnyVersion = named(new QCheckBox(caption_of(Control::chkAnyVersion), Picture1), Control::chkAnyVersion);
    chkAnyVersion->setToolTip(QStringLiteral("Off: PADS V4 libraries only"));
    grid->addWidget(chkAnyVersion, 1, 1, Qt::AlignLeft);
}

// "Sort by" with the four options, "File ..." and the decal file's name.
void Form1::build_options(QGridLayout* grid) {
    grid->addWidget(Label4, 2, 0, Qt::AlignTop | Qt::AlignLeft);
    auto* options = new QVBoxLayout;
    options->setSpacing(4);
    option_group_ = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        auto*& option = Option1[static_cast<std::size_t>(i)];
        const Control control = window::option_control(i);
        option = named(new QRadioButton(caption_of(control), Picture1), control);
        option_group_->addButton(option, i);
        options->addWidget(option, 0, Qt::AlignLeft);
    }
    grid->addLayout(options, 2, 1);
    Command5 = make_button(Control::Command5, Picture1);
    Command5->setToolTip(QStringLiteral("Choose the PCB decal library file"));
    QSizePolicy keep_place = Command5->sizePolicy();
    keep_place.setRetainSizeWhenHidden(true);
    Command5->setSizePolicy(keep_place);
    grid->addWidget(Command5, 2, 2, Qt::AlignBottom | Qt::AlignLeft);
    lblDecalFile = make_label(Control::lblDecalFile, Picture1);
    lblDecalFile->setSizePolicy(keep_place);
    grid->addWidget(lblDecalFile, 2, 3, Qt::AlignBottom | Qt::AlignLeft);
}

void Form1::build_bottom_row(QVBoxLayout* frame_layout) {
    // Bottom row: the status label on the left, "Execute" and "Exit" on the right.
    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(kButtonGap);
    Label2 = make_label(Control::Label2, Frame1);
    Label2->setFont(QFont(QStringLiteral("Arial"), 9));
    Command1 = make_button(Control::Command1, Frame1);
    Command2 = make_button(Control::Command2, this);
    for (QPushButton* button : {Command1, Command2}) button->setFixedSize(100, button->sizeHint().height() + 4);
    bottom->addWidget(Label2);
    cmdOpenFolder = make_button(Control::cmdOpenFolder, Frame1);
    cmdDetails = make_button(Control::cmdDetails, Frame1);
    for (QPushButton* button : {cmdOpenFolder, cmdDetails}) {
        // Room on both sides of the caption, which some fonts fill to the edge.
        button->setMinimumWidth(button->sizeHint().width() + 12);
        button->hide();
        bottom->addWidget(button);
    }
    bottom->addStretch(1);
    bottom->addWidget(Command1);
    // "Exit" sits on the window itself, beside "Execute": keep its place free,
    // so that its right edge is the margin's.
    bottom->addSpacing(kButtonGap + Command2->width());
    frame_layout->addSpacing(4);
    frame_layout->addLayout(bottom);
    Command1->installEventFilter(this);
    Frame1->installEventFilter(this);
}

void Form1::connect_handlers() {
    window::WindowLogic* logic = logic_.get();
    connect(option_group_, &QButtonGroup::idClicked, this, [logic](int index) { logic->Option1_Click(index); });
    const std::pair<QAbstractButton*, void (window::WindowLogic::*)()> handlers[] = {
        {Command1, &window::WindowLogic::Command1_Click},      {Command2, &window::WindowLogic::Command2_Click},
        {Command3, &window::WindowLogic::Command3_Click},      {Command4, &window::WindowLogic::Command4_Click},
        {Command5, &window::WindowLogic::Command5_Click},      {cmdOpenFolder, &window::WindowLogic::cmdOpenFolder_Click},
        {cmdDetails, &window::WindowLogic::cmdDetails_Click},
    };
    for (const auto& [button, handler] : handlers)
        connect(button, &QAbstractButton::clicked, this, [logic, handler = handler] { (logic->*handler)(); });
    connect(chkAnyVersion, &QCheckBox::clicked, this, [logic](bool checked) { logic->chkAnyVersion_Click(checked); });
    connect(ListView1, &FileListView::deletePressed, this, [logic] { logic->ListView1_KeyDown_Delete(); });
    ListView1->setDropGate([logic] { return logic->takes_files(); });
    connect(ListView1, &FileListView::filesDropped, this, [logic](const QStringList& paths) {
        std::vector<std::filesystem::path> files;
        for (const QString& path : paths) files.push_back(path_from_utf8(path.toUtf8().toStdString()));
        logic->ListView1_OLEDragDrop(files);
    });
    // "+" has no letter to underline: Insert reaches it.
    auto* add_key = new QShortcut(QKeySequence(Qt::Key_Insert), this);
    connect(add_key, &QShortcut::activated, Command3, [this] {
        if (Command3->isEnabled()) Command3->click();
    });
}

void Form1::size_file_list() {
    // Room for the columns and four rows, the most the list holds.
    const int frame = 2 * ListView1->frameWidth();
    const int row = list_row_height();
    // Odd sizes: at 150 % the last line of the border then starts on a whole
    // pixel and is drawn, where an even size loses it.
    const auto odd = [](int size) { return size | 1; };
    ListView1->setFixedSize(odd(ListView1->header()->length() + frame + 2),
                            odd(ListView1->header()->sizeHint().height() + kMaxListedFiles * row + frame + 4));
    ListView1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

int Form1::list_row_height() const { return ListView1->fontMetrics().height() + 8; }

void Form1::place_exit_button() {
    const QPoint at = Command1->mapTo(this, QPoint(0, 0));
    Command2->move(at.x() + Command1->width() + kButtonGap, at.y());
    Command2->raise();
}

}  // namespace marrowgate::ui
