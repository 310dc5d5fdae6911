#pragma once

#include "login/LoginDataModels.h"
#include "shell/windows/LoginViewController.h"

#include <QObject>
#include <QUrl>
#include <memory>
#include <vector>

class SystemInfo;
namespace platform {
class Updater;
}
// What LoginWindowController works with; null ones are the shared instances.
struct LoginWindowControllerServices {
    LoginViewControllerServices form;
    SystemInfo* systemInfo = nullptr;
    platform::Updater* updater = nullptr;
};

// The start-up login window without its widgets: the form, the start-up
// progress under a cover until the application login completes, the system
// message after it, the update check, and the links to the account window,
// the server-list window and the broker's web pages. Main thread only.
class LoginWindowController final : public QObject, public IQuerySystemMessageDelegate {
    Q_OBJECT
public:
    using Services = LoginWindowControllerServices;
    // The broker's site; the pages below are paths on it.
    static constexpr char kBrokerSite[] = "https://www.lumora-broker.example";
    static constexpr char kReservationPath[] = "/qdpx/yykh/index.jsp";
    static constexpr char kRiskTipsPath[] = "/qdpx/service/announceRisk.html";

    explicit LoginWindowController(Services services = Services(), QObject* parent = nullptr);
    ~LoginWindowController() override;

    LoginViewController& loginViewController() { return *form_; }
    // Message boxes of the window and of its form.
    void setAlertPresenter(AlertPresenter* alerts);
    // "%@ V%@": the window's title and the software version.
    QString windowTitle() const;

    // windowDidLoad: the cover and the progress go up, the update check runs.
    void windowDidLoad();
    void checkForUpdate();
    // appLoginComplete: the form is enabled, the cover goes, the system
    // message is asked for.
    void appLoginComplete();
    void loginComplete() { form_->LoginComplete(); }
    void resetUI() { form_->resetUI(); }
    void windowWillClose();

    void manageAccountButtonClick() { emit accountWindowRequested(); }
    void switchSiteButtonClick() { emit siteWindowRequested(); }
    void reserveAccountButtonClick() { emit openUrlRequested(pageUrl(kReservationPath)); }
    void riskTipsButtonClick() { emit openUrlRequested(pageUrl(kRiskTipsPath)); }
    void mainPageClicked() { emit openUrlRequested(pageUrl("")); }

    bool isLaunching() const { return launching_; }
    bool isCoverShown() const { return coverShown_; }

    // IQuerySystemMessageDelegate: a failure is not shown.
    void querySystemMessage(
        DataModel* request, const QString& requestHandle, const std::vector<RDOSystemMessage>& list) override;

    static QUrl pageUrl(const char* path);
    // A newer version was found: the user may open its download page.
    void updateAvailable(const QString& version, const QUrl& downloadUrl);

signals:
    void changed(); // progress or cover
    void systemMessagesReceived(const std::vector<RDOSystemMessage>& messages);
    void accountWindowRequested();
    void siteWindowRequested();
    void openUrlRequested(const QUrl& url);

private:
    std::unique_ptr<LoginViewController> form_;
    LoginManager* loginManager;
    SystemInfo* systemInfo;
    platform::Updater* updater;
    AlertPresenter* alerts_ = AlertPresenter::headless();
    bool launching_ = false;
    bool coverShown_ = false;
};
