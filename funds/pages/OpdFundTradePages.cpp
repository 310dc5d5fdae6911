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
    // The form goes last-made-first: the list and chart hold it weakly.
    form_.reset();
    list_ = std::make_unique<OpdFundListViewController>(source_());
    form_ = std::make_unique<OpdFundTradeViewController>(viewType_, formServices_);
    quote_ = std::make_unique<FundQuoteViewController>();
    form_->setAlertPresenter(formAlerts_.get());
    list_->addTableObserver(form_.get());
    form_->addFundChangedObserver(quote_.get());
    // An order whose outcome is unknown: the list shows what the server has.
    connect(form_.get(), &OpdFundTradeViewController::outcomeUnknown, list_.get(),
        [list = list_.get()] { list->requestTableContent(); });
    form_->awakeFromNib();
    list_->requestTableContent();
    emit panelsChanged();
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
}
