// Shows the login window against a simulator on 127.0.0.1, runs the
// start-up requests, and prints "ready x y width height" once the form is
// usable and the captcha is shown. The screenshot script photographs it.
//
//   login-window-demo --port TC_PORT --http-port HTTP_PORT --ca CA_FILE
#include "comm/crypto/AesEncryption.h"
#include "core/DMServerManager.h"
#include "core/SystemInfo.h"
#include "login/LoginDataModels.h"
#include "login/LoginManager.h"
#include "platform/PropertyList.h"
#include "platform/TlsTrust.h"
#include "platform/UserFolder.h"
#include "shell/ui/LoginView.h"
#include "shell/ui/LoginWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

namespace {

// The simulator as the only quote and trade server, stored as the user's
// server list the way the client keeps it (addresses enciphered).
bool writeServerList(const QString& tcPort, const QString& httpPort)
{
    const QString key = QString::fromLatin1(DMServerManager::kStoredDataKey);
    const auto enc = [&](const QString& text) { return AesEncryption::encodeStringWithAES(text, key).value_or(QString()); };
    const auto list = [&](const QString& name, const QString& port) {
        const QVariantMap server { { "name", name }, { "ip_address", enc("127.0.0.1") }, { "port", enc(port) } };
        return QVariantMap { { "info_list", QVariantList { server } }, { "selected_ip", enc("127.0.0.1") },
            { "selected_port", enc(port) } };
    };
    const QVariantMap document { { "hq_servlist", list(QStringLiteral("本地行情"), httpPort) },
        { "jy_servlist", list(QStringLiteral("本地交易"), tcPort) } };
    const QString path = platform::UserFolder::configFilePath(QString::fromLatin1(DMServerManager::kFileName));
    QDir().mkpath(QFileInfo(path).path());
    return platform::PropertyList::writeFileAtomic(path, document);
}

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
    parser.addOption({ "http-port", "The simulator's HTTP port.", "port" });
    parser.addOption({ "ca", "The simulator's CA certificate.", "file" });
    parser.process(app);
    if (!parser.isSet("port") || !parser.isSet("http-port") || !parser.isSet("ca")) {
        std::fprintf(stderr, "usage: login-window-demo --port TC_PORT --http-port HTTP_PORT --ca CA_FILE\n");
        return 2;
    }
    SystemInfo::setInfoDictionary({ { QStringLiteral("CFBundleVersion"), QStringLiteral("1.0") },
        { QStringLiteral("App identifier"), QStringLiteral("lumora") } });
    registerLoginDataModels();
    platform::TlsTrust::addCaCertificatesFromFile(parser.value("ca"));
    if (!writeServerList(parser.value("port"), parser.value("http-port"))) {
        std::fprintf(stderr, "cannot write the server list (is LUMORA_HOME set?)\n");
        return 1;
    }
    DMServerManager::getInstance();

    auto* window = new LoginWindow();
    window->showOver();
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
