#include "funds/trade/FundOrderAlert.h"

#include "trading/confirm/OrderAlertWindowController.h"

struct FundOrderAlert::Observer : IDoConfigOrder {
    std::function<void(qint32)> confirmed;
    bool called = false;
    bool timeLimitPassed = false;
    bool doConfigOrder(int type) override
    {
        called = true;
        if (confirmed)
            confirmed(type);
        return true;
    }
    // The order's relay told the outcome is unknown and tells what comes.
    void doConfigOrderTimeLimitPassed(int) override { timeLimitPassed = true; }
};

FundOrderAlert::FundOrderAlert(QObject* parentWindow)
    : observer_(std::make_unique<Observer>())
    , orderAlert_(std::make_unique<OrderAlertWindowController>(observer_.get()))
    , parentWindow_(parentWindow)
{
}

FundOrderAlert::~FundOrderAlert() = default;

OrderAlertWindowController* FundOrderAlert::orderAlert() const
{
    return orderAlert_.get();
}

void FundOrderAlert::runModal(
    const FundOrderDraft& draft, std::function<void(qint32)> confirmed, std::function<void()> cancelled)
{
    observer_->confirmed = std::move(confirmed);
    observer_->called = observer_->timeLimitPassed = false;
    const QStringList& v = draft.values;
    QObject* parent = parentWindow_.data();
    OrderAlertWindowController& alert = *orderAlert_;
    const std::weak_ptr<int> alive = observer_->lifetimeToken();
    switch (draft.dialogType) {
    case 4: alert.runModalForSubscribeOpdFund(parent, v.value(0), v.value(1), v.value(2)); break;
    case 5: alert.runModalForPurchaseOpdFund(parent, v.value(0), v.value(1), v.value(2)); break;
    case 7: alert.runModalForRedeemOpdFund(parent, v.value(0), v.value(1), v.value(2), v.value(3)); break;
    case 8:
        alert.runModalForTransformOpdFund(parent, v.value(0), v.value(1), v.value(2), v.value(3), v.value(4));
        break;
    case 9: alert.runModalForBonusSetting(parent, v.value(0), v.value(1), v.value(2)); break;
    case 10:
        alert.runModalForInvestOntime(parent, v.value(0), v.value(1), v.value(2), v.value(3), v.value(4), v.value(5),
            v.value(6), v.value(7), v.value(8), v.value(9));
        break;
    default: break;
    }
    // The modal run has ended: without a confirmation it was cancelled; past
    // its time limit the order's answer is no longer the form's to wait for.
    if (!alive.expired() && (!observer_->called || observer_->timeLimitPassed) && cancelled)
        cancelled();
}

void FundOrderAlert::stopRunModal()
{
    orderAlert_->stopRunModal();
}
