#include "transfer/pages/TransferPages.h"

#include "comm/recordset/ServerNumber.h"
#include "platform/RunLoop.h"
#include "shell/pages/MenuItemViewManager.h"
#include "trading/query/QueryInfoManager.h"
#include "transfer/FundTransferManager.h"
#include "transfer/pages/CapitalAccountPages.h"

#include <utility>

namespace {

const QString kBalanceFailed = QStringLiteral("查询余额失败");
const QString kMoneyChannel = QStringLiteral("money");
const QString kPromptChannel = QStringLiteral("balance prompt");
// The balance query whose answer lands on the link and currency chosen now.
const QString kBalanceChannel = QStringLiteral("balance");
// The query the user asked for through a button: its answer ends the wait
// and its failure is told, whatever was chosen since.
const QString kAskedChannel = QStringLiteral("balance asked");
// The history carrying a balance the page awaits.
const QString kFigureChannel = QStringLiteral("balance figure");
// A balance answered, whose figure a later query or transfer took off the
// history's top before it could be read.
const QString kBalanceUnread = QStringLiteral("余额未能读取，请重新查询");
const QString kBalanceUnknown
    = QStringLiteral("未收到查询余额的结果，查询可能已经提交。请稍后查看转账流水。");

// What the user is told of a failed balance query.
QString balanceErrorText(const CSError& error)
{
    return isOrderOutcomeUnknown(error) ? kBalanceUnknown : error.domain;
}

} // namespace

BankToStockViewController::BankToStockViewController(BaseNode::Ptr node, Services services)
    : FundTransferBaseViewController(transfercode::kBankToStock, std::move(node), services)
{
}

void BankToStockViewController::awakeFromNib()
{
    queryBalanceButtonVisible_ = false;
    bankBalanceText_.clear();
    FundTransferBaseViewController::awakeFromNib();
    initPasswordControlsLocation(false, false);
}

void BankToStockViewController::willDropRequests()
{
    FundTransferBaseViewController::willDropRequests();
    // The set-up's timer goes with it, and so does everything asked.
    freshTableTimer_ = nullptr;
    promptOpen_ = false;
    automatic_.reset();
    automaticHeld_ = false;
    prompted_.clear();
    figure_.reset();
    told_.clear();
}

void BankToStockViewController::showChosenLink()
{
    bankBalanceText_ = told_.value(selectedLink());
    automatic_.reset();
    automaticHeld_ = false;
    forgetHistory();
    // The figure of the link left goes with it, unless the customer asked for it.
    if (figure_ && !figure_->prompted) {
        figure_.reset();
        cancelPageTimer(freshTableTimer_);
        freshTableTimer_ = nullptr;
    }
    emit changed();
}

BankToStockViewController::BalanceAsk BankToStockViewController::sentBalance(
    const QString& handle, bool prompted)
{
    historyTopped();
    return BalanceAsk { handle, selectedLink(), sent_, prompted };
}

void BankToStockViewController::historyTopped()
{
    ++sent_;
    if (figure_ && figure_->prompted)
        tell(figure_->link, kBalanceUnread);
    figure_.reset();
    cancelPageTimer(freshTableTimer_);
    freshTableTimer_ = nullptr;
}

void BankToStockViewController::tell(const QString& link, const QString& text)
{
    told_.insert(link, text);
    if (link == selectedLink()) {
        bankBalanceText_ = text;
        emit changed();
    }
}

bool BankToStockViewController::awaitsPromptedFigure() const
{
    return !prompted_.isEmpty() || (figure_ && figure_->prompted);
}

void BankToStockViewController::askBalance(const RDOFundAccountInfo& account)
{
    // An equal query asked with nothing sent between gives its handle again:
    // its answer is this layout's now.
    automatic_ = sentBalance(fundTransferManager->requestBankBalance(
                                 this, selectedMoneyType(), account.fundId(), account.bankCode(), {}, {}),
        false);
}

void BankToStockViewController::askShownBalance()
{
    const RDOFundAccountInfo* account = selectedAccount();
    if (!account)
        return;
    // Its query would top the history before the customer's figure is read.
    automaticHeld_ = awaitsPromptedFigure();
    if (!automaticHeld_)
        askBalance(*account);
}

void BankToStockViewController::releaseHeld()
{
    if (automaticHeld_ && !awaitsPromptedFigure())
        askShownBalance();
}

void BankToStockViewController::initPasswordControls()
{
    const RDOFundAccountInfo* account = selectedAccount();
    showChosenLink();
    if (!account) {
        initPasswordControlsLocation(false, false);
        queryBalanceButtonVisible_ = false;
        emit changed();
        return;
    }
    const qint32 money = selectedMoneyType();
    initPasswordControlsLocation(account->transferNeedFundPassword(transfercode::kBankToStock, money),
        account->transferNeedBankPassword(transfercode::kBankToStock, money));
    const bool asks = account->transferNeedFundPassword(transfercode::kBankBalance, money)
        || account->transferNeedBankPassword(transfercode::kBankBalance, money);
    queryBalanceButtonVisible_ = asks;
    emit changed();
    if (asks)
        askHistory();
    else
        askShownBalance();
}

bool BankToStockViewController::doConfigOrder(int type)
{
    // The transfer's row tops the history from now on, and the link's
    // balance is no longer what it was.
    historyTopped();
    told_.remove(selectedLink());
    return FundTransferBaseViewController::doConfigOrder(type);
}

void BankToStockViewController::refreshAfterTransfer()
{
    FundTransferBaseViewController::refreshAfterTransfer();
    balanceMoved();
}

bool BankToStockViewController::balanceMoved()
{
    // The transfer moved the bank's money: its balance is read again where
    // that needs no password. Elsewhere it shows "--" until the user asks,
    // unless the user's own query, asked after the transfer went out, is
    // still to show: the history just asked carries its figure.
    const RDOFundAccountInfo* account = selectedAccount();
    if (account && !queryBalanceButtonVisible_) {
        showChosenLink();
        askShownBalance();
        return automatic_.has_value();
    }
    const QString link = selectedLink();
    if (prompted_.contains(link) || (figure_ && figure_->link == link))
        return false;
    tell(link, QString::fromLatin1(servernumber::kNotShown));
    return false;
}

QStringList BankToStockViewController::figuresShown() const
{
    return { owedfigure::kTransfers, owedfigure::kBankBalance };
}

QStringList BankToStockViewController::readOwed(const QStringList& owed)
{
    QStringList asked = FundTransferBaseViewController::readOwed(owed);
    ReadsAskedAgain reads(owed);
    // A transfer of unknown outcome may have moved the money as one told done.
    reads.ask(owedfigure::kBankBalance, [this] { return balanceMoved(); });
    return asked + reads.asked();
}

void BankToStockViewController::queryButtonClicked()
{
    const RDOFundAccountInfo* account = selectedAccount();
    if (isQueryBusy() || !account || !queryBalanceButtonVisible_)
        return;
    promptOpen_ = true;
    emit changed();
    const qint32 money = selectedMoneyType();
    const QString fundId = account->fundId();
    const QString bankCode = account->bankCode();
    QPointer<BankToStockViewController> alive(this);
    FundBalPwdAlertWC balPwdAlertWC;
    const bool needFund = account->transferNeedFundPassword(transfercode::kBankBalance, money);
    const bool needBank = account->transferNeedBankPassword(transfercode::kBankBalance, money);
    // The prompt asks for this link's passwords: when the customer changes
    // while it is open, its link is no longer one of the active account's.
    const quint64 prompt = askedFor().ask(kPromptChannel);
    const FundBalPwdAlertResult answer = balPwdAlertWC.runModal(dialogParent(), needFund, needBank);
    if (!alive || !askedFor().takeAsk(kPromptChannel, prompt))
        return;
    promptOpen_ = false;
    emit changed();
    if (!answer.confirmed())
        return;
    std::optional<QString> problem;
    if (needFund)
        problem = transferinput::checkPassword(answer.fundPwd, QStringLiteral("资金密码"), false);
    if (!problem && needBank)
        problem = transferinput::checkPassword(answer.bankPwd, QStringLiteral("银行密码"), false);
    if (problem) {
        alerts()->runAlert(AlertRequest::tip(*problem), nullptr);
        return;
    }
    forgetHistory();
    told_.remove(selectedLink());
    bankBalanceText_.clear();
    prompted_.insert(selectedLink(),
        sentBalance(fundTransferManager->requestBankBalance(
                        this, money, fundId, bankCode, answer.fundPwd, answer.bankPwd),
            true));
    emit changed();
}

std::optional<BankToStockViewController::BalanceAsk> BankToStockViewController::takeQuery(
    const QString& handle)
{
    std::optional<BalanceAsk> ask;
    for (auto it = prompted_.begin(); it != prompted_.end(); ++it) {
        if (it->handle == handle) {
            ask = *it;
            prompted_.erase(it);
            emit changed();
            break;
        }
    }
    if (automatic_ && automatic_->handle == handle) {
        if (!ask)
            ask = automatic_;
        automatic_.reset();
    }
    return ask;
}

void BankToStockViewController::queryBankBalance(DataModel*, const QString& handle, const QString&)
{
    const std::optional<BalanceAsk> ask = takeQuery(handle);
    if (!ask)
        return; // not awaited
    if (!isLatest(*ask)) {
        // A later query or transfer has topped the history since.
        if (ask->prompted)
            tell(ask->link, kBalanceUnread);
        if (ask->link == selectedLink())
            figureRead(owedfigure::kBankBalance, false);
        releaseHeld();
        return;
    }
    figure_ = ask;
    // Only a history asked from now on carries the figure: one asked before
    // may have been answered before the query was.
    forgetHistory();
    askedFor().settle(kFigureChannel);
    cancelPageTimer(freshTableTimer_);
    freshTableTimer_ = schedulePageTimer(
        kRefreshDelay, [this] { refreshTable(); }, false);
    emit changed();
}

bool BankToStockViewController::queryBankBalance(DataModel*, const QString& handle, const CSError& error)
{
    const std::optional<BalanceAsk> ask = takeQuery(handle);
    if (!ask)
        return true; // an earlier layout's
    const bool shown = ask->link == selectedLink();
    // The user hears of the query they asked for, even once another link is
    // chosen; of the page's own, one box at a time.
    if (ask->prompted)
        alerts()->runAlert(AlertRequest::error(balanceErrorText(error)), nullptr);
    else if (shown)
        tellReadFailure(balanceErrorText(error));
    if (ask->prompted)
        tell(ask->link, kBalanceFailed);
    releaseHeld();
    if (!shown)
        return true;
    bankBalanceText_ = kBalanceFailed;
    emit changed();
    figureRead(owedfigure::kBankBalance, false);
    askHistory();
    return true;
}

void BankToStockViewController::refreshTable()
{
    if (figure_)
        askedFor().ask(kFigureChannel, askHistoryOf(figure_->link));
}

void BankToStockViewController::readFigure(const DTBSTransferInfoPtr& table, bool failed)
{
    const BalanceAsk ask = *figure_;
    const bool shown = ask.link == selectedLink();
    const std::optional<RDOBSTransferInfo> first = table ? table->rowObject(0) : std::nullopt;
    // An empty history leaves the figure to the next one that has a row;
    // the link shown waits no longer for it.
    if (!failed && !first) {
        if (automaticHeld_ && selectedAccount()) {
            automaticHeld_ = false;
            askBalance(*selectedAccount());
        }
        if (shown)
            figureRead(owedfigure::kBankBalance, false);
        return;
    }
    figure_.reset();
    const QString text = failed ? kBalanceFailed : first->fundBalance;
    if (ask.prompted)
        tell(ask.link, text);
    else if (shown)
        bankBalanceText_ = text;
    releaseHeld();
    // The link shown has read its balance, whoever asked for it.
    if (shown)
        figureRead(owedfigure::kBankBalance, !failed);
}

void BankToStockViewController::queryBSTransfer(
    DataModel* r, const QString& h, const DTBSTransferInfoPtr& table)
{
    // The history shows whichever link it was asked for; its balance only
    // under the link whose query it follows.
    const bool forFigure = askedFor().take(kFigureChannel, h);
    const bool forShown = takeHistory(h);
    if (figure_ && (forFigure || (forShown && figure_->link == selectedLink())))
        readFigure(table, false);
    FundTransferBaseViewController::queryBSTransfer(r, h, table);
}

bool BankToStockViewController::queryBSTransfer(DataModel*, const QString& handle, const CSError&)
{
    const bool forFigure = askedFor().take(kFigureChannel, handle);
    const bool forShown = takeHistory(handle);
    if (figure_ && (forFigure || (forShown && figure_->link == selectedLink())))
        readFigure(nullptr, true);
    historyAnswered(handle, false);
    if (!forShown && !forFigure)
        return true; // asked for another link
    if (forShown)
        bankBalanceText_ = kBalanceFailed;
    emit changed();
    return true;
}

bool BankToStockViewController::verifyInput()
{
    if (amountText().isEmpty()) {
        alerts()->runAlert(AlertRequest::tip(QStringLiteral("请输入转账金额。")), nullptr);
        return false;
    }
    return FundTransferBaseViewController::verifyInput();
}

void BankToStockViewController::runConfirmation(
    const QString& accountText, const QString& moneyName, const QString& amount)
{
    orderAlertWC().runModalForFundTransferBankToStock(dialogParent(), accountText, moneyName, amount);
}

StockToBankViewController::StockToBankViewController(
    BaseNode::Ptr node, Services services, QueryInfoManager* queryInfoManager)
    : FundTransferBaseViewController(transfercode::kStockToBank, std::move(node), services)
    , queryInfoManager(queryInfoManager ? queryInfoManager : QueryInfoManager::getInstance())
{
}

void StockToBankViewController::awakeFromNib()
{
    availableFundText_.clear();
    FundTransferBaseViewController::awakeFromNib();
    initPasswordControlsLocation(true, false);
    askHistory();
}

void StockToBankViewController::queryFundTransferInfo(
    DataModel* r, const QString& h, const RDOFundTransferInfo& info)
{
    FundTransferBaseViewController::queryFundTransferInfo(r, h, info);
    requestAvailableFundAmount();
}

void StockToBankViewController::bankCardSelected(qsizetype index)
{
    FundTransferBaseViewController::bankCardSelected(index);
    requestAvailableFundAmount();
}

void StockToBankViewController::moneyTypeSelected(qsizetype index)
{
    FundTransferBaseViewController::moneyTypeSelected(index);
    requestAvailableFundAmount();
}

bool StockToBankViewController::requestAvailableFundAmount()
{
    availableFundText_.clear();
    askedFor().settle(kMoneyChannel);
    emit changed();
    const RDOFundAccountInfo* account = selectedAccount();
    if (!account)
        return false;
    QString handle;
    queryInfoManager->requestMoneyInfo(this, selectedMoneyType(), account->fundId(), &handle);
    if (!handle.isEmpty())
        askedFor().ask(kMoneyChannel, handle);
    return !handle.isEmpty();
}

QStringList StockToBankViewController::figuresShown() const
{
    return { owedfigure::kTransfers, owedfigure::kMoney };
}

QStringList StockToBankViewController::readOwed(const QStringList& owed)
{
    QStringList asked = FundTransferBaseViewController::readOwed(owed);
    ReadsAskedAgain reads(owed);
    reads.ask(owedfigure::kMoney, [this] { return requestAvailableFundAmount(); });
    return asked + reads.asked();
}

void StockToBankViewController::queryMoneyInfo(DataModel*, const QString& handle, const RDOMoney& money)
{
    if (!askedFor().take(kMoneyChannel, handle))
        return; // asked for another account, currency or customer
    availableFundText_ = money.availableText();
    emit changed();
    figureRead(owedfigure::kMoney, true);
}

bool StockToBankViewController::queryMoneyInfo(DataModel*, const QString& handle, const CSError&)
{
    if (askedFor().take(kMoneyChannel, handle)) {
        availableFundText_.clear();
        emit changed();
        figureRead(owedfigure::kMoney, false);
    }
    return true;
}

bool StockToBankViewController::verifyInput()
{
    if (amountText().isEmpty() || (passwordLayout().fundVisible && fundPasswordText().isEmpty())
        || (passwordLayout().bankVisible && bankPasswordText().isEmpty())) {
        alerts()->runAlert(AlertRequest::tip(QStringLiteral("请输入转账金额和密码。")), nullptr);
        return false;
    }
    return FundTransferBaseViewController::verifyInput();
}

void StockToBankViewController::runConfirmation(
    const QString& accountText, const QString& moneyName, const QString& amount)
{
    orderAlertWC().runModalForFundTransferStockToBank(dialogParent(), accountText, moneyName, amount);
}

void StockToBankViewController::refreshAfterTransfer()
{
    FundTransferBaseViewController::refreshAfterTransfer();
    requestAvailableFundAmount();
}

QueryBalanceViewController::QueryBalanceViewController(BaseNode::Ptr node, Services services)
    : FundTransferBaseViewController(transfercode::kBankBalance, std::move(node), services)
{
}

void QueryBalanceViewController::awakeFromNib()
{
    autoQueryBalance_ = false;
    balanceRow_ = 0;
    queryButtonVisible_ = false;
    bankBalanceText_.clear();
    queryBusy_ = false;
    FundTransferBaseViewController::awakeFromNib();
    initPasswordControlsLocation(false, false);
}

void QueryBalanceViewController::willDropRequests()
{
    FundTransferBaseViewController::willDropRequests();
    // The set-up's timer goes with it.
    freshTableTimer_ = nullptr;
    queryBusy_ = false;
}

void QueryBalanceViewController::initPasswordControls()
{
    const RDOFundAccountInfo* account = selectedAccount();
    const qint32 money = selectedMoneyType();
    const bool needFund = account && account->transferNeedFundPassword(transfercode::kBankBalance, money);
    const bool needBank = account && account->transferNeedBankPassword(transfercode::kBankBalance, money);
    initPasswordControlsLocation(needFund, needBank);
    balanceRow_ = int(needFund) + int(needBank);
    queryButtonVisible_ = needFund || needBank;
    autoQueryBalance_ = account && !queryButtonVisible_;
    askAutomatically();
}

bool QueryBalanceViewController::askAutomatically()
{
    bankBalanceText_.clear();
    // The earlier layout's automatic query and history are no longer awaited.
    cancelPageTimer(freshTableTimer_);
    freshTableTimer_ = nullptr;
    askedFor().settle(kBalanceChannel);
    forgetHistory();
    emit changed();
    // Without an account there is nothing to ask about.
    const RDOFundAccountInfo* account = selectedAccount();
    if (!autoQueryBalance_ || !account)
        return false;
    const QString handle = fundTransferManager->requestBankBalance(
        this, selectedMoneyType(), account->fundId(), account->bankCode(), {}, {});
    askedFor().ask(kBalanceChannel, handle);
    return !handle.isEmpty();
}

QStringList QueryBalanceViewController::readOwed(const QStringList& owed)
{
    ReadsAskedAgain reads(owed);
    // Only the balance shown by itself is read again; a query the customer
    // submitted shows nothing here.
    reads.ask(owedfigure::kBankBalance, [this] { return askAutomatically(); });
    return reads.asked();
}

bool QueryBalanceViewController::verifyInput()
{
    const PasswordLayout& layout = passwordLayout();
    std::optional<QString> problem;
    if ((layout.fundVisible && fundPasswordText().isEmpty())
        || (layout.bankVisible && bankPasswordText().isEmpty()))
        problem = QStringLiteral("请输入资金密码和银行密码。");
    else if (layout.fundVisible)
        problem = transferinput::checkPassword(fundPasswordText(), QStringLiteral("资金密码"), true);
    if (!problem && layout.bankVisible)
        problem = transferinput::checkPassword(bankPasswordText(), QStringLiteral("银行密码"), true);
    if (problem)
        alerts()->runAlert(AlertRequest::tip(*problem), nullptr);
    return !problem;
}

void QueryBalanceViewController::transferButtonClicked()
{
    const RDOFundAccountInfo* account = selectedAccount();
    if (queryBusy_ || !account || !queryButtonVisible_ || !verifyInput())
        return;
    queryBusy_ = true;
    const PasswordLayout& layout = passwordLayout();
    QString fundPassword = layout.fundVisible ? fundPasswordText() : QString();
    QString bankPassword = layout.bankVisible ? bankPasswordText() : QString();
    const QString fundId = account->fundId();
    const QString bankCode = account->bankCode();
    enableControls(false);
    startProgress();
    bankBalanceText_.clear();
    emit changed();
    askedFor().ask(kAskedChannel,
        fundTransferManager->requestBankBalance(
            this, selectedMoneyType(), fundId, bankCode, fundPassword, bankPassword));
    for (QString* secret : { &fundPassword, &bankPassword }) {
        secret->fill(QChar(u'\0'));
        secret->clear();
    }
}

void QueryBalanceViewController::endQuery()
{
    queryBusy_ = false;
    enableControls(true);
    stopProgress();
}

std::optional<bool> QueryBalanceViewController::takeQuery(const QString& handle)
{
    if (askedFor().take(kAskedChannel, handle))
        return false;
    if (askedFor().take(kBalanceChannel, handle))
        return true;
    return std::nullopt;
}

void QueryBalanceViewController::queryBankBalance(DataModel*, const QString& handle, const QString&)
{
    const std::optional<bool> automatic = takeQuery(handle);
    if (!automatic)
        return; // an earlier layout's
    if (*automatic) {
        cancelPageTimer(freshTableTimer_);
        freshTableTimer_ = schedulePageTimer(
            kRefreshDelay, [this] { refreshTable(); }, false);
        return;
    }
    endQuery();
    alerts()->runAlert(AlertRequest::tip(QStringLiteral("请求已提交，请到转账查询功能查询结果。")), nullptr);
    resetControls();
}

bool QueryBalanceViewController::queryBankBalance(DataModel*, const QString& handle, const CSError& error)
{
    const std::optional<bool> automatic = takeQuery(handle);
    if (!automatic)
        return true; // an earlier layout's
    if (*automatic) {
        tellReadFailure(balanceErrorText(error));
    } else {
        endQuery();
        alerts()->runAlert(AlertRequest::error(balanceErrorText(error)), nullptr);
    }
    resetControls();
    bankBalanceText_ = kBalanceFailed;
    emit changed();
    if (*automatic)
        figureRead(owedfigure::kBankBalance, false);
    return true;
}

void QueryBalanceViewController::refreshTable()
{
    askHistory();
}

void QueryBalanceViewController::queryBSTransfer(
    DataModel* r, const QString& h, const DTBSTransferInfoPtr& table)
{
    const bool balance = takeHistory(h);
    if (balance) {
        const std::optional<RDOBSTransferInfo> first = table ? table->rowObject(0) : std::nullopt;
        bankBalanceText_ = first ? first->fundBalance : QString();
    }
    FundTransferBaseViewController::queryBSTransfer(r, h, table);
    if (balance)
        figureRead(owedfigure::kBankBalance, true);
}

bool QueryBalanceViewController::queryBSTransfer(DataModel*, const QString& handle, const CSError&)
{
    if (takeHistory(handle)) {
        bankBalanceText_ = kBalanceFailed;
        emit changed();
        figureRead(owedfigure::kBankBalance, false);
    }
    return true;
}

void registerTransferPages()
{
    MenuItemViewManager* pages = MenuItemViewManager::getInstance();
    pages->registerPageClass(QString::fromLatin1(BankToStockViewController::kPageClass),
        [](const BaseNode::Ptr& node) { return std::make_unique<BankToStockViewController>(node); });
    pages->registerPageClass(QString::fromLatin1(StockToBankViewController::kPageClass),
        [](const BaseNode::Ptr& node) { return std::make_unique<StockToBankViewController>(node); });
    pages->registerPageClass(QString::fromLatin1(QueryBalanceViewController::kPageClass),
        [](const BaseNode::Ptr& node) { return std::make_unique<QueryBalanceViewController>(node); });
    pages->registerPageClass(QString::fromLatin1(InsideTransferViewController::kPageClass),
        [](const BaseNode::Ptr& node) { return std::make_unique<InsideTransferViewController>(node); });
    pages->registerPageClass(QString::fromLatin1(FundCollectionViewController::kPageClass),
        [](const BaseNode::Ptr& node) { return std::make_unique<FundCollectionViewController>(node); });
}
