#pragma once

#include "shell/ui/MenuItemView.h"

#include <memory>

class TradeViewController;
class QuoteInfoView;
class DVCommonTableView;
class DTTable;
class QFormLayout;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

// The buy and sell page: the order form with the positions beside it, and
// the quote panel (chart and five-level book) below them. Tab goes code ->
// price -> quantity -> order button; Return in the quantity goes back to the
// code, and Enter on the order button places the order.
class TradeView : public MenuItemView {
    Q_OBJECT
public:
    // Enough for the chart's and the book's every row.
    static constexpr int kQuotePanelMinimumHeight = 356;

    TradeView(TradeViewController& controller, QWidget* parent = nullptr);

protected:
    void refresh() override;

private:
    // After the code: the price, or the quantity while no price is asked.
    void focusAfterCode();

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
    // The price stepper: one increment of the security's tick up or down.
    QWidget* priceStepper_;
    QLabel* maxAmountLabel_;
    QLabel* maxAmountText_;
    QLabel* amountLabel_;
    QLineEdit* amountText_;
    QLabel* availableMoneyLabel_;
    QLabel* availableMoneyText_;
    QPushButton* orderButton_;
    QuoteInfoView* quoteView_;
    DVCommonTableView* positionTableView_;
    std::shared_ptr<const DTTable> shownPositions_;
};

void registerTradeViews();
