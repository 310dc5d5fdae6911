#include "transfer/pages/FundTransferBaseViewController.h"

#include "core/TypedNumber.h"
#include "core/UserDefaultConfig.h"
#include "trading/requests/UnknownOutcomeWords.h"
#include "transfer/FundTransferManager.h"
#include "transfer/pages/TransferOutcomeRelays.h"

#include <QPointer>
#include <utility>

namespace {

// The page's history, asked for the link chosen now.
const QString kHistoryChannel = QStringLiteral("history");
// The transfer confirmed last, under its request handle.
const QString kTransferChannel = QStringLiteral("transfer");

} // namespace

QString FundTransferBaseViewController::submittedText(const QString& serialNumber)
{
    return QStringLiteral("转账提交已成功，流水号为%1。").arg(serialNumber);
}

QString FundTransferBaseViewController::failureText(const CSError& error)
{
    return isOrderOutcomeUnknown(error) ? QString::fromUtf8(unknownoutcome::kBankTransfer) : error.domain;
}

FundTransferBaseViewController::FundTransferBaseViewController(
    qint32 transferType, BaseNode::Ptr node, Services services)
    : MenuItemViewController(std::move(node), services.page)
    , fundTransferManager(
          services.fundTransferManager ? services.fundTransferManager : FundTransferManager::getInstance())
    , userDefaultConfig(
          services.userDefaultConfig ? services.userDefaultConfig : UserDefaultConfig::getInstance())
    , fundTransferType_(transferType)
    , orderAlertWC_(std::make_unique<OrderAlertWindowController>(this, services.confirmation))
{
}

FundTransferBaseViewController::~FundTransferBaseViewController()
{
    wipe(amountText_);
    wipe(fundPassword_);
    wipe(bankPassword_);
    if (pending_) {
        wipe(pending_->fundPassword);
        wipe(pending_->bankPassword);
    }
}

void FundTransferBaseViewController::wipe(QString& text)
{
    text.fill(QChar(u'\0'));
    text.clear();
}

void FundTransferBaseViewController::awakeFromNib()
{
    fundTransferInfo_.reset();
    moneyNames_.clear();
    selectedMoney_ = -1;
    fundAccountArray_.clear();
    fundAccountItems_.clear();
    selectedAccount_ = -1;
    history_.reset();
    progressVisible_ = false;
    enableControls(false);
    observePage(pagenotify::kAccountProtectOptionChanged,
        [this](const platform::Notification&) { updateForAccountProtecteOptionChange(); });
    fundTransferManager->requestQueryFundTransferInfo(this);
}

void FundTransferBaseViewController::willDropRequests()
{
    // The old account's transfer is never sent, and its dialog closes.
    endTransfer();
    orderAlertWC_->stopRunModal();
    resetControls();
}

QString FundTransferBaseViewController::selectedMoneyName() const
{
    return selectedMoney_ >= 0 && selectedMoney_ < moneyNames_.size() ? moneyNames_[selectedMoney_]
                                                                      : QString();
}

qint32 FundTransferBaseViewController::selectedMoneyType() const
{
    return RDOFundAccountInfo::getMoneyTypeWithMoneyName(selectedMoneyName());
}

const RDOFundAccountInfo* FundTransferBaseViewController::selectedAccount() const
{
    return selectedAccount_ >= 0 && size_t(selectedAccount_) < fundAccountArray_.size()
        ? &fundAccountArray_[size_t(selectedAccount_)]
        : nullptr;
}

QString FundTransferBaseViewController::accountItemText(const RDOFundAccountInfo& account) const
{
    return QStringLiteral("%1 - %2 %3")
        .arg(account.bankName(), userDefaultConfig->getProtectedString(account.fundId()),
            account.fundSeqDesc());
}

void FundTransferBaseViewController::initMoneyPButton()
{
    moneyNames_ = fundTransferInfo_ ? fundTransferInfo_->getSupportMoneyNames() : QStringList();
    selectedMoney_ = moneyNames_.isEmpty() ? -1 : 0;
}

void FundTransferBaseViewController::initFundIdInfoPButton()
{
    fundAccountArray_.clear();
    fundAccountItems_.clear();
    if (fundTransferInfo_) {
        for (const RDOFundAccountInfo& a : fundTransferInfo_->fundAccountInfoArray()) {
            if (a.isSupportTransferType(accountTransferType(), selectedMoneyType())) {
                fundAccountItems_ << accountItemText(a);
                fundAccountArray_.push_back(a);
            }
        }
    }
    selectedAccount_ = fundAccountArray_.empty() ? -1 : 0;
}

void FundTransferBaseViewController::initPasswordControls()
{
    const RDOFundAccountInfo* account = selectedAccount();
    if (!account) {
        initPasswordControlsLocation(false, false);
        return;
    }
    initPasswordControlsLocation(account->transferNeedFundPassword(fundTransferType_, selectedMoneyType()),
        account->transferNeedBankPassword(fundTransferType_, selectedMoneyType()));
}

void FundTransferBaseViewController::initPasswordControlsLocation(
    bool needFundPassword, bool needBankPassword)
{
    layout_.fundVisible = needFundPassword;
    layout_.bankVisible = needBankPassword;
    // Without the fund password the bank password takes the first row.
    if (needBankPassword)
        layout_.bankInFirstRow = !needFundPassword;
    // A hidden field sends nothing.
    if (!needFundPassword)
        wipe(fundPassword_);
    if (!needBankPassword)
        wipe(bankPassword_);
    emit changed();
}

void FundTransferBaseViewController::enableControls(bool enabled)
{
    controlsEnabled_ = enabled;
    emit changed();
}

void FundTransferBaseViewController::resetControls()
{
    wipe(amountText_);
    wipe(fundPassword_);
    wipe(bankPassword_);
    emit changed();
}

void FundTransferBaseViewController::startProgress()
{
    progressVisible_ = true;
    emit changed();
}

void FundTransferBaseViewController::stopProgress()
{
    progressVisible_ = false;
    emit changed();
}

void FundTransferBaseViewController::updateForAccountProtecteOptionChange()
{
    const qsizetype selected = selectedAccount_;
    initFundIdInfoPButton();
    if (selected >= 0 && size_t(selected) < fundAccountArray_.size())
        selectedAccount_ = selected;
    emit changed();
}

void FundTransferBaseViewController::setAmountText(const QString& text)
{
    // Read as typed numbers are; the field then shows what was read.
    amountText_ = typednumber::read(text);
    if (amountText_ != text)
        emit changed();
}

void FundTransferBaseViewController::setFundPasswordText(const QString& text)
{
    wipe(fundPassword_);
    if (layout_.fundVisible && hasAccount())
        fundPassword_ = text;
}

void FundTransferBaseViewController::setBankPasswordText(const QString& text)
{
    wipe(bankPassword_);
    if (layout_.bankVisible && hasAccount())
        bankPassword_ = text;
}

void FundTransferBaseViewController::moneyTypeSelected(qsizetype index)
{
    if (index < 0 || index >= moneyNames_.size())
        return;
    selectedMoney_ = index;
    initFundIdInfoPButton();
    initPasswordControls();
    emit changed();
}

void FundTransferBaseViewController::bankCardSelected(qsizetype index)
{
    if (index < 0 || size_t(index) >= fundAccountArray_.size())
        return;
    selectedAccount_ = index;
    initPasswordControls();
    emit changed();
}

qsizetype FundTransferBaseViewController::nextFocus(const std::vector<bool>& visible, qsizetype current)
{
    const qsizetype n = qsizetype(visible.size());
    if (current < 0 || current >= n)
        return -1;
    for (qsizetype step = 1; step <= n; ++step) {
        const qsizetype next = (current + step) % n;
        if (visible[size_t(next)])
            return next;
    }
    return current;
}

bool FundTransferBaseViewController::verifyInput()
{
    // The amount goes as typed once it cannot rewrite the request; its value
    // is the server's to judge. Each page checks that one was typed.
    std::optional<QString> problem = transferinput::checkText(amountText_, QStringLiteral("转账金额"));
    if (!problem && layout_.fundVisible)
        problem = transferinput::checkPassword(fundPassword_, QStringLiteral("资金密码"), false);
    if (!problem && layout_.bankVisible)
        problem = transferinput::checkPassword(bankPassword_, QStringLiteral("银行密码"), false);
    if (problem)
        alerts()->runAlert(AlertRequest::tip(*problem), nullptr);
    return !problem;
}

void FundTransferBaseViewController::transferButtonClicked()
{
    const RDOFundAccountInfo* account = selectedAccount();
    if (transferBusy_ || !account || !verifyInput())
        return;
    transferBusy_ = true;
    pending_ = PendingTransfer { selectedMoneyType(), account->fundId(), account->bankCode(), amountText_,
        layout_.fundVisible ? fundPassword_ : QString(), layout_.bankVisible ? bankPassword_ : QString() };
    emit changed();
    QPointer<FundTransferBaseViewController> alive(this);
    runConfirmation(accountItemText(*account), selectedMoneyName(), pending_->amount);
    // The dialog has closed: cancelled, or its transfer answered (or still
    // out, when the screen lock closed it; its answer ends the action then).
    if (alive && !requestInFlight_)
        endTransfer();
}

bool FundTransferBaseViewController::doConfigOrder(int)
{
    if (!pending_ || requestInFlight_) {
        orderAlertWC_->stopRunModal();
        return true;
    }
    requestInFlight_ = true;
    PendingTransfer sent = std::move(*pending_);
    pending_.reset();
    // The answer is heard through a relay: it reaches this page while the
    // page awaits it, and is told all the same once the page is left, the
    // account changes or the dialog's time limit passes.
    auto& relay = ActionOutcomeRelay::start<FundTransferRelay>(
        ActionOutcomeRelay::pageOf(*this, [this] { refreshAfterTransfer(); }), *this, &submittedText, false,
        &failureText);
    const QString handle = fundTransferManager->requestFundTransfer(&relay, sent.moneyType, sent.fundId,
        sent.bankCode, sent.amount, fundTransferType_, sent.fundPassword, sent.bankPassword);
    relay.sent(handle);
    askedFor().ask(kTransferChannel, handle);
    wipe(sent.fundPassword);
    wipe(sent.bankPassword);
    return true;
}

void FundTransferBaseViewController::tellReadFailure(const QString& text)
{
    readFailureBox_.tell(alerts(), AlertRequest::error(text));
}

void FundTransferBaseViewController::endTransfer()
{
    if (pending_) {
        wipe(pending_->fundPassword);
        wipe(pending_->bankPassword);
        pending_.reset();
    }
    requestInFlight_ = false;
    transferBusy_ = false;
    emit changed();
}

void FundTransferBaseViewController::refreshAfterTransfer()
{
    askHistory();
}

QString FundTransferBaseViewController::selectedLink() const
{
    const RDOFundAccountInfo* account = selectedAccount();
    return account
        ? QStringLiteral("%1/%2/%3").arg(account->fundId(), account->bankCode()).arg(selectedMoneyType())
        : QString();
}

bool FundTransferBaseViewController::askHistory()
{
    askedFor().ask(kHistoryChannel, askHistoryOf(selectedLink()));
    return !historyAsked_.isEmpty();
}

QString FundTransferBaseViewController::askHistoryOf(const QString& link)
{
    historyAsked_ = fundTransferManager->requestBSTransferInfo(this, link);
    return historyAsked_;
}

void FundTransferBaseViewController::historyAnswered(const QString& handle, bool withRows)
{
    if (handle.isEmpty() || handle != historyAsked_)
        return;
    historyAsked_.clear();
    figureRead(owedfigure::kTransfers, withRows);
}

QStringList FundTransferBaseViewController::readOwed(const QStringList& owed)
{
    ReadsAskedAgain reads(owed);
    reads.ask(owedfigure::kTransfers, [this] { return askHistory(); });
    return reads.asked();
}

bool FundTransferBaseViewController::takeHistory(const QString& handle)
{
    return askedFor().take(kHistoryChannel, handle);
}

void FundTransferBaseViewController::forgetHistory()
{
    askedFor().settle(kHistoryChannel);
}

void FundTransferBaseViewController::queryFundTransferInfo(
    DataModel*, const QString&, const RDOFundTransferInfo& info)
{
    fundTransferInfo_ = info;
    initMoneyPButton();
    initFundIdInfoPButton();
    initPasswordControls();
    enableControls(true);
}

void FundTransferBaseViewController::fundTransfer(
    DataModel*, const QString& handle, const QString& serialNumber)
{
    if (!askedFor().take(kTransferChannel, handle))
        return;
    orderAlertWC_->stopRunModal();
    requestInFlight_ = false;
    ActionOutcomeRelay::tell(alerts(), AlertRequest::tip(submittedText(serialNumber)));
    resetControls();
    refreshAfterTransfer();
    endTransfer();
}

bool FundTransferBaseViewController::fundTransfer(DataModel*, const QString& handle, const CSError& error)
{
    if (!askedFor().take(kTransferChannel, handle))
        return true;
    // Of an unknown outcome the history is owed, and read again in the
    // account's rounds until the server answers.
    orderAlertWC_->stopRunModal();
    requestInFlight_ = false;
    ActionOutcomeRelay::tell(alerts(), AlertRequest::error(failureText(error)));
    resetControls();
    endTransfer();
    return true;
}

void FundTransferBaseViewController::doConfigOrderTimeLimitPassed(int)
{
    if (!requestInFlight_)
        return;
    // The transfer's relay told its outcome is unknown and tells what comes
    // of it: the page's transfer ends here.
    askedFor().settle(kTransferChannel);
    resetControls();
    endTransfer();
}

void FundTransferBaseViewController::queryBSTransfer(
    DataModel*, const QString& handle, const DTBSTransferInfoPtr& table)
{
    history_ = table;
    emit changed();
    historyAnswered(handle, true);
}

bool FundTransferBaseViewController::queryBSTransfer(DataModel*, const QString& handle, const CSError&)
{
    // The history shown stays; while it is owed it may be out of date.
    historyAnswered(handle, false);
    return true;
}
