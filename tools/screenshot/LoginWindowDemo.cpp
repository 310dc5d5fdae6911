// Shows the login window against a simulator on 127.0.0.1, runs the
// start-up requests, and prints "ready x y width height" once the form is
// usable and the captcha is shown. The screenshot script photographs it.
//
//   login-window-demo --port TC_PORT --ca CA_FILE
#include "core/NetworkFactory.h"
#include "core/SystemInfo.h"
#include "login/LoginDataModels.h"
#include "login/LoginManager.h"
#include "platform/TlsTrust.h"
#include "shell/ui/LoginView.h"
#include "shell/ui/LoginWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>

namespace {

// The simulator is the only trade server.
class OneServer final : public INetworkServerManager {
public:
    std::optional<CSServerInfo> trade;
    quint64 numberOfServerInfosByType(int32_t type) override { return type == 1 && trade ? 1 : 0; }
    qint64 indexOfSelectedByType(int32_t type) override { return type == 1 && trade ? 0 : -1; }
    std::optional<CSServerInfo> serverInfoOfSelectedByType(int32_t type) override
    {
        return type == 1 ? trade : std::nullopt;
    }
    bool connectToServerByType(int32_t, quint64) override { return false; }
};

// Terminal id, application login and branch list, then the form opens.
class StartUp final : public IUtidDelegate, public IAppLoginDelegate, public IOrganizationInfoDelegate {
public:
    explicit StartUp(LoginWindow* window)
        : window_(window)
    {
    }
    void run() { LoginManager::getInstance()->requestUtid(this); }
    void queryUtid(DataModel*, const QString&, const QString& utid) override
    {
        LoginManager::getInstance()->setUtid(utid);
        LoginManager::getInstance()->setNetworkUtidConifg();
        LoginManager::getInstance()->requestAppLogin(this);
    }
    void appLogin(DataModel*, const QString&, const std::optional<RDOServerVersionInfo>&) override
    {
        LoginManager::getInstance()->requestOrgInfo(this);
    }
    void queryOrganizationInfo(DataModel*, const QString&, const RDOOrganizationInfo& info) override
    {
        LoginManager::getInstance()->setOrgInfo(&info);
        if (window_)
            window_->controller().appLoginComplete();
    }
    bool queryUtid(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    bool appLogin(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    bool queryOrganizationInfo(DataModel*, const QString&, const CSError& e) override { return fail(e); }

private:
    static bool fail(const CSError& error)
    {
        std::fprintf(stderr, "start-up failed: %s\n", qPrintable(error.domain));
        QCoreApplication::exit(1);
        return true;
    }
    QPointer<LoginWindow> window_;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({ "port", "The simulator's TC port.", "port" });
    parser.addOption({ "ca", "The simulator's CA certificate.", "file" });
    parser.process(app);
    if (!parser.isSet("port") || !parser.isSet("ca")) {
        std::fprintf(stderr, "usage: login-window-demo --port TC_PORT --ca CA_FILE\n");
        return 2;
    }
    SystemInfo::setInfoDictionary({ { QStringLiteral("CFBundleVersion"), QStringLiteral("1.0") },
        { QStringLiteral("App identifier"), QStringLiteral("lumora") } });
    registerLoginDataModels();
    platform::TlsTrust::addCaCertificatesFromFile(parser.value("ca"));
    OneServer servers;
    servers.trade = NetworkFactory::makeServerInfo(NetworkFactory::kTrade, QStringLiteral("127.0.0.1"), parser.value("port"), 10);
    NetworkFactory::getInstance()->setServerManager(&servers);

    auto* window = new LoginWindow();
    window->showOver();
    window->windowDidLoad();
    StartUp startUp(window);
    startUp.run();

    LoginViewController& form = window->controller().loginViewController();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!form.isEnabled() || form.identifyingCodeImage().isNull())
            return;
        poll.stop();
        // The notices would cover the form in the picture.
        if (window->systemMessageWindow())
            window->systemMessageWindow()->close();
        window->activateWindow();
        QTimer::singleShot(800, [window] {
            const QRect frame = window->frameGeometry();
            std::printf("ready %d %d %d %d\n", frame.x(), frame.y(), frame.width(), frame.height());
            std::fflush(stdout);
        });
    });
    poll.start(100);
    return app.exec();
}
