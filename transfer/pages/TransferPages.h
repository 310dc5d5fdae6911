#pragma once

#include "trading/requests/TradeQueryDataModels.h"
#include "transfer/pages/FundBalPwdAlertWC.h"
#include "transfer/pages/FundTransferBaseViewController.h"

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
// latest balance query, so a figure is read only from a history asked after
// its query was answered, and only while no other balance query or transfer
// went out since. An answer belongs to the link and currency that asked:
// the automatic query's is left alone once another is chosen; the prompt's
// is the customer's own, and shows whenever its link is shown again. A
// transfer moves the bank's money: the balance is then read again where that
// needs no password, and shows "--" otherwise unless the customer's own query
// asked after the transfer is still to show.
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
    bool isQueryBusy() const { return queryBusy_; }
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

private:
    // A balance query: its handle, the link it asked for and its place among
    // the page's balance queries and transfers.
    struct BalanceAsk {
        QString handle;
        QString link;
        quint64 number = 0;
    };
    void refreshTable();
    // The balance shows `shown`; the automatic query and history asked so
    // far no longer land on it.
    void forgetBalance(const QString& shown);
    // The password-free balance query of `account`.
    void askBalance(const RDOFundAccountInfo& account);
    // Files a balance query sent under `handle` for the link chosen now.
    BalanceAsk sentBalance(const QString& handle);
    // The query an answer under `handle` belongs to, if the page awaits it.
    std::optional<BalanceAsk> takeQuery(const QString& handle);
    // The figure of `ask` can still be read from the history: no balance
    // query or transfer went out after it.
    bool isLatest(const BalanceAsk& ask) const { return ask.number == sent_; }

    bool queryBalanceButtonVisible_ = false;
    QString bankBalanceText_;
    bool queryBusy_ = false;
    platform::RunLoopTimer* freshTableTimer_ = nullptr;
    quint64 sent_ = 0; // balance queries and transfers sent so far
    std::optional<BalanceAsk> automatic_; // the password-free query of the link shown
    std::optional<BalanceAsk> prompted_; // the customer's query through the prompt
    std::optional<BalanceAsk> figure_; // answered: the history asked next carries its balance
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
    void requestAvailableFundAmount();

    void queryFundTransferInfo(DataModel*, const QString&, const RDOFundTransferInfo& info) override;
    void queryMoneyInfo(DataModel*, const QString& handle, const RDOMoney& money) override;
    bool queryMoneyInfo(DataModel*, const QString& handle, const CSError& error) override;

protected:
    void awakeFromNib() override;
    bool verifyInput() override;
    void runConfirmation(
        const QString& accountText, const QString& moneyName, const QString& amount) override;
    void refreshAfterTransfer() override;

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

private:
    void refreshTable();
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
