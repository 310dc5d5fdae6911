#include "tools/broker-sim/FundQueryFunctions.h"

#include "tools/broker-sim/Broker.h"
#include "tools/broker-sim/BrokerSimulator.h"
#include "tools/broker-sim/FundFunctions.h"

#include <QRegularExpression>

namespace brokersim {

namespace {

// The date range of a historic query: "strdate" and "enddate" as yyyyMMdd,
// either may be empty or left out. A malformed or reversed range is refused.
struct DateRange {
    QString begin;
    QString end;
    bool contains(const QString& date) const
    {
        return (begin.isEmpty() || date >= begin) && (end.isEmpty() || date <= end);
    }
};

std::optional<DateRange> dateRange(const Request& request, QString* why)
{
    static const QRegularExpression day(QStringLiteral("^[0-9]{8}$"));
    DateRange range { request.valueOr(QStringLiteral("strdate")),
        request.valueOr(QStringLiteral("enddate")) };
    for (const auto& [text, name] : { std::pair { range.begin, QStringLiteral("起始日期") },
             std::pair { range.end, QStringLiteral("终止日期") } }) {
        if (!text.isEmpty()
            && (!day.match(text).hasMatch()
                || !QDate::fromString(text, QStringLiteral("yyyyMMdd")).isValid())) {
            *why = name + QStringLiteral("格式不正确");
            return std::nullopt;
        }
    }
    if (!range.begin.isEmpty() && !range.end.isEmpty() && range.begin > range.end) {
        *why = QStringLiteral("起始日期不能晚于终止日期");
        return std::nullopt;
    }
    return range;
}

QString amountText(double value)
{
    return QString::number(value, 'f', 2);
}

// The fund account a customer has at a fund company (the positions show the same).
QString fundAccountOf(const Customer& customer)
{
    return QStringLiteral("TA") + customer.custid;
}

Reply orderHistory(FundBook& book, const Customer& customer, const Request& request, bool fills)
{
    QString why;
    const std::optional<DateRange> range = dateRange(request, &why);
    if (!range)
        return Reply::error(errors::kBadRequest, QStringLiteral("请求参数错误：") + why);
    Table t = fills
        ? describedTable({ { "orderdate", "确认日期" }, { "opertime", "确认时间" }, { "ofcode", "基金代码" },
            { "ofname", "基金名称" }, { "~trdid", "业务名称" }, { "nav", "成交净值" },
            { "cfmamt", "确认金额" }, { "cfmqty", "确认份额" }, { "sno3", "委托编号" },
            { "taname", "基金公司" }, { "poststr", "定位串" } })
        : describedTable({ { "orderdate", "委托日期" }, { "opertime", "委托时间" }, { "ofcode", "基金代码" },
            { "ofname", "基金名称" }, { "~trdid", "业务名称" }, { "orderamt1", "委托金额" },
            { "orderqty1", "委托份额" }, { "~jj_orderstatus", "委托状态" }, { "sno3", "委托编号" },
            { "taname", "基金公司" }, { "poststr", "定位串" } });
    for (const SimFundOrder& o : book.orders()) {
        const SimFund* f = book.fund(o.code);
        if (o.custid != customer.custid || !f || !range->contains(o.date))
            continue;
        if (fills && o.status != QLatin1String("2"))
            continue;
        QVariantList row { o.date, o.time, o.code, f->name, fundTradeName(o.tradeId) };
        if (fills) {
            // A purchase buys shares at the net value; a redemption pays them out at it.
            const double nav = f->nav.toDouble();
            const double amount = o.amount.isEmpty() ? o.quantity.toDouble() * nav : o.amount.toDouble();
            const double quantity = o.quantity.isEmpty() && nav > 0 ? amount / nav : o.quantity.toDouble();
            row << f->nav << amountText(amount) << amountText(quantity);
        } else {
            row << o.amount << o.quantity << fundOrderStatusName(o.status);
        }
        row << o.sno << f->taName << o.sno;
        t.row(row);
    }
    return Reply::withTable(t);
}

Reply fundAccounts(FundBook& book, const Customer& customer)
{
    Table t = describedTable({ { "taname", "基金公司" }, { "tacode", "基金公司代码" },
        { "taacc", "基金账号" }, { "~status", "账户状态" } });
    QStringList companies;
    for (const SimFund& f : book.funds()) {
        if (companies.contains(f.taCode))
            continue;
        companies.append(f.taCode);
        t.row({ f.taName, f.taCode, fundAccountOf(customer), QStringLiteral("正常") });
    }
    return Reply::withTable(t);
}

Reply dividends(FundBook& book, const Customer& customer)
{
    Table t = describedTable({ { "ofcode", "基金代码" }, { "ofname", "基金名称" },
        { "~dividmethod", "分红方式" }, { "dividmethod", "分红方式代码" }, { "taname", "基金公司" } });
    for (const SimFundPosition& p : book.positions(customer.custid)) {
        const SimFund* f = book.fund(p.code);
        if (!f)
            continue;
        const QString method = book.dividendMethod(customer.custid, p.code);
        t.row({ p.code, f->name,
            method == QLatin1String("1") ? QStringLiteral("现金分红") : QStringLiteral("红利转投"), method,
            f->taName });
    }
    return Reply::withTable(t);
}

} // namespace

void registerFundQueryFunctions(BrokerSimulator& simulator)
{
    auto add = [&simulator](Function function, auto answer) {
        simulator.registerFunction(function.main, function.sub,
            [sim = &simulator, answer](const Request& request, BrokerState& state) {
                BrokerError error;
                const Customer* customer = state.broker().authenticate(request.body, &error);
                if (!customer)
                    return Reply::error(error.code, error.message);
                FundBook* book = FundBook::of(*sim);
                if (!book)
                    return Reply::error(errors::kBadRequest, QStringLiteral("基金业务暂停办理"));
                return answer(*book, *customer, request);
            });
    };
    add(kFundOrderHistoryFunction,
        [](FundBook& b, const Customer& c, const Request& r) { return orderHistory(b, c, r, false); });
    add(kFundFillHistoryFunction,
        [](FundBook& b, const Customer& c, const Request& r) { return orderHistory(b, c, r, true); });
    add(kFundAccountsFunction,
        [](FundBook& b, const Customer& c, const Request&) { return fundAccounts(b, c); });
    add(kFundDividendsFunction,
        [](FundBook& b, const Customer& c, const Request&) { return dividends(b, c); });
}

} // namespace brokersim
