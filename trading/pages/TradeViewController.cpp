#include "trading/pages/TradeViewController.h"

#include "comm/recordset/ServerNumber.h"
#include "core/NotificationCenter.h"
#include "core/TypedNumber.h"
#include "core/UserDefaultConfig.h"
#include "login/AccountManager.h"
#include "platform/ChinaClock.h"
#include "platform/RunLoop.h"
#include "shell/pages/MenuItemViewManager.h"
#include "trading/DMOrderType.h"
#include "trading/orders/OrderManager.h"
#include "trading/pages/OrderOutcomeRelay.h"
#include "trading/query/QueryInfoManager.h"
#include "trading/requests/TradeQueryRecords.h"
#include "trading/security/Security.h"
#include "trading/security/StockManager.h"

#include <QTimer>
#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr int kRefreshIntervalChanged = 17;
constexpr double kNoRefresh = 99999;
constexpr char kInfoText[] = "security_info_text";
constexpr char kInfoMarket[] = "security_info_market_code";
constexpr char kInfoId[] = "security_info_id";

// The decimals a stepper increment shows: the position of the first "1" in
// "%lf" of it, minus one; 2 when there is none.
int decimalsOfIncrement(double increment)
{
    const QString text = QString::asprintf("%lf", increment);
    const qsizetype one = text.indexOf(QLatin1Char('1'));
    return one < 0 ? 2 : int(std::max<qsizetype>(0, one - 1));
}

} // namespace

TradeViewController::TradeViewController(
    BaseNode::Ptr node, TradeViewControllerServices services, MenuItemViewController::Services pageServices)
    : MenuItemViewController(std::move(node), pageServices)
    , services_(services)
    , tradeType_(tradeTypeForLinkId(menuInfo() ? menuInfo()->nodeLinkId : 10000))
    , dialog_(this, services.dialog)
{
    if (!services_.accountManager)
        services_.accountManager = AccountManager::getInstance();
    if (!services_.stockManager)
        services_.stockManager = StockManager::getInstance();
    if (!services_.queryInfoManager)
        services_.queryInfoManager = QueryInfoManager::getInstance();
    if (!services_.orderManager)
        services_.orderManager = OrderManager::getInstance();
    if (!services_.userDefaultConfig)
        services_.userDefaultConfig = UserDefaultConfig::getInstance();
}

TradeViewController::~TradeViewController()
{
    services_.stockManager->clearSecurityObjects();
}

qint32 TradeViewController::tradeTypeForLinkId(qint64 linkId)
{
    switch (linkId) {
    case 10001:
    case 10008:
        return 1;
    case 80000:
        return 2;
    default:
        return 0;
    }
}

void TradeViewController::initViewControls()
{
    tradeType_ = tradeTypeForLinkId(menuInfo() ? menuInfo()->nodeLinkId : 10000);
    initLabelsOfOrderControls();
    emit changed();
}

void TradeViewController::willDropRequests()
{
    // The set-up's timers go with the requests, and the answers awaited.
    refreshTimer_ = nullptr;
    formsSent_.clear();
    // A reply that arrives after the drop reaches nobody, so a dialog that
    // waits for one would stay busy: close it now. A dialog still waiting
    // for the customer holds an order of the account being left: close it
    // too.
    if (dialog_.isShown())
        dialog_.stopRunModal();
    // An order on its way to the dialog (risk list asked, warning up) ends
    // here: its reply is dropped, and the form it was made from is emptied.
    if (busy_) {
        ++orderAttempt_;
        finishOrder();
    }
}

void TradeViewController::clearAccountFigures()
{
    // The money, maximum and holdings shown were the account's left behind.
    money_.clear();
    moneyTypeShown_ = -1;
    maxAmount_.clear();
    positions_.reset();
    selectedPositionRow_ = -1;
}

void TradeViewController::awakeFromNib()
{
    if (!quotePanel_) {
        quotePanel_ = std::make_unique<QuoteInfoViewController>(QSizeF(360, 460));
        quotePanel_->awakeFromNib();
        quotePanel_->setUpdatePriceDelegate(this);
    }
    quotePanel_->setQuoteMarketType(0);
    // The form is emptied below: the panel must not go on showing the
    // security of the form (or the account) left behind.
    quotePanel_->emptyInfo();
    increment_ = kDefaultPriceIncrement;
    priceHidden_ = false;
    initShareholderCodeAndOrderType();
    code_.clear();
    name_.clear();
    price_.clear();
    maxAmount_.clear();
    quantity_.clear();
    stepperValue_ = 0;
    currentStockCode_.clear();
    // The holdings and the picked row of an account left behind are not
    // this account's: nothing shows until its own positions answer.
    positions_.reset();
    selectedPositionRow_ = -1;
    isNotRefresh_ = true;
    stopRefreshQuote_ = false;
    tradePosition_ = false;
    initLabelsOfOrderControls();
    requestPositions();
    requestMoneyInfo();

    resetRefreshTimer();
    observePage(pagenotify::kFillTradePage, [this](const platform::Notification& n) {
        const auto detail = n.userInfo.value(QString::fromLatin1(pagenotify::kPositionDetailKey));
        if (detail.canConvert<RDOPositionDetail>())
            fillFromPosition(detail.value<RDOPositionDetail>());
    });
    observePage(kRefreshIntervalChanged, [this](const platform::Notification&) { resetRefreshTimer(); });
    observePage(pagenotify::kAccountProtectOptionChanged,
        [this](const platform::Notification&) { updateForAcountProtectOptionChange(); });
    emit changed();
}

void TradeViewController::loadShareholderAccounts()
{
    securityInfoArray_ = offeredAccounts();
    accountTitles_.clear();
    for (const QVariant& entry : securityInfoArray_)
        accountTitles_ << entry.toMap().value(QString::fromLatin1(kInfoText)).toString();
}

void TradeViewController::initShareholderCodeAndOrderType()
{
    loadShareholderAccounts();
    selectedIndex_ = securityInfoArray_.isEmpty() ? -1 : 0;
    initOrderTypePButton();
}

void TradeViewController::updateForAcountProtectOptionChange()
{
    // Only the titles' masking changes: the account, the order types and
    // the chosen type stay.
    if (securityInfoArray_.isEmpty())
        return;
    const int keep = selectedIndex_;
    loadShareholderAccounts();
    selectedIndex_ = keep < securityInfoArray_.size() ? keep : (securityInfoArray_.isEmpty() ? -1 : 0);
    emit changed();
}

void TradeViewController::resetRefreshTimer()
{
    cancelPageTimer(refreshTimer_);
    refreshTimer_ = nullptr;
    const double interval
        = UserDefaultConfig::getTimeIntervalForRefresh(services_.userDefaultConfig->quoteRefreshTime());
    if (interval != kNoRefresh)
        refreshTimer_ = schedulePageTimer(interval, [this] { refreshTimesharingQuotes(); });
}

double TradeViewController::refreshInterval() const
{
    return refreshTimer_ ? refreshTimer_->interval().count() : 0;
}

bool TradeViewController::selectAccountWithId(const QString& securityId)
{
    for (int i = 0; i < securityInfoArray_.size(); ++i) {
        if (securityInfoArray_[i].toMap().value(QString::fromLatin1(kInfoId)).toString() == securityId) {
            chooseAccount(i);
            initOrderTypePButton();
            return true;
        }
    }
    return false;
}

void TradeViewController::fillFromPosition(const RDOPositionDetail& row)
{
    code_ = row.stockCode;
    tradePosition_ = true;
    selectAccountWithId(row.securityId);
    lookUp();
    name_ = row.stockName;
    emit changed();
}

template <class Row> std::optional<Row> TradeViewController::positionRow(int row) const
{
    if (!positions_ || row < 0 || row >= positions_->contentObjectArray().size())
        return std::nullopt;
    const QVariant& object = positions_->contentObjectArray().at(row);
    if (object.userType() == qMetaTypeId<RDOWarrantPositionDetail>())
        return Row(object.value<RDOWarrantPositionDetail>());
    if constexpr (std::is_same_v<Row, RDOPositionDetail>) {
        if (object.canConvert<RDOPositionDetail>())
            return object.value<RDOPositionDetail>();
    }
    return std::nullopt;
}

template std::optional<RDOPositionDetail> TradeViewController::positionRow<RDOPositionDetail>(int) const;
template std::optional<RDOWarrantPositionDetail> TradeViewController::positionRow<RDOWarrantPositionDetail>(
    int) const;

void TradeViewController::positionTableViewClicked(int row)
{
    const auto position = positionRow<RDOPositionDetail>(row);
    selectedPositionRow_ = position ? row : -1;
    if (position && typednumber::canBeSent(position->stockCode))
        fillFromPosition(*position);
    else
        emit changed();
}

QVariantList TradeViewController::offeredAccounts() const
{
    const auto account = services_.accountManager->getActiveLoginAccount();
    return account ? account->getSecuidInfoExceptByMarketCode(5) : QVariantList();
}

QStringList TradeViewController::orderTypeTitlesFor(const QString& marketCode, const QString& classId) const
{
    return DMOrderType::getTitles(marketCode, classId, tradeType_ == 0);
}

void TradeViewController::initOrderTypePButton()
{
    const auto security = cachedSecurity();
    orderTypeTitles_ = selectedIndex_ < 0
        ? QStringList()
        : orderTypeTitlesFor(selectedMarketCode(), security ? security->classId : QString());
    selectedOrderType_ = orderTypeTitles_.isEmpty() ? -1 : 0;
    fixControlsForOrderTypePButtonSelected();
}

qint32 TradeViewController::getCurrentOrderType() const
{
    if (selectedOrderType_ < 0 || selectedOrderType_ >= orderTypeTitles_.size())
        return 0;
    const auto security = cachedSecurity();
    const QString classId = security ? security->classId : QString();
    const QString& title = orderTypeTitles_[selectedOrderType_];
    return tradeType_ == 0 ? DMOrderType::getOderTypeFlagOfBuy(selectedMarketCode(), classId, title)
                           : DMOrderType::getOderTypeFlagOfSale(selectedMarketCode(), classId, title);
}

bool TradeViewController::carriesPrice(qint32 orderType, const QString& classId) const
{
    return DMOrderType::isPricedType(orderType) || DMOrderType::supportPriceLimit(classId);
}

QString TradeViewController::selectedOrderTypeTitle() const
{
    return selectedOrderType_ >= 0 && selectedOrderType_ < orderTypeTitles_.size()
        ? orderTypeTitles_[selectedOrderType_]
        : QString();
}

bool TradeViewController::orderTypeAgreesWithMarket() const
{
    // A security not cached goes out with the account's market, so the
    // form's type is the one sent.
    const auto security = cachedSecurity();
    return !security || security->getOrderType(selectedOrderTypeTitle(), tradeType_) == getCurrentOrderType();
}

void TradeViewController::fixControlsForOrderTypePButtonSelected()
{
    const auto security = cachedSecurity();
    const qint32 type = getCurrentOrderType();
    if (security)
        priceLabel_ = security->priceLabelText(tradeType_, !DMOrderType::isPricedType(type));
    priceHidden_ = !carriesPrice(type, security ? security->classId : QString());
}

void TradeViewController::initLabelsOfOrderControls()
{
    if (const auto security = cachedSecurity()) {
        priceLabel_ = security->priceLabelText(tradeType_, !DMOrderType::isPricedType(getCurrentOrderType()));
        amountLabel_ = security->quantityLabelText(tradeType_);
        maxAmountLabel_ = security->maxVolumeOfBSLabelText(tradeType_);
        orderButtonTitle_
            = security->orderButtonText(tradeType_).value_or(Security::defaultOrderButtonText(tradeType_));
    } else {
        priceLabel_ = Security::defaultPriceLabelText(tradeType_);
        amountLabel_ = Security::defaultQuantityLabelText(tradeType_);
        maxAmountLabel_ = Security::defaultMaxVolumeOfBSLabelText(tradeType_);
        orderButtonTitle_ = Security::defaultOrderButtonText(tradeType_);
    }
}

std::shared_ptr<Security> TradeViewController::cachedSecurity() const
{
    return code_.isEmpty() ? nullptr : services_.stockManager->getSecurity(code_);
}

QString TradeViewController::selectedMarketCode() const
{
    if (selectedIndex_ < 0 || selectedIndex_ >= securityInfoArray_.size())
        return {};
    return securityInfoArray_[selectedIndex_].toMap().value(QString::fromLatin1(kInfoMarket)).toString();
}

QString TradeViewController::selectedSecurityId() const
{
    if (selectedIndex_ < 0 || selectedIndex_ >= securityInfoArray_.size())
        return {};
    return securityInfoArray_[selectedIndex_].toMap().value(QString::fromLatin1(kInfoId)).toString();
}

// --- Lookup ---

void TradeViewController::setCodeText(const QString& text)
{
    code_ = typednumber::read(text);
    if (code_.size() == 6)
        lookUpTypedCode();
    emit changed();
}

void TradeViewController::stockCodeEditEnd()
{
    if (!code_.isEmpty() && code_.size() < 6) {
        code_ = code_.rightJustified(6, QLatin1Char('0'));
        lookUpTypedCode();
    }
    emit changed();
}

void TradeViewController::lookUpTypedCode()
{
    // A position picked before is no longer what is looked up: its answer
    // will be dropped as late, and this code's fills name and account.
    tradePosition_ = false;
    // The account chosen for the security shown before is not this code's:
    // back to the first one until the quote names the market.
    if (code_ != currentStockCode_ && !securityInfoArray_.isEmpty() && selectedIndex_ != 0) {
        chooseAccount(0);
        rebuildOrderTypesKeepingTitle();
        requestMoneyInfo();
    }
    lookUp();
}

void TradeViewController::forgetShownSecurity()
{
    name_.clear();
    price_.clear();
    stepperValue_ = 0;
    increment_ = kDefaultPriceIncrement;
    maxAmount_.clear();
    currentStockCode_.clear();
    // Whatever is still on its way was asked for the security left behind.
    askedFor().settle(QString::fromLatin1(kChartAsk));
    askedFor().settle(QString::fromLatin1(kMaximumAsk));
    askedFor().settle(QString::fromLatin1(kWarrantAsk));
    if (quotePanel_)
        quotePanel_->emptyInfo();
    // Order types and labels of no security (or of the new code, if cached).
    rebuildOrderTypesKeepingTitle();
    initLabelsOfOrderControls();
}

void TradeViewController::lookUp()
{
    // Nothing of another security stays in the form while this code is
    // looked up, so a failed lookup never lends its name, price or quote to
    // the order.
    if (code_ != currentStockCode_)
        forgetShownSecurity();
    if (!typednumber::canBeSent(code_))
        return;
    stopRefreshQuote_ = true;
    isNotRefresh_ = true;
    // The chart this lookup fills the price from is the one its own quote
    // asks for: a refresh's still on its way is not it.
    askedFor().settle(QString::fromLatin1(kChartAsk));
    askedFor().ask(
        QString::fromLatin1(kQuoteAsk), services_.stockManager->requestQuotesOf5LevelEx(this, code_));
}

bool TradeViewController::takeAnswer(const char* channel, const QString& handle)
{
    return askedFor().take(QString::fromLatin1(channel), handle);
}

void TradeViewController::queryQuotesOf5Level(
    DataModel*, const QString& handle, const RDOQuotesOf5Level& quote)
{
    if (!takeAnswer(kQuoteAsk, handle))
        return;
    currentStockCode_ = code_;
    const auto security = services_.stockManager->updateQuotesOf5LevelEx(quote);
    if (isNotRefresh_) {
        if (tradePosition_) {
            tradePosition_ = false;
            initOrderTypePButton();
        } else {
            initTradeInfoView();
        }
    }
    if (const auto cached = cachedSecurity()) {
        quotePanel_->setQuotesOf5LevelInfo(*cached);
        initLabelsOfOrderControls();
        // The class by its value, as the order types read it: a number
        // field may come as "116.000".
        quotePanel_->setQuoteMarketType(DMOrderType::isKCBoard(cached->classId) ? 3
                : servernumber::wholeValueOf(cached->classId) == 1004           ? 2
                                                                                : 0);
        QString chart;
        services_.stockManager->requestQuota(this, cached->queryCode, &chart);
        askedFor().ask(QString::fromLatin1(kChartAsk), chart);
    } else if (isNotRefresh_) {
        stopRefreshQuote_ = false;
    }
    emit changed();
}

bool TradeViewController::queryQuotesOf5Level(DataModel*, const QString& handle, const CSError&)
{
    if (!takeAnswer(kQuoteAsk, handle))
        return true;
    if (isNotRefresh_)
        stopRefreshQuote_ = false;
    tradePosition_ = false;
    return true;
}

void TradeViewController::queryTimesharingInfo(DataModel*, const QString& handle, const RDOStock& day)
{
    if (!takeAnswer(kChartAsk, handle))
        return;
    services_.stockManager->updateQuotes(day);
    initPriceView();
    if (const auto security = cachedSecurity())
        quotePanel_->setTimesharingInfo(security);
    if (isNotRefresh_) {
        requestMoneyInfo();
        requestMaxQuantityInfo();
        stopRefreshQuote_ = false;
    }
    emit changed();
}

bool TradeViewController::queryTimesharingInfo(DataModel*, const QString& handle, const CSError&)
{
    if (!takeAnswer(kChartAsk, handle))
        return true;
    if (isNotRefresh_)
        stopRefreshQuote_ = false;
    return true;
}

void TradeViewController::initTradeInfoView()
{
    const auto security = cachedSecurity();
    if (!security)
        return;
    name_ = security->name;
    if (securityInfoArray_.isEmpty())
        return;
    // The first account of the security's market, else the first account.
    const std::optional<qint64> market = servernumber::wholeValueOf(security->marketType);
    int index = 0;
    for (int i = 0; i < securityInfoArray_.size(); ++i) {
        if (market
            && servernumber::wholeValueOf(
                   securityInfoArray_[i].toMap().value(QString::fromLatin1(kInfoMarket)))
                == market) {
            index = i;
            break;
        }
    }
    selectSecurityIdButtonItem(index);
}

void TradeViewController::selectSecurityIdButtonItem(int index)
{
    if (index < accountTitles_.size() && index != selectedIndex_) {
        chooseAccount(index);
        initOrderTypePButton();
        requestMoneyInfo();
        return;
    }
    // The same account: the list may change with the security's class.
    rebuildOrderTypesKeepingTitle();
}

void TradeViewController::rebuildOrderTypesKeepingTitle()
{
    // The chosen title stays when it is still offered.
    const QString keep = selectedOrderTypeTitle();
    initOrderTypePButton();
    if (const int again = int(orderTypeTitles_.indexOf(keep)); again >= 0 && !keep.isEmpty()) {
        selectedOrderType_ = again;
        fixControlsForOrderTypePButtonSelected();
    }
}

void TradeViewController::initPriceView()
{
    const auto security = cachedSecurity();
    if (!isNotRefresh_ || !security)
        return;
    increment_ = security->priceStep ? *security->priceStep : std::pow(10.0, -security->precision);
    const QString price = tradeType_ == 0 ? security->defaultBuyPrice() : security->defaultSellPrice();
    stepperValue_ = price.toDouble();
    price_ = price;
}

bool TradeViewController::isOpeningTime(const QDateTime& chinaTime)
{
    const int hm = chinaTime.time().hour() * 100 + chinaTime.time().minute();
    return (hm >= 916 && hm <= 1139) || (hm >= 1251 && hm <= 1539);
}

void TradeViewController::refreshTimesharingQuotes()
{
    if (stopRefreshQuote_) {
        isNotRefresh_ = true;
        return;
    }
    if (!isOpeningTime(platform::ChinaClock::now()) || code_.size() != 6)
        return;
    isNotRefresh_ = code_ != currentStockCode_;
    if (cachedSecurity())
        askedFor().ask(
            QString::fromLatin1(kQuoteAsk), services_.stockManager->requestQuotesOf5LevelEx(this, code_));
}

// --- Form ---

void TradeViewController::shareholderCodePButtonSelectedChanged(int index)
{
    if (index == selectedIndex_ || index < 0 || index >= securityInfoArray_.size())
        return;
    chooseAccount(index);
    initOrderTypePButton();
    requestMoneyInfo();
    requestMaxQuantityInfo();
    emit changed();
}

void TradeViewController::orderTypePButtonSelected(int index)
{
    if (index < 0 || index >= orderTypeTitles_.size())
        return;
    selectedOrderType_ = index;
    fixControlsForOrderTypePButtonSelected();
    if (tradeType_ == 0)
        requestMaxQuantityInfo();
    emit changed();
}

void TradeViewController::setPriceText(const QString& text)
{
    price_ = typednumber::read(text);
    stepperValue_ = price_.toDouble();
}

void TradeViewController::priceEditEnd()
{
    stepperValue_ = price_.toDouble();
    if (tradeType_ == 0)
        requestMaxQuantityInfo();
    emit changed();
}

void TradeViewController::pricesStepperClicked(double value)
{
    stepperValue_ = std::max(0.0, value);
    price_ = QString::asprintf("%.*f", decimalsOfIncrement(increment_), stepperValue_);
    if (tradeType_ == 0)
        requestMaxQuantityInfo();
    emit changed();
}

void TradeViewController::addButtonClick()
{
    const auto security = cachedSecurity();
    if (!security)
        return;
    // In whole ticks, so repeated steps never drift off the tick.
    const double tick = std::pow(10.0, -security->precision);
    const double ticks = std::llround(price_.toDouble() / tick) + 1;
    price_ = QString::asprintf("%.*f", int(security->precision), ticks * tick);
    stepperValue_ = price_.toDouble();
    emit changed();
}

void TradeViewController::subButtonClick()
{
    const auto security = cachedSecurity();
    if (!security)
        return;
    const double tick = std::pow(10.0, -security->precision);
    const double ticks = std::max<long long>(0, std::llround(price_.toDouble() / tick) - 1);
    price_ = QString::asprintf("%.*f", int(security->precision), ticks * tick);
    stepperValue_ = price_.toDouble();
    emit changed();
}

void TradeViewController::setQuantityText(const QString& text)
{
    quantity_ = typednumber::read(text);
}

void TradeViewController::updatePrice(const QString& price)
{
    if (price == QLatin1String("--") || busy_)
        return;
    price_ = price;
    priceEditEnd();
}

bool TradeViewController::updateTimesahringInfo(qint64 index)
{
    if (const auto security = cachedSecurity(); security && index >= 0)
        quotePanel_->updateSelectedTimeInfo(*security, quint64(index));
    return true;
}

bool TradeViewController::updateCurrentTimesharingInfo()
{
    if (const auto security = cachedSecurity())
        quotePanel_->updateCurrentTimesharingInfo(*security);
    return true;
}

bool TradeViewController::recoverToCurrent()
{
    if (const auto security = cachedSecurity())
        quotePanel_->recoverTimesharingInfo(*security);
    return true;
}

// --- Side requests ---

bool TradeViewController::requestMaxQuantityInfo()
{
    // An answer to an earlier question (another price, account or code) is late.
    askedFor().settle(QString::fromLatin1(kMaximumAsk));
    const auto security = cachedSecurity();
    if (selectedIndex_ < 0 || !security || code_.size() != 6 || security->code.isEmpty())
        return false;
    const qint32 type = getCurrentOrderType();
    const QString price = carriesPrice(type, security->classId) ? price_ : QString();
    if (!typednumber::canBeSent(price))
        return false;
    QString handle;
    const QString refused = services_.queryInfoManager->requestMaxQuantityOfStock(this, selectedSecurityId(),
        security->code, security->marketType, security->getOrderType(selectedOrderTypeTitle(), tradeType_),
        price, &handle);
    askedFor().ask(QString::fromLatin1(kMaximumAsk), handle);
    return refused.isEmpty();
}

void TradeViewController::queryMaxQuantityInfo(DataModel*, const QString& handle, const QString& quantity)
{
    if (!takeAnswer(kMaximumAsk, handle))
        return;
    const auto security = cachedSecurity();
    maxAmount_ = quantity + (security ? security->getUnitName() : QString());
    emit changed();
    figureRead(owedfigure::kMaximum, true);
}

bool TradeViewController::queryMaxQuantityInfo(DataModel*, const QString& handle, const CSError&)
{
    if (!takeAnswer(kMaximumAsk, handle))
        return true;
    const auto security = cachedSecurity();
    maxAmount_ = QStringLiteral("0") + (security ? security->getUnitName() : QString());
    emit changed();
    figureRead(owedfigure::kMaximum, false);
    return true;
}

qint32 TradeViewController::selectedMoneyType() const
{
    return QueryInfoManager::moneyTypeOfMarket(selectedMarketCode());
}

void TradeViewController::forgetMoneyOfOtherCurrency()
{
    if (selectedMoneyType() == moneyTypeShown_)
        return;
    money_.clear();
    moneyTypeShown_ = -1;
    askedFor().settle(QString::fromLatin1(kMoneyAsk));
}

void TradeViewController::chooseAccount(int index)
{
    if (index == selectedIndex_)
        return;
    selectedIndex_ = index;
    // The maximum was the other account's, and so was money of another
    // currency, on whichever way the account changes.
    maxAmount_.clear();
    askedFor().settle(QString::fromLatin1(kMaximumAsk));
    forgetMoneyOfOtherCurrency();
}

bool TradeViewController::requestMoneyInfo()
{
    const qint32 type = selectedMoneyType();
    // Money of another currency is not this account's figure.
    forgetMoneyOfOtherCurrency();
    moneyTypeAsked_ = type;
    QString handle;
    const QString refused = services_.queryInfoManager->requestMoneyInfo(this, type, QString(), &handle);
    askedFor().ask(QString::fromLatin1(kMoneyAsk), handle);
    return refused.isEmpty();
}

void TradeViewController::queryMoneyInfo(DataModel*, const QString& handle, const RDOMoney& money)
{
    if (!takeAnswer(kMoneyAsk, handle))
        return;
    money_ = money.availableText();
    moneyTypeShown_ = moneyTypeAsked_;
    emit changed();
    figureRead(owedfigure::kMoney, true);
}

bool TradeViewController::queryMoneyInfo(DataModel*, const QString& handle, const CSError&)
{
    // The money shown stays; it may be out of date, and is read again.
    if (takeAnswer(kMoneyAsk, handle))
        figureRead(owedfigure::kMoney, false);
    return true;
}

bool TradeViewController::requestPositions()
{
    QString handle;
    const QString refused
        = services_.queryInfoManager->requestPositionInfo(this, queryPositionFlag_, &handle);
    askedFor().ask(QString::fromLatin1(kPositionsAsk), handle);
    return refused.isEmpty();
}

void TradeViewController::queryPositionInfo(DataModel*, const QString& handle, const DTTablePtr& table)
{
    if (!takeAnswer(kPositionsAsk, handle))
        return;
    // The Stock Connect holdings are left out of a copy: the asset page, or
    // whoever else asked together with this page, shares the reply.
    if (const auto stocks = std::dynamic_pointer_cast<const DTStockPositionTable>(table))
        positions_ = stocks->withoutMarketCode(5);
    else
        positions_ = table;
    const int rows = positions_ ? int(positions_->contentObjectArray().size()) : 0;
    if (selectedPositionRow_ >= rows)
        selectedPositionRow_ = -1;
    emit changed();
    // The row still picked is applied again when it is the form's security:
    // its lookup brings the default price back. Not while an order is on its
    // way to the dialog, whose price would be reset under the customer's eyes.
    const auto security = cachedSecurity();
    const auto row = positionRow<RDOPositionDetail>(selectedPositionRow_);
    if (!busy_ && security && row && row->stockCode == security->code)
        positionTableViewClicked(selectedPositionRow_);
    figureRead(owedfigure::kPositions, true);
}

bool TradeViewController::queryPositionInfo(DataModel*, const QString& handle, const CSError&)
{
    // The rows shown stay; they may be out of date, and are read again.
    if (takeAnswer(kPositionsAsk, handle))
        figureRead(owedfigure::kPositions, false);
    return true;
}

// --- Order ---

bool TradeViewController::verifyOrderInput()
{
    if (accountTitles_.isEmpty()) {
        alerts()->runAlert(AlertRequest::error(QString::fromUtf8(kNoAccountMessage)), {});
        return false;
    }
    const auto security = cachedSecurity();
    const bool priceNeeded = carriesPrice(getCurrentOrderType(), security ? security->classId : QString());
    const bool complete = !code_.isEmpty() && code_.size() == 6 && (!price_.isEmpty() || !priceNeeded)
        && !quantity_.isEmpty();
    if (!complete) {
        alerts()->runAlert(AlertRequest::tip(QString::fromUtf8(kMissingInputMessage)), {});
        return false;
    }
    if (!typedFieldsFit(priceNeeded))
        return false;
    if (!orderTypeAgreesWithMarket()) {
        alerts()->runAlert(AlertRequest::error(QString::fromUtf8(kOrderTypeNotOfMarketMessage)), {});
        return false;
    }
    return true;
}

namespace {

// A form label as the name of its field: "买入价格:" names "买入价格".
QString fieldTitle(QString label)
{
    if (label.endsWith(u':') || label.endsWith(u'：'))
        label.chop(1);
    return label;
}

} // namespace

bool TradeViewController::typedFieldsFit(bool priceSent)
{
    // Each field by its label; a price the order does not carry is not sent.
    std::optional<QString> why = typednumber::problem(fieldTitle(stockCodeLabel_), code_);
    if (!why && priceSent)
        why = typednumber::problem(fieldTitle(priceLabel_), price_);
    if (!why)
        why = typednumber::problem(fieldTitle(amountLabel_), quantity_);
    if (why)
        alerts()->runAlert(AlertRequest::tip(*why), {});
    return !why;
}

void TradeViewController::orderButtonClicked()
{
    if (busy_)
        return;
    if (!verifyOrderInput())
        return;
    busy_ = true;
    ++orderAttempt_;
    emit changed();
    const QString sent = services_.stockManager->requestQuerySTStockList(this);
    if (!sent.isEmpty())
        makeOrder(false, orderAttempt_);
}

void TradeViewController::querySTStockList(DataModel*, const QString&, const std::vector<QString>& codes)
{
    // After the reply handler has returned, never from inside it; the list
    // is read then, for the code the dialog will show.
    QMetaObject::invokeMethod(
        this,
        [this, codes, attempt = orderAttempt_] {
            makeOrder(std::find(codes.begin(), codes.end(), code_) != codes.end(), attempt);
        },
        Qt::QueuedConnection);
}

bool TradeViewController::querySTStockList(DataModel*, const QString&, const CSError&)
{
    QMetaObject::invokeMethod(
        this, [this, attempt = orderAttempt_] { makeOrder(false, attempt); }, Qt::QueuedConnection);
    return true;
}

void TradeViewController::makeOrder(bool atRisk, quint64 attempt)
{
    if (!busy_ || attempt != orderAttempt_)
        return;
    // The form stays editable while the risk list is asked for: the dialog
    // shows only a form that still passes the checks.
    if (!verifyOrderInput()) {
        finishOrder();
        return;
    }
    if (!atRisk) {
        showOrderConfirmWindow();
        return;
    }
    AlertRequest warning;
    warning.title = QString::fromUtf8(kDelistTitle);
    warning.text = QString::fromUtf8(kDelistText);
    warning.alternateButton = QStringLiteral("取消");
    alerts()->runAlert(warning, [this, attempt, alive = platform::Lifetime::Watch(dialog_)](int result) {
        if (!alive.survived() || attempt != orderAttempt_)
            return;
        if (result == 1)
            showOrderConfirmWindow();
        else
            finishOrder();
    });
}

void TradeViewController::showOrderConfirmWindow()
{
    const auto security = cachedSecurity();
    const std::optional<QString> classId
        = security ? std::optional<QString>(security->classId) : std::nullopt;
    const QString title = selectedOrderTypeTitle();
    if (quotePanel_)
        quotePanel_->setOrderFormHeld(true);
    const Watch alive = MenuItemViewController::watch();
    if (tradeType_ == 0)
        dialog_.runModalForCommonBuy(
            dialogParent_, selectedSecurityId(), code_, name_, title, price_, quantity_, classId);
    else
        dialog_.runModalForCommonSell(
            dialogParent_, selectedSecurityId(), code_, name_, title, price_, quantity_, classId);
    if (alive.survived())
        finishOrder();
}

void TradeViewController::finishOrder()
{
    if (quotePanel_)
        quotePanel_->setOrderFormHeld(false);
    busy_ = false;
    emit changed();
}

QString TradeViewController::marketOfAccount(const QString& securityId) const
{
    for (const QVariant& e : securityInfoArray_) {
        const QVariantMap entry = e.toMap();
        if (entry.value(QString::fromLatin1(kInfoId)).toString() == securityId)
            return entry.value(QString::fromLatin1(kInfoMarket)).toString();
    }
    return {};
}

StockManager::SecurityPtr TradeViewController::securityForOrder(
    const OrderParam& param, StockManager::SecurityPtr fresh) const
{
    if (auto cached = services_.stockManager->getSecurity(param.stockCode()))
        return cached;
    fresh->code = param.stockCode();
    fresh->marketType = marketOfAccount(param.securityId());
    return fresh;
}

void TradeViewController::sendOrder(
    const Security& security, const OrderParam& param, qint32 side, const QString& price)
{
    // The answer is heard through a relay: it reaches this page while the
    // page still awaits it, and is told all the same once it does not. One
    // past the dialog's time limit does on the page, still up for the
    // account, what it does while the page waits, on the form while it
    // still holds this order and the next one is not on its way.
    const OrderFormHeld form { param.stockCode(), param.quantity() };
    OrderOutcomeRelay& relay = OrderOutcomeRelay::forOrder(
        *this, *this, [this, form](bool accepted) { orderAnswered(accepted, !busy_ && holds(form)); });
    QString handle;
    const QString refused = services_.orderManager->requestOrder(
        &relay, security, param.securityId(), side, price, param.quantity(), param.orderType(), &handle);
    relay.sent(handle);
    formsSent_.sent(handle, form);
    if (!dialog_.requestSent(handle))
        alerts()->runAlert(AlertRequest::error(refused), {});
}

bool TradeViewController::doConfigOrderForStockTrade(int type, const OrderParam& param)
{
    if (type != 0 && type != 1)
        return false;
    const auto security = securityForOrder(param, std::make_shared<Security>());
    // The order type of the confirmed title in the market the order goes
    // to, as the order manager maps it; not whatever the form shows now.
    const qint32 orderType = security->getOrderType(param.orderType(), type);
    sendOrder(*security, param, type, carriesPrice(orderType, security->classId) ? param.price() : QString());
    return true;
}

void TradeViewController::tradeStock(DataModel*, const QString& handle, const QString& orderNumber)
{
    // The dialog on screen may be the next order's, opened after the lock
    // closed this one's: it stays, and so does the form it was made from.
    const std::optional<OrderFormHeld> form = formsSent_.answered(handle);
    const bool formOfThisOrder = dialog_.requestAnswered(handle) || (!busy_ && form && holds(*form));
    lastOrderNumber_ = orderNumber;
    ActionOutcomeRelay::tell(
        alerts(), AlertRequest::tip(QString::fromUtf8(kSubmittedFormat).arg(orderNumber)));
    orderAnswered(true, formOfThisOrder);
}

void TradeViewController::orderAnswered(bool accepted, bool formOfThisOrder)
{
    // The quantity of an order the server took goes, so the button does not
    // make the same order again.
    if (accepted && formOfThisOrder)
        quantity_.clear();
    readFiguresOfAnOrder();
}

void TradeViewController::readFiguresOfAnOrder()
{
    requestMoneyInfo();
    requestPositions();
    requestMaxQuantityInfo();
    emit changed();
}

bool TradeViewController::tradeStock(DataModel*, const QString& handle, const CSError& error)
{
    // Past the dialog's time limit the relay tells what comes: an answer
    // reaching the page is the page's to tell.
    dialog_.requestAnswered(handle);
    formsSent_.answered(handle);
    ActionOutcomeRelay::tell(alerts(), AlertRequest::error(DataModel::getNetworkError(error).domain));
    // Of an unknown outcome the figures are owed, and read again in the
    // account's rounds (readOwed) until the server answers.
    emit changed();
    return true;
}

QStringList TradeViewController::figuresShown() const
{
    // The side is known from the node: the page joins before its set-up.
    QStringList figures { owedfigure::kPositions, owedfigure::kMaximum };
    if (!moneyRowHidden())
        figures.prepend(QString::fromLatin1(owedfigure::kMoney));
    return figures;
}

QStringList TradeViewController::readOwed(const QStringList& owed)
{
    ReadsAskedAgain reads(owed);
    reads.ask(owedfigure::kMoney, [this] { return requestMoneyInfo(); });
    reads.ask(owedfigure::kPositions, [this] { return requestPositions(); });
    reads.ask(owedfigure::kMaximum, [this] { return requestMaxQuantityInfo(); });
    emit changed();
    return reads.asked();
}

void TradeViewController::registerPages()
{
    MenuItemViewManager::getInstance()->registerPageClass(QStringLiteral("TradeViewController"),
        [](const BaseNode::Ptr& node) { return std::make_unique<TradeViewController>(node); });
}
