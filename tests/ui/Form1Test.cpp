// Widget tests of the main window: the controls found by their names, the
// file list and its state table, the options and the decal file, runs checked
// on the files they write, the error and warning boxes, and a window that
// keeps clicks out of a running sort.
#include <QApplication>
#include <QDesktopServices>
#include <QDropEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <cmath>
#include <filesystem>
#include <memory>

#include "ScriptedDialogs.h"
#include "news/NewsDownload.h"
#include "state/Module1.h"
#include "support/TestSupport.h"
#include "ui/FileListView.h"
#include "ui/Form1.h"
#include "ui/Picture.h"

using marrowgate::test::crlf;
using marrowgate::test::ScriptedDialogs;
using marrowgate::test::TempDir;
using marrowgate::test::write_file;
using marrowgate::ui::Form1;
namespace fs = std::filesystem;

namespace {

const QString kWarningText = QStringLiteral("This file is not a library of the expected kind.");
const std::string kPartMarker = "*PADS-LIBRARY-PART-TYPES-V4*";

std::string part_block(const std::string& name, const std::string& decal, const std::string& family) {
    return crlf({name + " " + decal + " I " + family + " 3 1 0 0 0", "TIMESTAMP 2024.03.11.09.15.02", "GATE 1 2 0",
                 name, "1 0 L A", "2 0 S Y", ""});
}

std::string library(const std::vector<std::string>& blocks, const std::string& marker = kPartMarker) {
    std::string text = crlf({marker, ""});
    for (const auto& block : blocks) text += block;
    return text + crlf({"*END*"});
}

// A library of `parts` parts named P01, P02, ... with the given decal.
std::string numbered_library(int parts, const std::string& decal = "DIP8") {
    std::vector<std::string> blocks;
    for (int i = 1; i <= parts; ++i) {
        const std::string name = (i < 10 ? "P0" : "P") + std::to_string(i);
        blocks.push_back(part_block(name, decal, "TTL"));
    }
    return library(blocks);
}

template <class... Widgets>
std::vector<QWidget*> widgets(Widgets*... list) {
    return {static_cast<QWidget*>(list)...};
}

QString qpath(const fs::path& path) { return QString::fromStdString(path.string()); }

QStringList row_names(const QTreeWidget* list) {
    QStringList names;
    for (int i = 0; i < list->topLevelItemCount(); ++i) names << list->topLevelItem(i)->text(0);
    return names;
}

// The bytes of a file; empty when it cannot be read.
std::string read_file(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec) ? marrowgate::test::read_file(path) : std::string();
}

bool ends_with(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// One window on a fresh application folder, with its message file.
struct Window {
    explicit Window(bool message_file = true, bool lib_is_a_file = false) {
        if (message_file)
            write_file(app / "marrowgate_msg.dat",
                       "0;Vorlane Marrowgate;\r\n1;" + kWarningText.toStdString() + ";\r\n");
        if (lib_is_a_file) {
            write_file(app / "lib", "not a folder");
            fs::create_directory(app / "tmp");
        }
        form = std::make_unique<Form1>(
            marrowgate::ui::WindowSettings{app.path(), marrowgate::site_address(), {}}, dialogs);
        form->show();
    }
    // "+" with the dialog answering `path`.
    void add(const fs::path& path) {
        dialogs.answer(qpath(path));
        QTest::mouseClick(form->Command3, Qt::LeftButton);
    }
    void select_row(int row) { form->ListView1->setCurrentItem(form->ListView1->topLevelItem(row)); }
    void remove_row(int row) {
        select_row(row);
        QTest::mouseClick(form->Command4, Qt::LeftButton);
    }
    // A click on the option's round button.
    void option(int index) {
        QRadioButton* button = form->Option1[static_cast<std::size_t>(index)];
        QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(8, button->height() / 2));
    }
    void execute() { QTest::mouseClick(form->Command1, Qt::LeftButton); }
    void choose_decal(const fs::path& path) {
        dialogs.answer(qpath(path));
        QTest::mouseClick(form->Command5, Qt::LeftButton);
    }
    void drop(const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QDropEvent event(QPointF(20, 30), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form->ListView1->viewport(), &event);
    }
    bool options_enabled() const {
        for (auto* option : form->Option1)
            if (!option->isEnabled()) return false;
        return true;
    }
    bool any_option_checked() const {
        for (auto* option : form->Option1)
            if (option->isChecked()) return true;
        return false;
    }
    fs::path lib() const { return app / "lib"; }

    TempDir app;
    TempDir inputs;
    ScriptedDialogs dialogs;
    std::unique_ptr<Form1> form;
};

class UrlRecorder : public QObject {
    Q_OBJECT
public slots:
    void open(const QUrl& url) { opened << url; }

public:
    QList<QUrl> opened;
};

}  // namespace

class Form1Test : public QObject {
    Q_OBJECT
private slots:
    void controlsStartUpAndArrangement();
    void fileListStateTable();
    void fourFilesAtMostAndSameNames();
    void markerRefusalsShowTheWarningBox();
    void realV9LibraryIsRefused();
    void optionsAndDecalFile();
    void executeWritesTheLibraries();
    void failedRunShowsTheErrorBox();
    void warningsAreShownInOneBox();
    void afterARunTheFilesCanBeFound();
    void clicksDuringARunChangeNothing();
    void closingDuringARunWaitsForTheFiles();
    void droppedFilesGoThroughPlus();
    void linkAndNewsLine();
};

void Form1Test::controlsStartUpAndArrangement() {
    Window w;
    Form1& f = *w.form;
    QVERIFY(QTest::qWaitForWindowExposed(&f));

    const QStringList names = {"picBanner", "lblSelected", "Label3",    "ListView1", "Command3",  "Command4",
                               "Label4",    "Option1_0",   "Option1_1", "Option1_2", "Option1_3", "Command5",
                               "Frame1",    "Text1",       "Picture1",  "Label1_0",  "Label1_1",  "lblLink",
                               "Label2",    "Command1",    "Command2"};
    const auto members = widgets(f.picBanner, f.lblSelected, f.Label3, f.ListView1, f.Command3, f.Command4, f.Label4,
                                 f.Option1[0], f.Option1[1], f.Option1[2], f.Option1[3], f.Command5, f.Frame1, f.Text1,
                                 f.Picture1, f.Label1[0], f.Label1[1], f.lblLink, f.Label2, f.Command1, f.Command2);
    for (int i = 0; i < names.size(); ++i) {
        QWidget* found = f.findChild<QWidget*>(names[i]);
        QVERIFY2(found != nullptr && found == members[static_cast<std::size_t>(i)], qPrintable(names[i]));
    }

    // Containment.
    QVERIFY(f.picBanner->isAncestorOf(f.lblSelected));
    for (QWidget* inside : widgets(f.Text1, f.Picture1, f.Command1, f.Label2))
        QVERIFY(f.Frame1->isAncestorOf(inside));
    for (QWidget* inside :
         widgets(f.Command5, f.Command4, f.Command3, f.ListView1, f.Label4, f.Label3, f.lblLink, f.Label1[0], f.Label1[1], f.Option1[0], f.Option1[3]))
        QVERIFY(f.Picture1->isAncestorOf(inside));
    for (QWidget* on_window : widgets(f.Command2, f.picBanner, f.Frame1))
        QCOMPARE(on_window->parentWidget(), &f);

    // Captions and fonts.
    QCOMPARE(f.lblSelected->text(), QStringLiteral("Vorlane Marrowgate " MARROWGATE_VERSION));
    QCOMPARE(f.windowTitle(), QStringLiteral("Vorlane Marrowgate " MARROWGATE_VERSION));
    QCOMPARE(f.Label3->text(), QStringLiteral("Select files"));
    QCOMPARE(f.Label4->text(), QStringLiteral("Sort by"));
    QCOMPARE(f.Option1[0]->text(), QStringLiteral("Alphanumeric Order"));
    QCOMPARE(f.Option1[3]->text(), QStringLiteral("PCB Decal Pads Number"));
    QCOMPARE(f.Command5->text(), QStringLiteral("File ..."));
    QCOMPARE(f.Command1->text(), QStringLiteral("Execute"));
    QCOMPARE(f.Command2->text(), QStringLiteral("Exit"));
    QCOMPARE(f.Text1->text(), QStringLiteral("News:"));
    QCOMPARE(f.lblLink->text(), marrowgate::site_address());
    QCOMPARE(f.font().family(), QStringLiteral("Verdana"));
    QCOMPARE(f.lblSelected->font().family(), QStringLiteral("Tahoma"));
    QCOMPARE(f.Label2->font().family(), QStringLiteral("Arial"));

    // Start-up states.
    QVERIFY(f.Label2->isHidden());
    QVERIFY(!f.Command1->isEnabled());
    QVERIFY(!f.Command4->isEnabled());
    QVERIFY(f.Command3->isEnabled());
    QVERIFY(f.Command5->isHidden());
    QVERIFY(!w.options_enabled() && !w.any_option_checked());
    QVERIFY(fs::is_directory(w.app / "lib") && fs::is_directory(w.app / "tmp"));
    QCOMPARE(f.state().File_Count, 0);
    QVERIFY(!f.state().Sort_Option.has_value());
    QCOMPARE(QString::fromStdString(f.state().message(0, 1)), kWarningText);

    // The list: two columns sized in twips at the screen's resolution, whole
    // rows, one at a time, not editable.
    QCOMPARE(f.ListView1->headerItem()->text(0), QStringLiteral("Name"));
    QCOMPARE(f.ListView1->headerItem()->text(1), QStringLiteral("#"));
    const int dpi = f.logicalDpiX();
    QCOMPARE(f.ListView1->header()->sectionSize(0), static_cast<int>(std::lround(3540.0 * dpi / 1440)));
    QCOMPARE(f.ListView1->header()->sectionSize(1), static_cast<int>(std::lround(1000.0 * dpi / 1440)));
    QCOMPARE(f.ListView1->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(f.ListView1->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(f.ListView1->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(!f.ListView1->rootIsDecorated());

    // Arrangement: "Select files" left of the list, "+" and "-" right of it;
    // the options below it with "File ..." to their right; the status label
    // left of "Execute", and "Exit" right of "Execute" on the same line.
    auto box = [&f](QWidget* widget) { return QRect(widget->mapTo(&f, QPoint(0, 0)), widget->size()); };
    QVERIFY(box(f.Label3).right() < box(f.ListView1).left());
    QVERIFY(box(f.Command3).left() > box(f.ListView1).right());
    QVERIFY(box(f.Command4).top() > box(f.Command3).bottom());
    QVERIFY(box(f.Option1[0]).top() > box(f.ListView1).bottom());
    QVERIFY(box(f.Option1[3]).top() > box(f.Option1[2]).bottom());
    QVERIFY(box(f.Command5).left() > box(f.Option1[3]).left());
    QVERIFY(box(f.Text1).top() > box(f.Option1[3]).bottom());
    QVERIFY(box(f.Command1).top() > box(f.Text1).bottom());
    QVERIFY(box(f.Label2).right() < box(f.Command1).left());
    QCOMPARE(box(f.Command2).top(), box(f.Command1).top());
    QVERIFY(box(f.Command2).left() > box(f.Command1).right());
    QVERIFY(f.rect().contains(box(f.Command2)));
    QVERIFY(f.minimumSize().width() >= 800 && f.minimumSize().height() > 300);

    // "Exit" ends the program.
    QTest::mouseClick(f.Command2, Qt::LeftButton);
    QVERIFY(!f.isVisible());
}

void Form1Test::fileListStateTable() {
    Window w;
    Form1& f = *w.form;
    write_file(w.inputs / "a.p", numbered_library(10));
    write_file(w.inputs / "b.p", numbered_library(5));

    w.add(w.inputs / "a.p");
    QCOMPARE(w.dialogs.questions.at(0).filter, QStringLiteral("Part-Type Files (*.p)"));
    QCOMPARE(w.dialogs.questions.at(0).initialName, QString());
    w.add(w.inputs / "b.p");
    QCOMPARE(w.dialogs.questions.at(1).initialName, QStringLiteral(".p"));
    QCOMPARE(row_names(f.ListView1), QStringList({"a.p", "b.p"}));
    QCOMPARE(f.ListView1->topLevelItem(0)->text(1), QStringLiteral("10"));
    QCOMPARE(f.ListView1->topLevelItem(1)->text(1), QStringLiteral("5"));
    QCOMPARE(f.state().Total_Parts, 15);
    QVERIFY(f.Command3->isEnabled() && f.Command4->isEnabled() && w.options_enabled());
    QVERIFY(!f.Command1->isEnabled());

    // Silent refusals: already listed, cancelled, missing file, no extension,
    // an extension other than .p and .d (letter case counts).
    write_file(w.inputs / "README", library({part_block("X1", "DIP8", "TTL")}));
    write_file(w.inputs / "c.P", library({part_block("X1", "DIP8", "TTL")}));
    w.add(w.inputs / "a.p");
    w.dialogs.cancel();
    QTest::mouseClick(f.Command3, Qt::LeftButton);
    w.add(w.inputs / "missing.p");
    w.add(w.inputs / "README");
    w.add(w.inputs / "c.P");
    QVERIFY2(w.dialogs.boxes.empty(), qPrintable(w.dialogs.boxes.empty() ? QString() : w.dialogs.boxes[0].text));
    QCOMPARE(row_names(f.ListView1), QStringList({"a.p", "b.p"}));
    QCOMPARE(f.state().Total_Parts, 15);

    // A ".d" file that holds part types is listed like a ".p" file.
    write_file(w.inputs / "e.d", library({part_block("E1", "DIP8", "TTL")}));
    w.add(w.inputs / "e.d");
    QCOMPARE(row_names(f.ListView1), QStringList({"a.p", "b.p", "e.d"}));
    w.remove_row(2);

    // Removing one of two files keeps the options (option 3 stays chosen) and
    // "Execute", but hides "File ...".
    w.option(3);
    QVERIFY(f.Command5->isVisible() && f.Command1->isEnabled());
    w.remove_row(0);
    QCOMPARE(row_names(f.ListView1), QStringList({"b.p"}));
    QCOMPARE(f.state().Total_Parts, 5);
    QCOMPARE(f.state().File_Count, 1);
    QVERIFY(w.options_enabled() && f.Option1[3]->isChecked());
    QVERIFY(f.Command5->isHidden());
    QVERIFY(f.Command1->isEnabled());

    // "-" with no row selected removes nothing.
    f.ListView1->clearSelection();
    QTest::mouseClick(f.Command4, Qt::LeftButton);
    QCOMPARE(f.state().File_Count, 1);

    // Removing the last file empties the list, disables "-", clears and
    // disables the options; "Execute" keeps its state, "+" stays usable.
    w.option(0);
    w.remove_row(0);
    QCOMPARE(f.ListView1->topLevelItemCount(), 0);
    QCOMPARE(f.state().Total_Parts, 0);
    QVERIFY(!f.Command4->isEnabled());
    QVERIFY(!w.any_option_checked());
    for (auto* option : f.Option1) QVERIFY(!option->isEnabled());
    QVERIFY(f.Command5->isHidden());
    QVERIFY(f.Command1->isEnabled());
    QVERIFY(f.Command3->isEnabled());

    // A run on the empty list writes no library and ends with "Done.".
    w.execute();
    QCOMPARE(f.Label2->text(), QStringLiteral("Done."));
    QVERIFY(!f.Command1->isEnabled());
    QVERIFY(fs::is_empty(w.lib()));
    QVERIFY(w.dialogs.boxes.empty());
}

void Form1Test::fourFilesAtMostAndSameNames() {
    Window w;
    Form1& f = *w.form;
    fs::create_directory(w.inputs / "one");
    fs::create_directory(w.inputs / "two");
    write_file(w.inputs / "one" / "lib.p", numbered_library(3));
    write_file(w.inputs / "two" / "lib.p", numbered_library(4));
    write_file(w.inputs / "x.p", numbered_library(1));
    write_file(w.inputs / "y.p", numbered_library(2));
    write_file(w.inputs / "z.p", numbered_library(2));

    w.add(w.inputs / "one" / "lib.p");
    w.add(w.inputs / "two" / "lib.p");
    w.add(w.inputs / "x.p");
    QVERIFY(f.Command3->isEnabled());
    w.add(w.inputs / "y.p");
    QCOMPARE(row_names(f.ListView1), QStringList({"lib.p", "lib.p", "x.p", "y.p"}));
    QVERIFY(!f.Command3->isEnabled());

    // No fifth file, by "+" or by dropping.
    const auto asked = w.dialogs.questions.size();
    QTest::mouseClick(f.Command3, Qt::LeftButton);
    QCOMPARE(w.dialogs.questions.size(), asked);
    w.drop({QUrl::fromLocalFile(qpath(w.inputs / "z.p"))});
    QCOMPARE(f.state().File_Count, 4);

    // Of two rows named lib.p, "-" removes the one added last, whichever row
    // is selected.
    w.remove_row(0);
    QCOMPARE(row_names(f.ListView1), QStringList({"lib.p", "x.p", "y.p"}));
    QCOMPARE(fs::path(f.state().File_Folder[1]), w.inputs / "one" / "");
    QCOMPARE(f.state().Total_Parts, 3 + 1 + 2);

    // "+" stays disabled for good.
    while (f.ListView1->topLevelItemCount() > 0) w.remove_row(0);
    QVERIFY(!f.Command3->isEnabled());
    QVERIFY(!f.Command4->isEnabled());
}

void Form1Test::markerRefusalsShowTheWarningBox() {
    Window w;
    Form1& f = *w.form;
    const std::string block = part_block("X1", "DIP8", "TTL");
    write_file(w.inputs / "plain.p", crlf({"just text"}) + block);
    write_file(w.inputs / "v9.p", library({block}, "*PADS-LIBRARY-PART-TYPES-V9*"));
    write_file(w.inputs / "space.p", library({block}, kPartMarker + " "));
    write_file(w.inputs / "lower.p", library({block}, "*pads-library-part-types-v4*"));
    write_file(w.inputs / "decals.p", library({block}, "*PADS-LIBRARY-PCB-DECALS-V4*"));
    write_file(w.inputs / "third.p", crlf({"first", "second"}) + library({block}));

    for (const char* name : {"plain.p", "v9.p", "space.p", "lower.p", "decals.p"}) {
        const auto before = w.dialogs.boxes.size();
        w.add(w.inputs / name);
        QVERIFY2(w.dialogs.boxes.size() == before + 1, name);
        const auto& box = w.dialogs.boxes.back();
        QCOMPARE(box.kind, QStringLiteral("warning"));
        QCOMPARE(box.title, QStringLiteral("Vorlane"));
        QCOMPARE(box.text, kWarningText);
    }
    QCOMPARE(f.state().File_Count, 0);
    QVERIFY(!f.Command4->isEnabled() && !w.options_enabled());

    // The marker may stand on any line.
    w.add(w.inputs / "third.p");
    QCOMPARE(row_names(f.ListView1), QStringList({"third.p"}));

    // Without a message file the box still comes, with an empty text.
    Window bare(false);
    bare.add(w.inputs / "plain.p");
    QCOMPARE(bare.dialogs.boxes.size(), std::size_t{1});
    QCOMPARE(bare.dialogs.boxes.back().text, QString());
}

void Form1Test::realV9LibraryIsRefused() {
    const fs::path corpus = marrowgate::test::corpus_dir();
    if (corpus.empty()) QSKIP("corpus folder not found: set MARROWGATE_CORPUS_DIR");
    const fs::path v9 = corpus / "pga460" / "PGA460TPWQ1.p";
    if (!fs::exists(v9)) QSKIP("corpus file not found: pga460/PGA460TPWQ1.p");
    Window w;
    w.add(v9);
    QCOMPARE(w.dialogs.boxes.size(), std::size_t{1});
    QCOMPARE(w.dialogs.boxes.back().kind, QStringLiteral("warning"));
    QCOMPARE(w.form->state().File_Count, 0);
}

void Form1Test::optionsAndDecalFile() {
    Window w;
    Form1& f = *w.form;
    const fs::path samples = marrowgate::test::samples_dir();
    w.add(samples / "logic.p");

    w.option(3);
    QCOMPARE(f.state().Sort_Option, std::optional<std::int16_t>(3));
    QVERIFY(f.Command1->isEnabled() && f.Command5->isVisible());
    w.option(0);
    QVERIFY(f.Command5->isHidden());
    QCOMPARE(f.state().Sort_Option, std::optional<std::int16_t>(0));
    w.option(3);

    auto controls = [&f] {
        QString s;
        for (QWidget* c : widgets(f.Command1, f.Command3, f.Command4, f.Command5, f.Option1[0]))
            s += QStringLiteral("%1%2 ").arg(c->isEnabled()).arg(c->isVisible());
        return s;
    };
    const QString before = controls();

    // A part-type library is no decal library.
    w.choose_decal(samples / "discretes.p");
    QCOMPARE(w.dialogs.questions.back().filter, QStringLiteral("PCB Decal File (*.d)"));
    QCOMPARE(w.dialogs.questions.back().initialName, QStringLiteral(".p"));
    QCOMPARE(w.dialogs.boxes.size(), std::size_t{1});
    QCOMPARE(w.dialogs.boxes.back().text, kWarningText);
    QCOMPARE(f.state().Decal_Count, 0);

    w.choose_decal(samples / "footprints.d");
    QCOMPARE(f.state().Decal_Count, 1);
    QCOMPARE(f.state().Decal_Name[1], std::string("footprints.d"));

    // A second choice replaces the first; a refused or cancelled one keeps it.
    fs::copy_file(samples / "footprints.d", w.inputs / "other.d");
    w.choose_decal(w.inputs / "other.d");
    QCOMPARE(fs::path(f.state().Decal_Folder[1]), w.inputs / "");
    write_file(w.inputs / "bad.d", crlf({"no marker here"}));
    w.choose_decal(w.inputs / "bad.d");
    w.choose_decal(w.inputs / "gone.d");
    w.dialogs.cancel();
    QTest::mouseClick(f.Command5, Qt::LeftButton);
    QCOMPARE(f.state().Decal_Name[1], std::string("other.d"));
    QCOMPARE(w.dialogs.boxes.size(), std::size_t{2});
    QCOMPARE(controls(), before);
    QCOMPARE(f.state().File_Count, 1);

    // The next "+" opens with the extension of the last choice.
    w.dialogs.cancel();
    QTest::mouseClick(f.Command3, Qt::LeftButton);
    QCOMPARE(w.dialogs.questions.back().initialName, QStringLiteral(".d"));
}

void Form1Test::executeWritesTheLibraries() {
    Window w;
    Form1& f = *w.form;
    const std::string ab1 = part_block("AB1", "DIP8", "TTL");
    const std::string cd2 = part_block("CD2", "SO8", "CMOS");
    const std::string ax3 = part_block("AX3", "DIP8", "TTL");
    write_file(w.inputs / "t.p", library({ab1, cd2, ax3}));
    w.add(w.inputs / "t.p");
    w.option(0);
    w.execute();

    const std::string opening = kPartMarker + "\r\n\r\r\n";
    QCOMPARE(read_file(w.lib() / "LIB_A.p"), opening + ab1 + ax3 + "*END*\r\n");
    QCOMPARE(read_file(w.lib() / "LIB_C.p"), opening + cd2 + "*END*\r\n");
    QVERIFY(fs::exists(w.app / "tmp" / "Alphanumeric.dat"));
    QVERIFY2(w.dialogs.boxes.empty(), qPrintable(w.dialogs.boxes.empty() ? QString() : w.dialogs.boxes[0].text));
    QVERIFY(f.Label2->isVisible());
    QCOMPARE(f.Label2->text(), QStringLiteral("Done."));
    QVERIFY(QApplication::overrideCursor() == nullptr);
    // After the run: "Execute" waits for an option click, the rest is as before.
    QVERIFY(!f.Command1->isEnabled());
    QVERIFY(f.Command3->isEnabled() && f.Command4->isEnabled() && w.options_enabled());
    QVERIFY(f.Option1[0]->isChecked());

    // By number of pads, with the sample decal library: both SO14 parts land
    // in LIB_14.p, in input order.
    const fs::path samples = marrowgate::test::samples_dir();
    w.remove_row(0);
    w.add(samples / "logic.p");
    w.option(3);
    w.choose_decal(samples / "footprints.d");
    w.execute();
    QVERIFY(w.dialogs.boxes.empty());
    const std::string fourteen = read_file(w.lib() / "LIB_14.p");
    QVERIFY(fourteen.rfind(opening, 0) == 0);
    QVERIFY(ends_with(fourteen, "\r\n\r\n*END*\r\n"));
    const auto first = fourteen.find("74LS00 SO14:DIP14 I TTL");
    const auto second = fourteen.find("LM324 SO14 I ANA");
    QVERIFY(first != std::string::npos && second != std::string::npos && first < second);
    QVERIFY(f.Command5->isVisible() && f.Command5->isEnabled());
    QVERIFY(!f.Command1->isEnabled());
}

void Form1Test::failedRunShowsTheErrorBox() {
    Window w(true, true);  // a regular file stands where the lib folder should be
    Form1& f = *w.form;
    write_file(w.inputs / "t.p", library({part_block("AB1", "DIP8", "TTL")}));
    w.add(w.inputs / "t.p");
    w.option(0);
    w.execute();

    QCOMPARE(w.dialogs.boxes.size(), std::size_t{1});
    const auto& box = w.dialogs.boxes.back();
    QCOMPARE(box.kind, QStringLiteral("critical"));
    QCOMPARE(box.title, QStringLiteral("Vorlane"));
    QVERIFY2(box.text.contains(QStringLiteral("LIB_A.p")), qPrintable(box.text));
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QCOMPARE(f.Label2->text(), QStringLiteral("Run failed."));
    QVERIFY(f.isVisible());
    QCOMPARE(row_names(f.ListView1), QStringList({"t.p"}));
    QCOMPARE(f.state().File_Count, 1);
    QVERIFY(f.Command3->isEnabled() && f.Command4->isEnabled() && w.options_enabled());

    // Once the folder is there, the same list sorts.
    fs::remove(w.lib());
    fs::create_directory(w.lib());
    w.option(0);
    w.execute();
    QCOMPARE(w.dialogs.boxes.size(), std::size_t{1});
    QVERIFY(fs::exists(w.lib() / "LIB_A.p"));
    QCOMPARE(f.Label2->text(), QStringLiteral("Done."));
}

void Form1Test::warningsAreShownInOneBox() {
    Window w;
    Form1& f = *w.form;
    // 25 parts whose decal is in no decal library, sorted by pad count.
    write_file(w.inputs / "many.p", numbered_library(25, "NOSUCH"));
    w.add(w.inputs / "many.p");
    w.option(3);
    w.choose_decal(marrowgate::test::samples_dir() / "footprints.d");
    w.execute();

    QCOMPARE(f.Label2->text(), QStringLiteral("Done."));
    QCOMPARE(w.dialogs.boxes.size(), std::size_t{1});
    const auto& box = w.dialogs.boxes.back();
    QCOMPARE(box.kind, QStringLiteral("warning"));
    QCOMPARE(box.title, QStringLiteral("Vorlane"));
    QVERIFY(box.text.contains(QStringLiteral("25 warnings")));
    QVERIFY(box.text.contains(QStringLiteral("the part P20 ")));
    QVERIFY(!box.text.contains(QStringLiteral("the part P21 ")));
    QVERIFY(box.text.contains(QStringLiteral("5 more")));

    // One warning: a last part without its closing empty line.
    write_file(w.inputs / "open.p",
               crlf({kPartMarker, "", "OPEN1 DIP8 I TTL 3 1 0 0 0", "GATE 1 2 0", "OPEN1", "1 0 L A"}));
    w.remove_row(0);
    w.add(w.inputs / "open.p");
    w.option(0);
    w.execute();
    QCOMPARE(w.dialogs.boxes.size(), std::size_t{2});
    QVERIFY(w.dialogs.boxes.back().text.contains(QStringLiteral("OPEN1")));
    QVERIFY(!w.dialogs.boxes.back().text.contains(QStringLiteral("more")));
    QVERIFY(ends_with(read_file(w.lib() / "LIB_O.p"), "1 0 L A\r\n\r\n*END*\r\n"));
}

void Form1Test::afterARunTheFilesCanBeFound() {
    Window w;
    Form1& f = *w.form;
    QVERIFY(!f.cmdOpenFolder->isVisible() && !f.cmdDetails->isVisible());
    write_file(w.inputs / "t.p", library({part_block("AB1", "DIP8", "TTL"), part_block("AX3", "NOSUCH", "TTL")}));
    w.add(w.inputs / "t.p");
    w.option(3);
    w.choose_decal(marrowgate::test::samples_dir() / "footprints.d");
    write_file(w.inputs / "d.d", crlf({"*PADS-LIBRARY-PCB-DECALS-V4*", "", "DIP8 M 0 0 0 2 3 0 8 1 0", "", "*END*"}));
    w.choose_decal(w.inputs / "d.d");
    w.execute();
    QCOMPARE(f.Label2->text(), QStringLiteral("Done."));
    QVERIFY(f.cmdOpenFolder->isVisible() && f.cmdDetails->isVisible());

    QTest::mouseClick(f.cmdOpenFolder, Qt::LeftButton);
    QCOMPARE(w.dialogs.opened_folders, QStringList({qpath(w.lib())}));
    const auto boxes = w.dialogs.boxes.size();
    QTest::mouseClick(f.cmdDetails, Qt::LeftButton);
    QCOMPARE(w.dialogs.boxes.size(), boxes + 1);
    const QString details = w.dialogs.boxes.back().text;
    QCOMPARE(w.dialogs.boxes.back().kind, QStringLiteral("details"));
    QVERIFY2(details.contains(QStringLiteral("LIB_8.p   key \"8\"   1 part(s)")), qPrintable(details));
    QVERIFY2(details.contains(QStringLiteral("AX3   decal \"NOSUCH\"   from t.p")), qPrintable(details));
    QCOMPARE(f.Label2->text(), QStringLiteral("Done."));

    // A failed run leaves nothing to open.
    fs::remove_all(w.lib());
    write_file(w.lib(), "not a folder");
    w.option(0);
    w.execute();
    QCOMPARE(w.dialogs.boxes.back().kind, QStringLiteral("critical"));
    QVERIFY(!f.cmdOpenFolder->isVisible() && !f.cmdDetails->isVisible());
}

void Form1Test::clicksDuringARunChangeNothing() {
    Window w;
    Form1& f = *w.form;
    write_file(w.inputs / "a.p", numbered_library(300));
    write_file(w.inputs / "b.p", numbered_library(300));
    write_file(w.inputs / "c.p", numbered_library(3));
    w.add(w.inputs / "a.p");
    w.add(w.inputs / "b.p");
    w.option(0);
    w.select_row(0);

    struct Seen {
        bool called = false;
        bool running = false;
        bool busy_cursor = false;
        bool label_shown = false;
        QStringList enabled;
        bool still_running_after_calls = false;
        bool still_visible_after_exit = false;
    } seen;
    const auto asked = w.dialogs.questions.size();
    // Runs inside the window's event handling during the run.
    QTimer::singleShot(0, &f, [&] {
        seen.called = true;
        seen.running = f.running();
        seen.busy_cursor = QApplication::overrideCursor() != nullptr &&
                           QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        seen.label_shown = f.Label2->isVisible();
        for (QWidget* c : widgets(f.Command1, f.Command3, f.Command4, f.Command5, f.Option1[0], f.Option1[1], f.Option1[2], f.Option1[3]))
            if (c->isEnabled()) seen.enabled << c->objectName();
        // Clicks on the disabled controls, direct calls of the handlers and a
        // dropped file all leave the state alone.
        w.dialogs.answer(qpath(w.inputs / "c.p"));
        QTest::mouseClick(f.Command3, Qt::LeftButton);
        QTest::mouseClick(f.Command4, Qt::LeftButton);
        QTest::mouseClick(f.Option1[2], Qt::LeftButton);
        f.Command3_Click();
        f.Command4_Click();
        f.Command5_Click();
        f.Option1_Click(2);
        f.Command1_Click();
        w.drop({QUrl::fromLocalFile(qpath(w.inputs / "c.p"))});
        seen.still_running_after_calls = f.running();
        // "Exit" during the run ends the program once the run is over.
        QTest::mouseClick(f.Command2, Qt::LeftButton);
        seen.still_visible_after_exit = f.isVisible();
    });
    w.execute();

    QVERIFY(seen.called);
    QVERIFY(seen.running);
    QVERIFY(seen.busy_cursor);
    QVERIFY(seen.label_shown);
    QVERIFY2(seen.enabled.isEmpty(), qPrintable(seen.enabled.join(' ')));
    QVERIFY(seen.still_running_after_calls);
    QVERIFY(seen.still_visible_after_exit);
    QCOMPARE(w.dialogs.questions.size(), asked);
    QCOMPARE(f.state().File_Count, 2);
    QCOMPARE(f.state().Total_Parts, 600);
    QCOMPARE(f.state().Sort_Option, std::optional<std::int16_t>(0));

    // The run finished its files, then the window closed.
    QVERIFY(!f.isVisible());
    QVERIFY(!f.running());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    const std::string out = read_file(w.lib() / "LIB_P.p");
    QVERIFY(ends_with(out, "*END*\r\n"));
    QVERIFY(out.find("P01 DIP8") != std::string::npos);
}

void Form1Test::closingDuringARunWaitsForTheFiles() {
    Window w;
    Form1& f = *w.form;
    write_file(w.inputs / "a.p", numbered_library(50));
    w.add(w.inputs / "a.p");
    w.option(0);
    bool refused = false;
    QTimer::singleShot(0, &f, [&] { refused = !f.close() && f.isVisible(); });
    w.execute();
    QVERIFY(refused);
    QVERIFY(!f.isVisible());
    QVERIFY(ends_with(read_file(w.lib() / "LIB_P.p"), "*END*\r\n"));
}

void Form1Test::droppedFilesGoThroughPlus() {
    Window w;
    Form1& f = *w.form;
    write_file(w.inputs / "a.p", numbered_library(2));
    write_file(w.inputs / "b.p", numbered_library(3));
    write_file(w.inputs / "plain.p", crlf({"no marker"}));

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(qpath(w.inputs / "a.p"))});
    QDragEnterEvent enter(QPoint(20, 30), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.ListView1->viewport(), &enter);
    QVERIFY(enter.isAccepted());

    w.drop({QUrl::fromLocalFile(qpath(w.inputs / "a.p")), QUrl::fromLocalFile(qpath(w.inputs / "plain.p")),
            QUrl::fromLocalFile(qpath(w.inputs / "a.p")), QUrl(QStringLiteral("https://example.org/x.p")),
            QUrl::fromLocalFile(qpath(w.inputs / "b.p"))});
    QCOMPARE(row_names(f.ListView1), QStringList({"a.p", "b.p"}));
    QCOMPARE(f.state().Total_Parts, 5);
    QCOMPARE(w.dialogs.boxes.size(), std::size_t{1});
    QCOMPARE(w.dialogs.boxes.back().text, kWarningText);
    QVERIFY(f.Command4->isEnabled() && w.options_enabled());
    QVERIFY(w.dialogs.questions.empty());
}

void Form1Test::linkAndNewsLine() {
    Window w;
    Form1& f = *w.form;
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &recorder, "open");
    QTest::mouseClick(f.lblLink, Qt::RightButton);
    QTest::mouseClick(f.lblLink, Qt::MiddleButton);
    QVERIFY(recorder.opened.isEmpty());
    QTest::mouseClick(f.lblLink, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QCOMPARE(recorder.opened.size(), 1);
    QCOMPARE(recorder.opened.front(), QUrl(marrowgate::site_address()));

    // A completed news download shows its line.
    auto* news = f.findChild<marrowgate::NewsDownload*>();
    QVERIFY(news != nullptr);
    emit news->newsReady(QStringLiteral("News: version 1.0.1 is out"));
    QCOMPARE(f.Text1->text(), QStringLiteral("News: version 1.0.1 is out"));
}

QTEST_MAIN(Form1Test)
#include "Form1Test.moc"
