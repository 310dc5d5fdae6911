#pragma once

#include "comm/recordset/VEKTCRS.h"
#include "compliance/RDOOpdAppropriateness.h"
#include "core/DTRecordTable.h"

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <memory>
#include <optional>
#include <vector>

// The fund records. Each is read from the row at a record set's cursor; a
// field the reply lacks reads as "". A field name beginning with "~" is the
// server's display text of the coded field of the same name.

// One open-end fund.
class RDOOpenEndFund {
public:
    RDOOpenEndFund() = default;
    explicit RDOOpenEndFund(const VEKTCRS& row); // initWithTCRSObj:

    QString postString; // "poststr"
    QString name; // "ofname"
    QString code; // "ofcode"
    QString value; // "nav", the net asset value as the server wrote it
    QString statusDesc; // "~ofstatus"
    QString riskLevelDesc; // "~risklevel"
    QString corpName; // "taname"
    QString corpCode; // "tacode"
    QString ecFlagDesc; // "~ecflag"
    QString timerOpenDesc; // "~timeropen"
    QString ecType; // "~ectype"
    QString shareClass; // "~shareclass"
    QString ecFlagCode; // "ecflag"
    QString riskLevel; // "risklevel"
    qint32 needCheckAppropriateness = 0; // "ischecksdx": 1 only for the value 1
};

// One fund position (the class name is the server protocol's spelling).
class RDOOpdFundPositon : public RDOOpenEndFund {
public:
    RDOOpdFundPositon() = default;
    explicit RDOOpdFundPositon(const VEKTCRS& row);

    QString balance; // "ofbal"
    QString available; // "ofavl"
    QString costOfRef; // "currentcost"
    QString marketOfRef; // "marketvalue1"
    QString proincome; // "proincome"
    QString fundAccount; // "taacc"
};

// One fund order of today.
class RDOOpdFundOrder {
public:
    RDOOpdFundOrder() = default;
    explicit RDOOpdFundOrder(const VEKTCRS& row);

    QString postString; // "poststr"
    QString operateTime; // "opertime"
    QString fundName; // "ofname"
    QString fundCode; // "ofcode"
    QString orderQuantity; // "orderqty1"
    QString orderAmount; // "orderamt1"
    QString dealQuantity; // "havematchqty"
    QString tradeIdDesc; // "~trdid"
    QString tranformToFundCode; // "otherofcode"
    QString orderStatusDesc; // "~jj_orderstatus"
    QString orderNumber; // "sno3", sent back as the cancel's "sno"
    QString fundCorpName; // "taname"
    QString fundCorpCode; // "tacode"
    QString taAccount; // "taacc"
    QString orderDate; // "orderdate"
    QString orderStatus; // "jj_orderstatus"
};

// One investment plan.
class RDOInvestOntimeOrder {
public:
    RDOInvestOntimeOrder() = default;
    explicit RDOInvestOntimeOrder(const VEKTCRS& row);

    QString orderDate; // "orderdate", the apply date
    QString fundName; // "ofname"
    QString fundCode; // "ofcode"
    QString orderAmount; // "orderamt1", per period
    QString paymentPeriod; // "~actionmode"
    QString paymentDay; // "sendday", the code as stored
    QString beginDate; // "begindate"
    QString endDate; // "enddate"
    QString sendNumber; // "sendsn"
    QString orderNumber; // "sno3", names the plan when it is cancelled
    QString corpName; // "taname"
    QString dealFlagDesc; // "~dealflag"
    QString errorCode; // "dealcode1"
    QString errorCodeDesc; // "~dealCode"
    QString faultTimes; // "faulttimes"
    QString lastPaymentDate; // "lastactiondate"
    QString expireType; // "~overkind"
};

// One day's net value of a fund.
class RDOFundHistoricNet {
public:
    RDOFundHistoricNet() = default;
    explicit RDOFundHistoricNet(const VEKTCRS& row);

    QString net; // "NetValue", decimal text
    QString totalValue; // "TotalValue"
    QString date; // "date": year in characters 1-4, month in 6-7
};

// Whether a fund's risk level suits the customer.
class RDOUserRiskLevelMatchInfo {
public:
    RDOUserRiskLevelMatchInfo() = default;
    explicit RDOUserRiskLevelMatchInfo(const VEKTCRS& row);

    bool isMatched = true; // "errcode" has the value 0 (or none)
    QString matchedMessage; // "errmsg"
};

// The appropriateness reply: the verdict and the notices to accept
// (nullopt when the reply carried no notice set).
struct OpdAppropriatenessResult {
    bool status = false;
    std::optional<std::vector<RDOOpdAppropriateness>> notices;
};

Q_DECLARE_METATYPE(RDOOpenEndFund)
Q_DECLARE_METATYPE(RDOOpdFundOrder)
Q_DECLARE_METATYPE(RDOInvestOntimeOrder)

// The fund list and the position list: rows of RDOOpenEndFund.
class DTOpenendFundTable : public DTRecordTable<RDOOpenEndFund> {
public:
    DTOpenendFundTable() = default;
    explicit DTOpenendFundTable(const VEKTCRS* recordSet, const QStringList& filterKeys = {});
};

// Today's fund orders: rows of RDOOpdFundOrder.
class DTOpdFundOrderList : public DTRecordTable<RDOOpdFundOrder> {
public:
    DTOpdFundOrderList() = default;
    explicit DTOpdFundOrderList(const VEKTCRS* recordSet, const QStringList& filterKeys = {});
};

// The investment plans: rows of RDOInvestOntimeOrder.
class DTInvestOntimeOrderTable : public DTRecordTable<RDOInvestOntimeOrder> {
public:
    DTInvestOntimeOrderTable() = default;
    explicit DTInvestOntimeOrderTable(const VEKTCRS* recordSet, const QStringList& filterKeys = {});
};

Q_DECLARE_METATYPE(std::shared_ptr<DTOpenendFundTable>)
