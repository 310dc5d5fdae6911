#include "tools/broker-sim/Market.h"

#include "comm/recordset/ServerNumber.h"
#include "platform/ChinaClock.h"

#include <algorithm>

namespace brokersim {

namespace {

struct SecuritySeed {
    const char* code;
    const char* name;
    const char* exchangeId;
    const char* classId;
    qint32 precision;
    qint32 lotSize;
    qint64 closeTicks;
    qint32 layout;
    bool riskWarning;
};

// Every market and class the client tells apart.
constexpr SecuritySeed kSecurities[] = {
    { "600000", "浦江银行", "2", "1", 2, 100, 1000, 0, false }, // Shanghai A
    { "000001", "深南银行", "1", "1", 2, 100, 1250, 0, false }, // Shenzhen A
    { "900901", "沪东B股", "2", "101", 3, 100, 352, 0, false }, // Shanghai B
    { "200002", "深华B", "1", "101", 2, 100, 520, 0, false }, // Shenzhen B
    { "688001", "科创源", "2", "116", 2, 200, 3500, 3, false }, // STAR market
    { "019547", "国债1947", "2", "104", 3, 10, 100120, 0, false }, // bond
    { "113050", "江南转债", "2", "105", 3, 10, 118500, 0, false }, // convertible bond
    { "204001", "GC001", "2", "106", 3, 10, 2150, 2, false }, // reverse repo, Shanghai
    { "131810", "R-001", "1", "1004", 3, 10, 2080, 2, false }, // reverse repo, Shenzhen
    { "580026", "江南CWB1", "2", "5", 3, 100, 1200, 0, false }, // warrant
    { "600087", "ST海运", "2", "1", 2, 100, 256, 0, true }, // risk warning
    { "000594", "*ST国恒", "1", "1", 2, 100, 180, 0, true }, // risk warning
    { "00700", "港华控股", "6", "108", 3, 100, 368400, 1, false }, // Stock Connect
};

// More Hong Kong stocks, walked with a generator of their own so the
// securities above keep their days. Lot sizes differ by stock; closes lie on
// the Hong Kong spread table.
constexpr SecuritySeed kHKSecurities[] = {
    { "00388", "港联交易", "6", "108", 3, 100, 285600, 1, false },
    { "01299", "友邦寿险", "6", "108", 3, 200, 62350, 1, false },
    { "00981", "中芯微电", "6", "108", 3, 500, 8760, 1, false },
};
constexpr quint64 kHKSeedSalt = 0x9e3779b97f4a7c15ull;

// The minutes of a day: start and end (inclusive) of each session, as hhmm.
std::vector<QString> minuteTimes(qint32 layout, bool afterHours)
{
    std::vector<std::pair<int, int>> sessions;
    if (afterHours) {
        sessions = { { 1501, 1530 } };
    } else if (layout == 1) {
        sessions = { { 931, 1200 }, { 1301, 1600 } };
    } else if (layout == 2) {
        sessions = { { 931, 1130 }, { 1301, 1530 } };
    } else {
        sessions = { { 931, 1130 }, { 1301, 1500 } };
    }
    std::vector<QString> times;
    for (auto [from, to] : sessions) {
        for (int t = from; t <= to;) {
            times.push_back(QString::number(t));
            t = t % 100 == 59 ? t + 41 : t + 1;
        }
    }
    return times;
}

qint64 pow10(qint32 n)
{
    qint64 v = 1;
    while (n-- > 0)
        v *= 10;
    return v;
}

// Hong Kong stocks move by the step of the Hong Kong spread table at their
// close (their day stays inside that band); the rest by a thousandth of it.
qint64 stepUnit(const MarketSecurity& s)
{
    if (s.classId == QLatin1String("108") && s.precision == 3) {
        static constexpr std::pair<qint64, qint64> kBands[] = { { 250, 1 }, { 500, 5 }, { 10'000, 10 },
            { 20'000, 20 }, { 100'000, 50 }, { 200'000, 100 }, { 500'000, 200 }, { 1'000'000, 500 },
            { 2'000'000, 1'000 }, { 5'000'000, 2'000 } };
        for (const auto& [upTo, step] : kBands) {
            if (s.closeTicks <= upTo)
                return step;
        }
        return 5'000;
    }
    return std::max<qint64>(1, s.closeTicks / 1000);
}

// A security without a daily price limit: bonds, reverse repos and Hong
// Kong stocks.
bool hasNoLimit(const MarketSecurity& s)
{
    return s.classId == QLatin1String("108") || s.classId == QLatin1String("104") || s.classId == QLatin1String("105")
        || s.classId == QLatin1String("106") || s.classId == QLatin1String("1004");
}

qint64 limitTicks(const MarketSecurity& s, bool up)
{
    const qint64 percent = s.classId == QLatin1String("116") ? 20 : (s.riskWarning ? 5 : 10);
    return up ? s.closeTicks * (100 + percent) / 100 : s.closeTicks * (100 - percent) / 100;
}

// A fixed mix of numbers, for book quantities that must not disturb the walk.
quint64 mix(quint64 a, quint64 b)
{
    quint64 x = a * 0x9E3779B97F4A7C15ull ^ (b + 0x632BE59BD9B4E019ull);
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ull;
    return x ^ (x >> 29);
}

quint64 codeHash(const QString& code)
{
    quint64 h = 1469598103934665603ull;
    for (QChar c : code)
        h = (h ^ c.unicode()) * 1099511628211ull;
    return h;
}

QString hhmmss(const QString& minute)
{
    return minute.rightJustified(4, QLatin1Char('0')) + QStringLiteral("00");
}

} // namespace

Market::Market(quint64 seed, QObject* parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("brokersim-market"));
    reset(seed);
}

quint64 Market::next()
{
    // xorshift64*: small, and the same on every platform.
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 2685821657736338717ull;
}

void Market::reset(quint64 seed)
{
    state_ = seed ? seed : kDefaultSeed;
    securities_.clear();
    auto walk = [this](MarketSecurity& s, const std::vector<QString>& times, qint64 start, qint64& quantity,
                    qint64& amountTicks) {
        std::vector<MarketMinute> minutes;
        qint64 price = start;
        for (const QString& time : times) {
            price += (qint64(next() % 7) - 3) * stepUnit(s);
            if (!hasNoLimit(s))
                price = std::clamp(price, limitTicks(s, false), limitTicks(s, true));
            price = std::max<qint64>(price, 1);
            MarketMinute m;
            m.time = time;
            m.priceTicks = price;
            m.quantity = qint64(next() % 500 + 1) * s.lotSize;
            m.amount = m.quantity * price / pow10(s.precision);
            quantity += m.quantity;
            amountTicks += m.quantity * price;
            m.averageTicks = amountTicks / quantity;
            minutes.push_back(m);
        }
        return minutes;
    };
    auto make = [&](const SecuritySeed& seedRow) {
        MarketSecurity s;
        s.code = QString::fromUtf8(seedRow.code);
        s.name = QString::fromUtf8(seedRow.name);
        s.exchangeId = QString::fromLatin1(seedRow.exchangeId);
        s.classId = QString::fromLatin1(seedRow.classId);
        s.precision = seedRow.precision;
        s.lotSize = seedRow.lotSize;
        s.closeTicks = seedRow.closeTicks;
        s.layout = seedRow.layout;
        s.riskWarning = seedRow.riskWarning;
        qint64 quantity = 0;
        qint64 amountTicks = 0;
        s.minutes = walk(s, minuteTimes(s.layout, false), s.closeTicks, quantity, amountTicks);
        if (s.layout == 3)
            s.afterMinutes = walk(s, minuteTimes(s.layout, true), s.minutes.back().priceTicks, quantity, amountTicks);
        s.cursor = qsizetype(s.minutes.size() / 2);
        securities_.push_back(std::move(s));
    };
    for (const SecuritySeed& seedRow : kSecurities)
        make(seedRow);
    const quint64 kept = state_;
    state_ = (seed ? seed : kDefaultSeed) ^ kHKSeedSalt;
    for (const SecuritySeed& seedRow : kHKSecurities)
        make(seedRow);
    state_ = kept;

    indexes_ = {
        { QStringLiteral("000001"), QStringLiteral("上证指数"), 2, 324500, 324567, 312'345'678'901 },
        { QStringLiteral("399001"), QStringLiteral("深证成指"), 2, 1056712, 1055890, 401'234'567'890 },
        { QStringLiteral("399006"), QStringLiteral("创业板指"), 2, 214533, 214801, 152'345'678'901 },
    };
    newIssues_ = {
        { QStringLiteral("732001"), QStringLiteral("浦江新材"), QStringLiteral("12.34"), QStringLiteral("1"),
            QStringLiteral("15000"), QStringLiteral("1000"), QStringLiteral("60000000") },
        { QStringLiteral("787001"), QStringLiteral("科创新芯"), QStringLiteral("45.60"), QStringLiteral("1"),
            QStringLiteral("5500"), QStringLiteral("500"), QStringLiteral("25000000") },
        { QStringLiteral("301001"), QStringLiteral("深南智造"), QStringLiteral("23.10"), QStringLiteral("0"),
            QStringLiteral("12000"), QStringLiteral("500"), QStringLiteral("40000000") },
    };
    warrants_ = {
        { QStringLiteral("580026"), QStringLiteral("600000"), QStringLiteral("9.500"), QStringLiteral("1") },
    };
}

const MarketSecurity* Market::security(const QString& code) const
{
    const auto found = std::ranges::find(securities_, code, &MarketSecurity::code);
    return found == securities_.end() ? nullptr : &*found;
}

MarketSecurity* Market::security(const QString& code)
{
    const auto found = std::ranges::find(securities_, code, &MarketSecurity::code);
    return found == securities_.end() ? nullptr : &*found;
}

const MarketNewIssue* Market::newIssue(const QString& code) const
{
    const auto found = std::ranges::find(newIssues_, code, &MarketNewIssue::code);
    return found == newIssues_.end() ? nullptr : &*found;
}

const MarketWarrant* Market::warrant(const QString& code) const
{
    const auto found = std::ranges::find(warrants_, code, &MarketWarrant::code);
    return found == warrants_.end() ? nullptr : &*found;
}

void Market::step(MarketSecurity& s)
{
    if (s.cursor + 1 < qsizetype(s.minutes.size()))
        ++s.cursor;
}

void Market::stepIndexes()
{
    for (MarketIndex& index : indexes_) {
        index.valueTicks = std::max<qint64>(1, index.valueTicks + qint64(next() % 201) - 100);
        index.amount += qint64(next() % 1'000'000'000);
    }
}

QString Market::ticksText(qint64 ticks, qint32 precision)
{
    const qint64 unit = pow10(precision);
    const QString sign = ticks < 0 ? QStringLiteral("-") : QString();
    const qint64 a = ticks < 0 ? -ticks : ticks;
    if (precision == 0)
        return sign + QString::number(a);
    return sign + QString::number(a / unit) + QLatin1Char('.')
        + QString::number(a % unit).rightJustified(precision, QLatin1Char('0'));
}

Table Market::quote5Level(const MarketSecurity& s) const
{
    const qsizetype now = s.cursor;
    const qint64 price = s.minutes[now].priceTicks;
    qint64 quantity = 0;
    qint64 amount = 0;
    qint64 high = price;
    qint64 low = price;
    for (qsizetype i = 0; i <= now; ++i) {
        quantity += s.minutes[i].quantity;
        amount += s.minutes[i].amount;
        high = std::max(high, s.minutes[i].priceTicks);
        low = std::min(low, s.minutes[i].priceTicks);
    }
    const auto text = [&](qint64 ticks) { return ticksText(ticks, s.precision); };
    const qint64 change = price - s.closeTicks;
    // Change in percent with two decimals, in hundredths of a percent.
    const qint64 rate = s.closeTicks ? change * 10000 / s.closeTicks : 0;

    Table t;
    QVariantList row;
    auto add = [&](const char* name, const QString& value) {
        t.column(QString::fromLatin1(name));
        row << value;
    };
    add("code", s.code);
    add("name", s.name);
    add("exchid", s.exchangeId);
    add("classid", s.classId);
    add("precision", QString::number(s.precision));
    add("zjcj", text(price));
    add("zrsp", text(s.closeTicks));
    add("jrkp", text(s.minutes.front().priceTicks));
    add("zgcj", text(high));
    add("zdcj", text(low));
    add("zhd", text(change));
    add("zdf", ticksText(rate, 2));
    add("cjjj", text(s.minutes[now].averageTicks));
    add("cjsl", QString::number(quantity));
    add("cjje", QString::number(amount));
    const quint64 salt = codeHash(s.code) ^ quint64(now);
    for (int level = 1; level <= 5; ++level)
        add(qPrintable(QStringLiteral("bj%1").arg(level)), text(price - (level - 1) * stepUnit(s)));
    for (int level = 1; level <= 5; ++level)
        add(qPrintable(QStringLiteral("bl%1").arg(level)), QString::number(qint64(mix(salt, level) % 300 + 1) * s.lotSize));
    for (int level = 1; level <= 5; ++level)
        add(qPrintable(QStringLiteral("sj%1").arg(level)), text(price + level * stepUnit(s)));
    for (int level = 1; level <= 5; ++level)
        add(qPrintable(QStringLiteral("sl%1").arg(level)), QString::number(qint64(mix(salt, 10 + level) % 300 + 1) * s.lotSize));
    const bool noLimit = hasNoLimit(s);
    add("zt", noLimit ? QString() : text(limitTicks(s, true)));
    add("dt", noLimit ? QString() : text(limitTicks(s, false)));
    add("limflag", noLimit ? QStringLiteral("1") : QStringLiteral("0"));
    // Reverse repos carry no price step: the client steps by its precision.
    const bool repo = s.classId == QLatin1String("106") || s.classId == QLatin1String("1004");
    add("plvl", repo ? QString() : ticksText(stepUnit(s), s.precision));
    add("hsl", QStringLiteral("0.85"));
    add("syl", s.classId == QLatin1String("104") ? QStringLiteral("1.234") : QStringLiteral("12.50"));
    for (const char* carried : { "wb", "lb", "zhf", "ccl", "np", "wp", "ze", "zc" })
        add(carried, QStringLiteral("0"));
    t.row(row);
    return t;
}

QList<Table> Market::timesharing(const MarketSecurity& s) const
{
    const QString day = platform::ChinaClock::now().date().toString(QStringLiteral("yyyyMMdd"));
    const auto text = [&](qint64 ticks) { return ticksText(ticks, s.precision); };
    const bool afterHoursOpen = s.layout == 3 && s.cursor + 1 == qsizetype(s.minutes.size());
    const MarketMinute& last = afterHoursOpen ? s.afterMinutes.back() : s.minutes[s.cursor];

    qint64 quantity = 0;
    qint64 amount = 0;
    qint64 high = s.minutes.front().priceTicks;
    qint64 low = high;
    auto minutesTable = [&](const std::vector<MarketMinute>& minutes, qsizetype count) {
        Table t;
        t.column(QStringLiteral("zjcj"))
            .column(QStringLiteral("cjsl"))
            .column(QStringLiteral("cjje"))
            .column(QStringLiteral("cjjj"))
            .column(QStringLiteral("hqtm"));
        for (qsizetype i = 0; i < count; ++i) {
            const MarketMinute& m = minutes[i];
            quantity += m.quantity;
            amount += m.amount;
            high = std::max(high, m.priceTicks);
            low = std::min(low, m.priceTicks);
            t.row({ text(m.priceTicks), QString::number(m.quantity), QString::number(m.amount),
                text(m.averageTicks), m.time });
        }
        return t;
    };
    const Table normal = minutesTable(s.minutes, s.cursor + 1);
    std::optional<Table> after;
    if (s.layout == 3)
        after = minutesTable(s.afterMinutes, afterHoursOpen ? qsizetype(s.afterMinutes.size()) : 0);

    Table header;
    header.column(QStringLiteral("exchid"))
        .column(QStringLiteral("precision"))
        .column(QStringLiteral("zrsp"))
        .column(QStringLiteral("jrkp"))
        .column(QStringLiteral("zgcj"))
        .column(QStringLiteral("zdcj"))
        .column(QStringLiteral("zjcj"))
        .column(QStringLiteral("classid"))
        .column(QStringLiteral("cjsl"))
        .column(QStringLiteral("cjje"))
        .column(QStringLiteral("lotsize"))
        .column(QStringLiteral("hqda"))
        .column(QStringLiteral("code"))
        .column(QStringLiteral("name"))
        .column(QStringLiteral("lastupd"))
        .row({ s.exchangeId, QString::number(s.precision), text(s.closeTicks), text(s.minutes.front().priceTicks),
            text(high), text(low), text(last.priceTicks), s.classId, QString::number(quantity),
            QString::number(amount), QString::number(s.lotSize), day, s.code, s.name, day + hhmmss(last.time) });

    QList<Table> tables { Table::infoOnly(QStringLiteral("ok")), header, normal };
    if (after)
        tables << *after;
    return tables;
}

Table Market::indexTable() const
{
    Table t;
    t.column(QStringLiteral("code"))
        .column(QStringLiteral("name"))
        .column(QStringLiteral("zjcj"))
        .column(QStringLiteral("zhd"))
        .column(QStringLiteral("zdf"))
        .column(QStringLiteral("cjje"))
        .column(QStringLiteral("precision"), kInt32);
    for (const MarketIndex& index : indexes_) {
        const qint64 change = index.valueTicks - index.closeTicks;
        t.row({ index.code, index.name, ticksText(index.valueTicks, index.precision),
            ticksText(change, index.precision), ticksText(change * 10000 / index.closeTicks, 2),
            QString::number(index.amount), index.precision });
    }
    return t;
}

bool Market::noPriceLimit(const MarketSecurity& s)
{
    return brokersim::hasNoLimit(s);
}

qint64 Market::priceLimitTicks(const MarketSecurity& s, bool up)
{
    return brokersim::limitTicks(s, up);
}

qint64 Market::priceStepTicks(const MarketSecurity& s)
{
    return brokersim::stepUnit(s);
}

qint64 Market::lastTicks(const MarketSecurity& s)
{
    if (s.minutes.empty())
        return s.closeTicks;
    return s.minutes[size_t(std::clamp<qsizetype>(s.cursor, 0, qsizetype(s.minutes.size()) - 1))].priceTicks;
}

QString Market::tradeMarket(const MarketSecurity& s)
{
    // By their values, as the codes are numbers.
    const bool bShare = servernumber::wholeValueOf(s.classId) == 101;
    const std::optional<qint64> exchange = servernumber::wholeValueOf(s.exchangeId);
    if (exchange == 2)
        return bShare ? QStringLiteral("3") : QStringLiteral("1");
    if (exchange == 1)
        return bShare ? QStringLiteral("2") : QStringLiteral("0");
    return QStringLiteral("5");
}

} // namespace brokersim
