#pragma once

#include "trading/requests/TradeQueryDataModels.h"
#include "transfer/pages/FundBalPwdAlertWC.h"
#include "transfer/pages/FundTransferBaseViewController.h"

#include <QHash>
#include <memory>

class QueryInfoManager;

namespace platform {
class RunLoopTimer;
}

// 银行转证券 (link id 40001): transfers from the bank, and shows the bank
// balance: asked at once when the bank needs no password for it, else
// through the password prompt. The balance comes with the history read one
// second after the query's answer; that timer belongs to the page's set-up
// and stops with it. The history's first row carries the balance of the
// latest balance query, so a figure is read only while no other balance
// query or transfer went out after its own. The automatic query's answer
// belongs to the link and currency that asked and is left alone once
// another is chosen. The prompted query is the customer's own, kept per
// link: 查询余额 waits only on the link whose query is out, its figure is
// read whichever link is shown (a link that needs no password holds its own
// query meanwhile, so that looking at it never costs the prompted figure),
// and the link shows the figure, or says why there is none, whenever it is
// shown again. A transfer moves the bank's money: the balance is then read
// again where that needs no password, and shows "--" otherwise unless the
// customer's own query asked after the transfer is still to show; so after
// one of unknown outcome, in the account's rounds.
class BankToStockViewController : public FundTransferBaseViewController, public IQueryBankBalanceDelegate {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "BankToStockViewController";
    static constexpr qint64 kLinkId = 40001;
    static constexpr double kRefreshDelay = 1.0; // seconds

    using FundTransferBaseViewController::queryBSTransfer;
    using IQueryBankBalanceDelegate::queryBankBalance;

    explicit BankToStockViewController(BaseNode::Ptr node = nullptr, Services services = Services());

    bool queryBalanceButtonVisible() const { return queryBalanceButtonVisible_; }
    const QString& bankBalanceText() const { return bankBalanceText_; }
    // 查询余额 waits: the prompt is open, or the link shown has its query out.
    bool isQueryBusy() const { return promptOpen_ || prompted_.contains(selectedLink()); }
    platform::RunLoopTimer* freshTableTimer() const { return freshTableTimer_; }

    void queryButtonClicked() override;
    bool doConfigOrder(int type) override;
    void queryBankBalance(DataModel*, const QString&, const QString& runningNumber) override;
    bool queryBankBalance(DataModel*, const QString&, const CSError& error) override;
    void queryBSTransfer(DataModel*, const QString&, const DTBSTransferInfoPtr& table) override;
    bool queryBSTransfer(DataModel*, const QString&, const CSError& error) override;

protected:
    void awakeFromNib() override;
    void willDropRequests() override;
    void initPasswordControls() override;
    bool verifyInput() override;
    void runConfirmation(
        const QString& accountText, const QString& moneyName, const QString& amount) override;
    void refreshAfterTransfer() override;
    // The history and the bank balance of the link shown, read again while
    // a transfer of unknown outcome left them owed.
    QStringList figuresShown() const override;
    QStringList readOwed(const QStringList& owed) override;

private:
    // A balance query: its handle, the link it asked for, its place among
    // the page's balance queries and transfers, and whether the customer
    // asked for it through the prompt.
    struct BalanceAsk {
        QString handle;
        QString link;
        quint64 number = 0;
        bool prompted = false;
    };
    void refreshTable();
    // A transfer may have moved the bank's money: the link shown asks its
    // balance again, or shows "--". Answers whether a query went out.
    bool balanceMoved();
    // The link chosen now shows what its prompted query left, or nothing;
    // the automatic query and history asked so far no longer land on it.
    void showChosenLink();
    // The password-free query of the link shown: sent now, or held while a
    // prompted figure is still to be read.
    void askShownBalance();
    void askBalance(const RDOFundAccountInfo& account);
    // Files a balance query sent under `handle` for the link chosen now.
    BalanceAsk sentBalance(const QString& handle, bool prompted);
    // Something that tops the history went out: a prompted figure awaited
    // can no longer be read from it.
    void historyTopped();
    // The query an answer under `handle` belongs to, if the page awaits it.
    std::optional<BalanceAsk> takeQuery(const QString& handle);
    // The figure of `ask` can still be read from the history: no balance
    // query or transfer went out after it.
    bool isLatest(const BalanceAsk& ask) const { return ask.number == sent_; }
    // The outcome of a prompted query of `link`, shown now if the link is,
    // and whenever it is shown again.
    void tell(const QString& link, const QString& text);
    bool awaitsPromptedFigure() const;
    // The held automatic query goes once no prompted figure is awaited.
    void releaseHeld();
    // The awaited figure came in `table`, or the history failed (null).
    void readFigure(const DTBSTransferInfoPtr& table, bool failed);

    bool queryBalanceButtonVisible_ = false;
    QString bankBalanceText_;
    platform::RunLoopTimer* freshTableTimer_ = nullptr;
    quint64 sent_ = 0; // balance queries and transfers sent so far
    bool promptOpen_ = false;
    std::optional<BalanceAsk> automatic_; // the password-free query of the link shown
    bool automaticHeld_ = false; // the link shown waits to ask its own
    QHash<QString, BalanceAsk> prompted_; // per link: the customer's query out
    std::optional<BalanceAsk> figure_; // answered: the history asked next carries its balance
    QHash<QString, QString> told_; // per link: what its prompted query gave
};

// 证券转银行 (link id 40002): transfers to the bank and shows the chosen
// capital account's available funds: those of the account and currency
// chosen now, never a late answer asked for another.
class StockToBankViewController : public FundTransferBaseViewController, public IMoneyInfoDelegate {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "StockToBankViewController";
    static constexpr qint64 kLinkId = 40002;

    using FundTransferBaseViewController::fundTransfer;
    using FundTransferBaseViewController::queryFundTransferInfo;
    using IMoneyInfoDelegate::queryMoneyInfo;

    explicit StockToBankViewController(BaseNode::Ptr node = nullptr, Services services = Services(),
        QueryInfoManager* queryInfoManager = nullptr);

    const QString& availableFundText() const { return availableFundText_; }

    // fundAccountChanged: the password rows and the available funds follow
    // the account.
    void bankCardSelected(qsizetype index) override;
    void moneyTypeSelected(qsizetype index) override;
    // Answers whether the question went out.
    bool requestAvailableFundAmount();

    void queryFundTransferInfo(DataModel*, const QString&, const RDOFundTransferInfo& info) override;
    void queryMoneyInfo(DataModel*, const QString& handle, const RDOMoney& money) override;
    bool queryMoneyInfo(DataModel*, const QString& handle, const CSError& error) override;

protected:
    void awakeFromNib() override;
    bool verifyInput() override;
    void runConfirmation(
        const QString& accountText, const QString& moneyName, const QString& amount) override;
    void refreshAfterTransfer() override;
    QStringList figuresShown() const override;
    QStringList readOwed(const QStringList& owed) override;

private:
    QueryInfoManager* queryInfoManager;
    QString availableFundText_;
};

// 查询余额 (link id 40004): the balance of the bank account linked to a
// capital account. A link that needs no password is asked at once and its
// balance read from the history one second after the answer (the timer
// belongs to the page's set-up); one that needs passwords only hears that the
// query was submitted. The rows below the account start from their own
// places at every layout: fund password, bank password, balance. Typed
// passwords are wiped after every query; with no account for the currency
// nothing is asked. An answer belongs to the layout that asked: once another
// link or currency is chosen, the answers and history of the earlier one are
// left alone, so neither its balance nor its result lands on the new one.
class QueryBalanceViewController : public FundTransferBaseViewController, public IQueryBankBalanceDelegate {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "QueryBalanceViewController";
    static constexpr qint64 kLinkId = 40004;
    static constexpr double kRefreshDelay = 1.0; // seconds

    using FundTransferBaseViewController::queryBSTransfer;
    using IQueryBankBalanceDelegate::queryBankBalance;

    explicit QueryBalanceViewController(BaseNode::Ptr node = nullptr, Services services = Services());

    bool autoQueryBalance() const { return autoQueryBalance_; }
    // The row the balance stands in: 0 the fund-password row, 1 the
    // bank-password row, 2 its own.
    int balanceRow() const { return balanceRow_; }
    bool queryButtonVisible() const { return queryButtonVisible_; }
    const QString& bankBalanceText() const { return bankBalanceText_; }
    bool isQueryBusy() const { return queryBusy_; }
    platform::RunLoopTimer* freshTableTimer() const { return freshTableTimer_; }

    // The query button.
    void transferButtonClicked() override;
    void queryBankBalance(DataModel*, const QString&, const QString& runningNumber) override;
    bool queryBankBalance(DataModel*, const QString&, const CSError& error) override;
    void queryBSTransfer(DataModel*, const QString&, const DTBSTransferInfoPtr& table) override;
    bool queryBSTransfer(DataModel*, const QString&, const CSError& error) override;

protected:
    void awakeFromNib() override;
    void willDropRequests() override;
    void initPasswordControls() override;
    bool verifyInput() override;
    void runConfirmation(const QString&, const QString&, const QString&) override { }
    qint32 accountTransferType() const override { return transfercode::kAnyTransfer; }
    // The page shows no history: only the balance it shows by itself is
    // read again while a transfer of unknown outcome left it owed.
    QStringList figuresShown() const override { return { owedfigure::kBankBalance }; }
    QStringList readOwed(const QStringList& owed) override;

private:
    void refreshTable();
    // The balance of the link shown, blank until the query asked now for it
    // is read; nothing is asked where the link needs passwords. Answers
    // whether a query went out.
    bool askAutomatically();
    void endQuery();
    // Whose answer this is: true the current automatic query, false the
    // query button's, nullopt an earlier layout's (then left alone).
    std::optional<bool> takeQuery(const QString& handle);

    bool autoQueryBalance_ = false;
    int balanceRow_ = 0;
    bool queryButtonVisible_ = false;
    QString bankBalanceText_;
    bool queryBusy_ = false;
    platform::RunLoopTimer* freshTableTimer_ = nullptr;
};

// Registers the transfer pages of this library with the page dispatch.
void registerTransferPages();
