#include "tools/broker-sim/BackOffice.h"

#include "platform/ChinaClock.h"
#include "tools/broker-sim/Broker.h"
#include "tools/broker-sim/BrokerSimulator.h"
#include "tools/broker-sim/BrokerState.h"
#include "tools/broker-sim/Market.h"

#include <QRegularExpression>

namespace brokersim {

namespace {

constexpr qint64 kMaxQuantity = 100'000'000;
constexpr Milli kRepoFace = 100'000; // a repo unit lends 100 yuan

Reply refuse(qint32 code, const QString& message)
{
    return Reply::error(code, message);
}

QString today()
{
    return platform::ChinaClock::now().date().toString(QStringLiteral("yyyyMMdd"));
}

QString nowTime()
{
    return platform::ChinaClock::now().time().toString(QStringLiteral("hhmmss"));
}

// Strict decimal text (client input) to units of 10^-places; nullopt when it
// is not a plain decimal or has more places. `extra` tells a number with
// more places apart from one that is no number at all.
std::optional<qint64> toUnits(const QString& text, qint32 places, bool* extra = nullptr)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,12})(?:\\.([0-9]{1,8}))?$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    QString fraction = m.captured(2);
    while (fraction.size() > places && fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    if (fraction.size() > places) {
        if (extra)
            *extra = true;
        return std::nullopt;
    }
    qint64 value = m.captured(1).toLongLong();
    for (qint32 i = 0; i < places; ++i)
        value = value * 10 + (i < fraction.size() ? fraction[i].digitValue() : 0);
    return value;
}

QString moneyText(Milli value)
{
    // Two places, rounded half away from zero.
    const bool negative = value < 0;
    const qint64 cents = ((negative ? -value : value) + 5) / 10;
    return (negative && cents ? QStringLiteral("-") : QString()) + Market::ticksText(cents, 2);
}

bool isBond(const MarketSecurity& s)
{
    return s.classId == QLatin1String("104") || s.classId == QLatin1String("105");
}

bool isRepo(const MarketSecurity& s)
{
    return s.classId == QLatin1String("106") || s.classId == QLatin1String("1004");
}

// What `quantity` at `ticks` comes to; nullopt past 64 bits.
std::optional<Milli> amountOf(const MarketSecurity& s, qint64 ticks, qint64 quantity)
{
    Milli amount = 0;
    if (isRepo(s))
        return __builtin_mul_overflow(quantity, kRepoFace, &amount) ? std::nullopt : std::optional(amount);
    qint64 scale = 1;
    for (qint32 p = s.precision; p < 3; ++p)
        scale *= 10;
    if (__builtin_mul_overflow(ticks, quantity, &amount) || __builtin_mul_overflow(amount, scale, &amount))
        return std::nullopt;
    return amount;
}

QString moneyTypeOfMarket(const QString& market)
{
    if (market == QLatin1String("2"))
        return QStringLiteral("港币");
    if (market == QLatin1String("3") || market == QLatin1String("7"))
        return QStringLiteral("美元");
    return QStringLiteral("人民币");
}

QString moneyTypeName(const QString& code)
{
    return code == QLatin1String("1") ? QStringLiteral("港币")
        : code == QLatin1String("2")  ? QStringLiteral("美元")
                                      : QStringLiteral("人民币");
}

bool tradingHours()
{
    const QDateTime now = platform::ChinaClock::now();
    if (now.date().dayOfWeek() > 5)
        return false;
    const int minute = now.time().hour() * 60 + now.time().minute();
    return (minute >= 9 * 60 + 15 && minute < 11 * 60 + 30) || (minute >= 13 * 60 && minute < 15 * 60);
}

const QStringList kBuyFlags { "B", "a", "b", "c", "d", "e", "q", "3m" };
const QStringList kSellFlags { "S", "f", "g", "h", "i", "j", "r", "3n" };
const QStringList kPricedFlags { "B", "S", "3m", "3n" };

QString statusText(const QString& status)
{
    if (status == QLatin1String("6"))
        return QStringLiteral("已撤");
    if (status == QLatin1String("8"))
        return QStringLiteral("已成");
    return QStringLiteral("已报");
}

QString positionKey(const QString& market, const QString& code)
{
    return market + QLatin1Char('|') + code;
}

bool inRange(const QString& date, const Request& r)
{
    const QString begin = r.valueOr(QStringLiteral("strdate"));
    const QString end = r.valueOr(QStringLiteral("enddate"));
    return (begin.isEmpty() || date >= begin) && (end.isEmpty() || date <= end);
}

Table ordersTable()
{
    return describedTable({ { "poststr", "定位串" }, { "orderdate", "委托日期" }, { "opertime", "委托时间" },
        { "ordersno", "委托编号" }, { "secuid", "股东代码" }, { "fundid", "资金账户" }, { "market", "市场" },
        { "~market", "交易市场" }, { "stkcode", "证券代码" }, { "stkname", "证券名称" },
        { "bsflag", "买卖标志" }, { "~bsflag", "买卖方向" }, { "orderprice", "委托价格" },
        { "orderqty", "委托数量" }, { "matchqty", "成交数量" }, { "cancelqty", "撤单数量" },
        { "orderstatus", "状态代码" }, { "~orderstatus", "委托状态" }, { "cancelflag", "撤单标志" },
        { "matchamt", "成交金额" } });
}

QVariantList orderRow(const BackOffice::Order& o)
{
    return { o.number, o.date, o.time, o.number, o.secuid, o.fundId, o.market,
        Broker::marketName(o.market.toInt()), o.code, o.name, o.bsflag,
        o.buy ? QStringLiteral("买入") : QStringLiteral("卖出"),
        o.marketPrice ? QString() : Market::ticksText(o.priceTicks, o.precision), QString::number(o.quantity),
        QString::number(o.matched), QString::number(o.cancelled), o.status, statusText(o.status),
        o.status == QLatin1String("6") ? QStringLiteral("1") : QStringLiteral("0"),
        moneyText(o.matchAmount) };
}

Table fillsTable()
{
    return describedTable({ { "poststr", "定位串" }, { "bizdate", "成交日期" }, { "matchtime", "成交时间" },
        { "ordersno", "委托编号" }, { "secuid", "股东代码" }, { "market", "市场" }, { "~market", "交易市场" },
        { "stkcode", "证券代码" }, { "stkname", "证券名称" }, { "~bsflag", "买卖方向" },
        { "matchprice", "成交价格" }, { "matchqty", "成交数量" }, { "matchamt", "成交金额" } });
}

QVariantList fillRow(const BackOffice::Order& o)
{
    return { o.number, o.date, o.time, o.number, o.secuid, o.market, Broker::marketName(o.market.toInt()),
        o.code, o.name, o.buy ? QStringLiteral("买入") : QStringLiteral("卖出"),
        Market::ticksText(o.matchTicks, o.precision), QString::number(o.matched), moneyText(o.matchAmount) };
}

} // namespace

BackOffice::BackOffice(Market* market, QObject* parent)
    : QObject(parent)
    , market_(market)
{
    setObjectName(QStringLiteral("brokersim-backoffice"));
}

BackOffice::Account& BackOffice::account(const Customer& customer)
{
    auto it = accounts_.find(customer.custid);
    if (it != accounts_.end())
        return *it;
    Account a;
    for (const FundAccount& f : customer.funds) {
        const Milli balance = toUnits(f.balance, 3).value_or(0);
        a.money[f.fundId] = { balance, toUnits(f.available, 3).value_or(balance) };
    }
    // Every customer starts with a few holdings in the markets he has an
    // account of, bought before today.
    const struct {
        const char* market;
        const char* code;
        qint64 quantity;
        qint64 costTicks;
    } seed[] = { { "1", "600000", 2000, 950 }, { "1", "019547", 100, 100000 }, { "0", "000001", 1000, 1200 },
        { "3", "900901", 1000, 350 } };
    for (const auto& s : seed) {
        const MarketSecurity* sec = market_->security(QString::fromLatin1(s.code));
        QString secuid;
        for (const ShareholderAccount& h : customer.shareholders) {
            if (QString::number(h.market) == QLatin1String(s.market))
                secuid = h.secuid;
        }
        if (!sec || secuid.isEmpty())
            continue;
        Position p { secuid, QString::fromLatin1(s.market), sec->code, sec->name, s.quantity, s.quantity, 0,
            0, amountOf(*sec, s.costTicks, s.quantity).value_or(0) };
        a.positions[positionKey(p.market, p.code)] = p;
    }
    return *accounts_.insert(customer.custid, std::move(a));
}

const Customer* BackOffice::authenticate(const Request& request, BrokerState& state, Reply* refusal)
{
    // The capital-account list blanks the prefix's account: that is no
    // claim to another customer's account.
    TCHttpForm::Pairs body = request.body;
    body.removeIf(
        [](const auto& pair) { return pair.first == QLatin1String("fundid") && pair.second.isEmpty(); });
    BrokerError error;
    const Customer* c = state.broker().authenticate(body, &error);
    if (!c)
        *refusal = Reply::error(error.code, error.message);
    else
        match(account(*c));
    return c;
}

QString BackOffice::fundOfType(const Customer& c, const QString& moneyType)
{
    for (const FundAccount& f : c.funds) {
        if (f.moneyType == moneyType && f.fundSeq == QLatin1String("0"))
            return f.fundId;
    }
    for (const FundAccount& f : c.funds) {
        if (f.moneyType == moneyType)
            return f.fundId;
    }
    return QString();
}

QString BackOffice::fundOfMarket(const Customer& c, const QString& market) const
{
    return fundOfType(c, moneyTypeOfMarket(market));
}

void BackOffice::match(Account& a)
{
    if (a.open == 0)
        return;
    auto done = [](const Order& o) { return o.status != QLatin1String("2") || o.subscription; };
    while (a.firstOpen < a.orders.size() && done(a.orders[a.firstOpen]))
        ++a.firstOpen;
    for (qsizetype i = a.firstOpen; i < a.orders.size(); ++i) {
        Order& o = a.orders[i];
        if (done(o))
            continue;
        const MarketSecurity* s = market_->security(o.code);
        if (!s)
            continue;
        const qint64 last = Market::lastTicks(*s);
        if (o.marketPrice || (o.buy ? o.priceTicks >= last : o.priceTicks <= last))
            fill(a, o, last);
    }
}

void BackOffice::fill(Account& a, Order& o, qint64 ticks)
{
    const MarketSecurity* s = market_->security(o.code);
    const Milli amount = amountOf(*s, ticks, o.quantity).value_or(o.frozen);
    const bool repo = isRepo(*s);
    // A repo "sell" lends money: it pays like a buy.
    const bool pays = o.buy != repo;
    Money& m = a.money[o.fundId];
    Position& p = a.positions[positionKey(o.market, o.code)];
    if (p.code.isEmpty())
        p = { o.secuid, o.market, o.code, o.name };
    const bool sameDay = isBond(*s) || repo;
    if (pays) {
        m.balance -= amount;
        m.available += o.frozen - amount;
    } else {
        m.balance += amount;
        m.available += amount;
    }
    // Buys, and repo loans, add to the position; the rest was held back from
    // it when the order came.
    if (pays) {
        p.quantity += o.quantity;
        p.bought += o.quantity;
        p.cost += amount;
        if (sameDay)
            p.available += o.quantity;
    } else {
        p.cost = p.quantity > 0 ? Milli(__int128(p.cost) * (p.quantity - o.quantity) / p.quantity) : 0;
        p.quantity -= o.quantity;
        p.sold += o.quantity;
    }
    --a.open;
    o.matched = o.quantity;
    o.matchTicks = ticks;
    o.matchAmount = amount;
    o.status = QStringLiteral("8");
    book(a, o.fundId, o.buy ? QStringLiteral("证券买入") : QStringLiteral("证券卖出"),
        pays ? -amount : amount, o.number);
}

void BackOffice::book(
    Account& a, const QString& fundId, const QString& what, Milli amount, const QString& reference)
{
    a.flows.append({ today(), nowTime(), fundId, what, amount, a.money[fundId].balance, reference });
}

void BackOffice::moveMoney(
    Account& a, const QString& fundId, const QString& what, Milli amount, const QString& reference)
{
    Money& m = a.money[fundId];
    m.balance += amount;
    m.available += amount;
    book(a, fundId, what, amount, reference);
}

Reply BackOffice::order(const Request& r, const Customer& customer, Account& a)
{
    const Customer* c = &customer;
    using namespace orderErrors;
    const QString code = r.valueOr(QStringLiteral("stkcode"));
    const QString marketCode = r.valueOr(QStringLiteral("market"));
    const QString secuid = r.valueOr(QStringLiteral("secuid"));
    const QString flag = r.valueOr(QStringLiteral("bsflag"));
    const bool buy = kBuyFlags.contains(flag);
    if (flag == QLatin1String("7"))
        return refuse(kBadOrder, QStringLiteral("非行权期，不能行权"));
    if (!buy && !kSellFlags.contains(flag))
        return refuse(kBadOrder, QStringLiteral("买卖类别错误"));
    bool own = false;
    for (const ShareholderAccount& h : c->shareholders)
        own = own || (h.secuid == secuid && QString::number(h.market) == marketCode);
    if (!own)
        return refuse(kWrongAccount, QStringLiteral("股东账户与交易市场不符"));

    const std::optional<qint64> quantity = toUnits(r.valueOr(QStringLiteral("qty")), 0);
    if (!quantity || *quantity <= 0 || *quantity > kMaxQuantity)
        return refuse(kBadOrder, QStringLiteral("委托数量错误"));

    Order o;
    o.number = QString::number(nextOrder_);
    o.date = today();
    o.time = nowTime();
    o.secuid = secuid;
    o.market = marketCode;
    o.code = code;
    o.bsflag = flag;
    o.buy = buy;
    o.quantity = *quantity;
    o.fundId = fundOfMarket(*c, marketCode);

    // A new issue: the subscription waits for the draw; nothing is paid now.
    for (const MarketNewIssue& issue : market_->newIssues()) {
        if (issue.code != code)
            continue;
        if (issue.market != marketCode)
            return refuse(kWrongAccount, QStringLiteral("股东账户与交易市场不符"));
        if (hoursEnforced_ && !tradingHours())
            return refuse(kMarketClosed, QStringLiteral("非交易时间，不能委托"));
        const qint64 unit = marketCode == QLatin1String("1") ? 1000 : 500;
        if (!buy || *quantity % unit != 0 || *quantity > toUnits(issue.upperLimit, 0).value_or(0))
            return refuse(kNotWholeLot, QStringLiteral("申购数量必须是%1的整数倍且不超过申购上限").arg(unit));
        o.name = issue.name;
        o.subscription = true;
        o.priceTicks = toUnits(issue.price, 2).value_or(0);
        ++nextOrder_;
        a.orders.append(o);
        book(a, o.fundId, QStringLiteral("新股配号"), 0, o.number);
        return Reply::withTable(Table().column(QStringLiteral("ordersno")).row({ o.number }));
    }

    MarketSecurity* s = market_->security(code);
    if (!s)
        return refuse(2001, QStringLiteral("证券代码不存在"));
    if (Market::tradeMarket(*s) != marketCode)
        return refuse(kWrongAccount, QStringLiteral("股东账户与交易市场不符"));
    if (hoursEnforced_ && !tradingHours())
        return refuse(kMarketClosed, QStringLiteral("非交易时间，不能委托"));
    o.name = s->name;
    o.precision = s->precision;

    const QString priceText = r.valueOr(QStringLiteral("price"));
    o.marketPrice = !kPricedFlags.contains(flag);
    if (o.marketPrice) {
        o.priceTicks
            = Market::noPriceLimit(*s) ? Market::lastTicks(*s) * 11 / 10 : Market::priceLimitTicks(*s, buy);
    } else {
        bool extra = false;
        const std::optional<qint64> ticks = toUnits(priceText, s->precision, &extra);
        // Prices lie on the grid the quotes are drawn on: the close plus
        // whole price steps.
        if (extra || (ticks && (*ticks - s->closeTicks) % Market::priceStepTicks(*s) != 0))
            return refuse(kOffTick, QStringLiteral("委托价格不是最小价格变动单位的整数倍"));
        if (!ticks || *ticks <= 0 || *ticks > kMaxQuantity)
            return refuse(kBadOrder, QStringLiteral("委托价格错误"));
        if (!Market::noPriceLimit(*s)
            && (*ticks > Market::priceLimitTicks(*s, true) || *ticks < Market::priceLimitTicks(*s, false)))
            return refuse(kOutsideLimits, QStringLiteral("委托价格超出涨跌停价格范围"));
        o.priceTicks = *ticks;
    }

    const bool repo = isRepo(*s);
    const bool pays = buy != repo;
    Position* held = nullptr;
    if (auto it = a.positions.find(positionKey(marketCode, code)); it != a.positions.end())
        held = &it->second;
    const qint64 availableShares = held ? held->available : 0;
    // Whole lots; a sale may also clear an odd remainder.
    if (*quantity % s->lotSize != 0 && (pays || *quantity != availableShares))
        return refuse(kNotWholeLot, QStringLiteral("委托数量必须是%1的整数倍").arg(s->lotSize));
    if (pays) {
        const std::optional<Milli> amount = amountOf(*s, o.priceTicks, *quantity);
        Money& m = a.money[o.fundId];
        if (o.fundId.isEmpty() || !amount || *amount > m.available)
            return refuse(kNoMoney, QStringLiteral("可用资金不足"));
        o.frozen = *amount;
        m.available -= *amount;
    } else {
        if (*quantity > availableShares)
            return refuse(
                kNoShares, repo ? QStringLiteral("可用回购数量不足") : QStringLiteral("可用股份不足"));
        held->available -= *quantity;
    }
    ++nextOrder_;
    a.orders.append(o);
    ++a.open;
    match(a);
    return Reply::withTable(Table().column(QStringLiteral("ordersno")).row({ o.number }));
}

Reply BackOffice::cancel(const Request& r, const Customer&, Account& a)
{
    // The cancel's own "fundid" follows the prefix's.
    QString fundId;
    int seen = 0;
    for (const auto& [key, value] : r.body) {
        if (key == QLatin1String("fundid") && ++seen == 2)
            fundId = value;
    }
    const QString number = r.valueOr(QStringLiteral("ordersno"));
    for (Order& o : a.orders) {
        if (o.number != number || (!fundId.isEmpty() && o.fundId != fundId))
            continue;
        if (o.status == QLatin1String("8"))
            return refuse(orderErrors::kCannotCancel, QStringLiteral("该委托已成交，不能撤单"));
        if (o.status == QLatin1String("6"))
            return refuse(orderErrors::kCannotCancel, QStringLiteral("该委托已撤单，不能重复撤单"));
        o.status = QStringLiteral("6");
        o.cancelled = o.quantity - o.matched;
        if (!o.subscription)
            --a.open;
        if (o.frozen > 0)
            a.money[o.fundId].available += o.frozen;
        else if (auto it = a.positions.find(positionKey(o.market, o.code));
                 !o.subscription && it != a.positions.end())
            it->second.available += o.cancelled;
        return Reply::withTable(
            Table().column(QStringLiteral("msgok")).row({ QStringLiteral("撤单请求已提交") }));
    }
    return refuse(orderErrors::kCannotCancel, QStringLiteral("委托不存在，不能撤单"));
}

Reply BackOffice::maxQuantity(const Request& r, const Customer& customer, Account& a)
{
    const Customer* c = &customer;
    const QString flag = r.valueOr(QStringLiteral("bsflag"));
    const QString marketCode = r.valueOr(QStringLiteral("market"));
    // A subscription pays nothing until the draw: its most is the upper limit.
    if (const MarketNewIssue* issue = market_->newIssue(r.valueOr(QStringLiteral("stkcode"))))
        return Reply::withTable(Table().column(QStringLiteral("maxstkqty")).row({ issue->upperLimit }));
    const MarketSecurity* s = market_->security(r.valueOr(QStringLiteral("stkcode")));
    if (!s)
        return refuse(2001, QStringLiteral("证券代码不存在"));
    const bool buy = kBuyFlags.contains(flag);
    const bool pays = buy != isRepo(*s);
    qint64 most = 0;
    if (pays) {
        bool extra = false;
        const QString priceText = r.valueOr(QStringLiteral("price"));
        const qint64 ticks = priceText.isEmpty() ? Market::lastTicks(*s)
                                                 : toUnits(priceText, s->precision, &extra).value_or(0);
        const std::optional<Milli> lot = amountOf(*s, ticks, s->lotSize);
        if (!lot || *lot <= 0)
            return refuse(orderErrors::kBadOrder, QStringLiteral("委托价格错误"));
        const auto it = a.money.find(fundOfMarket(*c, marketCode));
        most = it == a.money.end() ? 0 : std::max<Milli>(it->second.available, 0) / *lot * s->lotSize;
    } else if (auto it = a.positions.find(positionKey(marketCode, s->code)); it != a.positions.end()) {
        most = it->second.available;
    }
    return Reply::withTable(Table().column(QStringLiteral("maxstkqty")).row({ QString::number(most) }));
}

Milli BackOffice::stockValue(const Account& a, const QString& moneyType) const
{
    Milli total = 0;
    for (const auto& [key, p] : a.positions) {
        const MarketSecurity* s = market_->security(p.code);
        if (!s || moneyTypeOfMarket(p.market) != moneyType)
            continue;
        const Milli value = isRepo(*s) ? p.cost : amountOf(*s, Market::lastTicks(*s), p.quantity).value_or(0);
        const auto valuation = valuations_.constFind(p.market);
        total += valuation == valuations_.cend() ? value : (*valuation)(value);
    }
    return total;
}

void BackOffice::setValuation(const QString& market, std::function<Milli(Milli)> inSettlement)
{
    valuations_.insert(market, std::move(inSettlement));
}

Reply BackOffice::money(const Request& r, const Customer& customer, Account& a)
{
    const Customer* c = &customer;
    const QString fundId = r.valueOr(QStringLiteral("fundid"));
    const std::optional<QString> type = r.value(QStringLiteral("moneytype"));
    Table t = describedTable({ { "fundid", "资金账户" }, { "fundseq", "账户序号" },
        { "bankname", "存管银行" }, { "~moneytype", "币种" }, { "fundbal", "资金余额" },
        { "fundavl", "可用资金" }, { "stkvalue", "证券市值" }, { "marketvalue", "参考市值" } });
    // The money query names a currency: the account named when it is of that
    // currency, else the customer's account of it. The account list takes
    // every account, or the one named.
    QString wanted = fundId;
    if (type) {
        const QString name = moneyTypeName(*type);
        const auto named = std::find_if(c->funds.cbegin(), c->funds.cend(),
            [&](const FundAccount& f) { return f.fundId == fundId && f.moneyType == name; });
        wanted = named != c->funds.cend() ? fundId : fundOfType(*c, name);
        if (wanted.isEmpty())
            return Reply::error(errors::kUnknownFundAccount, QStringLiteral("没有该币种的资金账户"));
    }
    for (const FundAccount& f : c->funds) {
        if (!wanted.isEmpty() && f.fundId != wanted)
            continue;
        const Money& m = a.money[f.fundId];
        // Securities count toward the account their trades settle in; the
        // market value is theirs alone, not the account's total assets.
        const Milli value = fundOfType(*c, f.moneyType) == f.fundId ? stockValue(a, f.moneyType) : 0;
        t.row({ f.fundId, f.fundSeq, f.bankName, f.moneyType, moneyText(m.balance), moneyText(m.available),
            moneyText(value), moneyText(value) });
    }
    return Reply::withTable(t);
}

Reply BackOffice::positions(const Request& r, const Customer& customer, Account& a)
{
    const Customer* c = &customer;
    const QString kind = r.valueOr(QStringLiteral("exeflag"), QStringLiteral("0"));
    const bool warrants = kind == QLatin1String("1");
    Table t = describedTable({ { "poststr", "定位串" }, { "secuid", "股东代码" }, { "fundid", "资金账户" },
        { "market", "市场" }, { "~market", "交易市场" }, { "stkcode", "证券代码" }, { "stkname", "证券名称" },
        { "stkqty", "股份余额" }, { "stkbal", "实际数量" }, { "stkavl", "可用数量" },
        { "stkbuy", "今买数量" }, { "stksale", "今卖数量" }, { "lastprice", "最新价" },
        { "profitprice", "参考成本价" }, { "mktval", "市值" }, { "proincome", "浮动盈亏" },
        { "ykbl", "盈亏比例(%)" } });
    if (warrants)
        t.described(QStringLiteral("warrantcode"), QStringLiteral("行权代码"))
            .described(QStringLiteral("exerprice"), QStringLiteral("行权价格"));
    // A market asked for (the Stock Connect pages ask for "5") keeps only its holdings.
    const QString wantedMarket = r.valueOr(QStringLiteral("market"));
    for (const auto& [key, p] : a.positions) {
        const MarketSecurity* s = market_->security(p.code);
        if (!s || p.quantity <= 0 || (!wantedMarket.isEmpty() && p.market != wantedMarket))
            continue;
        const bool isWarrant = s->classId == QLatin1String("5");
        if (warrants != isWarrant || (kind == QLatin1String("2") && s->classId != QLatin1String("116")))
            continue;
        const qint64 last = Market::lastTicks(*s);
        const Milli value = isRepo(*s) ? p.cost : amountOf(*s, last, p.quantity).value_or(0);
        const Milli gain = value - p.cost;
        // Cost price per unit, in the security's ticks.
        qint64 scale = 1;
        for (qint32 i = s->precision; i < 3; ++i)
            scale *= 10;
        const qint64 costTicks = isRepo(*s) || p.quantity == 0 ? 0 : p.cost / scale / p.quantity;
        const qint64 ratio = p.cost > 0 ? qint64(__int128(gain) * 10000 / p.cost) : 0;
        QVariantList row { key, p.secuid, a.money.empty() ? QString() : fundOfMarket(*c, p.market), p.market,
            Broker::marketName(p.market.toInt()), p.code, p.name, QString::number(p.quantity),
            QString::number(p.quantity), QString::number(p.available), QString::number(p.bought),
            QString::number(p.sold), Market::ticksText(last, s->precision),
            Market::ticksText(costTicks, s->precision), moneyText(value), moneyText(gain),
            Market::ticksText(ratio, 2) };
        if (warrants) {
            const MarketWarrant* w = market_->warrant(p.code);
            row << (w ? w->code : QString()) << (w ? w->exercisePrice : QString());
        }
        t.row(row);
    }
    return Reply::withTable(t);
}

Reply BackOffice::orderList(const Request& r, Account& a, bool fills, bool todayOnly)
{
    Table t = fills ? fillsTable() : ordersTable();
    const QString day = today();
    for (const Order& o : a.orders) {
        if ((todayOnly ? o.date == day : inRange(o.date, r)) && (!fills || o.matched > 0))
            t.row(fills ? fillRow(o) : orderRow(o));
    }
    return Reply::withTable(t);
}

Reply BackOffice::moneyFlows(const Request& r, const Customer&, Account& a)
{
    Table t = describedTable({ { "poststr", "定位串" }, { "bizdate", "发生日期" }, { "opertime", "发生时间" },
        { "fundid", "资金账户" }, { "digestname", "业务摘要" }, { "fundeffect", "发生金额" },
        { "fundbal", "资金余额" }, { "ordersno", "委托编号" } });
    // Order numbers and serials of different kinds may meet: the position
    // string is the row's place in the statement.
    for (qsizetype i = 0; i < a.flows.size(); ++i) {
        const Flow& f = a.flows[i];
        if (inRange(f.date, r))
            t.row({ QString::number(i + 1), f.date, f.time, f.fundId, f.what, moneyText(f.amount),
                moneyText(f.balanceAfter), f.orderNumber });
    }
    return Reply::withTable(t);
}

Reply BackOffice::statements(const Request& r, const Customer&, Account& a)
{
    Table t = describedTable({ { "poststr", "定位串" }, { "bizdate", "交收日期" }, { "ordersno", "委托编号" },
        { "stkcode", "证券代码" }, { "stkname", "证券名称" }, { "~bsflag", "业务名称" },
        { "matchprice", "成交价格" }, { "matchqty", "成交数量" }, { "matchamt", "成交金额" },
        { "fee", "手续费" }, { "fundeffect", "清算金额" }, { "fundbal", "资金余额" } });
    for (const Order& o : a.orders) {
        if (o.matched <= 0 || !inRange(o.date, r))
            continue;
        Milli effect = 0;
        Milli after = 0;
        for (const Flow& f : a.flows) {
            if (f.orderNumber == o.number) {
                effect = f.amount;
                after = f.balanceAfter;
            }
        }
        t.row({ o.number, o.date, o.number, o.code, o.name,
            o.buy ? QStringLiteral("证券买入") : QStringLiteral("证券卖出"),
            Market::ticksText(o.matchTicks, o.precision), QString::number(o.matched),
            moneyText(o.matchAmount), moneyText(0), moneyText(effect), moneyText(after) });
    }
    return Reply::withTable(t);
}

Reply BackOffice::distribution(const Request& r, const Customer&, Account& a)
{
    Table t = describedTable({ { "poststr", "定位串" }, { "bizdate", "配号日期" }, { "secuid", "股东代码" },
        { "market", "市场" }, { "stkcode", "证券代码" }, { "stkname", "证券名称" }, { "mateno", "起始配号" },
        { "matchqty", "配号数量" } });
    for (Order& o : a.orders) {
        if (!o.subscription || o.status == QLatin1String("6") || !inRange(o.date, r))
            continue;
        // Numbers are given out once, the first time the list is asked for.
        if (o.matchTicks == 0) {
            o.matchTicks = qint64(nextDistribution_);
            nextDistribution_ += quint64(o.quantity / (o.market == QLatin1String("1") ? 1000 : 500));
        }
        t.row({ o.number, o.date, o.secuid, o.market, o.code, o.name, QString::number(o.matchTicks),
            QString::number(o.quantity / (o.market == QLatin1String("1") ? 1000 : 500)) });
    }
    return Reply::withTable(t);
}

Reply BackOffice::winningLots(const Request&, const Customer&, Account&)
{
    // The draw has not been held yet: no winning numbers.
    return Reply::withTable(describedTable({ { "poststr", "定位串" }, { "bizdate", "中签日期" },
        { "stkcode", "证券代码" }, { "stkname", "证券名称" }, { "matchqty", "中签数量" } }));
}

Reply BackOffice::shareholders(const Request& r, const Customer& customer, Account& a)
{
    const Customer* c = &customer;
    Table t = describedTable({ { "market", "市场代码" }, { "~market", "交易市场" }, { "secuid", "股东代码" },
        { "~secuidtype", "账户类别" }, { "custname", "股东姓名" } });
    for (const ShareholderAccount& h : c->shareholders)
        t.row({ QString::number(h.market), Broker::marketName(h.market), h.secuid, QStringLiteral("普通账户"),
            c->name });
    return Reply::withTable(t);
}

BackOffice* backOffice(BrokerSimulator& simulator)
{
    return simulator.findChild<BackOffice*>(
        QStringLiteral("brokersim-backoffice"), Qt::FindDirectChildrenOnly);
}

void registerBackOfficeFunctions(BrokerSimulator& simulator)
{
    using Account = BackOffice::Account;
    BackOffice* office = backOffice(simulator);
    if (!office)
        office = new BackOffice(market(simulator), &simulator);
    // Every function needs a valid prefix; the customer's book is brought up
    // to date with the market first.
    auto serve = [office](const Request& r, BrokerState& s, auto&& handle) {
        Reply refusal;
        const Customer* c = office->authenticate(r, s, &refusal);
        return c ? handle(*c, office->account(*c)) : refusal;
    };
    auto add = [&](Function f, auto handler) {
        simulator.registerFunction(f.main, f.sub, [serve, office, handler](const Request& r, BrokerState& s) {
            return serve(r, s, [&](const Customer& c, Account& a) { return handler(*office, r, c, a); });
        });
    };
    auto member = [](Reply (BackOffice::*m)(const Request&, const Customer&, Account&)) {
        return
            [m](BackOffice& o, const Request& r, const Customer& c, Account& a) { return (o.*m)(r, c, a); };
    };
    auto list = [](bool fills, bool todayOnly) {
        return [fills, todayOnly](BackOffice& o, const Request& r, const Customer&, Account& a) {
            return o.orderList(r, a, fills, todayOnly);
        };
    };
    add(kMoneyFunction, member(&BackOffice::money));
    add(kPositionsFunction, member(&BackOffice::positions));
    add(kOrderFunction, member(&BackOffice::order));
    add(kCancelFunction, member(&BackOffice::cancel));
    add(kOrdersOfTodayFunction, list(false, true));
    add({ 500, 8 }, list(false, true));
    add({ 500, 9 }, list(true, true));
    add({ 500, 10 }, list(true, false));
    add({ 500, 125 }, list(false, false));
    add({ 500, 54 }, member(&BackOffice::moneyFlows));
    add({ 500, 126 }, member(&BackOffice::statements));
    add(kDistributionFunction, member(&BackOffice::distribution));
    add({ 500, 25 }, member(&BackOffice::winningLots));
    add({ 500, 100 }, member(&BackOffice::shareholders));
    // 500 / 4 answers the maximum quantity when the body names a direction,
    // else the new-issue facts as before.
    simulator.registerFunction(kMaxQuantityFunction.main, kMaxQuantityFunction.sub,
        [serve, office, issues = simulator.handlerOf(kMaxQuantityFunction.main, kMaxQuantityFunction.sub)](
            const Request& r, BrokerState& s) {
            if (issues && !r.value(QStringLiteral("bsflag")))
                return issues(r, s);
            return serve(r, s, [&](const Customer& c, Account& a) { return office->maxQuantity(r, c, a); });
        });
}

} // namespace brokersim
