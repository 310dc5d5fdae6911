#pragma once

#include "quotes/requests/QuoteDataModels.h"
#include "shell/pages/MenuItemViewController.h"
#include "shell/pages/SentOrderForms.h"
#include "trading/confirm/OrderAlertWindowController.h"
#include "trading/orders/OrderManager.h"
#include "trading/quotepanel/QuoteInfoViewController.h"
#include "trading/requests/OrderDataModels.h"
#include "trading/requests/SecurityInfoDataModels.h"
#include "trading/requests/TradeQueryDataModels.h"

#include <QStringList>
#include <QVariantList>
#include <memory>
#include <optional>

class AccountManager;
class OrderManager;
class QueryInfoManager;
class StockManager;
class Security;
class UserDefaultConfig;
namespace platform {
class RunLoopTimer;
}

struct TradeViewControllerServices {
    AccountManager* accountManager = nullptr;
    StockManager* stockManager = nullptr;
    QueryInfoManager* queryInfoManager = nullptr;
    OrderManager* orderManager = nullptr;
    UserDefaultConfig* userDefaultConfig = nullptr;
    OrderAlertWindowController::Services dialog;
};

// The buy and sell page: looks a security up by its code, shows it in the
// quote panel, offers the accounts and order types of its market, and places
// the order the user confirms in the confirmation dialog. One busy flag runs
// from the order button to the end of the exchange, so a second press (or
// Enter held down) sends nothing more. Main thread only.
class TradeViewController : public MenuItemViewController,
                            public IDoConfigOrder,
                            public IUpdatePriceDelegate,
                            public IUpdateTimesharingInfoDelegate,
                            public IQuoteOf5LevelDelegate,
                            public IStockTimesharingInfoDelegate,
                            public IMaxQuantityInfoDelegate,
                            public IMoneyInfoDelegate,
                            public IPositionInfoDelegate,
                            public IQuerySTStockListDelegate,
                            public ITradeStockDelegate {
    Q_OBJECT
public:
    static constexpr char kNoAccountMessage[] = "无可用的股东账户";
    static constexpr char kMissingInputMessage[] = "请确认已经输入证券代码、证券价格和委托数量。";
    static constexpr char kSubmittedFormat[] = "委托申请已提交，序号为%1。";
    // The chosen order-type title means another type (or none) in the
    // market the order goes to.
    static constexpr char kOrderTypeNotOfMarketMessage[]
        = "所选委托方式不适用于该证券的交易市场，请重新选择委托方式。";
    static constexpr char kDelistTitle[] = "警告";
    static constexpr char kDelistText[]
        = "尊敬的客户:该股票即将终止上市,请注意退市风险，谨慎投资。详情请登录上市公司或交易所网站查询。";

    explicit TradeViewController(BaseNode::Ptr node = nullptr, TradeViewControllerServices services = {},
        MenuItemViewController::Services pageServices = {});
    ~TradeViewController() override;

    // The page's side from the menu link: 0 buy, 1 sell, 2 warrant exercise.
    static qint32 tradeTypeForLinkId(qint64 linkId);
    static void registerPages();

    // --- User actions ---
    // The code, price and quantity are read as typed numbers are (full-width
    // digits are digits).
    void setCodeText(const QString& text); // controlTextDidChange: of the code field
    void stockCodeEditEnd();
    void shareholderCodePButtonSelectedChanged(int index);
    void orderTypePButtonSelected(int index);
    void setPriceText(const QString& text);
    void priceEditEnd();
    void pricesStepperClicked(double value);
    void addButtonClick();
    void subButtonClick();
    void setQuantityText(const QString& text);
    // positionTableViewClicked: with the picked row of the positions table
    // (-1: none picked).
    virtual void positionTableViewClicked(int row);
    virtual void orderButtonClicked();
    // The window the dialog runs over (the view's).
    void setDialogParent(QObject* window) { dialogParent_ = window; }
    OrderAlertWindowController& dialog() { return dialog_; }
    QuoteInfoViewController* quotePanel() const { return quotePanel_.get(); }

    // --- What the page shows ---
    qint32 tradeType() const { return tradeType_; }
    const QStringList& accountTitles() const { return accountTitles_; }
    int selectedAccount() const { return selectedIndex_; }
    const QStringList& orderTypeTitles() const { return orderTypeTitles_; }
    int selectedOrderType() const { return selectedOrderType_; }
    virtual qint32 getCurrentOrderType() const;
    const QString& codeText() const { return code_; }
    const QString& nameText() const { return name_; }
    const QString& priceText() const { return price_; }
    double stepperIncrement() const { return increment_; }
    double stepperValue() const { return stepperValue_; }
    bool priceHidden() const { return priceHidden_; } // marketPriceLabel shown instead
    const QString& quantityText() const { return quantity_; }
    const QString& maxAmountText() const { return maxAmount_; }
    const QString& availableMoneyText() const { return money_; }
    virtual bool orderTypeRowHidden() const { return false; }
    virtual bool moneyRowHidden() const { return tradeType_ != 0; }
    const QString& stockCodeLabel() const { return stockCodeLabel_; }
    const QString& priceLabel() const { return priceLabel_; }
    const QString& amountLabel() const { return amountLabel_; }
    const QString& maxAmountLabel() const { return maxAmountLabel_; }
    const QString& orderButtonTitle() const { return orderButtonTitle_; }
    bool isBusy() const { return busy_; }
    const QString& lastOrderNumber() const { return lastOrderNumber_; }
    DTTablePtr positions() const { return positions_; }
    int selectedPositionRow() const { return selectedPositionRow_; }
    // Judged on China time, wherever the customer is.
    static bool isOpeningTime(const QDateTime& chinaTime);
    void refreshTimesharingQuotes();
    // The refresh timer's interval in seconds; 0 when no timer runs.
    double refreshInterval() const;

    // Protocols.
    void updatePrice(const QString& price) override;
    // The chart's cross-hair, relayed to the panel with the security of the
    // code field; nothing while the field is empty or its security unknown.
    bool updateTimesahringInfo(qint64 index) override;
    bool updateCurrentTimesharingInfo() override;
    bool recoverToCurrent() override;
    bool doConfigOrderForStockTrade(int type, const OrderParam& orderParam) override;
    void queryQuotesOf5Level(DataModel*, const QString&, const RDOQuotesOf5Level& quote) override;
    bool queryQuotesOf5Level(DataModel*, const QString&, const CSError&) override;
    void queryTimesharingInfo(DataModel*, const QString&, const RDOStock& day) override;
    bool queryTimesharingInfo(DataModel*, const QString&, const CSError&) override;
    void queryMaxQuantityInfo(DataModel*, const QString&, const QString& quantity) override;
    bool queryMaxQuantityInfo(DataModel*, const QString&, const CSError&) override;
    void queryMoneyInfo(DataModel*, const QString&, const RDOMoney& money) override;
    bool queryMoneyInfo(DataModel*, const QString&, const CSError&) override;
    void queryPositionInfo(DataModel*, const QString&, const DTTablePtr& table) override;
    bool queryPositionInfo(DataModel*, const QString&, const CSError&) override;
    void querySTStockList(DataModel*, const QString&, const std::vector<QString>& codes) override;
    bool querySTStockList(DataModel*, const QString&, const CSError&) override;
    void tradeStock(DataModel*, const QString&, const QString& orderNumber) override;
    bool tradeStock(DataModel*, const QString&, const CSError& error) override;
    // Money, positions and the maximum, as after an accepted order.
    QStringList readOwed(const QStringList& owed) override;

protected:
    QStringList figuresShown() const override;
    void awakeFromNib() override;
    void initViewControls() override;
    void willDropRequests() override;
    void clearAccountFigures() override;

    // What the page's pending answers are for, each filed under its request
    // handle: an answer under another handle came late.
    static constexpr char kQuoteAsk[] = "quote";
    static constexpr char kChartAsk[] = "timesharing";
    static constexpr char kMaximumAsk[] = "maximum";
    static constexpr char kMoneyAsk[] = "money";
    static constexpr char kPositionsAsk[] = "positions";
    static constexpr char kWarrantAsk[] = "warrant";

    // Replaced by the after-hours and warrant pages.
    virtual void initShareholderCodeAndOrderType();
    // The account pop-up's titles from the offered entries.
    void loadShareholderAccounts();
    virtual void updateForAcountProtectOptionChange();
    // The shareholder account entries the page offers.
    virtual QVariantList offeredAccounts() const;
    virtual void initOrderTypePButton();
    virtual void fixControlsForOrderTypePButtonSelected();
    virtual void initLabelsOfOrderControls();
    virtual void initPriceView();
    // The stepper's increment while no security gives one.
    static constexpr double kDefaultPriceIncrement = 0.01;
    virtual bool verifyOrderInput();
    // A code, price (when `priceSent`) or quantity no request can carry, or
    // longer than one holds, is refused in the one reader's words, naming
    // the field by its label; answers whether all can go.
    bool typedFieldsFit(bool priceSent);
    virtual void showOrderConfirmWindow();
    virtual QStringList orderTypeTitlesFor(const QString& marketCode, const QString& classId) const;

    // initTradeInfoView: the name and the account of the security's market.
    void initTradeInfoView();
    void selectSecurityIdButtonItem(int index);
    // initOrderTypePButton, the chosen title kept when still offered.
    void rebuildOrderTypesKeepingTitle();
    // A picked position or notification 13: its code, name and account,
    // then the lookup.
    void fillFromPosition(const RDOPositionDetail& row);
    // Selects the first offered account with that shareholder id; false
    // when none has it.
    bool selectAccountWithId(const QString& securityId);
    void resetRefreshTimer();
    // The selected order-type title ("" when none).
    QString selectedOrderTypeTitle() const;
    // Whether the selected title means, in the market of the security it
    // is sent for, the order type the form shows.
    bool orderTypeAgreesWithMarket() const;
    // The row of the positions table, as the table holds it.
    template <class Row> std::optional<Row> positionRow(int row) const;

    std::shared_ptr<Security> cachedSecurity() const;
    // The market code of the account entry with `securityId` (empty when none).
    QString marketOfAccount(const QString& securityId) const;
    // The cached security of a confirmed order's code; else `fresh` with
    // that code and the account's market.
    std::shared_ptr<Security> securityForOrder(
        const OrderParam& param, std::shared_ptr<Security> fresh) const;
    // The confirmed order to the server; a refusal before sending closes the dialog.
    void sendOrder(const Security& security, const OrderParam& param, qint32 side, const QString& price);
    QString selectedMarketCode() const;
    QString selectedSecurityId() const;
    // Starts the lookup of the code field; a code other than the shown
    // security's first empties what the form and the panel show of it.
    void lookUp();
    // A typed code: also back to the first account when it is a new code.
    void lookUpTypedCode();
    void forgetShownSecurity();
    // Each answers whether its request went out.
    bool requestMaxQuantityInfo();
    // The account at `index` becomes the one the form acts on.
    void chooseAccount(int index);
    // The currency of the selected account's money (0 without an account).
    qint32 selectedMoneyType() const;
    void forgetMoneyOfOtherCurrency();
    // Whether the answer under `handle` is the one `channel` awaits; it is
    // taken (the channel settles) when so.
    bool takeAnswer(const char* channel, const QString& handle);
    bool requestMoneyInfo();
    bool requestPositions();
    // An order's answer (`accepted`: its number) on the form it was made
    // from, or on the next order's (`formOfThisOrder` false).
    void orderAnswered(bool accepted, bool formOfThisOrder);
    bool holds(const OrderFormHeld& form) const { return OrderFormHeld { code_, quantity_ } == form; }
    // What an order answered changed: the money, the positions, the maximum.
    void readFiguresOfAnOrder();
    // The dialog (after the delisting warning when at risk) for the order
    // attempt `attempt`; nothing when that attempt has ended.
    void makeOrder(bool atRisk, quint64 attempt);
    void finishOrder();
    bool carriesPrice(qint32 orderType, const QString& classId) const;

    TradeViewControllerServices services_;
    qint32 tradeType_ = 0;
    qint64 queryPositionFlag_ = 0;
    QVariantList securityInfoArray_;
    QStringList accountTitles_;
    int selectedIndex_ = -1;
    QStringList orderTypeTitles_;
    int selectedOrderType_ = -1;
    QString code_, name_, price_, quantity_, maxAmount_, money_;
    QString stockCodeLabel_ = QStringLiteral("证券代码");
    QString priceLabel_, amountLabel_, maxAmountLabel_, orderButtonTitle_;
    QString currentStockCode_;
    // The currency of the money figure shown (-1: none shown).
    qint32 moneyTypeShown_ = -1;
    qint32 moneyTypeAsked_ = -1;
    double increment_ = 0.01;
    double stepperValue_ = 0;
    bool priceHidden_ = false;
    bool isNotRefresh_ = true;
    bool stopRefreshQuote_ = false;
    bool tradePosition_ = false;
    bool busy_ = false;
    // Counts order attempts, so that a late step of one that has ended
    // (a queued call, an answered warning) does nothing.
    quint64 orderAttempt_ = 0;
    QString lastOrderNumber_;
    // The forms of the orders sent whose answers the page awaits, by handle.
    SentOrderForms formsSent_;
    DTTablePtr positions_;
    int selectedPositionRow_ = -1;
    platform::RunLoopTimer* refreshTimer_ = nullptr;
    std::unique_ptr<QuoteInfoViewController> quotePanel_;
    OrderAlertWindowController dialog_;
    QPointer<QObject> dialogParent_;
};
