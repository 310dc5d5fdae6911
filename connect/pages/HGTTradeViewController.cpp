#include "connect/pages/HGTTradeViewController.h"

#include "connect/pages/HGTOutcomeRelays.h"
#include "core/TypedNumber.h"
#include "core/UserDefaultConfig.h"
#include "login/AccountManager.h"
#include "platform/ChinaClock.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "trading/DMOrderType.h"
#include "trading/requests/TradeQueryRecords.h"
#include "trading/security/Security.h"
#include "trading/security/StockManager.h"

#include <algorithm>

namespace {

constexpr char kInfoText[] = "security_info_text";
constexpr char kInfoId[] = "security_info_id";
constexpr int kCodeLength = 5;
// What the page's answers are asked for, each by the handle of its request
// (it covers the code and every other field it was asked with). A quote and
// a chart the customer's code asked for fill the form; the timer's refresh
// and its chart only the panel, so each has a channel of its own.
constexpr char kQuote[] = "quote";
constexpr char kChart[] = "chart";
constexpr char kRefresh[] = "refresh";
constexpr char kRefreshChart[] = "refresh chart";
constexpr char kRate[] = "rate"; // the rates asked after a first quote
constexpr char kMaximum[] = "maximum";
constexpr char kLot[] = "lot";
// The positions: only the read asked last is shown, so one sent before an
// order, answered late, never shows the holdings from before it.
constexpr char kPositions[] = "positions";

QString channel(const char* name)
{
    return QString::fromLatin1(name);
}

} // namespace

HGTTradeViewController::HGTTradeViewController(
    BaseNode::Ptr node, HGTTradeViewControllerServices services, MenuItemViewController::Services pageServices)
    : HGTTradeViewController(Kind::Buy, std::move(node), std::move(services), pageServices)
{
}

HGTTradeViewController::HGTTradeViewController(Kind kind, BaseNode::Ptr node,
    HGTTradeViewControllerServices services, MenuItemViewController::Services pageServices)
    : MenuItemViewController(std::move(node), pageServices)
    , kind_(kind)
    , services_(std::move(services))
    , dialog_(this, services_.dialog)
{
    if (!services_.accountManager)
        services_.accountManager = AccountManager::getInstance();
    if (!services_.stockManager)
        services_.stockManager = StockManager::getInstance();
    if (!services_.requestManager)
        services_.requestManager = HGTRequestManager::getInstance();
    if (!services_.userDefaultConfig)
        services_.userDefaultConfig = UserDefaultConfig::getInstance();
    if (!services_.chinaNow)
        services_.chinaNow = [] { return platform::ChinaClock::now(); };
}

HGTTradeViewController::~HGTTradeViewController()
{
    refreshTimer_.reset();
    services_.stockManager->clearSecurityObjects();
}

QString HGTTradeViewController::submittedOrderText(const QString& orderNumber)
{
    return submittedText(QString::fromUtf8(kSubmittedFormat), orderNumber);
}

bool HGTTradeViewController::isOpeningTime(const QDateTime& chinaTime)
{
    const int hour = chinaTime.time().hour();
    const int minute = chinaTime.time().minute();
    return (hour == 9 && minute > 10) || hour == 10 || hour == 11 || (hour == 12 && (minute < 10 || minute > 50))
        || (hour >= 13 && hour <= 15) || (hour == 16 && minute < 10);
}

// --- Set-up ---

void HGTTradeViewController::awakeFromNib()
{
    if (!quotePanel_) {
        quotePanel_ = std::make_unique<QuoteInfoViewController>(QSizeF(360, 460));
        quotePanel_->awakeFromNib();
        quotePanel_->setUpdatePriceDelegate(this);
    }
    quotePanel_->setQuoteMarketType(1);
    resetControlValue();
    figuresCode_.clear();
    initTradeInfo();
    abandonHandleArray_.clear();
    busy_ = false;
    focus_ = 0; // the form starts again at the code
    ++focusMoves_;
    readPositions();
    services_.requestManager->requestHGTQueryExchangeRate(this);
    startRefreshTimer();
    observePage(pagenotify::kFillTradePage, [this](const platform::Notification& n) {
        const auto detail = n.userInfo.value(QString::fromLatin1(pagenotify::kPositionDetailKey));
        if (!detail.canConvert<RDOPositionDetail>())
            return;
        const auto row = detail.value<RDOPositionDetail>();
        fillFromPosition(row.stockCode, row.stockName, row.securityId);
    });
    observePage(kRefreshIntervalChanged, [this](const platform::Notification&) { startRefreshTimer(); });
    observePage(pagenotify::kAccountProtectOptionChanged, [this](const platform::Notification&) {
        if (accountTitles_.isEmpty())
            return;
        const int keep = selectedIndex_;
        const int keepType = selectedOrderType_;
        initTradeInfo();
        selectedIndex_ = keep < accountTitles_.size() ? keep : 0;
        selectedOrderType_ = keepType;
        emit changed();
    });
    emit changed();
}

void HGTTradeViewController::resetControlValue()
{
    code_.clear();
    quantity_.clear();
    clearCodeFigures();
}

void HGTTradeViewController::initTradeInfo()
{
    securityInfoArray_.clear();
    accountTitles_.clear();
    if (auto account = services_.accountManager->getActiveLoginAccount())
        securityInfoArray_ = account->getSecuidInfoByMarketCode(5);
    for (const QVariant& entry : securityInfoArray_)
        accountTitles_ << entry.toMap().value(QString::fromLatin1(kInfoText)).toString();
    selectedIndex_ = securityInfoArray_.isEmpty() ? -1 : 0;
    if (kind_ == Kind::Buy)
        orderTypeTitles_ = DMOrderType::getTitlesForHGTBuy();
    else if (kind_ == Kind::BoardLotSell)
        orderTypeTitles_ = DMOrderType::getTitlesForHGTSell();
    else
        orderTypeTitles_.clear();
    selectedOrderType_ = orderTypeTitles_.isEmpty() ? -1 : 0;
}

void HGTTradeViewController::startRefreshTimer()
{
    refreshTimer_.reset();
    const double interval
        = UserDefaultConfig::getTimeIntervalForRefresh(services_.userDefaultConfig->quoteRefreshTime());
    if (interval == kNoRefresh || interval <= 0)
        return;
    refreshTimer_ = std::make_unique<platform::RunLoopTimer>(
        interval, true, platform::RunLoopModes::defaultMode(), [this] { refreshQuotes(); });
    refreshTimer_->start();
}

bool HGTTradeViewController::refreshTimerRunning() const { return refreshTimer_ && refreshTimer_->isActive(); }

void HGTTradeViewController::clearAccountFigures()
{
    // Nothing of the previous account's positions, code or maximum stays
    // on screen while the new account's set-up asks again.
    positions_.reset();
    clearCodeFigures();
    figuresCode_.clear();
    code_.clear();
    quantity_.clear();
    emit changed();
}

void HGTTradeViewController::clearCodeFigures()
{
    for (const char* name : { kQuote, kChart, kMaximum, kLot })
        askedFor().settle(channel(name));
    resetRefreshHandle();
    name_.clear();
    nameHidden_ = true;
    price_.clear();
    stepperValue_ = 0;
    increment_ = kDefaultPriceIncrement;
    maxQuantity_.clear();
    priceStep_.clear();
    lot_.clear();
    if (quotePanel_)
        quotePanel_->emptyInfo();
}

void HGTTradeViewController::codeNowNames()
{
    // The name, price, maximum, unit, book and chart shown belong to the
    // code the field names: another code clears them before it is asked for.
    if (code_ == figuresCode_)
        return;
    clearCodeFigures();
    figuresCode_ = code_;
}

void HGTTradeViewController::askQuote(bool refresh)
{
    awaitAnswer(
        refresh ? kRefresh : kQuote, awaited(services_.requestManager->requestHGTQueryPrice5(this, code_)));
}

void HGTTradeViewController::awaitAnswer(const char* name, const QString& handle)
{
    // A question that could not be asked leaves no earlier one awaited.
    if (handle.isEmpty())
        askedFor().settle(channel(name));
    else
        askedFor().ask(channel(name), handle);
}

void HGTTradeViewController::willDropRequests()
{
    refreshTimer_.reset();
    formsSent_.clear();
    // A reply dropped with the account would never close the dialog, and a
    // dialog still waiting for the customer holds an order of the account
    // being left: either closes.
    if (dialog_.isShown())
        dialog_.stopRunModal();
    // Emptied now, not when this object goes: the next page fills the cache
    // before a late clear would wipe it.
    services_.stockManager->clearSecurityObjects();
}

// --- Code, price and focus ---

void HGTTradeViewController::setCodeText(const QString& text)
{
    code_ = typednumber::read(text).left(kCodeLength);
    codeNowNames();
    if (code_.size() == kCodeLength)
        codeEditEnd();
    emit changed();
}

void HGTTradeViewController::codeEditEnd(bool toNext)
{
    if (!code_.isEmpty()) {
        if (code_.size() < kCodeLength)
            code_ = code_.rightJustified(kCodeLength, QLatin1Char('0'));
        codeNowNames();
        askQuote(false);
    }
    if (toNext)
        responderToNext(0);
    emit changed();
}

void HGTTradeViewController::setPriceText(const QString& text)
{
    price_ = typednumber::read(text);
    // The numeric value, whatever its decimals; an empty field, or one
    // without a number, is 0: a step starts there.
    stepperValue_ = std::max(0.0, price_.toDouble());
}

void HGTTradeViewController::setQuantityText(const QString& text)
{
    quantity_ = typednumber::read(text);
}

void HGTTradeViewController::priceEditEnd(bool toNext)
{
    setPriceText(price_);
    requestCombInfo(code_);
    if (toNext)
        responderToNext(1);
    emit changed();
}

void HGTTradeViewController::quantityEditEnd()
{
    responderToNext(2);
    emit changed();
}

void HGTTradeViewController::responderToNext(int field)
{
    focus_ = (field + 1) % controlCount();
    ++focusMoves_;
}

void HGTTradeViewController::selectAccount(int index)
{
    if (index >= 0 && index < accountTitles_.size())
        chooseAccount(index);
    emit changed();
}

void HGTTradeViewController::chooseAccount(int index)
{
    const QString before = selectedSecurityId();
    selectedIndex_ = index;
    if (selectedSecurityId() == before)
        return;
    // The maximum and step were asked with the account left: they go, and
    // so does the answer still on its way for it.
    forgetMaximum();
}

void HGTTradeViewController::forgetMaximum()
{
    askedFor().settle(channel(kMaximum));
    maxQuantity_.clear();
    priceStep_.clear();
}

void HGTTradeViewController::orderTypeChanged(int index)
{
    if (index >= 0 && index < orderTypeTitles_.size())
        selectedOrderType_ = index;
    if (code_.size() == kCodeLength)
        requestCombInfo(code_);
    emit changed();
}

void HGTTradeViewController::setStepperValue(double value)
{
    stepperValue_ = std::max(0.0, value);
    price_ = QString::asprintf("%.3f", stepperValue_);
}

void HGTTradeViewController::priceStepperClick(bool up)
{
    if (accountTitles_.isEmpty())
        return;
    setStepperValue(stepperValue_ + (up ? increment_ : -increment_));
    requestCombInfo(code_);
    emit changed();
}

void HGTTradeViewController::updatePrice(const QString& price)
{
    if (price == QLatin1String("--"))
        return;
    price_ = price;
    priceEditEnd();
}

QString HGTTradeViewController::selectedSecurityId() const
{
    if (selectedIndex_ < 0 || selectedIndex_ >= securityInfoArray_.size())
        return QString();
    return securityInfoArray_[selectedIndex_].toMap().value(QString::fromLatin1(kInfoId)).toString();
}

QString HGTTradeViewController::selectedOrderTitle() const
{
    if (kind_ == Kind::OddLotSell)
        return DMOrderType::oddLotSellTitle();
    return selectedOrderType_ >= 0 && selectedOrderType_ < orderTypeTitles_.size()
        ? orderTypeTitles_[selectedOrderType_]
        : QString();
}

bool HGTTradeViewController::requestCombInfo(const QString& code)
{
    // The server judges the code and the price; only the account is needed.
    if (accountTitles_.isEmpty())
        return false;
    const QString handle = services_.requestManager->requestHGTQueryCombInfo(this, code, selectedSecurityId(),
        isSale(), price_, kind_ == Kind::OddLotSell ? QString() : selectedOrderTitle());
    // Only the answer to the latest question is shown; a question that could
    // not be sent is answered by nothing, and leaves no earlier figure.
    if (handle.isEmpty())
        forgetMaximum();
    else
        askedFor().ask(channel(kMaximum), handle);
    return !handle.isEmpty();
}

// --- Positions ---

void HGTTradeViewController::positionTableClick(int row)
{
    if (!positions_ || row < 0 || row >= positions_->contentObjectArray().size())
        return;
    // The row's record, whatever the server calls its columns.
    const QVariant& object = positions_->contentObjectArray().at(row);
    const RDOPositionDetail position = object.userType() == qMetaTypeId<RDOWarrantPositionDetail>()
        ? RDOPositionDetail(object.value<RDOWarrantPositionDetail>())
        : object.value<RDOPositionDetail>();
    // A waiting refresh is given up first; the fill then asks the quote once.
    resetRefreshHandle();
    fillFromPosition(position.stockCode, position.stockName, position.securityId);
}

void HGTTradeViewController::fillFromPosition(const QString& code, const QString& name, const QString& securityId)
{
    code_ = code;
    codeNowNames();
    name_ = name;
    nameHidden_ = false;
    for (int i = 0; i < securityInfoArray_.size(); ++i) {
        if (securityInfoArray_[i].toMap().value(QString::fromLatin1(kInfoId)).toString() == securityId) {
            chooseAccount(i);
            break;
        }
    }
    askQuote(false);
    emit changed();
}

bool HGTTradeViewController::readPositions()
{
    const QString handle = services_.requestManager->requestHGTPosition(this);
    awaitAnswer(kPositions, handle);
    return !handle.isEmpty();
}

void HGTTradeViewController::queryPositionInfo(DataModel*, const QString& handle, const DTTablePtr& table)
{
    if (!askedFor().take(channel(kPositions), handle))
        return; // a read sent before the one awaited
    positions_ = table;
    emit changed();
    figureRead(owedfigure::kPositions, true);
}

bool HGTTradeViewController::queryPositionInfo(DataModel*, const QString& handle, const CSError&)
{
    // Nothing is said; the rows shown stay, and may be out of date.
    if (askedFor().take(channel(kPositions), handle))
        figureRead(owedfigure::kPositions, false);
    return true;
}

QStringList HGTTradeViewController::figuresShown() const
{
    return { owedfigure::kPositions, owedfigure::kMaximum };
}

QStringList HGTTradeViewController::readOwed(const QStringList& owed)
{
    ReadsAskedAgain reads(owed);
    reads.ask(owedfigure::kPositions, [this] { return readPositions(); });
    reads.ask(owedfigure::kMaximum, [this] { return code_.size() == kCodeLength && requestCombInfo(code_); });
    return reads.asked();
}

// --- Quotes and refresh ---

QString HGTTradeViewController::awaited(const QString& handle)
{
    // Quote handles are the current second: a click and a refresh in one
    // second share one, and the reply then belongs to both.
    if (!handle.isEmpty())
        abandonHandleArray_.removeAll(handle);
    return handle;
}

bool HGTTradeViewController::isAbandonHandle(const QString& handle)
{
    return abandonHandleArray_.removeOne(handle);
}

bool HGTTradeViewController::refreshWaiting() const
{
    return !askedFor().subject(channel(kRefresh)).isEmpty()
        || !askedFor().subject(channel(kRefreshChart)).isEmpty();
}

void HGTTradeViewController::resetRefreshHandle()
{
    for (const char* name : { kRefresh, kRefreshChart }) {
        const QString handle = askedFor().subject(channel(name));
        if (!handle.isEmpty())
            abandonHandleArray_ << handle;
        askedFor().settle(channel(name));
    }
}

void HGTTradeViewController::refreshQuotes()
{
    if (!isOpeningTime(services_.chinaNow()) || code_.size() != kCodeLength
        || !services_.stockManager->getSecurity(code_))
        return;
    const QString waiting = askedFor().subject(channel(kRefresh));
    if (!waiting.isEmpty())
        abandonHandleArray_ << waiting;
    askQuote(true);
}

void HGTTradeViewController::queryQuotesOf5Level(DataModel*, const QString& handle, const RDOQuotesOf5Level& quote)
{
    if (isAbandonHandle(handle))
        return;
    // One reply may answer both a click and a refresh of the same second.
    const bool first = askedFor().take(channel(kQuote), handle);
    const bool refresh = askedFor().take(channel(kRefresh), handle);
    if (!first && !refresh)
        return; // asked before the code or the refresh now awaited
    const StockManager::SecurityPtr security = services_.stockManager->updateQuotesOf5LevelEx(quote);
    const QString chart = awaited(services_.requestManager->requestHGTTimesharing(this, code_));
    // A reply that answers the customer's ask is handled as that, also when
    // it answers a refresh too: the customer's chart refreshes the panel.
    if (first) {
        awaitAnswer(kChart, chart);
        awaitAnswer(kRate, services_.requestManager->requestHGTQueryExchangeRate(this));
    } else {
        const QString waiting = askedFor().subject(channel(kRefreshChart));
        if (!waiting.isEmpty())
            abandonHandleArray_ << waiting;
        awaitAnswer(kRefreshChart, chart);
    }
    if (security) {
        name_ = security->name;
        nameHidden_ = false;
        quotePanel_->setQuotesOf5LevelInfo(*security);
        updateExchangeRate();
    }
    emit changed();
}

bool HGTTradeViewController::queryQuotesOf5Level(DataModel*, const QString& handle, const CSError&)
{
    if (!isAbandonHandle(handle)) {
        askedFor().take(channel(kQuote), handle);
        askedFor().take(channel(kRefresh), handle);
    }
    return true;
}

void HGTTradeViewController::queryTimesharingInfo(DataModel*, const QString& handle, const RDOStock& day)
{
    if (isAbandonHandle(handle))
        return;
    const bool first = askedFor().take(channel(kChart), handle);
    const bool refresh = askedFor().take(channel(kRefreshChart), handle);
    if (!first && !refresh)
        return;
    const StockManager::SecurityPtr security = services_.stockManager->updateQuotes(day);
    if (security)
        quotePanel_->setTimesharingInfo(security);
    // A chart the customer's code asked for fills the form, also when a
    // refresh of the same second shares it.
    if (!first || !security) {
        emit changed();
        return;
    }
    setPriceText(isSale() ? security->defaultSellPrice() : security->defaultBuyPrice());
    if (!price_.isEmpty())
        requestCombInfo(security->code);
    awaitAnswer(kLot, services_.requestManager->requestHGTQueryQuantityOfUnit(this, security->code));
    emit changed();
}

bool HGTTradeViewController::queryTimesharingInfo(DataModel*, const QString& handle, const CSError&)
{
    if (!isAbandonHandle(handle)) {
        askedFor().take(channel(kChart), handle);
        askedFor().take(channel(kRefreshChart), handle);
    }
    return true;
}

void HGTTradeViewController::hgtQueryExchangeRate(DataModel*, const QString& handle, const HGTExchangeRate& rate)
{
    exchangeRateOfBuy_ = rate.buyRate;
    exchangeRateOfSale_ = rate.saleRate;
    if (askedFor().take(channel(kRate), handle))
        updateExchangeRate();
    emit changed();
}

void HGTTradeViewController::updateExchangeRate()
{
    const QString& rate = isSale() ? exchangeRateOfSale_ : exchangeRateOfBuy_;
    if (rate.isEmpty())
        return;
    rateShown_ = rate;
    quotePanel_->setExchangeRate(rate);
}

void HGTTradeViewController::hgtQueryCombInfo(DataModel*, const QString& handle, const HGTCombInfo& info)
{
    if (!askedFor().take(channel(kMaximum), handle))
        return; // asked for another code, price, type or account
    maxQuantity_ = QStringLiteral("%1股").arg(info.maxTradeQuantity);
    priceStep_ = QStringLiteral("%1港元").arg(info.minPriceOfStep);
    // The step is the value the server gave; one that is no positive number
    // keeps the last good one, so the stepper still moves.
    bool isNumber = false;
    const double step = info.minPriceOfStep.toDouble(&isNumber);
    if (isNumber && step > 0)
        increment_ = step;
    emit changed();
    figureRead(owedfigure::kMaximum, true);
}

bool HGTTradeViewController::hgtQueryCombInfo(DataModel*, const QString& handle, const CSError&)
{
    // Nothing is said; the maximum and step of an earlier question go.
    if (askedFor().take(channel(kMaximum), handle)) {
        forgetMaximum();
        emit changed();
        figureRead(owedfigure::kMaximum, false);
    }
    return true;
}

void HGTTradeViewController::hgtQueryQuantityOfUnit(DataModel*, const QString& handle, const QString& lot)
{
    if (!askedFor().take(channel(kLot), handle))
        return;
    lot_ = QStringLiteral("%1股").arg(lot);
    emit changed();
}

bool HGTTradeViewController::hgtQueryQuantityOfUnit(DataModel*, const QString& handle, const CSError&)
{
    if (askedFor().take(channel(kLot), handle)) {
        lot_.clear();
        emit changed();
    }
    return true;
}

// --- Order ---

bool HGTTradeViewController::verifyInput()
{
    if (accountTitles_.isEmpty()) {
        alerts()->runAlert(AlertRequest::error(QString::fromUtf8(kNoAccountMessage)), {});
        return false;
    }
    if (code_.size() != kCodeLength || !typednumber::canBeSent(code_) || price_.isEmpty()
        || quantity_.isEmpty()) {
        alerts()->runAlert(AlertRequest::tip(QString::fromUtf8(kMissingInputMessage)), {});
        return false;
    }
    // Price and quantity go to the dialog as typed: the server judges them,
    // once a request can carry them.
    return sendable({ { &price_, "委托价格" }, { &quantity_, "委托数量" } });
}

bool HGTTradeViewController::sendable(std::initializer_list<std::pair<const QString*, const char*>> fields)
{
    for (const auto& [value, title] : fields) {
        if (const std::optional<QString> why = typednumber::problem(QString::fromUtf8(title), *value)) {
            alerts()->runAlert(AlertRequest::tip(*why), {});
            return false;
        }
    }
    return true;
}

void HGTTradeViewController::orderButtonClick()
{
    if (busy_ || !verifyInput())
        return;
    busy_ = true;
    emit changed();
    const Watch alive = MenuItemViewController::watch();
    if (kind_ == Kind::Buy)
        dialog_.runModalForCommonBuy(dialogParent_, selectedSecurityId(), code_, name_, selectedOrderTitle(),
            price_, quantity_, std::nullopt);
    else if (kind_ == Kind::BoardLotSell)
        dialog_.runModalForCommonSell(dialogParent_, selectedSecurityId(), code_, name_, selectedOrderTitle(),
            price_, quantity_, std::nullopt);
    else
        dialog_.runModalForLGSell(dialogParent_, selectedSecurityId(), code_, name_, price_, quantity_);
    if (!alive.survived())
        return;
    busy_ = false;
    emit changed();
}

bool HGTTradeViewController::doConfigOrderForStockTrade(int type, const OrderParam& param)
{
    if (type != 0 && type != 1)
        return false;
    QString problem;
    // The order the user confirmed: the dialog's values, not the form's now.
    const QString title = kind_ == Kind::OddLotSell ? DMOrderType::oddLotSellTitle() : param.orderType();
    // The answer is heard through a relay: it reaches this page while the
    // page still awaits it, and is told all the same once it does not. One
    // past the dialog's time limit does on the page, still up for the
    // account, what it does while the page waits, on the form while it
    // still holds this order and the next one is not on its way.
    const OrderFormHeld form { param.stockCode(), param.quantity() };
    auto& relay = ActionOutcomeRelay::start<HGTOrderRelay>(
        ActionOutcomeRelay::pageOf(
            *this, [this, form](bool accepted) { orderAnswered(accepted, !busy_ && holds(form)); }),
        *this, &HGTTradeViewController::submittedOrderText);
    const QString handle = kind_ == Kind::Buy
        ? services_.requestManager->requestHGTTradeBuy(
              &relay, param.securityId(), param.stockCode(), param.price(), param.quantity(), title, {}, &problem)
        : services_.requestManager->requestHGTTradeSale(
              &relay, param.securityId(), param.stockCode(), param.price(), param.quantity(), title, {}, &problem);
    relay.sent(handle);
    formsSent_.sent(handle, form);
    if (!dialog_.requestSent(handle))
        alerts()->runAlert(AlertRequest::error(problem), {});
    return true;
}

void HGTTradeViewController::hgtMakeOrder(DataModel*, const QString& handle, const QString& orderNumber)
{
    // The dialog on screen may be the next order's, opened after the lock
    // closed this one's: it stays, and so does the form it was made from.
    const std::optional<OrderFormHeld> form = formsSent_.answered(handle);
    const bool formOfThisOrder = dialog_.requestAnswered(handle) || (!busy_ && form && holds(*form));
    lastOrderNumber_ = orderNumber;
    ActionOutcomeRelay::tell(alerts(), AlertRequest::tip(submittedOrderText(orderNumber)));
    orderAnswered(true, formOfThisOrder);
}

void HGTTradeViewController::orderAnswered(bool accepted, bool formOfThisOrder)
{
    // The quantity of an order the server took goes, so the button does not
    // make the same order again.
    if (accepted && formOfThisOrder)
        quantity_.clear();
    readPositions();
    emit changed();
}

bool HGTTradeViewController::hgtMakeOrder(DataModel*, const QString& handle, const CSError& error)
{
    dialog_.requestAnswered(handle);
    formsSent_.answered(handle);
    ActionOutcomeRelay::tell(alerts(), AlertRequest::error(DataModel::getNetworkError(error).domain));
    // Of an unknown outcome the positions are owed, and read again in the
    // account's rounds until the server answers: the order may have filled.
    emit changed();
    return true;
}
