// The net-value chart rendered offscreen, checked at computed pixels.
#include "funds/ui/FundPanels.h"

#include <QImage>
#include <gtest/gtest.h>

using namespace fundchart;

namespace {

QImage render(const std::vector<QString>& nets)
{
    std::vector<RDOFundHistoricNet> records;
    for (const QString& net : nets) {
        RDOFundHistoricNet r;
        r.net = net;
        r.date = "2024-03-15";
        records.push_back(r);
    }
    FundQuoteChart chart;
    chart.updateView(records);
    FundQuoteView view;
    view.setChart(chart);
    QImage image(view.size(), QImage::Format_ARGB32);
    view.render(&image);
    return image;
}

// A point of the chart's frame (y upwards) in the image.
QPoint pixel(const QPointF& p)
{
    return QPoint(int(p.x()), kViewHeight - int(p.y()));
}

// The white line, tinted where the area's gradient lies over it.
bool isLine(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) > 200;
}

} // namespace

TEST(FundQuoteView, LineEndsAtTheNewestValueOverTheGrid)
{
    std::vector<QString> nets;
    for (int i = 0; i < 128; ++i)
        nets.push_back(QString::asprintf("1.%03d", 100 - i / 2)); // newest first, falling into the past
    const QImage image = render(nets);

    std::vector<qint64> values;
    for (const QString& n : nets)
        values.push_back(*thousandths(n));
    const std::vector<QPointF> points = linePoints(values, scaleOf(values));
    // The newest value ends the line at the plot's right edge, near the top.
    const QPoint newest = pixel(points.back()) + QPoint(-1, 0);
    bool found = false;
    for (int dy = -1; dy <= 1 && !found; ++dy)
        found = isLine(image.pixel(newest + QPoint(0, dy)));
    EXPECT_TRUE(found) << newest.x() << "," << newest.y();
    // The oldest value starts the line, level, at the left.
    const QPoint oldest = pixel(points.front()) + QPoint(2, 0);
    const QRgb start = isLine(image.pixel(oldest)) ? image.pixel(oldest) : image.pixel(oldest + QPoint(0, 1));
    EXPECT_TRUE(isLine(start));
    // The area under the line is drawn after it: the line is not pure white.
    EXPECT_NE(start | 0xff000000u, 0xffffffffu);

    // A vertical grid line in grey, below the line where nothing covers it.
    const auto grid = gridLines();
    const QPoint gridPoint = pixel(QPointF(grid[3].first.x(), kPlotArea.top() + 3));
    const QColor grey = gridColour();
    const QColor seen = image.pixelColor(gridPoint);
    EXPECT_NEAR(seen.red(), grey.red(), 40);
    EXPECT_NEAR(seen.green(), grey.green(), 40);
    EXPECT_NEAR(seen.blue(), grey.blue(), 40);
    // Outside the chart area the background is black.
    EXPECT_EQ(image.pixelColor(5, 5), QColor(Qt::black));
}

TEST(FundQuoteView, AnEmptyChartDrawsFrameAndGridOnly)
{
    const QImage image = render({});
    for (int x = int(kPlotArea.left()) + 2; x < int(kPlotArea.right()) - 2; x += 7)
        for (int y = int(kPlotArea.top()) + 2; y < int(kPlotArea.bottom()) - 2; y += 5)
            ASSERT_FALSE(isLine(image.pixel(pixel(QPointF(x, y))))) << x << "," << y;
    const QColor area = image.pixelColor(pixel(QPointF(kChartArea.left() + 2, kChartArea.top() + 2)));
    EXPECT_EQ(area.blue(), chartAreaColour().blue());
}
