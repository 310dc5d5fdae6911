#pragma once

#include "shell/pages/MenuItemViewController.h"
#include "shell/pages/SentOrderForms.h"
#include "trading/confirm/OrderAlertWindowController.h"
#include "trading/orders/OrderManager.h"
#include "trading/pages/PageTable.h"
#include "trading/requests/OrderDataModels.h"
#include "trading/requests/SecurityInfoDataModels.h"
#include "trading/requests/TradeQueryDataModels.h"

#include <QPointer>
#include <QStringList>
#include <QVariantList>
#include <optional>
#include <vector>

class AccountManager;
class OrderManager;
class QueryInfoManager;
class StockManager;

struct PurchaseViewControllerServices {
    AccountManager* accountManager = nullptr;
    StockManager* stockManager = nullptr;
    QueryInfoManager* queryInfoManager = nullptr;
    OrderManager* orderManager = nullptr;
    OrderAlertWindowController::Services dialog;
};

// The new-issue subscription page: the issues open for subscription, the
// chosen issue's price and limits, the money and the largest quantity, and
// the subscription the user confirms. Price and quantity need only be
// given: the server judges them. One busy flag runs from the button to the
// dialog's end.
class PurchaseViewController : public MenuItemViewController,
                               public IDoConfigOrder,
                               public IMoneyInfoDelegate,
                               public IPurchaseNewStockDelegate,
                               public INewStockInfoDelegate,
                               public IMaxQuantityInfoDelegate,
                               public ITradeStockDelegate {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "PurchaseViewController";
    static constexpr char kNoAccountMessage[] = "无可用的股东账户。";
    static constexpr char kNoIssueMessage[] = "没有可供申购的新股。";
    static constexpr char kMissingInputMessage[] = "请确认已经输入价格和数量。";
    static constexpr char kSubmittedFormat[] = "委托申请已提交，序号为%1。";
    // The price stepper's increment and bounds.
    static constexpr double kStepperIncrement = 0.01;
    static constexpr double kStepperMinimum = 0.01;
    static constexpr double kStepperMaximum = 999'999.99;

    explicit PurchaseViewController(BaseNode::Ptr node = nullptr,
        PurchaseViewControllerServices services = {}, MenuItemViewController::Services pageServices = {});
    ~PurchaseViewController() override;

    // --- User actions ---
    void securityIdChanged(int index);
    void stockSelectionChanged(int index);
    void stockInfoTableClicked(int row);
    void addButtonClicked();
    void subButtonClicked();
    void priceStepperClicked(double value);
    void setPriceText(const QString& text); // controlTextDidChange: of the price field
    void setQuantityText(const QString& text);
    void purchaseButtonClicked();
    void setDialogParent(QObject* window) { dialogParent_ = window; }
    OrderAlertWindowController& dialog() { return dialog_; }

    // --- What the page shows ---
    const QStringList& accountTitles() const { return accountTitles_; }
    int selectedAccount() const { return selectedAccount_; }
    const std::vector<RDONewStock>& stockInfoList() const { return stockInfoList_; }
    QStringList stockTitles() const;
    int selectedStock() const { return selectedStock_; }
    std::shared_ptr<DTPurchaseNewStockTable> stockInfoTable() const { return table_; }
    PageTable& stockInfoTableView() { return tableView_; }
    int selectedTableRow() const { return selectedRow_; }
    const QString& availableMoneyText() const { return money_; }
    const QString& stockPriceText() const { return price_; }
    double stepperValue() const { return stepperValue_; }
    const QString& limitDownText() const { return limitDown_; }
    const QString& limitUpText() const { return limitUp_; }
    const QString& maxCanPurchaseText() const { return maxQuantity_; }
    const QString& purchaseQuantityText() const { return quantity_; }
    bool warningShown() const { return warning_; }
    bool isBusy() const { return busy_; }
    const QString& lastOrderNumber() const { return lastOrderNumber_; }

    void requestNewStockInfo();

    // Protocols.
    bool doConfigOrderForStockTrade(int type, const OrderParam& orderParam) override;
    void queryMoneyInfo(DataModel*, const QString&, const RDOMoney& money) override;
    bool queryMoneyInfo(DataModel*, const QString&, const CSError&) override;
    void queryPurchaseNewStockList(
        DataModel*, const QString&, const std::shared_ptr<DTPurchaseNewStockTable>& table) override;
    bool queryPurchaseNewStockList(DataModel*, const QString&, const CSError&) override;
    void queryNewStockInfo(DataModel*, const QString&, const RDONewStock& record) override;
    void queryMaxQuantityInfo(DataModel*, const QString&, const QString& quantity) override;
    bool queryMaxQuantityInfo(DataModel*, const QString&, const CSError&) override;
    void tradeStock(DataModel*, const QString&, const QString& orderNumber) override;
    bool tradeStock(DataModel*, const QString&, const CSError& error) override;
    // Money and the maximum, as after an accepted subscription.
    QStringList readOwed(const QStringList& owed) override;

protected:
    QStringList figuresShown() const override;
    void awakeFromNib() override;
    void willDropRequests() override;
    void clearAccountFigures() override;

private:
    // The price, the limits and the maximum of the issue shown.
    void clearIssueFigures();
    void initSecurityIdPButton();
    // Each answers whether its request went out.
    bool requestMoneyInfo();
    void requestPurchaseNewStockList();
    bool requestMaxQuantityInfo();
    // A subscription's answer (`accepted`: its number) on the form it was
    // made from, or on the next one's (`formOfThisOrder` false).
    void orderAnswered(bool accepted, bool formOfThisOrder);
    bool holds(const OrderFormHeld& form) const;
    // What a subscription answered changed: the money, the maximum.
    void readFiguresOfAnOrder();
    void initStockInfo();
    void selectAccountFor(const RDONewStock& issue);
    void initPriceInfo(const QString& price);
    // A value as the stepper holds it: within its bounds.
    static double stepperBounded(double value);
    bool verifyOrderInput();
    QString selectedField(const char* key) const;

    PurchaseViewControllerServices services_;
    QVariantList securityInfoArray_;
    QStringList accountTitles_;
    int selectedAccount_ = -1;
    std::vector<RDONewStock> stockInfoList_;
    int selectedStock_ = -1;
    std::shared_ptr<DTPurchaseNewStockTable> table_;
    PageTable tableView_ { TableKind::Common };
    int selectedRow_ = -1;
    QString money_, price_, limitDown_, limitUp_, maxQuantity_, quantity_;
    double stepperValue_ = 0;
    bool warning_ = false;
    bool busy_ = false;
    QString lastOrderNumber_;
    // The forms of the subscriptions sent whose answers the page awaits, by handle.
    SentOrderForms formsSent_;
    OrderAlertWindowController dialog_;
    QPointer<QObject> dialogParent_;
};
