// Writes the per-user server list the client reads at start-up.
//
//   lumora-serverlist --quote HOST:PORT[,HOST:PORT...] --trade HOST:PORT[,...]
//                     [--provider NAME] [--out FILE]
//
// Without --out the file is "Config/ServerInfo.plist" in the per-user folder
// (LUMORA_HOME when set). Addresses are stored enciphered, as the client
// keeps them; the first server of each list is the selected one.
#include "comm/AesEncryption.h"
#include "core/DMServerManager.h"
#include "platform/PropertyList.h"
#include "platform/UserFolder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <optional>

namespace {

struct Endpoint {
    QString host;
    QString port;
};

std::optional<QList<Endpoint>> parseList(const QString& text)
{
    QList<Endpoint> list;
    for (const QString& item : text.split(',', Qt::SkipEmptyParts)) {
        const qsizetype colon = item.lastIndexOf(':');
        bool ok = false;
        const uint port = colon > 0 ? item.mid(colon + 1).toUInt(&ok) : 0;
        if (!ok || port == 0 || port > 65535)
            return std::nullopt;
        list.append({ item.left(colon).trimmed(), QString::number(port) });
    }
    if (list.isEmpty())
        return std::nullopt;
    return list;
}

std::optional<QVariantMap> serverList(const QList<Endpoint>& servers, const QString& kind, const QString& provider)
{
    const QString key = QString::fromLatin1(DMServerManager::kStoredDataKey);
    QVariantList rows;
    std::optional<QString> selectedIp, selectedPort;
    for (int i = 0; i < servers.size(); ++i) {
        const auto ip = AesEncryption::encodeStringWithAES(servers[i].host, key);
        const auto port = AesEncryption::encodeStringWithAES(servers[i].port, key);
        if (!ip || !port)
            return std::nullopt;
        rows.append(QVariantMap { { "name", QStringLiteral("%1%2").arg(kind).arg(i + 1) }, { "ip_address", *ip },
            { "port", *port }, { "provider_name", provider } });
        if (i == 0) {
            selectedIp = AesEncryption::encodeStringWithAES(servers[i].host, key);
            selectedPort = AesEncryption::encodeStringWithAES(servers[i].port, key);
        }
    }
    if (!selectedIp || !selectedPort)
        return std::nullopt;
    return QVariantMap { { "info_list", rows }, { "selected_ip", *selectedIp }, { "selected_port", *selectedPort } };
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes the client's server list."));
    parser.addHelpOption();
    parser.addOption({ "quote", "Quote servers, HOST:PORT separated by commas.", "list" });
    parser.addOption({ "trade", "Trade servers, HOST:PORT separated by commas.", "list" });
    parser.addOption({ "provider", "The provider's name shown in the list.", "name", QStringLiteral("券商") });
    parser.addOption({ "out", "The file to write (default: the per-user server list).", "file" });
    parser.process(app);

    const auto quote = parseList(parser.value("quote"));
    const auto trade = parseList(parser.value("trade"));
    if (!quote || !trade) {
        std::fprintf(stderr, "usage: lumora-serverlist --quote HOST:PORT[,...] --trade HOST:PORT[,...] "
                             "[--provider NAME] [--out FILE]\n");
        return 2;
    }
    const QString provider = parser.value("provider");
    const auto quoteList = serverList(*quote, QStringLiteral("行情"), provider);
    const auto tradeList = serverList(*trade, QStringLiteral("交易"), provider);
    if (!quoteList || !tradeList) {
        std::fprintf(stderr, "cannot encipher the addresses\n");
        return 1;
    }
    const QString path = parser.isSet("out")
        ? parser.value("out")
        : platform::UserFolder::configFilePath(QString::fromLatin1(DMServerManager::kFileName));
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QVariantMap document { { QString::fromLatin1(DMServerManager::kQuoteListKey), *quoteList },
        { QString::fromLatin1(DMServerManager::kTradeListKey), *tradeList } };
    if (!platform::PropertyList::writeFileAtomic(path, document)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    std::printf("%s\n", qPrintable(path));
    return 0;
}
