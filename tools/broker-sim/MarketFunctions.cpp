#include "comm/recordset/ServerNumber.h"
#include "platform/ChinaClock.h"
#include "tools/broker-sim/Broker.h"
#include "tools/broker-sim/BrokerSimulator.h"
#include "tools/broker-sim/Market.h"

#include <QRegularExpression>
#include <algorithm>

namespace brokersim {

namespace {

constexpr qint32 kUnknownSecurity = 2001; // no such security in the market
constexpr quint32 kQuoteService = 400;

Reply refuse(qint32 code, const QString& message)
{
    return Reply::error(code, message);
}

Reply unknownSecurity()
{
    return refuse(kUnknownSecurity, QStringLiteral("证券代码不存在"));
}

// Whether the exchange a query names is the security's, by its value: the
// security may keep its exchange as a number field sends it ("2.000").
bool sameExchange(const QString& asked, const MarketSecurity& s)
{
    const std::optional<qint64> own = servernumber::wholeValueOf(s.exchangeId);
    return own && servernumber::wholeValueOf(asked) == own;
}

// Five-level quote (both functions): moves the security one minute on.
Reply quote5Level(Market& market, const Request& request)
{
    // The code alone, or "<code>.<exchange>" as Hong Kong quotes are asked.
    const QString query = request.valueOr(QStringLiteral("code"));
    MarketSecurity* s = market.security(query.section(QLatin1Char('.'), 0, 0));
    if (!s || (query.contains(QLatin1Char('.')) && !sameExchange(query.section(QLatin1Char('.'), 1), *s)))
        return unknownSecurity();
    market.step(*s);
    return Reply::withTable(market.quote5Level(*s));
}

// Time-sharing: the code is "<code>.<exchange>".
Reply timesharing(Market& market, const Request& request)
{
    const QString query = request.valueOr(QStringLiteral("code"));
    const MarketSecurity* s = market.security(query.section(QLatin1Char('.'), 0, 0));
    if (!s || !sameExchange(query.section(QLatin1Char('.'), 1), *s))
        return unknownSecurity();
    return Reply::withTables(market.timesharing(*s));
}

Reply indexes(Market& market)
{
    market.stepIndexes();
    return Reply::withTable(market.indexTable());
}

const Customer* authenticated(const Request& request, BrokerState& state, Reply* refusal)
{
    BrokerError error;
    const Customer* c = state.broker().authenticate(request.body, &error);
    if (!c)
        *refusal = Reply::error(error.code, error.message);
    return c;
}

QString shareholderOf(const Customer& c, const QString& market)
{
    for (const ShareholderAccount& s : c.shareholders) {
        if (QString::number(s.market) == market)
            return s.secuid;
    }
    return QString();
}

// One row of subscription facts per issue; the list (550 / 8) and the
// single-issue query (500 / 4) answer the same columns.
Table newIssueTable(const std::vector<const MarketNewIssue*>& issues, const Customer& c)
{
    const QString day = platform::ChinaClock::now().date().toString(QStringLiteral("yyyyMMdd"));
    Table t;
    for (const char* name : { "ZQMC", "ZQDM", "SGJG", "SGSX", "SGXX", "SGZL", "JYSMC", "SGRQ", "market",
             "moneytype", "stktype", "priceunit", "maxdownvalue", "stopflag", "mtkcalflag", "bondintr", "minqty",
             "maxstkqty", "buyunit", "saleunit", "stkstatus", "stklevel", "quitdate", "memotext", "secuid" })
        t.column(QString::fromLatin1(name));
    for (const MarketNewIssue* issue : issues) {
        const QString unit = issue->market == QLatin1String("1") ? QStringLiteral("1000") : QStringLiteral("500");
        t.row({ issue->name, issue->code, issue->price, issue->upperLimit, issue->lowerLimit, issue->totalVolume,
            issue->market == QLatin1String("1") ? QStringLiteral("上海A股") : QStringLiteral("深圳A股"), day,
            issue->market, QStringLiteral("0"), QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("0"),
            QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"), issue->lowerLimit, issue->upperLimit,
            unit, unit, QStringLiteral("0"), QStringLiteral("0"), QString(), QString(),
            shareholderOf(c, issue->market) });
    }
    return t;
}

Reply newStockInfo(const Market& market, const Request& request, BrokerState& state)
{
    Reply refusal;
    const Customer* c = authenticated(request, state, &refusal);
    if (!c)
        return refusal;
    // The maximum-quantity query shares this function; it names a direction.
    if (request.value(QStringLiteral("bsflag")))
        return Reply::error(errors::kBadRequest, QStringLiteral("请求参数错误：最大数量查询尚未提供"));
    const MarketNewIssue* issue = market.newIssue(request.valueOr(QStringLiteral("stkcode")));
    if (!issue)
        return refuse(kUnknownSecurity, QStringLiteral("该代码不是可申购的新股"));
    return Reply::withTable(newIssueTable({ issue }, *c));
}

// The list (550 / 8) is shown as a table titled with the field descriptions:
// it carries the facts a customer reads, described, and "market", which the
// client needs but never shows as a column; the other facts are the
// single-issue query's.
Table newIssueListTable(const Table& facts)
{
    Table list = describedTable({ { "ZQDM", "证券代码" }, { "ZQMC", "证券名称" }, { "SGJG", "申购价格" },
        { "SGXX", "申购下限" }, { "SGSX", "申购上限" }, { "SGZL", "发行总量" }, { "JYSMC", "交易市场" },
        { "SGRQ", "申购日期" }, { "secuid", "股东代码" }, { "market", "市场代码" } });
    QList<qsizetype> from;
    for (const Column& listed : list.columns) {
        const auto named = [&listed](const Column& c) { return c.name == listed.name; };
        from.append(std::find_if(facts.columns.begin(), facts.columns.end(), named) - facts.columns.begin());
    }
    for (const QVariantList& row : facts.rows) {
        QVariantList values;
        for (qsizetype i : from)
            values.append(row.value(i));
        list.row(values);
    }
    return list;
}

Reply newIssueList(const Market& market, const Request& request, BrokerState& state)
{
    Reply refusal;
    const Customer* c = authenticated(request, state, &refusal);
    if (!c)
        return refusal;
    std::vector<const MarketNewIssue*> issues;
    for (const MarketNewIssue& issue : market.newIssues())
        issues.push_back(&issue);
    return Reply::withTable(newIssueListTable(newIssueTable(issues, *c)));
}

Reply warrantInfo(const Market& market, const Request& request, BrokerState& state)
{
    Reply refusal;
    if (!authenticated(request, state, &refusal))
        return refusal;
    const MarketWarrant* w = market.warrant(request.valueOr(QStringLiteral("stkcode")));
    const QString marketCode = request.valueOr(QStringLiteral("market"));
    if (!w || (!marketCode.isEmpty() && marketCode != w->market))
        return refuse(kUnknownSecurity, QStringLiteral("权证代码不存在"));
    return Reply::withTable(Table()
                                .column(QStringLiteral("warrantcode"))
                                .column(QStringLiteral("stkcode"))
                                .column(QStringLiteral("exerprice"))
                                .column(QStringLiteral("market"))
                                .row({ w->code, w->underlying, w->exercisePrice, w->market }));
}

Reply riskWarningList(const Market& market, const Request& request, BrokerState& state)
{
    Reply refusal;
    if (!authenticated(request, state, &refusal))
        return refusal;
    Table t;
    t.column(QStringLiteral("stkcode")).column(QStringLiteral("stkname"));
    for (const MarketSecurity& s : market.securities()) {
        if (s.riskWarning)
            t.row({ s.code, s.name });
    }
    return Reply::withTable(t);
}

Reply resetCost(const Market& market, const Request& request, BrokerState& state)
{
    Reply refusal;
    const Customer* c = authenticated(request, state, &refusal);
    if (!c)
        return refusal;
    static const QRegularExpression decimal(QStringLiteral("^[0-9]{1,12}(\\.[0-9]{1,6})?$"));
    const QString code = request.valueOr(QStringLiteral("stkcode"));
    const QString marketCode = request.valueOr(QStringLiteral("market"));
    const QString secuid = request.valueOr(QStringLiteral("secuid"));
    const QString price = request.valueOr(QStringLiteral("costprice"));
    if (!market.security(code))
        return unknownSecurity();
    if (secuid.isEmpty() || shareholderOf(*c, marketCode) != secuid)
        return Reply::error(errors::kUnknownAccount, QStringLiteral("股东账户不存在"));
    if (!decimal.match(price).hasMatch())
        return Reply::error(errors::kBadRequest, QStringLiteral("请求参数错误：成本价"));
    return Reply::withTable(Table().column(QStringLiteral("msgok")).row({ QStringLiteral("成本价修改成功") }));
}

} // namespace

Market* market(BrokerSimulator& simulator)
{
    return simulator.findChild<Market*>(QStringLiteral("brokersim-market"), Qt::FindDirectChildrenOnly);
}

void registerMarketFunctions(BrokerSimulator& simulator)
{
    Market* m = market(simulator);
    if (!m)
        m = new Market(Market::kDefaultSeed, &simulator);
    auto add = [&](Function f, Handler h) { simulator.registerFunction(f.main, f.sub, std::move(h)); };
    // 1000 / 1 is also the trade server's terminal id: the quote service
    // (400) tells the quote apart.
    add(kQuote5LevelFunction,
        [m, other = simulator.handlerOf(kQuote5LevelFunction.main, kQuote5LevelFunction.sub)](
            const Request& r, BrokerState& s) {
            if (r.service != kQuoteService && other)
                return other(r, s);
            return quote5Level(*m, r);
        });
    add(kQuote5LevelExFunction, [m](const Request& r, BrokerState&) { return quote5Level(*m, r); });
    add(kTimesharingFunction, [m](const Request& r, BrokerState&) { return timesharing(*m, r); });
    add(kIndexFunction, [m](const Request&, BrokerState&) { return indexes(*m); });
    add(kNewStockInfoFunction, [m](const Request& r, BrokerState& s) { return newStockInfo(*m, r, s); });
    add(kNewIssueListFunction, [m](const Request& r, BrokerState& s) { return newIssueList(*m, r, s); });
    add(kWarrantInfoFunction, [m](const Request& r, BrokerState& s) { return warrantInfo(*m, r, s); });
    add(kRiskWarningListFunction, [m](const Request& r, BrokerState& s) { return riskWarningList(*m, r, s); });
    add(kResetCostFunction, [m](const Request& r, BrokerState& s) { return resetCost(*m, r, s); });
}

} // namespace brokersim
