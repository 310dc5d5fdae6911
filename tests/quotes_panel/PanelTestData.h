#pragma once

#include <algorithm>

// Days and quotes made up for the panel's tests.
#include "core/NotificationCenter.h"
#include "login/LoginTestRig.h"
#include "quotes/requests/QuoteRecords.h"
#include "trading/security/Security.h"

#include <QString>
#include <memory>
#include <vector>

namespace paneltest {

// The minute times of a 240-minute day: 930 .. 1130, 1301 .. 1500.
inline QString minuteTime(int index)
{
    const int m = index <= 120 ? 570 + index : 780 + index - 120;
    return QString::number(m / 60 * 100 + m % 60);
}

inline RDOTimesharingInfo minute(int index, double price, qint64 quantity, double average = 0)
{
    RDOTimesharingInfo p;
    p.quoteTime = minuteTime(index);
    p.recentDealPrice = price;
    p.averageDealPrice = average > 0 ? average : price;
    p.totalTurnover = quantity;
    // Clamped: the edge-case days use prices no amount can hold.
    p.dealVolume = qint64(std::clamp(price * double(quantity), -9e18, 9e18));
    return p;
}

// A day of `count` minutes moving `delta` a minute from `open`, the
// quantity rising to the last minute.
inline std::vector<RDOTimesharingInfo> walk(int count, double open, double delta)
{
    std::vector<RDOTimesharingInfo> points;
    for (int i = 0; i < count; ++i)
        points.push_back(minute(i, open + delta * i, 1000 + 100 * i));
    return points;
}

inline RDOStock day(const std::vector<RDOTimesharingInfo>& points, double previousClose, const QString& code = "600000")
{
    RDOStock s;
    s.code = code;
    s.classId = 1;
    s.precision = 2;
    s.lotSize = 100;
    s.closingPriceOfYesterday = previousClose;
    s.openingPriceOfToday = points.empty() ? previousClose : points.front().recentDealPrice;
    double high = previousClose, low = previousClose;
    for (const auto& p : points) {
        high = std::max(high, p.recentDealPrice);
        low = std::min(low, p.recentDealPrice);
    }
    s.highDealPrice = high;
    s.lowDealPrice = low;
    s.recentDealPrice = points.empty() ? 0 : points.back().recentDealPrice;
    s.lastUpdateDate = QStringLiteral("20261207103500");
    s.timesharingInfoArray = points;
    return s;
}

inline RDOQuotesOf5Level quote(const QString& code = "600000", double close = 10.0)
{
    RDOQuotesOf5Level q;
    q.identifycode = code;
    q.classId = QStringLiteral("1");
    q.precision = 2;
    q.queryCode = code + ".2";
    q.limitUp = close * 1.1;
    q.limitDown = close * 0.9;
    for (int i = 0; i < RDOQuotesOf5Level::kLevels; ++i) {
        q.buyPrices[size_t(i)] = close - 0.01 * (i + 1);
        q.sellPrices[size_t(i)] = close + 0.01 * (i + 1);
        q.buyQuantities[size_t(i)] = 1000 * (i + 1);
        q.sellQuantities[size_t(i)] = 900 * (i + 1);
    }
    q.yesterdayClosingPrice = QString::number(close);
    return q;
}

inline std::shared_ptr<Security> security(const RDOStock& d, const RDOQuotesOf5Level* q = nullptr)
{
    auto s = std::make_shared<Stock>();
    if (q)
        s->setQuotesOf5Level(*q);
    s->setTimesharingInfo(d);
    return s;
}

// A per-user folder of its own (with its settings store), and the
// notification centre and class-wide quote colours back at their start.
class PanelFixture : public logintest::HomeFixture {
protected:
    void SetUp() override
    {
        HomeFixture::SetUp();
        reset();
    }
    void TearDown() override
    {
        reset();
        HomeFixture::TearDown();
    }
    static void reset()
    {
        NotificationCenter::resetForTesting();
        Security::resetClassState();
    }
};

} // namespace paneltest
