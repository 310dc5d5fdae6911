// Shows the user settings window or the message-centre window, the latter
// with the messages of an in-process simulator and the first body loaded,
// and prints "ready x y width height" once it is complete. The screenshot
// script photographs it.
//
//   account-windows-demo --window settings|messages
#include "core/NetworkFactory.h"
#include "login/AccountManager.h"
#include "login/LoginDataModels.h"
#include "platform/TlsTrust.h"
#include "shell/ShellDataModels.h"
#include "shell/ui/MessageCenterWindow.h"
#include "shell/ui/UserSettingWindow.h"
#include "tools/broker-sim/BrokerSimulator.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTextBrowser>
#include <QTimer>
#include <cstdio>

namespace {

// The in-process simulator as the only trade server.
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

// Files the list reply in the store, then opens the window.
class Messages final : public IMessageCenterListDelegate {
public:
    std::function<void()> listed;
    void messageCenterList(
        DataModel*, const QString& handle, const std::vector<RDOMessageInfo>& list) override
    {
        MessageCenterManager::getInstance()->updateMessageCenterInfo(list, handle);
        listed();
    }
    bool messageCenterList(DataModel*, const QString&, const CSError& error) override
    {
        std::fprintf(stderr, "message list failed: %s\n", qPrintable(error.domain));
        QCoreApplication::exit(1);
        return true;
    }
};

void printReady(QWidget* window)
{
    QTimer::singleShot(800, window, [window] {
        const QRect frame = window->frameGeometry();
        std::printf("ready %d %d %d %d\n", frame.x(), frame.y(), frame.width(), frame.height());
        std::fflush(stdout);
    });
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({ "window", "settings or messages.", "name" });
    parser.process(app);
    const QString which = parser.value("window");
    if (which == QLatin1String("settings")) {
        auto* window = new UserSettingWindow;
        window->showOver();
        printReady(window);
        return app.exec();
    }
    if (which != QLatin1String("messages")) {
        std::fprintf(stderr, "usage: account-windows-demo --window settings|messages\n");
        return 2;
    }

    registerLoginDataModels();
    registerShellDataModels();
    brokersim::BrokerSimulator sim;
    if (!sim.start()) {
        std::fprintf(stderr, "the simulator did not start: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    platform::TlsTrust::addCaCertificates(sim.trustedCertificates());
    OneServer servers;
    servers.trade = NetworkFactory::makeServerInfo(
        NetworkFactory::kTrade, QStringLiteral("127.0.0.1"), QString::number(sim.tcPort()), 10);
    NetworkFactory::getInstance()->setServerManager(&servers);

    auto account = std::make_shared<Account>();
    account->customerNumber = QStringLiteral("010100000001");
    account->organizationCode = QStringLiteral("0101");
    AccountManager::getInstance()->addActiveAccount(account);
    AccountManager::getInstance()->setActiveLoginAccount(0);

    Messages messages;
    QPointer<MessageCenterWindow> window;
    QTimer poll;
    messages.listed = [&] {
        window = new MessageCenterWindow;
        window->showOver();
        poll.start(100);
    };
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* body = window ? window->findChild<QTextBrowser*>(QStringLiteral("webView")) : nullptr;
        if (!body || body->toPlainText().isEmpty())
            return;
        poll.stop();
        printReady(window);
    });
    MessageCenterManager::getInstance()->requestMessageInfoList(&messages);
    return app.exec();
}
