#pragma once

#include "shell/ui/MenuItemView.h"

class TradeViewController;
class QuoteInfoView;
class DVCommonTableView;
class QFormLayout;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

// The buy and sell page: the order form, the quote panel beside it and the
// positions below. Tab goes code -> price -> quantity -> order button; Enter
// in the quantity places the order.
class TradeView : public MenuItemView {
    Q_OBJECT
public:
    TradeView(TradeViewController& controller, QWidget* parent = nullptr);

protected:
    void refresh() override;

private:
    QFormLayout* form_ = nullptr;
    TradeViewController& page_;
    QLineEdit* stockCodeText_;
    QLabel* stockNameText_;
    QComboBox* shareholderCodePButton_;
    QComboBox* orderTypePButton_;
    QLabel* priceLabel_;
    QLineEdit* priceText_;
    QLabel* marketPriceLabel_;
    QToolButton* addButton_;
    QToolButton* subButton_;
    QLabel* maxAmountLabel_;
    QLabel* maxAmountText_;
    QLabel* amountLabel_;
    QLineEdit* amountText_;
    QLabel* availableMoneyLabel_;
    QLabel* availableMoneyText_;
    QPushButton* orderButton_;
    QuoteInfoView* quoteView_;
    DVCommonTableView* positionTableView_;
};

void registerTradeViews();
