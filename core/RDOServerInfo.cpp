#include "core/RDOServerInfo.h"

std::shared_ptr<const RDOServerInfo> RDOServerInfo::initWithName(const std::optional<QString>& name,
    const std::optional<QString>& ip, const std::optional<QString>& port, const std::optional<QString>& provider,
    qint64 tag)
{
    if (!name || !ip || !port)
        return nullptr;
    std::shared_ptr<RDOServerInfo> info(new RDOServerInfo());
    info->serverName_ = *name;
    info->serverIP_ = *ip;
    info->serverPort_ = *port;
    info->providerName_ = provider;
    info->tag_ = QString::number(tag);
    return info;
}

namespace {

// The first row's text of a field; nothing for a missing field or no row.
std::optional<QString> firstRowText(VEKTCRS set, const QString& name)
{
    if (set.indexOfFieldWithName(name) < 0 || !set.fetchFirst())
        return std::nullopt;
    return set.toStringWithName(name);
}

} // namespace

std::optional<RDOServerVersionInfo> RDOServerVersionInfo::initWithTCRArray(const std::vector<VEKTCRS>& sets)
{
    if (sets.size() < 2)
        return std::nullopt;
    RDOServerVersionInfo info;
    info.organizationVersion_ = firstRowText(sets[1], QStringLiteral("yyb_version"));
    if (sets.size() > 2) {
        info.menuVersion_ = firstRowText(sets[2], QStringLiteral("menu_version"));
        info.contId_ = firstRowText(sets[2], QStringLiteral("cont_id"));
    }
    return info;
}
