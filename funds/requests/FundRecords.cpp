#include "funds/requests/FundRecords.h"

#include "comm/recordset/ServerNumber.h"

namespace {

template <class R> struct Field {
    QString R::*member;
    const char* key;
};

template <class R, std::size_t N> void fill(R& record, const VEKTCRS& row, const Field<R> (&fields)[N])
{
    for (const Field<R>& f : fields)
        record.*(f.member) = row.toStringWithName(QLatin1String(f.key));
}

const QStringList& fundNeverShown()
{
    static const QStringList keys { QStringLiteral("poststr"), QStringLiteral("tacode"),
        QStringLiteral("~shareclass"), QStringLiteral("ecflag") };
    return keys;
}

const QStringList& orderNeverShown()
{
    static const QStringList keys = fundNeverShown() + QStringList { QStringLiteral("jj_orderstatus") };
    return keys;
}

} // namespace

RDOOpenEndFund::RDOOpenEndFund(const VEKTCRS& row)
{
    using R = RDOOpenEndFund;
    static const Field<R> fields[] = { { &R::postString, "poststr" }, { &R::name, "ofname" },
        { &R::code, "ofcode" }, { &R::value, "nav" }, { &R::statusDesc, "~ofstatus" },
        { &R::riskLevelDesc, "~risklevel" }, { &R::corpName, "taname" }, { &R::corpCode, "tacode" },
        { &R::ecFlagDesc, "~ecflag" }, { &R::timerOpenDesc, "~timeropen" }, { &R::ecType, "~ectype" },
        { &R::shareClass, "~shareclass" }, { &R::ecFlagCode, "ecflag" }, { &R::riskLevel, "risklevel" } };
    fill(*this, row, fields);
    // The check is asked for by the value 1 in any form ("1.000" from a number
    // field among them): a fund bought without it goes unchecked.
    needCheckAppropriateness = servernumber::Row(row).wholeValue("ischecksdx") == 1 ? 1 : 0;
}

RDOOpdFundPositon::RDOOpdFundPositon(const VEKTCRS& row)
    : RDOOpenEndFund(row)
{
    using R = RDOOpdFundPositon;
    static const Field<R> fields[] = { { &R::balance, "ofbal" }, { &R::available, "ofavl" },
        { &R::costOfRef, "currentcost" }, { &R::marketOfRef, "marketvalue1" }, { &R::proincome, "proincome" },
        { &R::fundAccount, "taacc" } };
    fill(*this, row, fields);
}

RDOOpdFundOrder::RDOOpdFundOrder(const VEKTCRS& row)
{
    using R = RDOOpdFundOrder;
    static const Field<R> fields[] = { { &R::postString, "poststr" }, { &R::operateTime, "opertime" },
        { &R::fundName, "ofname" }, { &R::fundCode, "ofcode" }, { &R::orderQuantity, "orderqty1" },
        { &R::orderAmount, "orderamt1" }, { &R::dealQuantity, "havematchqty" }, { &R::tradeIdDesc, "~trdid" },
        { &R::tranformToFundCode, "otherofcode" }, { &R::orderStatusDesc, "~jj_orderstatus" },
        { &R::orderNumber, "sno3" }, { &R::fundCorpName, "taname" }, { &R::fundCorpCode, "tacode" },
        { &R::taAccount, "taacc" }, { &R::orderDate, "orderdate" }, { &R::orderStatus, "jj_orderstatus" } };
    fill(*this, row, fields);
}

RDOInvestOntimeOrder::RDOInvestOntimeOrder(const VEKTCRS& row)
{
    using R = RDOInvestOntimeOrder;
    static const Field<R> fields[] = { { &R::orderDate, "orderdate" }, { &R::fundName, "ofname" },
        { &R::fundCode, "ofcode" }, { &R::orderAmount, "orderamt1" }, { &R::paymentPeriod, "~actionmode" },
        { &R::paymentDay, "sendday" }, { &R::beginDate, "begindate" }, { &R::endDate, "enddate" },
        { &R::sendNumber, "sendsn" }, { &R::orderNumber, "sno3" }, { &R::corpName, "taname" },
        { &R::dealFlagDesc, "~dealflag" }, { &R::errorCode, "dealcode1" }, { &R::errorCodeDesc, "~dealCode" },
        { &R::faultTimes, "faulttimes" }, { &R::lastPaymentDate, "lastactiondate" },
        { &R::expireType, "~overkind" } };
    fill(*this, row, fields);
}

RDOFundHistoricNet::RDOFundHistoricNet(const VEKTCRS& row)
    : net(row.toStringWithName(QStringLiteral("NetValue")))
    , totalValue(row.toStringWithName(QStringLiteral("TotalValue")))
    , date(row.toStringWithName(QStringLiteral("date")))
{
}

RDOUserRiskLevelMatchInfo::RDOUserRiskLevelMatchInfo(const VEKTCRS& row)
    : isMatched(servernumber::Row(row).value("errcode").value_or(0) == 0)
    , matchedMessage(row.toStringWithName(QStringLiteral("errmsg")))
{
}

DTOpenendFundTable::DTOpenendFundTable(const VEKTCRS* recordSet, const QStringList& filterKeys)
    : DTRecordTable(fundNeverShown())
{
    if (recordSet)
        build(*recordSet, filterKeys);
}

DTOpdFundOrderList::DTOpdFundOrderList(const VEKTCRS* recordSet, const QStringList& filterKeys)
    : DTRecordTable(orderNeverShown())
{
    if (recordSet)
        build(*recordSet, filterKeys);
}

DTInvestOntimeOrderTable::DTInvestOntimeOrderTable(const VEKTCRS* recordSet, const QStringList& filterKeys)
    : DTRecordTable(orderNeverShown())
{
    if (recordSet)
        build(*recordSet, filterKeys);
}
