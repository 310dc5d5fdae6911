#pragma once

#include "funds/trade/OpdFundTradeViewController.h"

#include <QPointer>
#include <memory>

class OrderAlertWindowController;

// The fund form's confirmation through the order confirmation dialog: each
// draft opens the dialog entry of its type with the draft's texts.
class FundOrderAlert final : public IFundOrderConfirmation {
public:
    // The dialog sits over `parentWindow` (may be null).
    explicit FundOrderAlert(QObject* parentWindow = nullptr);
    ~FundOrderAlert() override;

    void runModal(const FundOrderDraft& draft, std::function<void(qint32)> confirmed,
        std::function<void()> cancelled) override;
    void stopRunModal() override;
    void setParentWindow(QObject* parentWindow) { parentWindow_ = parentWindow; }

    OrderAlertWindowController* orderAlert() const;

private:
    struct Observer;
    std::unique_ptr<Observer> observer_;
    std::unique_ptr<OrderAlertWindowController> orderAlert_;
    QPointer<QObject> parentWindow_;
};
