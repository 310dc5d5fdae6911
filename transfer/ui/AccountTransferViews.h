#pragma once

#include "shell/ui/MenuItemView.h"
#include "transfer/pages/CapitalAccountPages.h"
#include "transfer/pages/TransferPages.h"

class DVCommonTableView;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// The widget of 资金内转: shows the controller and forwards the user's
// actions; Return moves between the amount and the password.
class InsideTransferPageView : public MenuItemView {
    Q_OBJECT
public:
    InsideTransferPageView(InsideTransferViewController& controller, QWidget* parent = nullptr);

protected:
    void refresh() override;

private:
    QPointer<InsideTransferViewController> page_;
    QComboBox* moneyTypePButton_;
    QComboBox* fundIdInfoPButton_;
    QComboBox* toFundIdInfoPButton_;
    QLabel* availableFundText_;
    QLineEdit* amountText_;
    QLineEdit* fundPasswordText_;
    QPushButton* resetButton_;
    QPushButton* transferButton_;
    QProgressBar* transferProgress_;
    DVCommonTableView* fundInfoTable_;
    std::shared_ptr<DTFundInfoTable> shownTable_;
};

// The widget of 查询余额: the password rows and the balance take the rows
// the controller gives them.
class QueryBalancePageView : public MenuItemView {
    Q_OBJECT
public:
    QueryBalancePageView(QueryBalanceViewController& controller, QWidget* parent = nullptr);

protected:
    void refresh() override;

private:
    QPointer<QueryBalanceViewController> page_;
    QGridLayout* grid_;
    QComboBox* moneyTypePButton_;
    QComboBox* fundIdInfoPButton_;
    QLabel* fundPasswordLabel_;
    QLineEdit* fundPasswordText_;
    QLabel* bankPasswordLabel_;
    QLineEdit* bankPasswordText_;
    QLabel* bankBalanceLabel_;
    QLabel* bankBalanceText_;
    QPushButton* resetButton_;
    QPushButton* transferButton_;
    QProgressBar* transferProgress_;
    int firstRow_ = 0;
};

// The widget of 资金归集.
class FundCollectionPageView : public MenuItemView {
    Q_OBJECT
public:
    FundCollectionPageView(FundCollectionViewController& controller, QWidget* parent = nullptr);

protected:
    void refresh() override;

private:
    QPointer<FundCollectionViewController> page_;
    QComboBox* moneyTypePButton_;
    QLabel* mainFundIdText_;
    QLabel* unavailableText_;
    QPushButton* resetButton_;
    QPushButton* transferButton_;
    QProgressBar* transferProgress_;
    DVCommonTableView* fundInfoTable_;
    std::shared_ptr<DTFundInfoTable> shownTable_;
};

// Registers the three pages' widgets in the page catalogue.
void registerAccountTransferViews();
