// marrowgate: the window.
#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "library/Folders.h"
#include "news/NewsDownload.h"
#include "state/Module1.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/Form1.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QString::fromLatin1(marrowgate::ui::kSettingsOrganisation));
    QApplication::setApplicationName(QString::fromLatin1(marrowgate::ui::kSettingsApplication));
    QApplication::setApplicationVersion(QStringLiteral(MARROWGATE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Sorts PADS ASCII part-type libraries into new libraries."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption app_folder(
        QStringLiteral("app-folder"),
        QStringLiteral("Folder that holds lib and tmp (default: the folder of this program when "
                       "marrowgate_msg.dat is beside it, otherwise the per-user data folder)."), QStringLiteral("DIR"));
    parser.addOption(app_folder);
    parser.process(app);

    marrowgate::ui::WindowSettings settings;
    settings.site = marrowgate::site_address();
    std::optional<std::filesystem::path> given;
    if (parser.isSet(app_folder)) {
        const auto folder = marrowgate::path_from_utf8(parser.value(app_folder).toUtf8().toStdString());
        std::error_code ec;
        const auto absolute = std::filesystem::absolute(folder, ec);
        given = ec ? folder : absolute.lexically_normal();
    }
    // A portable copy works in its own folder, an installed one in the per-user
    // data folder; that folder, or the one given, is made when it is missing,
    // as the command line makes it.
    const marrowgate::FolderChoice folders = marrowgate::choose_folders(given);
    if (!folders.refusal.empty()) {
        QMessageBox::critical(nullptr, QStringLiteral("Vorlane"), QString::fromStdString(folders.refusal));
        return 1;
    }
    marrowgate::make_application_folder(folders.application_folder);
    settings.application_folder = folders.application_folder;
    settings.message_file = folders.message_file;

    marrowgate::ui::QtDialogs dialogs;
    marrowgate::ui::Form1 window(settings, dialogs);
    dialogs.setParentWidget(&window);
    window.show();
    return QApplication::exec();
}
