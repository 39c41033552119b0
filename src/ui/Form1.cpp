#include "ui/Form1.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>
#include <QVBoxLayout>
#include <cmath>

#include "library/FileList.h"
#include "library/Folders.h"
#include "news/MessageTable.h"
#include "news/NewsDownload.h"
#include "sort/Sorts.h"
#include "ui/Dialogs.h"
#include "ui/FileListView.h"
#include "ui/Picture.h"
#include "ui/WindowStatus.h"

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

QString from_utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::filesystem::path path_from_qstring(const QString& text) {
    return path_from_utf8(text.toUtf8().toStdString());
}

QLabel* make_label(const QString& caption, const char* name, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QPushButton* make_button(const QString& caption, const char* name, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
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

// Disables the controls that would change what a running sort reads, and puts
// back their enabled states when the run is over.
class RunGuard {
public:
    RunGuard(bool& running, std::initializer_list<QWidget*> controls) : running_(running) {
        running_ = true;
        for (QWidget* control : controls) {
            saved_.push_back({control, control->isEnabled()});
            control->setEnabled(false);
        }
    }
    ~RunGuard() {
        for (const auto& [control, enabled] : saved_) control->setEnabled(enabled);
        running_ = false;
    }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

private:
    bool& running_;
    std::vector<std::pair<QWidget*, bool>> saved_;
};

}  // namespace

QString run_details(const RunResult& result, const QString& lib) {
    QString text = QStringLiteral("%1 part(s) read; library files written in %2:\n\n").arg(result.parts).arg(lib);
    for (const auto& output : result.outputs) {
        text += QStringLiteral("  %1   key \"%2\"   %3 part(s)\n")
                    .arg(from_utf8(display_path(output.file.filename())), from_utf8(output.key))
                    .arg(output.blocks);
    }
    if (result.outputs.empty()) text += QStringLiteral("  (none)\n");
    if (!result.unplaced.empty()) {
        text += QStringLiteral("\nPlaced in no file (%1):\n").arg(result.unplaced.size());
        for (const auto& part : result.unplaced) {
            text += QStringLiteral("  %1   decal \"%2\"   from %3\n")
                        .arg(from_utf8(part.part), from_utf8(part.decal),
                             from_utf8(display_path(part.file.filename())));
        }
    }
    return text;
}

Form1::Form1(WindowSettings settings, Dialogs& dialogs, FileSystem& files, QWidget* parent)
    : QWidget(parent), settings_(std::move(settings)), dialogs_(dialogs), files_(files) {
    register_window_images();
    state_.Application_Folder = settings_.application_folder;
    state_.Message_File = settings_.message_file;
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Vorlane Marrowgate " MARROWGATE_VERSION));
    setFont(QFont(QStringLiteral("Verdana"), 9));
    build_controls();
    Form_Load();
}

Form1::~Form1() = default;

void Form1::build_controls() {
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

    grid->addWidget(Label4, 1, 0, Qt::AlignTop | Qt::AlignLeft);
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
    grid->addLayout(options, 1, 1);
    Command5 = make_button(QStringLiteral("File ..."), "Command5", Picture1);
    Command5->setToolTip(QStringLiteral("Choose the PCB decal library file"));
    QSizePolicy keep_place = Command5->sizePolicy();
    keep_place.setRetainSizeWhenHidden(true);
    Command5->setSizePolicy(keep_place);
    grid->addWidget(Command5, 1, 2, Qt::AlignBottom | Qt::AlignLeft);

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
    grid->addLayout(link_row, 2, 0, 1, 4);
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
    ListView1->setDropGate([this] { return takes_files(); });
    connect(ListView1, &FileListView::filesDropped, this, &Form1::ListView1_Drop);
}

void Form1::Form_Load() {
    Label2->hide();
    Command1->setEnabled(false);
    Command4->setEnabled(false);
    for (QRadioButton* option : Option1) option->setEnabled(false);
    Command5->hide();

    news_ = new NewsDownload(settings_.site, state_.Application_Folder, this);
    connect(news_, &NewsDownload::newsReady, Text1, &QLineEdit::setText);
    news_->Internet_Detection();

    Lecture_des_Messages(state_, files_);
    // A folder that cannot be created shows when a run cannot write its files.
    tmp_makedir(state_);

    ListView1->clear();
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

void Form1::Option1_Click(int index) {
    if (running_) return;
    state_.Sort_Option = static_cast<std::int16_t>(index);
    Command1->setEnabled(true);
    Command5->setVisible(index == 3);
}

RunResult Form1::run_chosen_sort() {
    WindowStatus status(Label2, exit_requested_);
    return run_sort(state_, static_cast<SortKey>(*state_.Sort_Option), status, files_);
}

void Form1::Command1_Click() {
    // The buttons are disabled during a run; a call that still reaches a
    // handler then (a queued click, a direct call) changes nothing.
    if (running_) return;
    if (state_.Sort_Option && *state_.Sort_Option >= 0 && *state_.Sort_Option <= 3) {
        RunResult result;
        cmdOpenFolder->hide();
        cmdDetails->hide();
        {
            RunGuard guard(running_, {Command1, Command3, Command4, Command5, Option1[0], Option1[1], Option1[2],
                                      Option1[3]});
            result = run_chosen_sort();
        }
        report(result);
    }
    Command1->setEnabled(false);
    // "Exit" or the window's close box was used during the run.
    if (exit_requested_) close();
}

void Form1::report(const RunResult& result) {
    if (result.outcome == RunResult::Outcome::Stopped) return;  // the window closes
    if (result.outcome == RunResult::Outcome::Busy) {
        dialogs_.warning(QString::fromLatin1(kBoxTitle), from_utf8(result.error));
        return;
    }
    if (!result.ok) {
        Label2->setText(QStringLiteral("Run failed."));
        Label2->show();
        dialogs_.critical(QString::fromLatin1(kBoxTitle), from_utf8(result.error));
        return;
    }
    last_details_ = run_details(result, from_utf8(display_path(lib_folder(state_))));
    cmdOpenFolder->show();
    cmdDetails->show();
    if (result.warnings.empty()) return;
    const auto count = static_cast<int>(result.warnings.size());
    QString text = count == 1 ? QStringLiteral("The run finished with a warning:\n")
                              : QStringLiteral("The run finished with %1 warnings:\n").arg(count);
    for (int i = 0; i < count && i < kWarningsShown; ++i)
        text += QStringLiteral("\n") + from_utf8(result.warnings[static_cast<std::size_t>(i)]);
    if (count > kWarningsShown) text += QStringLiteral("\n\n... and %1 more.").arg(count - kWarningsShown);
    dialogs_.warning(QString::fromLatin1(kBoxTitle), text);
}

void Form1::Command2_Click() { close(); }

void Form1::cmdOpenFolder_Click() { dialogs_.openFolder(from_utf8(display_path(lib_folder(state_)))); }

void Form1::cmdDetails_Click() { dialogs_.details(QString::fromLatin1(kBoxTitle), last_details_); }

void Form1::closeEvent(QCloseEvent* event) {
    if (running_) {
        // The run stops at its next chance, changing nothing; Command1_Click
        // closes the window then.
        exit_requested_ = true;
        event->ignore();
        return;
    }
    event->accept();
}

void Form1::Command3_Click() {
    if (running_) return;
    // Add_Ascii_File adds the new entry's part count to Total_Parts itself.
    Add_Ascii_File();
}

void Form1::Add_Ascii_File() {
    const auto chosen = dialogs_.openFile(QString::fromLatin1(kPartTypeFilter), from_utf8(state_.Staged_Extension));
    if (!chosen) return;
    add_chosen_file(*chosen);
}

bool Form1::takes_files() const { return !running_ && Command3->isEnabled(); }

void Form1::ListView1_Drop(const QStringList& paths) {
    for (const QString& path : paths) {
        if (!takes_files()) return;
        add_chosen_file(path);
    }
}

void Form1::add_chosen_file(const QString& path) {
    const AddResult result =
        add_part_type_file(state_, path_from_qstring(path), files_, MarkerRule::part_types_v4());
    if (result.outcome == AddOutcome::NoMarker || result.outcome == AddOutcome::NotRegularFile) {
        dialogs_.warning(QString::fromLatin1(kBoxTitle), from_utf8(state_.message(0, 1)));
        return;
    }
    if (result.outcome != AddOutcome::Added) return;
    if (state_.File_Count == kMaxListedFiles) Command3->setEnabled(false);
    append_row(result.entry);
    Command4->setEnabled(true);
    for (QRadioButton* option : Option1) option->setEnabled(true);
}

int Form1::list_row_height() const { return ListView1->fontMetrics().height() + 8; }

void Form1::append_row(int entry) {
    const auto slot = static_cast<std::size_t>(entry);
    auto* row = new QTreeWidgetItem(ListView1);
    row->setText(0, from_utf8(state_.File_Name[slot]));
    row->setText(1, QString::number(state_.File_Parts[slot]));
    row->setToolTip(0, from_utf8(state_.File_Folder[slot] + state_.File_Name[slot]));
    row->setSizeHint(0, QSize(0, list_row_height()));
}

void Form1::Command4_Click() {
    if (running_) return;
    Del_Ascii_File();
}

void Form1::Del_Ascii_File() {
    const QString name = ListView1->selectedName();
    if (name.isEmpty()) return;
    remove_listed_file(state_, name.toUtf8().toStdString());
    ListView1->clear();
    for (int i = 1; i <= state_.File_Count; ++i) append_row(i);
    if (state_.File_Count == 0) {
        Command4->setEnabled(false);
        clear_options();
    }
    Command5->hide();
}

void Form1::clear_options() {
    // An exclusive group keeps one option checked; let go of that while clearing.
    option_group_->setExclusive(false);
    for (QRadioButton* option : Option1) {
        option->setAutoExclusive(false);
        option->setChecked(false);
        option->setAutoExclusive(true);
        option->setEnabled(false);
    }
    option_group_->setExclusive(true);
}

void Form1::Command5_Click() {
    if (running_) return;
    const auto chosen = dialogs_.openFile(QString::fromLatin1(kDecalFilter), from_utf8(state_.Staged_Extension));
    if (!chosen) return;
    const AddResult result =
        choose_decal_file(state_, path_from_qstring(*chosen), files_, MarkerRule::decals_v4());
    if (result.outcome == AddOutcome::NoMarker || result.outcome == AddOutcome::NotRegularFile)
        dialogs_.warning(QString::fromLatin1(kBoxTitle), from_utf8(state_.message(0, 1)));
}

void Form1::lblLink_MouseDown(Qt::MouseButton button) {
    if (button != Qt::LeftButton) return;
    QDesktopServices::openUrl(QUrl(settings_.site));
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblLink && event->type() == QEvent::MouseButtonPress) {
        lblLink_MouseDown(static_cast<QMouseEvent*>(event)->button());
        return true;
    }
    if ((watched == Command1 || watched == Frame1) &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
        place_exit_button();
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::place_exit_button() {
    const QPoint at = Command1->mapTo(this, QPoint(0, 0));
    Command2->move(at.x() + Command1->width() + kButtonGap, at.y());
    Command2->raise();
}

}  // namespace marrowgate::ui
