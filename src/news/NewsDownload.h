// Connection detection and the news download of start-up. The download runs
// in the background: start-up goes on and the window appears at once; the news
// line changes when the download completes.
#pragma once

#include <QNetworkInformation>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QSaveFile;

namespace marrowgate {

// The address of the maker's web site: MARROWGATE_SITE_URL from the
// environment when set, otherwise the value the program was built with.
QString site_address();

// <site>/news/vorlane.news; a "/" at the end of the site address is not doubled.
QUrl news_url(const QString& site);

// What the system says about the connection; empty when it cannot tell.
using Reachability = QNetworkInformation::Reachability;
std::optional<Reachability> system_reachability();

// Only a machine known to be disconnected skips the download; when the system
// cannot tell, the download itself decides.
bool connection_may_exist(std::optional<Reachability> reachability);

class NewsDownload : public QObject {
    Q_OBJECT
public:
    NewsDownload(QString site, std::filesystem::path application_folder, QObject* parent = nullptr);
    ~NewsDownload() override;

    // Gives up a download after this many milliseconds (10 seconds by default),
    // whether or not the server is still sending.
    void setTimeoutMs(int milliseconds) { timeout_ms_ = milliseconds; }
    // Replaces the question put to the system (system_reachability).
    void setReachabilityQuery(std::function<std::optional<Reachability>()> query) {
        reachability_ = std::move(query);
    }

    // Asks whether a connection exists and, if so, starts the download.
    // Returns whether the download was started. Either way `finished` follows
    // once, from the event loop.
    bool Internet_Detection();
    // Downloads <site>/news/vorlane.news into vorlane.news in the application
    // folder. The body goes to a temporary file beside it, which replaces the
    // news file only after a complete download with a 2xx status; a failure
    // leaves an earlier news file as it was. Does nothing while a download runs.
    void Internet_File_Download();

    bool isRunning() const { return reply_ != nullptr; }
    std::filesystem::path newsFilePath() const { return folder_ / "vorlane.news"; }
    // Why the last download failed; empty after a success.
    QString lastError() const { return last_error_; }

signals:
    // After a complete, successful download: "News: " and the file's last line.
    void newsReady(const QString& caption);
    // When the download has ended, successfully or not.
    void finished(bool ok);

private:
    void store_received();
    void complete();
    void fail_later(const QString& reason);

    QString site_;
    std::filesystem::path folder_;
    int timeout_ms_ = 10000;
    std::function<std::optional<Reachability>()> reachability_ = system_reachability;
    QNetworkAccessManager* manager_ = nullptr;
    QNetworkReply* reply_ = nullptr;
    std::unique_ptr<QSaveFile> file_;
    QTimer deadline_;
    bool timed_out_ = false;
    QString store_error_;
    QString last_error_;
};

}  // namespace marrowgate
