// The application's end after a session, as the application runs it: the
// windows close, then every shared service goes and every connection with
// it, while the application object still exists. A connection kept to the
// end of the process by a request object would be closed after that object
// has gone, where Qt's TLS layer can only warn "QObject::connect(QObject,
// Unknown): invalid nullptr parameter".
#include "app/SharedServices.h"
#include "comm/request/CSNetwork.h"
#include "trading_ui/TradeWindowRig.h"

using namespace windowtest;

namespace {

QStringList* nullConnections = nullptr;
QtMessageHandler previousHandler = nullptr;

void recordNullConnections(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (nullConnections && message.contains(QLatin1String("invalid nullptr parameter")))
        nullConnections->append(message);
    previousHandler(type, context, message);
}

class AppTeardownTest : public tradewindowtest::TradeWindowTest { };

} // namespace

TEST_F(AppTeardownTest, EndingTheApplicationLeavesNoConnectionBehind)
{
    logInThroughTheLoginWindow();
    fetchMenu();
    openWindow();
    // Pages whose request managers keep request objects on both connections.
    for (const char* title : { "撤单", "资产查询", "买入" }) {
        ASSERT_TRUE(clickEntry(QString::fromUtf8(title)));
        ASSERT_TRUE(settle());
    }
    NetworkFactory* networks = NetworkFactory::getInstance();
    const std::weak_ptr<CSNetwork> trade = networks->getNetwork(NetworkFactory::kTrade);
    const std::weak_ptr<CSNetwork> quote = networks->getNetwork(NetworkFactory::kQuote);

    QStringList seen;
    nullConnections = &seen;
    previousHandler = qInstallMessageHandler(recordNullConnections);
    closeWindows();
    releaseSharedServices();
    qInstallMessageHandler(previousHandler);
    nullConnections = nullptr;

    EXPECT_TRUE(trade.expired()) << "a request object keeps the trade connection past the end";
    EXPECT_TRUE(quote.expired()) << "a request object keeps the quote connection past the end";
    EXPECT_TRUE(seen.isEmpty()) << qPrintable(seen.join(u'\n'));
}
