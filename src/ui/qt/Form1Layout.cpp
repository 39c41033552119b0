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

#include "library/FileList.h"
#include "ui/qt/FileListView.h"
#include "ui/qt/Form1.h"
#include "ui/qt/Picture.h"

// The images live in the resources of this library; a static library must
// register them itself.
static void register_window_images() { Q_INIT_RESOURCE(marrowgate); }

namespace marrowgate::ui {

namespace {

constexpr int kTwipsPerInch = 1440;
constexpr int kNameColumnTwips = 3540;
constexpr int kCountColumnTwips = 1000;
constexpr int kButtonGap = 8;
constexpr int kBannerHeight = 64;

const QColor kPanelFill(0xf3, 0xf6, 0xf9);
const QColor kPanelBorder(0xc9, 0xd3, 0xdd);
const QColor kBannerFill(0x1d, 0x46, 0x68);
const QColor kHeadingColour(0x23, 0x3a, 0x52);
const QColor kLinkColour(0x15, 0x5c, 0xa8);

QLabel* make_label(const QString& caption, const char* name, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QPushButton* make_button(const QString& caption, const char* name, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
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

int twips_to_pixels(int twips, int dpi) {
    return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / kTwipsPerInch));
}

}  // namespace

void Form1::build_controls() {
    register_window_images();
    setWindowTitle(QStringLiteral("Vorlane Marrowgate " MARROWGATE_VERSION));
    setWindowIcon(QIcon(QStringLiteral(":/marrowgate/icon.png")));
    setFont(QFont(QStringLiteral("Verdana"), 9));

    auto* window_layout = new QVBoxLayout(this);
    window_layout->setContentsMargins(0, 0, 0, 0);
    window_layout->setSpacing(0);
    window_layout->setSizeConstraint(QLayout::SetMinimumSize);

    // Banner with the product name.
    picBanner = new Picture(QStringLiteral(":/marrowgate/banner.png"), kBannerFill, this);
    picBanner->setObjectName(QStringLiteral("picBanner"));
    picBanner->setFixedHeight(kBannerHeight);
    lblSelected = make_label(QStringLiteral("Vorlane Marrowgate " MARROWGATE_VERSION), "lblSelected", picBanner);
    QFont banner_font(QStringLiteral("Tahoma"), 15);
    banner_font.setBold(true);
    lblSelected->setFont(banner_font);
    set_text_colour(lblSelected, Qt::white);
    lblSelected->move(72, 8);
    lblSelected->resize(lblSelected->sizeHint());
    window_layout->addWidget(picBanner);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(12, 12, 12, 12);
    window_layout->addLayout(body);

    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::NoFrame);
    body->addWidget(Frame1);
    auto* frame_layout = new QVBoxLayout(Frame1);
    frame_layout->setContentsMargins(0, 0, 0, 0);
    frame_layout->setSpacing(8);

    // Main panel: the file list, the options and the link over the image.
    Picture1 = new Picture(QStringLiteral(":/marrowgate/panel.png"), kPanelFill, Frame1);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setBorder(kPanelBorder);
    Picture1->setMinimumWidth(Picture1->image().width());
    Picture1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    frame_layout->addWidget(Picture1);
    auto* grid = new QGridLayout(Picture1);
    grid->setContentsMargins(16, 14, 16, 12);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(12);

    Label3 = make_label(QStringLiteral("Select files"), "Label3", Picture1);
    Label4 = make_label(QStringLiteral("Sort by"), "Label4", Picture1);
    for (QLabel* heading : {Label3, Label4}) {
        heading->setFont(heading_font());
        set_text_colour(heading, kHeadingColour);
        heading->setMinimumWidth(84);
    }
    grid->addWidget(Label3, 0, 0, Qt::AlignTop | Qt::AlignLeft);

    ListView1 = new FileListView(Picture1);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    grid->addWidget(ListView1, 0, 1);
    size_file_list();

    auto* list_buttons = new QVBoxLayout;
    list_buttons->setSpacing(6);
    Command3 = make_button(QStringLiteral("+"), "Command3", Picture1);
    Command4 = make_button(QStringLiteral("-"), "Command4", Picture1);
    for (QPushButton* button : {Command3, Command4}) {
        button->setFixedWidth(36);
        list_buttons->addWidget(button);
    }
    Command3->setToolTip(QStringLiteral("Add a part-type library file"));
    Command4->setToolTip(QStringLiteral("Remove the selected file"));
    list_buttons->addStretch(1);
    grid->addLayout(list_buttons, 0, 2);

    chkAnyVersion = new QCheckBox(QStringLiteral("Accept every PADS version"), Picture1);
    chkAnyVersion->setObjectName(QStringLiteral("chkAnyVersion"));
    chkAnyVersion->setToolTip(QStringLiteral("Off: PADS V4 libraries only"));
    grid->addWidget(chkAnyVersion, 1, 1, Qt::AlignLeft);

    grid->addWidget(Label4, 2, 0, Qt::AlignTop | Qt::AlignLeft);
    auto* options = new QVBoxLayout;
    options->setSpacing(4);
    option_group_ = new QButtonGroup(this);
    const std::array<QString, 4> captions = {QStringLiteral("Alphanumeric Order"), QStringLiteral("Logic Family"),
                                             QStringLiteral("PCB Decal Name"),
                                             QStringLiteral("PCB Decal Pads Number")};
    for (int i = 0; i < 4; ++i) {
        auto*& option = Option1[static_cast<std::size_t>(i)];
        option = new QRadioButton(captions[static_cast<std::size_t>(i)], Picture1);
        option->setObjectName(QStringLiteral("Option1_%1").arg(i));
        option_group_->addButton(option, i);
        options->addWidget(option, 0, Qt::AlignLeft);
    }
    grid->addLayout(options, 2, 1);
    Command5 = make_button(QStringLiteral("File ..."), "Command5", Picture1);
    Command5->setToolTip(QStringLiteral("Choose the PCB decal library file"));
    QSizePolicy keep_place = Command5->sizePolicy();
    keep_place.setRetainSizeWhenHidden(true);
    Command5->setSizePolicy(keep_place);
    grid->addWidget(Command5, 2, 2, Qt::AlignBottom | Qt::AlignLeft);
    lblDecalFile = make_label(QString(), "lblDecalFile", Picture1);
    lblDecalFile->setSizePolicy(keep_place);
    grid->addWidget(lblDecalFile, 2, 3, Qt::AlignBottom | Qt::AlignLeft);

    auto* link_row = new QHBoxLayout;
    link_row->setSpacing(5);
    Label1[0] = make_label(QStringLiteral("Visit"), "Label1_0", Picture1);
    lblLink = make_label(settings_.site, "lblLink", Picture1);
    Label1[1] = make_label(QStringLiteral("to read lastest news about our CAD tools softwares for PADS2005..."),
                           "Label1_1", Picture1);
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

    Text1 = new QLineEdit(QStringLiteral("News:"), Frame1);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    frame_layout->addWidget(Text1);

    // Bottom row: the status label on the left, "Execute" and "Exit" on the right.
    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(kButtonGap);
    Label2 = make_label(QStringLiteral("Label2"), "Label2", Frame1);
    Label2->setFont(QFont(QStringLiteral("Arial"), 9));
    Command1 = make_button(QStringLiteral("Execute"), "Command1", Frame1);
    Command2 = make_button(QStringLiteral("Exit"), "Command2", this);
    for (QPushButton* button : {Command1, Command2}) button->setFixedSize(100, button->sizeHint().height() + 4);
    bottom->addWidget(Label2);
    cmdOpenFolder = make_button(QStringLiteral("Open folder"), "cmdOpenFolder", Frame1);
    cmdDetails = make_button(QStringLiteral("Details"), "cmdDetails", Frame1);
    for (QPushButton* button : {cmdOpenFolder, cmdDetails}) {
        // Room on both sides of the caption, which some fonts fill to the edge.
        button->setMinimumWidth(button->sizeHint().width() + 12);
        button->hide();
        bottom->addWidget(button);
    }
    bottom->addStretch(1);
    bottom->addWidget(Command1);
    // "Exit" sits on the window itself, beside "Execute": keep its place free.
    bottom->addSpacing(Command2->width());
    frame_layout->addSpacing(4);
    frame_layout->addLayout(bottom);
    Command1->installEventFilter(this);
    Frame1->installEventFilter(this);

    connect(option_group_, &QButtonGroup::idClicked, this, &Form1::Option1_Click);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(cmdOpenFolder, &QPushButton::clicked, this, &Form1::cmdOpenFolder_Click);
    connect(cmdDetails, &QPushButton::clicked, this, &Form1::cmdDetails_Click);
    connect(chkAnyVersion, &QCheckBox::clicked, this, &Form1::chkAnyVersion_Click);
    connect(ListView1, &FileListView::deletePressed, this, [this] {
        if (Command4->isEnabled()) Command4_Click();
    });
    ListView1->setDropGate([this] { return takes_files(); });
    connect(ListView1, &FileListView::filesDropped, this, &Form1::ListView1_Drop);
}

void Form1::size_file_list() {
    ListView1->setColumnCount(2);
    ListView1->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("#")});
    const int dpi = logicalDpiX();
    ListView1->header()->resizeSection(0, twips_to_pixels(kNameColumnTwips, dpi));
    ListView1->header()->resizeSection(1, twips_to_pixels(kCountColumnTwips, dpi));
    ListView1->headerItem()->setTextAlignment(0, Qt::AlignLeft | Qt::AlignVCenter);
    ListView1->headerItem()->setTextAlignment(1, Qt::AlignLeft | Qt::AlignVCenter);
    // Room for both columns and four rows, the most the list holds.
    const int frame = 2 * ListView1->frameWidth();
    const int row = list_row_height();
    ListView1->setFixedSize(ListView1->header()->length() + frame + 2,
                            ListView1->header()->sizeHint().height() + kMaxListedFiles * row + frame + 4);
    ListView1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

int Form1::list_row_height() const { return ListView1->fontMetrics().height() + 8; }

void Form1::place_exit_button() {
    const QPoint at = Command1->mapTo(this, QPoint(0, 0));
    Command2->move(at.x() + Command1->width() + kButtonGap, at.y());
    Command2->raise();
}

}  // namespace marrowgate::ui
