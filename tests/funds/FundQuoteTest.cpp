// The net-value panel: scale, labels and line from the chart's numbers, the
// month labels, and which reply it draws.
#include "FundTestRig.h"
#include "funds/quote/FundQuoteViewController.h"

#include <gtest/gtest.h>

using namespace fundtest;
using namespace fundchart;

namespace {

std::vector<RDOFundHistoricNet> records(const QStringList& nets, const QString& newestDate = "2024-03-15")
{
    std::vector<RDOFundHistoricNet> out;
    for (const QString& net : nets) {
        RDOFundHistoricNet r;
        r.net = net;
        r.date = out.empty() ? newestDate : QStringLiteral("2024-01-02");
        out.push_back(r);
    }
    return out;
}

} // namespace

TEST(FundQuoteChart, ThousandthsComeExactlyFromTheText)
{
    // The single-precision product would make 1.004 into 1003.
    const std::pair<const char*, std::optional<qint64>> cases[] = { { "1.004", 1004 }, { "1.0049", 1004 },
        { "2", 2000 }, { "0.1", 100 }, { "1.12345678", 1123 }, { "-0.0005", -1 }, { "", std::nullopt },
        { "1.2.3", std::nullopt }, { "abc", std::nullopt }, { "1e3", std::nullopt },
        { "1234567890123", std::nullopt } };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(thousandths(QString::fromLatin1(text)), expected) << text;
}

TEST(FundQuoteChart, ScaleAndLabelsOfTheExamples)
{
    const struct {
        QStringList nets;
        Scale scale;
        std::array<QString, 5> labels;
    } cases[] = {
        { QStringList(128, "1.0000"), { 900, 1000, 1100 },
            { "0.9000", "0.9500", "1.0000", "1.0500", "1.1000" } },
        { { "1.100", "1.050", "1.000" }, { 980, 1050, 1120 },
            { "0.9800", "1.0150", "1.0500", "1.0850", "1.1200" } },
        { { "1.0041", "1.0049", "1.0079" }, { 904, 1004, 1104 },
            { "0.9040", "0.9540", "1.0040", "1.0540", "1.1040" } },
        // A scale reaching below zero is labelled as printed.
        { { "0.0500" }, { -50, 50, 150 }, { "-0.0500", "0.0000", "0.0500", "0.1000", "0.1500" } },
        // The flat band ends below a difference of 5 thousandths: 4 is flat,
        // exactly 5 is scaled by its fifth.
        { { "1.004", "1.000" }, { 900, 1000, 1100 }, { "0.9000", "0.9500", "1.0000", "1.0500", "1.1000" } },
        { { "1.005", "1.000" }, { 999, 1002, 1006 }, { "0.9990", "1.0005", "1.0020", "1.0040", "1.0060" } },
    };
    for (const auto& c : cases) {
        FundQuoteChart chart;
        chart.updateView(records(c.nets));
        EXPECT_EQ(chart.scale().bottom, c.scale.bottom);
        EXPECT_EQ(chart.scale().middle, c.scale.middle);
        EXPECT_EQ(chart.scale().top, c.scale.top);
        const bool positive = chart.maxValue() > 0.000001;
        EXPECT_EQ((positive ? valueLabels(chart.scale()) : std::array<QString, 5> {}), c.labels);
    }
    // An empty array keeps the earlier scale.
    FundQuoteChart chart;
    chart.updateView(records({ "1.100", "1.000" }));
    chart.updateView({});
    EXPECT_EQ(chart.scale().top, 1120);
    EXPECT_TRUE(chart.values().empty());
}

// Every net value takes part in the scale and the line, below zero too; only
// text that is no number stays out (it would draw a spike to 0).
TEST(FundQuoteChart, EveryNetValueTakesPartInTheScaleAndTheLine)
{
    const struct {
        QStringList nets; // newest first
        std::vector<qint64> values;
        Scale scale;
        std::array<QString, 5> labels;
        std::vector<double> lineHeights; // oldest first, the level start included
    } cases[] = {
        { { "-0.2000" }, { -200 }, { -300, -200, -100 }, {}, { 144, 144 } },
        { { "1.100", "-1.5", "NaN", "inf", "abc", "1.000" }, { 1100, -1500, 1000 }, { -2020, -200, 1620 },
            { "-2.0200", "-1.1100", "-0.2000", "0.7100", "1.6200" }, { 218, 218, 63, 224 } },
        { { "-1.000", "-1.100" }, { -1000, -1100 }, { -1120, -1050, -980 }, {}, { 63, 63, 224 } },
        { { "-0.0005", "0.0005" }, { -1, 0 }, { -101, -1, 99 },
            { "-0.1010", "-0.0510", "-0.0010", "0.0490", "0.0990" }, { 145, 145, 144 } },
        { { "", "-", "abc" }, {}, { 0, 0, 0 }, {}, {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nets.join(u' ').toStdString());
        FundQuoteChart chart;
        chart.updateView(records(c.nets));
        EXPECT_EQ(chart.values(), c.values);
        EXPECT_EQ(chart.scale().bottom, c.scale.bottom);
        EXPECT_EQ(chart.scale().middle, c.scale.middle);
        EXPECT_EQ(chart.scale().top, c.scale.top);
        const bool positive = chart.maxValue() > 0.000001;
        EXPECT_EQ((positive ? valueLabels(chart.scale()) : std::array<QString, 5> {}), c.labels);
        std::vector<double> heights;
        for (const QPointF& p : linePoints(chart.values(), chart.scale()))
            heights.push_back(p.y());
        EXPECT_EQ(heights, c.lineHeights);
    }
}

TEST(FundQuoteChart, LineRunsFromTheOldestToTheNewest)
{
    const std::vector<qint64> values { 1100, 1050, 1000 }; // newest first
    const Scale scale = scaleOf(values);
    const std::vector<QPointF> points = linePoints(values, scale);
    ASSERT_EQ(points.size(), 4u);
    // Level first segment at the oldest value, then one step per value.
    EXPECT_EQ(points[0], QPointF(72, std::floor(31 + 20 * 226.0 / 140)));
    EXPECT_EQ(points[1].y(), points[0].y());
    EXPECT_EQ(points[1].x(), std::floor(72 + 533.0 / 3));
    EXPECT_EQ(points[3], QPointF(std::floor(kPlotArea.right()), std::floor(31 + 120 * 226.0 / 140)));
    // A flat line sits in the middle of the plot.
    const std::vector<qint64> flat(128, 1000);
    for (const QPointF& p : linePoints(flat, scaleOf(flat)))
        EXPECT_EQ(p.y(), std::floor(31 + 226.0 / 2));
    EXPECT_EQ(gridLines().size(), 9u);
}

TEST(FundQuoteChart, MonthLabels)
{
    using L = std::array<QString, 6>;
    EXPECT_EQ(monthLabels("2024-03-15"), (L { "2月", "2024年", "12月", "11月", "10月", "3月" }));
    EXPECT_EQ(monthLabels("2024-01-05"), (L { "12月", "11月", "10月", "9月", "8月", "2024年" }));
    // The month is the number characters 6 and 7 begin with.
    EXPECT_EQ(monthLabels("2026-3-5"), (L { "2月", "2026年", "12月", "11月", "10月", "3月" }));
    EXPECT_EQ(monthLabels("20240305"), L {}); // no month where it belongs
    EXPECT_EQ(monthLabels("2024"), L {});
    EXPECT_EQ(monthLabels(""), L {});
    EXPECT_EQ(monthLabels("2024-13-01"), L {});
    EXPECT_EQ(FundQuoteViewController::getPreMonth(1), 12);
}

class FundQuotePanelTest : public FundSimulatorFixture {
protected:
    void SetUp() override
    {
        FundSimulatorFixture::SetUp();
        logIn();
    }
    static RDOOpenEndFund fund(const char* code, const char* name)
    {
        RDOOpenEndFund f;
        f.code = QString::fromLatin1(code);
        f.name = QString::fromUtf8(name);
        f.value = "1.0230";
        return f;
    }
};

TEST_F(FundQuotePanelTest, OnlyTheReplyForTheFundShownIsDrawn)
{
    FundQuoteViewController panel;
    panel.awakeFromNib();
    sim.withholdNext(brokersim::kFundNetValueFunction);
    panel.updateFundHistroyValues(fund("000001", "青岚成长混合"));
    ASSERT_TRUE(spinUntil([&] { return count(brokersim::kFundNetValueFunction) == 1; }));
    panel.updateFundHistroyValues(fund("110011", "远帆中小盘"));
    EXPECT_EQ(panel.fundCodeText(), "110011");
    ASSERT_TRUE(spinUntil([&] { return !panel.monthTexts()[5].isEmpty(); }));
    ASSERT_EQ(panel.fundQuoteView().values().size(), 128u);
    const auto drawn = panel.fundQuoteView().values();
    EXPECT_TRUE(lastBody(brokersim::kFundNetValueFunction).endsWith("&reccount=128&ofcode=110011"));

    // The first fund's reply comes late and is dropped.
    sim.releaseWithheld();
    testsupport::spinFor(std::chrono::milliseconds(200));
    EXPECT_EQ(panel.fundQuoteView().values(), drawn);

    // The net value shows as the server sent it.
    for (const char* sent : { "-5.00", "", "NaN", "abc" }) {
        RDOOpenEndFund f = fund("110011", "远帆中小盘");
        f.value = QString::fromLatin1(sent);
        panel.updateFundHistroyValues(f);
        EXPECT_EQ(panel.fundValueText(), f.value) << sent;
    }

    // No fund: nothing is asked and nothing of the last fund stays.
    const qsizetype asked = count(brokersim::kFundNetValueFunction);
    panel.updateFundHistroyValues(std::nullopt);
    EXPECT_EQ(count(brokersim::kFundNetValueFunction), asked);
    EXPECT_TRUE(panel.fundCodeText().isEmpty());
    EXPECT_TRUE(panel.fundQuoteView().values().empty());
    EXPECT_EQ(panel.netValueTexts(), (std::array<QString, 5> {}));
}

TEST_F(FundQuotePanelTest, EmptyAndShortRepliesDrawWithoutFault)
{
    QList<QStringList> rows { { "2024", "1.1000" }, { "20", "1.0000" } };
    sim.registerFunction(brokersim::kFundNetValueFunction.main, brokersim::kFundNetValueFunction.sub,
        [&rows](const brokersim::Request& request, brokersim::BrokerState&) {
            brokersim::DescribedTable t;
            t.column("date", "日期").column("NetValue", "单位净值");
            t.rows = rows;
            std::vector<VEKTCRS> sets { *brokersim::describedRecordSet(t, request.replyEncoding()) };
            return brokersim::Reply::raw(VEKTCRS::exportMRData(sets));
        });
    FundQuoteViewController panel;
    int changes = 0;
    QObject::connect(&panel, &FundQuoteViewController::changed, [&] { ++changes; });
    panel.updateFundHistroyValues(fund("000001", "青岚成长混合"));
    ASSERT_TRUE(spinUntil([&] { return changes == 2; }));
    EXPECT_EQ(panel.fundQuoteView().values().size(), 2u);
    EXPECT_EQ(panel.netValueTexts()[4], "1.1200");
    EXPECT_EQ(panel.monthTexts(), (std::array<QString, 6> {}));

    rows.clear();
    panel.updateFundHistroyValues(fund("110011", "远帆中小盘"));
    ASSERT_TRUE(spinUntil([&] { return changes == 4; }));
    EXPECT_TRUE(panel.fundQuoteView().values().empty());
    EXPECT_EQ(panel.netValueTexts(), (std::array<QString, 5> {}));
}

FUND_RECORDER(NetValueProbe, IFundHistoricNetDelegate, queryFundHistoricNet)

// Another fund's chart goes the moment the fund changes, so a failed or slow
// request never leaves it under the new fund's name; the same fund's chart
// stays until its new values come.
TEST_F(FundQuotePanelTest, AnotherFundsChartGoesAtOnce)
{
    FundQuoteViewController panel;
    panel.updateFundHistroyValues(fund("000001", "青岚成长混合"));
    ASSERT_TRUE(spinUntil([&] { return panel.fundQuoteView().values().size() == 128u; }));
    const auto drawn = panel.fundQuoteView().values();
    const auto labels = panel.netValueTexts();

    sim.answerErrorNext(brokersim::kFundNetValueFunction, 3002, QStringLiteral("系统繁忙"));
    panel.updateFundHistroyValues(fund("110011", "远帆中小盘"));
    EXPECT_TRUE(panel.fundQuoteView().values().empty());
    EXPECT_EQ(panel.netValueTexts(), (std::array<QString, 5> {}));
    EXPECT_EQ(panel.monthTexts(), (std::array<QString, 6> {}));
    // Told after the panel, by the same request: the failure has come.
    NetValueProbe probe;
    OpenFundManager::getInstance()->requestQueryFundHistoricNet(&probe, "128", "110011");
    ASSERT_TRUE(spinUntil([&] { return probe.heard(); }));
    EXPECT_EQ(probe.errors.size(), 1u);
    EXPECT_TRUE(panel.fundQuoteView().values().empty());
    EXPECT_EQ(panel.fundCodeText(), "110011");

    panel.updateFundHistroyValues(fund("000001", "青岚成长混合"));
    ASSERT_TRUE(spinUntil([&] { return panel.fundQuoteView().values() == drawn; }));
    sim.withholdNext(brokersim::kFundNetValueFunction);
    panel.updateFundHistroyValues(fund("000001", "青岚成长混合"));
    EXPECT_EQ(panel.fundQuoteView().values(), drawn);
    EXPECT_EQ(panel.netValueTexts(), labels);
}
