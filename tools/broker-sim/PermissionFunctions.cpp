#include "tools/broker-sim/PermissionFunctions.h"

#include "tools/broker-sim/Broker.h"
#include "tools/broker-sim/BrokerSimulator.h"
#include "tools/broker-sim/RiskFunctions.h"

namespace brokersim {

namespace {

constexpr char kBookName[] = "lumora-permission-book";
constexpr qint32 kUnknownPermission = 3001;
constexpr qint32 kUnknownAgreement = 3002;
constexpr qint32 kNotAllSigned = 3003;
constexpr qint32 kNoQuestionnaire = 3004;

QString key(const QString& a, const QString& b)
{
    return a + u'/' + b;
}

QString link(Function f, const QString& pairs)
{
    return QStringLiteral("tc_mfuncno=%1&tc_sfuncno=%2&%3").arg(f.main).arg(f.sub).arg(pairs);
}

const PermissionSpec* findPermission(const QString& code)
{
    for (const PermissionSpec& p : permissionCatalogue())
        if (p.code == code)
            return &p;
    return nullptr;
}

// The customer's shareholder account of the market; for the general
// permissions his first one when he has none of it. A Stock Connect
// permission shows a Stock Connect account or none.
QString secuidOf(const Customer& c, qint32 market, bool connect)
{
    for (const ShareholderAccount& s : c.shareholders)
        if (s.market == market)
            return s.secuid;
    return c.shareholders.isEmpty() || connect ? QString() : c.shareholders.front().secuid;
}

Table contractColumns()
{
    Table t;
    for (const char* name : { "type", "title", "content", "webaddr", "ans", "locktime", "tips", "showtips" })
        t.column(QString::fromLatin1(name));
    return t;
}

// The customer of the request's prefix and the permission its "rightcode"
// names; the refusal when either is unknown.
std::optional<Reply> customerAndPermission(
    const Request& request, BrokerState& state, const Customer** customer, const PermissionSpec** permission)
{
    BrokerError error;
    *customer = state.broker().authenticate(request.body, &error);
    if (!*customer)
        return Reply::error(error.code, error.message);
    *permission = findPermission(request.valueOr(QStringLiteral("rightcode")));
    if (!*permission)
        return Reply::error(kUnknownPermission, QStringLiteral("权限不存在"));
    return std::nullopt;
}

// The general list (500 / 209) leaves out the Stock Connect permissions; the
// Stock Connect list (500 / 259, "market=5") holds only them.
Reply list(const PermissionBook& book, const Request& request, BrokerState& state, bool connect)
{
    BrokerError error;
    const Customer* c = state.broker().authenticate(request.body, &error);
    if (!c)
        return Reply::error(error.code, error.message);
    Table t;
    for (const char* name : { "rightname", "secuid", "right", "rightshowfunc", "rightfunc", "~market" })
        t.column(QString::fromLatin1(name));
    for (const PermissionSpec& p : permissionCatalogue()) {
        if ((p.shareholderMarket == 5) != connect)
            continue;
        const bool opened = book.isOpened(c->custid, p.code);
        t.row({ p.name, secuidOf(*c, p.shareholderMarket, connect),
            opened ? QStringLiteral("1") : QStringLiteral("0"),
            link(kPermissionContractFunction, QStringLiteral("rightcode=") + p.code),
            link(kPermissionOpenFunction,
                QStringLiteral("rightcode=%1&opertype=%2")
                    .arg(p.code, opened ? QStringLiteral("0") : QStringLiteral("1"))),
            Broker::marketName(p.shareholderMarket) });
    }
    return Reply::withTable(t);
}

Reply contracts(const PermissionBook& book, quint16 httpPort, const Request& request, BrokerState& state)
{
    const Customer* c = nullptr;
    const PermissionSpec* p = nullptr;
    if (std::optional<Reply> refused = customerAndPermission(request, state, &c, &p))
        return *refused;
    Table t = contractColumns();
    if (book.isOpened(c->custid, p->code)) {
        // Closing asks only for a reading of what it means.
        t.row({ QStringLiteral("T"), QStringLiteral("关闭%1说明").arg(p->name),
            QStringLiteral("关闭后您将不能再进行该类业务的交易，已有持仓不受影响。"), QString(), QString(),
            QStringLiteral("0"), QString(), QString() });
        return Reply::withTable(t);
    }
    QList<Table> extra;
    for (const PermissionStep& s : p->steps) {
        const QString ans = s.agreementId.isEmpty()
            ? QString()
            : link(kPermissionSignFunction, QStringLiteral("rightcode=%1&agmtid=%2").arg(p->code, s.agreementId));
        switch (s.kind) {
        case PermissionStep::Kind::Text:
            t.row({ QStringLiteral("T"), s.title, s.content, QString(), ans, QString::number(s.locktime), s.tips,
                s.showtips });
            break;
        case PermissionStep::Kind::Web:
            t.row({ QStringLiteral("W"), s.title, QString(),
                QStringLiteral("http://127.0.0.1:%1%2").arg(httpPort).arg(s.page), ans, QString::number(s.locktime),
                s.tips, s.showtips });
            break;
        case PermissionStep::Kind::Questionnaire:
            extra.append(riskQuestionnaireTable());
            t.row({ QStringLiteral("answer"), s.title, QString(), QString::number(1 + extra.size()), QString(),
                QStringLiteral("0"), QString(), QString() });
            break;
        }
    }
    extra.prepend(t);
    return Reply::withTables(extra);
}

Reply signAgreement(PermissionBook& book, const Request& request, BrokerState& state)
{
    BrokerError error;
    const Customer* c = state.broker().authenticate(request.body, &error);
    if (!c)
        return Reply::error(error.code, error.message);
    const PermissionSpec* p = findPermission(request.valueOr(QStringLiteral("rightcode")));
    const QString id = request.valueOr(QStringLiteral("agmtid"));
    const PermissionStep* step = nullptr;
    if (p && !id.isEmpty()) {
        for (const PermissionStep& s : p->steps)
            if (s.agreementId == id)
                step = &s;
    }
    if (!step)
        return Reply::error(kUnknownAgreement, QStringLiteral("协议不存在"));
    book.sign(c->custid, id);
    // Web agreements are signed without a message.
    const QString msg = step->kind == PermissionStep::Kind::Web ? QString()
                                                                 : QStringLiteral("《%1》签署成功").arg(step->title);
    return Reply::withTable(Table().column(QStringLiteral("msg")).row({ msg }));
}

Reply open(PermissionBook& book, const RiskBook* risk, const Request& request, BrokerState& state)
{
    const Customer* c = nullptr;
    const PermissionSpec* p = nullptr;
    if (std::optional<Reply> refused = customerAndPermission(request, state, &c, &p))
        return *refused;
    const bool opening = request.valueOr(QStringLiteral("opertype")) == QLatin1String("1");
    if (opening) {
        for (const PermissionStep& s : p->steps) {
            if (!s.agreementId.isEmpty() && !book.isSigned(c->custid, s.agreementId))
                return Reply::error(kNotAllSigned, QStringLiteral("请先签署《%1》").arg(s.title));
            if (s.kind == PermissionStep::Kind::Questionnaire && (!risk || !risk->score(c->custid)))
                return Reply::error(kNoQuestionnaire, QStringLiteral("请先完成风险承受能力评估"));
        }
    }
    book.setOpened(c->custid, p->code, opening);
    // Opening again later needs the agreements signed again.
    for (const PermissionStep& s : p->steps)
        book.unsign(c->custid, s.agreementId);
    return Reply::withTable(Table().column(QStringLiteral("~msgok")).row(
        { QStringLiteral("%1%2成功").arg(p->name, opening ? QStringLiteral("开通") : QStringLiteral("关闭")) }));
}

PermissionStep text(const char* id, const QString& title, const QString& content, qint64 locktime,
    const QString& tips, const QString& showtips = {})
{
    return { PermissionStep::Kind::Text, QString::fromLatin1(id), title, content, QString(), locktime, tips,
        showtips };
}

} // namespace

const std::vector<PermissionSpec>& permissionCatalogue()
{
    static const std::vector<PermissionSpec> catalogue {
        { QStringLiteral("cyb"), QStringLiteral("创业板交易权限"), 0, false,
            {
                text("cyb-risk", QStringLiteral("创业板投资风险揭示书"),
                    QStringLiteral("创业板股票价格波动较大，投资者应充分了解创业板市场的投资风险。"), 3,
                    QStringLiteral("本人已阅读并同意《创业板投资风险揭示书》"),
                    QStringLiteral("请仔细阅读协议内容")),
                { PermissionStep::Kind::Web, QStringLiteral("cyb-rule"), QStringLiteral("创业板交易特别规定"),
                    QString(), QStringLiteral("/agreements/cyb-rule.html"), 0,
                    QStringLiteral("本人已阅读并同意《创业板交易特别规定》"), QString() },
                { PermissionStep::Kind::Questionnaire, QString(), QStringLiteral("风险承受能力评估"),
                    QString(), QString(), 0, QString(), QString() },
            } },
        { QStringLiteral("fxjs"), QStringLiteral("风险警示股票交易权限"), 1, false,
            { text("fxjs-risk", QStringLiteral("风险警示股票风险揭示书"),
                QStringLiteral("风险警示股票存在退市风险，请审慎参与。"), 0,
                QStringLiteral("本人已阅读并同意《风险警示股票风险揭示书》")) } },
        { QStringLiteral("tszl"), QStringLiteral("退市整理股票交易权限"), 1, true,
            { text("tszl-risk", QStringLiteral("退市整理股票风险揭示书"),
                QStringLiteral("退市整理期股票将被终止上市，请审慎参与。"), 0,
                QStringLiteral("本人已阅读并同意《退市整理股票风险揭示书》")) } },
        { QStringLiteral("hgt"), QStringLiteral("港股通交易权限"), 5, true,
            { text("hgt-risk", QStringLiteral("港股通交易风险揭示书"),
                QStringLiteral("港股通股票以港元报价、人民币交收，存在汇率风险，交易规则与内地市场不同。"), 0,
                QStringLiteral("本人已阅读并同意《港股通交易风险揭示书》")) } },
    };
    return catalogue;
}

PermissionBook::PermissionBook(QObject* parent)
    : QObject(parent)
{
    setObjectName(QString::fromLatin1(kBookName));
}

PermissionBook* PermissionBook::of(BrokerSimulator& simulator)
{
    return simulator.findChild<PermissionBook*>(QString::fromLatin1(kBookName), Qt::FindDirectChildrenOnly);
}

bool PermissionBook::isOpened(const QString& custid, const QString& code) const
{
    const auto it = opened_.constFind(key(custid, code));
    if (it != opened_.cend())
        return *it;
    const PermissionSpec* p = findPermission(code);
    return p && p->openedAtStart;
}

void PermissionBook::setOpened(const QString& custid, const QString& code, bool opened)
{
    opened_.insert(key(custid, code), opened);
}

bool PermissionBook::isSigned(const QString& custid, const QString& agreementId) const
{
    return signed_.contains(key(custid, agreementId));
}

void PermissionBook::sign(const QString& custid, const QString& agreementId)
{
    signed_.insert(key(custid, agreementId));
}

void PermissionBook::unsign(const QString& custid, const QString& agreementId)
{
    signed_.remove(key(custid, agreementId));
}

void PermissionBook::reset()
{
    opened_.clear();
    signed_.clear();
}

void registerPermissionFunctions(BrokerSimulator& simulator)
{
    for (const PermissionSpec& p : permissionCatalogue()) {
        for (const PermissionStep& s : p.steps) {
            if (s.kind == PermissionStep::Kind::Web)
                simulator.registerPage(s.page.toLatin1(),
                    QStringLiteral("<html><head><meta charset=\"utf-8\"><title>%1</title></head><body><h3>%1</h3>"
                                   "<p>投资者参与%2前，应当认真阅读本规定，了解相关业务规则与风险。</p></body></html>")
                        .arg(s.title, p.name));
        }
    }
    auto* book = new PermissionBook(&simulator);
    BrokerSimulator* sim = &simulator;
    auto add = [&](Function f, Handler h) { simulator.registerFunction(f.main, f.sub, std::move(h)); };
    add(kPermissionListFunction, [book](const Request& r, BrokerState& s) { return list(*book, r, s, false); });
    add(kConnectPermissionListFunction, [book](const Request& r, BrokerState& s) {
        if (r.valueOr(QStringLiteral("func")) != QLatin1String("s") || r.valueOr(QStringLiteral("market")) != QLatin1String("5"))
            return Reply::error(kUnknownPermission, QStringLiteral("权限类别错误"));
        return list(*book, r, s, true);
    });
    add(kPermissionContractFunction,
        [book, sim](const Request& r, BrokerState& s) { return contracts(*book, sim->httpPort(), r, s); });
    add(kPermissionSignFunction, [book](const Request& r, BrokerState& s) { return signAgreement(*book, r, s); });
    add(kPermissionOpenFunction,
        [book, sim](const Request& r, BrokerState& s) { return open(*book, RiskBook::of(*sim), r, s); });
}

} // namespace brokersim
