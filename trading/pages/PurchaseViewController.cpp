#include "trading/pages/PurchaseViewController.h"

#include "comm/recordset/ServerNumber.h"
#include "core/NotificationCenter.h"
#include "core/TypedNumber.h"
#include "login/AccountManager.h"
#include "trading/orders/OrderManager.h"
#include "trading/pages/OrderOutcomeRelay.h"
#include "trading/query/QueryInfoManager.h"
#include "trading/requests/TradeQueryRecords.h"
#include "trading/security/Security.h"
#include "trading/security/StockManager.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

constexpr char kInfoText[] = "security_info_text";
constexpr char kInfoMarket[] = "security_info_market_code";
constexpr char kInfoId[] = "security_info_id";
constexpr int kNewStockConfirm = 3;
// The buttons' step, and what a price must stay above after a minus.
constexpr float kPriceButtonStep = 0.01f;
constexpr float kLeastPrice = 0.000001f;
// What the page's pending answers are for (AskedFor channels).
constexpr char kMoneyAsk[] = "money";
constexpr char kMaximumAsk[] = "maximum";

} // namespace

PurchaseViewController::PurchaseViewController(BaseNode::Ptr node, PurchaseViewControllerServices services,
    MenuItemViewController::Services pageServices)
    : MenuItemViewController(std::move(node), pageServices)
    , services_(services)
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
}

PurchaseViewController::~PurchaseViewController()
{
    services_.stockManager->clearSecurityObjects();
}

void PurchaseViewController::willDropRequests()
{
    // A reply dropped with the account would never close the dialog; a
    // dialog still waiting for the customer holds a subscription of the
    // account left behind. Either closes.
    if (dialog_.isShown())
        dialog_.stopRunModal();
    // The press that opened it no longer hears the dialog close: the button
    // works again from here.
    busy_ = false;
    formsSent_.clear();
}

void PurchaseViewController::awakeFromNib()
{
    warning_ = false;
    quantity_.clear();
    observePage(pagenotify::kAccountProtectOptionChanged, [this](const platform::Notification&) {
        if (securityInfoArray_.isEmpty())
            return;
        const int keep = selectedAccount_;
        initSecurityIdPButton();
        if (keep >= 0 && keep < securityInfoArray_.size())
            selectedAccount_ = keep;
        emit changed();
    });
    initSecurityIdPButton();
    // Without a shareholder account neither is asked for: the figures of the
    // account before must not stay as if they were this one's.
    if (securityInfoArray_.isEmpty()) {
        money_.clear();
        maxQuantity_.clear();
    }
    requestMoneyInfo();
    requestPurchaseNewStockList();
    emit changed();
}

void PurchaseViewController::clearAccountFigures()
{
    // The list, the issue and every figure were the previous account's; the
    // list asked for now is this one's, and until it comes there is none.
    money_.clear();
    maxQuantity_.clear();
    stockInfoList_.clear();
    selectedStock_ = -1;
    selectedRow_ = -1;
    table_.reset();
    tableView_.clearRows();
    clearIssueFigures();
    warning_ = false;
}

void PurchaseViewController::clearIssueFigures()
{
    price_.clear();
    limitDown_.clear();
    limitUp_.clear();
    maxQuantity_.clear();
}

void PurchaseViewController::initSecurityIdPButton()
{
    securityInfoArray_.clear();
    accountTitles_.clear();
    if (auto account = services_.accountManager->getActiveLoginAccount())
        securityInfoArray_ = account->getSecuidInfoExceptByMarketCode(5);
    for (const QVariant& entry : securityInfoArray_)
        accountTitles_ << entry.toMap().value(QString::fromLatin1(kInfoText)).toString();
    selectedAccount_ = securityInfoArray_.isEmpty() ? -1 : 0;
}

QString PurchaseViewController::selectedField(const char* key) const
{
    if (selectedAccount_ < 0 || selectedAccount_ >= securityInfoArray_.size())
        return QString();
    return securityInfoArray_[selectedAccount_].toMap().value(QString::fromLatin1(key)).toString();
}

QStringList PurchaseViewController::stockTitles() const
{
    QStringList titles;
    for (const RDONewStock& r : stockInfoList_)
        titles << r.stockCodeAndName;
    return titles;
}

bool PurchaseViewController::requestMoneyInfo()
{
    if (securityInfoArray_.isEmpty())
        return false;
    const qint32 type = QueryInfoManager::moneyTypeOfMarket(selectedField(kInfoMarket));
    QString handle;
    if (!services_.queryInfoManager->requestMoneyInfo(this, type, QString(), &handle).isEmpty())
        return false;
    askedFor().ask(QString::fromLatin1(kMoneyAsk), handle);
    return true;
}

void PurchaseViewController::queryMoneyInfo(DataModel*, const QString& handle, const RDOMoney& money)
{
    // Only the answer of the money asked for last: one asked before a
    // subscription (or in another currency) is no longer the figure.
    if (!askedFor().take(QString::fromLatin1(kMoneyAsk), handle))
        return;
    money_ = money.availableText();
    emit changed();
    figureRead(owedfigure::kMoney, true);
}

bool PurchaseViewController::queryMoneyInfo(DataModel*, const QString& handle, const CSError&)
{
    // The money shown stays; it may be out of date, and is read again.
    if (askedFor().take(QString::fromLatin1(kMoneyAsk), handle))
        figureRead(owedfigure::kMoney, false);
    return true;
}

void PurchaseViewController::requestPurchaseNewStockList()
{
    // Refused before it went out (no account): as a failed list.
    if (!services_.queryInfoManager->requestPurchaseNewStockList(this).isEmpty())
        queryPurchaseNewStockList(nullptr, QString(), CSError());
}

void PurchaseViewController::queryPurchaseNewStockList(
    DataModel*, const QString&, const std::shared_ptr<DTPurchaseNewStockTable>& table)
{
    warning_ = false;
    table_ = table;
    tableView_.show(table);
    stockInfoList_.clear();
    for (qsizetype row = 0; table && row < table->contentObjectArray().size(); ++row)
        stockInfoList_.push_back(table->recordAt(row));
    selectedStock_ = stockInfoList_.empty() ? -1 : 0;
    selectedRow_ = -1;
    // No issue left: nothing of the one shown before may be subscribed to.
    if (stockInfoList_.empty())
        clearIssueFigures();
    initStockInfo();
    emit changed();
}

bool PurchaseViewController::queryPurchaseNewStockList(DataModel*, const QString&, const CSError&)
{
    warning_ = true;
    // The pop-up and the records stay: a list that arrived before can
    // still be subscribed to.
    tableView_.clearRows();
    selectedRow_ = -1;
    emit changed();
    return true;
}

void PurchaseViewController::selectAccountFor(const RDONewStock& issue)
{
    const bool byMarket = issue.securityId.isEmpty();
    // Markets by their value, as the trading page reads them: a list may send
    // "1.000" for the account's "1".
    const std::optional<qint64> market = servernumber::wholeValueOf(issue.marketType);
    if (byMarket && !market)
        return;
    for (int i = 0; i < securityInfoArray_.size(); ++i) {
        const QVariantMap entry = securityInfoArray_[i].toMap();
        const bool match = byMarket
            ? servernumber::wholeValueOf(entry.value(QString::fromLatin1(kInfoMarket))) == market
            : entry.value(QString::fromLatin1(kInfoId)).toString() == issue.securityId;
        if (match) {
            selectedAccount_ = i;
            return;
        }
    }
}

void PurchaseViewController::initPriceInfo(const QString& price)
{
    // An issue without a price leaves the field empty, never the price of
    // the issue shown before.
    if (price.isEmpty()) {
        price_.clear();
        return;
    }
    stepperValue_ = stepperBounded(price.toDouble());
    price_ = price;
}

void PurchaseViewController::initStockInfo()
{
    if (selectedStock_ < 0 || selectedStock_ >= int(stockInfoList_.size()))
        return;
    const RDONewStock& issue = stockInfoList_[selectedStock_];
    services_.stockManager->updateNewStock(issue);
    selectAccountFor(issue);
    initPriceInfo(issue.stockPrice);
    limitDown_ = issue.limitDown;
    limitUp_ = issue.limitUp;
    requestMaxQuantityInfo();
}

void PurchaseViewController::securityIdChanged(int index)
{
    if (index < 0 || index >= securityInfoArray_.size())
        return;
    selectedAccount_ = index;
    requestMaxQuantityInfo();
    emit changed();
}

void PurchaseViewController::stockSelectionChanged(int index)
{
    if (index < 0 || index >= int(stockInfoList_.size()))
        return;
    selectedStock_ = index;
    if (selectedRow_ >= 0)
        selectedRow_ = index;
    initStockInfo();
    emit changed();
}

void PurchaseViewController::stockInfoTableClicked(int row)
{
    if (row < 0 || row >= int(stockInfoList_.size()))
        return;
    selectedRow_ = row;
    selectedStock_ = row;
    // Everything of the issue picked, its limits included.
    initStockInfo();
    emit changed();
}

bool PurchaseViewController::requestMaxQuantityInfo()
{
    // No shareholder account to subscribe with: nothing to ask for.
    if (securityInfoArray_.isEmpty())
        return false;
    maxQuantity_.clear();
    askedFor().settle(QString::fromLatin1(kMaximumAsk));
    if (selectedStock_ < 0 || selectedStock_ >= int(stockInfoList_.size()))
        return false;
    const RDONewStock& issue = stockInfoList_[selectedStock_];
    if (issue.stockCode.isEmpty() || issue.marketType.isEmpty())
        return false;
    QString handle;
    if (!services_.queryInfoManager
             ->requestMaxQuantityOfStock(
                 this, selectedField(kInfoId), issue.stockCode, issue.marketType, 0, price_, &handle)
             .isEmpty())
        return false;
    askedFor().ask(QString::fromLatin1(kMaximumAsk), handle);
    return true;
}

void PurchaseViewController::queryMaxQuantityInfo(DataModel*, const QString& handle, const QString& quantity)
{
    // Only the maximum of the account, issue and price asked for last.
    if (!askedFor().take(QString::fromLatin1(kMaximumAsk), handle))
        return;
    maxQuantity_ = quantity + QStringLiteral("股");
    emit changed();
    figureRead(owedfigure::kMaximum, true);
}

bool PurchaseViewController::queryMaxQuantityInfo(DataModel*, const QString& handle, const CSError&)
{
    if (!askedFor().take(QString::fromLatin1(kMaximumAsk), handle))
        return true;
    maxQuantity_ = QStringLiteral("--");
    emit changed();
    figureRead(owedfigure::kMaximum, false);
    return true;
}

void PurchaseViewController::requestNewStockInfo()
{
    if (selectedStock_ < 0 || selectedStock_ >= int(stockInfoList_.size()))
        return;
    const QString& code = stockInfoList_[selectedStock_].stockCode;
    askedFor().ask(QStringLiteral("details"), code);
    services_.stockManager->requestNewStockMarketCode(this, code);
}

void PurchaseViewController::queryNewStockInfo(DataModel*, const QString&, const RDONewStock& record)
{
    // The details of an issue no longer chosen would pick its account.
    if (selectedStock_ < 0 || selectedStock_ >= int(stockInfoList_.size())
        || !askedFor().take(QStringLiteral("details"), stockInfoList_[selectedStock_].stockCode))
        return;
    if (record.securityId.isEmpty() && record.marketType.isEmpty()) {
        requestMaxQuantityInfo();
        return;
    }
    selectAccountFor(record);
    services_.stockManager->updateNewStock(record);
    requestMaxQuantityInfo();
    emit changed();
}

double PurchaseViewController::stepperBounded(double value)
{
    return std::isfinite(value) ? std::clamp(value, kStepperMinimum, kStepperMaximum) : kStepperMinimum;
}

// The field's number (0 for a text that is none) plus or minus a hundredth,
// in single precision, with two decimals; the stepper stays where it was.
void PurchaseViewController::addButtonClicked()
{
    const float sum = price_.toFloat() + kPriceButtonStep;
    price_ = QString::asprintf("%.2lf", double(sum));
    emit changed();
}

void PurchaseViewController::subButtonClicked()
{
    const float difference = price_.toFloat() - kPriceButtonStep;
    if (!(difference >= kLeastPrice))
        return;
    price_ = QString::asprintf("%.2lf", double(difference));
    emit changed();
}

void PurchaseViewController::priceStepperClicked(double value)
{
    stepperValue_ = stepperBounded(value);
    // Two decimals, as many as the stepper's increment of 0.01 shows.
    price_ = QString::asprintf("%.2lf", stepperValue_);
    emit changed();
}

void PurchaseViewController::setPriceText(const QString& text)
{
    price_ = typednumber::read(text);
    stepperValue_ = stepperBounded(price_.toDouble());
    emit changed();
}

void PurchaseViewController::setQuantityText(const QString& text)
{
    quantity_ = typednumber::read(text);
    emit changed();
}

bool PurchaseViewController::verifyOrderInput()
{
    if (accountTitles_.isEmpty()) {
        alerts()->runAlert(AlertRequest::error(QString::fromUtf8(kNoAccountMessage)), {});
        return false;
    }
    if (stockInfoList_.empty() || selectedStock_ < 0) {
        alerts()->runAlert(AlertRequest::tip(QString::fromUtf8(kNoIssueMessage)), {});
        return false;
    }
    if (price_.isEmpty() || quantity_.isEmpty()) {
        alerts()->runAlert(AlertRequest::tip(QString::fromUtf8(kMissingInputMessage)), {});
        return false;
    }
    // Present is enough: the server judges the price and the quantity. Only
    // a text no request can carry is refused, naming its field.
    std::optional<QString> why = typednumber::problem(QStringLiteral("申购价格"), price_);
    if (!why)
        why = typednumber::problem(QStringLiteral("申购数量"), quantity_);
    if (why)
        alerts()->runAlert(AlertRequest::tip(*why), {});
    return !why;
}

void PurchaseViewController::purchaseButtonClicked()
{
    if (busy_ || !verifyOrderInput())
        return;
    busy_ = true;
    emit changed();
    const RDONewStock& issue = stockInfoList_[selectedStock_];
    const auto alive = MenuItemViewController::watch();
    dialog_.runModalForNewStockBuy(
        dialogParent_, selectedField(kInfoId), issue.stockCode, issue.stockName, price_, quantity_);
    if (!alive.survived())
        return;
    busy_ = false;
    emit changed();
}

bool PurchaseViewController::doConfigOrderForStockTrade(int type, const OrderParam& param)
{
    if (type != kNewStockConfirm)
        return false;
    // The order is built from what the dialog showed, not from the form.
    QString market;
    for (const RDONewStock& r : stockInfoList_) {
        if (r.stockCode == param.stockCode()) {
            market = r.marketType;
            break;
        }
    }
    StockManager::SecurityPtr security = services_.stockManager->getSecurity(param.stockCode());
    if (!security) {
        security = std::make_shared<IPOStock>();
        security->code = param.stockCode();
        security->marketType = market;
    }
    // Heard through a relay, so the outcome is told also after the page has
    // dropped its requests (an account change) or gone; one past the
    // dialog's time limit does on the page, still up for the account, what
    // it does while the page waits, on the form while it still holds this
    // subscription.
    const OrderFormHeld form { param.stockCode(), param.quantity() };
    OrderOutcomeRelay& relay = OrderOutcomeRelay::forOrder(
        *this, *this, [this, form](bool accepted) { orderAnswered(accepted, !busy_ && holds(form)); });
    QString handle;
    const QString refused = services_.orderManager->requestOrder(&relay, *security, param.securityId(), 0,
        param.price(), param.quantity(), QStringLiteral("限价委托"), &handle);
    relay.sent(handle);
    formsSent_.sent(handle, form);
    if (!dialog_.requestSent(handle))
        alerts()->runAlert(AlertRequest::error(refused), {});
    return true;
}

QStringList PurchaseViewController::figuresShown() const
{
    return { owedfigure::kMoney, owedfigure::kMaximum };
}

QStringList PurchaseViewController::readOwed(const QStringList& owed)
{
    ReadsAskedAgain reads(owed);
    reads.ask(owedfigure::kMoney, [this] { return requestMoneyInfo(); });
    reads.ask(owedfigure::kMaximum, [this] { return requestMaxQuantityInfo(); });
    emit changed();
    return reads.asked();
}

void PurchaseViewController::tradeStock(DataModel*, const QString& handle, const QString& orderNumber)
{
    // Only this subscription's dialog closes: the one on screen may be the
    // next one's, opened after the lock closed this one's, and the form is
    // then that one's.
    const std::optional<OrderFormHeld> form = formsSent_.answered(handle);
    const bool formOfThisOrder = dialog_.requestAnswered(handle) || (!busy_ && form && holds(*form));
    lastOrderNumber_ = orderNumber;
    ActionOutcomeRelay::tell(
        alerts(), AlertRequest::tip(QString::fromUtf8(kSubmittedFormat).arg(orderNumber)));
    orderAnswered(true, formOfThisOrder);
}

bool PurchaseViewController::holds(const OrderFormHeld& form) const
{
    return selectedStock_ >= 0 && size_t(selectedStock_) < stockInfoList_.size()
        && OrderFormHeld { stockInfoList_[size_t(selectedStock_)].stockCode, quantity_ } == form;
}

void PurchaseViewController::orderAnswered(bool accepted, bool formOfThisOrder)
{
    // The quantity of a subscription the server took goes, so the button
    // does not send the same one again.
    if (accepted && formOfThisOrder)
        quantity_.clear();
    readFiguresOfAnOrder();
}

void PurchaseViewController::readFiguresOfAnOrder()
{
    requestMoneyInfo();
    requestMaxQuantityInfo();
    emit changed();
}

bool PurchaseViewController::tradeStock(DataModel*, const QString& handle, const CSError& error)
{
    dialog_.requestAnswered(handle);
    formsSent_.answered(handle);
    ActionOutcomeRelay::tell(alerts(), AlertRequest::error(DataModel::getNetworkError(error).domain));
    emit changed();
    return true;
}
