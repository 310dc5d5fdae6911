#include "trading/requests/TradeQueryRecords.h"

#include "comm/recordset/VEKTCRS.h"
#include "quotes/requests/ServerNumber.h"

namespace {

QString text(const VEKTCRS* set, const char* field)
{
    return set ? set->toStringWithName(QLatin1StringView(field)) : QString();
}

} // namespace

RDOPositionDetail::RDOPositionDetail(const VEKTCRS* set)
    : identifyString(text(set, "poststr"))
    , stockName(text(set, "stkname"))
    , stockCode(text(set, "stkcode"))
    , stockQuantity(text(set, "stkqty"))
    , refOfPL(text(set, "proincome"))
    , stockBalance(text(set, "stkbal"))
    , stockAvailable(text(set, "stkavl"))
    , refOfMarket(text(set, "mktval"))
    , refOfPrice(text(set, "lastprice"))
    , refOfCost(text(set, "profitprice"))
    , ratioOfPl(text(set, "ykbl"))
    , stockBuy(text(set, "stkbuy"))
    , stockSale(text(set, "stksale"))
    , securityId(text(set, "secuid"))
    , fundId(text(set, "fundid"))
    , marketName(text(set, "~market"))
    , marketCode(text(set, "market"))
    , stockNameAndCode(stockCode + QStringLiteral("  ") + stockName)
{
}

RDOWarrantPositionDetail::RDOWarrantPositionDetail(const VEKTCRS* set)
    : RDOPositionDetail(set)
    , exerciseCode(text(set, "warrantcode"))
    , exercisePrice(text(set, "exerprice"))
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
    : fundId(text(set, "fundid"))
    , moneyTypeName(text(set, "~moneytype"))
    , balance(text(set, "fundbal"))
    , available(text(set, "fundavl"))
    , stockValue(text(set, "stkvalue"))
    , marketValue(text(set, "marketvalue"))
    , fundSeq(text(set, "fundseq"))
{
}

QString RDOMoney::getMoneyUnit(const QString&)
{
    return QStringLiteral("元");
}

QString RDOMoney::availableText() const
{
    return servernumber::shownText(available, servernumber::Field::Amount, getMoneyUnit(moneyTypeName));
}

RDOOrder::RDOOrder(const VEKTCRS* set)
    : postString(text(set, "poststr"))
    , stockName(text(set, "stkname"))
    , stockCode(text(set, "stkcode"))
    , price(text(set, "orderprice"))
    , quantity(text(set, "orderqty"))
    , statusDesc(text(set, "~orderstatus"))
    , bsDesc(text(set, "~bsflag"))
    , number(text(set, "ordersno"))
    , createTime(text(set, "opertime"))
    , matchQuantity(text(set, "matchqty"))
    , cancelQuantity(text(set, "cancelqty"))
    , securityId(text(set, "secuid"))
    , fundId(text(set, "fundid"))
    , statusCode(text(set, "orderstatus"))
    , bsFlag(text(set, "bsflag"))
    , cancelFlag(text(set, "cancelflag"))
    , orderDate(text(set, "orderdate"))
    , orderSNo(text(set, "ordersno"))
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
        if (servernumber::toInt64(record.marketCode) == marketCode) {
            if (i < _arrayController->count())
                _arrayController->removeObjectAtArrangedObjectIndex(i);
            _contentObjectArray.removeAt(i);
        } else {
            ++i;
        }
    }
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
        const bool main = servernumber::toInt64(set.toStringWithName(QStringLiteral("fundseq"))) == 0;
        if (main && !bank.isEmpty() && column < rows[r].size())
            rows[r][column] = bank + QStringLiteral("(主)");
    }
    _arrayController->setContent(_tableColomnTitles, rows);
}
