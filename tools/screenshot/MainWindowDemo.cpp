// Shows the main window after a login against a simulator run in this
// process: start-up requests, the menu, a trade login of the sample customer
// through the login form, then the main window. Prints "ready x y width
// height" once the ticker and the message badge are filled. The screenshot
// script photographs it.
//
//   main-window-demo
#include "comm/AesEncryption.h"
#include "core/DMServerManager.h"
#include "core/SystemInfo.h"
#include "core/UserDefaultConfig.h"
#include "login/LoginDataModels.h"
#include "login/LoginManager.h"
#include "platform/PropertyList.h"
#include "platform/TlsTrust.h"
#include "platform/UserFolder.h"
#include "quotes/requests/QuoteDataModels.h"
#include "shell/ShellDataModels.h"
#include "shell/menu/MenuManager.h"
#include "shell/ui/MainWindow.h"
#include "shell/ui/statusbar/BottomInfoView.h"
#include "shell/windows/LoginViewController.h"
#include "tools/broker-sim/BrokerSimulator.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QTimer>
#include <QToolButton>
#include <cstdio>

namespace {

bool writeServerList(quint16 tcPort, quint16 httpPort)
{
    const QString key = QString::fromLatin1(DMServerManager::kStoredDataKey);
    const auto enc = [&](const QString& text) { return AesEncryption::encodeStringWithAES(text, key).value_or(QString()); };
    const auto list = [&](const QString& name, quint16 port) {
        const QVariantMap server { { "name", name }, { "ip_address", enc("127.0.0.1") },
            { "port", enc(QString::number(port)) } };
        return QVariantMap { { "info_list", QVariantList { server } }, { "selected_ip", enc("127.0.0.1") },
            { "selected_port", enc(QString::number(port)) } };
    };
    const QVariantMap document { { "hq_servlist", list(QStringLiteral("本地行情"), httpPort) },
        { "jy_servlist", list(QStringLiteral("本地交易"), tcPort) } };
    const QString path = platform::UserFolder::configFilePath(QString::fromLatin1(DMServerManager::kFileName));
    QDir().mkpath(QFileInfo(path).path());
    return platform::PropertyList::writeFileAtomic(path, document);
}

void fail(const QString& what)
{
    std::fprintf(stderr, "%s\n", qPrintable(what));
    QCoreApplication::exit(1);
}

// The session's start as the session flow runs it, then the login.
class Session final : public IUtidDelegate,
                      public IAppLoginDelegate,
                      public IOrganizationInfoDelegate,
                      public IQueryMenuInfoDelegate {
public:
    explicit Session(brokersim::BrokerSimulator& sim)
        : sim_(sim)
    {
    }
    std::function<void()> ready;

    void run() { LoginManager::getInstance()->requestUtid(this); }
    void queryUtid(DataModel*, const QString&, const QString& utid) override
    {
        LoginManager::getInstance()->setUtid(utid);
        LoginManager::getInstance()->setNetworkUtidConifg();
        LoginManager::getInstance()->requestAppLogin(this);
    }
    void appLogin(DataModel*, const QString&, const std::optional<RDOServerVersionInfo>& info) override
    {
        if (info && info->contId())
            UserDefaultConfig::getInstance()->setContId(*info->contId());
        LoginManager::getInstance()->requestOrgInfo(this);
    }
    void queryOrganizationInfo(DataModel*, const QString&, const RDOOrganizationInfo& info) override
    {
        LoginManager::getInstance()->setOrgInfo(&info);
        MenuManager::getInstance()->requestMenuInfo(this);
    }
    void queryMenuInfo(DataModel*, const QString&, const std::shared_ptr<RDOMenuManager>& menu) override
    {
        MenuManager::getInstance()->setMenuInfo(menu);
        logIn();
    }
    bool queryUtid(DataModel*, const QString&, const CSError& e) override { return failed(e); }
    bool appLogin(DataModel*, const QString&, const CSError& e) override { return failed(e); }
    bool queryOrganizationInfo(DataModel*, const QString&, const CSError& e) override { return failed(e); }
    bool queryMenuInfo(DataModel*, const QString&, const CSError& e) override { return failed(e); }

private:
    // The sample customer through the login form, captcha read from the simulator.
    void logIn()
    {
        form_ = std::make_unique<LoginViewController>();
        form_->appLoginComplete();
        poll_.callOnTimeout([this] {
            if (!typed_) {
                if (form_->identifyingCodeImage().isNull())
                    return;
                typed_ = true;
                form_->accountTypeSelected(0);
                form_->controlTextDidChange(LoginViewController::Field::Account, QStringLiteral("010100000001"));
                form_->controlTextDidChange(LoginViewController::Field::Password, QStringLiteral("111111"));
                form_->controlTextDidChange(
                    LoginViewController::Field::IdentifyingCode, sim_.state().broker().lastCaptchaCode());
                form_->loginButtonClick(true);
                return;
            }
            if (!form_->loginSucceeded())
                return;
            poll_.stop();
            form_->LoginComplete();
            ready();
        });
        poll_.start(100);
    }
    bool failed(const CSError& error)
    {
        fail(QStringLiteral("start-up failed: ") + error.domain);
        return true;
    }

    brokersim::BrokerSimulator& sim_;
    std::unique_ptr<LoginViewController> form_;
    QTimer poll_;
    bool typed_ = false;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    SystemInfo::setInfoDictionary({ { QStringLiteral("CFBundleVersion"), QStringLiteral("1.0") },
        { QStringLiteral("App identifier"), QStringLiteral("lumora") } });
    registerLoginDataModels();
    registerShellDataModels();
    registerQuotesDataModels();

    brokersim::BrokerSimulator sim;
    if (!sim.start()) {
        std::fprintf(stderr, "the simulator did not start: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    platform::TlsTrust::addCaCertificates(sim.trustedCertificates());
    if (!writeServerList(sim.tcPort(), sim.httpPort())) {
        std::fprintf(stderr, "cannot write the server list (is LUMORA_HOME set?)\n");
        return 1;
    }
    DMServerManager::getInstance();

    QPointer<MainWindow> window;
    QTimer poll;
    Session session(sim);
    session.ready = [&] {
        window = new MainWindow();
        window->setGeometry(60, 40, 1160, 720);
        window->show();
        window->activateWindow();
        poll.callOnTimeout([&] {
            const auto* ticker = window->bottomInfoView()->findChild<QLabel*>(QStringLiteral("indexInfo3Text"));
            const auto* badge = window->findChild<QToolButton*>(QStringLiteral("messageNotification"));
            if (!ticker || ticker->text().isEmpty() || !badge || !badge->isVisible())
                return;
            poll.stop();
            QTimer::singleShot(800, [&] {
                const QRect frame = window->frameGeometry();
                std::printf("ready %d %d %d %d\n", frame.x(), frame.y(), frame.width(), frame.height());
                std::fflush(stdout);
            });
        });
        poll.start(100);
    };
    session.run();
    return app.exec();
}
