#include "connect/requests/HGTDataModels.h"

#include "core/DataModelFactory.h"

namespace {

QString firstRowText(const std::vector<VEKTCRS>& sets, const char* field)
{
    VEKTCRS first = sets.front();
    first.fetchFirst();
    return first.toStringWithName(QLatin1StringView(field));
}

std::string bsFlag(qint64 orderType)
{
    return TradeDataModel::getTradeBSFlag(qint32(orderType)).toStdString();
}

} // namespace

void DMHGTMakeOrder::body(const tagHGTMakeOrder& p, RequestBody& b)
{
    b.prefix(p.commonUrl)
        .add("secuid", p.securityId)
        .add("price", p.price)
        .add("qty", p.quantity)
        .add("stkcode", p.stockCode)
        .add("bsflag", bsFlag(p.orderType))
        .add("market", p.marketCode);
}

DMHGTMakeOrder::Result DMHGTMakeOrder::reply(const std::vector<VEKTCRS>& sets)
{
    return firstRowText(sets, "ordersno");
}

void DMHGTQueryCombInfo::body(const tagHGTQueryCombInfo& p, RequestBody& b)
{
    b.prefix(p.commonUrl)
        .add("stkcode", p.stockCode)
        .add("secuid", p.securityId)
        .add("bsflag", bsFlag(p.orderType))
        .add("price", p.price);
}

DMHGTQueryCombInfo::Result DMHGTQueryCombInfo::reply(const std::vector<VEKTCRS>& sets)
{
    return { firstRowText(sets, "maxqty"), firstRowText(sets, "priceunit") };
}

DMHGTQueryQuantityOfUnit::Result DMHGTQueryQuantityOfUnit::reply(const std::vector<VEKTCRS>& sets)
{
    return firstRowText(sets, "lotsize");
}

DMHGTQueryExchangeRate::Result DMHGTQueryExchangeRate::reply(const std::vector<VEKTCRS>& sets)
{
    return { firstRowText(sets, "buyrate"), firstRowText(sets, "salerate") };
}

DMHGTCancelOrder::Result DMHGTCancelOrder::reply(const std::vector<VEKTCRS>& sets)
{
    return firstRowText(sets, "ordersno");
}

void DMHGTVote::body(const tagHGTVote& p, RequestBody& b)
{
    b.prefix(p.commonUrl)
        .add("settno", "")
        .add("stk_code", p.stockCode)
        .add("isin_no", "")
        .add("pub_no", p.publicNo)
        .add("bill_no", p.billNo)
        .add("up_no", p.upNo)
        .add("down_no", p.downNo)
        .add("free_no", p.freeNo)
        .add("trdacct", p.securityId)
        .add("int_org", p.orgId);
}

DMHGTVote::Result DMHGTVote::reply(const std::vector<VEKTCRS>& sets)
{
    return firstRowText(sets, "serial_no");
}

namespace {

// The body both declaration classes send; a withdrawal's quantity is negated.
void declarationBody(RequestBody& b, const std::string& prefix, const std::string& stockCode, qint32 voteType,
    const std::string& quantity, const std::string& orgNo, const std::string& securityId, const std::string& orgId)
{
    const QString code = TradeDataModel::getHKVoteTypeString(voteType);
    b.prefix(prefix)
        .add("settno", "")
        .add("stk_code", stockCode)
        .add("hk_type", code.toStdString())
        .add("hk_dle_type", "HSB")
        .add("declare_quan", quantity)
        .add("org_no", orgNo)
        .add("trdacct", securityId)
        .add("int_org", orgId);
}

} // namespace

void DMHGTOtherVote::body(const tagHGTOtherVote& p, RequestBody& b)
{
    declarationBody(b, p.commonUrl, p.stockCode, p.voteType, p.quantity, p.orgNo, p.securityId, p.orgId);
}

DMHGTOtherVote::Result DMHGTOtherVote::reply(const std::vector<VEKTCRS>& sets)
{
    return firstRowText(sets, "serial_no");
}

void DMHGTCancelOtherVote::body(const tagHGTCancelOtherVote& p, RequestBody& b)
{
    declarationBody(b, p.commonUrl, p.stockCode, p.voteType, "-" + p.quantity, p.orgNo, p.securityId, p.orgId);
}

DMHGTCancelOtherVote::Result DMHGTCancelOtherVote::reply(const std::vector<VEKTCRS>& sets)
{
    return firstRowText(sets, "serial_no");
}

DMHGTQueryNotification::Result DMHGTQueryNotification::reply(const std::vector<VEKTCRS>& sets)
{
    VEKTCRS set = sets.front();
    DTHGTNotificationList list;
    for (qint32 row = 0; row < set.rowsAffected(); ++row) {
        set.moveTo(row);
        list.push_back(std::make_shared<DTHGTNotificationInfoTable>(&set));
    }
    return list;
}

void registerConnectDataModels()
{
    DataModelFactory::registerDataModel<DMHGTQueryOrdersOfToday>();
    DataModelFactory::registerDataModel<DMHGTCancelOrder>();
    DataModelFactory::registerDataModel<DMHGTVote>();
    DataModelFactory::registerDataModel<DMHGTOtherVote>();
    DataModelFactory::registerDataModel<DMHGTCancelOtherVote>();
    DataModelFactory::registerDataModel<DMHGTQueryOtherVote>();
    DataModelFactory::registerDataModel<DMHGTQueryNotification>();
    DataModelFactory::registerDataModel<DMHGTQueryStockTarget>();
    DataModelFactory::registerDataModel<DMHGTQueryPermissionInfo>();
    DataModelFactory::registerDataModel<DMHGTMakeOrder>();
    DataModelFactory::registerDataModel<DMHGTQueryCombInfo>();
    DataModelFactory::registerDataModel<DMHGTQueryQuantityOfUnit>();
    DataModelFactory::registerDataModel<DMHGTQueryExchangeRate>();
    DataModelFactory::registerDataModel<DMHGTQueryPrice5Info>();
}
