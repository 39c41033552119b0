// Draws the window as a user sees it after listing the two sample libraries and
// choosing a sort key, and saves it as a PNG (docs/window.png).
//   window_screenshot OUTPUT.png [AFTER_RUN.png]
// With a second name it also runs the sort and saves the window as it then is.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "ScriptedDialogs.h"
#include "news/NewsDownload.h"
#include "ui/qt/FileListView.h"
#include "ui/qt/Form1.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: window_screenshot OUTPUT.png [AFTER_RUN.png]\n");
        return 2;
    }
    QTemporaryDir folder, settings_folder;
    if (!folder.isValid() || !settings_folder.isValid()) return 1;
    // What the window remembers goes to a scratch folder, not the user's settings.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings_folder.path());

    marrowgate::test::ScriptedDialogs dialogs;
    const QDir samples(QStringLiteral(MARROWGATE_SAMPLES_DIR));
    dialogs.answer(samples.filePath(QStringLiteral("logic.p")));
    dialogs.answer(samples.filePath(QStringLiteral("discretes.p")));

    marrowgate::ui::WindowSettings settings{folder.path().toStdString(), marrowgate::site_address().toStdString(), {}};
    marrowgate::ui::Form1 window(settings, dialogs);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return 1;
    QTest::mouseClick(window.Command3, Qt::LeftButton);
    QTest::mouseClick(window.Command3, Qt::LeftButton);
    window.ListView1->setCurrentItem(window.ListView1->topLevelItem(0));
    QTest::mouseClick(window.Option1[1], Qt::LeftButton);
    QTest::qWait(200);

    const auto save = [&window](const char* name) {
        if (window.grab().save(QString::fromLocal8Bit(name))) return true;
        std::fprintf(stderr, "window_screenshot: cannot write %s\n", name);
        return false;
    };
    if (!save(argv[1])) return 1;
    if (argc == 2) return 0;
    QTest::mouseClick(window.Command1, Qt::LeftButton);
    // The run works on a thread of its own; the window shows "Done." at its end.
    for (int waited = 0; window.running() && waited < 10000; waited += 50) QTest::qWait(50);
    QTest::qWait(200);
    return save(argv[2]) ? 0 : 1;
}
