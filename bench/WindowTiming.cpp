// marrowgate_window_timing: times a sort made in the window as a user makes
// it: each file listed with "+", the key chosen (and for the pad count the
// decal library with "File ..."), then "Execute" clicked. Prints the seconds
// of the listing and of the run, from the click until the window shows the
// run has ended; /usr/bin/time -v around it gives the peak memory.
//   QT_QPA_PLATFORM=offscreen marrowgate_window_timing KEY APP_FOLDER [DECALS.d] FILE...
// KEY: alphanumeric, logic-family, decal-name or pad-count (the decal library
// comes first then).
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QRadioButton>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <string>

#include "ScriptedDialogs.h"
#include "news/NewsDownload.h"
#include "sort/Sorts.h"
#include "ui/qt/Form1.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const auto key = argc > 3 ? marrowgate::sort_key_from_name(argv[1]) : std::nullopt;
    const bool pad_count = key == marrowgate::SortKey::PadCount;
    if (!key || argc < (pad_count ? 5 : 4)) {
        std::fprintf(stderr, "usage: marrowgate_window_timing KEY APP_FOLDER [DECALS.d] FILE...\n");
        return 2;
    }
    QTemporaryDir settings_folder;
    if (!settings_folder.isValid()) return 1;
    // What the window remembers goes to a scratch folder, not the user's settings.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings_folder.path());

    marrowgate::test::ScriptedDialogs dialogs;
    marrowgate::ui::WindowSettings settings{argv[2], marrowgate::site_address().toStdString(), {}};
    marrowgate::ui::Form1 window(settings, dialogs);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return 1;
    window.chkAnyVersion->setChecked(true);

    QElapsedTimer timer;
    timer.start();
    for (int i = pad_count ? 4 : 3; i < argc; ++i) {
        dialogs.answer(QString::fromLocal8Bit(argv[i]));
        QTest::mouseClick(window.Command3, Qt::LeftButton);
    }
    const double listing = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    QTest::mouseClick(window.Option1[static_cast<std::size_t>(*key)], Qt::LeftButton);
    if (pad_count) {
        dialogs.answer(QString::fromLocal8Bit(argv[3]));
        QTest::mouseClick(window.Command5, Qt::LeftButton);
    }
    QApplication::processEvents();
    timer.restart();
    QTest::mouseClick(window.Command1, Qt::LeftButton);
    // The run works on a thread of its own; the window's events go on meanwhile.
    while (window.running()) QTest::qWait(1);
    const double run = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    const QString box = dialogs.boxes.empty() ? QStringLiteral("no box") : dialogs.boxes.back().text;
    std::printf("listing %.3f s, run %.3f s, %s %s\n", listing, run, window.Label2->text().toStdString().c_str(),
                box.section(QLatin1Char('\n'), 0, 0).toStdString().c_str());
    return 0;
}
