// Widget tests of the Qt window: what only the Qt face does. The rules of the
// window are the logic's, tested without a toolkit in tests/window; here the
// controls are found by their names and used as a user uses them (mouse
// clicks, keys, files dragged onto the list), and a run works on its own
// thread under Qt's event loop.
#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QDropEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
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
#include "ui/qt/Dialogs.h"
#include "ui/qt/Form1.h"

using namespace marrowgate::test;
namespace fs = std::filesystem;

namespace {

std::vector<Lines> numbered_parts(int parts, const std::string& prefix = "P") {
    std::vector<Lines> blocks;
    for (int i = 1; i <= parts; ++i) blocks.push_back(part(prefix + std::to_string(i) + " DIP8 I TTL 3 1 0 0 0"));
    return blocks;
}

// One window on a fresh application folder, with a.p (10 parts), b.p (5),
// c.p (1), d.p (2) and e.p (3) to pick; what it remembers goes to a folder of
// its own.
struct Window {
    explicit Window(const QString& site = marrowgate::site_address()) {
        for (const auto& [name, parts] : {std::pair{"a.p", 10}, {"b.p", 5}, {"c.p", 1}, {"d.p", 2}, {"e.p", 3}})
            put(name, library_bytes(numbered_parts(parts)));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(settings.path().string()));
        form = std::make_unique<marrowgate::ui::Form1>(
            marrowgate::ui::WindowSettings{app.path(), site.toStdString(), {}}, dialogs);
        form->show();
    }
    void put(const std::string& name, const std::string& bytes) { write_file(inputs / name, bytes); }
    QString path(const std::string& name) const { return QString::fromStdString((inputs / name).string()); }
    template <typename Control = QWidget>
    Control* child(const char* name) const {
        auto* found = form->findChild<Control*>(QString::fromLatin1(name));
        if (found == nullptr) qFatal("the window has no control %s", name);
        return found;
    }
    QTreeWidget* list() const { return child<QTreeWidget>("ListView1"); }
    void click(const char* name) { QTest::mouseClick(child(name), Qt::LeftButton, {}, QPoint(8, 8)); }
    void add(const std::string& name) {
        dialogs.answer(path(name));
        click("Command3");
    }
    // Files dragged onto the list and let go; false when the list refused the drag.
    bool drop(const std::vector<std::string>& names) {
        QList<QUrl> urls;
        for (const auto& name : names) urls << QUrl::fromLocalFile(path(name));
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(20, 30), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list()->viewport(), &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent drop(QPointF(20, 30), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list()->viewport(), &drop);
        return true;
    }
    QString rows() const {
        QStringList shown;
        for (int i = 0; i < list()->topLevelItemCount(); ++i)
            shown << list()->topLevelItem(i)->text(0) + " " + list()->topLevelItem(i)->text(1);
        return shown.join(", ");
    }
    QString status() const { return child<QLabel>("Label2")->isVisible() ? child<QLabel>("Label2")->text() : ""; }
    QRect place(const char* name) const {
        return QRect(child(name)->mapTo(form.get(), QPoint()), child(name)->size());
    }

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

    void controlsByNameAndPlace() {
        Window w;
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        QCOMPARE(w.form->windowTitle(), QStringLiteral("Vorlane Marrowgate " MARROWGATE_VERSION));
        QVERIFY(!w.form->windowIcon().isNull());
        for (const auto& control : marrowgate::window::kControlTable) w.child(control.name);
        QCOMPARE(w.child<QAbstractButton>("Command1")->text(), "&Execute");
        QCOMPARE(w.child<QAbstractButton>("Option1_3")->text(), "&PCB Decal Pads Number");
        QCOMPARE(w.list()->headerItem()->text(0), "Name");
        QCOMPARE(w.list()->headerItem()->text(1), "#");
        QCOMPARE(w.list()->header()->sectionSize(0), qRound(3540 * w.form->logicalDpiX() / 1440.0));
        // "Exit" sits right of "Execute" on its line, its right edge on the margin.
        QCOMPARE(w.place("Command2").top(), w.place("Command1").top());
        QVERIFY(w.place("Command2").left() > w.place("Command1").right());
        QCOMPARE(w.place("Command2").right(), w.place("Text1").right());
        // The list shows its four rows and its border whole.
        QVERIFY(w.child("Picture1")->rect().contains(QRect(w.list()->mapTo(w.child("Picture1"), QPoint()),
                                                           w.list()->size())));
        w.click("Command2");
        QVERIFY(!w.form->isVisible());
    }

    // Return on a focused button clicks it, Insert adds a file, Delete removes
    // the selected row; the news line is passed over by Tab and cannot be edited.
    void keyboard() {
        Window w;
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        w.dialogs.answer(w.path("a.p"));
        QTest::keyClick(w.form.get(), Qt::Key_Insert);
        w.dialogs.answer(w.path("b.p"));
        QTest::keyClick(w.child("Command3"), Qt::Key_Return);
        QCOMPARE(w.rows(), "a.p 10, b.p 5");
        w.list()->setCurrentItem(w.list()->topLevelItem(0));
        QTest::keyClick(w.list(), Qt::Key_Delete);
        QCOMPARE(w.rows(), "b.p 5");
        QCOMPARE(w.child("Text1")->focusPolicy() & Qt::TabFocus, 0);
        QVERIFY(w.child<QLineEdit>("Text1")->isReadOnly());
        QTest::keyClick(w.child("Command2"), Qt::Key_Return);
        QVERIFY(!w.form->isVisible());
    }

    // Files dragged from the file manager: taken while "+" is, one box naming
    // every refusal.
    void filesDraggedOntoTheList() {
        Window w;
        w.put("plain.p", "just text\r\n");
        QVERIFY(w.drop({"a.p", "plain.p", "b.p", "c.p", "d.p", "e.p"}));
        QCOMPARE(w.rows(), "a.p 10, b.p 5, c.p 1, d.p 2");
        QCOMPARE(w.dialogs.boxes.size(), std::size_t{1});
        QVERIFY(w.dialogs.boxes[0].text.startsWith("2 files were not added:"));
        QVERIFY(!w.drop({"e.p"}));  // four files listed: "+" is off for good
    }

    // The run works on its own thread: the window shows the hourglass and the
    // status line and answers meanwhile; "Exit" during it stops it, and the
    // window closes once it has stopped, with lib as it was.
    void runOnItsOwnThread() {
        Window w;
        w.add("a.p");
        w.click("Option1_0");
        w.click("Command1");
        QTRY_COMPARE(w.status(), "Done.");
        QTRY_VERIFY(w.child("cmdDetails")->isVisible() && w.child("cmdDetails")->hasFocus());
        const std::string earlier = read_file(w.app / "lib" / "LIB_P.p");

        w.put("big.p", library_bytes(numbered_parts(200000, "Q")));
        w.add("big.p");
        w.click("Option1_0");
        bool hourglass = false, guarded = false;
        QTimer::singleShot(0, w.form.get(), [&] {
            const QCursor* cursor = QApplication::overrideCursor();
            hourglass = cursor != nullptr && cursor->shape() == Qt::WaitCursor;
            guarded = !w.child("Command1")->isEnabled() && !w.child("Command3")->isEnabled() &&
                      w.form->running();
            w.click("Command2");
        });
        w.click("Command1");
        QTRY_VERIFY_WITH_TIMEOUT(!w.form->isVisible(), 20000);
        QVERIFY(hourglass);
        QVERIFY(guarded);
        QCOMPARE(read_file(w.app / "lib" / "LIB_P.p"), earlier);
        QVERIFY(!fs::exists(w.app / "lib" / "LIB_Q.p"));
    }

    // The real file dialog, which the other tests answer from a script: it
    // shows the filter and gives back the file chosen in it, or nothing when
    // it is cancelled.
    void fileDialogGivesTheChosenFileOrNothing() {
        TempDir dir;
        write_file(dir / "a.p", "");
        const QString folder = QString::fromStdString(dir.path().string());
        marrowgate::ui::QtDialogs dialogs;
        for (const bool accept : {true, false}) {
            // Whatever the dialog turns out to be, it is closed, so that a
            // failing check cannot leave the test waiting on it.
            QStringList filters;
            QTimer::singleShot(0, [accept, &filters] {
                QWidget* modal = QApplication::activeModalWidget();
                if (auto* dialog = qobject_cast<QFileDialog*>(modal)) filters = dialog->nameFilters();
                if (modal) QMetaObject::invokeMethod(modal, accept ? "accept" : "reject");
            });
            const auto chosen = dialogs.openFile("Part-Type Files (*.p)", "a.p", folder);
            QCOMPARE(filters, QStringList{"Part-Type Files (*.p)"});
            QCOMPARE(chosen.value_or("nothing"), accept ? folder + "/a.p" : "nothing");
        }
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
        const auto news_line = [&w] { return w.child<QLineEdit>("Text1")->text(); };
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
