#include "transfer/pages/CapitalAccountPages.h"

#include "core/TypedNumber.h"
#include "core/UserDefaultConfig.h"
#include "trading/query/QueryInfoManager.h"
#include "trading/requests/UnknownOutcomeWords.h"
#include "transfer/FundTransferManager.h"
#include "transfer/pages/TransferOutcomeRelays.h"

namespace {

const QString kNoMainAccount = QStringLiteral("未找到主资金账号，不能进行资金归集。");
const QString kMoneyChannel = QStringLiteral("money");
// The request confirmed last, under its request handle.
const QString kActionChannel = QStringLiteral("action");
// The capital-account list asked last.
const QString kListChannel = QStringLiteral("list");

} // namespace

CapitalAccountPage::CapitalAccountPage(BaseNode::Ptr node, Services services)
    : MenuItemViewController(std::move(node), services.page)
    , fundTransferManager(
          services.fundTransferManager ? services.fundTransferManager : FundTransferManager::getInstance())
    , queryInfoManager(
          services.queryInfoManager ? services.queryInfoManager : QueryInfoManager::getInstance())
    , userDefaultConfig(
          services.userDefaultConfig ? services.userDefaultConfig : UserDefaultConfig::getInstance())
    , orderAlertWC_(std::make_unique<OrderAlertWindowController>(this, services.confirmation))
{
}

CapitalAccountPage::~CapitalAccountPage() = default;

QString CapitalAccountPage::failureText(const CSError& error)
{
    return isOrderOutcomeUnknown(error) ? QString::fromUtf8(unknownoutcome::kInsideTransfer) : error.domain;
}

void CapitalAccountPage::wipe(QString& text)
{
    text.fill(QChar(u'\0'));
    text.clear();
}

QString CapitalAccountPage::selectedMoneyName() const
{
    return selectedMoney_ >= 0 && selectedMoney_ < moneyNames_.size() ? moneyNames_[selectedMoney_]
                                                                      : QString();
}

QString CapitalAccountPage::accountItemText(const RDOFundAccountInfo& account) const
{
    return QStringLiteral("%1 - %2 %3")
        .arg(account.bankName(), userDefaultConfig->getProtectedString(account.fundId()),
            account.fundSeqDesc());
}

void CapitalAccountPage::awakeFromNib()
{
    fundTransferInfo_.reset();
    fundInfoTable_.reset();
    setMoneyNames({});
    progressVisible_ = false;
    enableControls(false);
    observePage(pagenotify::kAccountProtectOptionChanged,
        [this](const platform::Notification&) { updateForAccountProtecteOptionChange(); });
    fundTransferManager->requestQueryFundTransferInfo(this);
    askList();
}

bool CapitalAccountPage::askList()
{
    QString handle;
    queryInfoManager->requestFundInfoList(this, &handle);
    askedFor().ask(kListChannel, handle);
    return !handle.isEmpty();
}

QStringList CapitalAccountPage::readOwed(const QStringList& owed)
{
    ReadsAskedAgain reads(owed);
    reads.ask(owedfigure::kMoney, [this] { return readAgain(); });
    return reads.asked();
}

void CapitalAccountPage::willDropRequests()
{
    // The old account's request is never sent, and its dialog closes.
    endAction();
    orderAlertWC_->stopRunModal();
    resetControls();
}

void CapitalAccountPage::setMoneyNames(const QStringList& names)
{
    moneyNames_ = names;
    selectedMoney_ = names.isEmpty() ? -1 : 0;
}

void CapitalAccountPage::enableControls(bool enabled)
{
    controlsEnabled_ = enabled;
    emit changed();
}

void CapitalAccountPage::startProgress()
{
    progressVisible_ = true;
    emit changed();
}

void CapitalAccountPage::stopProgress()
{
    progressVisible_ = false;
    emit changed();
}

void CapitalAccountPage::fundInfoList(
    DataModel*, const QString& handle, const std::shared_ptr<DTFundInfoTable>& table)
{
    // A list asked before the money moved may answer after the one asked since.
    if (!askedFor().take(kListChannel, handle))
        return;
    fundInfoTable_ = table;
    emit changed();
    figureRead(owedfigure::kMoney, true);
}

bool CapitalAccountPage::fundInfoList(DataModel*, const QString& handle, const CSError&)
{
    // Nothing is said; while the money is owed the list stays empty.
    if (askedFor().take(kListChannel, handle))
        figureRead(owedfigure::kMoney, false);
    return true;
}

void CapitalAccountPage::runConfirmation(const std::function<void()>& open)
{
    busy_ = true;
    emit changed();
    QPointer<CapitalAccountPage> alive(this);
    open();
    // The dialog has closed: cancelled, or its request answered (or still
    // out, when the screen lock closed it; its answer ends the action then).
    if (alive && !requestInFlight_)
        endAction();
}

bool CapitalAccountPage::startSending()
{
    if (!busy_ || requestInFlight_) {
        orderAlertWC_->stopRunModal();
        return false;
    }
    requestInFlight_ = true;
    return true;
}

void CapitalAccountPage::awaitAnswer(const QString& handle)
{
    askedFor().ask(kActionChannel, handle);
}

bool CapitalAccountPage::answered(const QString& handle)
{
    if (!askedFor().take(kActionChannel, handle))
        return false;
    orderAlertWC_->stopRunModal();
    requestInFlight_ = false;
    return true;
}

void CapitalAccountPage::failed(const CSError& error)
{
    ActionOutcomeRelay::tell(alerts(), AlertRequest::error(failureText(error)));
    resetControls();
    endAction();
}

void CapitalAccountPage::doConfigOrderTimeLimitPassed(int)
{
    if (!requestInFlight_)
        return;
    // The request's relay told its outcome is unknown and tells what comes
    // of it: the page's action ends here.
    askedFor().settle(kActionChannel);
    resetControls();
    endAction();
}

bool CapitalAccountPage::readAgain()
{
    // The listed balances may have changed: none shows until read again.
    fundInfoTable_.reset();
    emit changed();
    return askList();
}

void CapitalAccountPage::endAction()
{
    clearPending();
    requestInFlight_ = false;
    busy_ = false;
    emit changed();
}

// ---- 资金内转 ----

InsideTransferViewController::InsideTransferViewController(BaseNode::Ptr node, Services services)
    : CapitalAccountPage(std::move(node), services)
{
}

InsideTransferViewController::~InsideTransferViewController()
{
    wipe(fundPassword_);
    clearPending();
}

void InsideTransferViewController::awakeFromNib()
{
    fundAccountArray_.clear();
    fundAccountItems_.clear();
    selectedOut_ = selectedIn_ = -1;
    availableFundText_.clear();
    moneyFundId_.reset();
    CapitalAccountPage::awakeFromNib();
}

void InsideTransferViewController::clearPending()
{
    if (pending_)
        wipe(pending_->fundPassword);
    pending_.reset();
}

const RDOFundAccountInfo* InsideTransferViewController::account(qsizetype index) const
{
    return index >= 0 && size_t(index) < fundAccountArray_.size() ? &fundAccountArray_[size_t(index)]
                                                                  : nullptr;
}

void InsideTransferViewController::initFundIdInfoPButton()
{
    fundAccountArray_.clear();
    fundAccountItems_.clear();
    const qint32 money = RDOFundAccountInfo::getMoneyTypeWithMoneyName(selectedMoneyName());
    if (fundTransferInfo() && selectedMoneyIndex() >= 0) {
        for (const RDOFundAccountInfo& a : fundTransferInfo()->fundAccountInfoArray()) {
            if (a.isSupportTransferType(transfercode::kAnyTransfer, money)) {
                fundAccountItems_ << accountItemText(a);
                fundAccountArray_.push_back(a);
            }
        }
    }
    selectedOut_ = selectedIn_ = fundAccountArray_.empty() ? -1 : 0;
}

void InsideTransferViewController::queryFundTransferInfo(
    DataModel*, const QString&, const RDOFundTransferInfo& info)
{
    keepTransferInfo(info);
    setMoneyNames(info.getSupportMoneyNames());
    initFundIdInfoPButton();
    enableControls(true);
    requestAvailableFundAmount();
}

void InsideTransferViewController::moneyTypeSelected(qsizetype index)
{
    if (isBusy() || index < 0 || index >= moneyNames().size())
        return;
    selectMoney(index);
    initFundIdInfoPButton();
    requestAvailableFundAmount();
}

void InsideTransferViewController::fundAccountChanged(qsizetype index)
{
    if (isBusy() || !account(index))
        return;
    selectedOut_ = index;
    requestAvailableFundAmount();
}

void InsideTransferViewController::toFundAccountChanged(qsizetype index)
{
    if (isBusy() || !account(index))
        return;
    selectedIn_ = index;
    emit changed();
}

void InsideTransferViewController::requestAvailableFundAmount()
{
    availableFundText_.clear();
    moneyFundId_.reset();
    askedFor().settle(kMoneyChannel);
    emit changed();
    // With no account for the currency there is nothing to ask about.
    if (const RDOFundAccountInfo* out = account(selectedOut_)) {
        moneyFundId_ = out->fundId();
        QString handle;
        queryInfoManager->requestMoneyInfo(
            this, RDOFundAccountInfo::getMoneyTypeWithMoneyName(selectedMoneyName()), out->fundId(), &handle);
        if (!handle.isEmpty())
            askedFor().ask(kMoneyChannel, handle);
    }
}

void InsideTransferViewController::queryMoneyInfo(DataModel*, const QString& handle, const RDOMoney& money)
{
    if (!askedFor().take(kMoneyChannel, handle))
        return; // asked for another account, currency or customer
    // Another account's money is not this one's.
    if (moneyFundId_ && (money.fundId.isEmpty() || money.fundId == *moneyFundId_))
        availableFundText_ = money.availableText();
    else
        availableFundText_.clear();
    emit changed();
}

bool InsideTransferViewController::queryMoneyInfo(DataModel*, const QString& handle, const CSError&)
{
    if (askedFor().take(kMoneyChannel, handle)) {
        availableFundText_.clear();
        emit changed();
    }
    return true;
}

void InsideTransferViewController::updateForAccountProtecteOptionChange()
{
    const qsizetype out = selectedOut_;
    const qsizetype in = selectedIn_;
    initFundIdInfoPButton();
    if (account(out))
        selectedOut_ = out;
    if (account(in))
        selectedIn_ = in;
    emit changed();
}

void InsideTransferViewController::setFundPasswordText(const QString& text)
{
    wipe(fundPassword_);
    fundPassword_ = text;
}

void InsideTransferViewController::setAmountText(const QString& text)
{
    amountText_ = typednumber::read(text);
    if (amountText_ != text)
        emit changed();
}

void InsideTransferViewController::resetControls()
{
    wipe(amountText_);
    wipe(fundPassword_);
    emit changed();
}

bool InsideTransferViewController::verifyInput()
{
    std::optional<QString> problem;
    const RDOFundAccountInfo* out = account(selectedOut_);
    const RDOFundAccountInfo* in = account(selectedIn_);
    if (amountText_.isEmpty() || fundPassword_.isEmpty())
        problem = QStringLiteral("请输入转账金额和转账密码。");
    else if (selectedMoneyIndex() < 0 || selectedMoneyIndex() > 2)
        problem = QStringLiteral("选择币种有误。");
    else if (!out || out->bankCode().isEmpty())
        problem = QStringLiteral("选择转出账号有误。");
    else if (!in || in->bankCode().isEmpty())
        problem = QStringLiteral("选择转入账号有误。");
    // What is typed goes to the server only once it fits its field; the
    // amount's value is the server's to judge.
    else if (!(problem = transferinput::checkText(amountText_, QStringLiteral("转账金额"))))
        problem = transferinput::checkPassword(fundPassword_, QStringLiteral("转账密码"), true);
    if (problem)
        alerts()->runAlert(AlertRequest::tip(*problem), nullptr);
    return !problem;
}

void InsideTransferViewController::transferButtonClicked()
{
    if (isBusy() || !controlsEnabled() || !verifyInput())
        return;
    const RDOFundAccountInfo& out = *account(selectedOut_);
    const RDOFundAccountInfo& in = *account(selectedIn_);
    pending_ = PendingTransfer { out.fundId(), in.fundId(),
        RDOFundAccountInfo::getMoneyTypeWithMoneyName(selectedMoneyName()), amountText_, fundPassword_ };
    const QString outText = accountItemText(out);
    const QString inText = fundAccountItems_.value(selectedIn_);
    const QString moneyName = selectedMoneyName();
    const QString amount = amountText_;
    runConfirmation([&] {
        orderAlertWC().runModalForFundInsideTransfer(dialogParent(), outText, inText, moneyName, amount);
    });
}

bool InsideTransferViewController::doConfigOrder(int)
{
    if (!pending_ || !startSending())
        return true;
    PendingTransfer sent = std::move(*pending_);
    pending_.reset();
    // Heard through a relay: told all the same once the page is left or
    // the account changes.
    auto& relay = ActionOutcomeRelay::start<FundInsideTransferRelay>(
        ActionOutcomeRelay::pageOf(*this, [this] { readAgain(); }), *this, &submittedText, false,
        &failureText);
    const QString handle = fundTransferManager->requestFundInsideTransfer(
        &relay, sent.outFundId, sent.inFundId, sent.moneyType, sent.amount, sent.fundPassword);
    relay.sent(handle);
    awaitAnswer(handle);
    wipe(sent.fundPassword);
    return true;
}

QString InsideTransferViewController::submittedText(const QStringList& serialNumbers)
{
    return QStringLiteral("资金内转提交已成功。\n转出合同号:%1\n转入合同号:%2")
        .arg(serialNumbers.value(0), serialNumbers.value(1));
}

void InsideTransferViewController::fundInsideTransfer(
    DataModel*, const QString& handle, const QStringList& serialNumbers)
{
    if (!answered(handle))
        return;
    ActionOutcomeRelay::tell(alerts(), AlertRequest::tip(submittedText(serialNumbers)));
    resetControls();
    readAgain();
    endAction();
}

bool InsideTransferViewController::fundInsideTransfer(DataModel*, const QString& handle, const CSError& error)
{
    if (answered(handle))
        failed(error);
    return true;
}

bool InsideTransferViewController::readAgain()
{
    requestAvailableFundAmount();
    return CapitalAccountPage::readAgain();
}

// ---- 资金归集 ----

FundCollectionViewController::FundCollectionViewController(BaseNode::Ptr node, Services services)
    : CapitalAccountPage(std::move(node), services)
{
}

void FundCollectionViewController::awakeFromNib()
{
    mainFundIdText_.clear();
    unavailableText_.clear();
    CapitalAccountPage::awakeFromNib();
}

void FundCollectionViewController::queryFundTransferInfo(
    DataModel*, const QString&, const RDOFundTransferInfo& info)
{
    keepTransferInfo(info);
    initMoneyPButton();
    initMainFundIdText();
    unavailableText_ = info.getMainFundAccountInfo() ? QString() : kNoMainAccount;
    enableControls(info.getMainFundAccountInfo() != nullptr);
}

void FundCollectionViewController::initMoneyPButton()
{
    QStringList names;
    const RDOFundAccountInfo* main
        = fundTransferInfo() ? fundTransferInfo()->getMainFundAccountInfo() : nullptr;
    if (main) {
        for (const RDOFundAccountInfo& a : fundTransferInfo()->fundAccountInfoArray()) {
            if (a.fundId() != main->fundId())
                continue;
            for (const QString& name : a.getSupportMoneyNames()) {
                if (!RDOFundAccountInfo::moneyTypeIsExistInArray(name, names))
                    names << name;
            }
        }
    }
    setMoneyNames(names);
}

void FundCollectionViewController::initMainFundIdText()
{
    const RDOFundAccountInfo* main
        = fundTransferInfo() ? fundTransferInfo()->getMainFundAccountInfo() : nullptr;
    mainFundIdText_ = main ? userDefaultConfig->getProtectedString(main->fundId()) : QString();
    emit changed();
}

void FundCollectionViewController::updateForAccountProtecteOptionChange()
{
    initMainFundIdText();
}

void FundCollectionViewController::moneyTypeSelected(qsizetype index)
{
    if (isBusy() || index < 0 || index >= moneyNames().size())
        return;
    selectMoney(index);
    emit changed();
}

void FundCollectionViewController::resetControls()
{
    selectMoney(moneyNames().isEmpty() ? -1 : 0);
    emit changed();
}

void FundCollectionViewController::transferButtonClicked()
{
    const RDOFundAccountInfo* main
        = fundTransferInfo() ? fundTransferInfo()->getMainFundAccountInfo() : nullptr;
    if (isBusy())
        return;
    if (!main || selectedMoneyIndex() < 0) {
        alerts()->runAlert(
            AlertRequest::tip(main ? QStringLiteral("选择币种有误。") : kNoMainAccount), nullptr);
        return;
    }
    pendingMoneyType_ = RDOFundAccountInfo::getMoneyTypeWithMoneyName(selectedMoneyName());
    const QString fundId = main->fundId();
    runConfirmation([&] { orderAlertWC().runModalForFundCollection(dialogParent(), fundId); });
}

bool FundCollectionViewController::doConfigOrder(int)
{
    if (!pendingMoneyType_ || !startSending())
        return true;
    const qint32 moneyType = *pendingMoneyType_;
    pendingMoneyType_.reset();
    auto& relay = ActionOutcomeRelay::start<FundCollectionRelay>(
        ActionOutcomeRelay::pageOf(*this, [this] { readAgain(); }), *this, &submittedText, false,
        &failureText);
    const QString handle = fundTransferManager->requestFundCollection(&relay, moneyType);
    relay.sent(handle);
    awaitAnswer(handle);
    return true;
}

QString FundCollectionViewController::submittedText(const RDOFundCollectionResult& result)
{
    return QStringLiteral("资金归集已提交。归集金额:%1, 内转笔数:%2。").arg(result.amount, result.number);
}

void FundCollectionViewController::fundCollection(
    DataModel*, const QString& handle, const RDOFundCollectionResult& result)
{
    if (!answered(handle))
        return;
    ActionOutcomeRelay::tell(alerts(), AlertRequest::tip(submittedText(result)));
    resetControls();
    readAgain();
    endAction();
}

bool FundCollectionViewController::fundCollection(DataModel*, const QString& handle, const CSError& error)
{
    if (answered(handle))
        failed(error);
    return true;
}
