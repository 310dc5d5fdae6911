#include "trading/query/CommonQueryManager.h"

#include <memory>

using requestparam::setParam;

CommonQueryManager::CommonQueryManager(DataModelManager* dataModelManager, AccountManager* accountManager)
    : sender_(dataModelManager, accountManager)
{
}

QString CommonQueryManager::requestCommonQuery(
    ICommonQueryDelegate* observer, const QString& menuLink, QString* handle)
{
    return sender_.send<tagCommonQueryParam>(
        DMCommonQuery::info.identifier, observer,
        [&](tagCommonQueryParam& p, QString* m) {
            return setParam(p, &tagCommonQueryParam::link, menuLink, m);
        },
        handle);
}

QString CommonQueryManager::historic(const char* identifier, ICommonHistoricQueryDelegate* observer,
    const QString& menuLink, const QDate& beginDate, const QDate& endDate, QString* handle)
{
    return sender_.send<tagCommonHistoricQueryParam>(
        identifier, observer,
        [&](tagCommonHistoricQueryParam& p, QString* m) {
            return setParam(p, &tagCommonHistoricQueryParam::link, menuLink, m)
                && setParam(p, &tagCommonHistoricQueryParam::beginDate, getDateString(beginDate), m)
                && setParam(p, &tagCommonHistoricQueryParam::endDate, getDateString(endDate), m);
        },
        handle);
}

QString CommonQueryManager::requestHistoricQuery(ICommonHistoricQueryDelegate* observer,
    const QString& menuLink, const QDate& beginDate, const QDate& endDate, QString* handle)
{
    return historic(DMCommonHistoricQuery::info.identifier, observer, menuLink, beginDate, endDate, handle);
}

QString CommonQueryManager::requestHistoricQueryEx(ICommonHistoricQueryDelegate* observer,
    const QString& menuLink, const QDate& beginDate, const QDate& endDate, QString* handle)
{
    return historic(DMCommonHistoricQueryEx::info.identifier, observer, menuLink, beginDate, endDate, handle);
}
