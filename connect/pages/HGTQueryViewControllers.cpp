#include "connect/pages/HGTQueryViewControllers.h"

#include "connect/pages/HGTCancelOrderViewController.h"
#include "connect/pages/HGTOutcomeRelays.h"
#include "connect/pages/HGTVoteViewControllers.h"
#include "platform/ChinaClock.h"
#include "shell/pages/MenuItemViewManager.h"

namespace {

HGTCancelConfirmAlertWC::ViewFactory& viewFactory()
{
    static HGTCancelConfirmAlertWC::ViewFactory factory;
    return factory;
}

std::function<void(HGTCancelConfirmAlertWC&)>& shownHook()
{
    static std::function<void(HGTCancelConfirmAlertWC&)> hook;
    return hook;
}

HGTRequestManager* shared(HGTRequestManager* manager)
{
    return manager ? manager : HGTRequestManager::getInstance();
}

QString domainOf(const CSError& error)
{
    return DataModel::getNetworkError(error).domain;
}

// The list pages' channels: the request's handle covers the code or the
// dates asked.
constexpr char kNotices[] = "notices";
constexpr char kTargets[] = "targets";
constexpr char kDeclarations[] = "declarations";

// A typed value no request could carry is refused in a tip on `page`,
// naming its field.
bool sendable(MenuItemViewController& page, const QString& field, const QString& value)
{
    const std::optional<QString> why = typednumber::problem(field, value);
    if (why)
        page.alerts()->runAlert(AlertRequest::tip(*why), {});
    return !why;
}

} // namespace

// --- The withdrawal quantity window ---

void HGTCancelConfirmAlertWC::setViewFactory(ViewFactory factory)
{
    viewFactory() = std::move(factory);
}

void HGTCancelConfirmAlertWC::setShownHookForTesting(std::function<void(HGTCancelConfirmAlertWC&)> hook)
{
    shownHook() = std::move(hook);
}

void HGTCancelConfirmAlertWC::runModal(QObject* parentWindow, const QString& securityId, const QString& stockCode,
    const QString& voteTypeTitle, qint32 voteType, const QString& orgNo)
{
    securityId_ = securityId;
    stockCode_ = stockCode;
    voteTypeDesc_ = voteTypeTitle;
    voteType_ = voteType;
    orgNo_ = orgNo;
    quantityText_.clear();
    shown_ = true;
    if (viewFactory())
        viewFactory()(*this, parentWindow);
    if (shownHook())
        shownHook()(*this);
}

void HGTCancelConfirmAlertWC::confirmButtonClicked()
{
    if (shown_)
        end(OrderParam::otherVoteInfo(
            securityId_, stockCode_, QString(), voteTypeDesc_, voteType_, quantityText_, orgNo_));
}

void HGTCancelConfirmAlertWC::cancelButtonClicked()
{
    if (shown_)
        end(std::nullopt);
}

void HGTCancelConfirmAlertWC::end(std::optional<OrderParam> param)
{
    shown_ = false;
    emit closeRequested();
    emit finished(param);
}

// --- Declarations and their withdrawal ---

HGTCancelVoteViewController::HGTCancelVoteViewController(BaseNode::Ptr node, HGTPageServices services)
    : MenuItemViewController(std::move(node), services.page)
    , requestManager(shared(services.requestManager))
    , chinaToday_(services.chinaToday ? std::move(services.chinaToday)
                                      : std::function<QDate()>([] { return platform::ChinaClock::now().date(); }))
    , alertWindowController_(this, services.dialog)
    , table_(TableKind::Common)
{
}

HGTCancelVoteViewController::~HGTCancelVoteViewController() = default;

void HGTCancelVoteViewController::awakeFromNib()
{
    progress_ = false;
    beginDate_ = endDate_ = chinaToday_();
    query(false);
}

void HGTCancelVoteViewController::willDropRequests()
{
    querying_ = progress_ = false;
    if (cancelConfirmAlert_)
        cancelConfirmAlert_->cancelButtonClicked();
    alertWindowController_.stopRunModal();
}

void HGTCancelVoteViewController::clearAccountFigures()
{
    declarations_.reset();
    table_.show(nullptr, true);
    countText_ = QStringLiteral("0");
    emit changed();
}

bool HGTCancelVoteViewController::verifyInput()
{
    const QString begin = getDateString(beginDate_);
    const QString end = getDateString(endDate_);
    if (begin.toLongLong() > end.toLongLong()) {
        alerts()->runAlert(AlertRequest::error(QString::fromUtf8(kDateOrderFormat).arg(begin, end)), {});
        return false;
    }
    return true;
}

void HGTCancelVoteViewController::queryButtonClicked()
{
    if (querying_ || !verifyInput())
        return;
    querying_ = true; // beginToQuery
    progress_ = true;
    emit changed();
    query(true);
}

void HGTCancelVoteViewController::query(bool fromButton)
{
    // Only the listing of the dates asked last is shown: the set-up's own,
    // still on its way, is not, nor does it free the pickers.
    QString why;
    const QString handle = requestManager->requestHGTQueryOtherVote(
        this, getDateString(beginDate_), getDateString(endDate_), &why);
    if (!handle.isEmpty()) {
        askedFor().ask(QString::fromLatin1(kDeclarations), handle);
        return;
    }
    askedFor().settle(QString::fromLatin1(kDeclarations));
    alerts()->runAlert(AlertRequest::error(why), {});
    if (fromButton)
        endToQuery();
}

void HGTCancelVoteViewController::endToQuery()
{
    querying_ = false;
    progress_ = false;
    emit changed();
}

void HGTCancelVoteViewController::hgtQueryOtherVote(
    DataModel*, const QString& handle, const std::shared_ptr<DTHGTOtherVoteTable>& table)
{
    if (!askedFor().take(QString::fromLatin1(kDeclarations), handle))
        return; // an earlier listing's
    declarations_ = table;
    table_.show(table, true);
    countText_ = QString::number(table ? table->contentObjectArray().size() : 0);
    endToQuery();
}

bool HGTCancelVoteViewController::hgtQueryOtherVote(DataModel*, const QString& handle, const CSError& error)
{
    if (!askedFor().take(QString::fromLatin1(kDeclarations), handle))
        return true;
    alerts()->runAlert(AlertRequest::error(domainOf(error)), {});
    countText_ = QStringLiteral("0");
    endToQuery();
    return true;
}

void HGTCancelVoteViewController::ordersTableViewClicked(int row)
{
    if (!declarations_ || row < 0 || row >= declarations_->contentObjectArray().size()
        || (cancelConfirmAlert_ && cancelConfirmAlert_->isShown()) || alertWindowController_.isShown())
        return;
    const RDOHGTOtherVoteInfo record = declarations_->recordAt(row);
    // Only a type the client knows is withdrawn: a guess would withdraw
    // from another corporate action.
    const std::optional<qint32> type = hkVoteTypeOfCode(record.hkType);
    if (!type) {
        alerts()->runAlert(
            AlertRequest::error(QStringLiteral("无法识别的业务类型“%1”，不能撤销").arg(record.hkType)), {});
        return;
    }
    cancelConfirmAlert_ = std::make_unique<HGTCancelConfirmAlertWC>();
    connect(cancelConfirmAlert_.get(), &HGTCancelConfirmAlertWC::finished, this,
        [this](const std::optional<OrderParam>& param) {
            if (!param)
                return;
            // After the window's own handler has returned.
            QMetaObject::invokeMethod(this, [this, p = *param] { confirmWithdrawal(p); }, Qt::QueuedConnection);
        });
    cancelConfirmAlert_->runModal(
        parentWindow_.data(), record.tradeAccount, record.stockCode, record.hkTypeDesc, *type, record.orgNo);
}

void HGTCancelVoteViewController::confirmWithdrawal(const OrderParam& p)
{
    // The quantity goes on as typed, an empty one too: the server judges
    // it, once a request can carry it.
    if (isUnloaded())
        return;
    if (!sendable(*this, QStringLiteral("撤销数量"), p.voteQuantity()))
        return;
    alertWindowController_.runModalForCancelHGTOtherVote(parentWindow_.data(), p.securityId(), p.stockCode(),
        p.voteTypeTitle(), p.voteType(), p.voteQuantity(), p.orgNo());
}

bool HGTCancelVoteViewController::doConfigOrderForHKOtherVote(int, const OrderParam& p)
{
    QString why;
    // Heard through a relay, so the answer is told also once the page left.
    auto& relay = ActionOutcomeRelay::start<HGTWithdrawalRelay>(
        ActionOutcomeRelay::pageOf(*this), *this, &HGTDeclarePage::submittedDeclarationText);
    const QString handle = requestManager->requestHGTCancelOtherVote(
        &relay, p.stockCode(), qint32(p.voteType()), p.voteQuantity(), p.orgNo(), p.securityId(), &why);
    relay.sent(handle);
    if (!alertWindowController_.requestSent(handle))
        alerts()->runAlert(AlertRequest::error(why), {});
    return true;
}

// A row can be clicked again once the lock has closed the dialog of a
// withdrawal still on its way: its answer leaves the next one's dialog open.
void HGTCancelVoteViewController::hgtCancelOtherVote(DataModel*, const QString& handle, const QString& serialNo)
{
    // A reply without its serial number arrives as an unknown outcome.
    alertWindowController_.requestAnswered(handle);
    lastSerialNo_ = serialNo;
    ActionOutcomeRelay::tell(alerts(), AlertRequest::tip(HGTDeclarePage::submittedDeclarationText(serialNo)));
    emit changed();
}

bool HGTCancelVoteViewController::hgtCancelOtherVote(DataModel*, const QString& handle, const CSError& error)
{
    alertWindowController_.requestAnswered(handle);
    ActionOutcomeRelay::tell(alerts(), AlertRequest::error(domainOf(error)));
    return true;
}

// --- Notifications ---

HGTQueryNotificationViewController::HGTQueryNotificationViewController(BaseNode::Ptr node, HGTPageServices services)
    : MenuItemViewController(std::move(node), services.page)
    , requestManager(shared(services.requestManager))
{
}

void HGTQueryNotificationViewController::queryButtonClick()
{
    if (code_.isEmpty()) {
        alerts()->runAlert(AlertRequest::tip(QStringLiteral("请输入证券代码。")), {});
        return;
    }
    if (!sendable(*this, QStringLiteral("证券代码"), code_))
        return;
    QString why;
    const QString handle = requestManager->requestHGTQueryNotification(this, code_, &why);
    if (handle.isEmpty()) {
        alerts()->runAlert(AlertRequest::error(why), {});
        return;
    }
    askedFor().ask(QString::fromLatin1(kNotices), handle);
    askedCode_ = code_;
    progress_ = true;
    emit changed();
}

void HGTQueryNotificationViewController::answerFor(const QString& code)
{
    // The notices shown stay only for the code they are of.
    if (code != shownCode_)
        contentArray.clear();
    shownCode_ = code;
}

void HGTQueryNotificationViewController::hgtQueryNotification(
    DataModel*, const QString& handle, const DTHGTNotificationList& list)
{
    if (!askedFor().take(QString::fromLatin1(kNotices), handle))
        return; // an earlier query's
    progress_ = false;
    answerFor(askedCode_);
    if (!list.empty())
        contentArray = list;
    emit changed();
}

bool HGTQueryNotificationViewController::hgtQueryNotification(
    DataModel*, const QString& handle, const CSError& error)
{
    if (!askedFor().take(QString::fromLatin1(kNotices), handle))
        return true;
    progress_ = false;
    answerFor(askedCode_);
    alerts()->runAlert(AlertRequest::error(domainOf(error)), {});
    emit changed();
    return true;
}

void HGTQueryNotificationViewController::clearAccountFigures()
{
    contentArray.clear();
    shownCode_.clear();
    progress_ = false;
    emit changed();
}

// --- Eligible stocks ---

HGTQueryStockTargetViewController::HGTQueryStockTargetViewController(BaseNode::Ptr node, HGTPageServices services)
    : MenuItemViewController(std::move(node), services.page)
    , requestManager(shared(services.requestManager))
{
}

void HGTQueryStockTargetViewController::queryButtonClick()
{
    if (!sendable(*this, QStringLiteral("证券代码"), code_))
        return;
    QString why;
    const QString handle = requestManager->requestHGTQueryStockTarget(this, code_, &why);
    if (handle.isEmpty()) {
        alerts()->runAlert(AlertRequest::error(why), {});
        return;
    }
    askedFor().ask(QString::fromLatin1(kTargets), handle);
    askedCode_ = code_;
    progress_ = true;
    emit changed();
}

void HGTQueryStockTargetViewController::hgtQueryStockTarget(
    DataModel*, const QString& handle, const DTTablePtr& table)
{
    if (!askedFor().take(QString::fromLatin1(kTargets), handle))
        return; // an earlier query's
    progress_ = false;
    targets_ = table;
    shownCode_ = askedCode_;
    emit changed();
}

bool HGTQueryStockTargetViewController::hgtQueryStockTarget(
    DataModel*, const QString& handle, const CSError& error)
{
    if (!askedFor().take(QString::fromLatin1(kTargets), handle))
        return true;
    progress_ = false;
    // The list shown stays only for the code it is of.
    if (askedCode_ != shownCode_)
        targets_.reset();
    shownCode_ = askedCode_;
    alerts()->runAlert(AlertRequest::error(domainOf(error)), {});
    emit changed();
    return true;
}

void HGTQueryStockTargetViewController::clearAccountFigures()
{
    targets_.reset();
    shownCode_.clear();
    progress_ = false;
    emit changed();
}

// --- Permissions ---

namespace {

PermissionSettingsViewController::Services withConnectList(
    PermissionSettingsViewController::Services services, HGTRequestManager* manager)
{
    services.listSource = [manager](IQueryPermissionInfoDelegate* observer) {
        return shared(manager)->requestHGTQueryPermissionInfo(observer);
    };
    return services;
}

} // namespace

HGTPermissionSettingsViewController::HGTPermissionSettingsViewController(
    BaseNode::Ptr node, PermissionSettingsViewController::Services services, HGTRequestManager* requestManager)
    : PermissionSettingsViewController(std::move(node), withConnectList(std::move(services), requestManager))
{
}

// --- The page factory ---

namespace {

template <class Page> void registerPage(MenuItemViewManager* manager)
{
    manager->registerPageClass(QString::fromLatin1(Page::kPageClass),
        [](const BaseNode::Ptr& node) -> std::unique_ptr<MenuItemViewController> {
            return std::make_unique<Page>(node);
        });
}

} // namespace

void registerConnectPages(MenuItemViewManager* manager)
{
    manager = manager ? manager : MenuItemViewManager::getInstance();
    manager->registerPageClass(QStringLiteral("HGTTradeViewController"),
        [](const BaseNode::Ptr& node) { return std::make_unique<HGTTradeViewController>(node); });
    manager->registerPageClass(QStringLiteral("HGTZSSellViewController"),
        [](const BaseNode::Ptr& node) { return std::make_unique<HGTZSSellViewController>(node); });
    manager->registerPageClass(QStringLiteral("HGTLGSellViewController"),
        [](const BaseNode::Ptr& node) { return std::make_unique<HGTLGSellViewController>(node); });
    registerPage<HGTCancelOrderViewController>(manager);
    registerPage<HGTQueryStockTargetViewController>(manager);
    registerPage<HGTVoteViewController>(manager);
    registerPage<HGTOtherVoteViewController>(manager);
    registerPage<HGTCancelVoteViewController>(manager);
    registerPage<HGTQueryNotificationViewController>(manager);
    registerPage<HGTPermissionSettingsViewController>(manager);
}
