#pragma once

// A server manager whose trade list is one server on this machine, for the
// status bar's speed tests, and a menu whose ticker link asks for the
// simulator's indexes.
#include "comm/AesEncryption.h"
#include "core/DMNotificationCenter.h"
#include "core/DMServerManager.h"
#include "core/NetworkFactory.h"
#include "platform/PropertyList.h"
#include "shell/menu/MenuManager.h"

#include <QDir>
#include <memory>

namespace statusbartest {

inline constexpr char kTickerLink[] = "zshqpmd?tc_mfuncno=1100&tc_sfuncno=16&code=000001.2,399001.1,399006.1";

inline std::unique_ptr<DMServerManager> localTradeServer(
    const QString& folder, const QString& name, quint16 port)
{
    const QString key = QString::fromLatin1(DMServerManager::kStoredDataKey);
    const QString ip = *AesEncryption::encodeStringWithAES(QStringLiteral("127.0.0.1"), key);
    const QString encPort = *AesEncryption::encodeStringWithAES(QString::number(port), key);
    const QVariantMap server { { "name", name }, { "ip_address", ip }, { "port", encPort } };
    const QVariantMap list { { "info_list", QVariantList { server } }, { "selected_ip", ip },
        { "selected_port", encPort } };
    DMServerManager::Options options;
    options.userPath = QDir(folder).filePath("ServerInfo.plist");
    platform::PropertyList::writeFileAtomic(
        options.userPath, QVariantMap { { "hq_servlist", list }, { "jy_servlist", list } });
    return std::make_unique<DMServerManager>(
        [] { return static_cast<INetworkFactory*>(NetworkFactory::getInstance()); },
        DMNotificationCenter::getInstance(), options);
}

// Five roots, the first the index ticker.
inline std::unique_ptr<MenuManager> tickerMenu()
{
    auto manager = std::make_unique<MenuManager>();
    std::vector<RDOMenuInfo::Ptr> roots;
    roots.push_back(
        RDOMenuInfo::fromFields("1", "-1", "指数行情", QString::fromLatin1(kTickerLink), QString()));
    for (const char* id : { "2", "3", "4", "5" })
        roots.push_back(RDOMenuInfo::fromFields(id, "-1", id, QString(), QString()));
    manager->setMenuInfo(std::make_shared<RDOMenuManager>(roots));
    return manager;
}

} // namespace statusbartest
