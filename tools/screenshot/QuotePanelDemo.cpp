// Shows the quote panel alone with a security of the simulator's market
// (its five-level book and its day up to the afternoon, no network), with
// the cross-hair held on one minute, and prints "ready x y width height".
// The quote-panel screenshot script photographs it.
//
//   quote-panel-demo [--code CODE] [--minutes N] [--height H]
#include "comm/recordset/VEKTCRS.h"
#include "tools/broker-sim/Market.h"
#include "tools/broker-sim/Table.h"
#include "trading/quotepanel/QuoteInfoView.h"
#include "trading/quotepanel/TimePointLineView.h"
#include "trading/security/StockManager.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>

namespace {

constexpr qint32 kEncoding = 2; // UTF-8

std::vector<VEKTCRS> reply(const QList<brokersim::Table>& tables)
{
    const QByteArray bytes = brokersim::encodeTables(tables, kEncoding).value_or(QByteArray());
    return VEKTCRS::constructMRWithBytes(bytes.constData(), bytes.size(), kEncoding);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption codeOption("code", "security code", "code", "600000");
    const QCommandLineOption minutesOption("minutes", "minutes of the day so far", "n", "200");
    const QCommandLineOption heightOption("height", "panel height", "h", "420");
    parser.addOptions({ codeOption, minutesOption, heightOption });
    parser.process(app);

    brokersim::Market market;
    brokersim::MarketSecurity* s = market.security(parser.value(codeOption));
    if (!s) {
        std::fprintf(stderr, "no such security\n");
        return 1;
    }
    s->cursor = std::clamp<qsizetype>(parser.value(minutesOption).toLongLong(), 1, qsizetype(s->minutes.size())) - 1;
    const std::vector<VEKTCRS> quoteSets = reply({ market.quote5Level(*s) });
    const RDOQuotesOf5Level quote(&quoteSets.front());
    const RDOStock day(reply(market.timesharing(*s)));

    StockManager manager;
    const StockManager::SecurityPtr security = manager.updateQuotesOf5LevelEx(quote);
    manager.updateQuotes(day);

    const double height = parser.value(heightOption).toDouble();
    QuoteInfoViewController controller(QSizeF(quotepanel::kPanelWidth, height));
    controller.awakeFromNib();
    QuoteInfoView view(controller);
    view.setWindowTitle(QStringLiteral("行情"));
    controller.setQuoteMarketType(QuoteInfoViewController::quoteMarketTypeOfClass(quote.classId));
    controller.setQuotesOf5LevelInfo(*security);
    controller.setTimesharingInfo(security);
    view.setFixedSize(view.size());
    view.move(40, 40);
    view.show();

    QTimer::singleShot(300, [&] {
        // The cross-hair held on a morning minute, as while the user drags.
        TimePointLineView* overlay = view.timePointLineView();
        overlay->mouseDown(QPointF(overlay->width() * 0.3, overlay->height() * 0.5));
        view.update();
        QTimer::singleShot(300, [&] {
            const QPoint origin = view.mapToGlobal(QPoint(0, 0));
            std::printf("ready %d %d %d %d\n", origin.x(), origin.y(), view.width(), view.height());
            std::fflush(stdout);
        });
    });
    return app.exec();
}
