#pragma once

// Shared pieces of the window controller tests: message boxes recorded
// instead of shown, and the start-up steps that make the login form usable
// against the in-process simulator.
#include "login/LoginTestRig.h"
#include "shell/windows/AlertPresenter.h"
#include "shell/windows/LoginViewController.h"

#include <vector>

namespace windowtest {

using namespace std::chrono_literals;

// Records every box and answers with `answer`.
class RecordingAlerts final : public AlertPresenter {
public:
    std::vector<AlertRequest> shown;
    int answer = 1;
    void runAlert(const AlertRequest& request, Completion completion) override
    {
        shown.push_back(request);
        if (completion)
            completion(answer);
    }
    QStringList texts() const
    {
        QStringList all;
        for (const AlertRequest& r : shown)
            all << r.text;
        return all;
    }
};

// Terminal id, application login and branch list, as the session flow runs them.
class StartUp final : public IUtidDelegate, public IAppLoginDelegate, public IOrganizationInfoDelegate {
public:
    bool done = false;
    bool failed = false;
    void run()
    {
        LoginManager* lm = LoginManager::getInstance();
        lm->setRequestTimeout(10);
        lm->requestUtid(this);
        ASSERT_TRUE(testsupport::spinUntil([this] { return done; }, 10s));
        ASSERT_FALSE(failed);
    }
    void queryUtid(DataModel*, const QString&, const QString& utid) override
    {
        LoginManager::getInstance()->setUtid(utid);
        LoginManager::getInstance()->setNetworkUtidConifg();
        LoginManager::getInstance()->requestAppLogin(this);
    }
    bool queryUtid(DataModel*, const QString&, const CSError&) override { return fail(); }
    void appLogin(DataModel*, const QString&, const std::optional<RDOServerVersionInfo>&) override
    {
        LoginManager::getInstance()->requestOrgInfo(this);
    }
    bool appLogin(DataModel*, const QString&, const CSError&) override { return fail(); }
    void queryOrganizationInfo(DataModel*, const QString&, const RDOOrganizationInfo& info) override
    {
        LoginManager::getInstance()->setOrgInfo(&info);
        done = true;
    }
    bool queryOrganizationInfo(DataModel*, const QString&, const CSError&) override { return fail(); }

private:
    bool fail()
    {
        failed = done = true;
        return true;
    }
};

// Logs a customer in through the login form, as the user would; answers
// whether it succeeded and, when not, the boxes shown.
inline ::testing::AssertionResult logIn(
    brokersim::Broker& broker, const QString& number, const QString& password)
{
    LoginViewController form;
    RecordingAlerts none;
    form.setAlertPresenter(&none);
    form.appLoginComplete();
    if (!testsupport::spinUntil([&] { return !form.identifyingCodeImage().isNull(); }, 10s))
        return ::testing::AssertionFailure() << "no captcha";
    form.accountTypeSelected(0);
    form.controlTextDidChange(LoginViewController::Field::Account, number);
    form.controlTextDidChange(LoginViewController::Field::Password, password);
    form.controlTextDidChange(LoginViewController::Field::IdentifyingCode, broker.lastCaptchaCode());
    form.loginButtonClick(true);
    testsupport::spinUntil([&] { return form.loginSucceeded() || !none.shown.empty(); }, 10s);
    if (!form.loginSucceeded())
        return ::testing::AssertionFailure() << qPrintable(none.texts().join(u' '));
    return ::testing::AssertionSuccess();
}

} // namespace windowtest
