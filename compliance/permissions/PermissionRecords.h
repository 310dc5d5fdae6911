#pragma once

#include "comm/recordset/VEKTCRS.h"
#include "compliance/RiskAssessmentRecords.h"

#include <QString>
#include <QtGlobal>
#include <memory>
#include <vector>

// One business permission of the customer, from the row at the cursor of the
// permission list. A field the row lacks reads as "".
class RDOPermission {
public:
    RDOPermission() = default;
    // initWithTCRSObj:
    explicit RDOPermission(const VEKTCRS& recordSet);

    QString title; // "rightname"
    QString secuid; // "secuid"
    qint32 status = 0; // "right": 1 when its value is 1 (opened), otherwise 0
    QString contractUrl; // "rightshowfunc": link of the agreement list
    QString openUrl; // "rightfunc": link of the open (or close) request
    QString market; // "~market"
};

// One step of a permission's agreement list.
class RDOPermissionContract {
public:
    enum Type { Base = 0, Text = 1, Web = 2, RiskAssessment = 3 };

    virtual ~RDOPermissionContract() = default;

    Type type() const { return type_; }
    // Seconds the check box stays disabled; 0 means no countdown. A negative
    // or unreadable "locktime" counts as 0, so a countdown always ends.
    quint64 lockTime() const { return lockTime_; }
    const QString& tips() const { return tips_; } // check box title; "" for none
    const QString& ans() const { return ans_; } // sign link; "" when not signed
    const QString& showtips() const { return showtips_; } // notice line; "" for none

protected:
    explicit RDOPermissionContract(Type type)
        : type_(type)
    {
    }
    // The fields every agreement row carries, from the row at the cursor.
    RDOPermissionContract(Type type, const VEKTCRS& row);

private:
    Type type_;
    quint64 lockTime_ = 0;
    QString tips_;
    QString ans_;
    QString showtips_;
};

// A text agreement ("type" "T").
class RDOPermissionContractText final : public RDOPermissionContract {
public:
    explicit RDOPermissionContractText(const VEKTCRS& row);
    QString title; // "title"
    QString content; // "content", the whole agreement text
};

// A web-page agreement ("type" "W").
class RDOPermissionContractWeb final : public RDOPermissionContract {
public:
    explicit RDOPermissionContractWeb(const VEKTCRS& row);
    QString url; // "webaddr"
};

// A questionnaire step ("type" "answer"), built from a whole record set.
class RDOPermissionContractRiskAssessment final : public RDOPermissionContract {
public:
    explicit RDOPermissionContractRiskAssessment(const VEKTCRS& recordSet);
    RDORiskAssessment risk;
};

using PermissionContracts = std::vector<std::shared_ptr<const RDOPermissionContract>>;

// Every row of the first record set, in row order.
std::vector<RDOPermission> permissionsFromReply(const std::vector<VEKTCRS>& recordSets);
// The agreement steps of a reply, in the order of the first set's rows: "T"
// and "W" rows, and "answer" rows whose "webaddr" n (above 1) names record
// set n of the reply, counted from 1. Other rows yield nothing.
PermissionContracts permissionContractsFromReply(const std::vector<VEKTCRS>& recordSets);
