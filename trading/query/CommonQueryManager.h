#pragma once

#include "login/RequestSender.h"
#include "trading/requests/CommonQueryDataModels.h"

#include <QDate>

// Sends the queries that menu links describe, with the active account's
// prefix and the node's link as the menu model keeps it. Each operation
// answers "" and the handle through `handle` when the query went out, or why
// it did not (a link without function numbers sends nothing).
class CommonQueryManager : public SharedInstance<CommonQueryManager> {
public:
    explicit CommonQueryManager(
        DataModelManager* dataModelManager = nullptr, AccountManager* accountManager = nullptr);

    QString requestCommonQuery(
        ICommonQueryDelegate* observer, const QString& menuLink, QString* handle = nullptr);
    QString requestHistoricQuery(ICommonHistoricQueryDelegate* observer, const QString& menuLink,
        const QDate& beginDate, const QDate& endDate, QString* handle = nullptr);
    QString requestHistoricQueryEx(ICommonHistoricQueryDelegate* observer, const QString& menuLink,
        const QDate& beginDate, const QDate& endDate, QString* handle = nullptr);

    // "yyyyMMdd"; dates are China dates.
    static QString getDateString(const QDate& date) { return DMCommonHistoricQueryEx::getDateString(date); }

private:
    QString historic(const char* identifier, ICommonHistoricQueryDelegate* observer, const QString& menuLink,
        const QDate& beginDate, const QDate& endDate, QString* handle);

    RequestSender sender_;
};
