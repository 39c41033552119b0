#include <QApplication>
#include <QTest>

#include "NewsDownloadTest.h"
#ifdef MARROWGATE_WITH_WINDOW
#include "StartupTest.h"
#endif

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failures = 0;
    marrowgate::test::NewsDownloadTest download;
    failures += QTest::qExec(&download, argc, argv);
#ifdef MARROWGATE_WITH_WINDOW
    marrowgate::test::StartupTest startup;
    failures += QTest::qExec(&startup, argc, argv);
#endif
    return failures == 0 ? 0 : 1;
}
