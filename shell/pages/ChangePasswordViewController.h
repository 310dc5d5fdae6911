#pragma once

#include "login/LoginDataModels.h"
#include "shell/pages/ActionOutcomeRelay.h"
#include "shell/pages/MenuItemViewController.h"

#include <QStringList>
#include <array>
#include <optional>

class AccountManager;
class NotificationCenter;
class PasswordFormatter;
class QValidator;
class UserDefaultConfig;

// The answers of the password changes, heard by the password page while it
// awaits them and told with its texts once it does not.
LUMORA_OUTCOME_RELAY(TradePasswordRelay, IChangeTradePasswordDelegate, changeTradePassword)
LUMORA_OUTCOME_RELAY(FundPasswordRelay, IChangeFundPasswordDelegate, changeFundPassword)

// What ChangePasswordViewController works with; null ones are the shared instances.
struct ChangePasswordViewControllerServices {
    AccountManager* accountManager = nullptr;
    UserDefaultConfig* userDefaultConfig = nullptr;
    NotificationCenter* notificationCenter = nullptr;
};

// The password page without its widgets: the trade password of the active
// account (segment 0) or the fund password of one of its capital accounts
// (segment 1). The fields take letters and digits only, as many as a
// password may have; a password too long for the request or holding a
// character that could rewrite it is refused when it is sent, never cut;
// the three fields are wiped after use. A change's answer comes through its
// relay: the page hears it while it still shows the account it was asked
// for, else the relay tells it; the account takes a new trade password into
// its prefix either way, also when the page was closed before the reply
// came. Main thread only.
class ChangePasswordViewController final : public MenuItemViewController,
                                           public IQueryFundInfoDelegate,
                                           public IChangeTradePasswordDelegate,
                                           public IChangeFundPasswordDelegate {
    Q_OBJECT
public:
    using Services = ChangePasswordViewControllerServices;
    enum Segment { kTradePassword = 0, kFundPassword = 1 };
    // The password fields in focus order.
    enum class Field { Current = 0, Fresh = 1, Confirm = 2 };

    static constexpr char kPageClass[] = "ChangePasswordViewController";

    // initWithNodeInfo:
    explicit ChangePasswordViewController(BaseNode::Ptr node = nullptr, Services services = Services());
    ~ChangePasswordViewController() override;
    // The fields' formatter: letters and digits, at most the request's 31.
    QValidator* passwordFormatter() const;

    int passwordType() const { return segment_; }
    bool fundOptionShown() const { return fundOptionShown_; }
    // The capital accounts of the pop-up (masked under account protection)
    // and the selected one, -1 for none.
    const QStringList& fundItems() const { return fundItems_; }
    int selectedFund() const { return selectedFund_; }
    const QString& passwordText(Field field) const { return texts_[size_t(field)]; }
    void setPasswordText(Field field, const QString& text);
    // Whether a trade-password change of the active account waits for its reply.
    bool isChangingTradePassword() const;

    void passwordTypeSelected(int segment);
    void fundAccountChanged(int index);
    void confirmChangeButtonClicked();
    // passordEditEnd: the field that takes the focus next.
    Field passordEditEnd(Field field) const;
    // Empties (and overwrites) the three password fields.
    void resetPasswordText();
    void updateForAccountProtecteOptionChange();

    void queryFundInfo(
        DataModel* request, const QString& requestHandle, const std::vector<RDOFund>& list) override;
    bool queryFundInfo(DataModel*, const QString&, const CSError&) override { return true; }
    void changeTradePassword(DataModel* request, const QString& requestHandle, const bool& result) override;
    bool changeTradePassword(DataModel* request, const QString& requestHandle, const CSError& error) override;
    void changeFundPassword(DataModel* request, const QString& requestHandle, const bool& result) override;
    bool changeFundPassword(DataModel* request, const QString& requestHandle, const CSError& error) override;

    // Why a change failed, as the page and the change's relay tell it.
    static QString failureText(const CSError& error);

protected:
    void awakeFromNib() override;

private:
    void initFundList();
    void showFundList(const std::vector<RDOFund>& list);
    void showFundOption(bool show);
    void error(const QString& text);

    AccountManager* accountManager;
    UserDefaultConfig* userDefaultConfig;
    PasswordFormatter* formatter_;
    std::optional<std::vector<RDOFund>> fundInfoArray;
    int segment_ = kTradePassword;
    bool fundOptionShown_ = false;
    QStringList fundItems_;
    int selectedFund_ = -1;
    std::array<QString, 3> texts_;
};
