#include "tools/broker-sim/LoginFunctions.h"

#include "tools/broker-sim/Broker.h"
#include "tools/broker-sim/BrokerSimulator.h"

namespace brokersim {

namespace {

Reply refuse(const BrokerError& e)
{
    return Reply::error(e.code, e.message);
}

Reply refuse(qint32 code)
{
    return refuse(brokerError(code));
}

bool isMarketInput(const QString& inputType)
{
    return inputType.size() == 1 && QStringLiteral("012367").contains(inputType);
}

// The captcha and the trade login ride on the TC session: without one the
// client is told to fetch a session and send again.
bool hasSession(const Request& request, const BrokerState& state)
{
    return state.isValidSession(request);
}

QString sessionKey(const Request& request)
{
    return request.session.toLower();
}

// Texts that the reply echoes back in the common prefix must stay within the
// client's fields.
std::optional<BrokerError> checkCredentials(const QString& password, const QString& netaddr)
{
    if (password.size() > Broker::kMaxPasswordLength)
        return brokerError(errors::kBadRequest, QStringLiteral("交易密码过长"));
    if (netaddr.size() > Broker::kMaxNetAddrLength)
        return brokerError(errors::kBadRequest, QStringLiteral("网络地址过长"));
    return std::nullopt;
}

// The three record sets of a login reply: the customer, the shareholder
// accounts, the last-login notice.
QList<Table> accountTables(const Customer& c, const QString& prefix, const LastLogin& previous)
{
    Table customer;
    customer.column(QStringLiteral("singleflag"))
        .column(QStringLiteral("custid"))
        .column(QStringLiteral("name"))
        .column(QStringLiteral("com_url"))
        .column(QStringLiteral("prompt"))
        .row({ QString::number(c.singleFlag), c.custid, c.name, prefix, c.prompt });

    Table holders;
    holders.column(QStringLiteral("~market"))
        .column(QStringLiteral("market"))
        .column(QStringLiteral("secuid"))
        .column(QStringLiteral("~secuidType"));
    for (const ShareholderAccount& s : c.shareholders)
        holders.row(
            { Broker::marketName(s.market), QString::number(s.market), s.secuid, QString::number(s.type) });

    Table notice;
    const QString content = previous.time.isEmpty()
        ? QStringLiteral("这是您的首次登录。")
        : QStringLiteral("上次登录时间：%1\n上次登录地址：%2").arg(previous.time, previous.address);
    notice.column(QStringLiteral("title"))
        .column(QStringLiteral("content"))
        .row({ QStringLiteral("上次登录信息"), content });
    return { customer, holders, notice };
}

Reply terminalId(const Request& request, BrokerState& state)
{
    if (request.valueOr(QStringLiteral("soft_name")).isEmpty())
        return refuse(brokerError(errors::kBadRequest, QStringLiteral("缺少软件名称")));
    return Reply::withTable(Table().column(QStringLiteral("UTID")).row({ state.issueTerminalId() }));
}

QString portText(const QString& port, const BrokerSimulator& sim)
{
    if (port == QLatin1String("{tcPort}"))
        return QString::number(sim.tcPort());
    if (port == QLatin1String("{httpPort}"))
        return QString::number(sim.httpPort());
    return port;
}

QString serverList(const QList<ServerEntry>& servers, const BrokerSimulator& sim)
{
    QStringList pieces;
    for (const ServerEntry& s : servers)
        pieces.append(s.name + u':' + s.address + u':' + portText(s.port, sim));
    return pieces.join(u',');
}

Reply appLogin(const Request& request, BrokerState& state, const BrokerSimulator& sim)
{
    Broker& broker = state.broker();
    const QString utid = request.valueOr(QStringLiteral("utid"));
    if (broker.take90001() || utid.isEmpty() || !state.knowsTerminalId(utid))
        return refuse(errors::kTerminalIdUnknown);
    const BrokerData& data = broker.data();

    Table servers = serverListsTable();
    for (const ServerGroup& g : data.servers)
        servers.row({ g.provider, serverList(g.quote, sim), serverList(g.trade, sim) });
    Table branchVersion;
    branchVersion.column(QStringLiteral("yyb_version")).row({ data.branchListVersion });
    Table menu;
    menu.column(QStringLiteral("menu_version"))
        .column(QStringLiteral("cont_id"))
        .row({ data.menuVersion, data.contId });
    return Reply::withTables({ servers, branchVersion, menu });
}

Reply captcha(const Request& request, BrokerState& state)
{
    if (!hasSession(request, state))
        return Reply::sessionNeeded();
    const Broker::Captcha c = state.broker().issueCaptcha(sessionKey(request));
    return Reply::withTable(
        Table().column(QStringLiteral("code")).column(QStringLiteral("image"), kBytes).row({ c.id, c.png }));
}

Reply tradeLogin(const Request& request, BrokerState& state)
{
    if (!hasSession(request, state))
        return Reply::sessionNeeded();
    Broker& broker = state.broker();
    // The captcha goes first, so that guessing passwords costs a captcha each.
    if (broker.captchaRequired()) {
        if (auto e = broker.checkCaptcha(sessionKey(request), request.valueOr(QStringLiteral("checkword"))))
            return refuse(*e);
    }
    const QString inputType = request.valueOr(QStringLiteral("inputtype"));
    const QString password = request.valueOr(QStringLiteral("trdpwd"));
    const QString netaddr = request.valueOr(QStringLiteral("netaddr"));
    if (auto e = checkCredentials(password, netaddr))
        return refuse(*e);

    BrokerError error;
    const auto account = broker.findAccount(inputType, request.valueOr(QStringLiteral("inputid")), &error);
    if (!account)
        return refuse(error);
    const Customer& c = *account->customer;
    // Customer numbers and capital accounts carry their branch; a shareholder
    // account is looked up under the branch the customer chose.
    const QString orgid = request.valueOr(QStringLiteral("orgid"));
    if (isMarketInput(inputType) && !orgid.isEmpty() && orgid != c.orgCode)
        return refuse(errors::kWrongBranch);
    if (!c.password.matches(password))
        return refuse(errors::kWrongPassword);
    if (broker.tokenRequired(c)) {
        const QString code = request.valueOr(QStringLiteral("dynpwd"));
        if (code.isEmpty())
            return refuse(errors::kTokenMissing);
        if (code != c.tokenCode)
            return refuse(errors::kWrongToken);
    }

    const QString prefix = broker.openLogin(c, account->fundId, password, netaddr);
    const LastLogin previous = broker.recordLogin(c, netaddr);
    return Reply::withTables(accountTables(c, prefix, previous));
}

// The unlock window's password re-check: no captcha, no token, no new login.
Reply identityLogin(const Request& request, BrokerState& state)
{
    Broker& broker = state.broker();
    const QString password = request.valueOr(QStringLiteral("trdpwd"));
    if (auto e = checkCredentials(password, QString()))
        return refuse(*e);
    BrokerError error;
    const auto account = broker.findAccount(request.valueOr(QStringLiteral("inputtype"), QStringLiteral("C")),
        request.valueOr(QStringLiteral("inputid")), &error);
    if (!account)
        return refuse(error);
    const Customer& c = *account->customer;
    if (!c.password.matches(password))
        return refuse(errors::kWrongPassword);
    return Reply::withTables(accountTables(c, broker.currentLogin(c, password), c.lastLogin));
}

Reply branchList(const Request&, BrokerState& state)
{
    Table t;
    t.column(QStringLiteral("area_name"))
        .column(QStringLiteral("eb_area_id"))
        .column(QStringLiteral("org_name"))
        .column(QStringLiteral("org_code"))
        .column(QStringLiteral("prefix_code"));
    for (const Branch& b : state.broker().data().branches)
        t.row({ b.areaName, b.areaId, b.name, b.orgCode, b.prefixCode });
    return Reply::withTable(t);
}

Reply systemMessage(const Request& request, BrokerState& state)
{
    const QString version = request.valueOr(QStringLiteral("soft_version"));
    Table t;
    t.column(QStringLiteral("title")).column(QStringLiteral("content")).column(QStringLiteral("date"));
    for (const SystemMessage& m : state.broker().data().systemMessages) {
        if (m.softVersion.isEmpty() || m.softVersion == version)
            t.row({ m.title, m.content, m.date });
    }
    return Reply::withTable(t);
}

Reply riskStatus(const Request& request, BrokerState& state)
{
    BrokerError error;
    const Customer* c = state.broker().authenticate(request.body, &error);
    if (!c)
        return refuse(error);
    return Reply::withTable(Table()
                                .column(QStringLiteral("isrisk"))
                                .column(QStringLiteral("tips"))
                                .column(QStringLiteral("fctipstitle"))
                                .column(QStringLiteral("fctips"))
                                .row({ c->risk.isrisk, c->risk.tips, c->risk.fctipstitle, c->risk.fctips }));
}

Reply capitalAccounts(const Request& request, BrokerState& state)
{
    BrokerError error;
    const Customer* c = state.broker().authenticate(request.body, &error);
    if (!c)
        return refuse(error);
    Table t;
    t.column(QStringLiteral("fundid"))
        .column(QStringLiteral("fundseq"))
        .column(QStringLiteral("bankname"))
        .column(QStringLiteral("~moneytype"))
        .column(QStringLiteral("fundbal"))
        .column(QStringLiteral("fundavl"))
        .column(QStringLiteral("stkvalue"))
        .column(QStringLiteral("marketvalue"));
    for (const FundAccount& f : c->funds) {
        t.row({ f.fundId, f.fundSeq, f.bankName, f.moneyType, f.balance, f.available, f.stockValue,
            f.marketValue });
    }
    return Reply::withTable(t);
}

} // namespace

Table serverListsTable()
{
    Table servers;
    servers.column(QStringLiteral("msp"))
        .column(QStringLiteral("hq_servlist"))
        .column(QStringLiteral("jy_servlist"));
    return servers;
}

std::optional<VEKTCRS> serverListsReply(const QString& provider, const QString& quotes, const QString& trades)
{
    return toRecordSet(serverListsTable().row({ provider, quotes, trades }), 2);
}

void registerLoginFunctions(BrokerSimulator& simulator)
{
    auto add = [&](Function f, Handler h) { simulator.registerFunction(f.main, f.sub, std::move(h)); };
    add(kTerminalIdFunction, terminalId);
    add(kAppLoginFunction,
        [sim = &simulator](const Request& r, BrokerState& s) { return appLogin(r, s, *sim); });
    add(kCaptchaFunction, captcha);
    add(kTradeLoginFunction, tradeLogin);
    add(kIdentityLoginFunction, identityLogin);
    add(kBranchListFunction, branchList);
    add(kSystemMessageFunction, systemMessage);
    add(kRiskStatusFunction, riskStatus);
    add(kCapitalAccountsFunction, capitalAccounts);
}

} // namespace brokersim
