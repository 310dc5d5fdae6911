#include "funds/trade/OpdFundTradeViewController.h"

#include "core/TypedNumber.h"
#include "funds/FundOutcomeRelays.h"
#include "funds/FundTradeOperations.h"
#include "funds/OpenFundManager.h"
#include "funds/requests/FundDataModels.h"
#include "funds/trade/FundOrderAlert.h"
#include "platform/ChinaClock.h"
#include "trading/requests/OrderDataModels.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

namespace {

const QString kFundRequestFailed = QStringLiteral("基金信息请求失败。");
// The risk-level match's answers act this long after they arrive.
constexpr std::chrono::milliseconds kRiskLevelMatchDelay { 10 };

// The client's own failures only: a server's error row is its refusal,
// whatever number it carries.
bool isWithheld(const CSError& error)
{
    return !error.fromErrorRow
        && (error.code == kOrderOutcomeUnknownCode || error.code == CSErrorRequestTimeout
            || error.code == CSErrorNetworkDisconnect);
}

} // namespace

OpdFundTradeViewController::OpdFundTradeViewController(qint32 viewType)
    : OpdFundTradeViewController(viewType, Services {})
{
}

OpdFundTradeViewController::OpdFundTradeViewController(qint32 viewType, Services services)
    : viewType_(viewType)
    , services_(services)
{
    if (!services_.funds)
        services_.funds = OpenFundManager::getInstance();
    if (!services_.orders)
        services_.orders = OrderManagerFunds::getInstance();
    money_ = std::make_unique<FundMoneyQuery>(services_.queries);
    if (!services_.confirmation) {
        ownConfirmation_ = std::make_shared<FundOrderAlert>();
        services_.confirmation = ownConfirmation_.get();
    }
}

OpdFundTradeViewController::~OpdFundTradeViewController()
{
    // The step under way goes with the form (an account change makes the
    // form anew): its confirmation or notice never stays on screen for an
    // order nobody will send or hear about.
    if (draft_ && services_.confirmation)
        services_.confirmation->stopRunModal();
    if (noticesShowing_ && contracts_)
        contracts_->closeBusinessContracts();
}

void OpdFundTradeViewController::setParentWindow(QObject* window)
{
    if (auto* alert = dynamic_cast<FundOrderAlert*>(ownConfirmation_.get()))
        alert->setParentWindow(window);
}

void OpdFundTradeViewController::awakeFromNib()
{
    if (viewType_ == Redeem)
        popUpItems_ = { QStringLiteral("巨额取消"), QStringLiteral("巨额顺延") };
    else if (viewType_ == Bonus)
        popUpItems_ = { QStringLiteral("红利转投"), QStringLiteral("现金分红") };
    else if (viewType_ == Plan) {
        periodItems_ = { QStringLiteral("每月"), QStringLiteral("每周") };
        expireItems_ = { QStringLiteral("日期区间") };
    }
    reset();
    requestAvailableBalance();
}

void OpdFundTradeViewController::addFundChangedObserver(IUpdateFundHistoryValues* observer)
{
    if (observer)
        observerArray.emplace_back(observer);
}

void OpdFundTradeViewController::setText(Field field, const QString& text)
{
    const QString value
        = field == Code || field == TargetCode || field == Amount ? typednumber::read(text) : text;
    if (value != texts_[field])
        orderInputChanged();
    texts_[field] = value;
    emit changed();
}

void OpdFundTradeViewController::selectPopUp(qint32 index)
{
    if (index >= 0 && index < popUpItems_.size() && index != popUpIndex_) {
        orderInputChanged();
        popUpIndex_ = index;
    }
    emit changed();
}

void OpdFundTradeViewController::orderInputChanged()
{
    // The confirmation holds its own copy of the order: only the steps
    // before it read the fields.
    if (busy_ && !draft_)
        cancelStep();
}

void OpdFundTradeViewController::cancelStep()
{
    if (!busy_ || sent_)
        return;
    if (draft_ && services_.confirmation)
        services_.confirmation->stopRunModal();
    if (noticesShowing_ && contracts_)
        contracts_->closeBusinessContracts();
    endPipeline();
}

void OpdFundTradeViewController::reset()
{
    // 重填 ends whatever step runs, the confirmation too.
    cancelStep();
    const bool hadFund = currentFund_.has_value();
    currentFund_.reset();
    fundOfTranformTo_.reset();
    askedCode_.clear();
    askedTargetCode_.clear();
    asked_.forgetAll();
    for (Field f : { Code, TargetCode, Name, TargetName, Value, Available, Amount })
        texts_[f].clear();
    popUpIndex_ = 0;
    if (viewType_ == Plan) {
        // The plan's dates are the exchanges' days, whatever the machine's zone.
        const QDate today = platform::ChinaClock::now().date();
        texts_[ApplyDate] = today.toString(QStringLiteral("yyyy-MM-dd"));
        texts_[ChargeType].clear();
        paymentPeriodChanged(0);
        expireIndex_ = 0;
        beginDate_ = today;
        endDate_ = today.addDays(366);
    }
    // The chart goes with the fund it belongs to.
    if (hadFund)
        tellFundChanged(std::nullopt);
    emit changed();
}

void OpdFundTradeViewController::paymentPeriodChanged(qint32 index)
{
    if (index == 1) {
        paymentDayItems_ = { QStringLiteral("星期一"), QStringLiteral("星期二"), QStringLiteral("星期三"),
            QStringLiteral("星期四"), QStringLiteral("星期五") };
    } else if (index == 0) {
        paymentDayItems_.clear();
        for (int day = 1; day <= 26; ++day)
            paymentDayItems_ << QStringLiteral("每月%1号").arg(day);
    } else {
        return;
    }
    if (index != periodIndex_)
        orderInputChanged();
    periodIndex_ = index;
    paymentDayIndex_ = 0;
    emit changed();
}

void OpdFundTradeViewController::selectPaymentDay(qint32 index)
{
    if (index >= 0 && index < paymentDayItems_.size() && index != paymentDayIndex_) {
        orderInputChanged();
        paymentDayIndex_ = index;
    }
    emit changed();
}

void OpdFundTradeViewController::selectExpire(qint32 index)
{
    if (index >= 0 && index < expireItems_.size() && index != expireIndex_) {
        orderInputChanged();
        expireIndex_ = index;
    }
    emit changed();
}

void OpdFundTradeViewController::setBeginDate(const QDate& date)
{
    if (date.isValid() && date != beginDate_) {
        orderInputChanged();
        beginDate_ = date;
    }
    emit changed();
}

void OpdFundTradeViewController::setEndDate(const QDate& date)
{
    if (date.isValid() && date != endDate_) {
        orderInputChanged();
        endDate_ = date;
    }
    emit changed();
}

bool OpdFundTradeViewController::requestAvailableBalance()
{
    // Shown only where money buys the fund.
    const bool shown = viewType_ == Subscribe || viewType_ == Purchase;
    const platform::WeakRef<BusinessContractDelegate> self(this);
    money_->request(
        [this, self, shown](const QString& text) {
            if (!self.get() || !shown)
                return;
            texts_[AvailableBalance] = text;
            emit changed();
        },
        [this, self, shown](bool withRows) {
            if (self.get() && shown)
                emit moneyRead(withRows);
        });
    return shown;
}

bool OpdFundTradeViewController::rereadPosition()
{
    if (!hasCurrentFund())
        return false;
    asked_.ask(QStringLiteral("reread"), services_.funds->requestOpdFundPosition(this, askedCode_));
    return true;
}

bool OpdFundTradeViewController::rereadBonusSetting()
{
    if (viewType_ != Bonus || !hasCurrentFund() || currentFund_->code.isEmpty())
        return false;
    const QString handle
        = services_.funds->requestQueryBonusSetting(this, currentFund_->code, currentFund_->corpCode);
    asked_.ask(QStringLiteral("bonus"), handle);
    return !handle.isEmpty();
}

bool OpdFundTradeViewController::isCodeField(Field field) const
{
    return field == Code || (field == TargetCode && viewType_ == Transform);
}

bool OpdFundTradeViewController::picked(const Fund& fund)
{
    orderInputChanged();
    currentFund_.reset();
    if (!fund) {
        texts_[Code].clear();
        forgetFundFigures(false);
        askedCode_.clear();
        emit changed();
        return true;
    }
    texts_[Code] = fund->code;
    texts_[Name] = fund->name;
    if (viewType_ != Transform)
        texts_[Value] = fund->value;
    forgetFundFigures(false, true);
    lookUp(fund->code, false);
    emit changed();
    return true;
}

void OpdFundTradeViewController::controlTextDidChange(Field field, const QString& text)
{
    if (!isCodeField(field))
        return;
    // The field takes 6 characters at most, read as typed numbers are.
    const QString code = typednumber::read(text).left(kCodeLength);
    if (code != texts_[field]) {
        orderInputChanged();
        texts_[field] = code;
        forgetFundFigures(field == TargetCode);
    }
    if (code.size() == kCodeLength)
        lookUp(code, field == TargetCode);
    emit changed();
}

void OpdFundTradeViewController::forgetFundFigures(bool target, bool keepListed)
{
    if (target) {
        texts_[TargetName].clear();
        asked_.settle(QStringLiteral("target"));
        return;
    }
    if (!keepListed) {
        texts_[Name].clear();
        texts_[Value].clear();
    }
    texts_[Available].clear();
    texts_[ChargeType].clear();
    if (viewType_ == Bonus)
        popUpIndex_ = 0;
    asked_.settle(QStringLiteral("fund"));
    asked_.settle(QStringLiteral("reread"));
    asked_.settle(QStringLiteral("bonus"));
    tellFundChanged(std::nullopt);
}

void OpdFundTradeViewController::codeEditEnd(Field field)
{
    if (!isCodeField(field))
        return;
    const QString code = texts_[field];
    if (!code.isEmpty() && code.size() < kCodeLength)
        controlTextDidChange(field, code.rightJustified(kCodeLength, QLatin1Char('0')));
    focus_ = gotoNextResponder(field);
    emit changed();
}

void OpdFundTradeViewController::controlEditEnd(Field field)
{
    focus_ = gotoNextResponder(field);
    emit changed();
}

OpdFundTradeViewController::Field OpdFundTradeViewController::gotoNextResponder(Field from) const
{
    std::vector<Field> cycle;
    if (viewType_ == Bonus)
        cycle = { Code };
    else if (viewType_ == Transform)
        cycle = { Code, TargetCode, Amount };
    else
        cycle = { Code, Amount };
    const auto at = std::find(cycle.begin(), cycle.end(), from);
    if (at == cycle.end())
        return focus_;
    return cycle[(size_t(at - cycle.begin()) + 1) % cycle.size()];
}

// doStockCodeEditEnd:
void OpdFundTradeViewController::lookUp(const QString& code, bool target)
{
    if (target) {
        fundOfTranformTo_.reset();
        askedTargetCode_ = code;
        asked_.ask(QStringLiteral("target"), services_.funds->requestQueryOpdFund(this, code));
        return;
    }
    currentFund_.reset();
    askedCode_ = code;
    asked_.settle(QStringLiteral("reread"));
    asked_.settle(QStringLiteral("bonus"));
    asked_.ask(QStringLiteral("fund"),
        viewType_ == Redeem || viewType_ == Transform ? services_.funds->requestOpdFundPosition(this, code)
                                                      : services_.funds->requestQueryOpdFund(this, code));
}

void OpdFundTradeViewController::lookupFoundNothing(bool target)
{
    if (target) {
        fundOfTranformTo_.reset();
        texts_[TargetName].clear();
    } else {
        currentFund_.reset();
        forgetFundFigures(false, true);
    }
    emit changed();
}

void OpdFundTradeViewController::queryOpdFundInfo(DataModel*, const QString& handle, const RDOOpenEndFund& fund)
{
    const bool target = viewType_ == Transform;
    const QString channel = target ? QStringLiteral("target") : QStringLiteral("fund");
    // An answer asked for another code, or before the code changed, is late.
    if (!asked_.take(channel, handle))
        return;
    // A record of another fund: the code names no fund. A reply without
    // rows is a record whose texts are all empty, shown as it is.
    if (!fund.code.isEmpty() && fund.code != (target ? askedTargetCode_ : askedCode_)) {
        lookupFoundNothing(target);
        return;
    }
    if (target) {
        fundOfTranformTo_ = fund;
        texts_[TargetName] = fund.name;
        emit changed();
        return;
    }
    currentFund_ = fund;
    texts_[Name] = fund.name;
    texts_[Value] = fund.value;
    if (viewType_ == Plan)
        texts_[ChargeType] = fund.shareClass;
    if (viewType_ == Bonus)
        asked_.ask(
            QStringLiteral("bonus"), services_.funds->requestQueryBonusSetting(this, fund.code, fund.corpCode));
    tellFundChanged(currentFund_);
    emit changed();
}

bool OpdFundTradeViewController::queryOpdFundInfo(DataModel*, const QString& handle, const CSError&)
{
    const bool target = viewType_ == Transform;
    const QString channel = target ? QStringLiteral("target") : QStringLiteral("fund");
    if (asked_.take(channel, handle))
        lookupFoundNothing(target);
    return true;
}

bool OpdFundTradeViewController::queryOpdFundPosition(DataModel*, const QString& handle, const CSError&)
{
    // A failed re-read leaves the fund as it was; a failed lookup, none.
    asked_.take(QStringLiteral("reread"), handle);
    if (asked_.take(QStringLiteral("fund"), handle))
        lookupFoundNothing(false);
    return true;
}

void OpdFundTradeViewController::queryOpdFundPosition(
    DataModel*, const QString& handle, const RDOOpdFundPositon& position)
{
    // The position asked by a lookup, or read again after an order of the
    // fund shown (both when the two asks merged).
    const bool reread = asked_.take(QStringLiteral("reread"), handle);
    const bool lookedUp = asked_.take(QStringLiteral("fund"), handle);
    if (!reread && !lookedUp)
        return;
    if (!lookedUp && position.code != askedCode_) {
        // A re-read without rows, or naming another fund, says nothing of
        // the fund shown: it stays as after a re-read that failed.
        return;
    }
    if (!position.code.isEmpty() && position.code != askedCode_) {
        lookupFoundNothing(false);
        return;
    }
    currentFund_ = position;
    // The transform shows the position as it came; the redeem form keeps
    // what the list gave where the position is silent.
    if (viewType_ == Transform || !position.name.isEmpty())
        texts_[Name] = position.name;
    if (viewType_ == Redeem && !position.value.isEmpty())
        texts_[Value] = position.value;
    if (viewType_ == Transform || !position.available.isEmpty())
        texts_[Available] = position.available;
    tellFundChanged(currentFund_);
    emit changed();
}

void OpdFundTradeViewController::queryBonusSetting(DataModel*, const QString& handle, const qint64& index)
{
    if (!asked_.take(QStringLiteral("bonus"), handle))
        return;
    // The server's setting, not the customer's choice: a step under way
    // goes on with what it confirms.
    if (index >= 0 && index < popUpItems_.size())
        popUpIndex_ = qint32(index);
    emit changed();
    emit bonusSettingRead(true);
}

bool OpdFundTradeViewController::queryBonusSetting(DataModel*, const QString& handle, const CSError&)
{
    // The choice stays as it was: at its start after a lookup.
    if (asked_.take(QStringLiteral("bonus"), handle))
        emit bonusSettingRead(false);
    return true;
}

void OpdFundTradeViewController::tellFundChanged(const std::optional<RDOOpenEndFund>& fund)
{
    for (const auto& o : observerArray) {
        if (IUpdateFundHistoryValues* observer = o.get())
            observer->updateFundHistroyValues(fund);
    }
}

bool OpdFundTradeViewController::verifyInput()
{
    const bool codes = !texts_[Code].isEmpty() && (viewType_ != Transform || !texts_[TargetCode].isEmpty());
    const bool amount = viewType_ == Bonus || !texts_[Amount].isEmpty();
    QString missing;
    switch (viewType_) {
    case Subscribe: missing = QStringLiteral("请确认已经输入基金代码和认购金额。"); break;
    case Purchase: missing = QStringLiteral("请确认已经输入基金代码和申购金额。"); break;
    case Redeem: missing = QStringLiteral("请确认已经输入基金代码和赎回份额。"); break;
    case Transform: missing = QStringLiteral("请确认已经输入基金代码，转换基金代码和转换基金数量。"); break;
    case Bonus: missing = QStringLiteral("请确认已经输入基金代码。"); break;
    case Plan:
        missing = currentFund_ && currentFund_->code != texts_[Code] ? QStringLiteral("查询开放式基金信息失败。")
                                                                     : QStringLiteral("请确认已经输入基金代码和定投金额。");
        break;
    default: return false;
    }
    const bool present = codes && amount;
    if (!present) {
        alerts_->runAlert(AlertRequest::tip(missing), nullptr);
    } else if (const std::optional<QString> why = typedFieldProblem()) {
        // Refused here, before the check, the notices or the serial are
        // asked for: no step of an order that could never be sent.
        alerts_->runAlert(AlertRequest::tip(*why), nullptr);
        return false;
    }
    // The fund lookup is reported too, after the input message.
    // A fund counts only while its code is the one in the field.
    if (viewType_ == Subscribe || viewType_ == Purchase || viewType_ == Plan) {
        if (!hasCurrentFund()) {
            alerts_->runAlert(AlertRequest::tip(kFundRequestFailed), nullptr);
            return false;
        }
    } else if (viewType_ == Transform && present && (!hasCurrentFund() || !hasTargetFund())) {
        alerts_->runAlert(AlertRequest::error(kFundRequestFailed), nullptr);
        return false;
    }
    // Presence only: the form and limits of an amount are the server's.
    return present;
}

std::optional<QString> OpdFundTradeViewController::typedFieldProblem() const
{
    const bool transform = viewType_ == Transform;
    QString amountTitle;
    switch (viewType_) {
    case Subscribe: amountTitle = QStringLiteral("认购金额"); break;
    case Purchase: amountTitle = QStringLiteral("申购金额"); break;
    case Redeem: amountTitle = QStringLiteral("赎回份额"); break;
    case Transform: amountTitle = QStringLiteral("转换份额"); break;
    case Plan: amountTitle = QStringLiteral("每期金额"); break;
    default: break; // the dividend setting sends no amount
    }
    std::optional<QString> why = typednumber::problem(
        transform ? QStringLiteral("转出代码") : QStringLiteral("基金代码"), texts_[Code]);
    if (!why && transform)
        why = typednumber::problem(QStringLiteral("转入代码"), texts_[TargetCode]);
    if (!why && !amountTitle.isEmpty())
        why = typednumber::problem(amountTitle, texts_[Amount]);
    return why;
}

QString OpdFundTradeViewController::tradeCode() const
{
    switch (viewType_) {
    case Plan: return QStringLiteral("2");
    case Subscribe: return QStringLiteral("0");
    case Purchase: return QStringLiteral("1");
    case Transform: return QStringLiteral("3");
    default: return QString();
    }
}

void OpdFundTradeViewController::tradeButtonClicked()
{
    // One press at a time, until its pipeline has ended.
    if (busy_)
        return;
    const bool checked = !tradeCode().isEmpty();
    if (checked)
        services_.funds->setSignNumber(QString());
    if (!verifyInput())
        return;
    // Until the position of the code is in, 赎回 says why it does nothing.
    if (viewType_ == Redeem && !hasCurrentFund()) {
        alerts_->runAlert(AlertRequest::tip(kFundRequestFailed), nullptr);
        return;
    }
    busy_ = true;
    sent_ = false;
    ++step_;
    emit changed();
    if (checked)
        userRiskLevelMatchComplete();
    else
        makeOrder();
}

const std::optional<RDOOpenEndFund>& OpdFundTradeViewController::boughtFund() const
{
    return viewType_ == Transform ? fundOfTranformTo_ : currentFund_;
}

void OpdFundTradeViewController::userRiskLevelMatch(DataModel*, const QString&, const RDOUserRiskLevelMatchInfo&)
{
    // Matched or not, the pipeline runs: the appropriateness check decides.
    later(
        [this] {
            if (busy_)
                return;
            busy_ = true;
            sent_ = false;
            ++step_;
            emit changed();
            userRiskLevelMatchComplete();
        },
        kRiskLevelMatchDelay);
}

bool OpdFundTradeViewController::userRiskLevelMatch(DataModel*, const QString&, const CSError& error)
{
    later([this, text = error.domain] { userRiskLevelMatchError(text); }, kRiskLevelMatchDelay);
    return true;
}

void OpdFundTradeViewController::userRiskLevelMatchError(const QString& text)
{
    alerts_->runAlert(AlertRequest::error(text), nullptr);
}

void OpdFundTradeViewController::later(std::function<void()> step, std::chrono::milliseconds delay)
{
    QTimer::singleShot(delay, QCoreApplication::instance(), [alive = alive_.lifetimeToken(), step = std::move(step)] {
        if (!alive.expired())
            step();
    });
}

void OpdFundTradeViewController::laterInStep(std::function<void()> step)
{
    // A step queued by a press that has ended since is dropped.
    later([this, press = step_, step = std::move(step)] {
        if (busy_ && press == step_)
            step();
    });
}

void OpdFundTradeViewController::userRiskLevelMatchComplete()
{
    if (!busy_)
        return;
    // A transform buys the target fund: that is the one checked.
    const std::optional<RDOOpenEndFund>& fund = boughtFund();
    if (!fund || fund->needCheckAppropriateness != 1) {
        laterInStep([this] { makeOrder(); });
        return;
    }
    asked_.ask(QStringLiteral("check"),
        services_.funds->requestOpdQueryAppropriateness(this, fund->code, fund->corpCode, tradeCode()));
}

void OpdFundTradeViewController::opdQueryAppropriateness(
    DataModel*, const QString& handle, const OpdAppropriatenessResult& result)
{
    // The check of a step that ended (a field changed, 重填) is late.
    if (!busy_ || !asked_.take(QStringLiteral("check"), handle))
        return;
    if (result.status) {
        laterInStep([this] { makeOrder(); });
        return;
    }
    std::vector<RDOOpdAppropriateness> notices = result.notices.value_or(std::vector<RDOOpdAppropriateness>());
    laterInStep([this, notices = std::move(notices)] { showBusinessContracts(notices); });
}

bool OpdFundTradeViewController::opdQueryAppropriateness(DataModel*, const QString& handle, const CSError& error)
{
    if (busy_ && asked_.awaits(QStringLiteral("check"), handle)) {
        endPipeline();
        alerts_->runAlert(AlertRequest::error(error.domain), nullptr);
    }
    return true;
}

void OpdFundTradeViewController::showBusinessContracts(std::vector<RDOOpdAppropriateness> notices)
{
    if (!busy_)
        return;
    contracts_ = std::make_unique<BusinessContractManager>(std::move(notices), services_.contracts);
    contracts_->setDelegate(this);
    noticesShowing_ = true;
    contracts_->showBusinessContracts();
}

void OpdFundTradeViewController::businessContractSuccess(bool agreed)
{
    if (!busy_ || !noticesShowing_)
        return;
    noticesShowing_ = false;
    if (!agreed || !currentFund_) {
        endPipeline();
        return;
    }
    // The serial is asked for the fund sold or bought with it: the source
    // fund of a transform, as the server expects.
    asked_.ask(QStringLiteral("sign"),
        services_.funds->requestOpdQuerySignNumber(this, currentFund_->code, currentFund_->corpCode));
}

void OpdFundTradeViewController::opdQuerySignNumber(DataModel*, const QString& handle, const QString& signNumber)
{
    if (!busy_ || !asked_.take(QStringLiteral("sign"), handle))
        return;
    services_.funds->setSignNumber(signNumber);
    laterInStep([this] { makeOrder(); });
}

bool OpdFundTradeViewController::opdQuerySignNumber(DataModel*, const QString& handle, const CSError& error)
{
    if (busy_ && asked_.awaits(QStringLiteral("sign"), handle)) {
        endPipeline();
        alerts_->runAlert(AlertRequest::error(error.domain), nullptr);
    }
    return true;
}

FundOrderDraft OpdFundTradeViewController::makeDraft() const
{
    FundOrderDraft d;
    d.fundCode = texts_[Code];
    d.amount = texts_[Amount];
    d.signNumber = services_.funds->signNumber();
    d.corpCode = currentFund_ ? currentFund_->corpCode : QString();
    const QString option = popUpItems_.value(popUpIndex_);
    switch (viewType_) {
    case Subscribe:
    case Purchase:
        d.dialogType = viewType_ == Subscribe ? 4 : 5;
        d.values = { texts_[Name], texts_[Code], texts_[Amount] };
        break;
    case Redeem:
        d.dialogType = 7;
        d.option = QString::number(popUpIndex_);
        d.values = { texts_[Name], texts_[Code], texts_[Amount], option };
        break;
    case Transform:
        d.dialogType = 8;
        d.targetCode = texts_[TargetCode];
        d.corpCode = fundOfTranformTo_ ? fundOfTranformTo_->corpCode : QString();
        d.values = { texts_[Name], texts_[Code], texts_[Amount], texts_[TargetCode], texts_[TargetName] };
        break;
    case Bonus:
        d.dialogType = 9;
        d.option = QString::number(popUpIndex_);
        d.values = { texts_[Name], texts_[Code], option };
        break;
    case Plan: {
        d.dialogType = 10;
        d.periodType = qint64(periodIndex_) * 3;
        d.paymentDay = qint64(paymentDayIndex_) + 1;
        d.expireType = expireIndex_;
        d.beginDate = beginDate_.toString(QStringLiteral("yyyyMMdd"));
        d.endDate = endDate_.toString(QStringLiteral("yyyyMMdd"));
        d.applyDate = texts_[ApplyDate];
        d.values = { texts_[Code], texts_[Name], texts_[ChargeType], periodItems_.value(periodIndex_),
            paymentDayItems_.value(paymentDayIndex_), expireItems_.value(expireIndex_), texts_[Amount], d.beginDate,
            d.endDate, d.applyDate };
        break;
    }
    default: break;
    }
    return d;
}

void OpdFundTradeViewController::makeOrder()
{
    if (!busy_)
        return;
    draft_ = makeDraft();
    if (!services_.confirmation) {
        endPipeline();
        return;
    }
    const platform::WeakRef<BusinessContractDelegate> self(this);
    // The dialog may run modally; nothing of this form is touched after it.
    const std::shared_ptr<IFundOrderConfirmation> keep = ownConfirmation_;
    services_.confirmation->runModal(
        *draft_,
        [self](qint32 type) {
            if (self.get())
                static_cast<OpdFundTradeViewController*>(self.get())->doConfigOrder(type);
        },
        [self] {
            if (self.get())
                static_cast<OpdFundTradeViewController*>(self.get())->endPipeline();
        });
}

template <class Relay, class Send> void OpdFundTradeViewController::sendThrough(Send send)
{
    // The answer is heard through a relay: it reaches this form while the
    // form is there, and is told all the same once it is gone (the page
    // left, another account). One past the dialog's time limit does on the
    // form, still up, what it does while the form waits, while the form still
    // holds that order (its fund and amount) and the next one is not on its way.
    const std::optional<FundOrderDraft> sent = draft_;
    ActionOutcomeRelay::Listener listener { this,
        [form = QPointer<OpdFundTradeViewController>(this)]() -> AlertPresenter* {
            return form ? form->alerts_ : nullptr;
        },
        [this, sent](bool accepted) {
            const bool formOfThisOrder = !busy_ && sent && texts_[Code] == sent->fundCode
                && texts_[Amount] == sent->amount;
            orderTaken(sent ? sent->dialogType : 0, accepted, formOfThisOrder);
        } };
    Relay& relay = ActionOutcomeRelay::start<Relay>(
        std::move(listener), *this, &orderSubmittedText, false, &orderFailedText);
    relay.sent(send(relay));
}

void OpdFundTradeViewController::doConfigOrder(qint32 dialogType)
{
    if (!busy_ || !draft_ || draft_->dialogType != dialogType)
        return;
    const FundOrderDraft& d = *draft_;
    sent_ = true;
    OrderManagerFunds* orders = services_.orders;
    OpenFundManager* funds = services_.funds;
    switch (dialogType) {
    case 4:
    case 5:
        sendThrough<FundTradeOutcomeRelay>([&](FundTradeOutcomeRelay& relay) {
            return dialogType == 4
                ? orders->requestSubscribeFund(&relay, d.fundCode, d.amount, d.signNumber, d.corpCode)
                : orders->requestPurchaseFund(&relay, d.fundCode, d.amount, d.signNumber, d.corpCode);
        });
        break;
    case 7:
        sendThrough<FundRedeemOutcomeRelay>([&](FundRedeemOutcomeRelay& relay) {
            return orders->requestRedeemOpdFund(&relay, d.fundCode, d.amount, d.option);
        });
        break;
    case 8:
        sendThrough<FundTransformOutcomeRelay>([&](FundTransformOutcomeRelay& relay) {
            return orders->requestTransformOpdFund(
                &relay, d.fundCode, d.amount, d.targetCode, d.signNumber, d.corpCode);
        });
        break;
    case 9:
        sendThrough<FundBonusOutcomeRelay>([&](FundBonusOutcomeRelay& relay) {
            return funds->requestSubmitBonusSetting(&relay, d.fundCode, d.option.toLongLong());
        });
        break;
    case 10:
        sendThrough<FundPlanOutcomeRelay>([&](FundPlanOutcomeRelay& relay) {
            return funds->requestOpdFundInvestOntime(&relay, d.fundCode, d.amount, d.expireType, d.periodType,
                d.paymentDay, d.beginDate, d.endDate, d.applyDate, d.corpCode);
        });
        break;
    default: break;
    }
}

void OpdFundTradeViewController::endPipeline()
{
    busy_ = false;
    sent_ = false;
    noticesShowing_ = false;
    asked_.settle(QStringLiteral("check"));
    asked_.settle(QStringLiteral("sign"));
    draft_.reset();
    contracts_.reset();
    emit changed();
}

void OpdFundTradeViewController::orderAnswered(const QString& serial)
{
    if (services_.confirmation)
        services_.confirmation->stopRunModal();
    const qint32 type = draft_ ? draft_->dialogType : 0;
    endPipeline();
    ActionOutcomeRelay::tell(alerts_, AlertRequest::tip(orderSubmittedText(serial)));
    orderTaken(type, true, true);
}

void OpdFundTradeViewController::orderTaken(qint32 dialogType, bool accepted, bool formOfThisOrder)
{
    // The amount of an order the server took goes, so the button does not
    // send the same order again; a dividend setting or a plan leaves the
    // form as it is.
    const bool amountSpent = dialogType == 4 || dialogType == 5 || dialogType == 7 || dialogType == 8;
    if (accepted && formOfThisOrder && amountSpent)
        texts_[Amount].clear();
    if (readChangedFiguresAgain(dialogType))
        emit figuresChanged();
}

bool OpdFundTradeViewController::readChangedFiguresAgain(qint32 dialogType)
{
    switch (dialogType) {
    case 4:
    case 5:
        break; // paid from the available money
    case 7:
    case 8:
        // Taken from the available shares: the position is read again, and
        // the fund stays chosen meanwhile, and after a read that fails.
        rereadPosition();
        break;
    default:
        emit changed();
        return false;
    }
    requestAvailableBalance();
    emit changed();
    return true;
}

bool OpdFundTradeViewController::orderFailed(const CSError& error)
{
    if (services_.confirmation)
        services_.confirmation->stopRunModal();
    endPipeline();
    // The server may have taken one of unknown outcome: never sent again,
    // what it may have changed is owed and read again in the account's rounds.
    ActionOutcomeRelay::tell(alerts_, AlertRequest::error(orderFailedText(error)));
    return true;
}

QString OpdFundTradeViewController::orderSubmittedText(const QString& serial)
{
    return submittedText(u"委托申请已提交，委托序号为%1。", serial);
}

QString OpdFundTradeViewController::orderFailedText(const CSError& error)
{
    // An order the server may have taken is told as one of unknown outcome.
    if (isWithheld(error) && !isOrderOutcomeUnknown(error))
        return fundOrderOutcomeUnknownMessage(error);
    return error.domain;
}
