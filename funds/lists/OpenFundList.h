#pragma once

#include "comm/request/CSError.h"
#include "funds/requests/FundDataModels.h"
#include "platform/Lifetime.h"
#include "shell/pages/AskedFor.h"

#include <QString>
#include <memory>
#include <optional>

class AccountManager;
class DMCDataCache;
class DataModelManager;
class QueryInfoManagerFunds;

// Told the result of a list source's requestContent. requestContentError
// answers whether it is implemented (the default answers false).
class IRequestContentDelegate : public virtual DataModelObserver {
public:
    virtual void requestContentComplete(const OpdFundTablePtr& table) = 0;
    virtual bool requestContentError(const CSError& error) { return false; }
};

// What a list source works with; null members are the shared instances.
struct OpenFundListServices {
    DataModelManager* dataModelManager = nullptr;
    DMCDataCache* dataCache = nullptr;
    AccountManager* accountManager = nullptr;
    QueryInfoManagerFunds* queryInfoManager = nullptr;
};

// Where a fund page's list comes from and what it is called. The fund lists
// (subscription, purchase, investment plans) are fetched once and then served
// from the data cache, across logouts and account changes, until the caches
// are cleared: they are the broker's product lists, the same for every
// customer, so a list is kept under its list type alone. The position lists
// are asked every time. The observer of the last requestContent hears the
// result of that request alone (an answer to an earlier one, asked before an
// order, is late); it is held weakly, so a page that is gone hears nothing.
// Main thread only.
class OpenFundList : public IQueryOpdFundListDelegate, public IQueryOpdFundPoistionListDelegate {
public:
    using Services = OpenFundListServices;

    // The base: no caption, table id 0; its requestContent does nothing.
    explicit OpenFundList(Services services = Services());
    ~OpenFundList() override;
    OpenFundList(const OpenFundList&) = delete;
    OpenFundList& operator=(const OpenFundList&) = delete;

    void requestContent(IRequestContentDelegate* observer);
    const QString& listTitle() const { return listTitle_; }
    int32_t tableId() const { return tableId_; }
    // The list type sent ("1", "2", "0"); nullopt for the position lists.
    const std::optional<QString>& listType() const { return listType_; }
    IRequestContentDelegate* theObserver() const { return theObserver_.get(); }

    using IQueryOpdFundListDelegate::queryOpdFundList;
    void queryOpdFundList(DataModel* request, const QString& handle, const OpdFundTablePtr& table) override;
    bool queryOpdFundList(DataModel* request, const QString& handle, const CSError& error) override;
    using IQueryOpdFundPoistionListDelegate::queryOpdFundPoistionList;
    void queryOpdFundPoistionList(DataModel* request, const QString& handle, const OpdFundTablePtr& table) override;
    bool queryOpdFundPoistionList(DataModel* request, const QString& handle, const CSError& error) override;

protected:
    enum class Kind { None, FundList, Positions };
    OpenFundList(Kind kind, QString title, int32_t tableId, std::optional<QString> listType, Services services);

private:
    // The answer of `handle`, when it is the one awaited.
    void deliver(const QString& handle, const OpdFundTablePtr& table);
    void deliverError(const QString& handle, const CSError& error);

    Kind kind_ = Kind::None;
    QString listTitle_;
    int32_t tableId_ = 0;
    std::optional<QString> listType_;
    DataModelManager* dataModelManager;
    DMCDataCache* dataCache;
    AccountManager* accountManager;
    QueryInfoManagerFunds* queryInfoManager;
    std::unique_ptr<DataModel> dmFundList;
    platform::WeakRef<IRequestContentDelegate> theObserver_;
    // The last request's handle ("" for one refused before it was sent).
    AskedFor asked_;
};

// The funds open for subscription: list type "1", cache key 1.
class SubscribeOpenFundList : public OpenFundList {
public:
    explicit SubscribeOpenFundList(Services services = Services());
};

// The funds open for purchase: list type "2", cache key 2.
class PurchaseOpenFundList : public OpenFundList {
public:
    explicit PurchaseOpenFundList(Services services = Services());
};

// The funds of the investment-plan service: list type "0", cache key 3.
class InvestOntimeOpenFundList : public OpenFundList {
public:
    explicit InvestOntimeOpenFundList(Services services = Services());
};

// The customer's fund positions, for redeeming.
class RedeemOpenFundList : public OpenFundList {
public:
    explicit RedeemOpenFundList(Services services = Services());
};

// The customer's fund positions, for transforming.
class TransformOpenFundList : public OpenFundList {
public:
    explicit TransformOpenFundList(Services services = Services());
};

// The customer's fund positions, for the dividend setting.
class BonusSettingOpenFundList : public OpenFundList {
public:
    explicit BonusSettingOpenFundList(Services services = Services());
};
