#include "trading/requests/SecurityInfoDataModels.h"

#include "core/DataModelFactory.h"
#include "trading/requests/CommonQueryDataModels.h"
#include "trading/requests/OrderDataModels.h"
#include "trading/requests/TradeQueryDataModels.h"

namespace {

VEKTCRS firstRow(const std::vector<VEKTCRS>& sets)
{
    VEKTCRS first = sets.front();
    first.fetchFirst();
    return first;
}

} // namespace

DMQueryNewStockInfo::Result DMQueryNewStockInfo::reply(const std::vector<VEKTCRS>& sets)
{
    const VEKTCRS row = firstRow(sets);
    return RDONewStock(&row);
}

DMQueryWarrantInfo::Result DMQueryWarrantInfo::reply(const std::vector<VEKTCRS>& sets)
{
    const VEKTCRS row = firstRow(sets);
    return RDOWarrantInfo(&row);
}

DMQuerySTStockList::Result DMQuerySTStockList::reply(const std::vector<VEKTCRS>& sets)
{
    VEKTCRS rows = sets.front();
    Result codes;
    for (qint32 row = 0; row < rows.rowsAffected(); ++row) {
        if (rows.moveTo(row))
            codes.push_back(rows.toStringWithName(QStringLiteral("stkcode")));
    }
    return codes;
}

DMResetStockCostPrice::Result DMResetStockCostPrice::reply(const std::vector<VEKTCRS>& sets)
{
    return firstRow(sets).toStringWithName(QStringLiteral("msgok"));
}

void registerTradingDataModels()
{
    DataModelFactory::registerDataModel<DMQueryNewStockInfo>();
    DataModelFactory::registerDataModel<DMQueryWarrantInfo>();
    DataModelFactory::registerDataModel<DMQuerySTStockList>();
    DataModelFactory::registerDataModel<DMResetStockCostPrice>();
    registerOrderAndQueryDataModels();
}

void registerOrderAndQueryDataModels()
{
    DataModelFactory::registerDataModel<DMTradeDepute>();
    DataModelFactory::registerDataModel<DMPurchaseNewStock>();
    DataModelFactory::registerDataModel<DMRequestCancelOrder>();
    DataModelFactory::registerDataModel<DMQueryMaxQuantityInfo>();
    DataModelFactory::registerDataModel<DMPositionInfo>();
    DataModelFactory::registerDataModel<DMQueryMoney>();
    DataModelFactory::registerDataModel<DMQueryOrdersOfToday>();
    DataModelFactory::registerDataModel<DMFundInfoList>();
    DataModelFactory::registerDataModel<DMQueryDistribution>();
    DataModelFactory::registerDataModel<DMQueryChosen>();
    DataModelFactory::registerDataModel<DMQueryPurchaseNewStock>();
    DataModelFactory::registerDataModel<DMCommonQuery>();
    DataModelFactory::registerDataModel<DMCommonHistoricQuery>();
    DataModelFactory::registerDataModel<DMCommonHistoricQueryEx>();
}
