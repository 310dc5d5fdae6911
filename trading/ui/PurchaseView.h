#pragma once

#include "shell/ui/MenuItemView.h"

class PurchaseViewController;
class DVCommonTableView;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

// The new-issue subscription page: the issue list above, the form below.
// Enter in the quantity subscribes.
class PurchaseView : public MenuItemView {
    Q_OBJECT
public:
    PurchaseView(PurchaseViewController& controller, QWidget* parent = nullptr);

protected:
    void refresh() override;

private:
    PurchaseViewController& page_;
    QLabel* warningLabel_;
    DVCommonTableView* stockInfoTable_;
    QComboBox* securityIdPButton_;
    QLabel* availableMoneyText_;
    QComboBox* stockInfoButton_;
    QLineEdit* stockPriceText_;
    // The price stepper: a hundredth up or down.
    QWidget* priceStepper_;
    QToolButton* subButton_;
    QToolButton* addButton_;
    QLabel* limitDownText_;
    QLabel* limitUpText_;
    QLabel* maxCanPurchaseText_;
    QLineEdit* purchaseQuantityText_;
    QPushButton* purchaseButton_;
};

void registerPurchaseView();
