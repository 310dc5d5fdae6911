// What a customer meets going through the simulator's menu: every entry's
// page finds the functions it sends, query tables come with their titles,
// errors read in Chinese, transfers move both sides and the last-login time
// is China time.
#include "LoginRig.h"
#include "platform/ChinaClock.h"
#include "tools/broker-sim/BackOffice.h"
#include "tools/broker-sim/BankFunctions.h"
#include "tools/broker-sim/FundFunctions.h"
#include "tools/broker-sim/FundQueryFunctions.h"
#include "tools/broker-sim/HKFunctions.h"
#include "tools/broker-sim/LoginFunctions.h"
#include "tools/broker-sim/Market.h"
#include "tools/broker-sim/MenuFunctions.h"
#include "tools/broker-sim/PermissionFunctions.h"

#include <QRegularExpression>
#include <QSet>
#include <QUrlQuery>

using namespace brokersim;
using namespace simtest;

namespace {

// The functions the page of each page link sends (the query links name
// theirs).
const std::map<QString, QList<Function>> kPageFunctions {
    { "buysale?MMLB=0",
        { { 500, 2 }, { 500, 3 }, { 500, 4 }, { 500, 6 }, { 500, 280 }, { 1000, 1 }, { 1100, 24 } } },
    { "buysale?MMLB=1",
        { { 500, 2 }, { 500, 3 }, { 500, 4 }, { 500, 6 }, { 500, 280 }, { 1000, 1 }, { 1100, 24 } } },
    { "kcbbuysale?MMLB=3m", { { 500, 2 }, { 500, 3 }, { 500, 4 }, { 500, 6 }, { 1000, 1 }, { 1100, 24 } } },
    { "kcbbuysale?MMLB=3n", { { 500, 2 }, { 500, 3 }, { 500, 4 }, { 500, 6 }, { 1000, 1 }, { 1100, 24 } } },
    { "wtcd?tc_mfuncno=500&tc_sfuncno=121&sign=~bsflag&position=poststr&unlist=|market|orderstatus|",
        { { 500, 121 }, { 500, 7 } } },
    { "xgsg?tc_mfuncno=500&tc_sfuncno=6", { { 550, 8 }, { 500, 4 }, { 500, 2 }, { 500, 6 } } },
    { "qzxq?", { { 500, 3 }, { 500, 205 }, { 500, 6 } } },
    { "zccx?tc_mfuncno=500&tc_sfuncno=2", { { 500, 2 }, { 500, 3 }, { 500, 124 } } },
    { "of_jjrg?tc_mfuncno=500&tc_sfuncno=34",
        { { 500, 1001 }, { 500, 1640 }, { 500, 1639 }, { 500, 1646 }, { 500, 1642 }, { 500, 128 },
            { 500, 2 } } },
    { "of_jjsg?tc_mfuncno=500&tc_sfuncno=35",
        { { 500, 1001 }, { 500, 1640 }, { 500, 1639 }, { 500, 1646 }, { 500, 1643 }, { 500, 128 },
            { 500, 2 } } },
    { "of_jjsh?tc_mfuncno=500&tc_sfuncno=36", { { 500, 41 }, { 500, 36 } } },
    { "of_wtcd?tc_mfuncno=500&tc_sfuncno=55&unlist=|orderdate|", { { 500, 55 }, { 500, 37 } } },
    { "of_jjzh?tc_mfuncno=500&tc_sfuncno=38", { { 500, 41 }, { 500, 1001 }, { 500, 1644 } } },
    { "of_fhsz?tc_mfuncno=500&tc_sfuncno=39", { { 500, 41 }, { 500, 127 }, { 500, 39 } } },
    { "jjdt?", { { 500, 1001 }, { 500, 1640 }, { 500, 1645 } } },
    { "jjdtcd?tc_mfuncno=500&tc_sfuncno=60&unlist=|~overkind|overkind|actionmode|",
        { { 500, 60 }, { 500, 61 } } },
    { "ofhqquery?tc_mfuncno=500&tc_sfuncno=50&unlist=|~shareclass|ofstatus|tacode|ecflag|",
        { { 500, 1001 }, { 551, 1 } } },
    { "jjfxcp?tc_mfuncno=500&tc_sfuncno=160", { { 500, 160 }, { 500, 161 }, { 500, 2166 }, { 500, 175 } } },
    { "banktransfer", { { 500, 20 }, { 500, 21 } } },
    { "stocktransfer", { { 500, 20 }, { 500, 21 } } },
    { "bankbalance?tc_mfuncno=500&tc_sfuncno=67", { { 500, 20 }, { 500, 116 }, { 500, 22 } } },
    { "mlt_intransfer?tc_mfuncno=500&tc_sfuncno=114", { { 500, 20 }, { 500, 2 }, { 500, 114 } } },
    { "mlt_alltransfer?tc_mfuncno=500&tc_sfuncno=115", { { 500, 20 }, { 500, 2 }, { 500, 115 } } },
    { "xgmm?tc_mfuncno=500&tc_sfuncno=12", { { 500, 12 }, { 500, 13 } } },
    { "qxsz?", { { 500, 209 }, { 500, 3201 }, { 500, 3202 }, { 500, 3203 } } },
    { "ylxxxg?", { { 500, 704 } } },
    { "zshqpmd?tc_mfuncno=1100&tc_sfuncno=16&code=000001.2,399001.1,399006.1", { { 1100, 16 } } },
};
// Entries the client handles itself (the trading root and leaving it) and
// the one entry left to show the not-supported message.
const QSet<QString> kNoFunction { "trademenu", "tradeexit", "sdzdspsj?" };

// A query link taken apart as the query pages send it: the function, the
// pairs after the prefix, and the fields the table hides.
struct QueryLink {
    QString page;
    Function function;
    QString pairs;
    QStringList hidden;
};

QList<QueryLink> queryLinks(const QString& link)
{
    const qsizetype mark = link.indexOf(u'?');
    const QString page = link.left(mark);
    if (mark < 0 || (page != u"tradequery" && page != u"hisquery" && page != u"tradehisquery"))
        return {};
    const QString all = link.mid(mark + 1);
    static const QRegularExpression unlist(QStringLiteral("unlist=([^&:]*)"));
    const QStringList hidden = unlist.match(all).captured(1).split(u'|', Qt::SkipEmptyParts);
    QList<QueryLink> out;
    for (const QString& set : page == u"tradehisquery" ? all.split(u':') : QStringList { all }) {
        QueryLink q { page, {}, {}, hidden };
        QStringList passed;
        for (const QString& pair : set.split(u'&', Qt::SkipEmptyParts)) {
            const QString key = pair.section(u'=', 0, 0);
            if (key == u"tc_mfuncno")
                q.function.main = pair.section(u'=', 1).toUInt();
            else if (key == u"tc_sfuncno")
                q.function.sub = pair.section(u'=', 1).toUInt();
            else if (key != u"unlist")
                passed.append(pair);
        }
        q.pairs = passed.join(u'&');
        out.append(q);
    }
    return out;
}

bool readsChinese(const QString& text)
{
    static const QRegularExpression han(QStringLiteral("\\p{Han}"));
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{3,}"));
    return text.contains(han) && !text.contains(word);
}

class MenuEntries : public LoginRig {
protected:
    void SetUp() override
    {
        LoginRig::SetUp();
        Answer a = login(QStringLiteral("C"), QStringLiteral("010100000001"), QStringLiteral("111111"));
        ASSERT_FALSE(a.isError()) << qPrintable(a.message());
        prefix = a.text(0, QStringLiteral("com_url"));
        ASSERT_FALSE(prefix.isEmpty());
    }

    Answer ask(Function f, const QString& pairs = {})
    {
        return call(f, (prefix + (pairs.isEmpty() ? QString() : u'&' + pairs)).toUtf8());
    }

    // The columns a client table shows of a reply without a title, one line.
    static std::string untitled(const VEKTCRS& set, const QStringList& hidden)
    {
        QStringList out;
        for (qint32 i = 0; i < set.fieldCount(); ++i) {
            const QString name = set.fieldNameAtIndex(i);
            if (name != u"poststr" && !hidden.contains(name) && set.fieldDescAtIndex(i).trimmed().isEmpty())
                out.append(name);
        }
        return out.join(u' ').toStdString();
    }

    QString prefix;
};

} // namespace

TEST_F(MenuEntries, EveryEntryFindsTheFunctionsItsPageSends)
{
    int queries = 0;
    const MenuBoard board;
    for (const MenuNode& node : board.nodes()) {
        SCOPED_TRACE(qPrintable(node.name + u' ' + node.link));
        // Groups and web links open no page; the client leaves the Stock
        // Connect group out of its menu.
        if (node.link.isEmpty() || node.link.startsWith(u"http") || node.parentId == u"51877")
            continue;
        if (kNoFunction.contains(node.link))
            continue;
        const QList<QueryLink> links = queryLinks(node.link);
        if (links.isEmpty()) {
            const auto page = kPageFunctions.find(node.link);
            if (page == kPageFunctions.end()) {
                ADD_FAILURE() << "a menu entry whose page this test does not know";
                continue;
            }
            for (const Function& f : page->second)
                EXPECT_TRUE(sim.hasFunction(f.main, f.sub)) << f.main << '/' << f.sub;
            continue;
        }
        for (const QueryLink& q : links) {
            ++queries;
            QString pairs = q.pairs;
            if (q.page != u"tradequery")
                pairs = QStringLiteral("strdate=20240101&enddate=20991231") + (pairs.isEmpty() ? "" : "&")
                    + pairs;
            Answer a = ask(q.function, pairs);
            ASSERT_EQ(a.status, 0) << q.function.main << '/' << q.function.sub;
            ASSERT_FALSE(a.sets.empty());
            EXPECT_FALSE(a.isError())
                << q.function.main << '/' << q.function.sub << ' ' << qPrintable(a.message());
            // The query page titles its columns with the descriptions.
            EXPECT_EQ(untitled(a.sets[0], q.hidden), "") << q.function.main << '/' << q.function.sub;
        }
    }
    EXPECT_GE(queries, 20);
}

TEST_F(MenuEntries, ErrorsReadInChinese)
{
    struct Case {
        const char* what;
        Function function;
        QString pairs;
        qint32 code;
    };
    // A reply whose field name does not fit the record set cannot be sent as it is.
    constexpr Function kUnsendable { 900, 9 };
    sim.registerFunction(kUnsendable.main, kUnsendable.sub, [](const Request&, BrokerState&) {
        return Reply::withTable(Table().column(QString(80, u'x')).row({ QStringLiteral("1") }));
    });
    const QList<Case> cases {
        { "a function no one serves", { 500, 45 }, {}, -1 },
        { "a reply that cannot be encoded", kUnsendable, {}, -1 },
        { "a malformed start date", kFundOrderHistoryFunction, QStringLiteral("strdate=2024-01-01&enddate="),
            1000 },
        { "an end date that is no day", kFundFillHistoryFunction, QStringLiteral("strdate=&enddate=20240231"),
            1000 },
        { "a reversed range", kFundOrderHistoryFunction, QStringLiteral("strdate=20240301&enddate=20240201"),
            1000 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Answer a = ask(c.function, c.pairs);
        ASSERT_TRUE(a.isError());
        EXPECT_EQ(a.errcode(), c.code);
        EXPECT_TRUE(readsChinese(a.message())) << qPrintable(a.message());
    }
    // Without a valid prefix the queries refuse as every account function does.
    Answer a = call(kFundAccountsFunction, "custid=010100000001&ticket=forged&trdpwd=111111");
    ASSERT_TRUE(a.isError());
    EXPECT_TRUE(readsChinese(a.message())) << qPrintable(a.message());
}

TEST_F(MenuEntries, FundHistoryKeepsToTheDatesAndFillsAreConfirmedOrders)
{
    FundBook* book = FundBook::of(sim);
    ASSERT_TRUE(book);
    ASSERT_FALSE(book->funds().isEmpty());
    const SimFund fund = book->funds().first();
    const double nav = fund.nav.toDouble();
    ASSERT_GT(nav, 0);
    auto order = [&fund, nav](const char* custid, const char* sno, const char* tradeId, const char* date,
                     const char* status) {
        SimFundOrder o;
        o.custid = QString::fromLatin1(custid);
        o.sno = QString::fromLatin1(sno);
        o.tradeId = QString::fromLatin1(tradeId);
        o.code = fund.code;
        o.date = QString::fromLatin1(date);
        o.time = QStringLiteral("101500");
        o.status = QString::fromLatin1(status);
        if (o.tradeId == u"240024")
            o.quantity = QStringLiteral("100.00");
        else
            o.amount = QString::number(nav * 1000, 'f', 2);
        return o;
    };
    book->orders() = {
        order("010100000001", "S1", "240022", "20240105", "2"),
        order("010100000001", "S2", "240024", "20240210", "0"),
        order("010100000001", "S3", "240024", "20240315", "2"),
        order("010200000002", "S4", "240022", "20240210", "2"), // another customer's
        order("010100000001", "S5", "240022", "20240220", "6"),
    };
    struct Case {
        Function function;
        const char* range;
        QStringList serials;
    };
    const QList<Case> cases {
        { kFundOrderHistoryFunction, "strdate=&enddate=", { "S1", "S2", "S3", "S5" } },
        { kFundOrderHistoryFunction, "strdate=20240201&enddate=20240229", { "S2", "S5" } },
        { kFundOrderHistoryFunction, "strdate=20240210&enddate=20240210", { "S2" } },
        { kFundOrderHistoryFunction, "enddate=20240105", { "S1" } },
        { kFundOrderHistoryFunction, "strdate=20250101", {} },
        { kFundFillHistoryFunction, "strdate=20240101&enddate=20241231", { "S1", "S3" } },
        { kFundFillHistoryFunction, "strdate=20240201&enddate=20240229", {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.range);
        Answer a = ask(c.function, QString::fromLatin1(c.range));
        ASSERT_FALSE(a.isError()) << qPrintable(a.message());
        QStringList serials;
        for (qint32 row = 0; row < a.sets[0].rowsAffected(); ++row) {
            a.sets[0].moveTo(row);
            serials.append(a.sets[0].toStringWithName(QStringLiteral("sno3")));
        }
        EXPECT_EQ(serials.join(u' ').toStdString(), c.serials.join(u' ').toStdString());
    }
    // A confirmed purchase buys shares at the net value, a redemption pays
    // its shares out at it.
    Answer a = ask(kFundFillHistoryFunction, QStringLiteral("strdate=20240101&enddate=20241231"));
    ASSERT_FALSE(a.isError());
    a.sets[0].moveTo(0);
    EXPECT_EQ(a.sets[0].toStringWithName(QStringLiteral("cfmqty")), QStringLiteral("1000.00"));
    EXPECT_EQ(a.sets[0].toStringWithName(QStringLiteral("~trdid")), QStringLiteral("申购"));
    a.sets[0].moveTo(1);
    EXPECT_EQ(a.sets[0].toStringWithName(QStringLiteral("cfmamt")), QString::number(nav * 100, 'f', 2));
}

TEST_F(MenuEntries, FundAccountsAndDividendMethods)
{
    FundBook* book = FundBook::of(sim);
    ASSERT_TRUE(book);
    const QString custid = QStringLiteral("010100000001");
    // One account per company of the catalogue, each company once.
    QStringList companies;
    for (const SimFund& f : book->funds()) {
        if (!companies.contains(f.taName))
            companies.append(f.taName);
    }
    ASSERT_GE(companies.size(), 2);
    Answer a = ask(kFundAccountsFunction);
    ASSERT_FALSE(a.isError());
    QStringList accounts;
    for (qint32 row = 0; row < a.sets[0].rowsAffected(); ++row) {
        a.sets[0].moveTo(row);
        accounts.append(a.sets[0].toStringWithName(QStringLiteral("taname")));
        EXPECT_EQ(a.sets[0].toStringWithName(QStringLiteral("taacc")), QStringLiteral("TA") + custid);
    }
    EXPECT_EQ(accounts.join(u' ').toStdString(), companies.join(u' ').toStdString());

    // Each holding with its method; the second one changed to cash.
    const QList<SimFundPosition> holdings = book->positions(custid);
    ASSERT_GE(holdings.size(), 2);
    book->setDividendMethod(custid, holdings[1].code, QStringLiteral("1"));
    QStringList expected;
    for (const SimFundPosition& p : holdings)
        expected.append(p.code
            + (p.code == holdings[1].code ? QStringLiteral(" 现金分红") : QStringLiteral(" 红利转投")));
    a = ask(kFundDividendsFunction);
    ASSERT_FALSE(a.isError());
    QStringList methods;
    for (qint32 row = 0; row < a.sets[0].rowsAffected(); ++row) {
        a.sets[0].moveTo(row);
        methods.append(a.sets[0].toStringWithName(QStringLiteral("ofcode")) + u' '
            + a.sets[0].toStringWithName(QStringLiteral("~dividmethod")));
    }
    EXPECT_EQ(methods.join(u", ").toStdString(), expected.join(u", ").toStdString());
}

TEST_F(MenuEntries, NewIssueListIsTitledAndHidesOnlyWhatTheClientHides)
{
    Answer a = ask(kNewIssueListFunction);
    ASSERT_FALSE(a.isError()) << qPrintable(a.message());
    VEKTCRS& set = a.sets[0];
    // The new-issue table never shows these fields as columns.
    const QStringList hidden { "poststr", "fundid", "market", "hq_market" };
    EXPECT_EQ(untitled(set, hidden), "");
    QStringList shown;
    for (qint32 i = 0; i < set.fieldCount(); ++i) {
        if (!hidden.contains(set.fieldNameAtIndex(i)))
            shown.append(set.fieldDescAtIndex(i));
    }
    EXPECT_EQ(shown.join(u' ').toStdString(),
        "证券代码 证券名称 申购价格 申购下限 申购上限 发行总量 交易市场 申购日期 股东代码");
    // What the subscription page reads from a row is still there.
    ASSERT_EQ(set.rowsAffected(), 3);
    set.moveTo(0);
    for (const char* field : { "ZQDM", "ZQMC", "SGJG", "SGXX", "SGSX", "market", "secuid" })
        EXPECT_FALSE(set.toStringWithName(QString::fromLatin1(field)).isEmpty()) << field;
    EXPECT_EQ(set.toStringWithName(QStringLiteral("ZQDM")), QStringLiteral("732001"));
    EXPECT_EQ(set.toStringWithName(QStringLiteral("secuid")), QStringLiteral("A101000001"));
}

// A capital account's market value is what its securities are worth, not
// its total assets: the asset page sums it per currency as 市值. The
// renminbi account's counts the Stock Connect holding (priced in Hong Kong
// dollars) at the sale rate, whichever query comes first.
TEST_F(MenuEntries, MarketValueIsTheValueOfTheSecurities)
{
    const struct {
        const char* what;
        Function function;
        const char* pairs;
        bool backOffice; // the login's list answers the data's figures
    } queries[] = {
        { "money of a currency", kMoneyFunction, "moneytype=0", true },
        { "every capital account", kMoneyFunction, "", true },
        { "capital accounts at login", kCapitalAccountsFunction, "", false },
    };
    QStringList renminbi;
    for (const auto& q : queries) {
        SCOPED_TRACE(q.what);
        Answer a = ask(q.function, QString::fromLatin1(q.pairs));
        ASSERT_FALSE(a.isError()) << qPrintable(a.message());
        VEKTCRS& set = a.sets[0];
        ASSERT_GT(set.rowsAffected(), 0);
        bool heldSomething = false;
        for (qint32 row = 0; row < set.rowsAffected(); ++row) {
            set.moveTo(row);
            const QString securities = set.toStringWithName(QStringLiteral("stkvalue"));
            EXPECT_EQ(set.toStringWithName(QStringLiteral("marketvalue")), securities);
            heldSomething = heldSomething || securities.toDouble() > 0;
            if (q.backOffice && set.toStringWithName(QStringLiteral("fundid")) == u"010110000001")
                renminbi << securities;
        }
        // The demo customer holds shares: the total assets would differ.
        EXPECT_TRUE(heldSomething);
    }

    Answer positions = ask(kPositionsFunction, QStringLiteral("exeflag=0"));
    const double rate = ask(kHKExchangeRateFunction).text(0, QStringLiteral("salerate")).toDouble();
    ASSERT_GT(rate, 0);
    double expected = 0;
    bool stockConnect = false;
    VEKTCRS& held = positions.sets[0];
    for (qint32 row = 0; row < held.rowsAffected(); ++row) {
        held.moveTo(row);
        const QString marketCode = held.toStringWithName(QStringLiteral("market"));
        const double value = held.toStringWithName(QStringLiteral("mktval")).toDouble();
        stockConnect = stockConnect || marketCode == u"5";
        if (marketCode == u"0" || marketCode == u"1")
            expected += value;
        else if (marketCode == u"5")
            expected += value * rate;
    }
    ASSERT_TRUE(stockConnect);
    ASSERT_EQ(renminbi.size(), 2);
    for (const QString& value : renminbi)
        EXPECT_NEAR(value.toDouble(), expected, 0.011);
}

// Today's orders carry their direction, market and status as text beside
// the codes, so a table shows 买入 and 上海A股 rather than B and 1.
TEST_F(MenuEntries, TodaysOrdersCarryTheirDisplayTexts)
{
    const Customer* customer = sim.state().broker().customer(QStringLiteral("010100000001"));
    ASSERT_NE(customer, nullptr);
    BackOffice::Account& account = backOffice(sim)->account(*customer);
    const QString day = platform::ChinaClock::now().toString(QStringLiteral("yyyyMMdd"));
    auto resting = [&](const char* number, const char* market, const char* code, bool buy) {
        BackOffice::Order o;
        o.number = QString::fromLatin1(number);
        o.date = day;
        o.time = QStringLiteral("100000");
        o.secuid = market == QByteArray("1") ? QStringLiteral("A101000001") : QStringLiteral("0101000001");
        o.market = QString::fromLatin1(market);
        o.code = QString::fromLatin1(code);
        o.name = o.code;
        o.bsflag = buy ? QStringLiteral("B") : QStringLiteral("S");
        o.buy = buy;
        o.subscription = true; // rests whatever the market does
        o.quantity = 100;
        return o;
    };
    account.orders.append(resting("900001", "1", "600000", true));
    account.orders.append(resting("900002", "0", "000001", false));
    const struct {
        const char* number;
        const char* direction;
        const char* market;
    } expected[] = { { "900001", "买入", "上海A股" }, { "900002", "卖出", "深圳A股" } };
    for (const Function f : { kOrdersOfTodayFunction, Function { 500, 8 } }) {
        SCOPED_TRACE(f.sub);
        Answer a = ask(f);
        ASSERT_FALSE(a.isError()) << qPrintable(a.message());
        VEKTCRS& set = a.sets[0];
        for (const auto& e : expected) {
            bool found = false;
            for (qint32 row = 0; row < set.rowsAffected(); ++row) {
                set.moveTo(row);
                if (set.toStringWithName(QStringLiteral("ordersno")) != QLatin1String(e.number))
                    continue;
                found = true;
                EXPECT_EQ(set.toStringWithName(QStringLiteral("~bsflag")), QString::fromUtf8(e.direction));
                EXPECT_EQ(set.toStringWithName(QStringLiteral("~market")), QString::fromUtf8(e.market));
                EXPECT_EQ(set.toStringWithName(QStringLiteral("~orderstatus")), QStringLiteral("已报"));
            }
            EXPECT_TRUE(found) << e.number;
        }
        for (const char* field : { "~bsflag", "~market", "~orderstatus" })
            EXPECT_FALSE(set.fieldDescAtIndex(set.indexOfFieldWithName(QLatin1String(field))).isEmpty())
                << field;
    }
}

TEST_F(MenuEntries, TransfersMoveTheBankAndTheCapitalAccount)
{
    const QString link = QStringLiteral("fundid=010110000001&moneytype=0&bankcode=1001");
    auto bankBalance = [&] {
        Answer q = ask(kBankBalanceFunction, link + QStringLiteral("&fundpwd=&bankpwd="));
        EXPECT_FALSE(q.isError()) << qPrintable(q.message());
        return ask(kTransferHistoryFunction).text(0, QStringLiteral("fundbal"));
    };
    auto available = [&] {
        return ask(kMoneyFunction, QStringLiteral("moneytype=0"))
            .text(0, QStringLiteral("fundavl"))
            .toDouble();
    };
    struct Case {
        const char* what;
        const char* type;
        const char* passwords;
        const char* bankAfter;
        double moneyChange;
    };
    const QList<Case> cases {
        { "bank to securities", "1", "&fundpwd=&bankpwd=135790", "48765.43", 1234.57 },
        { "securities to bank", "2", "&fundpwd=111111&bankpwd=", "50000.00", -1234.57 },
    };
    EXPECT_EQ(bankBalance(), QStringLiteral("50000.00"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const double before = available();
        Answer t = ask(kBankTransferFunction,
            link + QStringLiteral("&tranamt=1234.57&banktrantype=") + QString::fromLatin1(c.type)
                + QString::fromLatin1(c.passwords));
        ASSERT_FALSE(t.isError()) << qPrintable(t.message());
        EXPECT_FALSE(t.text(0, QStringLiteral("sno")).isEmpty());
        EXPECT_EQ(bankBalance(), QString::fromLatin1(c.bankAfter));
        EXPECT_NEAR(available() - before, c.moneyChange, 0.001);
    }
    // A transfer the bank cannot pay moves neither side.
    const double before = available();
    Answer t = ask(kBankTransferFunction,
        link + QStringLiteral("&tranamt=50000.01&banktrantype=1&fundpwd=&bankpwd=135790"));
    ASSERT_TRUE(t.isError());
    EXPECT_TRUE(readsChinese(t.message())) << qPrintable(t.message());
    EXPECT_EQ(bankBalance(), QStringLiteral("50000.00"));
    EXPECT_NEAR(available(), before, 0.001);
}

TEST_F(MenuEntries, FundBuysTakeTheirAmountFromTheAvailableMoney)
{
    auto available = [&] {
        return ask(kMoneyFunction, QStringLiteral("moneytype=0"))
            .text(0, QStringLiteral("fundavl"))
            .toDouble();
    };
    auto lastOrder = [&] { return FundBook::of(sim)->orders().last(); };
    struct Case {
        const char* what;
        Function function;
        std::function<QString()> pairs;
        bool taken;
        double change;
    };
    const QList<Case> cases {
        { "subscription", kFundSubscribeFunction,
            [] {
                return QStringLiteral("trdid=240020&ofcode=009901&orderamt=1000.5&risksignsno=&tacode=98");
            },
            true, -1000.5 },
        { "purchase", kFundPurchaseFunction,
            [] { return QStringLiteral("trdid=240022&ofcode=000001&orderamt=2000&risksignsno=&tacode=98"); },
            true, -2000 },
        { "cancel of the purchase gives it back", kFundCancelFunction,
            [&] {
                const SimFundOrder o = lastOrder();
                return QStringLiteral("sno=%1&ofcode=%2&orderdate=%3").arg(o.sno, o.code, o.date);
            },
            true, 2000 },
        { "purchase above the available money", kFundPurchaseFunction,
            [] { return QStringLiteral("trdid=240022&ofcode=000001&orderamt=90000&risksignsno=&tacode=98"); },
            false, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const double before = available();
        Answer a = ask(c.function, c.pairs());
        EXPECT_EQ(a.isError(), !c.taken) << qPrintable(a.message());
        EXPECT_NEAR(available() - before, c.change, 0.001);
    }
}

// Every movement of money outside the exchange adds its rows to the money
// flow (资金流水), and each account's last row shows what the money query shows.
TEST_F(MenuEntries, TheMoneyFlowBooksEveryMovementAndAgreesWithTheMoneyQuery)
{
    // 李四: a main account at 建设银行 and two more 人民币 accounts.
    Answer lisi = login(QStringLiteral("C"), QStringLiteral("010200000002"), QStringLiteral("222222"));
    ASSERT_FALSE(lisi.isError()) << qPrintable(lisi.message());
    prefix = lisi.text(0, QStringLiteral("com_url"));
    const QString main = QStringLiteral("010210000002");
    struct Row {
        QString fundId;
        QString what;
        QString amount;
        QString balance;
    };
    auto flows = [&] {
        Answer a = ask({ 500, 54 });
        QList<Row> rows;
        VEKTCRS& set = a.sets.at(0);
        for (qint32 i = 0; i < set.rowsAffected(); ++i) {
            set.moveTo(i);
            rows.append({ set.toStringWithName(QStringLiteral("fundid")),
                set.toStringWithName(QStringLiteral("digestname")),
                set.toStringWithName(QStringLiteral("fundeffect")),
                set.toStringWithName(QStringLiteral("fundbal")) });
        }
        return rows;
    };
    // The capital-account list: every account's balance.
    auto balanceOf = [&](const QString& fundId) {
        Answer a = call(kMoneyFunction,
            QString(prefix).replace(QStringLiteral("fundid=") + main, QStringLiteral("fundid=")).toUtf8());
        VEKTCRS& set = a.sets.at(0);
        for (qint32 i = 0; i < set.rowsAffected(); ++i) {
            set.moveTo(i);
            if (set.toStringWithName(QStringLiteral("fundid")) == fundId)
                return set.toStringWithName(QStringLiteral("fundbal"));
        }
        return QString();
    };
    auto lastOrder = [&] { return FundBook::of(sim)->orders().last(); };
    const QString bank = QStringLiteral("fundid=%1&moneytype=0&bankcode=1004&tranamt=").arg(main);
    const struct {
        const char* what;
        Function function;
        std::function<QString()> pairs;
        QList<std::array<const char*, 3>> rows; // account, 业务摘要, 发生金额
    } cases[] = {
        { "bank to securities", kBankTransferFunction,
            [&] { return bank + QStringLiteral("100.00&banktrantype=1&fundpwd=&bankpwd=135790"); },
            { { "010210000002", "银行转证券", "100.00" } } },
        { "securities to bank", kBankTransferFunction,
            [&] { return bank + QStringLiteral("40&banktrantype=2&fundpwd=222222&bankpwd="); },
            { { "010210000002", "证券转银行", "-40.00" } } },
        { "inside transfer", kInsideTransferFunction,
            [] {
                return QStringLiteral("outfundid=010210000002&infundid=010210000003&moneytype=0&fundeffect="
                                      "25.5&outpassword=222222");
            },
            { { "010210000002", "资金内转转出", "-25.50" }, { "010210000003", "资金内转转入", "25.50" } } },
        { "subscription", kFundSubscribeFunction,
            [] {
                return QStringLiteral("trdid=240020&ofcode=009901&orderamt=1000.5&risksignsno=&tacode=98");
            },
            { { "010210000002", "基金认购", "-1000.50" } } },
        { "purchase", kFundPurchaseFunction,
            [] { return QStringLiteral("trdid=240022&ofcode=000001&orderamt=2000&risksignsno=&tacode=98"); },
            { { "010210000002", "基金申购", "-2000.00" } } },
        { "cancel of the purchase", kFundCancelFunction,
            [&] {
                const SimFundOrder o = lastOrder();
                return QStringLiteral("sno=%1&ofcode=%2&orderdate=%3").arg(o.sno, o.code, o.date);
            },
            { { "010210000002", "基金申购撤单", "2000.00" } } },
        { "collection", kFundCollectionFunction, [] { return QStringLiteral("moneytype=0"); },
            { { "010210000003", "资金归集转出", "-8025.50" }, { "010210000004", "资金归集转出", "-1500.50" },
                { "010210000002", "资金归集转入", "9526.00" } } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const qsizetype before = flows().size();
        Answer a = ask(c.function, c.pairs());
        ASSERT_FALSE(a.isError()) << qPrintable(a.message());
        const QList<Row> rows = flows();
        ASSERT_EQ(rows.size(), before + c.rows.size());
        for (qsizetype i = 0; i < c.rows.size(); ++i) {
            const Row& row = rows[before + i];
            EXPECT_EQ(row.fundId, QLatin1String(c.rows[i][0]));
            EXPECT_EQ(row.what, QString::fromUtf8(c.rows[i][1]));
            EXPECT_EQ(row.amount, QLatin1String(c.rows[i][2]));
        }
        for (const QString& fundId :
            { main, QStringLiteral("010210000003"), QStringLiteral("010210000004") }) {
            const auto last = std::find_if(
                rows.crbegin(), rows.crend(), [&](const Row& r) { return r.fundId == fundId; });
            if (last != rows.crend())
                EXPECT_EQ(last->balance, balanceOf(fundId)) << qPrintable(fundId);
        }
    }
    EXPECT_EQ(balanceOf(main), QStringLiteral("58560.00"));
}

TEST_F(MenuEntries, StockConnectPermissionsShowOnlyAStockConnectAccount)
{
    struct Case {
        const char* custid;
        const char* password;
        const char* secuid;
    };
    const QList<Case> cases {
        { "010100000001", "111111", "A101000001" },
        { "010200000002", "222222", "" }, // his 深圳A股 account is no Stock Connect account
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.custid);
        Answer login = this->login(
            QStringLiteral("C"), QString::fromLatin1(c.custid), QString::fromLatin1(c.password));
        ASSERT_FALSE(login.isError()) << qPrintable(login.message());
        prefix = login.text(0, QStringLiteral("com_url"));
        Answer a = ask(kConnectPermissionListFunction, QStringLiteral("func=s&market=5"));
        ASSERT_FALSE(a.isError()) << qPrintable(a.message());
        ASSERT_GT(a.sets[0].rowsAffected(), 0);
        EXPECT_EQ(a.text(0, QStringLiteral("secuid")), QString::fromLatin1(c.secuid));
    }
}

TEST_F(MenuEntries, LastLoginTimeIsChinaTimeWhateverTheMachineZone)
{
    struct Case {
        QDateTime instant;
        const char* shown;
    };
    const QList<Case> cases {
        { QDateTime(QDate(2024, 6, 4), QTime(23, 30), Qt::UTC), "2024-06-05 07:30:00" },
        { QDateTime(QDate(2024, 12, 31), QTime(16, 0), Qt::UTC), "2025-01-01 00:00:00" },
        { QDateTime(QDate(2024, 6, 5), QTime(10, 11, 12), Qt::OffsetFromUTC, 8 * 3600),
            "2024-06-05 10:11:12" },
        { QDateTime(QDate(2024, 3, 1), QTime(21, 0), Qt::OffsetFromUTC, -5 * 3600), "2024-03-02 10:00:00" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        broker().setClock([instant = c.instant] { return instant; });
        ASSERT_FALSE(
            login(QStringLiteral("C"), QStringLiteral("010200000002"), QStringLiteral("222222")).isError());
        broker().setClock({});
        Answer a = login(QStringLiteral("C"), QStringLiteral("010200000002"), QStringLiteral("222222"));
        ASSERT_FALSE(a.isError());
        EXPECT_TRUE(a.text(2, QStringLiteral("content"))
                        .startsWith(QStringLiteral("上次登录时间：") + QString::fromLatin1(c.shown)))
            << qPrintable(a.text(2, QStringLiteral("content")));
    }
}
