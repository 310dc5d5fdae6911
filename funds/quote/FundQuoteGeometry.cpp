#include "funds/quote/FundQuoteGeometry.h"

#include "comm/recordset/ServerNumber.h"

#include <algorithm>
#include <cmath>

namespace fundchart {

std::optional<qint64> thousandths(const QString& text)
{
    const QString net = text.trimmed();
    const bool negative = net.startsWith(u'-');
    const QStringView digits = QStringView(net).sliced(negative ? 1 : 0);
    const qsizetype dot = digits.indexOf(u'.');
    const QStringView whole = dot < 0 ? digits : digits.first(dot);
    const QStringView fraction = dot < 0 ? QStringView() : digits.sliced(dot + 1);
    if (whole.isEmpty() || whole.size() > 12)
        return std::nullopt;
    qint64 value = 0;
    for (QChar c : whole) {
        if (!c.isDigit() || c.unicode() > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    bool remainder = false;
    for (qsizetype i = 0; i < fraction.size(); ++i) {
        const QChar c = fraction[i];
        if (c < u'0' || c > u'9')
            return std::nullopt;
        if (i < 3)
            value = value * 10 + (c.unicode() - u'0');
        else if (c != u'0')
            remainder = true;
    }
    for (qsizetype i = fraction.size(); i < 3; ++i)
        value *= 10;
    // Rounded down: a negative value with more decimals goes one further.
    return negative ? -value - (remainder ? 1 : 0) : value;
}

Scale scaleOf(const std::vector<qint64>& values)
{
    if (values.empty())
        return {};
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    const qint64 lo = *low;
    const qint64 hi = *high;
    if (hi - lo < 5)
        return { lo - 100, lo, lo + 100 };
    const qint64 d = (hi - lo) / 5;
    const qint64 top = hi + d;
    const qint64 bottom = lo - d;
    return { bottom, bottom + (top - bottom) / 2, top };
}

double yOf(qint64 value, const Scale& scale, const QRectF& plot)
{
    const qint64 range = scale.top - scale.bottom;
    if (range <= 0)
        return plot.top();
    return plot.top() + double(value - scale.bottom) * plot.height() / double(range);
}

std::vector<QPointF> linePoints(const std::vector<qint64>& values, const Scale& scale, const QRectF& plot)
{
    std::vector<QPointF> points;
    if (values.empty())
        return points;
    // In this frame the plot's bottom edge is its smaller y, QRectF's top().
    const double step = plot.width() / double(values.size());
    double x = plot.left() + 1;
    points.emplace_back(std::floor(x), std::floor(yOf(values.back(), scale, plot)));
    for (auto it = values.rbegin(); it != values.rend(); ++it) {
        x = std::min(x + step, plot.right());
        points.emplace_back(std::floor(x), std::floor(yOf(*it, scale, plot)));
    }
    return points;
}

std::vector<std::pair<QPointF, QPointF>> gridLines(const QRectF& plot)
{
    std::vector<std::pair<QPointF, QPointF>> lines;
    for (int i = 1; i <= 3; ++i) {
        const double y = std::floor(plot.top() + plot.height() * i / 4);
        lines.push_back({ QPointF(std::floor(plot.left()), y), QPointF(std::floor(plot.right()), y) });
    }
    for (int i = 1; i <= 6; ++i) {
        const double x = std::floor(plot.left() + plot.width() * i / 7);
        lines.push_back({ QPointF(x, std::floor(plot.top())), QPointF(x, std::floor(plot.bottom())) });
    }
    return lines;
}

std::array<QString, 5> valueLabels(const Scale& scale)
{
    std::array<QString, 5> labels;
    if (double(scale.top) / 1000.0 <= 0.000001)
        return labels;
    const double points[5] = { double(scale.bottom), scale.bottom + (scale.middle - scale.bottom) / 2.0,
        double(scale.middle), scale.middle + (scale.top - scale.middle) / 2.0, double(scale.top) };
    for (int i = 0; i < 5; ++i)
        labels[size_t(i)] = QString::asprintf("%.4lf", points[i] / 1000.0);
    return labels;
}

int getPreMonth(int month)
{
    return month <= 1 ? 12 : month - 1;
}

std::array<QString, 6> monthLabels(const QString& newestDate)
{
    std::array<QString, 6> labels;
    // The number the two characters begin with: "3-" of "2026-3-5" is 3.
    const int month = servernumber::toInt32(QStringView(newestDate).mid(5, 2));
    if (month < 1 || month > 12)
        return labels;
    const QString year = newestDate.left(4);
    auto text = [&](int m) { return m == 1 ? QStringLiteral("%1年").arg(year) : QStringLiteral("%1月").arg(m); };
    int m = month;
    for (int i = 0; i < 5; ++i) {
        m = getPreMonth(m);
        labels[size_t(i)] = text(m);
    }
    labels[5] = text(month);
    return labels;
}

namespace {

// A component rounded down to a multiple of 1/255.
int byteOf(double component)
{
    return int(std::floor(component * 255.0));
}

} // namespace

QColor chartAreaColour()
{
    return QColor::fromRgbF(0.007f, 0.227f, 0.384f, 1.0f);
}

QColor gridColour()
{
    return QColor::fromRgbF(0.345f, 0.349f, 0.36f, 1.0f);
}

QColor gradientBottomColour()
{
    return QColor(byteOf(0.007), byteOf(0.125), byteOf(0.169), byteOf(0.1));
}

QColor gradientTopColour()
{
    return QColor(byteOf(0.9), byteOf(0.86), byteOf(0.78), byteOf(0.4));
}

} // namespace fundchart
