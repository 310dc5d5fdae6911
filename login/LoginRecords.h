#pragma once

#include "comm/recordset/VEKTCRS.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <map>
#include <optional>
#include <vector>

// The reply records of the login requests and of the account's queries. Each
// reads a record set at its cursor's row; a missing field reads as "" or 0.

// One shareholder account of a customer.
class RDOSecurityInfo {
public:
    RDOSecurityInfo() = default;
    // initWithTCRSObj: the row at the cursor; none gives an empty record.
    explicit RDOSecurityInfo(const VEKTCRS* recordSet);

    QString marketType; // "~market", the market's display name
    qint64 marketCode = 0; // "market"
    QString securityId; // "secuid"
    qint64 securityType = 0; // "~secuidType"
};

// One capital account.
class RDOFund {
public:
    RDOFund() = default;
    explicit RDOFund(const VEKTCRS& recordSet); // the row at the cursor

    QString fundId; // "fundid"
    QString fundSeq; // "fundseq"; the value 0 marks the main capital account
    QString bankName; // "bankname"
    QString moneyTypeName; // "~moneytype"
    QString fundBalance; // "fundbal"
    QString fundAvailable; // "fundavl"
    QString stockValue; // "stkvalue"
    QString marketValue; // "marketvalue"
};

// The risk-evaluation status after login: 0 nothing due, 1 or 2 as "isrisk".
class RDORiskAssessmentStatus {
public:
    RDORiskAssessmentStatus() = default;
    explicit RDORiskAssessmentStatus(const VEKTCRS& recordSet); // the row at the cursor

    qint32 status = 0;
    QString tips;
    QString fctipstitle;
    QString fctips;
};

// One system message of the login window.
class RDOSystemMessage {
public:
    RDOSystemMessage() = default;
    explicit RDOSystemMessage(const VEKTCRS& recordSet); // the row at the cursor

    const QString& title() const { return title_; }
    const QString& content() const { return content_; }
    const QString& date() const { return date_; }

private:
    QString title_;
    QString content_;
    QString date_;
};

// The captcha: its text and image. An "image" field that is no picture gives
// no image.
class RDOIdentifyingCode {
public:
    RDOIdentifyingCode() = default;
    explicit RDOIdentifyingCode(const VEKTCRS& recordSet); // initWithTCRSObj, the row at the cursor

    const QString& code() const { return code_; }
    const std::optional<QImage>& image() const { return image_; }
    // The image's bytes as received.
    const QByteArray& imageData() const { return imageData_; }

private:
    QString code_;
    QByteArray imageData_;
    std::optional<QImage> image_;
};

// The trade-login and identity-login reply.
class RDOAccount {
public:
    RDOAccount() = default;
    // initWithTCRArray: record set 1 the customer, 2 the shareholder
    // accounts, 3 the last-login notice; later properties stay absent when
    // their set is missing.
    explicit RDOAccount(const std::vector<VEKTCRS>& recordSets);

    qint32 singleFlag() const { return singleFlag_; }
    const std::optional<QString>& customerId() const { return customerId_; }
    const std::optional<std::vector<RDOSecurityInfo>>& securityInfoArray() const
    {
        return securityInfoArray_;
    }
    const std::optional<QString>& customerName() const { return customerName_; }
    const std::optional<QString>& lastLoginInfoTitle() const { return lastLoginInfoTitle_; }
    const std::optional<QString>& lastLoginInfoContent() const { return lastLoginInfoContent_; }
    const std::optional<QString>& commonString() const { return commonString_; }
    const std::optional<QString>& promptInfo() const { return promptInfo_; }

private:
    qint32 singleFlag_ = 0;
    std::optional<QString> customerId_;
    std::optional<std::vector<RDOSecurityInfo>> securityInfoArray_;
    std::optional<QString> customerName_;
    std::optional<QString> lastLoginInfoTitle_;
    std::optional<QString> lastLoginInfoContent_;
    std::optional<QString> commonString_;
    std::optional<QString> promptInfo_;
};

// One branch of the branch-list reply.
class RDOOrganizationDetail {
public:
    RDOOrganizationDetail() = default;
    explicit RDOOrganizationDetail(const VEKTCRS& recordSet); // the row at the cursor

    QString areaName; // "area_name"
    QString areaId; // "eb_area_id"
    QString orgName; // "org_name" followed by "营业部"
    QString orgCode; // "org_code"
    QString prefixCode; // "prefix_code"
};

// The whole branch-list reply: areas in order of first appearance, and the
// branches of each area in reply order.
class RDOOrganizationInfo {
public:
    RDOOrganizationInfo() = default;
    explicit RDOOrganizationInfo(const VEKTCRS& recordSet); // initWithTCRSObj

    void addOrgAreaName(const QString& areaName);
    void addOrganization(const RDOOrganizationDetail& detail, const QString& area);
    // getOrgDetailList: nullptr for an unknown area.
    const std::vector<RDOOrganizationDetail>* getOrgDetailList(const QString& area) const;
    const std::vector<QString>& orgAreaNameArray() const { return orgAreaNameArray_; }
    void setOrgAreaNameArray(std::vector<QString> names) { orgAreaNameArray_ = std::move(names); }

private:
    std::vector<QString> orgAreaNameArray_;
    std::map<QString, std::vector<RDOOrganizationDetail>> orgDetailArrayDict;
};
