#pragma once

#include "shell/pages/MenuItemViewController.h"
#include "trading/confirm/OrderAlertWindowController.h"
#include "transfer/FundTransferInfo.h"
#include "transfer/TransferDataModels.h"

#include <QPointer>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class FundTransferManager;
class UserDefaultConfig;

// What a page uses; null members are the shared instances.
struct FundTransferPageServices {
    MenuItemViewControllerServices page;
    FundTransferManager* fundTransferManager = nullptr;
    UserDefaultConfig* userDefaultConfig = nullptr;
    OrderAlertWindowControllerServices confirmation;
};

// Where the password rows stand: each field shown or hidden; the bank
// password takes the first row when the fund password is not asked for.
struct FundTransferPasswordLayout {
    bool fundVisible = false;
    bool bankVisible = false;
    bool bankInFirstRow = false;
};

// The common base of the transfer pages: the currency and account choices,
// the password fields the chosen bank asks for, the amount, the history and
// the handling of a transfer's answer. Until the transfer information arrives
// the controls are unavailable; with no account for the chosen currency the
// passwords, the query and the transfer stay unavailable. A transfer runs
// from the button press to its answer under one busy flag, or until its
// dialog times out: its answer is then late, ends no later transfer and
// leaves the next one's dialog alone, yet its outcome is still told. The
// answer comes through the transfer's relay, which tells it itself once the
// page is left or the account changes.
// What is sent is exactly what the dialog showed. Typed passwords are wiped
// when the fields are reset and when the page goes. Main thread only.
class FundTransferBaseViewController : public MenuItemViewController,
                                       public IQueryFundTransferInfoDelegate,
                                       public IFundTransferDelegate,
                                       public IQueryBSTransferDelegate,
                                       public IDoConfigOrder {
    Q_OBJECT
public:
    using Services = FundTransferPageServices;
    using PasswordLayout = FundTransferPasswordLayout;
    using IFundTransferDelegate::fundTransfer;
    using IQueryBSTransferDelegate::queryBSTransfer;
    using IQueryFundTransferInfoDelegate::queryFundTransferInfo;

    ~FundTransferBaseViewController() override;

    // --- what the view shows ---
    qint32 fundTransferType() const { return fundTransferType_; }
    const std::optional<RDOFundTransferInfo>& fundTransferInfo() const { return fundTransferInfo_; }
    const QStringList& moneyNames() const { return moneyNames_; }
    qsizetype selectedMoneyIndex() const { return selectedMoney_; }
    QString selectedMoneyName() const;
    // The account popup: items "%@ - %@ %@" (bank, masked fund id, "(主)").
    const QStringList& fundAccountItems() const { return fundAccountItems_; }
    const std::vector<RDOFundAccountInfo>& fundAccountArray() const { return fundAccountArray_; }
    qsizetype selectedAccountIndex() const { return selectedAccount_; }
    const RDOFundAccountInfo* selectedAccount() const;
    const PasswordLayout& passwordLayout() const { return layout_; }
    bool controlsEnabled() const { return controlsEnabled_; }
    // An account is chosen: passwords, query and transfer may be used.
    bool hasAccount() const { return controlsEnabled_ && selectedAccount() != nullptr; }
    bool isTransferBusy() const { return transferBusy_; }
    bool isProgressVisible() const { return progressVisible_; }
    const QString& amountText() const { return amountText_; }
    const QString& fundPasswordText() const { return fundPassword_; }
    const QString& bankPasswordText() const { return bankPassword_; }
    const DTBSTransferInfoPtr& transferInfoTable() const { return history_; }
    OrderAlertWindowController& orderAlertWC() { return *orderAlertWC_; }

    // --- user actions ---
    void setAmountText(const QString& text);
    void setFundPasswordText(const QString& text);
    void setBankPasswordText(const QString& text);
    virtual void moneyTypeSelected(qsizetype index);
    virtual void bankCardSelected(qsizetype index);
    void resetButtonClicked() { resetControls(); }
    virtual void transferButtonClicked();
    virtual void queryButtonClicked() { }
    // The window the confirmation dialog is centred over.
    void setDialogParent(QObject* window) { dialogParent_ = window; }

    // What a transfer's answer tells: its serial, or why it failed (an
    // outcome left unknown in words of its own). The page and, once the page
    // no longer awaits the answer, the transfer's relay tell the same.
    static QString submittedText(const QString& serialNumber);
    static QString failureText(const CSError& error);

    // The next visible field after `current` in a focus order, wrapping;
    // -1 when `current` is not in the order (controlEditEnd:).
    static qsizetype nextFocus(const std::vector<bool>& visible, qsizetype current);

    // --- replies ---
    void queryFundTransferInfo(DataModel*, const QString&, const RDOFundTransferInfo& info) override;
    void fundTransfer(DataModel*, const QString&, const QString& serialNumber) override;
    bool fundTransfer(DataModel*, const QString&, const CSError& error) override;
    void queryBSTransfer(DataModel*, const QString&, const DTBSTransferInfoPtr& table) override;
    bool queryBSTransfer(DataModel*, const QString&, const CSError&) override;
    bool doConfigOrder(int type) override;
    void doConfigOrderTimeLimitPassed(int type) override;

protected:
    FundTransferBaseViewController(qint32 transferType, BaseNode::Ptr node, Services services);

    void awakeFromNib() override;
    void willDropRequests() override;

    void initMoneyPButton();
    void initFundIdInfoPButton();
    virtual void initPasswordControls();
    void initPasswordControlsLocation(bool needFundPassword, bool needBankPassword);
    void enableControls(bool enabled);
    void resetControls();
    void startProgress();
    void stopProgress();
    void updateForAccountProtecteOptionChange();
    qint32 selectedMoneyType() const;

    // Checks the typed fields; shows why and answers false when they may not go.
    virtual bool verifyInput();
    // Opens the dialog of the page's type with the account text, currency and amount.
    virtual void runConfirmation(const QString& accountText, const QString& moneyName, const QString& amount)
        = 0;
    // After a transfer's answer: what the page reads again.
    virtual void refreshAfterTransfer();
    // The history, read again while a transfer of unknown outcome left it
    // owed (the capital account's money too, where the page shows it).
    QStringList figuresShown() const override { return { owedfigure::kTransfers }; }
    QStringList readOwed(const QStringList& owed) override;
    // The history's first row carries the balance of the latest balance
    // query, whichever link it was for. The page reads it for the link chosen
    // now: askHistory files the request under that link, takeHistory answers
    // whether an answer is the one last asked for it (then no longer awaited;
    // false for one asked for another link or forgotten), and forgetHistory
    // leaves every answer asked so far untaken.
    bool askHistory();
    // Asks the history for `link` and answers its handle; whichever link it
    // names, its answer is the history the page shows, and so a read of it.
    QString askHistoryOf(const QString& link);
    bool takeHistory(const QString& handle);
    // The history asked last (askHistory or askHistoryOf) was answered (with
    // its rows, or not): the history may no longer be owed.
    void historyAnswered(const QString& handle, bool withRows);
    void forgetHistory();
    // The bank link chosen now (capital account, bank and currency); "" with
    // no account.
    QString selectedLink() const;
    QObject* dialogParent() const { return dialogParent_.data(); }
    // The account's popup text.
    QString accountItemText(const RDOFundAccountInfo& account) const;
    // The transfer type the account popup offers accounts for.
    virtual qint32 accountTransferType() const { return fundTransferType_; }
    // The failure of a read the page makes by itself, in a box: read again
    // in rounds against a server that keeps failing (the customer may be
    // away), it adds none while the last is still open.
    void tellReadFailure(const QString& text);

    FundTransferManager* fundTransferManager;
    UserDefaultConfig* userDefaultConfig;

private:
    // The transfer the user confirms: taken when the dialog opens.
    struct PendingTransfer {
        qint32 moneyType = 0;
        QString fundId;
        QString bankCode;
        QString amount;
        QString fundPassword;
        QString bankPassword;
    };
    void endTransfer();
    static void wipe(QString& text);

    qint32 fundTransferType_;
    std::optional<RDOFundTransferInfo> fundTransferInfo_;
    QStringList moneyNames_;
    qsizetype selectedMoney_ = -1;
    std::vector<RDOFundAccountInfo> fundAccountArray_;
    QStringList fundAccountItems_;
    qsizetype selectedAccount_ = -1;
    PasswordLayout layout_;
    bool controlsEnabled_ = false;
    bool progressVisible_ = false;
    bool transferBusy_ = false;
    bool requestInFlight_ = false;
    OneBoxAtATime readFailureBox_;
    QString amountText_;
    QString fundPassword_;
    QString bankPassword_;
    DTBSTransferInfoPtr history_;
    QString historyAsked_; // the handle of the history asked last
    std::optional<PendingTransfer> pending_;
    QPointer<QObject> dialogParent_;
    std::unique_ptr<OrderAlertWindowController> orderAlertWC_;
};
