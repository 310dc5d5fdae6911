#include "platform/Updater.h"

#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QDebug>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QVersionNumber>

namespace platform {

Updater& Updater::sharedUpdater()
{
    static Updater updater;
    return updater;
}

Updater::Updater(UserDefaults* defaults, QObject* parent)
    : QObject(parent)
    , defaults_(defaults)
{
}

Updater::~Updater()
{
    if (reply_)
        reply_->abort();
}

UserDefaults& Updater::defaults() const { return defaults_ ? *defaults_ : UserDefaults::standardUserDefaults(); }

QString Updater::currentVersion() const
{
    return currentVersion_.isEmpty() ? QCoreApplication::applicationVersion() : currentVersion_;
}

bool Updater::checkForUpdatesInBackground()
{
    if (!automatic_ || reply_)
        return false;
    const QString feed = defaults().stringForKey(QString::fromLatin1(kFeedURLKey)).value_or(QString());
    const QUrl url(feed);
    const QString scheme = url.scheme();
    if (feed.isEmpty() || !url.isValid() || (scheme != "https" && scheme != "http" && scheme != "file")) {
        if (!feed.isEmpty())
            qWarning() << "Updater: feed address not used:" << feed;
        return false;
    }
    if (!network_)
        network_ = new QNetworkAccessManager(this);
    QNetworkRequest request(url);
    request.setTransferTimeout(kTimeoutMs);
    reply_ = network_->get(request);
    QNetworkReply* reply = reply_;
    connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64) {
        if (received > kMaxFeedBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finish(reply); });
    return true;
}

void Updater::finish(QNetworkReply* reply)
{
    reply->deleteLater();
    reply_.clear();
    const QByteArray bytes = reply->error() == QNetworkReply::NoError ? reply->read(kMaxFeedBytes + 1) : QByteArray();
    const std::optional<QVariant> feed
        = bytes.isEmpty() || bytes.size() > kMaxFeedBytes ? std::nullopt : PropertyList::read(bytes);
    const QVariantMap entry = feed ? feed->toMap() : QVariantMap();
    const QString version = entry.value(QStringLiteral("version")).toString();
    const QUrl download(entry.value(QStringLiteral("url")).toString());
    if (version.isEmpty()) {
        qWarning() << "Updater: no usable feed at" << reply->url().toString() << reply->errorString();
        emit checkFinished(false);
        return;
    }
    const bool newer = QVersionNumber::fromString(version) > QVersionNumber::fromString(currentVersion());
    const bool safeLink = download.scheme() == "https" || download.scheme() == "http";
    if (newer && safeLink)
        emit updateAvailable(version, download);
    emit checkFinished(true);
}

} // namespace platform
