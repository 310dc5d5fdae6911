#include "trading/pages/WarrantExerciseViewController.h"

#include "core/TypedNumber.h"
#include "shell/pages/MenuItemViewManager.h"
#include "trading/DMOrderType.h"
#include "trading/orders/OrderManager.h"
#include "trading/security/Security.h"
#include "trading/security/StockManager.h"

WarrantExerciseViewController::WarrantExerciseViewController(
    BaseNode::Ptr node, TradeViewControllerServices services, MenuItemViewController::Services pageServices)
    : TradeViewController(std::move(node), services, pageServices)
{
    queryPositionFlag_ = 1;
}

void WarrantExerciseViewController::initViewControls()
{
    tradeType_ = 2;
    emit changed();
}

void WarrantExerciseViewController::awakeFromNib()
{
    tradeType_ = 2;
    TradeViewController::awakeFromNib();
    stockCodeLabel_ = QStringLiteral("行权代码");
    priceLabel_ = QStringLiteral("行权价格");
    maxAmountLabel_ = QStringLiteral("可用数量");
    amountLabel_ = QStringLiteral("行权数量");
    orderButtonTitle_ = QStringLiteral("行权下单");
    layoutShifted_ = true;
    emit changed();
}

qint32 WarrantExerciseViewController::getCurrentOrderType() const
{
    return DMOrderType::kWarrantExercise;
}

void WarrantExerciseViewController::clearPrice()
{
    // A new code never keeps the exercise price of the warrant shown before:
    // a failed or late warrant lookup would otherwise exercise at it.
    price_.clear();
    stepperValue_ = 0;
}

void WarrantExerciseViewController::queryQuotesOf5Level(
    DataModel* r, const QString& h, const RDOQuotesOf5Level& quote)
{
    const bool lookup = isNotRefresh_ && askedFor().awaits(QString::fromLatin1(kQuoteAsk), h);
    TradeViewController::queryQuotesOf5Level(r, h, quote);
    // A field edited since (a code cut short) is no warrant to ask about.
    if (!lookup || code_ != quote.identifycode || !typednumber::canBeSent(code_))
        return;
    clearPrice();
    QString handle;
    services_.stockManager->requestQueryWarrantInfo(this, code_, quote.marketType, &handle);
    askedFor().ask(QString::fromLatin1(kWarrantAsk), handle);
    warrantAsked_ = code_;
    emit changed();
}

bool WarrantExerciseViewController::queryQuotesOf5Level(DataModel* r, const QString& h, const CSError& e)
{
    if (isNotRefresh_ && askedFor().awaits(QString::fromLatin1(kQuoteAsk), h))
        clearPrice();
    return TradeViewController::queryQuotesOf5Level(r, h, e);
}

void WarrantExerciseViewController::queryWarrantInfo(
    DataModel*, const QString& handle, const RDOWarrantInfo& info)
{
    // The facts of a warrant the field no longer names came late.
    if (!takeAnswer(kWarrantAsk, handle))
        return;
    // The facts answer the code they were asked for, whatever code they
    // echo ("", padded, "580026.0").
    bool ok = false;
    const double price = info.exercisePrice.toDouble(&ok);
    if (!ok || warrantAsked_ != code_) {
        // Not a number, or the code was cut short since. A negative price is
        // printed as it comes: the server judges it.
        clearPrice();
    } else {
        price_ = QString::asprintf("%.3lf", price);
        stepperValue_ = price;
        increment_ = 0.001;
    }
    requestMaxQuantityInfo();
    emit changed();
}

bool WarrantExerciseViewController::queryWarrantInfo(DataModel*, const QString& handle, const CSError&)
{
    takeAnswer(kWarrantAsk, handle);
    // No message; the price stays empty (cleared at the lookup).
    return true;
}

bool WarrantExerciseViewController::verifyOrderInput()
{
    // The order reads the selected account: without one there is nothing to
    // exercise from, so say so as the trading page does.
    if (accountTitles_.isEmpty()) {
        alerts()->runAlert(AlertRequest::error(QString::fromUtf8(kNoAccountMessage)), {});
        return false;
    }
    const bool complete = code_.size() == 6 && !price_.isEmpty() && !quantity_.isEmpty();
    if (!complete) {
        alerts()->runAlert(AlertRequest::tip(QString::fromUtf8(kMissingInputMessage)), {});
        return false;
    }
    // An exercise always carries its price.
    return typedFieldsFit(true);
}

void WarrantExerciseViewController::orderButtonClicked()
{
    if (busy_ || !verifyOrderInput())
        return;
    busy_ = true;
    emit changed();
    showOrderConfirmWindow();
}

void WarrantExerciseViewController::positionTableViewClicked(int row)
{
    const auto position = positionRow<RDOWarrantPositionDetail>(row);
    selectedPositionRow_ = position ? row : -1;
    if (!position || !typednumber::canBeSent(position->exerciseCode)) {
        emit changed();
        return;
    }
    code_ = position->exerciseCode;
    selectAccountWithId(position->securityId);
    lookUp();
    // Until the server's maximum replaces it.
    maxAmount_ = position->stockQuantity + QStringLiteral("股");
    emit changed();
}

void WarrantExerciseViewController::showOrderConfirmWindow()
{
    const Watch alive = MenuItemViewController::watch();
    dialog_.runModalForExerciseWarrant(dialogParent_, selectedSecurityId(), code_, name_, price_, quantity_);
    if (alive.survived())
        finishOrder();
}

bool WarrantExerciseViewController::doConfigOrderForStockTrade(int, const OrderParam& param)
{
    // Always an exercise (type 200): a code cached as a stock would turn side
    // 2 into a sale. It goes as a warrant of the code, in the market the
    // quote named, else the account's; the price is always sent.
    const auto cached = services_.stockManager->getSecurity(param.stockCode());
    const std::shared_ptr<Security> warrant = StockManager::makeSecurity(5);
    warrant->code = param.stockCode();
    warrant->marketType = cached ? cached->marketType : marketOfAccount(param.securityId());
    sendOrder(*warrant, param, 2, param.price());
    return true;
}

void WarrantExerciseViewController::registerPages()
{
    MenuItemViewManager::getInstance()->registerPageClass(QStringLiteral("WarrantExerciseViewController"),
        [](const BaseNode::Ptr& node) { return std::make_unique<WarrantExerciseViewController>(node); });
}
