#include "tools/broker-sim/BankFunctions.h"

#include "platform/ChinaClock.h"
#include "tools/broker-sim/BackOffice.h"
#include "tools/broker-sim/BrokerData.h"
#include "tools/broker-sim/BrokerSimulator.h"
#include "tools/broker-sim/BrokerState.h"
#include "tools/broker-sim/Market.h"

#include <QRegularExpression>
#include <optional>

namespace brokersim {

namespace {

constexpr char kBookName[] = "lumora-bank-book";

struct BankOfName {
    const char* name;
    const char* code;
};
constexpr BankOfName kBanks[] = { { "工商银行", "1001" }, { "中国银行", "1002" }, { "农业银行", "1003" },
    { "建设银行", "1004" }, { "招商银行", "1005" } };

QString bankCodeOf(const QString& name)
{
    for (const BankOfName& b : kBanks) {
        if (name == QString::fromUtf8(b.name))
            return QString::fromLatin1(b.code);
    }
    return QStringLiteral("1099");
}

qint32 moneyTypeOfName(const QString& name)
{
    return name == QStringLiteral("港币") ? 1 : name == QStringLiteral("美元") ? 2 : 0;
}

QString moneyName(qint32 type)
{
    return type == 1 ? QStringLiteral("港币") : type == 2 ? QStringLiteral("美元") : QStringLiteral("人民币");
}

QString centsText(qint64 cents)
{
    return (cents < 0 ? QStringLiteral("-") : QString()) + Market::ticksText(cents < 0 ? -cents : cents, 2);
}

// A positive amount of at most two decimals, in cents.
std::optional<qint64> cents(const QString& text)
{
    static const QRegularExpression shape(QStringLiteral("^([0-9]{1,13})(?:\\.([0-9]{0,2}))?$"));
    const QRegularExpressionMatch m = shape.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QString fraction = m.captured(2).leftJustified(2, QLatin1Char('0'));
    const qint64 value = m.captured(1).toLongLong() * 100 + fraction.toLongLong();
    return value > 0 ? std::optional(value) : std::nullopt;
}

// Which passwords a transfer type asks for on a link: fund, bank.
std::pair<bool, bool> passwordsOf(BankKind kind, qint32 transferType)
{
    if (kind == BankKind::Both)
        return { true, true };
    if (transferType == 1)
        return { false, true };
    if (transferType == 2)
        return { true, false };
    return { false, kind == BankKind::BankPassword };
}

Table linkTable(const QList<BankLink>& links)
{
    Table t;
    for (const char* name :
        { "fundid", "fundseq", "bankcode", "bankname", "moneytype", "banktrantype", "fundpwdflag", "bankpwdflag" })
        t.column(QString::fromLatin1(name));
    for (const BankLink& l : links) {
        for (qint32 type : { 1, 2, 4 }) {
            if (type == 1 && !l.intoSecurities)
                continue;
            const auto [fund, bank] = passwordsOf(l.kind, type);
            t.row({ l.fundId, l.fundSeq, l.bankCode, l.bankName, QString::number(l.moneyType), QString::number(type),
                fund ? QStringLiteral("1") : QStringLiteral("0"), bank ? QStringLiteral("1") : QStringLiteral("0") });
        }
    }
    return t;
}

Table historyTable(const QList<BankFlow>& flows)
{
    Table t;
    t.described(QStringLiteral("operdate1"), QStringLiteral("发生日期"))
        .described(QStringLiteral("opertime1"), QStringLiteral("发生时间"))
        .described(QStringLiteral("fundid"), QStringLiteral("资金账号"))
        .described(QStringLiteral("~moneytype"), QStringLiteral("币种"))
        .described(QStringLiteral("moneytype"), QStringLiteral("币种代码"))
        .described(QStringLiteral("~banktranid"), QStringLiteral("业务名称"))
        .described(QStringLiteral("fundeffect1"), QStringLiteral("发生金额"))
        .described(QStringLiteral("fundbal"), QStringLiteral("余额"))
        .described(QStringLiteral("~status_3"), QStringLiteral("状态"))
        .described(QStringLiteral("sno"), QStringLiteral("流水号"));
    for (const BankFlow& f : flows) {
        t.row({ f.date, f.time, f.fundId, moneyName(f.moneyType), QString::number(f.moneyType), f.what,
            centsText(f.cents), centsText(f.balanceCents), QStringLiteral("成功"), f.serial });
    }
    return t;
}

struct Context {
    const Customer* customer = nullptr;
    BankLink* link = nullptr;
    std::optional<Reply> refusal;
};

// The customer and the link a transfer or balance query names, its passwords
// checked for the transfer type.
Context linkOf(BankBook& book, const Request& r, BrokerState& s, qint32 transferType)
{
    Context c;
    BrokerError error;
    c.customer = s.broker().authenticate(r.body, &error);
    if (!c.customer) {
        c.refusal = Reply::error(error.code, error.message);
        return c;
    }
    const QString fundId = r.valueOr(QStringLiteral("fundid"));
    const QString bankCode = r.valueOr(QStringLiteral("bankcode"));
    bool ok = false;
    const qint32 moneyType = r.valueOr(QStringLiteral("moneytype")).toInt(&ok);
    for (BankLink& l : book.links(*c.customer)) {
        if (ok && l.fundId == fundId && l.bankCode == bankCode && l.moneyType == moneyType)
            c.link = &l;
    }
    if (!c.link) {
        c.refusal = Reply::error(bankErrors::kNoLink, QStringLiteral("该资金账号未开通此银行此币种的转账业务"));
        return c;
    }
    const auto [fund, bank] = passwordsOf(c.link->kind, transferType);
    if (fund && !c.customer->password.matches(r.valueOr(QStringLiteral("fundpwd"))))
        c.refusal = Reply::error(bankErrors::kWrongFundPassword, QStringLiteral("资金密码错误"));
    else if (bank && r.valueOr(QStringLiteral("bankpwd")) != QLatin1String(kBankPassword))
        c.refusal = Reply::error(bankErrors::kWrongBankPassword, QStringLiteral("银行密码错误"));
    return c;
}

BankFlow flowNow(const BankLink& link, const QString& what, qint64 amount, qint64 balance, const QString& serial)
{
    const QDateTime now = platform::ChinaClock::now();
    return { now.date().toString(QStringLiteral("yyyyMMdd")), now.time().toString(QStringLiteral("hhmmss")),
        link.fundId, link.moneyType, what, amount, balance, serial };
}

Reply transfer(BankBook& book, BrokerSimulator& sim, const Request& r, BrokerState& s)
{
    const qint32 type = r.valueOr(QStringLiteral("banktrantype")).toInt();
    if (type != 1 && type != 2)
        return Reply::error(bankErrors::kNotAllowed, QStringLiteral("不支持的转账类型"));
    Context c = linkOf(book, r, s, type);
    if (c.refusal)
        return *c.refusal;
    if (type == 1 && !c.link->intoSecurities)
        return Reply::error(bankErrors::kNotAllowed, QStringLiteral("该银行不支持银行转证券"));
    const std::optional<qint64> amount = cents(r.valueOr(QStringLiteral("tranamt")));
    if (!amount)
        return Reply::error(bankErrors::kBadAmount, QStringLiteral("转账金额无效"));
    BackOffice* office = backOffice(sim);
    if (!office)
        return Reply::error(bankErrors::kNotAllowed, QStringLiteral("柜台未就绪"));
    BackOffice::Account& account = office->account(*c.customer);
    const BackOffice::Money& money = account.money[c.link->fundId];
    if (type == 1 && c.link->bankCents < *amount)
        return Reply::error(bankErrors::kNoMoney, QStringLiteral("银行余额不足"));
    if (type == 2 && money.available < *amount * 10)
        return Reply::error(bankErrors::kNoMoney, QStringLiteral("可取资金不足"));
    const qint64 into = type == 1 ? *amount : -*amount;
    const QString what = type == 1 ? QStringLiteral("银行转证券") : QStringLiteral("证券转银行");
    const QString serial = book.nextSerial();
    c.link->bankCents -= into;
    BackOffice::moveMoney(account, c.link->fundId, what, into * 10, serial);
    book.flows(*c.customer).prepend(flowNow(*c.link, what, into, money.balance / 10, serial));
    return Reply::withTable(Table().column(QStringLiteral("sno")).row({ serial }));
}

Reply balance(BankBook& book, const Request& r, BrokerState& s)
{
    Context c = linkOf(book, r, s, 4);
    if (c.refusal)
        return *c.refusal;
    const QString serial = book.nextSerial();
    book.flows(*c.customer).prepend(flowNow(*c.link, QStringLiteral("查询银行余额"), 0, c.link->bankCents, serial));
    return Reply::withTable(Table().column(QStringLiteral("sno")).row({ serial }));
}

// The customer's capital account of that number in that currency.
const FundAccount* fundOf(const Customer& c, const QString& fundId, qint32 moneyType)
{
    for (const FundAccount& f : c.funds) {
        if (f.fundId == fundId && moneyTypeOfName(f.moneyType) == moneyType)
            return &f;
    }
    return nullptr;
}

std::optional<qint32> moneyTypeOf(const Request& r)
{
    bool ok = false;
    const qint32 type = r.valueOr(QStringLiteral("moneytype")).toInt(&ok);
    return ok && type >= 0 && type <= 2 ? std::optional(type) : std::nullopt;
}

// Moves money from one capital account to another of the same customer and
// currency ("outfundid", "infundid", "fundeffect", the fund password in
// "outpassword"); the two bookings' serials in "outsno" and "insno".
Reply insideTransfer(BankBook& book, BackOffice& office, const Request& r, BrokerState& s)
{
    Reply refusal;
    const Customer* c = office.authenticate(r, s, &refusal);
    if (!c)
        return refusal;
    const std::optional<qint32> type = moneyTypeOf(r);
    const FundAccount* out = type ? fundOf(*c, r.valueOr(QStringLiteral("outfundid")), *type) : nullptr;
    const FundAccount* in = type ? fundOf(*c, r.valueOr(QStringLiteral("infundid")), *type) : nullptr;
    if (!out || !in)
        return Reply::error(bankErrors::kNoAccount, QStringLiteral("资金账号不存在或币种不符"));
    if (out == in)
        return Reply::error(bankErrors::kSameAccount, QStringLiteral("转出账号与转入账号不能相同"));
    if (!c->password.matches(r.valueOr(QStringLiteral("outpassword"))))
        return Reply::error(bankErrors::kWrongFundPassword, QStringLiteral("资金密码错误"));
    const std::optional<qint64> amount = cents(r.valueOr(QStringLiteral("fundeffect")));
    if (!amount)
        return Reply::error(bankErrors::kBadAmount, QStringLiteral("转账金额无效"));
    BackOffice::Account& a = office.account(*c);
    const Milli milli = *amount * 10;
    if (a.money[out->fundId].available < milli)
        return Reply::error(bankErrors::kNoMoney, QStringLiteral("可用资金不足"));
    const QString outSerial = book.nextSerial();
    const QString inSerial = book.nextSerial();
    BackOffice::moveMoney(a, out->fundId, QStringLiteral("资金内转转出"), -milli, outSerial);
    BackOffice::moveMoney(a, in->fundId, QStringLiteral("资金内转转入"), milli, inSerial);
    return Reply::withTable(
        Table().column(QStringLiteral("outsno")).column(QStringLiteral("insno")).row({ outSerial, inSerial }));
}

// Moves the available money of every secondary capital account of the
// currency into the main account; the amount in "fundeffect" and the number
// of accounts that gave money in "renum".
Reply collection(BankBook& book, BackOffice& office, const Request& r, BrokerState& s)
{
    Reply refusal;
    const Customer* c = office.authenticate(r, s, &refusal);
    if (!c)
        return refusal;
    const std::optional<qint32> type = moneyTypeOf(r);
    const auto main = std::find_if(c->funds.cbegin(), c->funds.cend(),
        [](const FundAccount& f) { return f.fundSeq == QLatin1String("0"); });
    if (!type || main == c->funds.cend() || moneyTypeOfName(main->moneyType) != *type)
        return Reply::error(bankErrors::kNoAccount, QStringLiteral("主资金账号不支持该币种"));
    BackOffice::Account& a = office.account(*c);
    Milli total = 0;
    qint32 count = 0;
    for (const FundAccount& f : c->funds) {
        const Milli available = a.money[f.fundId].available;
        if (&f == &*main || moneyTypeOfName(f.moneyType) != *type || available <= 0)
            continue;
        total += available;
        BackOffice::moveMoney(a, f.fundId, QStringLiteral("资金归集转出"), -available, book.nextSerial());
        ++count;
    }
    if (count > 0)
        BackOffice::moveMoney(a, main->fundId, QStringLiteral("资金归集转入"), total, book.nextSerial());
    return Reply::withTable(Table()
            .column(QStringLiteral("fundeffect"))
            .column(QStringLiteral("renum"))
            .row({ centsText(total / 10), QString::number(count) }));
}

} // namespace

BankBook::BankBook(QObject* parent)
    : QObject(parent)
{
    setObjectName(QString::fromLatin1(kBookName));
}

BankBook* BankBook::of(BrokerSimulator& simulator)
{
    return simulator.findChild<BankBook*>(QString::fromLatin1(kBookName), Qt::FindDirectChildrenOnly);
}

QList<BankLink>& BankBook::links(const Customer& customer)
{
    auto it = links_.find(customer.custid);
    if (it != links_.end())
        return *it;
    QList<BankLink> made;
    for (qsizetype i = 0; i < customer.funds.size(); ++i) {
        const FundAccount& f = customer.funds[i];
        const bool main = f.fundSeq == QLatin1String("0");
        made.append({ f.fundId, f.fundSeq, bankCodeOf(f.bankName), f.bankName, moneyTypeOfName(f.moneyType),
            i == 0 ? BankKind::NoPassword : BankKind::BankPassword, 5000000,
            main || f.bankName != QStringLiteral("招商银行") });
    }
    for (const FundAccount& f : customer.funds) {
        if (f.fundSeq == QLatin1String("0")) {
            made.append({ f.fundId, f.fundSeq, bankCodeOf(QStringLiteral("农业银行")), QStringLiteral("农业银行"),
                moneyTypeOfName(f.moneyType), BankKind::Both, 800000 });
            break;
        }
    }
    return *links_.insert(customer.custid, made);
}

QList<BankFlow>& BankBook::flows(const Customer& customer)
{
    return flows_[customer.custid];
}

void registerBankFunctions(BrokerSimulator& simulator)
{
    auto* book = new BankBook(&simulator);
    BrokerSimulator* sim = &simulator;
    auto add = [&](Function f, Handler h) { simulator.registerFunction(f.main, f.sub, std::move(h)); };
    add(kTransferInfoFunction, [book](const Request& r, BrokerState& s) {
        BrokerError error;
        const Customer* c = s.broker().authenticate(r.body, &error);
        return c ? Reply::withTable(linkTable(book->links(*c))) : Reply::error(error.code, error.message);
    });
    add(kBankTransferFunction,
        [book, sim](const Request& r, BrokerState& s) { return transfer(*book, *sim, r, s); });
    add(kBankBalanceFunction, [book](const Request& r, BrokerState& s) { return balance(*book, r, s); });
    add(kInsideTransferFunction, [book, sim](const Request& r, BrokerState& s) {
        BackOffice* office = backOffice(*sim);
        return office ? insideTransfer(*book, *office, r, s)
                      : Reply::error(bankErrors::kNotAllowed, QStringLiteral("柜台未就绪"));
    });
    add(kFundCollectionFunction, [book, sim](const Request& r, BrokerState& s) {
        BackOffice* office = backOffice(*sim);
        return office ? collection(*book, *office, r, s)
                      : Reply::error(bankErrors::kNotAllowed, QStringLiteral("柜台未就绪"));
    });
    add(kTransferHistoryFunction, [book](const Request& r, BrokerState& s) {
        BrokerError error;
        const Customer* c = s.broker().authenticate(r.body, &error);
        return c ? Reply::withTable(historyTable(book->flows(*c))) : Reply::error(error.code, error.message);
    });
}

} // namespace brokersim
