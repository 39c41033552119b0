// The news download against a server on 127.0.0.1 that the tests run themselves.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "NewsServer.h"
#include "io/Paths.h"
#include "news/NewsDownload.h"
#include "state/Module1.h"

namespace marrowgate::test {

class NewsDownloadTest : public QObject {
    Q_OBJECT
private slots:
    void download_data();
    void download();
    void siteAddressIsOneSetting();
};

namespace {
constexpr int kDirect = -1;    // no detection: the download is started at once
constexpr int kNoAnswer = -2;  // the system cannot tell whether a connection exists
constexpr int kAbandoned = -3;  // the program closes while the server has not answered
}  // namespace

void NewsDownloadTest::download_data() {
    QTest::addColumn<QString>("site");  // {server}: the test server; {closed}: a port nobody listens on
    QTest::addColumn<int>("status");    // 0 or less: the server sends `body` as its whole answer, or nothing
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("reachability");
    QTest::addColumn<bool>("folder");      // whether the application folder is there
    QTest::addColumn<QString>("caption");  // empty: the download fails
    const QString server = QStringLiteral("{server}"), third = QStringLiteral("News: third"), failed;
    const QByteArray news = "first\r\nsecond\r\nthird\r\n";
    QTest::newRow("three lines") << server << 200 << news << kNoAnswer << true << third;
    QTest::newRow("empty body") << server << 200 << QByteArray() << kNoAnswer << true << "News: ";
    QTest::newRow("UTF-8 text") << server << 200 << QByteArray("Nouveaut\xc3\xa9s\r\n") << kDirect << true
                                << QString::fromUtf8("News: Nouveaut\xc3\xa9s");
    // Unknown, a local network only, online: the download decides.
    QTest::newRow("unknown") << server << 200 << news << int(Reachability::Unknown) << true << third;
    QTest::newRow("local") << server << 200 << news << int(Reachability::Local) << true << third;
    QTest::newRow("online") << server << 200 << news << int(Reachability::Online) << true << third;
    QTest::newRow("disconnected") << server << 200 << news << int(Reachability::Disconnected) << true << failed;
    QTest::newRow("404") << server << 404 << news << kDirect << true << failed;
    QTest::newRow("300") << server << 300 << news << kDirect << true << failed;
    QTest::newRow("redirect without a target") << server << 302 << news << kDirect << true << failed;
    QTest::newRow("body cut short") << server << 0
                                    << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly part\r\n")
                                    << kDirect << true << failed;
    QTest::newRow("not HTTP") << server << 0 << QByteArray("hello\r\n\r\n") << kDirect << true << failed;
    QTest::newRow("server never answers") << server << 0 << QByteArray() << kDirect << true << failed;
    QTest::newRow("closed in the middle") << server << 0 << QByteArray() << kAbandoned << true << failed;
    QTest::newRow("connection refused") << "{closed}" << 0 << QByteArray() << kDirect << true << failed;
    QTest::newRow("no application folder") << server << 200 << news << kDirect << false << failed;
    QTest::newRow("ftp address") << "ftp://127.0.0.1" << 0 << QByteArray() << kDirect << true << failed;
    QTest::newRow("no address") << "" << 0 << QByteArray() << kDirect << true << failed;
}

// A download into an application folder that holds an older news file: what
// it shows, and what it leaves in the folder (after a failure the old file,
// never a temporary file). Detection does not wait for the server; `finished`
// follows once, from the event loop, unless the program closes first.
void NewsDownloadTest::download() {
    QFETCH(QString, site);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(int, reachability);
    QFETCH(bool, folder);
    QFETCH(QString, caption);
    NewsServer server;
    QVERIFY(server.listen());
    server.answer(status, body);
    if (status == 0) server.response = body;
    if (status == 0 && body.isEmpty()) server.mode = NewsServer::Mode::Silent;
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        site.replace(QStringLiteral("{closed}"), QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort()));
    }
    site.replace(QStringLiteral("{server}"), server.site());
    const bool asked = site == server.site() && folder && reachability != int(Reachability::Disconnected);

    QTemporaryDir dir;
    const QString app = folder ? dir.path() : dir.filePath(QStringLiteral("absent")), file = app + "/vorlane.news";
    const QByteArray old = "an older news file, longer than the new one\r\n";
    QFile news_file(file);
    if (folder) QVERIFY(news_file.open(QIODevice::WriteOnly) && news_file.write(old) == old.size());
    news_file.close();
    auto news = std::make_unique<NewsDownload>(site, path_from_utf8(app.toStdString()));
    QSignalSpy ready(news.get(), &NewsDownload::newsReady), finished(news.get(), &NewsDownload::finished);
    news->setTimeoutMs(reachability == kAbandoned ? 10000 : 300);
    news->setReachabilityQuery([reachability]() -> std::optional<Reachability> {
        if (reachability < 0) return std::nullopt;
        return Reachability(reachability);
    });
    QElapsedTimer clock;
    clock.start();
    if (reachability == kDirect) news->Internet_File_Download();
    else QCOMPARE(news->Internet_Detection(), reachability != int(Reachability::Disconnected));
    QVERIFY(clock.elapsed() < 1000);
    QCOMPARE(finished.count(), 0);
    if (reachability == kAbandoned) {
        QVERIFY(news->isRunning());
        QTRY_COMPARE(server.request_lines.size(), 1);
        news.reset();
        QCOMPARE(finished.count(), 0);
    } else {
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), !caption.isEmpty());
        QVERIFY2(caption.isEmpty() != news->lastError().isEmpty(), qPrintable(news->lastError()));
        if (!folder) QVERIFY2(news->lastError().contains(app), qPrintable(news->lastError()));
    }
    QCOMPARE(ready.count(), caption.isEmpty() ? 0 : 1);
    if (!caption.isEmpty()) QCOMPARE(ready.at(0).at(0).toString(), caption);
    QCOMPARE(QFileInfo::exists(app), folder);
    if (folder) {
        QVERIFY(news_file.open(QIODevice::ReadOnly));
        QCOMPARE(news_file.readAll(), caption.isEmpty() ? old : body);
        QCOMPARE(QDir(app).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("vorlane.news")});
    }
    // A server that does not answer with HTTP is asked again.
    QCOMPARE(!server.request_lines.isEmpty(), asked);
    for (const QByteArray& line : server.request_lines) QCOMPARE(line, QByteArray("GET /news/vorlane.news HTTP/1.1"));
    if (asked && reachability == kDirect && server.mode == NewsServer::Mode::Silent) {
        QVERIFY2(clock.elapsed() >= 300, "gave up before the time limit");
        QCOMPARE(news->lastError(), QStringLiteral("no complete answer within 300 ms"));
    }
}

void NewsDownloadTest::siteAddressIsOneSetting() {
    const QByteArray saved = qgetenv("MARROWGATE_SITE_URL");
    qunsetenv("MARROWGATE_SITE_URL");
    const QString built_in = site_address();
    qputenv("MARROWGATE_SITE_URL", " http://127.0.0.1:8080/maker/ ");
    const QString overridden = site_address();
    if (saved.isEmpty()) qunsetenv("MARROWGATE_SITE_URL");
    else qputenv("MARROWGATE_SITE_URL", saved);
    QVERIFY(built_in.startsWith(QStringLiteral("http")));
    QCOMPARE(overridden, QStringLiteral("http://127.0.0.1:8080/maker/"));
    QCOMPARE(news_url(overridden), QUrl(QStringLiteral("http://127.0.0.1:8080/maker/news/vorlane.news")));
    QCOMPARE(news_url(QStringLiteral("https://www.vorlane.example//")),
             QUrl(QStringLiteral("https://www.vorlane.example/news/vorlane.news")));
}

}  // namespace marrowgate::test

QTEST_GUILESS_MAIN(marrowgate::test::NewsDownloadTest)
#include "NewsDownloadTest.moc"
