#include "login/OrgInfoManager.h"

#include "platform/PropertyList.h"
#include "platform/UserFolder.h"

#include <QtDebug>
#include <memory>

namespace {

std::unique_ptr<OrgInfoManager> instance;

constexpr char kAreaNameArray[] = "areaNameArray";
constexpr char kDetailList[] = "detailList";

} // namespace

Organization::Organization(const RDOOrganizationDetail& detail)
    : areaName_(detail.areaName)
    , areaId_(detail.areaId)
    , orgName_(detail.orgName)
    , orgCode_(detail.orgCode)
    , prefixCode_(detail.prefixCode)
{
}

Organization::Organization(const QVariantMap& d)
    : areaName_(d.value(QStringLiteral("areaName")).toString())
    // The file's key is spelt "araeId".
    , areaId_(d.value(QStringLiteral("araeId")).toString())
    , orgName_(d.value(QStringLiteral("orgName")).toString())
    , orgCode_(d.value(QStringLiteral("orgCode")).toString())
    , prefixCode_(d.value(QStringLiteral("prefixCode")).toString())
{
}

QVariantMap Organization::toDictionary() const
{
    return {
        { QStringLiteral("areaName"), areaName_ },
        { QStringLiteral("araeId"), areaId_ },
        { QStringLiteral("orgName"), orgName_ },
        { QStringLiteral("orgCode"), orgCode_ },
        { QStringLiteral("prefixCode"), prefixCode_ },
    };
}

OrgInfoManager* OrgInfoManager::getInstance()
{
    if (!instance)
        instance = std::make_unique<OrgInfoManager>();
    return instance.get();
}

void OrgInfoManager::resetInstance()
{
    instance.reset();
}

QString OrgInfoManager::filePath()
{
    return platform::UserFolder::configFilePath(QString::fromLatin1(kFileName));
}

bool OrgInfoManager::initializeWithLocal()
{
    const std::optional<QVariant> document = platform::PropertyList::readFile(filePath());
    if (!document || document->typeId() != QMetaType::QVariantMap)
        return false;
    const QVariantMap root = document->toMap();
    const QVariant areas = root.value(QString::fromLatin1(kAreaNameArray));
    const QVariant details = root.value(QString::fromLatin1(kDetailList));
    if (areas.typeId() != QMetaType::QVariantList || details.typeId() != QMetaType::QVariantMap)
        return false;
    const QVariantMap detailList = details.toMap();
    QStringList names;
    std::map<QString, std::vector<Organization>> dict;
    for (const QVariant& area : areas.toList()) {
        if (area.typeId() != QMetaType::QString)
            continue; // not a name: skipped rather than offered as ""
        const QString name = area.toString();
        names << name;
        std::vector<Organization>& list = dict[name];
        list.clear();
        for (const QVariant& entry : detailList.value(name).toList()) {
            if (entry.typeId() == QMetaType::QVariantMap)
                list.emplace_back(entry.toMap());
        }
    }
    areaNameArray = names;
    for (auto& [name, list] : dict)
        orgDetailDict[name] = std::move(list);
    return true;
}

bool OrgInfoManager::initializeWithRDOOrganizationInfo(const RDOOrganizationInfo* info)
{
    if (!info)
        return false;
    areaNameArray.clear();
    for (const QString& area : info->orgAreaNameArray()) {
        areaNameArray << area;
        std::vector<Organization> list;
        if (const auto* details = info->getOrgDetailList(area)) {
            for (const RDOOrganizationDetail& detail : *details)
                list.emplace_back(detail);
        }
        orgDetailDict[area] = std::move(list);
    }
    return true;
}

bool OrgInfoManager::saveToLocal()
{
    QVariantMap detailList;
    for (const QString& area : areaNameArray) {
        QVariantList list;
        if (auto found = orgDetailDict.find(area); found != orgDetailDict.end()) {
            for (const Organization& org : found->second)
                list << org.toDictionary();
        }
        detailList.insert(area, list);
    }
    const QVariantMap root {
        { QString::fromLatin1(kAreaNameArray), QVariant(areaNameArray) },
        { QString::fromLatin1(kDetailList), detailList },
    };
    const bool written = platform::PropertyList::writeFileAtomic(
        filePath(), platform::PropertyList::cleanedForWriting(root));
    if (!written)
        qWarning() << "OrgInfoManager: cannot write" << filePath();
    return written;
}

QStringList OrgInfoManager::getOrgNameArray(const QString& area) const
{
    QStringList names;
    if (auto found = orgDetailDict.find(area); found != orgDetailDict.end()) {
        for (const Organization& org : found->second)
            names << org.orgName();
    }
    return names;
}

QString OrgInfoManager::getOrgCodeFromCustomerNumber(const QString& customerNumber)
{
    QString padded = customerNumber;
    if (padded.size() < 12)
        padded.prepend(QString(12 - padded.size(), QLatin1Char('0')));
    return padded.left(4);
}

QString OrgInfoManager::getOrgNameFromCustomerNumber(const QString& customerNumber) const
{
    const QString code = getOrgCodeFromCustomerNumber(customerNumber);
    for (const QString& area : areaNameArray) {
        auto found = orgDetailDict.find(area);
        if (found == orgDetailDict.end())
            continue;
        for (const Organization& org : found->second) {
            if (org.orgCode() == code)
                return org.orgName();
        }
    }
    return QString();
}

const Organization* OrgInfoManager::find(const QString& area, const QString& name) const
{
    auto found = orgDetailDict.find(area);
    if (found == orgDetailDict.end())
        return nullptr;
    for (const Organization& org : found->second) {
        if (org.orgName() == name)
            return &org;
    }
    return nullptr;
}

QString OrgInfoManager::getOrgCode(const QString& area, const QString& name) const
{
    const Organization* org = find(area, name);
    return org ? org->orgCode() : QString();
}

QString OrgInfoManager::getPrefixCode(const QString& area, const QString& name) const
{
    const Organization* org = find(area, name);
    return org ? org->prefixCode() : QString();
}
