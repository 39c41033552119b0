#include "news/NewsDownload.h"

#include <QTimer>

namespace marrowgate {

QString site_address() {
    const QByteArray env = qgetenv("MARROWGATE_SITE_URL");
    if (!env.isEmpty()) return QString::fromUtf8(env);
    return QStringLiteral(MARROWGATE_SITE_URL);
}

NewsDownload::NewsDownload(QString site, std::filesystem::path application_folder, QObject* parent)
    : QObject(parent), site_(std::move(site)), folder_(std::move(application_folder)) {}

bool NewsDownload::Internet_Detection() {
    // Placeholder until the download is built: no connection.
    return false;
}

void NewsDownload::Internet_File_Download() {
    QTimer::singleShot(0, this, [this] { emit finished(false); });
}

}  // namespace marrowgate
