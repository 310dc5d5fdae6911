#pragma once

#include "shell/ui/MenuItemView.h"
#include "transfer/pages/FundBalPwdAlertWC.h"
#include "transfer/pages/TransferPages.h"

#include <QWidget>

class DVCommonTableView;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// The widget of both transfer pages: shows the controller and forwards the
// user's actions; Return moves through amount and the visible passwords.
class FundTransferPageView : public MenuItemView {
    Q_OBJECT
public:
    FundTransferPageView(FundTransferBaseViewController& controller, QWidget* parent = nullptr);

protected:
    void refresh() override;

private:
    void controlEditEnd(QLineEdit* field);

    QPointer<FundTransferBaseViewController> page_;
    BankToStockViewController* bankToStock_;
    StockToBankViewController* stockToBank_;
    QGridLayout* grid_;
    QComboBox* moneyTypePButton_;
    QComboBox* fundIdInfoPButton_;
    QLabel* balanceText_ = nullptr;
    QPushButton* queryBalanceButton_ = nullptr;
    QLineEdit* amountText_;
    QLabel* fundPasswordLabel_;
    QLineEdit* fundPasswordText_;
    QLabel* bankPasswordLabel_;
    QLineEdit* bankPasswordText_;
    QPushButton* resetButton_;
    QPushButton* transferButton_;
    QProgressBar* transferProgress_;
    DVCommonTableView* transferInfoTable_;
    DTBSTransferInfoPtr shownTable_;
    int firstPasswordRow_ = 0;
};

// The password prompt's window.
class FundBalPwdAlertWindow : public QWidget {
    Q_OBJECT
public:
    explicit FundBalPwdAlertWindow(FundBalPwdAlertWC& controller, QWidget* parent = nullptr);
    void refresh();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    FundBalPwdAlertWC& controller_;
    QLabel* fundPwdLabel_;
    QLineEdit* fundPwdText_;
    QLabel* bankPwdLabel_;
    QLineEdit* bankPwdText_;
};

// Registers the transfer pages' widgets in the page catalogue and the
// prompt's window; called once at start-up.
void registerTransferPageViews();
