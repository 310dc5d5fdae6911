#pragma once

#include "core/DTRecordTable.h"
#include "login/LoginRecords.h"
#include "trading/requests/SecurityInfoRecords.h"

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class VEKTCRS;

// The records and table models of the trade queries: positions, money,
// today's orders and capital accounts. Records read the record set's current
// row; a field the row lacks reads as "".

// One position.
class RDOPositionDetail {
public:
    RDOPositionDetail() = default;
    explicit RDOPositionDetail(const VEKTCRS* set); // initWithTCRSObj:

    QString identifyString; // "poststr"
    QString stockName; // "stkname"
    QString stockCode; // "stkcode"
    QString stockQuantity; // "stkqty"
    QString refOfPL; // "proincome"
    QString stockBalance; // "stkbal"
    QString stockAvailable; // "stkavl"
    QString refOfMarket; // "mktval"
    QString refOfPrice; // "lastprice"
    QString refOfCost; // "profitprice"
    QString ratioOfPl; // "ykbl"
    QString stockBuy; // "stkbuy"
    QString stockSale; // "stksale"
    QString securityId; // "secuid"
    QString fundId; // "fundid"
    QString marketName; // "~market"
    QString marketCode; // "market"
    QString stockNameAndCode; // the code, two spaces, the name
};

// A warrant position: the position and its exercise terms.
class RDOWarrantPositionDetail : public RDOPositionDetail {
public:
    RDOWarrantPositionDetail() = default;
    explicit RDOWarrantPositionDetail(const VEKTCRS* set);

    QString exerciseCode; // "warrantcode"
    QString exercisePrice; // "exerprice"
};

// A whole positions reply: every field's description and every row.
class RDOPositionInfo {
public:
    RDOPositionInfo() = default;
    explicit RDOPositionInfo(const VEKTCRS* set);

    QStringList titles;
    std::vector<RDOPositionDetail> positionDetails;
};

// The money of one capital account (first row of the money reply).
class RDOMoney {
public:
    RDOMoney() = default;
    explicit RDOMoney(const VEKTCRS* set);

    // getMoneyUnit: every currency is counted in "元".
    static QString getMoneyUnit(const QString& moneyTypeName);
    // The available money as the server sent it, followed by its unit
    // ("%@%@").
    QString availableText() const;

    QString fundId; // "fundid"
    QString moneyTypeName; // "~moneytype"
    QString balance; // "fundbal"
    QString available; // "fundavl"
    QString stockValue; // "stkvalue"
    QString marketValue; // "marketvalue"
    QString fundSeq; // "fundseq"
};

// One order of today.
class RDOOrder {
public:
    RDOOrder() = default;
    explicit RDOOrder(const VEKTCRS* set);

    QString postString; // "poststr"
    QString stockName; // "stkname"
    QString stockCode; // "stkcode"
    QString price; // "orderprice"
    QString quantity; // "orderqty"
    QString statusDesc; // "~orderstatus"
    QString bsDesc; // "~bsflag"
    QString number; // "ordersno": the key of a cancel
    QString createTime; // "opertime"
    QString matchQuantity; // "matchqty"
    QString cancelQuantity; // "cancelqty"
    QString securityId; // "secuid"
    QString fundId; // "fundid"
    QString statusCode; // "orderstatus"
    QString bsFlag; // "bsflag"
    QString cancelFlag; // "cancelflag"
    QString orderDate; // "orderdate"
    QString orderSNo; // "ordersno" again
};

Q_DECLARE_METATYPE(RDOPositionDetail)
Q_DECLARE_METATYPE(RDOWarrantPositionDetail)
Q_DECLARE_METATYPE(RDOOrder)
Q_DECLARE_METATYPE(RDOFund)
Q_DECLARE_METATYPE(RDONewStock)

// Positions: "poststr", "fundid", "market" and "hq_market" are never columns.
class DTStockPositionTable : public DTRecordTable<RDOPositionDetail> {
public:
    explicit DTStockPositionTable(const VEKTCRS* recordSet = nullptr, const QStringList& filterKeys = {});
    // Removes every row whose record's market code reads as the code.
    void removeContentObjectWithMarketCode(qint64 marketCode) override;
    // A copy without those rows: this table, which every observer of its
    // reply shares, stays whole.
    std::shared_ptr<const DTStockPositionTable> withoutMarketCode(qint64 marketCode) const;
};

class DTWarrantPositionTable : public DTRecordTable<RDOWarrantPositionDetail> {
public:
    explicit DTWarrantPositionTable(const VEKTCRS* recordSet = nullptr, const QStringList& filterKeys = {});
};

// Today's orders: the status, direction and cancel codes and the market
// fields are never columns (their "~" display twins are).
class DTOrdersOfTodayTable : public DTRecordTable<RDOOrder> {
public:
    explicit DTOrdersOfTodayTable(const VEKTCRS* recordSet = nullptr, const QStringList& filterKeys = {});
};

// Capital accounts: "fundseq" is never a column, and the main account's bank
// name is marked "(主)".
class DTFundInfoTable : public DTRecordTable<RDOFund> {
public:
    explicit DTFundInfoTable(const VEKTCRS* recordSet = nullptr, const QStringList& filterKeys = {});

protected:
    void build(const VEKTCRS& recordSet, const QStringList& filterKeys) override;
};

// The new-issue list: "poststr", "fundid", "market" and "hq_market" are never
// columns; one RDONewStock per row.
class DTPurchaseNewStockTable : public DTRecordTable<RDONewStock> {
public:
    explicit DTPurchaseNewStockTable(const VEKTCRS* recordSet = nullptr, const QStringList& filterKeys = {});
};
