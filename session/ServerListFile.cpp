#include "session/ServerListFile.h"

#include "comm/crypto/AesEncryption.h"
#include "core/DMServerManager.h"
#include "platform/PropertyList.h"
#include "platform/UserFolder.h"

#include <QDir>
#include <QFileInfo>

namespace serverlistfile {

namespace {

std::optional<QString> encipher(const QString& text)
{
    return AesEncryption::encodeStringWithAES(text, QString::fromLatin1(DMServerManager::kStoredDataKey));
}

std::optional<QVariantMap> list(const QList<Endpoint>& servers, const QString& kind, const QString& provider)
{
    QVariantList rows;
    for (int i = 0; i < servers.size(); ++i) {
        const auto ip = encipher(servers[i].host);
        const auto port = encipher(servers[i].port);
        if (!ip || !port)
            return std::nullopt;
        rows.append(QVariantMap { { "name", QStringLiteral("%1%2").arg(kind).arg(i + 1) },
            { "ip_address", *ip }, { "port", *port }, { "provider_name", provider } });
    }
    const auto selectedIp = encipher(servers.value(0).host);
    const auto selectedPort = encipher(servers.value(0).port);
    if (rows.isEmpty() || !selectedIp || !selectedPort)
        return std::nullopt;
    return QVariantMap { { "info_list", rows }, { "selected_ip", *selectedIp },
        { "selected_port", *selectedPort } };
}

} // namespace

std::optional<QList<Endpoint>> parse(const QString& text)
{
    QList<Endpoint> servers;
    for (const QString& item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const qsizetype colon = item.lastIndexOf(QLatin1Char(':'));
        bool ok = false;
        const uint port = colon > 0 ? item.mid(colon + 1).toUInt(&ok) : 0;
        if (!ok || port == 0 || port > 65535)
            return std::nullopt;
        servers.append({ item.left(colon).trimmed(), QString::number(port) });
    }
    if (servers.isEmpty())
        return std::nullopt;
    return servers;
}

bool write(
    const QList<Endpoint>& quote, const QList<Endpoint>& trade, const QString& provider, const QString& path)
{
    const auto quoteList = list(quote, QStringLiteral("行情"), provider);
    const auto tradeList = list(trade, QStringLiteral("交易"), provider);
    if (!quoteList || !tradeList)
        return false;
    const QString file = path.isEmpty()
        ? platform::UserFolder::configFilePath(QString::fromLatin1(DMServerManager::kFileName))
        : path;
    QDir().mkpath(QFileInfo(file).absolutePath());
    return platform::PropertyList::writeFileAtomic(file,
        QVariantMap { { QString::fromLatin1(DMServerManager::kQuoteListKey), *quoteList },
            { QString::fromLatin1(DMServerManager::kTradeListKey), *tradeList } });
}

} // namespace serverlistfile
