#include "trading/DMOrderType.h"

#include "comm/recordset/ServerNumber.h"

#include <algorithm>
#include <array>

namespace {

// A market or class code by its value ("1.000" is 1); a text without one
// reads as 0, as a missing integer does.
qint64 numberOf(const QString& text)
{
    return servernumber::wholeValueOf(text).value_or(0);
}

const QStringList& market0Titles()
{
    static const QStringList titles { QStringLiteral("限价委托"), QStringLiteral("对方最优价格委托"),
        QStringLiteral("本方最优价格委托"), QStringLiteral("即时成交剩余撤销委托"),
        QStringLiteral("五档即时成交剩余撤销"), QStringLiteral("全额成交或撤销委托") };
    return titles;
}

const QStringList& market1Titles()
{
    static const QStringList titles { QStringLiteral("限价委托"), QStringLiteral("五档即时成交剩余撤销"),
        QStringLiteral("五档即时成交剩余转限") };
    return titles;
}

const QStringList& market1KCStockTitles()
{
    static const QStringList titles { QStringLiteral("限价委托"), QStringLiteral("对方最优价格委托"),
        QStringLiteral("本方最优价格委托"), QStringLiteral("五档即时成交剩余撤销"),
        QStringLiteral("五档即时成交剩余转限") };
    return titles;
}

const QStringList& hgtBuyTitles()
{
    static const QStringList titles { QStringLiteral("增强限价买入"), QStringLiteral("竞价限价买入") };
    return titles;
}

const QStringList& hgtSellTitles()
{
    static const QStringList titles { QStringLiteral("增强限价卖出"), QStringLiteral("竞价限价卖出") };
    return titles;
}

const QString& afterHoursBuyTitle()
{
    static const QString title = QStringLiteral("盘后定价买入");
    return title;
}

const QString& afterHoursSellTitle()
{
    static const QString title = QStringLiteral("盘后定价卖出");
    return title;
}

// The number at a title's position in a list; `fallback` for a title that
// is not there or a position without a number of its own.
qint32 byPosition(const QStringList& list, const QString& title, std::initializer_list<qint32> numbers, qint32 fallback)
{
    const qsizetype at = list.indexOf(title);
    if (at < 0 || at >= qsizetype(numbers.size()))
        return fallback;
    const qint32 number = *(numbers.begin() + at);
    return number < 0 ? fallback : number;
}

// The shared lookup of buy (base 0) and sell (base 100): both sides use the
// same positions, the sell numbers being the buy numbers plus 100.
qint32 lookup(const QString& marketCode, const QString& classId, const QString& title, bool buy)
{
    const qint32 base = buy ? 0 : 100;
    const QString& afterHours = buy ? afterHoursBuyTitle() : afterHoursSellTitle();
    switch (numberOf(marketCode)) {
    case 0:
        if (title == afterHours)
            return base + 9;
        return base + byPosition(market0Titles(), title, { 0, 1, 2, 3, 4, 5 }, 0);
    case 1:
        if (title == afterHours)
            return base + 9;
        if (DMOrderType::isKCStock(classId))
            return base + byPosition(market1KCStockTitles(), title, { 0, 8, 7, 4, 6 }, 0);
        return base + byPosition(market1Titles(), title, { 0, 4, 6 }, 0);
    case 5:
        if (buy)
            return byPosition(hgtBuyTitles(), title, { 300, 301 }, 0);
        if (title == DMOrderType::oddLotSellTitle())
            return 304;
        return byPosition(hgtSellTitles(), title, { 302, 303 }, 100);
    default:
        return base;
    }
}

} // namespace

bool DMOrderType::isKCBoard(const QString& classId)
{
    static constexpr std::array<qint64, 7> ids { 116, 210, 1010, 110, 211, 1012, 1013 };
    return std::ranges::find(ids, numberOf(classId)) != ids.end();
}

bool DMOrderType::isKCStock(const QString& classId)
{
    const qint64 id = numberOf(classId);
    return id == 116 || id == 210;
}

bool DMOrderType::supportPriceLimit(const QString& classId)
{
    return isKCStock(classId);
}

bool DMOrderType::isPricedType(qint32 orderType)
{
    return orderType == kLimitBuy || orderType == kAfterHoursBuy || orderType == kLimitSell
        || orderType == kAfterHoursSell || orderType == kWarrantExercise;
}

QStringList DMOrderType::getTitlesForReverseRepo()
{
    return { QStringLiteral("限价委托") };
}

QStringList DMOrderType::getTitlesForHGTBuy()
{
    return hgtBuyTitles();
}

QStringList DMOrderType::getTitlesForHGTSell()
{
    return hgtSellTitles();
}

QStringList DMOrderType::getTitlesForKCAfBuy()
{
    return { afterHoursBuyTitle() };
}

QStringList DMOrderType::getTitlesForKCAfSell()
{
    return { afterHoursSellTitle() };
}

QStringList DMOrderType::getTitles(const QString& marketCode, const QString& classId)
{
    switch (numberOf(marketCode)) {
    case 0:
        return market0Titles();
    case 1:
        return isKCStock(classId) ? market1KCStockTitles() : market1Titles();
    default:
        return getTitlesForReverseRepo();
    }
}

QStringList DMOrderType::getTitles(const QString& marketCode, const QString& classId, bool isBuy)
{
    QStringList titles = getTitles(marketCode, classId);
    if (isKCBoard(classId))
        titles << (isBuy ? afterHoursBuyTitle() : afterHoursSellTitle());
    return titles;
}

qint32 DMOrderType::getOderTypeFlagOfBuy(const QString& marketCode, const QString& classId, const QString& title)
{
    return lookup(marketCode, classId, title, true);
}

qint32 DMOrderType::getOderTypeFlagOfSale(const QString& marketCode, const QString& classId, const QString& title)
{
    return lookup(marketCode, classId, title, false);
}

QString DMOrderType::oddLotSellTitle()
{
    return QStringLiteral("零股卖出");
}
