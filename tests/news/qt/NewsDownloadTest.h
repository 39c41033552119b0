#pragma once

#include <QObject>

namespace marrowgate::test {

// The news download against a server on 127.0.0.1 that the tests run themselves.
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

}  // namespace marrowgate::test
