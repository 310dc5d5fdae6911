#include "tools/broker-sim/HKFunctions.h"

#include "platform/ChinaClock.h"
#include "tools/broker-sim/BrokerData.h"
#include "tools/broker-sim/BrokerSimulator.h"
#include "tools/broker-sim/Market.h"

#include <QRegularExpression>

namespace brokersim {

namespace {

constexpr qint64 kMaxQuantity = 1'000'000'000;
constexpr qint32 kNoSecurity = 2001;
const QStringList kBuyFlags { "3B", "2B" };
const QStringList kSellFlags { "3S", "2S", "4S" };
const QString kOddLotFlag = QStringLiteral("4S");
const QString kHKMarket = QStringLiteral("5");

QString positionKey(const QString& code)
{
    return kHKMarket + QLatin1Char('|') + code;
}

// A price of at most three decimals in thousandths; nullopt for anything else.
std::optional<qint64> priceTicks(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,9})(?:\\.([0-9]{1,3}))?$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1).toLongLong() * 1000 + m.captured(2).leftJustified(3, u'0').toLongLong();
}

std::optional<qint64> wholeNumber(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^[0-9]{1,10}$"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    const qint64 value = text.toLongLong();
    return value > 0 && value <= kMaxQuantity ? std::optional(value) : std::nullopt;
}

// Hong Kong's trading sessions, China time: 9:30-12:00 and 13:00-16:00 on
// weekdays, with the pre-opening from 9:00.
bool hkTradingHours()
{
    const QDateTime now = platform::ChinaClock::now();
    if (now.date().dayOfWeek() > 5)
        return false;
    const int minute = now.time().hour() * 60 + now.time().minute();
    return (minute >= 9 * 60 && minute < 12 * 60) || (minute >= 13 * 60 && minute < 16 * 60);
}

} // namespace

HKDesk::HKDesk(BackOffice* office, Market* market, QObject* parent)
    : QObject(parent)
    , office_(office)
    , market_(market)
{
    setObjectName(QStringLiteral("brokersim-hkdesk"));
}

qint64 HKDesk::spreadStep(qint64 priceTicks)
{
    // Upper bound of each band (exclusive of the next) and its step.
    static constexpr std::pair<qint64, qint64> kBands[] = { { 250, 1 }, { 500, 5 }, { 10'000, 10 },
        { 20'000, 20 }, { 100'000, 50 }, { 200'000, 100 }, { 500'000, 200 }, { 1'000'000, 500 },
        { 2'000'000, 1'000 }, { 5'000'000, 2'000 } };
    for (const auto& [upTo, step] : kBands) {
        if (priceTicks <= upTo)
            return step;
    }
    return 5'000;
}

Milli HKDesk::convert(Milli hkd, qint64 rate, bool roundUp)
{
    return Milli((__int128(hkd) * rate + (roundUp ? 999'999 : 0)) / 1'000'000);
}

const MarketSecurity* HKDesk::hkSecurity(const QString& code) const
{
    const MarketSecurity* s = market_->security(code);
    return s && s->classId == QLatin1String("108") ? s : nullptr;
}

QString HKDesk::secuidOf(const Customer& c) const
{
    for (const ShareholderAccount& h : c.shareholders) {
        if (h.market == 5)
            return h.secuid;
    }
    return QString();
}

QString HKDesk::fundOf(const Customer& c) const
{
    // Stock Connect settles in renminbi, from the main account.
    QString any;
    for (const FundAccount& f : c.funds) {
        if (f.moneyType != QStringLiteral("人民币"))
            continue;
        if (f.fundSeq == QLatin1String("0"))
            return f.fundId;
        if (any.isEmpty())
            any = f.fundId;
    }
    return any;
}

void HKDesk::bringUpToDate(const Customer& c, BackOffice::Account& a)
{
    const QString secuid = secuidOf(c);
    if (!secuid.isEmpty() && !seeded_.contains(c.custid)) {
        seeded_.insert(c.custid);
        // An opening holding with an odd remainder, bought before today.
        if (const MarketSecurity* s = hkSecurity(QStringLiteral("00700"))) {
            BackOffice::Position& p = a.positions[positionKey(s->code)];
            if (p.code.isEmpty())
                p = { secuid, kHKMarket, s->code, s->name, 1050, 1050, 0, 0, 350'000 * 1050 };
        }
    }
    for (Order& o : orders_) {
        if (o.filled || o.cancelled || o.custid != c.custid)
            continue;
        const MarketSecurity* s = hkSecurity(o.code);
        const qint64 last = Market::lastTicks(*s);
        if (o.buy ? last > o.priceTicks : last < o.priceTicks)
            continue;
        const Milli hkd = last * o.quantity;
        BackOffice::Money& m = a.money[o.fundId];
        BackOffice::Position& p = a.positions[positionKey(o.code)];
        if (p.code.isEmpty())
            p = { o.secuid, kHKMarket, o.code, s->name };
        if (o.buy) {
            const Milli paid = convert(hkd, kBuyRate, true);
            m.balance -= paid;
            m.available += o.frozen - paid;
            p.quantity += o.quantity;
            p.bought += o.quantity;
            p.cost += hkd;
        } else {
            const Milli got = convert(hkd, kSaleRate, false);
            m.balance += got;
            m.available += got;
            p.cost = p.quantity > 0 ? Milli(__int128(p.cost) * (p.quantity - o.quantity) / p.quantity) : 0;
            p.quantity -= o.quantity;
            p.sold += o.quantity;
        }
        o.filled = true;
    }
}

Reply HKDesk::combInfo(const Request& r, const Customer& c, BackOffice::Account& a)
{
    const MarketSecurity* s = hkSecurity(r.valueOr(QStringLiteral("stkcode")));
    if (!s)
        return Reply::error(kNoSecurity, QStringLiteral("证券代码不存在"));
    const QString flag = r.valueOr(QStringLiteral("bsflag"));
    if (!kBuyFlags.contains(flag) && !kSellFlags.contains(flag))
        return Reply::error(orderErrors::kBadOrder, QStringLiteral("买卖类别错误"));
    const qint64 price = priceTicks(r.valueOr(QStringLiteral("price"))).value_or(0) > 0
        ? *priceTicks(r.valueOr(QStringLiteral("price")))
        : Market::lastTicks(*s);
    qint64 most = 0;
    if (kBuyFlags.contains(flag)) {
        const Milli lotCost = convert(price * s->lotSize, kBuyRate, true);
        const Milli available = a.money[fundOf(c)].available;
        most = lotCost > 0 ? available / lotCost * s->lotSize : 0;
    } else {
        const auto it = a.positions.find(positionKey(s->code));
        const qint64 held = it == a.positions.end() ? 0 : it->second.available;
        most = flag == kOddLotFlag ? held % s->lotSize : held - held % s->lotSize;
    }
    return Reply::withTable(Table()
                                .column(QStringLiteral("maxqty"))
                                .column(QStringLiteral("priceunit"))
                                .row({ QString::number(std::max<qint64>(most, 0)),
                                    Market::ticksText(spreadStep(price), 3) }));
}

Reply HKDesk::lotSize(const Request& r)
{
    const MarketSecurity* s = hkSecurity(r.valueOr(QStringLiteral("stkcode")));
    if (!s)
        return Reply::error(kNoSecurity, QStringLiteral("证券代码不存在"));
    return Reply::withTable(Table().column(QStringLiteral("lotsize")).row({ QString::number(s->lotSize) }));
}

Reply HKDesk::exchangeRate()
{
    return Reply::withTable(Table()
                                .column(QStringLiteral("buyrate"))
                                .column(QStringLiteral("salerate"))
                                .row({ Market::ticksText(kBuyRate, 6), Market::ticksText(kSaleRate, 6) }));
}

Reply HKDesk::order(const Request& r, const Customer& c, BackOffice::Account& a)
{
    using namespace orderErrors;
    const QString flag = r.valueOr(QStringLiteral("bsflag"));
    const bool buy = kBuyFlags.contains(flag);
    if (!buy && !kSellFlags.contains(flag))
        return Reply::error(kBadOrder, QStringLiteral("买卖类别错误"));
    const QString secuid = r.valueOr(QStringLiteral("secuid"));
    if (r.valueOr(QStringLiteral("market")) != kHKMarket || secuid.isEmpty() || secuid != secuidOf(c))
        return Reply::error(kWrongAccount, QStringLiteral("股东账户与交易市场不符"));
    const MarketSecurity* s = hkSecurity(r.valueOr(QStringLiteral("stkcode")));
    if (!s)
        return Reply::error(kNoSecurity, QStringLiteral("证券代码不存在"));
    if (!hkTradingHours())
        return Reply::error(kMarketClosed, QStringLiteral("非港股通交易时间，不能委托"));
    const std::optional<qint64> quantity = wholeNumber(r.valueOr(QStringLiteral("qty")));
    if (!quantity)
        return Reply::error(kBadOrder, QStringLiteral("委托数量错误"));
    const std::optional<qint64> price = priceTicks(r.valueOr(QStringLiteral("price")));
    if (!price || *price <= 0 || *price > kMaxQuantity)
        return Reply::error(kBadOrder, QStringLiteral("委托价格错误"));
    if (*price % spreadStep(*price) != 0)
        return Reply::error(kOffTick, QStringLiteral("委托价格不符合港股价位表"));
    if (flag == kOddLotFlag ? *quantity >= s->lotSize : *quantity % s->lotSize != 0)
        return Reply::error(kNotWholeLot,
            flag == kOddLotFlag ? QStringLiteral("零股卖出数量必须少于一手(%1股)").arg(s->lotSize)
                                : QStringLiteral("委托数量必须是%1股的整数倍").arg(s->lotSize));

    Order o { QString::number(nextOrder_), c.custid, fundOf(c), secuid, s->code, flag, buy, *price, *quantity };
    const QDateTime now = platform::ChinaClock::now();
    o.date = now.toString(QStringLiteral("yyyyMMdd"));
    o.time = now.toString(QStringLiteral("HHmmss"));
    if (buy) {
        const Milli cost = convert(*price * *quantity, kBuyRate, true);
        BackOffice::Money& m = a.money[o.fundId];
        if (o.fundId.isEmpty() || cost > m.available)
            return Reply::error(kNoMoney, QStringLiteral("可用资金不足"));
        m.available -= cost;
        o.frozen = cost;
    } else {
        const auto it = a.positions.find(positionKey(s->code));
        const qint64 held = it == a.positions.end() ? 0 : it->second.available;
        if (*quantity > held || (flag == kOddLotFlag && *quantity > held % s->lotSize))
            return Reply::error(kNoShares, QStringLiteral("可用股份不足"));
        it->second.available -= *quantity;
    }
    ++nextOrder_;
    orders_.append(o);
    bringUpToDate(c, a);
    return Reply::withTable(Table().column(QStringLiteral("ordersno")).row({ o.number }));
}

namespace {

Table describedColumns(std::initializer_list<std::pair<const char*, const char*>> columns)
{
    Table t;
    for (const auto& [name, title] : columns)
        t.described(QString::fromLatin1(name), QString::fromUtf8(title));
    return t;
}

const char* const kTypeTitles[] = { "公司收购", "公开招股", "供股行权", "红利现金选择权" };
const QStringList kTypeCodes { "H63", "H64", "H65", "H66" };

// A quantity the declaration function takes: a whole number, signed.
std::optional<qint64> signedWhole(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^-?[0-9]{1,10}$"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    const qint64 value = text.toLongLong();
    return value != 0 && value >= -kMaxQuantity && value <= kMaxQuantity ? std::optional(value) : std::nullopt;
}

} // namespace

Reply HKDesk::cancel(const Request& r, const Customer& c, BackOffice::Account& a)
{
    using namespace orderErrors;
    if (r.valueOr(QStringLiteral("count")) != QLatin1String("1"))
        return Reply::error(kCannotCancel, QStringLiteral("每次只能撤销一笔委托"));
    const QString number = r.valueOr(QStringLiteral("snos"));
    const QString date = r.valueOr(QStringLiteral("orderdate"));
    for (Order& o : orders_) {
        if (o.custid != c.custid || o.number != number || (!date.isEmpty() && o.date != date))
            continue;
        if (o.filled)
            return Reply::error(kCannotCancel, QStringLiteral("该委托已成交，不能撤单"));
        if (o.cancelled)
            return Reply::error(kCannotCancel, QStringLiteral("该委托已撤单，不能重复撤单"));
        o.cancelled = true;
        if (o.buy) {
            a.money[o.fundId].available += o.frozen;
        } else if (auto it = a.positions.find(positionKey(o.code)); it != a.positions.end()) {
            it->second.available += o.quantity;
        }
        return Reply::withTable(Table().column(QStringLiteral("ordersno")).row({ o.number }));
    }
    return Reply::error(kCannotCancel, QStringLiteral("委托不存在，不能撤单"));
}

Reply HKDesk::ordersOfToday(const Customer& c) const
{
    Table t = describedColumns({ { "poststr", "定位串" }, { "orderdate", "委托日期" }, { "opertime", "委托时间" },
        { "ordersno", "委托编号" }, { "secuid", "股东代码" }, { "market", "市场" }, { "stkcode", "证券代码" },
        { "stkname", "证券名称" }, { "bsflag", "买卖标志" }, { "~bsflag", "买卖方向" },
        { "orderprice", "委托价格" }, { "orderqty", "委托数量" }, { "matchqty", "成交数量" },
        { "cancelqty", "撤单数量" }, { "orderstatus", "状态代码" }, { "~orderstatus", "委托状态" },
        { "cancelflag", "撤单标志" } });
    const QString today = platform::ChinaClock::now().toString(QStringLiteral("yyyyMMdd"));
    for (const Order& o : orders_) {
        if (o.custid != c.custid || o.date != today)
            continue;
        const MarketSecurity* s = hkSecurity(o.code);
        const QString status = o.filled ? QStringLiteral("8") : o.cancelled ? QStringLiteral("6") : QStringLiteral("2");
        const QString statusText
            = o.filled ? QStringLiteral("已成") : o.cancelled ? QStringLiteral("已撤") : QStringLiteral("已报");
        t.row({ o.number, o.date, o.time, o.number, o.secuid, kHKMarket, o.code, s ? s->name : QString(), o.bsflag,
            o.buy ? QStringLiteral("买入") : QStringLiteral("卖出"), Market::ticksText(o.priceTicks, 3),
            QString::number(o.quantity), QString::number(o.filled ? o.quantity : 0),
            QString::number(o.cancelled ? o.quantity : 0), status, statusText,
            o.cancelled ? QStringLiteral("1") : QStringLiteral("0") });
    }
    return Reply::withTable(t);
}

Reply HKDesk::vote(const Request& r, const Customer& c)
{
    using namespace orderErrors;
    if (!hkSecurity(r.valueOr(QStringLiteral("stk_code"))))
        return Reply::error(kNoSecurity, QStringLiteral("证券代码不存在"));
    const QString secuid = r.valueOr(QStringLiteral("trdacct"));
    if (secuid.isEmpty() || secuid != secuidOf(c))
        return Reply::error(kWrongAccount, QStringLiteral("股东账户与交易市场不符"));
    Vote v { QString::number(nextSerial_), c.custid, r.valueOr(QStringLiteral("stk_code")),
        r.valueOr(QStringLiteral("pub_no")), r.valueOr(QStringLiteral("bill_no")), r.valueOr(QStringLiteral("up_no")),
        r.valueOr(QStringLiteral("down_no")), r.valueOr(QStringLiteral("free_no")) };
    if (v.publicNo.isEmpty() || v.billNo.isEmpty())
        return Reply::error(kBadOrder, QStringLiteral("公告编号和议案编号不能为空"));
    bool any = false;
    for (const QString* q : { &v.up, &v.down, &v.abstain }) {
        if (q->isEmpty())
            continue;
        if (!wholeNumber(*q))
            return Reply::error(kBadOrder, QStringLiteral("投票数量错误"));
        any = true;
    }
    if (!any)
        return Reply::error(kBadOrder, QStringLiteral("投票数量不能为空"));
    ++nextSerial_;
    votes_.append(v);
    return Reply::withTable(Table().column(QStringLiteral("serial_no")).row({ v.serial }));
}

Reply HKDesk::declare(const Request& r, const Customer& c)
{
    using namespace orderErrors;
    const QString code = r.valueOr(QStringLiteral("stk_code"));
    if (!hkSecurity(code))
        return Reply::error(kNoSecurity, QStringLiteral("证券代码不存在"));
    const QString type = r.valueOr(QStringLiteral("hk_type"));
    if (!kTypeCodes.contains(type) || r.valueOr(QStringLiteral("hk_dle_type")) != QLatin1String("HSB"))
        return Reply::error(kBadOrder, QStringLiteral("业务类型错误"));
    const QString secuid = r.valueOr(QStringLiteral("trdacct"));
    if (secuid.isEmpty() || secuid != secuidOf(c))
        return Reply::error(kWrongAccount, QStringLiteral("股东账户与交易市场不符"));
    const QString orgNo = r.valueOr(QStringLiteral("org_no"));
    if (orgNo.isEmpty())
        return Reply::error(kBadOrder, QStringLiteral("行为代码不能为空"));
    const std::optional<qint64> quantity = signedWhole(r.valueOr(QStringLiteral("declare_quan")));
    if (!quantity)
        return Reply::error(kBadOrder, QStringLiteral("申报数量错误"));
    Declaration* held = nullptr;
    for (Declaration& d : declarations_) {
        if (d.custid == c.custid && d.code == code && d.type == type && d.orgNo == orgNo)
            held = &d;
    }
    if (*quantity < 0) {
        if (!held || held->quantity < -*quantity)
            return Reply::error(kBadOrder, QStringLiteral("撤销数量超过已申报数量"));
        held->quantity += *quantity;
    } else if (held) {
        held->quantity += *quantity;
    } else {
        declarations_.append({ QString(), platform::ChinaClock::now().toString(QStringLiteral("yyyyMMdd")),
            c.custid, secuid, code, type, orgNo, *quantity });
        held = &declarations_.back();
    }
    const QString serial = QString::number(nextSerial_++);
    if (held->serial.isEmpty())
        held->serial = serial;
    return Reply::withTable(Table().column(QStringLiteral("serial_no")).row({ serial }));
}

Reply HKDesk::declarations(const Request& r, const Customer& c) const
{
    const QString begin = r.valueOr(QStringLiteral("bgn_date"));
    const QString end = r.valueOr(QStringLiteral("end_date"));
    if (!begin.isEmpty() && !end.isEmpty() && begin > end)
        return Reply::error(orderErrors::kBadOrder, QStringLiteral("开始日期不能大于结束日期"));
    Table t = describedColumns({ { "poststr", "定位串" }, { "serial_no", "申报序号" }, { "busi_date", "申报日期" },
        { "trdacct", "股东代码" }, { "stk_code", "证券代码" }, { "stk_name", "证券名称" }, { "hk_type", "业务类型代码" },
        { "~hk_type", "业务类型" }, { "hk_dle_type", "申报类型代码" }, { "~hk_dle_type", "申报类型" },
        { "org_no", "行为代码" }, { "declare_quan", "申报数量" } });
    for (const Declaration& d : declarations_) {
        if (d.custid != c.custid || (!begin.isEmpty() && d.date < begin) || (!end.isEmpty() && d.date > end))
            continue;
        const MarketSecurity* s = hkSecurity(d.code);
        t.row({ d.serial, d.serial, d.date, d.secuid, d.code, s ? s->name : QString(), d.type,
            QString::fromUtf8(kTypeTitles[kTypeCodes.indexOf(d.type)]), QStringLiteral("HSB"),
            QStringLiteral("申报"), d.orgNo, QString::number(d.quantity) });
    }
    return Reply::withTable(t);
}

Reply HKDesk::notices(const Request& r) const
{
    Table t = describedColumns({ { "title", "标题" }, { "content", "内容" } });
    const QString code = r.valueOr(QStringLiteral("zqdm"));
    if (const MarketSecurity* s = hkSecurity(code)) {
        t.row({ QStringLiteral("%1 股东周年大会通告").arg(s->name),
            QStringLiteral("公告编号=G%1|议案编号=1|会议日期=20261228|投票截止=20261221").arg(code + QStringLiteral("001")) });
        t.row({ QStringLiteral("%1 末期股息公告").arg(s->name),
            QStringLiteral("行为代码=D%1|业务类型=红利现金选择权|每股股息=HKD 2.40").arg(code) });
    }
    return Reply::withTable(t);
}

Reply HKDesk::stockTargets(const Request& r) const
{
    const QString code = r.valueOr(QStringLiteral("stkcode"));
    Table t = describedColumns({ { "poststr", "定位串" }, { "stkcode", "证券代码" }, { "stkname", "证券名称" },
        { "lotsize", "每手股数" }, { "~market", "市场" }, { "status", "状态" } });
    for (const MarketSecurity& s : market_->securities()) {
        if (s.classId != QLatin1String("108") || (!code.isEmpty() && s.code != code))
            continue;
        t.row({ s.code, s.code, s.name, QString::number(s.lotSize), QStringLiteral("港股通"),
            QStringLiteral("可买可卖") });
    }
    return Reply::withTable(t);
}

HKDesk* hkDesk(BrokerSimulator& simulator)
{
    return simulator.findChild<HKDesk*>(QStringLiteral("brokersim-hkdesk"), Qt::FindDirectChildrenOnly);
}

void registerHKFunctions(BrokerSimulator& simulator)
{
    BackOffice* office = backOffice(simulator);
    HKDesk* desk = hkDesk(simulator);
    if (!desk)
        desk = new HKDesk(office, market(simulator), &simulator);
    using Account = BackOffice::Account;
    auto add = [&](Function f, auto handler) {
        simulator.registerFunction(f.main, f.sub, [office, desk, handler](const Request& r, BrokerState& s) {
            Reply refusal;
            const Customer* c = office->authenticate(r, s, &refusal);
            if (!c)
                return refusal;
            Account& a = office->account(*c);
            desk->bringUpToDate(*c, a);
            return handler(*desk, r, *c, a);
        });
    };
    add(kHKCombInfoFunction, [](HKDesk& d, const Request& r, const Customer& c, Account& a) {
        return d.combInfo(r, c, a);
    });
    add(kHKLotSizeFunction, [](HKDesk& d, const Request& r, const Customer&, Account&) { return d.lotSize(r); });
    add(kHKExchangeRateFunction, [](HKDesk& d, const Request&, const Customer&, Account&) {
        return d.exchangeRate();
    });
    add(kHKOrderFunction, [](HKDesk& d, const Request& r, const Customer& c, Account& a) {
        return d.order(r, c, a);
    });
    add(kHKCancelFunction, [](HKDesk& d, const Request& r, const Customer& c, Account& a) {
        return d.cancel(r, c, a);
    });
    add(kHKOrdersOfTodayFunction,
        [](HKDesk& d, const Request&, const Customer& c, Account&) { return d.ordersOfToday(c); });
    add(kHKVoteFunction, [](HKDesk& d, const Request& r, const Customer& c, Account&) { return d.vote(r, c); });
    add(kHKDeclareFunction,
        [](HKDesk& d, const Request& r, const Customer& c, Account&) { return d.declare(r, c); });
    add(kHKDeclarationsFunction,
        [](HKDesk& d, const Request& r, const Customer& c, Account&) { return d.declarations(r, c); });
    add(kHKNotificationFunction, [](HKDesk& d, const Request& r, const Customer&, Account&) { return d.notices(r); });
    add(kHKStockTargetFunction,
        [](HKDesk& d, const Request& r, const Customer&, Account&) { return d.stockTargets(r); });
    // A holding counts in renminbi at the sale rate, what selling it would
    // bring.
    office->setValuation(kHKMarket, [](Milli hkd) { return HKDesk::convert(hkd, HKDesk::kSaleRate, false); });
    // The position list and the money see the desk's fills and opening
    // holding, whichever the customer asks for first.
    for (const Function f : { kPositionsFunction, kMoneyFunction }) {
        const Handler served = simulator.handlerOf(f.main, f.sub);
        if (!served)
            continue;
        simulator.registerFunction(f.main, f.sub, [office, desk, served](const Request& r, BrokerState& s) {
            Reply refusal;
            if (const Customer* c = office->authenticate(r, s, &refusal))
                desk->bringUpToDate(*c, office->account(*c));
            return served(r, s);
        });
    }
}

} // namespace brokersim
