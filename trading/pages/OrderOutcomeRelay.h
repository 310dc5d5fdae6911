#pragma once

#include "shell/pages/ActionOutcomeRelay.h"
#include "trading/orders/OrderManager.h"
#include "trading/requests/OrderDataModels.h"

#include <QString>

class MenuItemViewController;

// The relay of a stock order, a subscription or an A-share cancel run: told
// as every action is (ActionOutcomeRelay), and standing in for its page with
// the order manager, which has the page read again what an order of unknown
// outcome may have changed while the page still awaits it.
class OrderOutcomeRelay final : public ITradeStockDelegate,
                                public ICancelOrderDelegate,
                                public IOrderObserverStandIn,
                                public IReadAgainAfterOrder,
                                public ActionOutcomeRelay {
public:
    static constexpr char kSubmittedFormat[] = "委托申请已提交，序号为%1。";

    // A relay for the next intent of `page`, whose answers `hears` takes;
    // owned by the relays' registry. `readAgain`: what the page reads again
    // after an answer that came past its dialog's time limit.
    static OrderOutcomeRelay& forOrder(
        MenuItemViewController& page, ITradeStockDelegate& hears, std::function<void()> readAgain);
    static OrderOutcomeRelay& forCancels(
        MenuItemViewController& page, ICancelOrderDelegate& hears, std::function<void()> readAgain);

    OrderOutcomeRelay(Listener page, ITradeStockDelegate* order, ICancelOrderDelegate* cancels);

    void tradeStock(DataModel* request, const QString& handle, const QString& orderNumber) override;
    bool tradeStock(DataModel* request, const QString& handle, const CSError& error) override;
    void cancelOrder(DataModel* request, const QString& handle, const QString& message) override;
    bool cancelOrder(DataModel* request, const QString& handle, const CSError& error) override;
    DataModelObserver* standsInFor() const override { return page(); }
    QStringList readAgainAfterUnknownOutcome(const QStringList& owed) override;

private:
    ITradeStockDelegate* order_;
    ICancelOrderDelegate* cancels_;
};
