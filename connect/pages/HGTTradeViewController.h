#pragma once

#include "connect/HGTRequestManager.h"
#include "shell/pages/MenuItemViewController.h"
#include "shell/pages/SentOrderForms.h"
#include "trading/confirm/OrderAlertWindowController.h"
#include "trading/quotepanel/QuoteInfoViewController.h"

#include <QDateTime>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <memory>

class AccountManager;
class StockManager;
class UserDefaultConfig;
namespace platform {
class RunLoopTimer;
}

struct HGTTradeViewControllerServices {
    AccountManager* accountManager = nullptr;
    StockManager* stockManager = nullptr;
    HGTRequestManager* requestManager = nullptr;
    UserDefaultConfig* userDefaultConfig = nullptr;
    std::function<QDateTime()> chinaNow; // null: the China clock
    OrderAlertWindowController::Services dialog;
};

// The Stock Connect buy page, base of the two sell pages: the customer's
// market-5 shareholder accounts, a five-digit code with its Hong Kong quote
// panel and reference rate, the trading unit, the maximum quantity and price
// step the server allows, the positions, and the order the user confirms.
// The stepper holds the numeric value of the price text and moves by the
// server's "priceunit", whatever their decimals. Every answer is
// taken by the handle of the request it answers. One busy flag runs from the
// order button to the end of the exchange. Main thread only.
class HGTTradeViewController : public MenuItemViewController,
                               public IDoConfigOrder,
                               public IUpdatePriceDelegate,
                               public IQuoteOf5LevelDelegate,
                               public IStockTimesharingInfoDelegate,
                               public IPositionInfoDelegate,
                               public IHGTMakeOrder,
                               public IHGTQueryExchangeRate,
                               public IHGTQueryCombInfo,
                               public IHGTQueryQuantityOfUnit {
    Q_OBJECT
public:
    enum class Kind { Buy, BoardLotSell, OddLotSell };
    static constexpr char kNoAccountMessage[] = "无可用的股东账户";
    static constexpr char kMissingInputMessage[] = "请确认已经输入证券代码、证券价格和委托数量。";
    static constexpr char kSubmittedFormat[] = "委托申请已提交，序号为%1。";
    static constexpr double kNoRefresh = 99999;
    static constexpr int kRefreshIntervalChanged = 17;

    explicit HGTTradeViewController(BaseNode::Ptr node = nullptr, HGTTradeViewControllerServices services = {},
        MenuItemViewController::Services pageServices = {});
    ~HGTTradeViewController() override;

    // Trading hours, China time: 09:11-12:09 and 12:51-16:09, every day alike.
    static bool isOpeningTime(const QDateTime& chinaTime);
    // What an order the server took tells, whoever tells it.
    static QString submittedOrderText(const QString& orderNumber);

    // --- User actions ---
    // The fields are read as typed numbers are (full-width digits are digits).
    void setCodeText(const QString& text); // controlTextDidChange: of the code field
    // ControlEditEnd: of the code and of the price field. The focus moves on
    // only when the customer asked for the next field (`toNext`: Return or
    // Tab); after a click elsewhere the field clicked keeps it.
    void codeEditEnd(bool toNext = true);
    void setPriceText(const QString& text);
    void priceEditEnd(bool toNext = true);
    void setQuantityText(const QString& text);
    // ControlEditEnd: of the quantity field: the focus moves on, from the
    // last field to the code.
    void quantityEditEnd();
    void selectAccount(int index);
    void orderTypeChanged(int index);
    // One step of the stepper; with no shareholder account nothing changes.
    void priceStepperClick(bool up);
    void positionTableClick(int row); // a row of the reply, whatever the view's sort
    virtual void orderButtonClick();
    void refreshQuotes(); // the timer's action
    void setDialogParent(QObject* window) { dialogParent_ = window; }
    OrderAlertWindowController& dialog() { return dialog_; }
    QuoteInfoViewController* quotePanel() const { return quotePanel_.get(); }

    // --- What the page shows ---
    Kind kind() const { return kind_; }
    bool isSale() const { return kind_ != Kind::Buy; }
    const QStringList& accountTitles() const { return accountTitles_; }
    int selectedAccount() const { return selectedIndex_; }
    const QStringList& orderTypeTitles() const { return orderTypeTitles_; }
    int selectedOrderType() const { return selectedOrderType_; }
    const QString& codeText() const { return code_; }
    const QString& nameText() const { return name_; }
    bool nameHidden() const { return nameHidden_; }
    const QString& priceText() const { return price_; }
    double stepperValue() const { return stepperValue_; }
    double stepperIncrement() const { return increment_; }
    const QString& quantityText() const { return quantity_; }
    const QString& maxQuantityText() const { return maxQuantity_; }
    const QString& priceStepText() const { return priceStep_; }
    const QString& lotText() const { return lot_; }
    const QString& exchangeRateShown() const { return rateShown_; }
    // The field that has the focus, by its place in the focus order (here 0
    // code, 1 price, 2 quantity), and how often it was moved on: each move
    // gives the field the focus, also when it is the same field again.
    int focusedField() const { return focus_; }
    int focusMoves() const { return focusMoves_; }
    bool isBusy() const { return busy_; }
    const QString& lastOrderNumber() const { return lastOrderNumber_; }
    DTTablePtr positions() const { return positions_; }
    bool refreshTimerRunning() const;
    const QStringList& abandonHandles() const { return abandonHandleArray_; }
    // A refreshed quote or its chart is still awaited.
    bool refreshWaiting() const;

    // Protocols.
    void updatePrice(const QString& price) override;
    bool doConfigOrderForStockTrade(int type, const OrderParam& orderParam) override;
    void queryQuotesOf5Level(DataModel*, const QString& handle, const RDOQuotesOf5Level& quote) override;
    bool queryQuotesOf5Level(DataModel*, const QString& handle, const CSError&) override;
    void queryTimesharingInfo(DataModel*, const QString& handle, const RDOStock& day) override;
    bool queryTimesharingInfo(DataModel*, const QString& handle, const CSError&) override;
    void queryPositionInfo(DataModel*, const QString&, const DTTablePtr& table) override;
    bool queryPositionInfo(DataModel*, const QString& handle, const CSError&) override;
    void hgtMakeOrder(DataModel*, const QString&, const QString& orderNumber) override;
    bool hgtMakeOrder(DataModel*, const QString&, const CSError& error) override;
    void hgtQueryExchangeRate(DataModel*, const QString& handle, const HGTExchangeRate& rate) override;
    void hgtQueryCombInfo(DataModel*, const QString& handle, const HGTCombInfo& info) override;
    bool hgtQueryCombInfo(DataModel*, const QString& handle, const CSError&) override;
    void hgtQueryQuantityOfUnit(DataModel*, const QString& handle, const QString& lot) override;
    bool hgtQueryQuantityOfUnit(DataModel*, const QString& handle, const CSError&) override;
    using IHGTQueryExchangeRate::hgtQueryExchangeRate;

protected:
    HGTTradeViewController(Kind kind, BaseNode::Ptr node, HGTTradeViewControllerServices services,
        MenuItemViewController::Services pageServices);

    void awakeFromNib() override;
    void willDropRequests() override;
    void clearAccountFigures() override;
    // The positions and the maximum, read again while an order or cancel of
    // unknown outcome left them owed.
    QStringList figuresShown() const override;
    QStringList readOwed(const QStringList& owed) override;
    // The number of fields in the focus order (controlArray).
    virtual int controlCount() const { return 3; }
    virtual bool verifyInput();
    // The first typed value a request could not carry (a character, a
    // length) is refused in a tip naming its field, (value, title) in the
    // form's order; answers whether every one can be sent.
    bool sendable(std::initializer_list<std::pair<const QString*, const char*>> fields);
    void responderToNext(int field);
    QString selectedSecurityId() const;
    QObject* dialogParent() const { return dialogParent_; }
    HGTRequestManager* requestManager() const { return services_.requestManager; }
    bool busy_ = false;

private:
    void resetControlValue();
    // Forgets the figures of the code shown (name, price, maximum, step,
    // unit, book, chart) and every answer still awaited for it.
    void clearCodeFigures();
    void codeNowNames();
    // Selects the shareholder account at `index`; another account than the
    // one selected forgets the maximum and step asked with that one.
    void chooseAccount(int index);
    // The maximum and price step shown, and the answer awaited for them, go.
    void forgetMaximum();
    void askQuote(bool refresh);
    // The answer under `channel` is the one to `handle` from now on.
    void awaitAnswer(const char* channel, const QString& handle);
    void initTradeInfo();
    // Asks for the positions; only this read's answer is shown. Answers
    // whether it went out.
    bool readPositions();
    // What an order's answer does on the page, heard or come past the
    // dialog's time limit (`accepted`: the order has its number;
    // `formOfThisOrder`: the form is still the one it was made from).
    void orderAnswered(bool accepted, bool formOfThisOrder);
    bool holds(const OrderFormHeld& form) const { return OrderFormHeld { code_, quantity_ } == form; }
    void startRefreshTimer();
    void fillFromPosition(const QString& code, const QString& name, const QString& securityId);
    void resetRefreshHandle();
    void updateExchangeRate();
    // Answers whether the question went out.
    bool requestCombInfo(const QString& code);
    // A handle just given leaves the abandon list: its reply is awaited now.
    QString awaited(const QString& handle);
    bool isAbandonHandle(const QString& handle);
    QString selectedOrderTitle() const;
    // The stepper takes `value` (not below 0) and the field shows it.
    void setStepperValue(double value);

    Kind kind_;
    HGTTradeViewControllerServices services_;
    QVariantList securityInfoArray_;
    QStringList accountTitles_;
    int selectedIndex_ = -1;
    QStringList orderTypeTitles_;
    int selectedOrderType_ = -1;
    QString code_, name_, price_, quantity_, maxQuantity_, priceStep_, lot_, rateShown_;
    bool nameHidden_ = true;
    QString figuresCode_; // the code the figures shown belong to
    static constexpr double kDefaultPriceIncrement = 0.001;
    double stepperValue_ = 0;
    double increment_ = kDefaultPriceIncrement;
    int focus_ = 0;
    int focusMoves_ = 0;
    QStringList abandonHandleArray_;
    QString exchangeRateOfBuy_, exchangeRateOfSale_;
    QString lastOrderNumber_;
    // The forms of the orders sent whose answers the page awaits, by handle.
    SentOrderForms formsSent_;
    DTTablePtr positions_;
    std::unique_ptr<QuoteInfoViewController> quotePanel_;
    std::unique_ptr<platform::RunLoopTimer> refreshTimer_;
    OrderAlertWindowController dialog_;
    QPointer<QObject> dialogParent_;
};

// Sells whole trading units.
class HGTZSSellViewController : public HGTTradeViewController {
    Q_OBJECT
public:
    explicit HGTZSSellViewController(BaseNode::Ptr node = nullptr, HGTTradeViewControllerServices services = {},
        MenuItemViewController::Services pageServices = {})
        : HGTTradeViewController(Kind::BoardLotSell, std::move(node), std::move(services), pageServices)
    {
    }

protected:
    using HGTTradeViewController::HGTTradeViewController;
};

// Sells odd shares: no order-type choice, "零股卖出" always.
class HGTLGSellViewController : public HGTZSSellViewController {
    Q_OBJECT
public:
    explicit HGTLGSellViewController(BaseNode::Ptr node = nullptr, HGTTradeViewControllerServices services = {},
        MenuItemViewController::Services pageServices = {})
        : HGTZSSellViewController(Kind::OddLotSell, std::move(node), std::move(services), pageServices)
    {
    }
};
