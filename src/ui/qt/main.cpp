// marrowgate: the window.   marrowgate [--app-folder DIR] [FILE...]
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <string>
#include <vector>

#include "ui/qt/Dialogs.h"
#include "ui/qt/Form1.h"
#include "window/WindowStart.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QString::fromLatin1(marrowgate::ui::kSettingsOrganisation));
    QApplication::setApplicationName(QString::fromLatin1(marrowgate::ui::kSettingsApplication));
    QApplication::setApplicationVersion(QStringLiteral(MARROWGATE_VERSION));

    std::vector<std::string> args;
    const QStringList given = QApplication::arguments();
    for (qsizetype i = 1; i < given.size(); ++i) args.push_back(given[i].toUtf8().toStdString());
    const auto arguments = marrowgate::window::parse_window_arguments(args);
    if (!arguments.error.empty()) {
        std::fprintf(stderr, "marrowgate: %s\n\n%s", arguments.error.c_str(), marrowgate::window::window_usage().c_str());
        return 2;
    }
    if (arguments.help || arguments.version) {
        std::fputs(arguments.help ? marrowgate::window::window_usage().c_str() : "marrowgate " MARROWGATE_VERSION "\n",
                   stdout);
        return 0;
    }

    // A portable copy works in its own folder, an installed one in the per-user
    // data folder; that folder, or the one given, is made when it is missing.
    const auto start = marrowgate::window::window_start(arguments);
    if (!start.refusal.empty()) {
        QMessageBox::critical(nullptr, QString::fromLatin1(marrowgate::window::kBoxTitle),
                              QString::fromStdString(start.refusal));
        return 1;
    }

    marrowgate::ui::QtDialogs dialogs;
    marrowgate::ui::Form1 window(start.settings, dialogs);
    dialogs.setParentWidget(&window);
    window.show();
    // Files named on the command line ("Open with", a drop on the icon) are
    // listed as "+" lists them, once the window is up to show a refusal.
    if (!arguments.files.empty())
        QMetaObject::invokeMethod(&window, [&window, files = arguments.files] { window.logic().add_files(files); },
                                  Qt::QueuedConnection);
    return QApplication::exec();
}
