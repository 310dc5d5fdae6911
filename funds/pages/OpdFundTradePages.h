#pragma once

#include "funds/lists/OpdFundListViewController.h"
#include "funds/quote/FundQuoteViewController.h"
#include "funds/trade/OpdFundTradeViewController.h"
#include "shell/pages/MenuItemViewController.h"

#include <functional>
#include <memory>

// A fund operation page: the fund list panel, the trade form in the page's
// view type and the net-value panel, wired so that a picked fund reaches
// the form and the form's fund reaches the chart. An account change builds
// the three anew.
class OpdFundTradePage : public MenuItemViewController {
    Q_OBJECT
public:
    using SourceFactory = std::function<std::unique_ptr<OpenFundList>()>;

    OpdFundTradePage(BaseNode::Ptr node, Services services, qint32 viewType, SourceFactory source,
        OpdFundTradeViewController::Services formServices = {});
    ~OpdFundTradePage() override;

    OpdFundListViewController* fundListView() const { return list_.get(); }
    OpdFundTradeViewController* fundTradeView() const { return form_.get(); }
    FundQuoteViewController* fundQuoteView() const { return quote_.get(); }
    qint32 viewType() const { return viewType_; }

signals:
    // The three panels were made anew: the view puts them in again.
    void panelsChanged();

protected:
    void awakeFromNib() override;
    // The page left: its panels go with whatever they awaited, so an order
    // still unanswered is its relay's to tell.
    void willDropRequests() override;
    // Makes the three panels anew (also what awakeFromNib does).
    void makePanels();
    void dropPanels();
    // The fund shares its list holds (redeem, transform, dividend setting),
    // the dividend method its pop-up shows (dividend setting) or the money
    // that buys the fund (subscribe, purchase), read again while an action
    // of unknown outcome left them owed.
    QStringList figuresShown() const override;
    QStringList readOwed(const QStringList& owed) override;

private:
    class PageAlerts;
    qint32 viewType_;
    SourceFactory source_;
    OpdFundTradeViewController::Services formServices_;
    std::unique_ptr<PageAlerts> formAlerts_;
    std::unique_ptr<OpdFundListViewController> list_;
    std::unique_ptr<OpdFundTradeViewController> form_;
    std::unique_ptr<FundQuoteViewController> quote_;
};

// The five operation pages, by menu link id: 30001 subscribe, 30002
// purchase, 30003 redeem, 30005 transform (in the redeem page's layout),
// 30006 dividend setting.
#define LUMORA_FUND_TRADE_PAGE(Name)                                                                          \
    class Name final : public OpdFundTradePage {                                                              \
    public:                                                                                                   \
        static const char kPageClass[];                                                                       \
        explicit Name(BaseNode::Ptr node = nullptr, Services services = Services(),                           \
            OpdFundTradeViewController::Services formServices = {});                                          \
    };
LUMORA_FUND_TRADE_PAGE(SubscribeOpdFundViewController)
LUMORA_FUND_TRADE_PAGE(PurchaseOpdFundViewController)
LUMORA_FUND_TRADE_PAGE(RedeemOpdFundViewController)
LUMORA_FUND_TRADE_PAGE(TransformOpdFundViewController)
LUMORA_FUND_TRADE_PAGE(BonusSettingViewController)
#undef LUMORA_FUND_TRADE_PAGE

// The investment plan page (menu link id 30007): the plan agreement first;
// the list, the plan form and the chart only once the customer accepts it.
// Acceptance is never stored: a new set-up (a new page or another account)
// shows the agreement again.
class InvestOntimeViewController final : public OpdFundTradePage {
    Q_OBJECT
public:
    static const char kPageClass[];
    explicit InvestOntimeViewController(BaseNode::Ptr node = nullptr, Services services = Services(),
        OpdFundTradeViewController::Services formServices = {});

    static QString protocolText();
    bool isAccepted() const { return accepted_; }
    // acceptButtonClicked: makes the panels once; later presses do nothing.
    void acceptButtonClicked();

protected:
    void awakeFromNib() override;

private:
    bool accepted_ = false;
};

// Registers the operation pages with the page dispatch.
void registerFundTradePages();
