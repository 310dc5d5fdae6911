#pragma once

#include "login/RequestSender.h"
#include "quotes/requests/QuoteDataModels.h"
#include "trading/requests/SecurityInfoDataModels.h"
#include "trading/security/Security.h"

#include <QString>
#include <map>
#include <memory>
#include <optional>

class AccountManager;
class DataModelManager;
class UserDefaultConfig;

// The position whose cost price a reset changes (from the position query).
struct CostPricePosition {
    QString stockCode;
    QString marketCode;
    QString securityId; // the shareholder account
};

// The process-wide cache of Security objects by code, and the one front
// through which pages ask for quotes, time-sharing, new-issue, warrant,
// index, risk-warning-list and cost-price requests. A page hands a reply's
// record back here; the cache files it into the one Security of its code
// (the class chosen from the server's class id on first sight) and the page
// reads what it shows from that Security. Main thread only.
//
// Securities are shared: a page that still holds one after the cache was
// emptied keeps a valid object, while the next reply makes a fresh one.
class StockManager {
public:
    using SecurityPtr = std::shared_ptr<Security>;
    static constexpr qint32 kQuoteTimeout = 5; // seconds
    static constexpr qint32 kTradeTimeout = 30;

    static StockManager* getInstance();
    // Tests: drops the shared instance.
    static void resetInstance();

    // init: services default to the shared instances.
    explicit StockManager(DataModelManager* dataModelManager = nullptr, AccountManager* accountManager = nullptr);
    StockManager(const StockManager&) = delete;
    StockManager& operator=(const StockManager&) = delete;
    ~StockManager();

    // The settings store pushes the default-price modes to Security.
    static void installSecurityHooks(UserDefaultConfig* config);

    // --- Requests: each answers "" when sent (or filed with an equal pending
    // query), else why it was refused; the observer hears the reply ---
    // `handle` hears the request handle of a request that went out.
    QString requestQuota(
        IStockTimesharingInfoDelegate* observer, const QString& queryCode, QString* handle = nullptr);
    QString requestQuotesOf5Level(IQuoteOf5LevelDelegate* observer, const QString& code);
    // requestQuotesOf5LevelEx:Code: answers the request handle ("" when refused).
    QString requestQuotesOf5LevelEx(IQuoteOf5LevelDelegate* observer, const QString& code);
    QString requestNewStockMarketCode(INewStockInfoDelegate* observer, const QString& code);
    QString requestQueryWarrantInfo(IQueryWarrantInfoDelegate* observer, const QString& warrantCode,
        const std::optional<QString>& marketCode, QString* handle = nullptr);
    // The status bar's index ticker; `link` as the menu stores it. An empty
    // link (a menu without a ticker node) sends nothing.
    QString requestQueryStockIndexInfo(IQueryStockIndexInfoDelegate* observer, const QString& link);
    QString requestQuerySTStockList(IQuerySTStockListDelegate* observer);
    // Sends the price as typed; only a text that could rewrite the body is
    // refused.
    QString requestResetStockCost(IResetCostDelegate* observer, const CostPricePosition& position,
        const QString& costPrice, QString* handle = nullptr);

    // --- Filing replies ---
    SecurityPtr updateQuotes(const RDOStock& record);
    void updateQuotesOf5Level(const RDOQuotesOf5Level& record);
    SecurityPtr updateQuotesOf5LevelEx(const RDOQuotesOf5Level& record);
    void updateNewStock(const RDONewStock& record);

    // createSecurity:IdentifyCode: the cached Security of the code, or a new
    // one of the class the id selects (not filed for an empty code).
    SecurityPtr createSecurity(qint32 classId, const QString& code);
    SecurityPtr getSecurity(const QString& code) const;
    void clearSecurityObjects();
    std::size_t securityCount() const { return securityDict.size(); }

    // The Security subclass of a class id, uncached.
    static std::unique_ptr<Security> makeSecurity(qint32 classId);

    // The request objects, made on first use (tests look at them).
    DataModel* dataModel(const char* identifier);

private:
    template <class Param, class Fill>
    QString send(const char* identifier, DataModelObserver* observer, qint32 timeout, Fill&& fill,
        QString* handle = nullptr);
    std::optional<QString> commonUrl() const;

    RequestSender sender_;
    std::map<QString, SecurityPtr> securityDict;
};
