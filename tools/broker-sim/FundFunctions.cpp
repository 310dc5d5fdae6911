#include "tools/broker-sim/FundFunctions.h"

#include "tools/broker-sim/BackOffice.h"
#include "tools/broker-sim/BrokerSimulator.h"

#include <QDateTime>
#include <QRegularExpression>
#include <cmath>

namespace brokersim {

namespace {

constexpr char kBookName[] = "lumora-fund-book";
constexpr qint32 kFundError = 3001;

Reply reply(const Request& request, const QList<DescribedTable>& tables)
{
    std::vector<VEKTCRS> sets;
    for (const DescribedTable& t : tables) {
        std::optional<VEKTCRS> set = describedRecordSet(t, request.replyEncoding());
        if (!set)
            return Reply::error(kFundError, QStringLiteral("应答生成失败"));
        sets.push_back(std::move(*set));
    }
    return Reply::raw(VEKTCRS::exportMRData(sets));
}

Reply reply(const Request& request, const DescribedTable& table)
{
    return reply(request, QList<DescribedTable> { table });
}

Reply serialReply(const Request& request, const QString& sno)
{
    return reply(request, DescribedTable().column("sno", QStringLiteral("委托编号")).row({ sno }));
}

Reply fail(const QString& message)
{
    return Reply::error(kFundError, message);
}

QDateTime chinaNow()
{
    return QDateTime::currentDateTimeUtc().addSecs(8 * 3600);
}

QString statusText(const QString& status)
{
    return status == QLatin1String("1") ? QStringLiteral("发行") : QStringLiteral("正常开放");
}

QString riskText(qint32 level)
{
    static const char* const names[] = { "低风险", "中低风险", "中风险", "中高风险", "高风险" };
    return level >= 1 && level <= 5 ? QString::fromUtf8(names[level - 1]) : QString();
}

QString tradeIdText(const QString& tradeId)
{
    if (tradeId == QLatin1String("240020"))
        return QStringLiteral("认购");
    if (tradeId == QLatin1String("240022"))
        return QStringLiteral("申购");
    if (tradeId == QLatin1String("240024"))
        return QStringLiteral("赎回");
    if (tradeId == QLatin1String("240036"))
        return QStringLiteral("转换");
    return QStringLiteral("分红设置");
}

QString orderStatusText(const QString& status)
{
    if (status == QLatin1String("2"))
        return QStringLiteral("已确认");
    if (status == QLatin1String("6"))
        return QStringLiteral("已撤单");
    return QStringLiteral("未报");
}

// Digits with at most two decimals, above zero.
std::optional<double> positive(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9]{1,13}(\\.[0-9]{1,2})?$"));
    if (!pattern.match(text).hasMatch())
        return std::nullopt;
    const double value = text.toDouble();
    return value > 0 ? std::optional<double>(value) : std::nullopt;
}

QString shares(double value)
{
    return QString::number(value, 'f', 2);
}

// An amount of at most two decimals in the back office's thousandths.
Milli toMilli(double amount)
{
    return qRound64(amount * 1000);
}

DescribedTable fundColumns()
{
    DescribedTable t;
    t.column("ofcode", QStringLiteral("基金代码"))
        .column("ofname", QStringLiteral("基金名称"))
        .column("nav", QStringLiteral("基金净值"))
        .column("~ofstatus", QStringLiteral("基金状态"))
        .column("~risklevel", QStringLiteral("风险等级"))
        .column("risklevel", QStringLiteral("风险等级代码"))
        .column("taname", QStringLiteral("基金公司"))
        .column("tacode", QStringLiteral("基金公司代码"))
        .column("~shareclass", QStringLiteral("收费方式"))
        .column("ecflag", QStringLiteral("电子合同标志"))
        .column("ischecksdx", QStringLiteral("适当性校验"))
        .column("poststr", QStringLiteral("定位串"));
    return t;
}

QStringList fundRow(const SimFund& f, qsizetype index)
{
    return { f.code, f.name, f.nav, statusText(f.status), riskText(f.riskLevel), QString::number(f.riskLevel),
        f.taName, f.taCode, QStringLiteral("前端收费"), QStringLiteral("0"),
        f.checkAppropriateness ? QStringLiteral("1") : QStringLiteral("0"), QString::number(index) };
}

struct Context {
    FundBook& book;
    BackOffice& office;
    const Customer& customer;
    const Request& request;

    QString value(const char* key) const { return request.valueOr(QString::fromLatin1(key)); }
    const SimFund* fund() const { return book.fund(value("ofcode")); }
};

using FundHandler = Reply (*)(const Context&);

Handler authenticated(FundBook* book, BackOffice* office, FundHandler handler)
{
    return [book, office, handler](const Request& request, BrokerState& state) {
        BrokerError error;
        const Customer* customer = state.broker().authenticate(request.body, &error);
        if (!customer)
            return Reply::error(error.code, error.message);
        return handler(Context { *book, *office, *customer, request });
    };
}

Reply fundList(const Context& c)
{
    const QString status = c.value("status");
    DescribedTable t = fundColumns();
    qsizetype index = 0;
    for (const SimFund& f : c.book.funds()) {
        const bool listed = status == QLatin1String("0") ? f.plans : f.status == (status == QLatin1String("1") ? QLatin1String("1") : QLatin1String("0"));
        if (listed && (status == QLatin1String("0") || status == QLatin1String("1") || status == QLatin1String("2")))
            t.row(fundRow(f, index++));
    }
    return reply(c.request, t);
}

Reply fundInfo(const Context& c)
{
    const SimFund* f = c.fund();
    if (!f)
        return fail(QStringLiteral("基金代码不存在"));
    return reply(c.request, fundColumns().row(fundRow(*f, 0)));
}

Reply positions(const Context& c)
{
    const QString code = c.value("ofcode");
    DescribedTable t;
    t.column("ofcode", QStringLiteral("基金代码"))
        .column("ofname", QStringLiteral("基金名称"))
        .column("ofbal", QStringLiteral("基金份额"))
        .column("ofavl", QStringLiteral("可用份额"))
        .column("nav", QStringLiteral("基金净值"))
        .column("currentcost", QStringLiteral("参考成本"))
        .column("marketvalue1", QStringLiteral("参考市值"))
        .column("proincome", QStringLiteral("参考盈亏"))
        .column("taname", QStringLiteral("基金公司"))
        .column("tacode", QStringLiteral("基金公司代码"))
        .column("taacc", QStringLiteral("基金账号"))
        .column("poststr", QStringLiteral("定位串"));
    for (const SimFundPosition& p : c.book.positions(c.customer.custid)) {
        const SimFund* f = c.book.fund(p.code);
        if (!f || (!code.isEmpty() && code != p.code))
            continue;
        const double market = p.balance.toDouble() * f->nav.toDouble();
        t.row({ p.code, f->name, p.balance, p.available, f->nav, p.cost, shares(market),
            shares(market - p.cost.toDouble()), f->taName, f->taCode, QStringLiteral("TA") + c.customer.custid,
            p.code });
    }
    return reply(c.request, t);
}

Reply todaysOrders(const Context& c)
{
    DescribedTable t;
    t.column("opertime", QStringLiteral("委托时间"))
        .column("ofname", QStringLiteral("基金名称"))
        .column("ofcode", QStringLiteral("基金代码"))
        .column("~trdid", QStringLiteral("业务名称"))
        .column("orderamt1", QStringLiteral("委托金额"))
        .column("orderqty1", QStringLiteral("委托份额"))
        .column("havematchqty", QStringLiteral("成交份额"))
        .column("otherofcode", QStringLiteral("转入基金代码"))
        .column("~jj_orderstatus", QStringLiteral("委托状态"))
        .column("jj_orderstatus", QStringLiteral("委托状态代码"))
        .column("sno3", QStringLiteral("委托编号"))
        .column("taname", QStringLiteral("基金公司"))
        .column("tacode", QStringLiteral("基金公司代码"))
        .column("taacc", QStringLiteral("基金账号"))
        .column("orderdate", QStringLiteral("委托日期"))
        .column("poststr", QStringLiteral("定位串"));
    for (const SimFundOrder& o : c.book.orders()) {
        const SimFund* f = c.book.fund(o.code);
        if (o.custid != c.customer.custid || !f)
            continue;
        t.row({ o.time, f->name, o.code, tradeIdText(o.tradeId), o.amount, o.quantity, QStringLiteral("0"),
            o.otherCode, orderStatusText(o.status), o.status, o.sno, f->taName, f->taCode,
            QStringLiteral("TA") + c.customer.custid, o.date, o.sno });
    }
    return reply(c.request, t);
}

SimFundOrder newOrder(const Context& c, const QString& tradeId)
{
    const QDateTime now = chinaNow();
    SimFundOrder order;
    order.custid = c.customer.custid;
    order.sno = c.book.nextSerial();
    order.tradeId = tradeId;
    order.code = c.value("ofcode");
    order.date = now.toString(QStringLiteral("yyyyMMdd"));
    order.time = now.toString(QStringLiteral("HHmmss"));
    return order;
}

// Whether a buyer above their level has signed the disclosure of this fund;
// the serial was issued for `signedCode` (a transform's is the source's).
bool signedIfNeeded(const Context& c, const SimFund& f, const QString& serial, const QString& signedCode)
{
    if (!f.checkAppropriateness || c.book.riskLevel(c.customer.custid) >= f.riskLevel)
        return true;
    return c.book.signNumberIssued(c.customer.custid, signedCode, serial);
}

Reply buy(const Context& c)
{
    const QString tradeId = c.value("trdid");
    const SimFund* f = c.fund();
    if (!f)
        return fail(QStringLiteral("基金代码不存在"));
    const bool subscribe = tradeId == QLatin1String("240020");
    if (!subscribe && tradeId != QLatin1String("240022"))
        return fail(QStringLiteral("业务类别不正确"));
    if (c.request.function.sub != (subscribe ? kFundSubscribeFunction.sub : kFundPurchaseFunction.sub))
        return fail(QStringLiteral("业务类别与功能号不符"));
    if (f->status != (subscribe ? QLatin1String("1") : QLatin1String("0")))
        return fail(subscribe ? QStringLiteral("该基金不在认购期") : QStringLiteral("该基金暂停申购"));
    if (c.value("tacode") != f->taCode)
        return fail(QStringLiteral("基金公司代码不符"));
    if (!positive(c.value("orderamt")))
        return fail(QStringLiteral("委托金额不正确"));
    if (!signedIfNeeded(c, *f, c.value("risksignsno"), f->code))
        return fail(QStringLiteral("请先签署风险揭示书"));
    // The money leaves the capital account of the prefix when the order is
    // taken, and the money flow books it; a cancel gives it back.
    const double amount = *positive(c.value("orderamt"));
    const QString fundId = c.value("fundid");
    BackOffice::Account& account = c.office.account(c.customer);
    if (fundId.isEmpty() || toMilli(amount) > account.money[fundId].available)
        return fail(QStringLiteral("可用资金不足"));
    SimFundOrder order = newOrder(c, tradeId);
    BackOffice::moveMoney(account, fundId,
        subscribe ? QStringLiteral("基金认购") : QStringLiteral("基金申购"), -toMilli(amount), order.sno);
    order.amount = shares(amount);
    order.fundId = fundId;
    c.book.orders().append(order);
    return serialReply(c.request, order.sno);
}

SimFundPosition* holding(const Context& c, const QString& code)
{
    for (SimFundPosition& p : c.book.positions(c.customer.custid)) {
        if (p.code == code)
            return &p;
    }
    return nullptr;
}

// Takes the shares from the available ones; an error text when they are not there.
std::optional<QString> takeShares(const Context& c, const QString& code, const QString& quantity)
{
    const std::optional<double> wanted = positive(quantity);
    if (!wanted)
        return QStringLiteral("委托份额不正确");
    SimFundPosition* p = holding(c, code);
    if (!p || p->available.toDouble() + 1e-9 < *wanted)
        return QStringLiteral("可用份额不足");
    p->available = shares(p->available.toDouble() - *wanted);
    return std::nullopt;
}

Reply redeem(const Context& c)
{
    if (!c.fund())
        return fail(QStringLiteral("基金代码不存在"));
    const QString way = c.value("redeemtype");
    if (way != QLatin1String("0") && way != QLatin1String("1"))
        return fail(QStringLiteral("巨额赎回方式不正确"));
    if (std::optional<QString> problem = takeShares(c, c.value("ofcode"), c.value("orderqty")))
        return fail(*problem);
    SimFundOrder order = newOrder(c, QStringLiteral("240024"));
    order.quantity = shares(*positive(c.value("orderqty")));
    c.book.orders().append(order);
    return serialReply(c.request, order.sno);
}

Reply transform(const Context& c)
{
    const SimFund* f = c.fund();
    const SimFund* target = c.book.fund(c.value("otherofcode"));
    if (!f || !target)
        return fail(QStringLiteral("基金代码不存在"));
    // The company named is the one of the fund bought.
    if (c.value("tacode") != target->taCode)
        return fail(QStringLiteral("转入基金公司代码不符"));
    if (c.value("FID_YWDM") != QLatin1String("036"))
        return fail(QStringLiteral("业务代码不正确"));
    if (!signedIfNeeded(c, *target, c.value("risksignsno"), f->code))
        return fail(QStringLiteral("请先签署风险揭示书"));
    if (std::optional<QString> problem = takeShares(c, f->code, c.value("orderqty")))
        return fail(*problem);
    SimFundOrder order = newOrder(c, QStringLiteral("240036"));
    order.quantity = shares(*positive(c.value("orderqty")));
    order.otherCode = target->code;
    c.book.orders().append(order);
    return serialReply(c.request, order.sno);
}

Reply cancel(const Context& c)
{
    const QString sno = c.value("sno");
    for (SimFundOrder& o : c.book.orders()) {
        if (o.custid != c.customer.custid || o.sno != sno)
            continue;
        if (o.code != c.value("ofcode") || o.date != c.value("orderdate"))
            return fail(QStringLiteral("委托信息不符"));
        if (o.status == QLatin1String("6"))
            return fail(QStringLiteral("该委托已撤单"));
        if (o.status != QLatin1String("0"))
            return fail(QStringLiteral("该委托已处理，不能撤单"));
        o.status = QStringLiteral("6");
        if (!o.quantity.isEmpty()) {
            if (SimFundPosition* p = holding(c, o.code))
                p->available = shares(p->available.toDouble() + o.quantity.toDouble());
        }
        if (!o.fundId.isEmpty())
            BackOffice::moveMoney(c.office.account(c.customer), o.fundId,
                o.tradeId == QLatin1String("240020") ? QStringLiteral("基金认购撤单")
                                                     : QStringLiteral("基金申购撤单"),
                toMilli(o.amount.toDouble()), o.sno);
        return serialReply(c.request, c.book.nextSerial());
    }
    return fail(QStringLiteral("委托不存在"));
}

Reply bonusQuery(const Context& c)
{
    if (!c.fund())
        return fail(QStringLiteral("基金代码不存在"));
    return reply(c.request,
        DescribedTable()
            .column("dividmethod", QStringLiteral("分红方式"))
            .row({ c.book.dividendMethod(c.customer.custid, c.value("ofcode")) }));
}

Reply bonusSet(const Context& c)
{
    const QString method = c.value("dividmethod");
    if (!c.fund())
        return fail(QStringLiteral("基金代码不存在"));
    if (method != QLatin1String("0") && method != QLatin1String("1"))
        return fail(QStringLiteral("分红方式不正确"));
    if (!holding(c, c.value("ofcode")))
        return fail(QStringLiteral("未持有该基金"));
    c.book.setDividendMethod(c.customer.custid, c.value("ofcode"), method);
    SimFundOrder order = newOrder(c, QStringLiteral("240029"));
    c.book.orders().append(order);
    return serialReply(c.request, order.sno);
}

// Whether a trade code of the appropriateness check fits the fund: "0"
// subscribe only in the subscription period, "2" plan only where the fund
// has plans; "1" purchase and "3" transform are the trade's to refuse.
bool tradeCodeFits(const SimFund& f, const QString& code)
{
    if (code == QLatin1String("0"))
        return f.status == QLatin1String("1");
    if (code == QLatin1String("2"))
        return f.plans;
    return code == QLatin1String("1") || code == QLatin1String("3");
}

Reply appropriateness(const Context& c)
{
    const SimFund* f = c.fund();
    if (!f)
        return fail(QStringLiteral("基金代码不存在"));
    if (c.value("tacode") != f->taCode)
        return fail(QStringLiteral("基金公司代码不符"));
    if (!tradeCodeFits(*f, c.value("oftrdid")))
        return fail(QStringLiteral("业务类别不正确"));
    const bool suits = !f->checkAppropriateness || c.book.riskLevel(c.customer.custid) >= f->riskLevel;
    DescribedTable status;
    status.info = QStringLiteral("sdxstatus");
    status.column("sdx_status", QStringLiteral("适当性状态")).row({ suits ? QStringLiteral("1") : QStringLiteral("0") });
    if (suits)
        return reply(c.request, status);
    DescribedTable notices;
    notices.info = QStringLiteral("sdxxy");
    for (const char* key : { "title", "content", "type", "webaddr", "ans", "locktime", "tips", "showtips" })
        notices.column(key, QString());
    notices.row({ QStringLiteral("产品风险等级提示"),
        QStringLiteral("您的风险承受能力等级为%1，本基金风险等级为%2，高于您的风险承受能力。")
            .arg(riskText(c.book.riskLevel(c.customer.custid)), riskText(f->riskLevel)),
        QStringLiteral("1"), QString(), QString(), QStringLiteral("5"), QStringLiteral("本人已知晓上述风险"),
        QString() });
    notices.row({ QStringLiteral("风险揭示书"),
        QStringLiteral("基金投资有风险，基金的过往业绩并不预示其未来表现。请您仔细阅读基金合同和招募说明书。"),
        QStringLiteral("1"), QString(),
        QStringLiteral("tc_mfuncno=500&tc_sfuncno=%1&ofcode=%2&tacode=%3")
            .arg(kFundSignNoticeFunction.sub)
            .arg(f->code, f->taCode),
        QStringLiteral("10"), QStringLiteral("本人已阅读并签署风险揭示书"), QString() });
    return reply(c.request, { status, notices });
}

Reply signNotice(const Context& c)
{
    if (!c.fund())
        return fail(QStringLiteral("基金代码不存在"));
    return reply(c.request, DescribedTable().column("msgok", QString()).row({ QStringLiteral("签署成功") }));
}

Reply signNumber(const Context& c)
{
    const SimFund* f = c.fund();
    if (!f || f->taCode != c.value("tacode"))
        return fail(QStringLiteral("基金代码不存在"));
    return reply(c.request,
        DescribedTable()
            .column("risksignsno", QStringLiteral("签署流水号"))
            .row({ c.book.issueSignNumber(c.customer.custid, f->code) }));
}

Reply riskMatch(const Context& c)
{
    const SimFund* f = c.fund();
    if (!f)
        return fail(QStringLiteral("基金代码不存在"));
    const bool suits = c.book.riskLevel(c.customer.custid) >= f->riskLevel;
    return reply(c.request,
        DescribedTable()
            .column("errcode", QString())
            .column("errmsg", QString())
            .row({ suits ? QStringLiteral("0") : QStringLiteral("1"),
                suits ? QStringLiteral("风险等级匹配") : QStringLiteral("基金风险等级高于您的风险承受能力") }));
}

Reply planOpen(const Context& c)
{
    const SimFund* f = c.fund();
    if (c.value("action") != QLatin1String("A"))
        return fail(QStringLiteral("操作类别不正确"));
    if (!f || !f->plans)
        return fail(QStringLiteral("该基金不支持定投"));
    const QString period = c.value("actionmode");
    const int day = c.value("sendday").toInt();
    if ((period != QLatin1String("0") && period != QLatin1String("3")) || day < 1
        || day > (period == QLatin1String("3") ? 5 : 26))
        return fail(QStringLiteral("扣款周期或扣款日期不正确"));
    if (!positive(c.value("orderamt")))
        return fail(QStringLiteral("每期投资金额不正确"));
    const QDate begin = QDate::fromString(c.value("begindate"), QStringLiteral("yyyyMMdd"));
    const QDate end = QDate::fromString(c.value("enddate"), QStringLiteral("yyyyMMdd"));
    if (!begin.isValid() || !end.isValid() || end < begin)
        return fail(QStringLiteral("开始日期或结束日期不正确"));
    if (c.value("tacode") != f->taCode)
        return fail(QStringLiteral("基金公司代码不符"));
    SimFundPlan plan;
    plan.custid = c.customer.custid;
    plan.sno = c.book.nextSerial();
    plan.sendSn = QStringLiteral("S") + plan.sno;
    plan.code = f->code;
    plan.amount = shares(*positive(c.value("orderamt")));
    plan.periodCode = period;
    plan.paymentDay = c.value("sendday");
    plan.beginDate = c.value("begindate");
    plan.endDate = c.value("enddate");
    plan.applyDate = chinaNow().toString(QStringLiteral("yyyyMMdd"));
    c.book.plans().append(plan);
    return serialReply(c.request, plan.sno);
}

Reply planList(const Context& c)
{
    DescribedTable t;
    t.column("orderdate", QStringLiteral("申请日期"))
        .column("ofname", QStringLiteral("基金名称"))
        .column("ofcode", QStringLiteral("基金代码"))
        .column("orderamt1", QStringLiteral("每期金额"))
        .column("~actionmode", QStringLiteral("扣款周期"))
        .column("sendday", QStringLiteral("扣款日期"))
        .column("begindate", QStringLiteral("开始日期"))
        .column("enddate", QStringLiteral("结束日期"))
        .column("sendsn", QStringLiteral("发送流水号"))
        .column("sno3", QStringLiteral("委托序号"))
        .column("taname", QStringLiteral("基金公司"))
        .column("tacode", QStringLiteral("基金公司代码"))
        .column("poststr", QStringLiteral("定位串"));
    for (const SimFundPlan& p : c.book.plans()) {
        const SimFund* f = c.book.fund(p.code);
        if (p.custid != c.customer.custid || !f)
            continue;
        t.row({ p.applyDate, f->name, p.code, p.amount,
            p.periodCode == QLatin1String("3") ? QStringLiteral("每周") : QStringLiteral("每月"), p.paymentDay,
            p.beginDate, p.endDate, p.sendSn, p.sno, f->taName, f->taCode, p.sno });
    }
    return reply(c.request, t);
}

Reply planCancel(const Context& c)
{
    if (c.value("action") != QLatin1String("D"))
        return fail(QStringLiteral("操作类别不正确"));
    QList<SimFundPlan>& plans = c.book.plans();
    for (qsizetype i = 0; i < plans.size(); ++i) {
        const SimFundPlan& p = plans[i];
        if (p.custid != c.customer.custid || p.sno != c.value("sno"))
            continue;
        if (p.code != c.value("ofcode") || p.sendSn != c.value("sendsn") || p.paymentDay != c.value("sendday"))
            return fail(QStringLiteral("定投信息不符"));
        plans.removeAt(i);
        return serialReply(c.request, c.book.nextSerial());
    }
    return fail(QStringLiteral("定投不存在"));
}

Reply netValues(const Context& c)
{
    const SimFund* f = c.fund();
    if (!f)
        return fail(QStringLiteral("基金代码不存在"));
    bool ok = false;
    const qint32 count = c.value("reccount").toInt(&ok);
    if (!ok || count < 1 || count > 9999)
        return fail(QStringLiteral("记录数不正确"));
    DescribedTable t;
    t.column("date", QStringLiteral("日期"))
        .column("NetValue", QStringLiteral("单位净值"))
        .column("TotalValue", QStringLiteral("累计净值"));
    for (const FundBook::NetValue& v : c.book.netValues(*f, count, chinaNow().date()))
        t.row({ v.date, v.net, v.total });
    return reply(c.request, t);
}

} // namespace

std::optional<VEKTCRS> describedRecordSet(const DescribedTable& t, qint32 encoding)
{
    Table table;
    table.info = t.info;
    for (const auto& [key, desc] : t.columns)
        table.described(key, desc);
    for (const QStringList& values : t.rows)
        table.row(QVariantList(values.begin(), values.end()));
    return toRecordSet(table, encoding);
}


FundBook::FundBook(QObject* parent)
    : QObject(parent)
{
    setObjectName(QString::fromLatin1(kBookName));
    reset();
}

FundBook* FundBook::of(BrokerSimulator& simulator)
{
    return simulator.findChild<FundBook*>(QString::fromLatin1(kBookName), Qt::FindDirectChildrenOnly);
}

void FundBook::reset()
{
    const QString ql = QStringLiteral("青岚基金"), yf = QStringLiteral("远帆基金"), ss = QStringLiteral("松石基金");
    funds_ = {
        { "000001", QStringLiteral("青岚成长混合"), "98", ql, "0", 3, true, "1.0230", true },
        { "000011", QStringLiteral("远帆大盘精选"), "05", yf, "0", 4, true, "2.1340", true },
        { "110011", QStringLiteral("远帆中小盘"), "05", yf, "0", 3, false, "3.4510", true },
        { "110022", QStringLiteral("远帆消费行业"), "05", yf, "0", 4, true, "2.8760", false },
        { "202001", QStringLiteral("松石稳健成长"), "50", ss, "0", 2, false, "1.1200", true },
        { "202301", QStringLiteral("松石收益宝"), "50", ss, "0", 1, false, "1.0000", false },
        { "009901", QStringLiteral("青岚新锦程"), "98", ql, "1", 3, true, "1.0000", false },
        { "009902", QStringLiteral("远帆新兴成长"), "05", yf, "1", 5, true, "1.0000", false },
    };
    positions_.clear();
    positions_.insert(QStringLiteral("010100000001"),
        { { "000001", "10000.00", "10000.00", "9800.00" }, { "110011", "2000.00", "2000.00", "6500.00" },
            { "202001", "5000.00", "5000.00", "5400.00" } });
    riskLevels_.clear();
    orders_.clear();
    plans_.clear();
    dividends_.clear();
    signNumbers_.clear();
    serial_ = 0;
}

const SimFund* FundBook::fund(const QString& code) const
{
    for (const SimFund& f : funds_) {
        if (f.code == code)
            return &f;
    }
    return nullptr;
}

QList<SimFundPosition>& FundBook::positions(const QString& custid)
{
    return positions_[custid];
}

void FundBook::processOrders()
{
    for (SimFundOrder& o : orders_) {
        if (o.status == QLatin1String("0"))
            o.status = QStringLiteral("2");
    }
}

QString FundBook::dividendMethod(const QString& custid, const QString& code) const
{
    return dividends_.value(custid + u'/' + code, QStringLiteral("0"));
}

void FundBook::setDividendMethod(const QString& custid, const QString& code, const QString& method)
{
    dividends_.insert(custid + u'/' + code, method);
}

QString FundBook::issueSignNumber(const QString& custid, const QString& code)
{
    const QString serial = QStringLiteral("RS") + nextSerial();
    signNumbers_.insert(custid + u'/' + code, serial);
    return serial;
}

bool FundBook::signNumberIssued(const QString& custid, const QString& code, const QString& serial) const
{
    return !serial.isEmpty() && signNumbers_.value(custid + u'/' + code) == serial;
}

QString FundBook::nextSerial()
{
    return QString::number(100000 + ++serial_);
}

QList<FundBook::NetValue> FundBook::netValues(const SimFund& fund, qint32 count, const QDate& today) const
{
    // A gentle wave around today's value, the same on every run for a fund.
    const qint64 nav = qRound64(fund.nav.toDouble() * 10000);
    const int phase = fund.code.toInt() % 17;
    QList<NetValue> values;
    QDate day = today;
    for (qint32 i = 0; i < count; ++i) {
        while (day.dayOfWeek() > 5)
            day = day.addDays(-1);
        const qint64 wave = qint64(std::lround(std::sin((i + phase) / 9.0) * double(nav) * 0.03)) - i * nav / 2000;
        const qint64 net = std::max<qint64>(nav + (i == 0 ? 0 : wave), 1);
        values.append({ day.toString(QStringLiteral("yyyy-MM-dd")), QString::asprintf("%lld.%04lld", net / 10000, net % 10000),
            QString::asprintf("%lld.%04lld", (net + 5000) / 10000, (net + 5000) % 10000) });
        day = day.addDays(-1);
    }
    return values;
}

void registerFundFunctions(BrokerSimulator& simulator)
{
    auto* book = new FundBook(&simulator);
    BackOffice* office = backOffice(simulator);
    Q_ASSERT(office); // registered before the funds
    const std::pair<Function, FundHandler> table[] = {
        { kFundListFunction, fundList },
        { kFundInfoFunction, fundInfo },
        { kFundPositionFunction, positions },
        { kFundOrdersFunction, todaysOrders },
        { kFundRedeemFunction, redeem },
        { kFundCancelFunction, cancel },
        { kFundBonusQueryFunction, bonusQuery },
        { kFundBonusSetFunction, bonusSet },
        { kFundTransformFunction, transform },
        { kFundAppropriatenessFunction, appropriateness },
        { kFundSignNumberFunction, signNumber },
        { kFundSignNoticeFunction, signNotice },
        { kFundSubscribeFunction, buy },
        { kFundPurchaseFunction, buy },
        { kFundRiskMatchFunction, riskMatch },
        { kFundPlanOpenFunction, planOpen },
        { kFundPlanListFunction, planList },
        { kFundPlanCancelFunction, planCancel },
        { kFundNetValueFunction, netValues },
    };
    for (const auto& [function, handler] : table)
        simulator.registerFunction(function.main, function.sub, authenticated(book, office, handler));
}

QString fundTradeName(const QString& tradeId)
{
    return tradeIdText(tradeId);
}

QString fundOrderStatusName(const QString& status)
{
    return orderStatusText(status);
}

} // namespace brokersim
