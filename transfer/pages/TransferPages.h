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
// and stops with it. An answer belongs to the link and currency that asked:
// once another is chosen, the earlier one's answers and history are left
// alone. A transfer moves the bank's money: the balance is then read again
// where that needs no password, and shows "--" otherwise.
class BankToStockViewController : public FundTransferBaseViewController, public IQueryBankBalanceDelegate {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "BankToStockViewController";
    static constexpr qint64 kLinkId = 40001;
    static constexpr double kRefreshDelay = 1.0; // seconds

    using IQueryBankBalanceDelegate::queryBankBalance;
    using FundTransferBaseViewController::queryBSTransfer;

    explicit BankToStockViewController(BaseNode::Ptr node = nullptr, Services services = Services());

    bool queryBalanceButtonVisible() const { return queryBalanceButtonVisible_; }
    const QString& bankBalanceText() const { return bankBalanceText_; }
    bool isQueryBusy() const { return queryBusy_; }
    platform::RunLoopTimer* freshTableTimer() const { return freshTableTimer_; }

    void queryButtonClicked() override;
    void queryBankBalance(DataModel*, const QString&, const QString& runningNumber) override;
    bool queryBankBalance(DataModel*, const QString&, const CSError& error) override;
    void queryBSTransfer(DataModel*, const QString&, const DTBSTransferInfoPtr& table) override;
    bool queryBSTransfer(DataModel*, const QString&, const CSError& error) override;

protected:
    void awakeFromNib() override;
    void willDropRequests() override;
    void initPasswordControls() override;
    bool verifyInput() override;
    void runConfirmation(const QString& accountText, const QString& moneyName, const QString& amount) override;
    void refreshAfterTransfer() override;

private:
    void refreshTable();
    // The balance shows `shown`; nothing asked so far lands on it.
    void forgetBalance(const QString& shown);
    // The password-free balance query of `account`.
    void askBalance(const RDOFundAccountInfo& account);
    // An answer came: false when it belongs to an earlier link or currency;
    // `asked` tells whether it answers the prompt's query.
    bool takeQuery(const QString& handle, bool* asked);

    bool queryBalanceButtonVisible_ = false;
    QString bankBalanceText_;
    bool queryBusy_ = false;
    platform::RunLoopTimer* freshTableTimer_ = nullptr;
};

// 证券转银行 (link id 40002): transfers to the bank and shows the chosen
// capital account's available funds: those of the account and currency
// chosen now, never a late answer asked for another.
class StockToBankViewController : public FundTransferBaseViewController, public IMoneyInfoDelegate {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "StockToBankViewController";
    static constexpr qint64 kLinkId = 40002;

    using IMoneyInfoDelegate::queryMoneyInfo;
    using FundTransferBaseViewController::queryFundTransferInfo;
    using FundTransferBaseViewController::fundTransfer;

    explicit StockToBankViewController(
        BaseNode::Ptr node = nullptr, Services services = Services(), QueryInfoManager* queryInfoManager = nullptr);

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
    void runConfirmation(const QString& accountText, const QString& moneyName, const QString& amount) override;
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

    using IQueryBankBalanceDelegate::queryBankBalance;
    using FundTransferBaseViewController::queryBSTransfer;

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
