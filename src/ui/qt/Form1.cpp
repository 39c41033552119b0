// The face of Form1: each control the logic names, drawn with Qt, and what
// the user does with them handed to the logic. The controls are built in
// Form1Layout.cpp.
#include "ui/qt/Form1.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QUrl>
#include <cmath>

#include "io/Paths.h"
#include "news/NewsDownload.h"
#include "state/Module1.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/FileListView.h"
#include "ui/qt/Picture.h"

namespace marrowgate::ui {

using window::Control;

namespace {

QString text_of(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString path_text(const std::filesystem::path& path) { return text_of(utf8_from_path(path)); }

// The widest the decal file's name is shown beside "File ...".
constexpr int kDecalNameWidth = 240;

QSettings stored_settings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QString::fromLatin1(kSettingsOrganisation),
                     QString::fromLatin1(kSettingsApplication));
}

}  // namespace

Form1::Form1(WindowSettings settings, Dialogs& dialogs, FileSystem& files, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs) {
    setObjectName(QStringLiteral("Form1"));
    logic_ = std::make_unique<window::WindowLogic>(*this, std::move(settings), files);
    build_controls();
    logic_->Form_Load();
}

Form1::~Form1() {
    // The logic stops a run still working and waits for it before the controls go.
    logic_.reset();
    if (hourglass_) QApplication::restoreOverrideCursor();
}

QWidget* Form1::widget(Control control) const {
    switch (control) {
        case Control::picBanner: return picBanner;
        case Control::lblSelected: return lblSelected;
        case Control::Frame1: return Frame1;
        case Control::Text1: return Text1;
        case Control::Picture1: return Picture1;
        case Control::Label3: return Label3;
        case Control::ListView1: return ListView1;
        case Control::chkAnyVersion: return chkAnyVersion;
        case Control::Command3: return Command3;
        case Control::Command4: return Command4;
        case Control::Label4: return Label4;
        case Control::Option1_0: return Option1[0];
        case Control::Option1_1: return Option1[1];
        case Control::Option1_2: return Option1[2];
        case Control::Option1_3: return Option1[3];
        case Control::Command5: return Command5;
        case Control::lblDecalFile: return lblDecalFile;
        case Control::Label1_0: return Label1[0];
        case Control::Label1_1: return Label1[1];
        case Control::lblLink: return lblLink;
        case Control::Label2: return Label2;
        case Control::Command1: return Command1;
        case Control::Command2: return Command2;
        case Control::cmdOpenFolder: return cmdOpenFolder;
        case Control::cmdDetails: return cmdDetails;
    }
    return nullptr;
}

void Form1::set_caption(Control control, const std::string& caption) {
    QWidget* shown = widget(control);
    if (auto* button = qobject_cast<QAbstractButton*>(shown)) {
        button->setText(text_of(window::caption_with_access_key(control, caption)));
    } else if (auto* line = qobject_cast<QLineEdit*>(shown)) {
        line->setText(text_of(caption));
    } else if (control == Control::lblDecalFile) {
        decal_name_ = text_of(caption);
        lblDecalFile->setText(lblDecalFile->fontMetrics().elidedText(decal_name_, Qt::ElideMiddle, kDecalNameWidth));
    } else if (auto* label = qobject_cast<QLabel*>(shown)) {
        label->setText(text_of(caption));
    }
}

void Form1::set_enabled(Control control, bool enabled) { widget(control)->setEnabled(enabled); }

void Form1::set_visible(Control control, bool visible) { widget(control)->setVisible(visible); }

void Form1::set_checked(Control control, bool checked) {
    auto* button = qobject_cast<QAbstractButton*>(widget(control));
    if (button == nullptr || button->isChecked() == checked) return;
    // An exclusive group keeps one option checked; let go of that to clear one.
    const bool option = button != chkAnyVersion;
    if (option && !checked) option_group_->setExclusive(false);
    button->setChecked(checked);
    if (option && !checked) option_group_->setExclusive(true);
}

void Form1::set_tooltip(Control control, const std::string& text) { widget(control)->setToolTip(text_of(text)); }

void Form1::set_focus(Control control) { widget(control)->setFocus(Qt::OtherFocusReason); }

void Form1::add_column(const std::string& text, int twips) {
    const int column = list_columns_++;
    ListView1->setColumnCount(list_columns_);
    ListView1->headerItem()->setText(column, text_of(text));
    ListView1->headerItem()->setTextAlignment(column, Qt::AlignLeft | Qt::AlignVCenter);
    ListView1->header()->resizeSection(column, static_cast<int>(std::lround(twips * logicalDpiX() / 1440.0)));
    size_file_list();
}

void Form1::clear_rows() { ListView1->clear(); }

void Form1::append_row(const std::string& name, const std::string& count, const std::string& tooltip) {
    auto* row = new QTreeWidgetItem(ListView1);
    row->setText(0, text_of(name));
    row->setText(1, text_of(count));
    row->setToolTip(0, text_of(tooltip));
    row->setSizeHint(0, QSize(0, list_row_height()));
}

std::optional<int> Form1::selected_row() {
    const QList<QTreeWidgetItem*> rows = ListView1->selectedItems();
    if (rows.isEmpty()) return std::nullopt;
    return ListView1->indexOfTopLevelItem(rows.constFirst());
}

void Form1::set_hourglass(bool busy) {
    if (busy == hourglass_) return;
    hourglass_ = busy;
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

std::optional<std::filesystem::path> Form1::open_file(const window::FileQuestion& question) {
    const QString filter = text_of(question.filter_description);
    const auto chosen =
        dialogs_.openFile(filter, text_of(question.initial_name), path_text(question.start_folder));
    if (!chosen) return std::nullopt;
    return path_from_utf8(chosen->toUtf8().toStdString());
}

void Form1::message_box(window::BoxIcon icon, const std::string& title, const std::string& text) {
    if (icon == window::BoxIcon::Error) {
        dialogs_.critical(text_of(title), text_of(text));
    } else {
        dialogs_.warning(text_of(title), text_of(text));
    }
}

void Form1::details_box(const std::string& title, const std::string& text) {
    dialogs_.details(text_of(title), text_of(text));
}

bool Form1::open_folder(const std::filesystem::path& folder) { return dialogs_.openFolder(path_text(folder)); }

void Form1::open_url(const std::string& address) { QDesktopServices::openUrl(QUrl(text_of(address))); }

std::optional<std::string> Form1::recall(const std::string& key) {
    const QVariant value = stored_settings().value(text_of(key));
    if (!value.isValid()) return std::nullopt;
    return value.toString().toUtf8().toStdString();
}

void Form1::remember(const std::string& key, const std::string& value) {
    stored_settings().setValue(text_of(key), text_of(value));
}

void Form1::Internet_Detection() {
    news_ = new NewsDownload(text_of(logic_->settings().site), logic_->settings().application_folder, this);
    connect(news_, &NewsDownload::newsReady, this,
            [this](const QString& caption) { logic_->news_arrived(caption.toUtf8().toStdString()); });
    news_->Internet_Detection();
}

void Form1::post(std::function<void()> call) {
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void Form1::close_window() { close(); }

void Form1::closeEvent(QCloseEvent* event) {
    if (logic_->Form_QueryUnload()) {
        event->accept();
    } else {
        event->ignore();
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblLink && event->type() == QEvent::MouseButtonPress) {
        const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
        logic_->lblLink_MouseDown(button == Qt::LeftButton ? 1 : button == Qt::RightButton ? 2 : 4);
        return true;
    }
    if ((watched == Command1 || watched == Frame1) &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
        place_exit_button();
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace marrowgate::ui
