// The news download against a server on 127.0.0.1 that the tests run themselves.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "NewsServer.h"
#include "news/NewsDownload.h"
#include "state/Module1.h"

namespace marrowgate::test {

class NewsDownloadTest : public QObject {
    Q_OBJECT
private slots:
    void showsTheLastLineOfTheDownload_data();
    void showsTheLastLineOfTheDownload();
    void failureKeepsTheOldFileAndShowsNothing_data();
    void failureKeepsTheOldFileAndShowsNothing();
    void unreachableOrUnwritableEndsQuietly();
    void detectionDecidesWhetherToDownload();
    void detectionDoesNotWaitForTheServer();
    void siteAddressIsOneSetting();
};

namespace {

std::filesystem::path fs_path(const QString& path) { return path_from_utf8(path.toStdString()); }

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void put(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// A download into a fresh folder, with spies on both signals.
struct Run {
    explicit Run(const QString& site) {
        QVERIFY(folder.isValid());
        news = std::make_unique<NewsDownload>(site, fs_path(folder.path()));
        ready = std::make_unique<QSignalSpy>(news.get(), &NewsDownload::newsReady);
        finished = std::make_unique<QSignalSpy>(news.get(), &NewsDownload::finished);
    }
    QString newsFile() const { return folder.filePath(QStringLiteral("vorlane.news")); }
    QStringList entries() const { return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden); }
    bool ended() const { return finished->count() > 0; }
    bool ok() const { return finished->count() == 1 && finished->at(0).at(0).toBool(); }

    QTemporaryDir folder;
    std::unique_ptr<NewsDownload> news;
    std::unique_ptr<QSignalSpy> ready;
    std::unique_ptr<QSignalSpy> finished;
};

}  // namespace

void NewsDownloadTest::showsTheLastLineOfTheDownload_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("caption");
    QTest::newRow("three lines") << QByteArray("first\r\nsecond\r\nthird\r\n") << "News: third";
    QTest::newRow("empty body") << QByteArray() << "News: ";
    QTest::newRow("UTF-8 text") << QByteArray("Nouveaut\xc3\xa9s\r\n") << QString::fromUtf8("News: Nouveaut\xc3\xa9s");
}

void NewsDownloadTest::showsTheLastLineOfTheDownload() {
    QFETCH(QByteArray, body);
    QFETCH(QString, caption);
    NewsServer server;
    QVERIFY(server.listen());
    server.answer(200, body);
    Run run(server.site());
    put(run.newsFile(), "an older news file, longer than the new one\r\n");

    run.news->setReachabilityQuery([] { return std::optional<Reachability>(); });
    QVERIFY(run.news->Internet_Detection());
    QTRY_VERIFY(run.ended());

    QVERIFY2(run.ok(), qPrintable(run.news->lastError()));
    QCOMPARE(run.ready->count(), 1);
    QCOMPARE(run.ready->at(0).at(0).toString(), caption);
    QCOMPARE(contents(run.newsFile()), body);
    QCOMPARE(run.entries(), QStringList{QStringLiteral("vorlane.news")});  // no temporary file left
    QCOMPARE(server.request_lines, QList<QByteArray>{"GET /news/vorlane.news HTTP/1.1"});
}

void NewsDownloadTest::failureKeepsTheOldFileAndShowsNothing_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("response");  // empty: answer with the status
    QTest::addColumn<bool>("silent");
    QTest::newRow("404") << 404 << QByteArray() << false;
    QTest::newRow("500") << 500 << QByteArray() << false;
    QTest::newRow("redirect without a target") << 302 << QByteArray() << false;
    QTest::newRow("body cut short") << 0
                                    << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly part\r\n")
                                    << false;
    QTest::newRow("not HTTP") << 0 << QByteArray("hello\r\n\r\n") << false;
    QTest::newRow("server never answers") << 0 << QByteArray() << true;
}

void NewsDownloadTest::failureKeepsTheOldFileAndShowsNothing() {
    QFETCH(int, status);
    QFETCH(QByteArray, response);
    QFETCH(bool, silent);
    NewsServer server;
    QVERIFY(server.listen());
    server.answer(status, "replacement news\r\n");
    if (!response.isEmpty()) server.response = response;
    if (silent) server.mode = NewsServer::Mode::Silent;
    Run run(server.site());
    const QByteArray old = "old news\r\n";
    put(run.newsFile(), old);
    run.news->setTimeoutMs(300);

    QElapsedTimer clock;
    clock.start();
    run.news->Internet_File_Download();
    QTRY_VERIFY(run.ended());

    QCOMPARE(run.finished->count(), 1);
    QVERIFY(!run.ok());
    QCOMPARE(run.ready->count(), 0);
    QVERIFY(!run.news->lastError().isEmpty());
    QCOMPARE(contents(run.newsFile()), old);
    QCOMPARE(run.entries(), QStringList{QStringLiteral("vorlane.news")});
    QVERIFY(!server.request_lines.isEmpty());  // an answer that is not HTTP is asked again
    if (silent) QVERIFY2(clock.elapsed() >= 300, "gave up before the time limit");
}

void NewsDownloadTest::unreachableOrUnwritableEndsQuietly() {
    // Connection refused: a port that was just free and is closed again.
    QString refused;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        refused = QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort());
    }
    Run run(refused);
    put(run.newsFile(), "old\r\n");
    run.news->Internet_File_Download();
    QTRY_VERIFY(run.ended());
    QVERIFY(!run.ok());
    QCOMPARE(run.ready->count(), 0);
    QCOMPARE(contents(run.newsFile()), QByteArray("old\r\n"));

    // An application folder that does not exist: nothing can be stored.
    NewsServer server;
    QVERIFY(server.listen());
    server.answer(200, "news\r\n");
    const QString missing = run.folder.filePath(QStringLiteral("absent"));
    NewsDownload nowhere(server.site(), fs_path(missing));
    QSignalSpy ended(&nowhere, &NewsDownload::finished);
    nowhere.Internet_File_Download();
    QCOMPARE(ended.count(), 0);  // reported from the event loop, never inside the call
    QTRY_COMPARE(ended.count(), 1);
    QVERIFY(!ended.at(0).at(0).toBool());
    QVERIFY2(nowhere.lastError().contains(missing), qPrintable(nowhere.lastError()));
    QVERIFY(!QFileInfo::exists(missing));

    // A site address that is not an http or https address.
    for (const QString& site : {QStringLiteral("ftp://127.0.0.1"), QStringLiteral("127.0.0.1"), QString()}) {
        Run bad(site);
        bad.news->Internet_File_Download();
        QTRY_VERIFY(bad.ended());
        QVERIFY(!bad.ok());
    }
}

void NewsDownloadTest::detectionDecidesWhetherToDownload() {
    NewsServer server;
    QVERIFY(server.listen());
    server.answer(200, "news\r\n");

    Run offline(server.site());
    offline.news->setReachabilityQuery([] { return std::optional<Reachability>(Reachability::Disconnected); });
    QVERIFY(!offline.news->Internet_Detection());
    QTRY_VERIFY(offline.ended());
    QVERIFY(!offline.ok());
    QCOMPARE(offline.ready->count(), 0);
    QVERIFY(server.request_lines.isEmpty());

    // Unknown, no backend at all, or only a local network: the download decides.
    const std::optional<Reachability> answers[] = {Reachability::Unknown, std::nullopt, Reachability::Local,
                                                   Reachability::Online};
    for (const auto answer : answers) {
        Run online(server.site());
        online.news->setReachabilityQuery([answer] { return answer; });
        QVERIFY(online.news->Internet_Detection());
        QTRY_VERIFY(online.ended());
        QVERIFY2(online.ok(), qPrintable(online.news->lastError()));
    }
    QCOMPARE(server.request_lines.size(), 4);
}

void NewsDownloadTest::detectionDoesNotWaitForTheServer() {
    NewsServer server;
    QVERIFY(server.listen());
    server.mode = NewsServer::Mode::Silent;
    Run run(server.site());
    run.news->setReachabilityQuery([] { return std::optional<Reachability>(); });
    put(run.newsFile(), "old\r\n");

    QElapsedTimer clock;
    clock.start();
    QVERIFY(run.news->Internet_Detection());
    QVERIFY(clock.elapsed() < 1000);
    QVERIFY(run.news->isRunning());
    QTRY_COMPARE(server.request_lines.size(), 1);
    QVERIFY(!run.ended());

    // Closing the program in the middle of a download: nothing half-written stays.
    run.news.reset();
    QCOMPARE(run.entries(), QStringList{QStringLiteral("vorlane.news")});
    QCOMPARE(contents(run.newsFile()), QByteArray("old\r\n"));
    QCOMPARE(run.finished->count(), 0);
}

void NewsDownloadTest::siteAddressIsOneSetting() {
    const QByteArray saved = qgetenv("MARROWGATE_SITE_URL");
    qunsetenv("MARROWGATE_SITE_URL");
    const QString built_in = site_address();
    QVERIFY(built_in.startsWith(QStringLiteral("http")));
    qputenv("MARROWGATE_SITE_URL", " http://127.0.0.1:8080/maker/ ");
    const QString overridden = site_address();
    if (saved.isEmpty())
        qunsetenv("MARROWGATE_SITE_URL");
    else
        qputenv("MARROWGATE_SITE_URL", saved);
    QCOMPARE(overridden, QStringLiteral("http://127.0.0.1:8080/maker/"));

    QCOMPARE(news_url(overridden), QUrl(QStringLiteral("http://127.0.0.1:8080/maker/news/vorlane.news")));
    QCOMPARE(news_url(QStringLiteral("https://www.vorlane.example")),
             QUrl(QStringLiteral("https://www.vorlane.example/news/vorlane.news")));
}

}  // namespace marrowgate::test

QTEST_GUILESS_MAIN(marrowgate::test::NewsDownloadTest)
#include "NewsDownloadTest.moc"
