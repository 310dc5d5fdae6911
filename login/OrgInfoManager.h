#pragma once

#include "login/LoginRecords.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <map>
#include <optional>
#include <vector>

// One stored branch.
class Organization {
public:
    Organization() = default;
    explicit Organization(const RDOOrganizationDetail& detail); // initWithDMOrganizationDetail
    explicit Organization(const QVariantMap& dictionary); // initWithDictionary
    QVariantMap toDictionary() const;

    const QString& areaName() const { return areaName_; }
    const QString& areaId() const { return areaId_; }
    const QString& orgName() const { return orgName_; }
    const QString& orgCode() const { return orgCode_; }
    const QString& prefixCode() const { return prefixCode_; }

private:
    QString areaName_;
    QString areaId_;
    QString orgName_;
    QString orgCode_;
    QString prefixCode_;
};

// The branch list by area, its file "Organization.plist" in the per-user
// "Config/" folder, and the lookups of the login form and the accounts.
// Main thread only.
class OrgInfoManager {
public:
    static constexpr char kFileName[] = "Organization.plist";

    static OrgInfoManager* getInstance();
    // Tests: drops the shared store.
    static void resetInstance();

    OrgInfoManager() = default; // init: an empty store

    // initializeWithLocal: false when the file is missing, unreadable or
    // lacks "areaNameArray" or "detailList".
    bool initializeWithLocal();
    // initializeWithRDOOrganizationInfo: false only for none.
    bool initializeWithRDOOrganizationInfo(const RDOOrganizationInfo* info);
    // saveToLocal: answers whether the file was written (callers may ignore it).
    bool saveToLocal();

    const QStringList& getAreaNameArray() const { return areaNameArray; }
    QStringList getOrgNameArray(const QString& area) const;
    QString getOrgNameFromCustomerNumber(const QString& customerNumber) const;
    // getOrgCode:Name: and getPrefixCode:Name:; "" when not found.
    QString getOrgCode(const QString& area, const QString& name) const;
    QString getPrefixCode(const QString& area, const QString& name) const;
    // The first 4 characters of the number padded with "0" in front to 12.
    static QString getOrgCodeFromCustomerNumber(const QString& customerNumber);

    static QString filePath();

private:
    const Organization* find(const QString& area, const QString& name) const;

    QStringList areaNameArray;
    std::map<QString, std::vector<Organization>> orgDetailDict;
};
