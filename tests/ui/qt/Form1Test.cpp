// Widget tests of the main window, driven as a user drives it: controls found
// by their names, mouse clicks, files dragged onto the list, file dialogs
// answered by a script. What counts is what the window then shows, the boxes
// it opens and the files a run writes.
#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QDropEvent>
#include <QMimeData>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <memory>

#include "ScriptedDialogs.h"
#include "news/NewsDownload.h"
#include "news/qt/NewsServer.h"
#include "support/TestSupport.h"
#include "ui/qt/Form1.h"

using namespace marrowgate::test;
namespace fs = std::filesystem;

namespace {

const QString kWarningText = QStringLiteral("This file is not a library of the expected kind.");

// Parts named P01, P02, ...
QString numbered(int part) { return QStringLiteral("P%1").arg(part, 2, 10, QLatin1Char('0')); }
std::vector<Lines> numbered_parts(int parts, const std::string& decal = "DIP8") {
    std::vector<Lines> blocks;
    for (int i = 1; i <= parts; ++i)
        blocks.push_back(part(numbered(i).toStdString() + " " + decal + " I TTL 3 1 0 0 0"));
    return blocks;
}

// One window on a fresh application folder, and the files a user picks:
// a.p to e.p, libraries of 10, 5, 1, 2 and 3 parts; t.p, three parts of two
// keys under every option (initials A and C, families TTL and CMOS, decals
// DIP8 and SO8 of 8 and 14 pads in d.d); plain.p without a marker line, v9.p
// and v9.d of another version, and a folder folder.p. What the window
// remembers goes to a settings folder of its own.
struct Window {
    explicit Window(const QString& site = marrowgate::site_address(), bool message_file = true) : site(site) {
        if (message_file)
            write_file(app / "marrowgate_msg.dat",
                       "0;Vorlane Marrowgate;\r\n1;" + kWarningText.toStdString() + ";\r\n");
        for (const auto& [name, parts] : {std::pair{"a.p", 10}, {"b.p", 5}, {"c.p", 1}, {"d.p", 2}, {"e.p", 3}})
            put(name, library_bytes(numbered_parts(parts)));
        put("t.p", library_bytes({part("AB1 DIP8 I TTL 3 1 0 0 0"), part("CD2 SO8 I CMOS 3 1 0 0 0"),
                                  part("AX3 DIP8 I TTL 3 1 0 0 0")}));
        put("d.d", crlf({marrowgate::kDecalMarkerV4, "", "DIP8 M 0 0 0 2 3 0 8 1 0", "", "SO8 M 0 0 0 2 3 0 14 1 0",
                         "", "*END*"}));
        put("plain.p", crlf({"just text"}) + crlf(part("X1 DIP8 I TTL 3 1 0 0 0")));
        put("v9.p", library_bytes({part("X1 DIP8 I TTL 3 1 0 0 0")}, "*PADS-LIBRARY-PART-TYPES-V9*"));
        put("v9.d", crlf({"*PADS-LIBRARY-PCB-DECALS-V9*", "", "DIP8 M 0 0 0 2 3 0 8 1 0", "", "*END*"}));
        fs::create_directory(inputs / "folder.p");
        reopen();
    }
    // A new window, as in the next session.
    void reopen() {
        const QString settings_folder = QString::fromStdString(settings.path().string());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings_folder);
        form.reset();
        form = std::make_unique<marrowgate::ui::Form1>(marrowgate::ui::WindowSettings{app.path(), site, {}}, dialogs);
        form->show();
    }
    void put(const std::string& name, const std::string& bytes) { write_file(inputs / name, bytes); }
    QUrl url(const QString& name) const {
        if (name.startsWith("http")) return QUrl(name);
        return QUrl::fromLocalFile(QString::fromStdString((inputs / name.toStdString()).string()));
    }
    template <typename Control = QWidget>
    Control* child(const QString& name) const {
        auto* found = form->findChild<Control*>(name);
        if (found == nullptr) qFatal("the window has no control %s", qPrintable(name));
        return found;
    }
    QTreeWidget* list() const { return child<QTreeWidget>("ListView1"); }
    void click(const QString& name) { QTest::mouseClick(child(name), Qt::LeftButton); }

    // Does what a user does, action after action:
    //   "+:a.p"         a click on "+", and a.p of the inputs chosen in the file
    //                   dialog ("+" alone: the dialog cancelled); "File:d.d"
    //                   the same with "File ..."
    //   "-", "Execute", "Details"  a click on that button
    //   "option:3"      a click on the option's round button
    //   "row:1"         a click on that row of the list
    //   "any"           a click on "Accept every PADS version"
    //   "drop:a.p,b.p"  files dragged onto the list and let go; as on the
    //                   desktop, the list gets the drop only if it took the drag
    // Returns what the user saw happen: each box shown ("kind title: text",
    // the folder of the inputs left out of it), each drag the list refused,
    // the status line after a run, and "Execute enabled under a box" should
    // a box that follows a run leave "Execute" enabled.
    QStringList act(const QString& actions) {
        static const QHash<QString, QString> buttons{{"+", "Command3"}, {"-", "Command4"}, {"File", "Command5"},
                                                     {"Execute", "Command1"}, {"Details", "cmdDetails"}};
        QStringList seen;
        bool execute_under_box = false;
        for (const QString& action : actions.split(' ')) {
            const QString verb = action.section(':', 0, 0), what = action.section(':', 1);
            const auto boxes_before = dialogs.boxes.size();
            if (verb == "any") {
                click("chkAnyVersion");
            } else if (verb == "option") {
                QTest::mouseClick(child(QStringLiteral("Option1_") + what), Qt::LeftButton, {}, QPoint(8, 8));
            } else if (verb == "row") {
                QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                                  list()->visualItemRect(list()->topLevelItem(what.toInt())).center());
            } else if (verb == "drop") {
                QList<QUrl> urls;
                for (const QString& name : what.split(',')) urls << url(name);
                QMimeData data;
                data.setUrls(urls);
                QDragEnterEvent enter(QPoint(20, 30), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
                QApplication::sendEvent(list()->viewport(), &enter);
                QDropEvent drop(QPointF(20, 30), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
                if (enter.isAccepted()) QApplication::sendEvent(list()->viewport(), &drop);
                else seen << "drag refused";
            } else {
                if (verb == "+" || verb == "File") dialogs.answer(what.isEmpty() ? QString() : url(what).toLocalFile());
                if (verb == "Execute")
                    dialogs.onBox = [this, &execute_under_box] { execute_under_box |= child("Command1")->isEnabled(); };
                click(buttons.value(verb));
                dialogs.onBox = nullptr;
                dialogs.answers.clear();  // not taken when the button was disabled
                if (verb == "Execute") seen << status();
            }
            const QString folder = QString::fromStdString((inputs / "").string());
            for (auto box = boxes_before; box < dialogs.boxes.size(); ++box) {
                const auto& [kind, title, text] = dialogs.boxes[box];
                seen << kind + " " + title + ": " + QString(text).replace(folder, QString());
            }
        }
        if (execute_under_box) seen << "Execute enabled under a box";
        return seen;
    }

    // What the window shows: "any" when every PADS version is accepted, the
    // rows of the list, the controls shown and enabled ("+ - options File
    // Open folder Details" at most; "options(n)" when n of the four
    // are; ":3" after the one checked) and the files in lib after "=>", e.g.
    // "{a.p 10, b.p 5} + - options:0 Execute".
    QString shown() const {
        QStringList rows;
        for (int i = 0; i < list()->topLevelItemCount(); ++i)
            rows << list()->topLevelItem(i)->text(0) + " " + list()->topLevelItem(i)->text(1);
        QStringList text{"{" + rows.join(", ") + "}"};
        if (child<QAbstractButton>("chkAnyVersion")->isChecked()) text.prepend("any");
        const auto on = [this](const QString& name) { return child(name)->isVisible() && child(name)->isEnabled(); };
        int options = 0;
        QString checked;
        for (const QString name : {"Option1_0", "Option1_1", "Option1_2", "Option1_3"}) {
            options += on(name);
            if (child<QAbstractButton>(name)->isChecked()) checked = ":" + name.right(1);
        }
        if (on("Command3")) text << "+";
        if (on("Command4")) text << "-";
        if (options > 0 || !checked.isEmpty())
            text << (options == 4 ? QStringLiteral("options") : QStringLiteral("options(%1)").arg(options)) + checked;
        for (const auto& [name, caption] : {std::pair{"Command5", "File"}, {"Command1", "Execute"},
                                            {"cmdOpenFolder", "Open folder"}, {"cmdDetails", "Details"}})
            if (on(name)) text << caption;
        if (!written().isEmpty()) text << "=>" << written();
        return text.join(' ');
    }
    // The status label, empty while hidden.
    QString status() const { return child("Label2")->isVisible() ? child("Label2")->property("text").toString() : ""; }
    fs::path lib() const { return app / "lib"; }
    QStringList written() const {
        QStringList names;
        for (const auto& name : file_names(lib())) names << QString::fromStdString(name);
        return names;
    }

    QString site;
    TempDir app;
    TempDir inputs;
    TempDir settings;
    ScriptedDialogs dialogs;
    std::unique_ptr<marrowgate::ui::Form1> form;
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
    // No test leaves the hourglass behind.
    void cleanup() { QVERIFY(QApplication::overrideCursor() == nullptr); }

    void startUpAndExit() {
        Window w;
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        QCOMPARE(w.shown(), "{} +");
        QCOMPARE(w.status(), "");
        QVERIFY(fs::is_directory(w.lib()) && fs::is_directory(w.app / "tmp"));
        // The title is message 0 of the message file.
        QCOMPARE(w.form->windowTitle(), QStringLiteral("Vorlane Marrowgate " MARROWGATE_VERSION));
        QVERIFY(!w.form->windowIcon().isNull());

        // "Exit" sits right of "Execute" on its line, inside the window, and closes it.
        const auto place = [&w](const char* name) {
            return QRect(w.child(name)->mapTo(w.form.get(), QPoint()), w.child(name)->size());
        };
        QCOMPARE(place("Command2").top(), place("Command1").top());
        QVERIFY(place("Command2").left() > place("Command1").right() && w.form->rect().contains(place("Command2")));
        w.click("Command2");
        QVERIFY(!w.form->isVisible());
    }

    // "seen" may hold "…" where any text stands.
    void userActions_data() {
        QTest::addColumn<QString>("actions");
        QTest::addColumn<QStringList>("seen");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char* name, const char* actions, const QStringList& seen, const char* shown) {
            QTest::newRow(name) << QString(actions) << seen << QString(shown);
        };
        const QString box = "warning Vorlane: ", not_a_library = ": " + kWarningText;
        const QString v9 = " is a PADS V9 part-type library; …'Accept every PADS version'.";
        const QStringList none, done{"Done."};
        row("a library", "+:a.p", none, "{a.p 10} + - options");
        row("cancelled", "+", none, "{} +");
        row("the same file twice", "+:a.p +:a.p", none, "{a.p 10} + - options");
        row("a file that is not there", "+:missing.p", {box + "missing.p: cannot be opened: …"}, "{} +");
        row("a drop", "drop:a.p,plain.p,https://example.org/x.p,v9.p,a.p,folder.p,b.p,c.p,d.p,e.p",
            {box + "5 files were not added:\n\nplain.p" + not_a_library + "\n\nv9.p" + v9 +
             "\n\na.p is listed already.\n\nfolder.p is not a regular file…"
             "\n\ne.p was not added: four files are listed…"},
            "{a.p 10, b.p 5, c.p 1, d.p 2} - options");
        row("four at most", "+:a.p +:b.p +:c.p +:d.p +:e.p drop:e.p", {"drag refused"},
            "{a.p 10, b.p 5, c.p 1, d.p 2} - options");
        row("four, all removed: + stays off", "+:a.p +:b.p +:c.p +:d.p row:0 - row:0 - row:0 - row:0 -", none, "{}");
        row("the first of two removed", "+:a.p +:b.p option:3 row:0 -", none, "{b.p 5} + - options:3 Execute");
        row("the second of two removed", "+:a.p +:b.p option:0 row:1 -", none, "{a.p 10} + - options:0 Execute");
        row("none selected", "+:a.p +:b.p option:3 -", none, "{a.p 10, b.p 5} + - options:3 File Execute");
        row("the last removed, then Execute", "+:a.p option:0 row:0 - Execute", done, "{} + Open folder Details");
        row("Alphanumeric Order", "+:t.p option:0 Execute", done,
            "{t.p 3} + - options:0 Open folder Details => LIB_A.p LIB_C.p");
        row("Logic Family", "+:t.p option:1 Execute", done,
            "{t.p 3} + - options:1 Open folder Details => LIB_CMOS.p LIB_TTL.p");
        row("PCB Decal Name", "+:t.p option:2 Execute", done,
            "{t.p 3} + - options:2 Open folder Details => LIB_DIP8.p LIB_SO8.p");
        row("PCB Decal Pads Number", "+:t.p option:3 File:d.d Execute", done,
            "{t.p 3} + - options:3 File Open folder Details => LIB_14.p LIB_8.p");
        row("decal files refused or cancelled",
            "+:t.p option:3 File:d.d File:a.p File:v9.d File:folder.p File:missing.d File Execute",
            {box + "a.p" + not_a_library, box + "v9.d is a PADS V9 PCB decal library; …",
             box + "folder.p is not a regular file…", box + "missing.d: cannot be opened: …", "Done."},
            "{t.p 3} + - options:3 File Open folder Details => LIB_14.p LIB_8.p");
        row("every version", "any +:v9.p +:a.p any", none, "{v9.p 1, a.p 10} + - options");
        row("every version, a V9 decal library", "any +:v9.p option:3 File:v9.d Execute", done,
            "any {v9.p 1} + - options:3 File Open folder Details => LIB_8.p");
        row("every version: a mix refused before the run", "any +:a.p +:v9.p option:0 Execute",
            {"", box + "The files are of different formats…\n  …a.p: *PADS-LIBRARY-PART-TYPES-V4*\n"
                       "  …v9.p: *PADS-LIBRARY-PART-TYPES-V9*"},
            "any {a.p 10, v9.p 1} + - options:0 Execute");
    }
    void userActions() {
        QFETCH(QString, actions);
        QFETCH(QStringList, seen);
        Window w;
        const QStringList actual = w.act(actions);
        bool same = actual.size() == seen.size();
        for (int i = 0; same && i < seen.size(); ++i) {
            const QString pattern = QRegularExpression::escape(seen[i]).replace(QStringLiteral("\\…"), ".*");
            same = QRegularExpression(QRegularExpression::anchoredPattern(pattern),
                                      QRegularExpression::DotMatchesEverythingOption)
                       .match(actual[i])
                       .hasMatch();
        }
        QVERIFY2(same, qPrintable(actual.join("\n--\n")));
        QTEST(w.shown(), "shown");
    }

    void fileDialogsAndBoxes() {
        Window w;
        w.act("+:t.p option:3 File:d.d Execute");
        QCOMPARE(w.dialogs.questions.at(0).filter, "Part-Type Files (*.p)");
        QCOMPARE(w.dialogs.questions.at(0).initialName, "");
        QCOMPARE(w.dialogs.questions.at(1).filter, "PCB Decal File (*.d)");
        QCOMPARE(w.dialogs.questions.at(1).initialName, ".p");  // the extension of the last file chosen
        w.click("cmdOpenFolder");
        QCOMPARE(w.dialogs.opened_folders, QStringList{QString::fromStdString(w.lib().string())});
        // Without a message file, the box for a refused file comes all the same.
        Window bare(marrowgate::site_address(), false);
        QVERIFY(bare.act("+:plain.p").constFirst().startsWith("warning Vorlane: plain.p: "));
    }

    // The version box and the folder of the last file chosen, in the next session.
    void rememberedAcrossSessions() {
        Window w;
        w.act("any +:a.p");
        w.reopen();
        w.act("+:v9.p");
        QCOMPARE(w.shown(), "any {v9.p 1} + - options");
        const QString inputs = QString::fromStdString(w.inputs.path().string());
        QCOMPARE(w.dialogs.questions.at(0).startFolder, "");
        QCOMPARE(w.dialogs.questions.at(1).startFolder, inputs);
        w.act("any");
        w.reopen();
        w.act("+:a.p option:3 File");
        QCOMPARE(w.shown(), "{a.p 10} + - options:3 File Execute");
        QCOMPARE(w.dialogs.questions.at(3).startFolder, inputs);
    }

    // Return on a focused button clicks it; Delete removes the selected row.
    void keyboard() {
        Window w;
        w.act("+:a.p +:b.p option:0 row:0");
        QTest::keyClick(w.list(), Qt::Key_Delete);
        QCOMPARE(w.shown(), "{b.p 5} + - options:0 Execute");
        const auto press = [&w](const char* button, const QString& answer = {}) {
            if (!answer.isEmpty()) w.dialogs.answer(w.url(answer).toLocalFile());
            QTest::keyClick(w.child(button), Qt::Key_Return);
        };
        press("Command3", "c.p");
        w.act("option:3 row:1");
        press("Command5", "d.d");
        QCOMPARE(w.child("lblDecalFile")->property("text").toString(), "d.d");
        QCOMPARE(w.child("lblDecalFile")->toolTip(), QString::fromStdString((w.inputs / "d.d").string()));
        press("Command4");
        press("Command1");
        press("cmdOpenFolder");
        press("cmdDetails");
        QCOMPARE(w.shown(), "{b.p 5} + - options:3 Open folder Details => LIB_8.p");
        QCOMPARE(w.dialogs.opened_folders.size(), 1);
        QCOMPARE(w.dialogs.boxes.size(), 1);
        press("Command2");
        QVERIFY(!w.form->isVisible());
    }

    // Counts with their thousands, and the outputs in key order in columns.
    void countsAndDetailsTable() {
        Window w;
        auto parts = numbered_parts(1200);
        parts.insert(parts.begin(), part("Z1 QFP100 I TTL 3 1 0 0 0"));
        parts.push_back(part("A1 SO8 I TTL 3 1 0 0 0"));
        w.put("big.p", library_bytes(parts));
        w.put("pads.d", crlf({marrowgate::kDecalMarkerV4, "", "DIP8 M 0 0 0 2 3 0 8 1 0", "",
                              "SO8 M 0 0 0 2 3 0 14 1 0", "", "QFP100 M 0 0 0 2 3 0 100 1 0", "", "*END*"}));
        const QString details = w.act("+:big.p option:3 File:pads.d Execute Details").constLast();
        QVERIFY(w.shown().startsWith("{big.p 1,202}"));
        const QString table = ":\n\n"
                              "  LIB_8.p     key \"8\"     1,200 part(s)\n"
                              "  LIB_14.p    key \"14\"        1 part(s)\n"
                              "  LIB_100.p   key \"100\"       1 part(s)\n";
        QVERIFY2(details.contains("1,202 part(s) read") && details.contains(table), qPrintable(details));
    }

    void warningsBoxAndDetails_data() {
        QTest::addColumn<int>("unplaced");  // parts, each with a decal of its own that no library holds
        QTest::addColumn<QString>("heading");
        QTest::addColumn<int>("listed");
        QTest::addColumn<QString>("ending");
        QTest::newRow("one") << 1 << "The run finished with a warning:" << 1 << "";
        QTest::newRow("all") << 39 << "The run finished with 39 warnings:" << 39 << "";
        QTest::newRow("cut") << 45 << "The run finished with 45 warnings:" << 38 << "\n  ... and 7 more";
    }
    void warningsBoxAndDetails() {
        QFETCH(int, unplaced);
        QFETCH(QString, heading);
        QFETCH(int, listed);
        QFETCH(QString, ending);
        Window w;
        std::vector<Lines> parts;
        for (int i = 1; i <= unplaced; ++i)
            parts.push_back(part(numbered(i).toStdString() + " X" + numbered(i).toStdString() + " I TTL 3 1 0 0 0"));
        parts.push_back(part("AB1 DIP8 I TTL 3 1 0 0 0"));
        w.put("many.p", library_bytes(parts));
        const QStringList seen = w.act("+:many.p option:3 File:d.d Execute");
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen.at(0), "Done.");
        const QString& box = seen.at(1);
        const auto lists = [](const QString& text, int part) { return text.contains("decal X" + numbered(part) + ":"); };
        QCOMPARE(box.section('\n', 0, 0), "warning Vorlane: " + heading);
        QVERIFY2(lists(box, listed) && !lists(box, listed + 1), qPrintable(box));
        QVERIFY2(box.contains(ending + "\n\nThe report of the run: "), qPrintable(box));

        const QString details = w.act("Details").join('\n');
        QVERIFY2(details.startsWith("details Vorlane: ") && details.contains("LIB_8.p   key \"8\"   1 part(s)") &&
                     lists(details, listed) && !lists(details, listed + 1),
                 qPrintable(details));
    }

    void failedRunShowsTheErrorBox() {
        Window w;
        w.act("+:c.p option:0 Execute");
        // A regular file stands where the lib folder should be.
        fs::remove_all(w.lib());
        write_file(w.lib(), "not a folder");
        const QStringList seen = w.act("option:0 Execute");
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen.at(0), "Run failed.");
        QVERIFY2(seen.at(1).startsWith("critical Vorlane: ") && seen.at(1).contains("LIB_P.p"), qPrintable(seen.at(1)));
        QCOMPARE(w.shown(), "{c.p 1} + - options:0");  // no "Open folder" from the run before
    }

    void clicksDuringARunChangeNothing() {
        Window w;
        w.put("a.p", library_bytes(numbered_parts(300)));
        w.put("b.p", library_bytes(numbered_parts(300)));
        w.act("+:a.p +:b.p option:3 File:d.d row:0");
        QString during;  // what the window showed while it ran
        QTimer::singleShot(0, w.form.get(), [&] {
            const QCursor* cursor = QApplication::overrideCursor();
            during = QStringLiteral("wait cursor %1, %2 %3")
                         .arg(cursor != nullptr && cursor->shape() == Qt::WaitCursor)
                         .arg(w.status().isEmpty() ? "no status" : "status")
                         .arg(w.shown());
            // Clicks on the disabled controls and a drag onto the list ...
            during += ", " + w.act("+:c.p - File:d.d option:2 drop:c.p").join(", ");
            // ... and the handlers reached another way (a click queued before the run).
            w.dialogs.answer(w.url("c.p").toLocalFile());
            using marrowgate::ui::Form1;
            for (auto handler : {&Form1::Command3_Click, &Form1::Command4_Click, &Form1::Command5_Click,
                                 &Form1::Command1_Click})
                (w.form.get()->*handler)();
            w.form->Option1_Click(2);
            // "Exit" stops the run; the window closes once it has stopped.
            w.click("Command2");
            during += QStringLiteral(", shown after Exit %1").arg(w.form->isVisible());
        });
        w.click("Command1");
        QCOMPARE(during, "wait cursor 1, status {a.p 300, b.p 300} options(0):3, drag refused, shown after Exit 1");
        QVERIFY(!w.form->isVisible());
        QCOMPARE(w.shown(), "{a.p 300, b.p 300} options(0):3");  // the list and the option as they were, no file
        QVERIFY(w.dialogs.boxes.empty());
    }

    void runRefusedOrStoppedLeavesLibAsItWas() {
        Window w;
        w.act("+:a.p option:0 Execute");
        QCOMPARE(w.written(), QStringList{"LIB_P.p"});
        const std::string earlier = read_file(w.lib() / "LIB_P.p");
        w.put("a.p", library_bytes(numbered_parts(60)));
        {
            // Another run holds the folder: a warning, and nothing written.
            const auto held = marrowgate::real_file_system().lock(marrowgate::run_lock_path(w.app.path()), true);
            const QString seen = w.act("option:0 Execute").join('\n');
            QVERIFY2(seen.contains("\nwarning Vorlane: another run is sorting into"), qPrintable(seen));
            QCOMPARE(read_file(w.lib() / "LIB_P.p"), earlier);
        }
        // Closed during a run: the run stops and the window closes.
        bool refused = false;
        QTimer::singleShot(0, w.form.get(), [&] { refused = !w.form->close() && w.form->isVisible(); });
        w.act("option:0 Execute");
        QVERIFY(refused);
        QVERIFY(!w.form->isVisible());
        QCOMPARE(read_file(w.lib() / "LIB_P.p"), earlier);
    }

    void linkAndNewsLine() {
        NewsServer server;
        QVERIFY(server.listen());
        server.answer(200, "first\r\nVersion 2 is out\r\n");
        server.mode = NewsServer::Mode::Silent;
        Window w(server.site());
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        // The link opens the site, on a left click only.
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler("http", &recorder, "open");
        for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton, Qt::LeftButton})
            QTest::mouseClick(w.child("lblLink"), button);
        QDesktopServices::unsetUrlHandler("http");
        QCOMPARE(recorder.opened, QList<QUrl>{QUrl(server.site())});

        // The window is up while the news server keeps silent; its answer
        // shows in the news line at last.
        const auto news_line = [&w] { return w.child("Text1")->property("text").toString(); };
        QCOMPARE(news_line(), "News:");
        if (marrowgate::connection_may_exist(marrowgate::system_reachability())) {
            QTRY_COMPARE(server.request_lines.size(), 1);
            QCOMPARE(news_line(), "News:");
            server.answer_waiting();
        } else {  // start-up asks no server
            emit w.form->findChild<marrowgate::NewsDownload*>()->newsReady("News: Version 2 is out");
        }
        QTRY_COMPARE(news_line(), "News: Version 2 is out");
    }
};

QTEST_MAIN(Form1Test)
#include "Form1Test.moc"
