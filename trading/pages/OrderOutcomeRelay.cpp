#include "trading/pages/OrderOutcomeRelay.h"

#include "shell/pages/MenuItemViewController.h"

#include <utility>

OrderOutcomeRelay::OrderOutcomeRelay(
    Listener page, ITradeStockDelegate* order, ICancelOrderDelegate* cancels, std::shared_ptr<bool> accepting)
    : ActionOutcomeRelay(std::move(page), cancels != nullptr)
    , order_(order)
    , cancels_(cancels)
    , accepting_(accepting ? std::move(accepting) : std::make_shared<bool>(false))
{
}

OrderOutcomeRelay& OrderOutcomeRelay::forOrder(
    MenuItemViewController& page, ITradeStockDelegate& hears, AfterLateAnswer afterLateAnswer)
{
    // The relay's one step after a late answer, told which answer it was.
    auto accepting = std::make_shared<bool>(false);
    std::function<void()> readAgain;
    if (afterLateAnswer)
        readAgain = [accepting, after = std::move(afterLateAnswer)] { after(*accepting); };
    return start<OrderOutcomeRelay>(pageOf(page, std::move(readAgain)), &hears, nullptr, accepting);
}

OrderOutcomeRelay& OrderOutcomeRelay::forCancels(
    MenuItemViewController& page, ICancelOrderDelegate& hears, std::function<void()> readAgain)
{
    return start<OrderOutcomeRelay>(pageOf(page, std::move(readAgain)), nullptr, &hears);
}

void OrderOutcomeRelay::tradeStock(DataModel* request, const QString& handle, const QString& orderNumber)
{
    *accepting_ = true;
    const Route route = take(handle, true, QString::fromUtf8(kSubmittedFormat).arg(orderNumber));
    *accepting_ = false;
    if (route == Route::Page && order_)
        order_->tradeStock(request, handle, orderNumber);
}

bool OrderOutcomeRelay::tradeStock(DataModel* request, const QString& handle, const CSError& error)
{
    if (take(handle, false, errorText(error), isUnknownOutcome(error)) == Route::Page && order_)
        return order_->tradeStock(request, handle, error);
    return true;
}

void OrderOutcomeRelay::cancelOrder(DataModel* request, const QString& handle, const QString& message)
{
    if (take(handle, true, message) == Route::Page && cancels_)
        cancels_->cancelOrder(request, handle, message);
}

bool OrderOutcomeRelay::cancelOrder(DataModel* request, const QString& handle, const CSError& error)
{
    if (take(handle, false, error.domain, isUnknownOutcome(error)) == Route::Page && cancels_)
        return cancels_->cancelOrder(request, handle, error);
    return true;
}
