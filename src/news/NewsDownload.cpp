#include "news/NewsDownload.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>

#include "io/FileSystem.h"
#include "io/Paths.h"
#include "news/NewsFile.h"
#include "state/Module1.h"
#include "window/WindowStart.h"

namespace marrowgate {

QString site_address() { return QString::fromStdString(window::site_address()); }

QUrl news_url(const QString& site) {
    QString base = site.trimmed();
    while (base.endsWith(QLatin1Char('/'))) base.chop(1);
    return QUrl(base + QStringLiteral("/news/vorlane.news"), QUrl::StrictMode);
}

std::optional<Reachability> system_reachability() {
    if (!QNetworkInformation::instance()) QNetworkInformation::loadDefaultBackend();
    const QNetworkInformation* info = QNetworkInformation::instance();
    if (!info) return std::nullopt;
    return info->reachability();
}

bool connection_may_exist(std::optional<Reachability> reachability) {
    return reachability != Reachability::Disconnected;
}

NewsDownload::NewsDownload(QString site, std::filesystem::path application_folder, QObject* parent)
    : QObject(parent), site_(std::move(site)), folder_(std::move(application_folder)) {
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        if (!reply_) return;
        timed_out_ = true;
        reply_->abort();
    });
}

NewsDownload::~NewsDownload() {
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
}

bool NewsDownload::Internet_Detection() {
    if (!connection_may_exist(reachability_ ? reachability_() : std::nullopt)) {
        fail_later(QStringLiteral("no connection"));
        return false;
    }
    Internet_File_Download();
    return true;
}

void NewsDownload::fail_later(const QString& reason) {
    last_error_ = reason;
    QMetaObject::invokeMethod(this, [this] { emit finished(false); }, Qt::QueuedConnection);
}

void NewsDownload::Internet_File_Download() {
    if (reply_) return;
    const QUrl url = news_url(site_);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        fail_later(QStringLiteral("the site address \"%1\" is not an http or https address").arg(site_));
        return;
    }

    const QString target = QString::fromStdString(utf8_from_path(newsFilePath()));
    file_ = std::make_unique<QSaveFile>(target);
    if (!file_->open(QIODevice::WriteOnly)) {
        const QString reason = QStringLiteral("%1: %2").arg(target, file_->errorString());
        file_.reset();
        fail_later(reason);
        return;
    }

    if (!manager_) manager_ = new QNetworkAccessManager(this);
    timed_out_ = false;
    store_error_.clear();
    last_error_.clear();
    reply_ = manager_->get(QNetworkRequest(url));
    connect(reply_, &QNetworkReply::readyRead, this, &NewsDownload::store_received);
    connect(reply_, &QNetworkReply::finished, this, &NewsDownload::complete);
    deadline_.start(timeout_ms_);
}

void NewsDownload::store_received() {
    if (!reply_ || !reply_->isOpen() || !store_error_.isEmpty()) return;
    const QByteArray data = reply_->readAll();
    if (file_->write(data) == data.size()) return;
    store_error_ = QStringLiteral("%1: %2").arg(file_->fileName(), file_->errorString());
    reply_->abort();
}

void NewsDownload::complete() {
    if (!reply_) return;
    store_received();
    deadline_.stop();
    QNetworkReply* reply = reply_;
    reply_ = nullptr;
    reply->deleteLater();
    const std::unique_ptr<QSaveFile> file = std::move(file_);

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (timed_out_)
        last_error_ = QStringLiteral("no complete answer within %1 ms").arg(timeout_ms_);
    else if (!store_error_.isEmpty())
        last_error_ = store_error_;
    else if (reply->error() != QNetworkReply::NoError)
        last_error_ = reply->errorString();
    else if (status < 200 || status > 299)
        last_error_ = QStringLiteral("HTTP status %1").arg(status);
    else if (!file->commit())
        last_error_ = QStringLiteral("%1: %2").arg(file->fileName(), file->errorString());
    if (!last_error_.isEmpty()) {
        file->cancelWriting();  // the temporary file goes; an earlier news file stays
        emit finished(false);
        return;
    }

    QString caption;
    try {
        caption = QString::fromLocal8Bit(news_caption(last_news_line(real_file_system(), newsFilePath())));
    } catch (const FileError& error) {
        last_error_ = QString::fromUtf8(error.what());
        emit finished(false);
        return;
    }
    emit newsReady(caption);
    emit finished(true);
}

}  // namespace marrowgate
