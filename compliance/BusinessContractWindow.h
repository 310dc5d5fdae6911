#pragma once

#include "compliance/permissions/PermissionDataModels.h"
#include "compliance/RDOOpdAppropriateness.h"
#include "core/DataModelClass.h"
#include "platform/Lifetime.h"
#include "shell/windows/AlertPresenter.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Modal results of a notice window.
inline constexpr int kContractAgreed = 1000;
inline constexpr int kContractDeclined = 0;

// Sends the sign request of a notice's sign link.
class IPermissionSigner {
public:
    virtual ~IPermissionSigner() = default;
    // requestPermissionSign:requestString: the handle, "" when nothing was sent.
    virtual QString requestPermissionSign(IPermissionSign* observer, const QString& signLink) = 0;
};

// One notice shown for the customer to accept: text or web page, an
// optional "read it" check box, agree and cancel. Agreeing a notice with a
// sign link signs it on the server first; the sign is heard through its
// relay, which tells an answer that comes once the window has closed. The
// view shows the state, forwards the clicks and closes once the controller
// has finished.
class BusinessContractWindow final : public QObject, public IPermissionSign {
    Q_OBJECT
public:
    // initWithAppropriateness: the check box must be ticked to agree.
    explicit BusinessContractWindow(RDOOpdAppropriateness appropriateness, IPermissionSigner* signer = nullptr);
    // initWithContent:defaultButton:alterButton: a text notice without check
    // box; no cancel button when the cancel title is empty.
    BusinessContractWindow(const QString& content, const QString& defaultButton, const QString& alterButton,
        IPermissionSigner* signer = nullptr);
    ~BusinessContractWindow() override;

    // What the view shows.
    enum class Body { None, Text, Web };
    struct State {
        QString windowTitle;
        Body body = Body::None;
        bool checkVisible = true;
        bool checkOn = false;
        bool checkEnabled = true;
        bool cancelVisible = true;
        bool cancelEnabled = true;
        bool agreeEnabled = false;
        bool agreeCentred = false; // no cancel: the agree button sits in the middle
        bool compactHeight = false; // 300 points high when a button title was given
        bool busy = false; // the sign request is pending
        bool signedOn = false; // signed, its message on screen: agreed once read
        QString agreeTitle; // empty: the view's default title
        QString cancelTitle;
        bool closed = false;
        int result = kContractDeclined;
    };

    // windowDidLoad: the state from the notice and the flags.
    void windowDidLoad();
    const State& state() const { return state_; }
    const RDOOpdAppropriateness& appropriateness() const { return appropriateness_; }
    void setWindowTitle(const QString& title) { state_.windowTitle = title; }

    bool canCancel = true;
    bool checkButtonHidden = false;
    QString defaultButton;
    QString alterButton;

    // The clicks.
    void checkButtonClick(bool on);
    void cancelButtonClick();
    void agreeButtonClick();

    // Message boxes over the window; the view gives its own.
    void setAlertPresenter(AlertPresenter* alerts) { alerts_ = alerts ? alerts : AlertPresenter::headless(); }

    // IPermissionSign
    void permissionSign(DataModel* request, const QString& requestHandle, const QString& message) override;
    bool permissionSign(DataModel* request, const QString& requestHandle, const CSError& error) override;

signals:
    void changed();
    // The end of runModal: sent once, as the window closes.
    void finished(int result);

private:
    void sign();
    void showProgressIndicator();
    void hideProgressIndicator();
    void finish(int result);
    // The sign's message or refusal on the window; `read` runs once it is.
    void showSignOutcome(AlertRequest box, std::function<void()> read);

    RDOOpdAppropriateness appropriateness_;
    IPermissionSigner* signer_;
    AlertPresenter* alerts_ = AlertPresenter::headless();
    QString account_; // the customer the notice was signed for
    std::optional<AlertRequest> unread_; // the sign's outcome while it is up
    State state_;
};

// Shows a notice window's view (application-modal, over the parent when
// one is given). compliance/ui provides the one the application uses.
class IContractWindowPresenter {
public:
    virtual ~IContractWindowPresenter() = default;
    virtual void present(const std::shared_ptr<BusinessContractWindow>& window, QObject* parent) = 0;
};
// The presenter notices use when none is given; null until one is set.
IContractWindowPresenter* defaultContractPresenter();
void setDefaultContractPresenter(IContractWindowPresenter* presenter);
// The signer notices use when none is given: the one set, else the shared
// PermissionSettingsManager.
IPermissionSigner* defaultPermissionSigner();
void setDefaultPermissionSigner(IPermissionSigner* signer);

// businessContractSuccess: told whether every notice was agreed.
class BusinessContractDelegate : public platform::Lifetime {
public:
    virtual ~BusinessContractDelegate() = default;
    virtual void businessContractSuccess(bool agreed) = 0;
};

// Shows a list of notices one after another; the first one not agreed ends
// the list. The outcome reaches the delegate on a later pass of the main run
// loop, never inside the last window's handling.
class BusinessContractManager {
public:
    // initWithInformations:
    explicit BusinessContractManager(std::vector<RDOOpdAppropriateness> infomations,
        IContractWindowPresenter* presenter = nullptr, IPermissionSigner* signer = nullptr);
    ~BusinessContractManager();
    BusinessContractManager(const BusinessContractManager&) = delete;
    BusinessContractManager& operator=(const BusinessContractManager&) = delete;

    // Runs the list once.
    void showBusinessContracts();
    // closeBusinessContracts: presses the shown window's cancel.
    void closeBusinessContracts();

    void setDelegate(BusinessContractDelegate* delegate) { delegate_ = delegate; }
    void setParentWindow(QObject* parent) { parentWindow_ = parent; }
    bool canCancel = true;
    const std::vector<RDOOpdAppropriateness>& infomations() const { return infomations_; }
    const std::shared_ptr<BusinessContractWindow>& contractWindow() const { return contractWindow_; }

private:
    void showAt(size_t index);
    void complete(bool agreed);
    void showBusinessContractsComplete(bool agreed);

    std::vector<RDOOpdAppropriateness> infomations_;
    IContractWindowPresenter* presenter_;
    IPermissionSigner* signer_;
    platform::WeakRef<BusinessContractDelegate> delegate_;
    QPointer<QObject> parentWindow_;
    std::shared_ptr<BusinessContractWindow> contractWindow_;
    // Every window shown lives as long as the list: none goes while it is
    // still telling of its end.
    std::vector<std::shared_ptr<BusinessContractWindow>> shown_;
    bool started_ = false;
    platform::Lifetime alive_;
};
