#pragma once

#include "comm/recordset/VEKTCRS.h"

#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>
#include <vector>

// One server of a list. Its tag, 1000 plus its position in the quote list or
// 2000 plus its position in the trade list, names it inside this run only.
class RDOServerInfo {
public:
    // initWithName:ip:port:provider:tag: nothing for a missing name, address
    // or port; a missing provider stays missing.
    static std::shared_ptr<const RDOServerInfo> initWithName(const std::optional<QString>& name,
        const std::optional<QString>& ip, const std::optional<QString>& port,
        const std::optional<QString>& provider, qint64 tag);

    const std::optional<QString>& getProviderName() const { return providerName_; }
    const QString& getServerName() const { return serverName_; }
    const QString& getServerIP() const { return serverIP_; }
    const QString& getServerPort() const { return serverPort_; }
    // The tag as decimal text.
    const QString& getTag() const { return tag_; }

private:
    RDOServerInfo() = default;

    std::optional<QString> providerName_;
    QString serverName_;
    QString serverIP_;
    QString serverPort_;
    QString tag_;
};

// The version record of the application-login reply: branch-list version
// (second record set), menu version and contract id (third record set).
class RDOServerVersionInfo {
public:
    // initWithTCRArray: nothing with fewer than 2 record sets.
    static std::optional<RDOServerVersionInfo> initWithTCRArray(const std::vector<VEKTCRS>& sets);

    const std::optional<QString>& organizationVersion() const { return organizationVersion_; }
    const std::optional<QString>& menuVersion() const { return menuVersion_; }
    const std::optional<QString>& contId() const { return contId_; }

private:
    RDOServerVersionInfo() = default;

    std::optional<QString> organizationVersion_;
    std::optional<QString> menuVersion_;
    std::optional<QString> contId_;
};
