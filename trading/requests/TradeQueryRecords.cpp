#include "trading/requests/TradeQueryRecords.h"

#include "comm/recordset/ServerNumber.h"
#include "comm/recordset/VEKTCRS.h"

RDOPositionDetail::RDOPositionDetail(const VEKTCRS* set)
    : identifyString(recordText(set, "poststr"))
    , stockName(recordText(set, "stkname"))
    , stockCode(recordText(set, "stkcode"))
    , stockQuantity(recordText(set, "stkqty"))
    , refOfPL(recordText(set, "proincome"))
    , stockBalance(recordText(set, "stkbal"))
    , stockAvailable(recordText(set, "stkavl"))
    , refOfMarket(recordText(set, "mktval"))
    , refOfPrice(recordText(set, "lastprice"))
    , refOfCost(recordText(set, "profitprice"))
    , ratioOfPl(recordText(set, "ykbl"))
    , stockBuy(recordText(set, "stkbuy"))
    , stockSale(recordText(set, "stksale"))
    , securityId(recordText(set, "secuid"))
    , fundId(recordText(set, "fundid"))
    , marketName(recordText(set, "~market"))
    , marketCode(recordText(set, "market"))
    , stockNameAndCode(stockCode + QStringLiteral("  ") + stockName)
{
}

RDOWarrantPositionDetail::RDOWarrantPositionDetail(const VEKTCRS* set)
    : RDOPositionDetail(set)
    , exerciseCode(recordText(set, "warrantcode"))
    , exercisePrice(recordText(set, "exerprice"))
{
}

RDOPositionInfo::RDOPositionInfo(const VEKTCRS* source)
{
    if (!source)
        return;
    VEKTCRS set = *source;
    for (qint32 i = 0; i < set.fieldCount(); ++i)
        titles << set.fieldDescAtIndex(i);
    for (qint32 row = 0; row < set.rowsAffected(); ++row) {
        if (set.moveTo(row))
            positionDetails.emplace_back(&set);
    }
}

RDOMoney::RDOMoney(const VEKTCRS* set)
    : fundId(recordText(set, "fundid"))
    , moneyTypeName(recordText(set, "~moneytype"))
    , balance(recordText(set, "fundbal"))
    , available(recordText(set, "fundavl"))
    , stockValue(recordText(set, "stkvalue"))
    , marketValue(recordText(set, "marketvalue"))
    , fundSeq(recordText(set, "fundseq"))
{
}

QString RDOMoney::getMoneyUnit(const QString&)
{
    return QStringLiteral("元");
}

QString RDOMoney::availableText() const
{
    return available + getMoneyUnit(moneyTypeName);
}

RDOOrder::RDOOrder(const VEKTCRS* set)
    : postString(recordText(set, "poststr"))
    , stockName(recordText(set, "stkname"))
    , stockCode(recordText(set, "stkcode"))
    , price(recordText(set, "orderprice"))
    , quantity(recordText(set, "orderqty"))
    , statusDesc(recordText(set, "~orderstatus"))
    , bsDesc(recordText(set, "~bsflag"))
    , number(recordText(set, "ordersno"))
    , createTime(recordText(set, "opertime"))
    , matchQuantity(recordText(set, "matchqty"))
    , cancelQuantity(recordText(set, "cancelqty"))
    , securityId(recordText(set, "secuid"))
    , fundId(recordText(set, "fundid"))
    , statusCode(recordText(set, "orderstatus"))
    , bsFlag(recordText(set, "bsflag"))
    , cancelFlag(recordText(set, "cancelflag"))
    , orderDate(recordText(set, "orderdate"))
    , orderSNo(recordText(set, "ordersno"))
{
}

DTPurchaseNewStockTable::DTPurchaseNewStockTable(const VEKTCRS* recordSet, const QStringList& filterKeys)
    : DTRecordTable({ QStringLiteral("poststr"), QStringLiteral("fundid"), QStringLiteral("market"),
        QStringLiteral("hq_market") })
{
    if (recordSet)
        build(*recordSet, filterKeys);
}

DTStockPositionTable::DTStockPositionTable(const VEKTCRS* recordSet, const QStringList& filterKeys)
    : DTRecordTable({ QStringLiteral("poststr"), QStringLiteral("fundid"), QStringLiteral("market"),
        QStringLiteral("hq_market") })
{
    if (recordSet)
        build(*recordSet, filterKeys);
}

void DTStockPositionTable::removeContentObjectWithMarketCode(qint64 marketCode)
{
    qsizetype i = 0;
    while (i < _contentObjectArray.size()) {
        const RDOPositionDetail record = _contentObjectArray[i].value<RDOPositionDetail>();
        if (servernumber::wholeValueOf(record.marketCode) == marketCode) {
            if (i < _arrayController->count())
                _arrayController->removeObjectAtArrangedObjectIndex(i);
            _contentObjectArray.removeAt(i);
        } else {
            ++i;
        }
    }
}

std::shared_ptr<const DTStockPositionTable> DTStockPositionTable::withoutMarketCode(qint64 marketCode) const
{
    auto copy = std::make_shared<DTStockPositionTable>();
    copy->copyContentFrom(*this);
    copy->removeContentObjectWithMarketCode(marketCode);
    return copy;
}

DTWarrantPositionTable::DTWarrantPositionTable(const VEKTCRS* recordSet, const QStringList& filterKeys)
    : DTRecordTable({ QStringLiteral("poststr"), QStringLiteral("fundid"), QStringLiteral("market"),
        QStringLiteral("hq_market") })
{
    if (recordSet)
        build(*recordSet, filterKeys);
}

DTOrdersOfTodayTable::DTOrdersOfTodayTable(const VEKTCRS* recordSet, const QStringList& filterKeys)
    : DTRecordTable({ QStringLiteral("poststr"), QStringLiteral("orderstatus"), QStringLiteral("bsflag"),
        QStringLiteral("cancelflag"), QStringLiteral("market"), QStringLiteral("hq_market") })
{
    if (recordSet)
        build(*recordSet, filterKeys);
}

DTFundInfoTable::DTFundInfoTable(const VEKTCRS* recordSet, const QStringList& filterKeys)
    : DTRecordTable({ QStringLiteral("poststr"), QStringLiteral("fundseq") })
{
    if (recordSet)
        build(*recordSet, filterKeys);
}

void DTFundInfoTable::build(const VEKTCRS& source, const QStringList& filterKeys)
{
    DTRecordTable::build(source, filterKeys);
    // The bank-name column among the kept fields.
    const QStringList hidden = hiddenKeys(filterKeys);
    qsizetype column = -1;
    qsizetype kept = 0;
    for (qint32 i = 0; i < source.fieldCount(); ++i) {
        const QString name = source.fieldNameAtIndex(i);
        if (hidden.contains(name))
            continue;
        if (name == QLatin1String("bankname"))
            column = kept;
        ++kept;
    }
    if (column < 0)
        return;
    QList<DTArrayController::Row> rows = _arrayController->arrangedObjects();
    VEKTCRS set = source;
    for (qint32 r = 0; r < qint32(rows.size()) && r < set.rowsAffected(); ++r) {
        set.moveTo(r);
        const QString bank = set.toStringWithName(QStringLiteral("bankname"));
        // A missing "fundseq", or one without a value, marks the main account.
        const bool main = servernumber::Row(set).value("fundseq").value_or(0) == 0;
        if (main && !bank.isEmpty() && column < rows[r].size())
            rows[r][column] = bank + QStringLiteral("(主)");
    }
    _arrayController->setContent(_tableColomnTitles, rows);
}
