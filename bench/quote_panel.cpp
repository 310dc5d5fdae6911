// Painting the time-sharing chart: a full 330-minute day (the Stock Connect
// layout) with its volume bars into an 800x400 image, with and without
// the refresh that rebuilds the lines and bars, and the whole panel. The
// frames per second are the items per second.
#include "comm/recordset/VEKTCRS.h"
#include "tools/broker-sim/Market.h"
#include "tools/broker-sim/Table.h"
#include "trading/quotepanel/QuoteInfoView.h"
#include "trading/quotepanel/TimesharingChartViews.h"
#include "trading/security/StockManager.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr qint32 kEncoding = 2; // UTF-8

// The Stock Connect security's whole day and its quote.
struct Day {
    RDOQuotesOf5Level quote;
    std::shared_ptr<Security> security;
};

const Day& fullDay()
{
    static const Day day = [] {
        brokersim::Market market;
        brokersim::MarketSecurity& s = *market.security(QStringLiteral("00700"));
        s.cursor = qsizetype(s.minutes.size()) - 1;
        const auto sets = [](const QList<brokersim::Table>& tables) {
            const QByteArray bytes = brokersim::encodeTables(tables, kEncoding).value();
            return VEKTCRS::constructMRWithBytes(bytes.constData(), bytes.size(), kEncoding);
        };
        Day d;
        d.quote = RDOQuotesOf5Level(&sets({ market.quote5Level(s) }).front());
        d.security = StockManager::makeSecurity(108);
        d.security->setQuotesOf5Level(d.quote);
        d.security->setTimesharingInfo(RDOStock(sets(market.timesharing(s))));
        return d;
    }();
    return day;
}

// The two chart views in an 800x400 image: prices above, volumes below.
struct Chart {
    QWidget root;
    TimesharingMarketView* prices = new TimesharingMarketView(&root);
    TurnoverView* volumes = new TurnoverView(&root);
    QuoteInfoViewController controller { QSizeF(800, 400) };

    Chart()
    {
        root.resize(800, 400);
        prices->setGeometry(69, 20, 660, 240);
        volumes->setGeometry(69, 270, 660, 120);
        prices->setQuoteMarketType(1);
        volumes->setQuoteMarketType(1);
        refresh();
    }
    void refresh()
    {
        controller.setTimesharingInfo(fullDay().security);
        const QuoteChartData& c = controller.chart();
        prices->setTimesharingInfo(c.timesharing, c.after, c.openPrice, c.closingPrice, c.subPrice);
        volumes->setTimesharingInfo(c.timesharing, c.after, c.previousClose, c.maximum);
    }
};

void paint(QWidget& root, QImage& image)
{
    image.fill(Qt::black);
    QPainter painter(&image);
    root.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
}

void BM_PaintChart330(benchmark::State& state)
{
    Chart chart;
    if (chart.volumes->bars().day.size() != 330)
        state.SkipWithError("not a full day");
    QImage image(800, 400, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        paint(chart.root, image);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PaintChart330)->Unit(benchmark::kMicrosecond);

void BM_RefreshAndPaintChart330(benchmark::State& state)
{
    Chart chart;
    QImage image(800, 400, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        chart.refresh();
        paint(chart.root, image);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RefreshAndPaintChart330)->Unit(benchmark::kMicrosecond);

void BM_PaintWholePanel(benchmark::State& state)
{
    QuoteInfoViewController controller(QSizeF(quotepanel::kPanelWidth, 400));
    controller.awakeFromNib();
    QuoteInfoView view(controller);
    controller.setQuoteMarketType(1);
    controller.setQuotesOf5LevelInfo(*fullDay().security);
    controller.setTimesharingInfo(fullDay().security);
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        image.fill(Qt::black);
        view.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PaintWholePanel)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The settings store reads an empty per-user folder, not the user's.
    QTemporaryDir home;
    qputenv("LUMORA_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
