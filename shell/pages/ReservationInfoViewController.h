#pragma once

#include "login/LoginDataModels.h"
#include "shell/pages/ActionOutcomeRelay.h"
#include "shell/pages/MenuItemViewController.h"

#include <memory>

class Account;
class AccountManager;

// The answer of a greeting change, heard by the greeting page while it
// awaits it and told with its texts once it does not.
LUMORA_OUTCOME_RELAY(ReservationInfoRelay, IReservationInfoDelegate, reservationInfo)
// What ReservationInfoViewController works with; null ones are the shared instances.
struct ReservationInfoViewControllerServices {
    AccountManager* accountManager = nullptr;
    NotificationCenter* notificationCenter = nullptr;
};

// The reserved-greeting page without its widgets: the current greeting, the
// new one, and its change after the user confirmed it. Between confirming
// and the reply the controls are disabled. The reply comes through the
// change's relay: the page hears it while it still shows the account it was
// asked for, else the relay tells it; the account keeps a greeting the
// server took either way, so a page opened later shows it, and the page
// shows it at once while it shows that account. Main thread only.
class ReservationInfoViewController final : public MenuItemViewController, public IReservationInfoDelegate {
    Q_OBJECT
public:
    using Services = ReservationInfoViewControllerServices;
    static constexpr qsizetype kMaxLength = 50; // UTF-16 code units
    // The characters a greeting must not hold.
    static QString forbiddenCharacters() { return QStringLiteral("：#%&+/\\=? .:"); }

    static constexpr char kPageClass[] = "ReservationInfoViewController";

    // initWithNodeInfo:
    explicit ReservationInfoViewController(BaseNode::Ptr node = nullptr, Services services = Services());

    const QString& currentText() const { return currentText_; }
    const QString& inputText() const { return inputText_; }
    void setInputText(const QString& text) { inputText_ = text; }
    bool controlsEnabled() const { return enabled_; }

    // checkReserveInput: true when the new greeting holds none of the characters.
    bool checkReserveInput() const;
    void submitButtonClicked();
    void resetButtonClicked();

    void reservationInfo(DataModel* request, const QString& requestHandle, const bool& result) override;
    bool reservationInfo(DataModel* request, const QString& requestHandle, const CSError& error) override;

    // What a greeting taken tells, and why a change failed: the page and the
    // change's relay tell the same.
    static QString takenText() { return QStringLiteral("修改已成功！"); }
    static QString failureText(const CSError& error) { return error.domain; }
    // What a reply does and tells whatever became of the page: a greeting
    // taken (`done`) is kept by `account`, the one it was sent for.
    static QString replyText(const std::weak_ptr<Account>& account, const QString& greeting, bool done);

protected:
    void awakeFromNib() override;
    // A reply dropped with the page's requests re-enables nothing by itself.
    void willDropRequests() override { enabled_ = true; }

private:
    void enableControls(bool flag);
    void send(const QString& greeting);
    // The greeting of the active account as the server took it last.
    void showCurrentGreeting();

    AccountManager* accountManager;
    QString currentText_;
    QString inputText_;
    bool enabled_ = true;
};
