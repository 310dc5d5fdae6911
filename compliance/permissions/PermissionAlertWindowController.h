#pragma once

#include "compliance/ComplianceDataModels.h"
#include "compliance/RiskAssessmentSelection.h"
#include "compliance/permissions/PermissionDataModels.h"
#include "shell/pages/ActionOutcomeRelay.h"
#include "shell/windows/AlertPresenter.h"

#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class NotificationCenter;
class PermissionSettingsManager;
class RiskAssessmentManager;
namespace platform {
class RunLoopTimer;
}

// What the wizard works with; null ones are the shared instances. makeTimer
// makes the check box countdown's repeating one-second timer (in the common
// modes, so it ticks inside modal runs too); tests give one they fire.
struct PermissionWizardServices {
    PermissionSettingsManager* permissionManager = nullptr;
    RiskAssessmentManager* riskAssessmentManager = nullptr;
    NotificationCenter* notificationCenter = nullptr;
    std::function<std::unique_ptr<platform::RunLoopTimer>(std::function<void()> tick)> makeTimer;
    // Runs when an open or close the wizard sent succeeds after the wizard
    // has ended (the lock, an account change), or the wizard ends other than
    // with 1 after it succeeded (the lock over its message): what showed the
    // permission shows its old status. Null: nothing runs.
    std::function<void()> changedAfterEnd;
};

// The relay of an open or close (ActionOutcomeRelay): the wizard hears the
// answer while it runs; once it has ended the relay tells the outcome, and
// a success runs `changedAfterEnd`, as the wizard's end with 1 would have
// had the permission read again.
class PermissionAccessRelay final : public IOpenPermissionAccessDelegate, public ActionOutcomeRelay {
public:
    PermissionAccessRelay(Listener wizard, IOpenPermissionAccessDelegate& hears, std::function<void()> changedAfterEnd);

    void openPermissionAccess(DataModel* request, const QString& handle, const QString& message) override;
    bool openPermissionAccess(DataModel* request, const QString& handle, const CSError& error) override;

    // What a refused open or close says, whoever says it.
    static QString failureText(const CSError& error) { return DataModel::getNetworkError(error).domain; }

private:
    IOpenPermissionAccessDelegate* hears_;
    std::function<void()> changedAfterEnd_;
};

// The permission opening wizard: fetches the agreement steps of one
// permission, shows them one after another (text, web page, questionnaire),
// with the check box and its countdown, signs the steps that carry a sign
// link, and sends the open request after the last one. Ends with 1 once the
// open request succeeded and its message was dismissed, otherwise with 0
// (cancel, an empty list, a failed list, the window closing, a lock, an open
// of unknown outcome once its message is read: it is never sent again). The
// signs, the answers and the open or close are each heard through a relay:
// an answer that comes once the wizard has ended is told by it. A sheet that
// told such an answer and goes unread with the wizard's window is told again
// on the main window, where it outlives a lock.
class PermissionAlertWindowController final : public QObject,
                                              public IQueryPermissionContractDelegate,
                                              public IOpenPermissionAccessDelegate,
                                              public IPermissionSign,
                                              public ISubmitRiskAssessmentResultDelegate,
                                              public IQueryRiskAssessmentMatchDelegate {
    Q_OBJECT
public:
    using Services = PermissionWizardServices;
    static constexpr int32_t kLockScreen = 3; // NotificationCenter types
    static constexpr int32_t kCloseMessageBoxes = 20;

    explicit PermissionAlertWindowController(Services services = Services());
    ~PermissionAlertWindowController() override;

    enum class Body { None, Text, Web, Questionnaire };
    struct State {
        QString windowTitle;
        Body body = Body::None;
        QString title; // a text agreement's title
        QString content; // its text
        QUrl url; // a web agreement's page
        bool checkVisible = false;
        bool checkOn = false;
        bool checkEnabled = true;
        QString checkTitle;
        QString tip; // the notice line; "" hides it
        bool confirmEnabled = false;
        bool cancelEnabled = false;
        QString confirmTitle; // "" keeps the view's own title
        bool waiting = false; // the list or the open request is pending
        bool signing = false; // a sign request is pending
        bool submitting = false; // the questionnaire's submit or score query runs
        bool closed = false;
        int result = 0;
    };
    const State& state() const { return state_; }
    const PermissionContracts& contracts() const { return _contractArray; }
    quint64 contractIndex() const { return _contractIndex; }
    // The questionnaire step's answers.
    const RiskAssessmentSelection& selection() const { return selection_; }

    // runModalForPermissionSettings:contractUrl:openUrl: starts the wizard;
    // finished() tells its end. Without an open link it ends at once with 0.
    void runModalForPermissionSettings(const QString& contractUrl, const QString& openUrl);

    // The user's actions.
    void confirmButtonClicked();
    void cancelButtonClicked();
    void checkButtonClicked(bool on);
    // riskAssessmentTableViewCell:selectedRow: on the questionnaire step.
    void riskAssessmentTableViewCell(qint64 question, qint64 row);
    // windowWillClose: the window goes; the wizard ends with 0.
    void windowWillClose();
    // lockScreen: (type 3) message boxes close, the wizard ends with 0.
    void lockScreen();

    // Message boxes over the wizard's window; the view gives its own.
    void setAlertPresenter(AlertPresenter* alerts) { alerts_ = alerts ? alerts : AlertPresenter::headless(); }

    // The request callbacks.
    void queryPermissionContract(DataModel*, const QString&, const PermissionContracts& contracts) override;
    bool queryPermissionContract(DataModel*, const QString&, const CSError& error) override;
    void permissionSign(DataModel*, const QString& handle, const QString& message) override;
    bool permissionSign(DataModel*, const QString& handle, const CSError& error) override;
    void submitRiskAssessmentResult(DataModel*, const QString& handle, const QString& message) override;
    bool submitRiskAssessmentResult(DataModel*, const QString& handle, const CSError& error) override;
    void queryRiskAssessmentMatch(DataModel*, const QString& handle, const RDORiskAssessmentMatch& match) override;
    bool queryRiskAssessmentMatch(DataModel*, const QString& handle, const CSError& error) override;
    void openPermissionAccess(DataModel*, const QString& handle, const QString& message) override;
    bool openPermissionAccess(DataModel*, const QString& handle, const CSError& error) override;

signals:
    void changed();
    // The end, once.
    void finished(int result);

private:
    void setControlsStatus(bool busy);
    void setControlsStatusForSign(bool busy);
    void setSubmitting(bool busy);
    void showContractViewByIndex(quint64 index);
    void initControls(const RDOPermissionContract& contract, quint64 index);
    void onEnableCheckTimer();
    void stopTimer();
    void doNext();
    void showNext();
    void sendOpen();
    const RDOPermissionContract* current() const;
    bool isLast() const { return _contractIndex + 1 >= _contractArray.size(); }
    // `outcome`: the sheet tells what became of an action.
    void sheet(AlertRequest request, std::function<void()> dismissed = {}, bool outcome = false);
    void tellUnread();
    void stopModal(int result);
    void stopModalWhenRead(int result);

    PermissionSettingsManager* permissionManager;
    RiskAssessmentManager* riskAssessmentManager;
    NotificationCenter* notificationCenter;
    std::function<std::unique_ptr<platform::RunLoopTimer>(std::function<void()>)> makeTimer_;
    std::function<void()> changedAfterEnd_;
    AlertPresenter* alerts_ = AlertPresenter::headless();

    QString _contractUrl;
    QString _openUrl;
    PermissionContracts _contractArray;
    quint64 _contractIndex = 0;
    std::unique_ptr<platform::RunLoopTimer> enableNextTimer;
    quint64 lockTime = 0;
    QString checkString;
    RiskAssessmentSelection selection_;
    QString signHandle_;
    int sheetsOpen_ = 0;
    std::optional<int> endsWhenRead_;
    QString account_; // the customer the wizard runs for
    // The actions' outcomes the customer has not read yet, by sheet: the
    // sheets up, and a submit whose result is still on its way (0).
    std::map<int, AlertRequest> unread_;
    int sheetSerial_ = 0;
    bool opened_ = false; // the open or close succeeded
    bool openUnknown_ = false; // no answer came: nothing is sent again
    State state_;
};

// Runs a wizard on screen (modal over the parent when one is given).
// compliance/ui provides the one the application uses.
class IPermissionWizardPresenter {
public:
    virtual ~IPermissionWizardPresenter() = default;
    // Whether the wizard is on screen. One that may not show now (the screen
    // is locked) ends as cancelled once the caller has returned.
    virtual bool present(const std::shared_ptr<PermissionAlertWindowController>& wizard, QObject* parent) = 0;
};
// Null until the application sets one.
IPermissionWizardPresenter* defaultPermissionWizardPresenter();
void setDefaultPermissionWizardPresenter(IPermissionWizardPresenter* presenter);
