#include "trading/confirm/OrderAlertWindowController.h"

#include "core/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "trading/DMOrderType.h"

#include <QDebug>
#include <QEventLoop>
#include <QStringList>

namespace {

constexpr int kLockScreen = 3;

OrderAlertWindowController::ViewFactory& viewFactory()
{
    static OrderAlertWindowController::ViewFactory factory;
    return factory;
}

std::function<void(OrderAlertWindowController&)>& shownHook()
{
    static std::function<void(OrderAlertWindowController&)> hook;
    return hook;
}

// The price row of a stock order: the typed price for priced order types and
// for classes that carry a price limit with market-price types, else "市价委托".
QString priceRow(bool buy, const QString& orderType, const QString& price, const std::optional<QString>& classId)
{
    static const QStringList common = { QStringLiteral("限价委托"), QStringLiteral("盘后定价买入"),
        QStringLiteral("盘后定价卖出") };
    static const QStringList buyTitles = { QStringLiteral("增强限价买入"), QStringLiteral("竞价限价买入") };
    static const QStringList sellTitles = { QStringLiteral("增强限价卖出"), QStringLiteral("竞价限价卖出") };
    if (common.contains(orderType) || (buy ? buyTitles : sellTitles).contains(orderType))
        return price;
    if (classId && DMOrderType::supportPriceLimit(*classId))
        return price;
    return QStringLiteral("市价委托");
}

} // namespace

OrderAlertWindowController::OrderAlertWindowController(IDoConfigOrder* observer, Services services, QObject* parent)
    : QObject(parent)
    , theObserver_(observer)
    , services_(services)
    , orderParam_(OrderParam::stockInfo({}, {}, {}, {}, {}, {}))
{
    if (!services_.notificationCenter)
        services_.notificationCenter = NotificationCenter::getInstance();
    backstop_.setSingleShot(true);
    connect(&backstop_, &QTimer::timeout, this, &OrderAlertWindowController::backstopFired);
}

OrderAlertWindowController::~OrderAlertWindowController()
{
    if (loaded_)
        services_.notificationCenter->removeObserver(static_cast<QObject*>(this));
    if (loop_)
        loop_->exit(0);
}

void OrderAlertWindowController::setViewFactory(ViewFactory factory) { viewFactory() = std::move(factory); }

void OrderAlertWindowController::setShownHookForTesting(std::function<void(OrderAlertWindowController&)> hook)
{
    shownHook() = std::move(hook);
}

void OrderAlertWindowController::windowDidLoad()
{
    loaded_ = true;
    titleText_.clear();
    contentText_.clear();
    warningText_.clear();
    columnsVisible_ = tipVisible_ = warningVisible_ = true;
    services_.notificationCenter->addObserver(
        static_cast<QObject*>(this), [this] { lockScreen(); }, kLockScreen);
}

qint64 OrderAlertWindowController::run(
    OrderAlertEntry entry, QObject* parentWindow, const QStringList& values, std::optional<OrderParam> record)
{
    // A second entry while one runs would nest two dialogs over one page;
    // the first one is still the user's question, and the record it hands
    // over stays the one it shows.
    if (shown_)
        return 0;
    if (record)
        orderParam_ = std::move(*record);
    if (!loaded_) {
        windowDidLoad();
        if (viewFactory())
            view_ = viewFactory()(*this, parentWindow);
    }
    const OrderAlertEntryLayout& entryLayout = orderAlertEntryLayout(entry);
    entry_ = entry;
    parentWindow_ = parentWindow;
    theType_ = entryLayout.dialogType;
    windowTitle_ = QString::fromUtf8(entryLayout.windowTitle);
    windowSize_ = entryLayout.windowSize;
    confirmTitle_ = QString::fromUtf8(entryLayout.confirmTitle);
    switch (entryLayout.layout) {
    case OrderAlertEntryLayout::Layout::Columns:
        // Every entry with columns shows them, so a controller reused after
        // a several-orders cancel never shows a blank dialog.
        namesFrame_ = entryLayout.namesFrame;
        valuesFrame_ = entryLayout.valuesFrame;
        titleText_ = QString::fromUtf8(entryLayout.namesText);
        contentText_ = fillOrderAlertFormat(entryLayout.valuesFormat, values);
        tipText_ = QString::fromUtf8(entryLayout.question);
        columnsVisible_ = tipVisible_ = true;
        warningVisible_ = false;
        break;
    case OrderAlertEntryLayout::Layout::Message:
        warningText_ = QString::fromUtf8(entryLayout.message);
        columnsVisible_ = tipVisible_ = false;
        warningVisible_ = true;
        break;
    case OrderAlertEntryLayout::Layout::Collection:
        warningText_ = fillOrderAlertFormat(entryLayout.message, values);
        contentText_.clear();
        tipText_ = QString::fromUtf8(entryLayout.question);
        tipVisible_ = warningVisible_ = true;
        break;
    }

    shown_ = true;
    ++run_;
    // A run closed while busy (at the lock) left nothing busy behind, and
    // neither does an earlier backstop: the buttons work from the start.
    busy_ = false;
    backstop_.stop();
    runRelays_.clear();
    emit changed();
    const Watch alive = watch();
    if (view_)
        view_->showModal();
    {
        // The lock (or the application) may end the run from outside: the
        // dialog closes as at a lock, with no callback.
        platform::ModalSession session(
            platform::RunLoop::current(),
            [self = platform::WeakRef<OrderAlertWindowController>(this)] {
                if (OrderAlertWindowController* controller = self.get())
                    controller->lockScreen();
            },
            bool(shownHook()));
        QEventLoop loop;
        loop_ = &loop;
        if (shownHook())
            shownHook()(*this);
        if (alive.survived() && shown_)
            loop.exec(QEventLoop::DialogExec);
        if (alive.survived())
            loop_ = nullptr;
    }
    return 0;
}

void OrderAlertWindowController::setControlsStatus(bool busy)
{
    busy_ = busy;
    if (busy)
        backstop_.start(services_.busyBackstopMs);
    else
        backstop_.stop();
    emit changed();
}

void OrderAlertWindowController::closeWindow()
{
    if (!shown_)
        return; // ends no other window's modal run
    shown_ = false;
    if (view_)
        view_->closeWindow();
    parentWindow_.clear();
    if (loop_)
        loop_->exit(0);
    emit changed();
}

void OrderAlertWindowController::stopRunModal()
{
    setControlsStatus(false);
    closeWindow();
}

bool OrderAlertWindowController::stopRunModal(quint64 run)
{
    if (!shown_ || run != run_)
        return false;
    stopRunModal();
    return true;
}

bool OrderAlertWindowController::requestSent(const QString& handle)
{
    if (handle.isEmpty()) {
        stopRunModal();
        return false;
    }
    runOfRequest_[handle] = run_;
    return true;
}

bool OrderAlertWindowController::requestAnswered(const QString& handle)
{
    return stopRunModal(takeRunOf(handle));
}

quint64 OrderAlertWindowController::takeRunOf(const QString& handle)
{
    const auto it = runOfRequest_.find(handle);
    if (it == runOfRequest_.end())
        return 0;
    const quint64 run = it->second;
    runOfRequest_.erase(it);
    return run;
}

void OrderAlertWindowController::cancelButtonClicked()
{
    if (busy_ || !shown_)
        return;
    stopRunModal();
}

// The dialog goes, and with it its busy state: the request already sent
// goes on, and its answer finds the page, not this run's buttons.
void OrderAlertWindowController::lockScreen()
{
    stopRunModal();
}

void OrderAlertWindowController::backstopFired()
{
    if (!busy_)
        return;
    const int type = theType_;
    const QString words = QString::fromUtf8(orderAlertUnknownOutcome(entry_));
    const std::vector<platform::WeakRef<ActionOutcomeRelay>> relays = std::exchange(runRelays_, {});
    stopRunModal();
    // The run's relays tell it, each once, whatever the page does.
    int waiting = 0;
    for (const auto& started : relays) {
        if (ActionOutcomeRelay* relay = started.get()) {
            relay->timeLimitPassed(words);
            ++waiting;
        }
    }
    if (waiting == 0)
        qWarning() << "confirmation: time limit passed with no relay of its run";
    if (IDoConfigOrder* observer = theObserver_.get())
        observer->doConfigOrderTimeLimitPassed(type);
}

void OrderAlertWindowController::confirmButtonClicked()
{
    // One confirmation per run: Enter held down or a double click reaches
    // here again while the first request is on its way.
    if (busy_ || !shown_)
        return;
    setControlsStatus(true);
    IDoConfigOrder* observer = theObserver_.get();
    if (!observer)
        return;
    const OrderParam confirmed = orderParam_; // the record the user saw
    const int type = theType_;
    const Watch alive = watch();
    // What the observer sends goes through relays it starts now: they are
    // this run's.
    ActionOutcomeRelay::Started started;
    switch (type) {
    case 0:
    case 1:
    case 3:
        observer->doConfigOrderForStockTrade(type, confirmed);
        break;
    case 16:
        observer->doConfigOrderForHKVote(type, confirmed);
        break;
    case 17:
    case 18:
        observer->doConfigOrderForHKOtherVote(type, confirmed);
        break;
    default:
        observer->doConfigOrder(type);
        break;
    }
    if (alive.survived())
        runRelays_ = started.take();
}

qint64 OrderAlertWindowController::runModalForCommonBuy(QObject* parentWindow, const QString& securityId,
    const QString& stockCode, const QString& stockName, const QString& orderType, const QString& price,
    const QString& quantity, const std::optional<QString>& classId)
{
    return runCommonOrder(true, parentWindow, { securityId, stockCode, stockName, orderType, price, quantity }, classId);
}

qint64 OrderAlertWindowController::runModalForCommonSell(QObject* parentWindow, const QString& securityId,
    const QString& stockCode, const QString& stockName, const QString& orderType, const QString& price,
    const QString& quantity, const std::optional<QString>& classId)
{
    return runCommonOrder(false, parentWindow, { securityId, stockCode, stockName, orderType, price, quantity }, classId);
}

// Fields: security id, code, name, order-type title, price, quantity.
qint64 OrderAlertWindowController::runCommonOrder(
    bool buy, QObject* parentWindow, QStringList fields, const std::optional<QString>& classId)
{
    OrderParam record = OrderParam::stockInfo(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]);
    fields[4] = priceRow(buy, fields[3], fields[4], classId);
    return run(buy ? OrderAlertEntry::CommonBuy : OrderAlertEntry::CommonSell, parentWindow, fields, std::move(record));
}

qint64 OrderAlertWindowController::runModalForLGSell(QObject* parentWindow, const QString& securityId,
    const QString& stockCode, const QString& stockName, const QString& price, const QString& quantity)
{
    return run(OrderAlertEntry::LGSell, parentWindow, { securityId, stockCode, stockName, price, quantity },
        OrderParam::stockInfo(securityId, stockCode, stockName, {}, price, quantity));
}

qint64 OrderAlertWindowController::runModalForExerciseWarrant(QObject* parentWindow, const QString& securityId,
    const QString& stockCode, const QString& stockName, const QString& price, const QString& quantity)
{
    return run(OrderAlertEntry::ExerciseWarrant, parentWindow, { securityId, stockCode, stockName, price, quantity },
        OrderParam::stockInfo(securityId, stockCode, stockName, {}, price, quantity));
}

qint64 OrderAlertWindowController::runModalForNewStockBuy(QObject* parentWindow, const QString& securityId,
    const QString& stockCode, const QString& stockName, const QString& price, const QString& quantity)
{
    return run(OrderAlertEntry::NewStockBuy, parentWindow, { securityId, stockCode, stockName, price, quantity },
        OrderParam::stockInfo(securityId, stockCode, stockName, {}, price, quantity));
}

qint64 OrderAlertWindowController::runModalForCancelOrder(QObject* parentWindow, const QString& securityId,
    const QString& stockCode, const QString& stockName, const QString& price, const QString& quantity,
    const QString& bsType, const QString& orderNumber)
{
    return run(OrderAlertEntry::CancelOrder, parentWindow,
        { securityId, stockCode, stockName, price, quantity, bsType, orderNumber });
}

qint64 OrderAlertWindowController::runModalForCancelOrders(QObject* parentWindow)
{
    return run(OrderAlertEntry::CancelOrders, parentWindow, {});
}

qint64 OrderAlertWindowController::runModalForHGTVote(QObject* parentWindow, const QString& securityId,
    const QString& stockCode, const QString& stockName, const QString& publicNo, const QString& billNo,
    const QString& upNo, const QString& downNo, const QString& freeNo)
{
    return run(OrderAlertEntry::HGTVote, parentWindow,
        { securityId, stockCode, stockName, publicNo, billNo, upNo, downNo, freeNo },
        OrderParam::voteInfo(securityId, stockCode, stockName, publicNo, billNo, upNo, downNo, freeNo));
}

qint64 OrderAlertWindowController::runModalForHGTOtherVote(QObject* parentWindow, const QString& securityId,
    const QString& stockCode, const QString& stockName, qint64 voteType, const QString& voteTypeTitle,
    const QString& voteQuantity, const QString& orgNo)
{
    return run(OrderAlertEntry::HGTOtherVote, parentWindow,
        { securityId, stockCode, stockName, voteTypeTitle, orgNo, voteQuantity },
        OrderParam::otherVoteInfo(securityId, stockCode, stockName, voteTypeTitle, voteType, voteQuantity, orgNo));
}

qint64 OrderAlertWindowController::runModalForCancelHGTOtherVote(QObject* parentWindow, const QString& securityId,
    const QString& stockCode, const QString& voteTypeTitle, qint64 voteType, const QString& voteQuantity,
    const QString& orgNo)
{
    return run(OrderAlertEntry::CancelHGTOtherVote, parentWindow,
        { securityId, stockCode, voteTypeTitle, orgNo, voteQuantity },
        OrderParam::otherVoteInfo(securityId, stockCode, {}, voteTypeTitle, voteType, voteQuantity, orgNo));
}

qint64 OrderAlertWindowController::runModalForCancelOtherVotes(QObject* parentWindow)
{
    return run(OrderAlertEntry::CancelOtherVotes, parentWindow, {});
}

qint64 OrderAlertWindowController::runModalForSubscribeOpdFund(
    QObject* parentWindow, const QString& fundName, const QString& fundCode, const QString& fundAmount)
{
    return run(OrderAlertEntry::SubscribeOpdFund, parentWindow, { fundCode, fundName, fundAmount });
}

qint64 OrderAlertWindowController::runModalForPurchaseOpdFund(
    QObject* parentWindow, const QString& fundName, const QString& fundCode, const QString& fundAmount)
{
    return run(OrderAlertEntry::PurchaseOpdFund, parentWindow, { fundCode, fundName, fundAmount });
}

qint64 OrderAlertWindowController::runModalForRedeemOpdFund(QObject* parentWindow, const QString& fundName,
    const QString& fundCode, const QString& fundAmount, const QString& redeemType)
{
    return run(OrderAlertEntry::RedeemOpdFund, parentWindow, { fundCode, fundName, fundAmount, redeemType });
}

qint64 OrderAlertWindowController::runModalForTransformOpdFund(QObject* parentWindow, const QString& fundName,
    const QString& fundCode, const QString& fundAmount, const QString& codeOfTransformTo,
    const QString& nameOfTransformTo)
{
    return run(OrderAlertEntry::TransformOpdFund, parentWindow,
        { fundCode, fundName, codeOfTransformTo, nameOfTransformTo, fundAmount });
}

qint64 OrderAlertWindowController::runModalForBonusSetting(
    QObject* parentWindow, const QString& fundName, const QString& fundCode, const QString& bonusTypeTitle)
{
    return run(OrderAlertEntry::BonusSetting, parentWindow, { fundCode, fundName, bonusTypeTitle });
}

qint64 OrderAlertWindowController::runModalForInvestOntime(QObject* parentWindow, const QString& fundCode,
    const QString& fundName, const QString& paymentType, const QString& periodTypeDesc,
    const QString& paymentDayDesc, const QString& expireTypeDesc, const QString& orderAmount,
    const QString& beginDate, const QString& endDate, const QString& applyDate)
{
    return run(OrderAlertEntry::InvestOntime, parentWindow,
        { fundCode, fundName, paymentType, periodTypeDesc, paymentDayDesc, orderAmount, expireTypeDesc, beginDate,
            endDate, applyDate });
}

qint64 OrderAlertWindowController::runModalForOpdFundCancelOrder(QObject* parentWindow, const QString& fundName,
    const QString& fundCode, const QString& bsType, const QString& orderNumber)
{
    return run(OrderAlertEntry::OpdFundCancelOrder, parentWindow, { fundCode, fundName, bsType, orderNumber });
}

qint64 OrderAlertWindowController::runModalForOpdFundCancelOrders(QObject* parentWindow)
{
    return run(OrderAlertEntry::OpdFundCancelOrders, parentWindow, {});
}

qint64 OrderAlertWindowController::runModalForOpdFundInvestOntimeCancelOrder(QObject* parentWindow,
    const QString& fundName, const QString& fundCode, const QString& periodTypeDesc, const QString& paymentDayDesc,
    const QString& orderAmount, const QString& expireTypeDesc, const QString& beginDate, const QString& endDate,
    const QString& applyDate, const QString& orderNumber)
{
    return run(OrderAlertEntry::OpdFundInvestOntimeCancelOrder, parentWindow,
        { orderNumber, fundCode, fundName, periodTypeDesc, paymentDayDesc, orderAmount, expireTypeDesc, beginDate,
            endDate, applyDate });
}

qint64 OrderAlertWindowController::runModalForOpdFundInvestOntimeCancelOrders(QObject* parentWindow)
{
    return run(OrderAlertEntry::OpdFundInvestOntimeCancelOrders, parentWindow, {});
}

qint64 OrderAlertWindowController::runModalForFundTransferBankToStock(QObject* parentWindow,
    const QString& bankName, const QString& moneyTypeName, const QString& transformAmount)
{
    return run(
        OrderAlertEntry::FundTransferBankToStock, parentWindow, { bankName, moneyTypeName, transformAmount });
}

qint64 OrderAlertWindowController::runModalForFundTransferStockToBank(QObject* parentWindow,
    const QString& bankName, const QString& moneyTypeName, const QString& transformAmount)
{
    return run(
        OrderAlertEntry::FundTransferStockToBank, parentWindow, { bankName, moneyTypeName, transformAmount });
}

qint64 OrderAlertWindowController::runModalForFundInsideTransfer(QObject* parentWindow,
    const QString& outFundIdInfo, const QString& inFundIdInfo, const QString& moneyTypeName,
    const QString& transformAmount)
{
    return run(OrderAlertEntry::FundInsideTransfer, parentWindow,
        { moneyTypeName, outFundIdInfo, inFundIdInfo, transformAmount });
}

qint64 OrderAlertWindowController::runModalForFundCollection(QObject* parentWindow, const QString& fundId)
{
    return run(OrderAlertEntry::FundCollection, parentWindow, { fundId });
}
