#pragma once

#include "shell/pages/MenuItemViewController.h"
#include "trading/confirm/OrderAlertWindowController.h"
#include "trading/requests/TradeQueryDataModels.h"
#include "transfer/FundTransferInfo.h"
#include "transfer/TransferDataModels.h"

#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class FundTransferManager;
class QueryInfoManager;
class UserDefaultConfig;

// What the capital-account pages use; null members are the shared instances.
struct CapitalAccountPageServices {
    MenuItemViewControllerServices page;
    FundTransferManager* fundTransferManager = nullptr;
    QueryInfoManager* queryInfoManager = nullptr;
    UserDefaultConfig* userDefaultConfig = nullptr;
    OrderAlertWindowControllerServices confirmation;
};

// What the inside transfer and the fund collection pages share: the
// customer's transfer information and capital-account list, the currency
// choice, and one confirmed request at a time under one busy flag, from the
// button press to its answer. A request whose answer never came ends in an
// unknown outcome: the page reads what it shows again and sends nothing
// again. Should its answer come after all, the page tells it and reads
// again, and leaves alone the next request's dialog. Its answer comes
// through the request's relay, which tells it itself once the page is left
// or the account changes. The capital-account list shows the answer of the
// list asked last. Main thread only.
class CapitalAccountPage : public MenuItemViewController,
                           public IQueryFundTransferInfoDelegate,
                           public IFundInfoListDelegate,
                           public IDoConfigOrder {
    Q_OBJECT
public:
    using Services = CapitalAccountPageServices;
    using IFundInfoListDelegate::fundInfoList;
    using IQueryFundTransferInfoDelegate::queryFundTransferInfo;

    ~CapitalAccountPage() override;

    const std::optional<RDOFundTransferInfo>& fundTransferInfo() const { return fundTransferInfo_; }
    const std::shared_ptr<DTFundInfoTable>& fundInfoTable() const { return fundInfoTable_; }
    const QStringList& moneyNames() const { return moneyNames_; }
    qsizetype selectedMoneyIndex() const { return selectedMoney_; }
    QString selectedMoneyName() const;
    bool controlsEnabled() const { return controlsEnabled_; }
    bool isBusy() const { return busy_; }
    bool isProgressVisible() const { return progressVisible_; }
    OrderAlertWindowController& orderAlertWC() { return *orderAlertWC_; }
    // The window the confirmation dialog is centred over.
    void setDialogParent(QObject* window) { dialogParent_ = window; }

    virtual void transferButtonClicked() = 0;
    virtual void resetButtonClicked() { resetControls(); }

    // Why a request failed, an outcome left unknown in words of its own: the
    // page and its request's relay tell the same.
    static QString failureText(const CSError& error);

    void fundInfoList(DataModel*, const QString&, const std::shared_ptr<DTFundInfoTable>& table) override;
    bool fundInfoList(DataModel*, const QString&, const CSError&) override;
    void doConfigOrderTimeLimitPassed(int type) override;

protected:
    CapitalAccountPage(BaseNode::Ptr node, Services services);

    void awakeFromNib() override;
    void willDropRequests() override;
    virtual void updateForAccountProtecteOptionChange() = 0;
    virtual void resetControls() = 0;
    // After a request that moved money, or while one of unknown outcome
    // left the money owed: what the page reads again (the capital-account
    // list, whose balances it changed, empty until its new answer). Answers
    // whether the list was asked for.
    virtual bool readAgain();
    // Asks for the capital-account list; only the one asked last shows.
    bool askList();
    QStringList figuresShown() const override { return { owedfigure::kMoney }; }
    QStringList readOwed(const QStringList& owed) override;
    // The request the user confirms is forgotten (and its secrets wiped).
    virtual void clearPending() = 0;

    void setMoneyNames(const QStringList& names);
    void selectMoney(qsizetype index) { selectedMoney_ = index; }
    void enableControls(bool enabled);
    void startProgress();
    void stopProgress();
    void keepTransferInfo(const RDOFundTransferInfo& info) { fundTransferInfo_ = info; }
    // Opens the dialog under the busy flag; the action ends when the dialog
    // closes without a request out, or with the request's answer.
    void runConfirmation(const std::function<void()>& open);
    // From doConfigOrder: whether a confirmed request may go now.
    bool startSending();
    // The confirmed request went under `handle`; its answer is awaited.
    void awaitAnswer(const QString& handle);
    // A reply came: false for one not awaited; else the dialog closes.
    bool answered(const QString& handle);
    // The reply was an error: shows it (or the unknown outcome), then ends.
    void failed(const CSError& error);
    // Ends the action.
    void endAction();
    QObject* dialogParent() const { return dialogParent_.data(); }
    // The account's entry text "%@ - %@ %@" (bank, account number as the
    // account-protection option shows it, main-account mark).
    QString accountItemText(const RDOFundAccountInfo& account) const;
    static void wipe(QString& text);

    FundTransferManager* fundTransferManager;
    QueryInfoManager* queryInfoManager;
    UserDefaultConfig* userDefaultConfig;

private:
    std::optional<RDOFundTransferInfo> fundTransferInfo_;
    std::shared_ptr<DTFundInfoTable> fundInfoTable_;
    QStringList moneyNames_;
    qsizetype selectedMoney_ = -1;
    bool controlsEnabled_ = false;
    bool progressVisible_ = false;
    bool busy_ = false;
    bool requestInFlight_ = false;
    QPointer<QObject> dialogParent_;
    std::unique_ptr<OrderAlertWindowController> orderAlertWC_;
};

// 资金内转 (link id 40005): moves money between two of the customer's own
// capital accounts in one currency, with the out account's available money
// and the list of capital accounts. The fund password is checked for its
// field before the dialog and wiped once sent. With no account for the
// chosen currency nothing is asked or sent.
class InsideTransferViewController : public CapitalAccountPage,
                                     public IFundInsideTransferDelegate,
                                     public IMoneyInfoDelegate {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "InsideTransferViewController";
    static constexpr qint64 kLinkId = 40005;

    using CapitalAccountPage::queryFundTransferInfo;
    using IFundInsideTransferDelegate::fundInsideTransfer;
    using IMoneyInfoDelegate::queryMoneyInfo;

    explicit InsideTransferViewController(BaseNode::Ptr node = nullptr, Services services = Services());
    ~InsideTransferViewController() override;

    // Both account selectors offer these entries, item for item.
    const QStringList& fundAccountItems() const { return fundAccountItems_; }
    const std::vector<RDOFundAccountInfo>& fundAccountArray() const { return fundAccountArray_; }
    qsizetype selectedOutIndex() const { return selectedOut_; }
    qsizetype selectedInIndex() const { return selectedIn_; }
    const QString& amountText() const { return amountText_; }
    const QString& fundPasswordText() const { return fundPassword_; }
    const QString& availableFundText() const { return availableFundText_; }

    // Read as typed numbers are; the field then shows what was read.
    void setAmountText(const QString& text);
    void setFundPasswordText(const QString& text);
    void moneyTypeSelected(qsizetype index);
    // fundAccountChanged: the out account; the available money follows it.
    void fundAccountChanged(qsizetype index);
    void toFundAccountChanged(qsizetype index);
    void transferButtonClicked() override;
    void requestAvailableFundAmount();

    // What a transfer taken tells, here and through its relay.
    static QString submittedText(const QStringList& serialNumbers);

    void queryFundTransferInfo(DataModel*, const QString&, const RDOFundTransferInfo& info) override;
    void fundInsideTransfer(DataModel*, const QString&, const QStringList& serialNumbers) override;
    bool fundInsideTransfer(DataModel*, const QString&, const CSError& error) override;
    void queryMoneyInfo(DataModel*, const QString& handle, const RDOMoney& money) override;
    bool queryMoneyInfo(DataModel*, const QString& handle, const CSError& error) override;
    bool doConfigOrder(int type) override;

protected:
    void awakeFromNib() override;
    void updateForAccountProtecteOptionChange() override;
    void resetControls() override;
    bool readAgain() override;
    void clearPending() override;

private:
    struct PendingTransfer {
        QString outFundId;
        QString inFundId;
        qint32 moneyType = 0;
        QString amount;
        QString fundPassword;
    };
    void initFundIdInfoPButton();
    bool verifyInput();
    const RDOFundAccountInfo* account(qsizetype index) const;

    std::vector<RDOFundAccountInfo> fundAccountArray_;
    QStringList fundAccountItems_;
    qsizetype selectedOut_ = -1;
    qsizetype selectedIn_ = -1;
    QString amountText_;
    QString fundPassword_;
    QString availableFundText_;
    // The out account whose money was asked for last; an answer naming
    // another account, or asked for another account or currency, is left
    // alone.
    std::optional<QString> moneyFundId_;
    std::optional<PendingTransfer> pending_;
};

// 资金归集 (link id 40006): gathers the money of every secondary capital
// account into the main one, one currency at a time. Without a main account
// the page says so and sends nothing.
class FundCollectionViewController : public CapitalAccountPage, public IFundCollectionDelegate {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "FundCollectionViewController";
    static constexpr qint64 kLinkId = 40006;

    using CapitalAccountPage::queryFundTransferInfo;
    using IFundCollectionDelegate::fundCollection;

    explicit FundCollectionViewController(BaseNode::Ptr node = nullptr, Services services = Services());

    // The main account as the account-protection option shows it.
    const QString& mainFundIdText() const { return mainFundIdText_; }
    // Why collection is unavailable ("" when it is available).
    const QString& unavailableText() const { return unavailableText_; }

    void moneyTypeSelected(qsizetype index);
    void transferButtonClicked() override;

    // What a collection taken tells, here and through its relay.
    static QString submittedText(const RDOFundCollectionResult& result);

    void queryFundTransferInfo(DataModel*, const QString&, const RDOFundTransferInfo& info) override;
    void fundCollection(DataModel*, const QString&, const RDOFundCollectionResult& result) override;
    bool fundCollection(DataModel*, const QString&, const CSError& error) override;
    bool doConfigOrder(int type) override;

protected:
    void awakeFromNib() override;
    void updateForAccountProtecteOptionChange() override;
    void resetControls() override;
    void clearPending() override { pendingMoneyType_.reset(); }

private:
    void initMoneyPButton();
    void initMainFundIdText();

    QString mainFundIdText_;
    QString unavailableText_;
    std::optional<qint32> pendingMoneyType_;
};
