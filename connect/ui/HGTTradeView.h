#pragma once

#include "connect/pages/HGTTradeViewController.h"
#include "shell/ui/MenuItemView.h"

class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class DVCommonTableView;

// The widget of the three Stock Connect order pages: the form on the left,
// the Hong Kong quote panel on the right, the positions below. It shows the
// controller and forwards the user's edits and clicks.
class HGTTradeView : public MenuItemView {
    Q_OBJECT
public:
    HGTTradeView(HGTTradeViewController& controller, QWidget* parent = nullptr);

    QComboBox* accountPopUp() const { return accounts_; }
    QComboBox* orderTypePopUp() const { return orderTypes_; }
    QLineEdit* codeField() const { return code_; }
    QLineEdit* priceField() const { return price_; }
    QLineEdit* quantityField() const { return quantity_; }
    QPushButton* orderButton() const { return order_; }
    QPushButton* stepUpButton() const { return up_; }
    QPushButton* stepDownButton() const { return down_; }
    QLabel* nameLabel() const { return name_; }
    QLabel* maxQuantityLabel() const { return max_; }
    QLabel* lotLabel() const { return lot_; }
    QLabel* stepLabel() const { return step_; }
    DVCommonTableView* positionTable() const { return positions_; }

protected:
    void refresh() override;

private:
    void focusField(int field);

    HGTTradeViewController& page_;
    QComboBox* accounts_;
    QComboBox* orderTypes_;
    QLineEdit* code_;
    QLabel* name_;
    QLineEdit* price_;
    QPushButton* up_;
    QPushButton* down_;
    QLineEdit* quantity_;
    QLabel* max_;
    QLabel* step_;
    QLabel* lot_;
    QPushButton* order_;
    DVCommonTableView* positions_;
    std::shared_ptr<const DTTable> shownPositions_;
    int shownFocusMoves_ = -1;
};

// The layout the order page and the pages built on it share: the form on
// the left, the Hong Kong quote panel beside it, the positions below.
void layOutOrderPage(QWidget* page, QLayout* form, HGTTradeViewController& controller, QWidget* positions);

// Installs the Stock Connect pages' widgets in the page catalogue (under
// their class names) for pages opened directly; no menu link opens them.
void installConnectViews();
