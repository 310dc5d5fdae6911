#pragma once

#include "trading/pages/TradeViewController.h"

// The STAR market's after-hours fixed-price page: the trading page with only
// the Shanghai shareholder accounts and one order title, so every order it
// places is an after-hours fixed-price order (9 buy, 109 sell).
class AfTradeViewController : public TradeViewController {
    Q_OBJECT
public:
    explicit AfTradeViewController(BaseNode::Ptr node = nullptr, TradeViewControllerServices services = {},
        MenuItemViewController::Services pageServices = {});

    static void registerPages();

    bool orderTypeRowHidden() const override { return true; }

protected:
    void awakeFromNib() override;
    QVariantList offeredAccounts() const override;
    void initOrderTypePButton() override { }
    void fixControlsForOrderTypePButtonSelected() override { }

private:
    // The rows below the hidden order-type row move up once; the set-up runs
    // again after an account change and must not move them again.
    bool layoutShifted_ = false;
};
