#include "trading/pages/OrderOutcomeRelay.h"

#include "shell/pages/MenuItemViewController.h"

#include <utility>

OrderOutcomeRelay::OrderOutcomeRelay(Listener page, ITradeStockDelegate* order, ICancelOrderDelegate* cancels)
    : ActionOutcomeRelay(std::move(page), cancels != nullptr)
    , order_(order)
    , cancels_(cancels)
{
}

OrderOutcomeRelay& OrderOutcomeRelay::forOrder(
    MenuItemViewController& page, ITradeStockDelegate& hears, AfterLateAnswer afterLateAnswer)
{
    return start<OrderOutcomeRelay>(pageOf(page, std::move(afterLateAnswer)), &hears, nullptr);
}

OrderOutcomeRelay& OrderOutcomeRelay::forCancels(
    MenuItemViewController& page, ICancelOrderDelegate& hears, std::function<void()> readAgain)
{
    return start<OrderOutcomeRelay>(pageOf(page, std::move(readAgain)), nullptr, &hears);
}

void OrderOutcomeRelay::tradeStock(DataModel* request, const QString& handle, const QString& orderNumber)
{
    if (take(handle, true, QString::fromUtf8(kSubmittedFormat).arg(orderNumber)) == Route::Page && order_)
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
