#pragma once

#include "shell/pages/ActionOutcomeRelay.h"
#include "trading/requests/OrderDataModels.h"

#include <QString>
#include <functional>

class MenuItemViewController;

// The relay of a stock order, a subscription or an A-share cancel run: told
// as every action is (ActionOutcomeRelay).
class OrderOutcomeRelay final : public ITradeStockDelegate,
                                public ICancelOrderDelegate,
                                public ActionOutcomeRelay {
public:
    static constexpr char kSubmittedFormat[] = "委托申请已提交，序号为%1。";

    // A relay for the next intent of `page`, whose answers `hears` takes;
    // owned by the relays' registry. `afterLateAnswer` (`accepted`: the
    // order has its number), `readAgain`: the page's step after an answer
    // that came past its dialog's time limit.
    static OrderOutcomeRelay& forOrder(
        MenuItemViewController& page, ITradeStockDelegate& hears, AfterLateAnswer afterLateAnswer);
    static OrderOutcomeRelay& forCancels(
        MenuItemViewController& page, ICancelOrderDelegate& hears, std::function<void()> readAgain);

    OrderOutcomeRelay(Listener page, ITradeStockDelegate* order, ICancelOrderDelegate* cancels);

    void tradeStock(DataModel* request, const QString& handle, const QString& orderNumber) override;
    bool tradeStock(DataModel* request, const QString& handle, const CSError& error) override;
    void cancelOrder(DataModel* request, const QString& handle, const QString& message) override;
    bool cancelOrder(DataModel* request, const QString& handle, const CSError& error) override;

private:
    ITradeStockDelegate* order_;
    ICancelOrderDelegate* cancels_;
};
