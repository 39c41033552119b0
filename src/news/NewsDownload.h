// Connection detection and the news download of start-up. The download runs
// in the background: start-up goes on and the window appears at once; the news
// line changes when the download completes.
#pragma once

#include <QObject>
#include <QString>
#include <filesystem>

namespace marrowgate {

// The address of the maker's web site: MARROWGATE_SITE_URL from the
// environment when set, otherwise the value the program was built with.
QString site_address();

class NewsDownload : public QObject {
    Q_OBJECT
public:
    NewsDownload(QString site, std::filesystem::path application_folder, QObject* parent = nullptr);

    // Gives up a download after this many milliseconds (10 seconds by default).
    void setTimeoutMs(int milliseconds) { timeout_ms_ = milliseconds; }

    // Asks whether a connection exists and, if so, starts the download.
    // Returns whether the download was started.
    bool Internet_Detection();
    // Downloads <site>/news/vorlane.news into vorlane.news in the application folder.
    void Internet_File_Download();

signals:
    // After a complete, successful download: "News: " and the file's last line.
    void newsReady(const QString& caption);
    // When the download has ended, successfully or not.
    void finished(bool ok);

private:
    QString site_;
    std::filesystem::path folder_;
    int timeout_ms_ = 10000;
};

}  // namespace marrowgate
