#include <QApplication>
#include <QTest>

#include "NewsDownloadTest.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failures = 0;
    marrowgate::test::NewsDownloadTest download;
    failures += QTest::qExec(&download, argc, argv);
    return failures == 0 ? 0 : 1;
}
