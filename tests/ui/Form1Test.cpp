// Widget tests of the main window: the controls found by their names, the
// file list and its state table, the options and the decal file, runs checked
// on the files they write, the error and warning boxes, a window that keeps
// clicks out of a running sort, and a start-up that does not wait for the news.
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
#include "news/qt/NewsServer.h"
#include "state/Module1.h"
#include "support/TestSupport.h"
#include "ui/FileListView.h"
#include "ui/Form1.h"
#include "ui/Picture.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace marrowgate::test;
using marrowgate::kDecalMarkerV4;
using marrowgate::kPartTypeMarkerV4;
using marrowgate::ui::Form1;
namespace fs = std::filesystem;

namespace {

const QString kWarningText = QStringLiteral("This file is not a library of the expected kind.");
const QString kWarningBox = QStringLiteral("warning Vorlane: ") + kWarningText;

// `parts` parts named P01, P02, ... with the given decal, alone or as a library.
std::vector<Lines> numbered_parts(int parts, const std::string& decal = "DIP8") {
    std::vector<Lines> blocks;
    for (int i = 1; i <= parts; ++i)
        blocks.push_back(part((i < 10 ? "P0" : "P") + std::to_string(i) + " " + decal + " I TTL 3 1 0 0 0"));
    return blocks;
}
std::string numbered_library(int parts) { return library_bytes(numbered_parts(parts)); }

QString qpath(const fs::path& path) { return QString::fromStdString(path.string()); }
QUrl url(const fs::path& path) { return QUrl::fromLocalFile(qpath(path)); }

// The bytes of a file; empty when it cannot be read.
std::string bytes_of(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec) ? read_file(path) : std::string();
}

bool ends_with(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// One window on a fresh application folder, with its message file.
struct Window {
    explicit Window(bool message_file = true, bool lib_is_a_file = false,
                    const QString& site = marrowgate::site_address()) {
        if (message_file)
            write_file(app / "marrowgate_msg.dat",
                       "0;Vorlane Marrowgate;\r\n1;" + kWarningText.toStdString() + ";\r\n");
        if (lib_is_a_file) {
            write_file(app / "lib", "not a folder");
            fs::create_directory(app / "tmp");
        }
        form = std::make_unique<Form1>(
            marrowgate::ui::WindowSettings{app.path(), site, {}}, dialogs);
        form->show();
    }
    // Writes a file below the folder of inputs.
    fs::path put(const fs::path& relative, const std::string& bytes) {
        fs::create_directories((inputs.path() / relative).parent_path());
        write_file(inputs.path() / relative, bytes);
        return inputs.path() / relative;
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
    bool any_option_checked() const {
        for (auto* option : form->Option1)
            if (option->isChecked()) return true;
        return false;
    }
    // The usable controls: "+", "-", "options" (all four; "options(n)" when
    // only n are), "File" ("File(off)" when shown but disabled), "Execute".
    QString controls() const {
        QStringList on;
        if (form->Command3->isEnabled()) on << "+";
        if (form->Command4->isEnabled()) on << "-";
        int options = 0;
        for (auto* option : form->Option1) options += option->isEnabled();
        if (options > 0) on << (options == 4 ? QStringLiteral("options") : QStringLiteral("options(%1)").arg(options));
        if (form->Command5->isVisible()) on << (form->Command5->isEnabled() ? "File" : "File(off)");
        if (form->Command1->isEnabled()) on << "Execute";
        return on.join(' ');
    }
    // The rows of the list: name and number of parts.
    QStringList rows() const {
        QStringList rows;
        for (int i = 0; i < form->ListView1->topLevelItemCount(); ++i)
            rows << form->ListView1->topLevelItem(i)->text(0) + " " + form->ListView1->topLevelItem(i)->text(1);
        return rows;
    }
    // Every box shown so far, as "kind title: text".
    QStringList boxes() const {
        QStringList shown;
        for (const auto& box : dialogs.boxes) shown << box.kind + " " + box.title + ": " + box.text;
        return shown;
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
    void optionsAndDecalFile();
    void executeWritesTheLibraries();
    void failedRunShowsTheErrorBox();
    void afterARunItsWarningsAndFilesCanBeSeen();
    void clicksDuringARunChangeNothing();
    void runRefusedOrStoppedLeavesLibAsItWas();
    void droppedFilesGoThroughPlus();
    void linkAndNewsLine();
    void startUpGoesOnWhileTheNewsServerIsSilent();
};

void Form1Test::controlsStartUpAndArrangement() {
    Window w;
    Form1& f = *w.form;
    QVERIFY(QTest::qWaitForWindowExposed(&f));

    const std::pair<const char*, QWidget*> named[] = {
        {"picBanner", f.picBanner}, {"lblSelected", f.lblSelected}, {"Label3", f.Label3}, {"ListView1", f.ListView1},
        {"Command3", f.Command3},   {"Command4", f.Command4},       {"Label4", f.Label4}, {"Option1_0", f.Option1[0]},
        {"Option1_1", f.Option1[1]}, {"Option1_2", f.Option1[2]},  {"Option1_3", f.Option1[3]},
        {"Command5", f.Command5},   {"Frame1", f.Frame1},           {"Text1", f.Text1},   {"Picture1", f.Picture1},
        {"Label1_0", f.Label1[0]}, {"Label1_1", f.Label1[1]},      {"lblLink", f.lblLink}, {"Label2", f.Label2},
        {"Command1", f.Command1},   {"Command2", f.Command2}};
    for (const auto& [name, member] : named) QVERIFY2(f.findChild<QWidget*>(name) == member, name);

    // Captions.
    const QString title = QStringLiteral("Vorlane Marrowgate " MARROWGATE_VERSION);
    const std::pair<QString, QString> captions[] = {
        {f.lblSelected->text(), title}, {f.windowTitle(), title}, {f.Label3->text(), "Select files"},
        {f.Label4->text(), "Sort by"}, {f.Option1[0]->text(), "Alphanumeric Order"},
        {f.Option1[3]->text(), "PCB Decal Pads Number"}, {f.Command5->text(), "File ..."},
        {f.Command1->text(), "Execute"}, {f.Command2->text(), "Exit"}, {f.Text1->text(), "News:"},
        {f.lblLink->text(), marrowgate::site_address()}};
    for (const auto& [shown, expected] : captions) QCOMPARE(shown, expected);

    // Start-up states.
    QVERIFY(f.Label2->isHidden());
    QCOMPARE(w.controls(), QStringLiteral("+"));
    QVERIFY(!w.any_option_checked());
    QVERIFY(fs::is_directory(w.app / "lib") && fs::is_directory(w.app / "tmp"));
    QCOMPARE(f.state().File_Count, 0);
    QVERIFY(!f.state().Sort_Option.has_value());
    QCOMPARE(QString::fromStdString(f.state().message(0, 1)), kWarningText);

    // The list's two columns, sized in twips at the screen's resolution.
    QCOMPARE(f.ListView1->headerItem()->text(0), QStringLiteral("Name"));
    QCOMPARE(f.ListView1->headerItem()->text(1), QStringLiteral("#"));
    QCOMPARE(f.ListView1->header()->sectionSize(0), static_cast<int>(std::lround(3540.0 * f.logicalDpiX() / 1440)));

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
    w.add(w.put("a.p", numbered_library(10)));
    QCOMPARE(w.dialogs.questions.at(0).filter, QStringLiteral("Part-Type Files (*.p)"));
    QCOMPARE(w.dialogs.questions.at(0).initialName, QString());
    w.add(w.put("b.p", numbered_library(5)));
    QCOMPARE(w.dialogs.questions.at(1).initialName, QStringLiteral(".p"));
    QCOMPARE(w.rows(), QStringList({"a.p 10", "b.p 5"}));
    QCOMPARE(f.state().Total_Parts, 15);
    QCOMPARE(w.controls(), QStringLiteral("+ - options"));

    // Silent refusals: already listed (also under another name: a symbolic
    // link, dropped through a linked folder), cancelled, missing file, no
    // extension, an extension other than .p and .d (letter case counts).
    w.add(w.inputs / "a.p");
    fs::create_symlink(w.inputs / "a.p", w.inputs / "link.p");
    fs::create_directory_symlink(w.inputs.path(), w.inputs / "again");
    w.add(w.inputs / "link.p");
    w.drop({url(w.inputs / "again" / "b.p")});
    w.dialogs.cancel();
    QTest::mouseClick(f.Command3, Qt::LeftButton);
    w.add(w.inputs / "missing.p");
    w.add(w.put("README", numbered_library(1)));
    w.add(w.put("c.P", numbered_library(1)));
    QCOMPARE(w.boxes(), QStringList());
    QCOMPARE(w.rows(), QStringList({"a.p 10", "b.p 5"}));
    QCOMPARE(f.state().Total_Parts, 15);

    // Removing one of two files keeps the options (option 3 stays chosen) and
    // "Execute", but hides "File ...".
    w.option(3);
    QCOMPARE(w.controls(), QStringLiteral("+ - options File Execute"));
    w.remove_row(0);
    QCOMPARE(w.rows(), QStringList({"b.p 5"}));
    QCOMPARE(f.state().Total_Parts, 5);
    QCOMPARE(f.state().File_Count, 1);
    QVERIFY(f.Option1[3]->isChecked());
    QCOMPARE(w.controls(), QStringLiteral("+ - options Execute"));

    // "-" with no row selected removes nothing.
    f.ListView1->clearSelection();
    QTest::mouseClick(f.Command4, Qt::LeftButton);
    QCOMPARE(f.state().File_Count, 1);

    // Removing the last file empties the list, disables "-", clears and
    // disables the options; "Execute" keeps its state, "+" stays usable.
    w.option(0);
    w.remove_row(0);
    QCOMPARE(w.rows(), QStringList());
    QCOMPARE(f.state().Total_Parts, 0);
    QVERIFY(!w.any_option_checked());
    QCOMPARE(w.controls(), QStringLiteral("+ Execute"));

    // A run on the empty list writes no library and ends with "Done.".
    w.execute();
    QCOMPARE(f.Label2->text(), QStringLiteral("Done."));
    QCOMPARE(w.controls(), QStringLiteral("+"));
    QVERIFY(fs::is_empty(w.lib()));
    QCOMPARE(w.boxes(), QStringList());
}

void Form1Test::fourFilesAtMostAndSameNames() {
    Window w;
    Form1& f = *w.form;
    w.add(w.put(fs::path("one") / "lib.p", numbered_library(3)));
    w.add(w.put(fs::path("two") / "lib.p", numbered_library(4)));
    w.add(w.put("x.p", numbered_library(1)));
    QVERIFY(f.Command3->isEnabled());
    w.add(w.put("y.p", numbered_library(2)));
    QCOMPARE(w.rows(), QStringList({"lib.p 3", "lib.p 4", "x.p 1", "y.p 2"}));
    QVERIFY(!f.Command3->isEnabled());

    // No fifth file, by "+" or by dropping.
    const auto asked = w.dialogs.questions.size();
    QTest::mouseClick(f.Command3, Qt::LeftButton);
    QCOMPARE(w.dialogs.questions.size(), asked);
    w.drop({url(w.put("z.p", numbered_library(2)))});
    QCOMPARE(f.state().File_Count, 4);

    // Of two rows named lib.p, "-" removes the one added last, whichever row
    // is selected.
    w.remove_row(0);
    QCOMPARE(w.rows(), QStringList({"lib.p 3", "x.p 1", "y.p 2"}));
    QCOMPARE(f.state().Total_Parts, 3 + 1 + 2);

    // "+" stays disabled for good.
    while (f.ListView1->topLevelItemCount() > 0) w.remove_row(0);
    QVERIFY(!f.Command3->isEnabled());
    QVERIFY(!f.Command4->isEnabled());
}

void Form1Test::markerRefusalsShowTheWarningBox() {
    Window w;
    const Lines block = part("X1 DIP8 I TTL 3 1 0 0 0");
    const std::pair<const char*, std::string> refused[] = {
        {"plain.p", crlf({"just text"}) + crlf(block)},
        {"v9.p", library_bytes({block}, "*PADS-LIBRARY-PART-TYPES-V9*")},
        {"decals.p", library_bytes({block}, kDecalMarkerV4)}};
    QStringList expected;
    for (const auto& [name, bytes] : refused) {
        w.add(w.put(name, bytes));
        QCOMPARE(w.boxes(), expected << kWarningBox);
    }
#ifndef _WIN32
    // A FIFO is not read (that would wait for a writer for ever; the alarm
    // ends the test program instead): the box too.
    alarm(10);
    QCOMPARE(mkfifo((w.inputs / "pipe.p").c_str(), 0600), 0);
    w.add(w.inputs / "pipe.p");
    QCOMPARE(w.boxes(), expected << kWarningBox);
    alarm(0);
#endif
    QCOMPARE(w.form->state().File_Count, 0);
    QCOMPARE(w.controls(), QStringLiteral("+"));

    // Without a message file the box still comes, with an empty text.
    Window bare(false);
    bare.add(w.inputs / "plain.p");
    QCOMPARE(bare.boxes(), QStringList({"warning Vorlane: "}));
}

void Form1Test::optionsAndDecalFile() {
    Window w;
    Form1& f = *w.form;
    const fs::path samples = samples_dir();
    w.add(samples / "logic.p");

    w.option(3);
    QCOMPARE(f.state().Sort_Option, std::optional<std::int16_t>(3));
    QCOMPARE(w.controls(), QStringLiteral("+ - options File Execute"));
    w.option(0);
    QCOMPARE(w.controls(), QStringLiteral("+ - options Execute"));
    QCOMPARE(f.state().Sort_Option, std::optional<std::int16_t>(0));
    w.option(3);

    // A part-type library is no decal library.
    w.choose_decal(samples / "discretes.p");
    QCOMPARE(w.dialogs.questions.back().filter, QStringLiteral("PCB Decal File (*.d)"));
    QCOMPARE(w.dialogs.questions.back().initialName, QStringLiteral(".p"));
    QCOMPARE(w.boxes(), QStringList({kWarningBox}));
    QCOMPARE(f.state().Decal_Count, 0);

    w.choose_decal(samples / "footprints.d");
    QCOMPARE(f.state().Decal_Count, 1);
    QCOMPARE(f.state().Decal_Name[1], std::string("footprints.d"));

    // A second choice replaces the first; a refused or cancelled one keeps it.
    fs::copy_file(samples / "footprints.d", w.inputs / "other.d");
    w.choose_decal(w.inputs / "other.d");
    QCOMPARE(fs::path(f.state().Decal_Folder[1]), w.inputs / "");
    w.choose_decal(w.put("bad.d", crlf({"no marker here"})));
    fs::create_directory(w.inputs / "folder.d");
    w.choose_decal(w.inputs / "folder.d");
    w.choose_decal(w.inputs / "gone.d");
    w.dialogs.cancel();
    QTest::mouseClick(f.Command5, Qt::LeftButton);
    QCOMPARE(f.state().Decal_Name[1], std::string("other.d"));
    QCOMPARE(w.boxes(), QStringList({kWarningBox, kWarningBox, kWarningBox}));
    QCOMPARE(w.controls(), QStringLiteral("+ - options File Execute"));
    QCOMPARE(f.state().File_Count, 1);

    // The next "+" opens with the extension of the last choice.
    w.dialogs.cancel();
    QTest::mouseClick(f.Command3, Qt::LeftButton);
    QCOMPARE(w.dialogs.questions.back().initialName, QStringLiteral(".d"));
}

void Form1Test::executeWritesTheLibraries() {
    Window w;
    Form1& f = *w.form;
    const Lines ab1 = part("AB1 DIP8 I TTL 3 1 0 0 0"), cd2 = part("CD2 SO8 I CMOS 3 1 0 0 0"),
                ax3 = part("AX3 DIP8 I TTL 3 1 0 0 0");
    w.add(w.put("t.p", library_bytes({ab1, cd2, ax3})));
    w.option(0);
    w.execute();

    QCOMPARE(bytes_of(w.lib() / "LIB_A.p"), output_bytes({ab1, ax3}));
    QCOMPARE(bytes_of(w.lib() / "LIB_C.p"), output_bytes({cd2}));
    QCOMPARE(w.boxes(), QStringList());
    QVERIFY(f.Label2->isVisible());
    QCOMPARE(f.Label2->text(), QStringLiteral("Done."));
    QVERIFY(QApplication::overrideCursor() == nullptr);
    // After the run: "Execute" waits for an option click, the rest is as before.
    QCOMPARE(w.controls(), QStringLiteral("+ - options"));
    QVERIFY(f.Option1[0]->isChecked());
}

void Form1Test::failedRunShowsTheErrorBox() {
    Window w(true, true);  // a regular file stands where the lib folder should be
    Form1& f = *w.form;
    w.add(w.put("t.p", numbered_library(1)));
    w.option(0);
    w.execute();

    QCOMPARE(w.dialogs.boxes.size(), std::size_t{1});
    QVERIFY2(w.boxes().back().startsWith(QStringLiteral("critical Vorlane: ")), qPrintable(w.boxes().back()));
    QVERIFY2(w.boxes().back().contains(QStringLiteral("LIB_P.p")), qPrintable(w.boxes().back()));
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QCOMPARE(f.Label2->text(), QStringLiteral("Run failed."));
    QVERIFY(f.isVisible());
    QCOMPARE(w.rows(), QStringList({"t.p 1"}));
    QCOMPARE(w.controls(), QStringLiteral("+ - options"));

    // Once the folder is there, the same list sorts.
    fs::remove(w.lib());
    fs::create_directory(w.lib());
    w.option(0);
    w.execute();
    QCOMPARE(w.dialogs.boxes.size(), std::size_t{1});
    QVERIFY(fs::exists(w.lib() / "LIB_P.p"));
    QCOMPARE(f.Label2->text(), QStringLiteral("Done."));
    QVERIFY(f.cmdOpenFolder->isVisible() && f.cmdDetails->isVisible());

    // A failed run leaves nothing to open.
    fs::remove_all(w.lib());
    write_file(w.lib(), "not a folder");
    w.option(0);
    w.execute();
    QCOMPARE(w.dialogs.boxes.back().kind, QStringLiteral("critical"));
    QVERIFY(!f.cmdOpenFolder->isVisible() && !f.cmdDetails->isVisible());
}

void Form1Test::afterARunItsWarningsAndFilesCanBeSeen() {
    Window w;
    Form1& f = *w.form;
    QVERIFY(!f.cmdOpenFolder->isVisible() && !f.cmdDetails->isVisible());
    // 25 parts whose decal is in no decal library, then one whose decal is in
    // the second decal library chosen, sorted by pad count.
    auto blocks = numbered_parts(25, "NOSUCH");
    blocks.push_back(part("AB1 DIP8 I TTL 3 1 0 0 0"));
    w.add(w.put("many.p", library_bytes(blocks)));
    w.option(3);
    w.choose_decal(samples_dir() / "footprints.d");
    w.choose_decal(w.put("d.d", crlf({kDecalMarkerV4, "", "DIP8 M 0 0 0 2 3 0 8 1 0", "", "*END*"})));
    w.execute();

    QCOMPARE(f.Label2->text(), QStringLiteral("Done."));
    QCOMPARE(w.controls(), QStringLiteral("+ - options File"));
    QCOMPARE(w.dialogs.boxes.size(), std::size_t{1});
    const QString warnings = w.boxes().back();
    QVERIFY2(warnings.startsWith(QStringLiteral("warning Vorlane: ")), qPrintable(warnings));
    QVERIFY(warnings.contains(QStringLiteral("25 warnings")));
    QVERIFY(warnings.contains(QStringLiteral("the part P20 ")));
    QVERIFY(!warnings.contains(QStringLiteral("the part P21 ")));
    QVERIFY(warnings.contains(QStringLiteral("5 more")));

    QVERIFY(f.cmdOpenFolder->isVisible() && f.cmdDetails->isVisible());
    QTest::mouseClick(f.cmdOpenFolder, Qt::LeftButton);
    QCOMPARE(w.dialogs.opened_folders, QStringList({qpath(w.lib())}));
    QTest::mouseClick(f.cmdDetails, Qt::LeftButton);
    QCOMPARE(w.dialogs.boxes.size(), std::size_t{2});
    const QString details = w.boxes().back();
    QVERIFY2(details.startsWith(QStringLiteral("details Vorlane: ")), qPrintable(details));
    QVERIFY2(details.contains(QStringLiteral("LIB_8.p   key \"8\"   1 part(s)")), qPrintable(details));
    QVERIFY2(details.contains(QStringLiteral("P25   decal \"NOSUCH\"   from many.p")), qPrintable(details));
    QCOMPARE(f.Label2->text(), QStringLiteral("Done."));

    // One warning: a last part without its closing empty line.
    w.remove_row(0);
    w.add(w.put("open.p", crlf({kPartTypeMarkerV4, "", "OPEN1 DIP8 I TTL 3 1 0 0 0", "GATE 1 2 0", "1 0 L A"})));
    w.option(0);
    w.execute();
    QCOMPARE(w.dialogs.boxes.size(), std::size_t{3});
    QVERIFY(w.boxes().back().contains(QStringLiteral("OPEN1")));
    QVERIFY(!w.boxes().back().contains(QStringLiteral("more")));
    QVERIFY(ends_with(bytes_of(w.lib() / "LIB_O.p"), "1 0 L A\r\n\r\n*END*\r\n"));
}

void Form1Test::clicksDuringARunChangeNothing() {
    Window w;
    Form1& f = *w.form;
    w.add(w.put("a.p", numbered_library(300)));
    w.add(w.put("b.p", numbered_library(300)));
    const auto c = w.put("c.p", numbered_library(3));
    w.option(0);
    w.select_row(0);

    const auto asked = w.dialogs.questions.size();
    QString during;  // what the window showed while it ran
    // Runs inside the window's event handling during the run.
    QTimer::singleShot(0, &f, [&] {
        const bool waiting = QApplication::overrideCursor() != nullptr &&
                             QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        during = QStringLiteral("running %1, wait cursor %2, status shown %3, usable [%4], File ... enabled %5")
                     .arg(f.running()).arg(waiting).arg(f.Label2->isVisible()).arg(w.controls())
                     .arg(f.Command5->isEnabled());
        // Clicks on the disabled controls, direct calls of the handlers and a
        // dropped file all leave the state alone.
        w.dialogs.answer(qpath(c));
        QTest::mouseClick(f.Command3, Qt::LeftButton);
        QTest::mouseClick(f.Command4, Qt::LeftButton);
        QTest::mouseClick(f.Option1[2], Qt::LeftButton);
        f.Command3_Click();
        f.Command4_Click();
        f.Command5_Click();
        f.Option1_Click(2);
        f.Command1_Click();
        w.drop({url(c)});
        during += QStringLiteral("; then running %1").arg(f.running());
        // "Exit" during the run stops it and ends the program.
        QTest::mouseClick(f.Command2, Qt::LeftButton);
        during += QStringLiteral("; after Exit shown %1").arg(f.isVisible());
    });
    w.execute();

    QCOMPARE(during, QStringLiteral("running 1, wait cursor 1, status shown 1, usable [], File ... enabled 0; "
                                    "then running 1; after Exit shown 1"));
    QCOMPARE(w.dialogs.questions.size(), asked);
    QCOMPARE(w.rows(), QStringList({"a.p 300", "b.p 300"}));
    QCOMPARE(f.state().Sort_Option, std::optional<std::int16_t>(0));

    // The run stopped without writing a file, without a box, and the window closed.
    QVERIFY(!f.isVisible());
    QVERIFY(!f.running());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(!std::filesystem::exists(w.lib() / "LIB_P.p"));
    QCOMPARE(w.dialogs.boxes.size(), std::size_t{0});
}

void Form1Test::runRefusedOrStoppedLeavesLibAsItWas() {
    Window w;
    Form1& f = *w.form;
    w.add(w.put("a.p", numbered_library(50)));
    w.option(0);
    w.execute();
    const std::string earlier = bytes_of(w.lib() / "LIB_P.p");
    w.put("a.p", numbered_library(60));
    {
        // Another run holds the folder: a warning, and nothing written.
        const auto held = marrowgate::real_file_system().lock(marrowgate::run_lock_path(f.state().Application_Folder), true);
        w.option(0);
        w.execute();
        QVERIFY2(w.boxes().back().startsWith(QStringLiteral("warning Vorlane: another run is sorting into")),
                 qPrintable(w.boxes().back()));
        QCOMPARE(bytes_of(w.lib() / "LIB_P.p"), earlier);
    }
    // Closed during a run: the run stops and the window closes.
    w.option(0);
    bool refused = false;
    QTimer::singleShot(0, &f, [&] { refused = !f.close() && f.isVisible(); });
    w.execute();
    QVERIFY(refused);
    QVERIFY(!f.isVisible());
    QCOMPARE(bytes_of(w.lib() / "LIB_P.p"), earlier);
}

void Form1Test::droppedFilesGoThroughPlus() {
    Window w;
    const auto a = w.put("a.p", numbered_library(2));
    QMimeData files;
    files.setUrls({url(a)});
    QDragEnterEvent enter(QPoint(20, 30), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.form->ListView1->viewport(), &enter);
    QVERIFY(enter.isAccepted());

    w.drop({url(a), url(w.put("plain.p", crlf({"no marker"}))), url(a), QUrl(QStringLiteral("https://example.org/x.p")),
            url(w.put("b.p", numbered_library(3)))});
    QCOMPARE(w.rows(), QStringList({"a.p 2", "b.p 3"}));
    QCOMPARE(w.form->state().Total_Parts, 5);
    QCOMPARE(w.boxes(), QStringList({kWarningBox}));
    QCOMPARE(w.controls(), QStringLiteral("+ - options"));
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

void Form1Test::startUpGoesOnWhileTheNewsServerIsSilent() {
    NewsServer server;
    QVERIFY(server.listen());
    server.answer(200, "first\r\nVersion 2 is out\r\n");
    server.mode = NewsServer::Mode::Silent;
    Window w(true, false, server.site());
    QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
    QCOMPARE(w.form->Text1->text(), QStringLiteral("News:"));
    if (!marrowgate::connection_may_exist(marrowgate::system_reachability()))
        QSKIP("the system reports no connection, so start-up asks no server");
    QTRY_COMPARE(server.request_lines.size(), 1);
    auto* news = w.form->findChild<marrowgate::NewsDownload*>();
    QVERIFY(news != nullptr && news->isRunning());
    QCOMPARE(w.form->Text1->text(), QStringLiteral("News:"));

    // The news line changes when the server answers at last.
    server.answer_waiting();
    QTRY_COMPARE(w.form->Text1->text(), QStringLiteral("News: Version 2 is out"));
}

QTEST_MAIN(Form1Test)
#include "Form1Test.moc"
