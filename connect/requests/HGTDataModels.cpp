#include "connect/requests/HGTDataModels.h"

#include "core/DataModelFactory.h"

namespace {

QString firstRowText(const std::vector<VEKTCRS>& sets, const char* field)
{
    VEKTCRS first = sets.front();
    first.fetchFirst();
    return first.toStringWithName(QString::fromLatin1(field));
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

void registerConnectDataModels()
{
    DataModelFactory::registerDataModel<DMHGTMakeOrder>();
    DataModelFactory::registerDataModel<DMHGTQueryCombInfo>();
    DataModelFactory::registerDataModel<DMHGTQueryQuantityOfUnit>();
    DataModelFactory::registerDataModel<DMHGTQueryExchangeRate>();
    DataModelFactory::registerDataModel<DMHGTQueryPrice5Info>();
}
