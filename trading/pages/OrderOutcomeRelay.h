#pragma once

#include "trading/orders/OrderManager.h"
#include "trading/requests/OrderDataModels.h"

#include <QPointer>
#include <QString>
#include <set>

class MenuItemViewController;

// Hears the answers of one intent of a page (an order, a subscription, a
// cancel run) for as long as they take, so that an outcome is never lost:
// while the page still awaits them (not left, no account change since), the
// page hears each answer as its own; once it no longer does, the relay tells
// the outcome itself: the order number, the refusal, or that it is unknown,
// in a box of the page's window, or of the main window once the page is gone.
// A relay lives until every request it sent has been answered.
class OrderOutcomeRelay final : public ITradeStockDelegate,
                                public ICancelOrderDelegate,
                                public IOrderObserverStandIn,
                                public IReadAgainAfterOrder {
public:
    static constexpr char kSubmittedFormat[] = "委托申请已提交，序号为%1。";
    static constexpr char kBatchFormat[] = "批量撤单\n成功数量:%1\n失败数量:%2";

    // A relay for the next intent of `page`, whose answers `hears` takes;
    // owned by the relays' own registry.
    static OrderOutcomeRelay& forOrder(MenuItemViewController& page, ITradeStockDelegate& hears);
    static OrderOutcomeRelay& forCancels(MenuItemViewController& page, ICancelOrderDelegate& hears);
    // Relays still waiting for an answer (tests, diagnostics).
    static std::size_t pendingCount();

    // The request the relay was the observer of went out under `handle`, or,
    // with an empty handle, did not go out.
    void sent(const QString& handle);

    void tradeStock(DataModel* request, const QString& handle, const QString& orderNumber) override;
    bool tradeStock(DataModel* request, const QString& handle, const CSError& error) override;
    void cancelOrder(DataModel* request, const QString& handle, const QString& message) override;
    bool cancelOrder(DataModel* request, const QString& handle, const CSError& error) override;
    DataModelObserver* standsInFor() const override { return page_.get(); }
    QStringList readAgainAfterUnknownOutcome(const QStringList& owed) override;

private:
    OrderOutcomeRelay(
        MenuItemViewController& page, ITradeStockDelegate* order, ICancelOrderDelegate* cancels);
    // One answer the page no longer hears; the box once the last is in.
    void tell(bool succeeded, const QString& text);
    // False for a second answer under one handle.
    bool answered(const QString& handle);
    void showBox(bool succeeded, const QString& text);

    platform::WeakRef<DataModelObserver> page_; // lets go when the page drops its requests
    QPointer<MenuItemViewController> pageObject_;
    ITradeStockDelegate* order_;
    ICancelOrderDelegate* cancels_;
    std::set<QString> awaited_;
    std::set<QString> answered_;
    int told_ = 0;
    int succeeded_ = 0;
    int failed_ = 0;
    QString lastText_;
    bool lastSucceeded_ = false;
};
