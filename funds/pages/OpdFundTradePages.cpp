#include "funds/pages/OpdFundTradePages.h"

#include "shell/pages/MenuItemViewManager.h"

// The form's boxes go wherever the page's go, even when the view gives its
// presenter after the panels were made.
class OpdFundTradePage::PageAlerts final : public AlertPresenter {
public:
    explicit PageAlerts(OpdFundTradePage& page)
        : page_(page)
    {
    }
    void runAlert(const AlertRequest& request, Completion completion) override
    {
        page_.alerts()->runAlert(request, std::move(completion));
    }

private:
    OpdFundTradePage& page_;
};

OpdFundTradePage::OpdFundTradePage(BaseNode::Ptr node, Services services, qint32 viewType, SourceFactory source,
    OpdFundTradeViewController::Services formServices)
    : MenuItemViewController(std::move(node), services)
    , viewType_(viewType)
    , source_(std::move(source))
    , formServices_(formServices)
    , formAlerts_(std::make_unique<PageAlerts>(*this))
{
}

OpdFundTradePage::~OpdFundTradePage() = default;

void OpdFundTradePage::awakeFromNib()
{
    makePanels();
}

void OpdFundTradePage::willDropRequests()
{
    // An account change makes them anew in the set-up that follows.
    if (isUnloaded())
        dropPanels();
}

void OpdFundTradePage::dropPanels()
{
    form_.reset();
    quote_.reset();
    list_.reset();
    emit panelsChanged();
}

void OpdFundTradePage::makePanels()
{
    // The form goes last-made-first: the list and chart hold it weakly.
    form_.reset();
    list_ = std::make_unique<OpdFundListViewController>(source_());
    form_ = std::make_unique<OpdFundTradeViewController>(viewType_, formServices_);
    quote_ = std::make_unique<FundQuoteViewController>();
    form_->setAlertPresenter(formAlerts_.get());
    list_->addTableObserver(form_.get());
    form_->addFundChangedObserver(quote_.get());
    // An order changed the customer's figures: the list shows what the
    // server has.
    connect(form_.get(), &OpdFundTradeViewController::figuresChanged, list_.get(),
        [list = list_.get()] { list->requestTableContent(); });
    // The figures owed are read again with the panels' own reads.
    const bool holdings = figuresShown().contains(QLatin1String(owedfigure::kFundShares));
    connect(list_.get(), &OpdFundListViewController::contentRead, this, [this, holdings](bool withRows) {
        if (holdings)
            figureRead(owedfigure::kFundShares, withRows);
    });
    connect(form_.get(), &OpdFundTradeViewController::moneyRead, this,
        [this](bool withRows) { figureRead(owedfigure::kMoney, withRows); });
    connect(form_.get(), &OpdFundTradeViewController::bonusSettingRead, this,
        [this](bool withRows) { figureRead(owedfigure::kFundDividends, withRows); });
    form_->awakeFromNib();
    list_->requestTableContent();
    emit panelsChanged();
}

QStringList OpdFundTradePage::figuresShown() const
{
    switch (viewType_) {
    case OpdFundTradeViewController::Subscribe:
    case OpdFundTradeViewController::Purchase:
        return { owedfigure::kMoney };
    case OpdFundTradeViewController::Redeem:
    case OpdFundTradeViewController::Transform:
        return { owedfigure::kFundShares };
    case OpdFundTradeViewController::Bonus:
        return { owedfigure::kFundShares, owedfigure::kFundDividends };
    default:
        return {};
    }
}

QStringList OpdFundTradePage::readOwed(const QStringList& owed)
{
    ReadsAskedAgain reads(owed);
    reads.ask(owedfigure::kFundShares, [this] {
        if (!list_ || !form_)
            return false;
        form_->rereadPosition();
        list_->requestTableContent();
        return true;
    });
    reads.ask(owedfigure::kMoney, [this] { return form_ && form_->requestAvailableBalance(); });
    reads.ask(owedfigure::kFundDividends, [this] { return form_ && form_->rereadBonusSetting(); });
    return reads.asked();
}

namespace {

template <class Source> OpdFundTradePage::SourceFactory sourceOf()
{
    return [] { return std::make_unique<Source>(); };
}

} // namespace

#define LUMORA_FUND_TRADE_PAGE_DEFINE(Name, Source, Type)                                                     \
    const char Name::kPageClass[] = #Name;                                                                    \
    Name::Name(BaseNode::Ptr node, Services services, OpdFundTradeViewController::Services formServices)      \
        : OpdFundTradePage(std::move(node), services, OpdFundTradeViewController::Type, sourceOf<Source>(),   \
            formServices)                                                                                     \
    {                                                                                                         \
    }
LUMORA_FUND_TRADE_PAGE_DEFINE(SubscribeOpdFundViewController, SubscribeOpenFundList, Subscribe)
LUMORA_FUND_TRADE_PAGE_DEFINE(PurchaseOpdFundViewController, PurchaseOpenFundList, Purchase)
LUMORA_FUND_TRADE_PAGE_DEFINE(RedeemOpdFundViewController, RedeemOpenFundList, Redeem)
LUMORA_FUND_TRADE_PAGE_DEFINE(TransformOpdFundViewController, TransformOpenFundList, Transform)
LUMORA_FUND_TRADE_PAGE_DEFINE(BonusSettingViewController, BonusSettingOpenFundList, Bonus)
#undef LUMORA_FUND_TRADE_PAGE_DEFINE

const char InvestOntimeViewController::kPageClass[] = "InvestOntimeViewController";

InvestOntimeViewController::InvestOntimeViewController(
    BaseNode::Ptr node, Services services, OpdFundTradeViewController::Services formServices)
    : OpdFundTradePage(std::move(node), services, OpdFundTradeViewController::Plan, sourceOf<InvestOntimeOpenFundList>(),
        formServices)
{
}

void InvestOntimeViewController::awakeFromNib()
{
    // Whoever is logged in now has not accepted yet.
    accepted_ = false;
    dropPanels();
}

void InvestOntimeViewController::acceptButtonClicked()
{
    if (accepted_)
        return;
    accepted_ = true;
    makePanels();
}

QString InvestOntimeViewController::protocolText()
{
    return QStringLiteral(
        "先阅读基金定投协议书\n\n"
        "一、基金智能定投业务是指客户选定基金，约定每期投资金额、期满条件及扣款日期，授权启衡证券营业部定期从客户资金账户扣款，"
        "营业部在约定的扣款日扣款并为客户申购该基金。\n"
        "二、客户只能选择启衡证券代销且已开通定投申购业务的基金。\n"
        "三、每期投资金额原则上不低于100元，且不低于基金公司规定的定投申购最低金额。\n"
        "四、在定投期内，客户对同一只基金只能申请一个定投计划。\n"
        "五、扣款日为每周的星期一至星期五中的一天，或每月的1号至26号中的一天。扣款日客户资金账户须状态正常且资金充足；"
        "某期扣款失败视为客户放弃当期申购；因客户自身原因连续三期放弃申购的，启衡证券可终止该定投计划。\n"
        "六、扣款成功之日（T日）为基金申购申请日，以当日基金份额净值为申购价格；客户可于T+2日起到营业部打印申购确认单。\n"
        "七、本协议由启衡证券负责解释。启衡证券可自行调整扣款日期、宽限期及其他条款，调整自公布之日起生效，不另行通知。\n"
        "八、基金暂停申购期间，是否继续扣款以基金公司公告为准。\n\n"
        "客户声明：本人/本机构确认已在启衡证券开立该基金的注册登记账户，已阅读基金合同、最新招募说明书、业务规则及基金的其他公告，"
        "接受其全部法律条款，自愿申请基金定投，保证所提供的信息真实，并了解和自行承担投资风险。");
}

namespace {

template <class Page> void registerPage()
{
    MenuItemViewManager::getInstance()->registerPageClass(
        QString::fromLatin1(Page::kPageClass), [](const BaseNode::Ptr& node) { return std::make_unique<Page>(node); });
}

} // namespace

void registerFundTradePages()
{
    registerPage<SubscribeOpdFundViewController>();
    registerPage<PurchaseOpdFundViewController>();
    registerPage<RedeemOpdFundViewController>();
    registerPage<TransformOpdFundViewController>();
    registerPage<BonusSettingViewController>();
    registerPage<InvestOntimeViewController>();
}
