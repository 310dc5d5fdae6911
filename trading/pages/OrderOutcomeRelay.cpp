#include "trading/pages/OrderOutcomeRelay.h"

#include "shell/pages/MenuItemViewController.h"
#include "shell/pages/MenuItemViewManager.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

std::vector<std::unique_ptr<OrderOutcomeRelay>>& registry()
{
    static std::vector<std::unique_ptr<OrderOutcomeRelay>> relays;
    return relays;
}

} // namespace

OrderOutcomeRelay::OrderOutcomeRelay(
    MenuItemViewController& page, ITradeStockDelegate* order, ICancelOrderDelegate* cancels)
    : page_(&page)
    , pageObject_(&page)
    , order_(order)
    , cancels_(cancels)
{
}

OrderOutcomeRelay& OrderOutcomeRelay::forOrder(MenuItemViewController& page, ITradeStockDelegate& hears)
{
    // Relays whose answers have all come are let go here, never from
    // inside their own answer.
    std::erase_if(registry(), [](const auto& relay) { return relay->awaited_.empty(); });
    registry().push_back(std::unique_ptr<OrderOutcomeRelay>(new OrderOutcomeRelay(page, &hears, nullptr)));
    return *registry().back();
}

OrderOutcomeRelay& OrderOutcomeRelay::forCancels(MenuItemViewController& page, ICancelOrderDelegate& hears)
{
    std::erase_if(registry(), [](const auto& relay) { return relay->awaited_.empty(); });
    registry().push_back(std::unique_ptr<OrderOutcomeRelay>(new OrderOutcomeRelay(page, nullptr, &hears)));
    return *registry().back();
}

std::size_t OrderOutcomeRelay::pendingCount()
{
    return std::size_t(std::count_if(
        registry().begin(), registry().end(), [](const auto& r) { return !r->awaited_.empty(); }));
}

void OrderOutcomeRelay::sent(const QString& handle)
{
    // An answer may come before the sender has heard its handle.
    if (!handle.isEmpty() && !answered_.count(handle))
        awaited_.insert(handle);
}

bool OrderOutcomeRelay::answered(const QString& handle)
{
    if (!answered_.insert(handle).second)
        return false; // one answer per request
    awaited_.erase(handle);
    return true;
}

void OrderOutcomeRelay::tradeStock(DataModel* request, const QString& handle, const QString& orderNumber)
{
    if (!answered(handle))
        return;
    if (page_ && order_)
        order_->tradeStock(request, handle, orderNumber);
    else
        tell(true, QString::fromUtf8(kSubmittedFormat).arg(orderNumber));
}

bool OrderOutcomeRelay::tradeStock(DataModel* request, const QString& handle, const CSError& error)
{
    if (!answered(handle))
        return true;
    if (page_ && order_)
        return order_->tradeStock(request, handle, error);
    tell(false, DataModel::getNetworkError(error).domain);
    return true;
}

void OrderOutcomeRelay::cancelOrder(DataModel* request, const QString& handle, const QString& message)
{
    if (!answered(handle))
        return;
    if (page_ && cancels_)
        cancels_->cancelOrder(request, handle, message);
    else
        tell(true, message);
}

bool OrderOutcomeRelay::cancelOrder(DataModel* request, const QString& handle, const CSError& error)
{
    if (!answered(handle))
        return true;
    if (page_ && cancels_)
        return cancels_->cancelOrder(request, handle, error);
    tell(false, error.domain);
    return true;
}

QStringList OrderOutcomeRelay::readAgainAfterUnknownOutcome(const QStringList& owed)
{
    if (auto* reader = dynamic_cast<IReadAgainAfterOrder*>(page_.get()))
        return reader->readAgainAfterUnknownOutcome(owed);
    return {};
}

void OrderOutcomeRelay::tell(bool succeeded, const QString& text)
{
    ++told_;
    ++(succeeded ? succeeded_ : failed_);
    lastSucceeded_ = succeeded;
    lastText_ = text;
    // A run of several cancels is told once, when its last answer is in.
    if (!awaited_.empty())
        return;
    if (told_ == 1)
        showBox(lastSucceeded_, lastText_);
    else
        showBox(true, QString::fromUtf8(kBatchFormat).arg(succeeded_).arg(failed_));
}

void OrderOutcomeRelay::showBox(bool succeeded, const QString& text)
{
    // The page's window while the page is still shown, else the main one.
    AlertPresenter* window = pageObject_ && !pageObject_->isUnloaded()
        ? pageObject_->alerts()
        : MenuItemViewManager::getInstance()->window();
    AlertRequest box = succeeded ? AlertRequest::tip(text) : AlertRequest::error(text);
    // An outcome the customer has not seen yet is not closed by a lock.
    box.closesOnLock = false;
    window->runAlert(box, {});
}
