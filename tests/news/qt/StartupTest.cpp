#include "StartupTest.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "NewsServer.h"
#include "news/NewsDownload.h"
#include "state/Module1.h"
#include "ui/Form1.h"
#include "ui/ScriptedDialogs.h"

namespace marrowgate::test {

void StartupTest::windowAppearsWhileTheNewsServerIsSilent() {
    NewsServer server;
    QVERIFY(server.listen());
    server.answer(200, "first\r\nVersion 2 is out\r\n");
    server.mode = NewsServer::Mode::Silent;

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QFile messages(folder.filePath(QStringLiteral("marrowgate_msg.dat")));
    QVERIFY(messages.open(QIODevice::WriteOnly));
    messages.write("0;Title;\r\n1;Not a library of the expected kind.;\r\n");
    messages.close();

    ui::WindowSettings settings;
    settings.application_folder = path_from_utf8(folder.path().toStdString());
    settings.site = server.site();
    ScriptedDialogs dialogs;
    auto window = std::make_unique<ui::Form1>(settings, dialogs);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));

    // Start-up went on past the download: the table is loaded and the folders exist.
    QCOMPARE(window->state().message(0, 1), std::string("Not a library of the expected kind."));
    QVERIFY(QDir(folder.path()).exists(QStringLiteral("lib")));
    QVERIFY(QDir(folder.path()).exists(QStringLiteral("tmp")));
    QCOMPARE(window->Text1->text(), QStringLiteral("News:"));

    if (!connection_may_exist(system_reachability()))
        QSKIP("the system reports no connection, so start-up asks no server");
    QTRY_COMPARE(server.request_lines.size(), 1);
    auto* news = window->findChild<NewsDownload*>();
    QVERIFY(news != nullptr);
    QVERIFY(news->isRunning());
    QCOMPARE(window->Text1->text(), QStringLiteral("News:"));

    // The news line changes when the server answers at last.
    server.answer_waiting();
    QTRY_COMPARE(window->Text1->text(), QStringLiteral("News: Version 2 is out"));
}

}  // namespace marrowgate::test
