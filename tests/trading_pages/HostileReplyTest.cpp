// A hostile broker: the simulator answers one function with a record set of
// the test's own (a field missing, negative, "1e999", 2^63 - 1, "abc", an
// empty set, no set at all). Whatever it sends, the page shows an error or
// "--", never a success text with a blank and never a negative or clipped
// number as if it were real; an order number and a table cell are their
// text as sent.
#include "shell/tables/DVTableModel.h"
#include "tools/broker-sim/BrokerSimulator.h"
#include "trading/pages/DeputeCancelViewController.h"
#include "trading_pages/TradingPagesRig.h"

#include <gtest/gtest.h>
#include <limits>

using namespace quotetest;
using brokersim::Function;
using brokersim::Table;
using testsupport::spinUntil;

namespace {

QUOTETEST_CATCHER(CancelCatcher, ICancelOrderDelegate, cancelOrder)
QUOTETEST_CATCHER(PositionsCatcher, IPositionInfoDelegate, queryPositionInfo)

enum class Hostile { Missing, Negative, Enormous, Max64, NotNumber, EmptySet, NoSet };
constexpr Hostile kAll[] = { Hostile::Missing, Hostile::Negative, Hostile::Enormous, Hostile::Max64,
    Hostile::NotNumber, Hostile::EmptySet, Hostile::NoSet };
constexpr char kMax64[] = "9223372036854775807";

const char* nameOf(Hostile h)
{
    static const char* const names[] = { "missing", "-10", "1e999", "2^63-1", "abc", "empty set", "no set" };
    return names[int(h)];
}

// The text a hostile field holds (Missing to NotNumber).
const char* sentValue(Hostile h)
{
    static const char* const values[] = { "", "-10", "1e999", kMax64, "abc" };
    return values[int(h)];
}

// `base` with `field` made hostile; no tables for Hostile::NoSet.
QList<Table> hostile(Table base, const QString& field, Hostile h)
{
    if (h == Hostile::NoSet)
        return {};
    if (h == Hostile::EmptySet) {
        base.rows.clear();
        return { base };
    }
    qsizetype column = -1;
    for (qsizetype i = 0; i < base.columns.size(); ++i)
        column = base.columns[i].name == field ? i : column;
    if (column < 0) {
        ADD_FAILURE() << "no field " << qPrintable(field);
        return { base };
    }
    if (h == Hostile::Missing) {
        base.columns.removeAt(column);
        for (QVariantList& row : base.rows)
            row.removeAt(column);
        return { base };
    }
    base.columns[column].type = brokersim::kText;
    for (QVariantList& row : base.rows)
        row[column] = QString::fromLatin1(sentValue(h));
    return { base };
}

class HostileReplyTest : public pagestest::TradePageFixture {
protected:
    // The handler's own answer to the last request of `f`, as a starting point.
    Table realAnswer(Function f)
    {
        const QList<brokersim::Request> asked = sim.receivedOf(f);
        if (asked.isEmpty()) {
            ADD_FAILURE() << "nothing asked of " << f.main << "/" << f.sub;
            return Table();
        }
        const brokersim::Reply reply = sim.handlerOf(f.main, f.sub)(asked.last(), sim.state());
        return reply.tables.isEmpty() ? Table() : reply.tables.front();
    }
    // Every answer asked for so far has come, on both servers, and asked for
    // nothing more in turn (a quote asks for the chart, whose answer asks for
    // the money and the maximum).
    bool everythingAnswered()
    {
        for (int round = 0; round < 20; ++round) {
            const qsizetype asked = sim.receivedCount();
            if (!pagestest::quotesSettled() || !pagestest::settled())
                return false;
            if (sim.receivedCount() <= asked + 2) // no more than the two asked here
                return true;
        }
        return false;
    }
    // A trading page that asked once more for `f` after the hostile answer was armed.
    TradeViewController& pageAfterAnswer(Function f, const QList<Table>& tables, const QString& code)
    {
        // A read an earlier page still waits for takes in the new page's
        // equal one, which would then show the answer armed for an earlier
        // row. (A reply the client drops leaves its read waiting until it
        // times out, so the set-less reply is the last row of each field.)
        EXPECT_TRUE(everythingAnswered());
        sim.clearControls();
        sim.answerTablesNext(f, tables, 100);
        const qsizetype before = sim.receivedCount(f);
        TradeViewController& page = openPage(10000);
        page.setCodeText(code);
        EXPECT_TRUE(spinUntil([&] { return sim.receivedCount(f) > before; }));
        // Answered once an answer asked after it on the same server has come.
        const bool quoteServer = f.main == brokersim::kQuote5LevelFunction.main
            || f.main == brokersim::kQuote5LevelExFunction.main;
        EXPECT_TRUE(quoteServer ? pagestest::quotesSettled() : pagestest::settled());
        return page;
    }
};

} // namespace

TEST_F(HostileReplyTest, MaximumQuantityAndMoneyShowTheTextAsSent)
{
    logInWithShareholders();
    lookUp(openPage(10000), QStringLiteral("600000"));
    struct Case {
        Function function;
        const char* field;
        std::function<QString(const TradeViewController&)> shown;
        const char* unit;
    };
    const Case cases[] = {
        { { 500, 4 }, "maxstkqty", [](const TradeViewController& p) { return p.maxAmountText(); }, "股" },
        { { 500, 2 }, "fundavl", [](const TradeViewController& p) { return p.availableMoneyText(); }, "元" },
    };
    for (const Case& c : cases) {
        const Table base = realAnswer(c.function);
        for (const Hostile h : kAll) {
            SCOPED_TRACE(std::string(c.field) + " " + nameOf(h));
            const TradeViewController& page
                = pageAfterAnswer(c.function, hostile(base, QString::fromLatin1(c.field), h), "600000");
            const QString text = c.shown(page);
            if (h == Hostile::NoSet) // a reply the client drops: nothing yet, or the failure's text
                EXPECT_TRUE(text.isEmpty() || text == QStringLiteral("0股")) << qPrintable(text);
            else // whatever the field holds (nothing in a set without rows), with the unit behind it
                EXPECT_EQ(text,
                    QString::fromLatin1(h == Hostile::EmptySet ? "" : sentValue(h)) + QString::fromUtf8(c.unit));
        }
    }
}

TEST_F(HostileReplyTest, FiveLevelBookShowsDashes)
{
    logInWithShareholders();
    lookUp(openPage(10000), QStringLiteral("600000"));
    for (const Function quote : { Function { 1100, 1 }, Function { 1000, 1 } }) {
        if (sim.receivedCount(quote) == 0)
            continue;
        const Table base = realAnswer(quote);
        struct Case {
            const char* field;
            bool price;
        };
        for (const Case c : { Case { "bj5", true }, Case { "bl5", false } }) {
            for (const Hostile h : kAll) {
                SCOPED_TRACE(std::string(c.field) + " " + nameOf(h));
                pages.clear(); // they use the security cache that goes next
                StockManager::resetInstance();
                pageAfterAnswer(quote, hostile(base, QString::fromLatin1(c.field), h), "600000");
                const auto security = StockManager::getInstance()->getSecurity(QStringLiteral("600000"));
                if (h == Hostile::EmptySet || h == Hostile::NoSet) {
                    // No quote: nothing of the code is shown as known.
                    if (security)
                        EXPECT_EQ(security->buyPriceText(5), QStringLiteral("--"));
                    continue;
                }
                ASSERT_TRUE(security);
                const QString text = c.price ? security->buyPriceText(5) : security->buyQuantityText(5);
                if (!c.price && h == Hostile::Max64)
                    EXPECT_EQ(text, QString::number(std::numeric_limits<qint64>::max() / security->lot()));
                else
                    EXPECT_EQ(text, QStringLiteral("--"));
            }
        }
    }
}

TEST_F(HostileReplyTest, OrderAnswerWithoutAnOrderNumberIsAnUnknownOutcome)
{
    logInWithShareholders();
    // A reply with no record set is dropped by the client. The request's
    // time-out waits while the dialog runs, so the dialog's own time-out
    // comes first and the request's right after: still one box.
    OrderManager::getInstance()->sender().setTimeout(1);
    TradeViewControllerServices quick;
    quick.dialog.busyBackstopMs = 1500;
    const Table answer = Table().column(QStringLiteral("ordersno")).row({ QStringLiteral("100001") });
    for (const Hostile h : kAll) {
        SCOPED_TRACE(nameOf(h));
        TradeViewController& page = openPage(10000, quick);
        lookUp(page, QStringLiteral("600000"));
        page.shareholderCodePButtonSelectedChanged(1);
        page.setQuantityText(QStringLiteral("100"));
        sim.clearControls();
        sim.answerTablesNext(Function { 500, 6 }, hostile(answer, QStringLiteral("ordersno"), h));
        const qsizetype rereads = sim.receivedCount(Function { 500, 3 });
        alerts.shown.clear();
        whenShown([](OrderAlertWindowController& d) { d.confirmButtonClicked(); });
        page.orderButtonClicked();
        ASSERT_TRUE(spinUntil([&] { return !page.isBusy() && !alerts.shown.empty(); }));
        testsupport::spinFor(std::chrono::milliseconds(300));
        // One box per outcome.
        ASSERT_EQ(alerts.shown.size(), 1u);
        const QString text = alerts.shown[0].text;
        // Any text that is not blank is the order number, shown as sent.
        const char* const numbers[] = { nullptr, "-10", "1e999", kMax64, "abc", nullptr, nullptr };
        if (const char* number = numbers[int(h)]) {
            EXPECT_EQ(text, QStringLiteral("委托申请已提交，序号为%1。").arg(QLatin1String(number)));
            EXPECT_EQ(page.lastOrderNumber(), QLatin1String(number));
            continue;
        }
        EXPECT_TRUE(text.contains(QStringLiteral("委托结果未知"))) << qPrintable(text);
        EXPECT_FALSE(text.contains(QStringLiteral("委托申请已提交"))) << qPrintable(text);
        EXPECT_TRUE(page.lastOrderNumber().isEmpty());
        // What the page shows is read again, as after an answer that never came.
        EXPECT_TRUE(spinUntil([&] { return sim.receivedCount(Function { 500, 3 }) > rereads; }));
    }
}

// A refused order shows the server's message whatever its code, the numbers
// the client uses for its own failures (the unknown outcome's 700 among
// them) included, and is no unknown outcome: nothing is read again.
TEST_F(HostileReplyTest, ARefusedOrderShowsTheServersMessageWhateverItsCode)
{
    logInWithShareholders();
    TradeViewController& page = openPage(10000);
    lookUp(page, QStringLiteral("600000"));
    const struct {
        qint32 code;
        std::optional<QString> message; // none: the row has no "ER_String"
    } rows[] = { { 6, QStringLiteral("委托价格超出涨跌停限制") }, { 101, QStringLiteral("股东账户已冻结") },
        { 200, QStringLiteral("可用资金不足") }, { 300, QStringLiteral("非交易时间") },
        { 700, QStringLiteral("委托已被交易所拒绝") }, { 42, std::nullopt } };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.code);
        page.setQuantityText(QStringLiteral("100"));
        sim.answerErrorNext(Function { 500, 6 }, row.code, row.message);
        alerts.shown.clear();
        const qsizetype rereads = sim.receivedCount(Function { 500, 3 });
        whenShown([](OrderAlertWindowController& d) { d.confirmButtonClicked(); });
        page.orderButtonClicked();
        ASSERT_TRUE(spinUntil([&] { return !page.isBusy() && !alerts.shown.empty(); }));
        ASSERT_EQ(alerts.shown.size(), 1u);
        EXPECT_EQ(alerts.shown[0].title, QStringLiteral("错误"));
        EXPECT_EQ(alerts.shown[0].text, row.message.value_or(QStringLiteral("未知错误")));
        EXPECT_TRUE(page.lastOrderNumber().isEmpty());
        ordersOfToday(); // answered after anything the refusal sent
        EXPECT_EQ(sim.receivedCount(Function { 500, 3 }), rereads);
    }
}

TEST_F(HostileReplyTest, CancelAnswerWithoutItsMessageIsAnUnknownOutcome)
{
    logInWithShareholders();
    OrderManager::getInstance()->sender().setTimeout(1);
    const Table answer = Table().column(QStringLiteral("msgok")).row({ QStringLiteral("撤单请求已提交") });
    for (const Hostile h : { Hostile::Missing, Hostile::EmptySet, Hostile::NoSet }) {
        SCOPED_TRACE(nameOf(h));
        sim.clearControls();
        sim.answerTablesNext(Function { 500, 7 }, hostile(answer, QStringLiteral("msgok"), h));
        CancelCatcher c;
        EXPECT_EQ(OrderManager::getInstance()->requestCancelOrder(
                      &c, QStringLiteral("010110000001"), QStringLiteral("100001"), nullptr),
            QString());
        ASSERT_TRUE(spinUntil([&] { return c.done(); }));
        EXPECT_TRUE(c.results.empty());
        ASSERT_EQ(c.errors.size(), 1u);
        EXPECT_EQ(c.errors[0].code, kOrderOutcomeUnknownCode);
        // In a cancel's words, not an order's.
        EXPECT_EQ(c.errors[0].domain, QStringLiteral("撤单结果未知，请查询当日委托确认"));
    }
}

TEST_F(HostileReplyTest, TodaysOrderWithoutItsNumberCannotBeCancelled)
{
    logInWithShareholders();
    Table orders;
    for (const char* name : { "ordersno", "fundid", "stkcode", "stkname", "orderqty", "orderstatus" })
        orders.column(QString::fromLatin1(name));
    orders.row({ "", "010110000001", "600000", "浦江银行", "100", "2" });
    orders.row({ "100009", "", "600000", "浦江银行", "100", "2" });
    for (int row = 0; row < 2; ++row) {
        SCOPED_TRACE(row);
        Table one = orders;
        one.rows = { orders.rows[row] };
        sim.clearControls();
        sim.answerTablesNext(Function { 500, 121 }, { one }, 10);
        DeputeCancelViewController page;
        page.setAlertPresenter(&alerts);
        page.load();
        ASSERT_TRUE(spinUntil([&] { return page.countText() == QStringLiteral("1"); }));
        page.selectAllButtonClicked(true);
        EXPECT_EQ(page.selectedCountText(), QStringLiteral("1"));
        alerts.shown.clear();
        const qsizetype cancels = sim.receivedCount(Function { 500, 7 });
        page.cancelOderButtonClicked();
        EXPECT_FALSE(page.isBusy());
        ASSERT_EQ(alerts.shown.size(), 1u);
        EXPECT_EQ(alerts.shown[0].text, QString::fromUtf8(OrderManager::kCancelKeysMissingMessage));
        testsupport::spinFor(std::chrono::milliseconds(50));
        EXPECT_EQ(sim.receivedCount(Function { 500, 7 }), cancels);
    }
}

TEST_F(HostileReplyTest, PositionAndOrderCellsShowTheTextAsSent)
{
    logInWithShareholders();
    const auto positions = [] {
        PositionsCatcher c;
        QueryInfoManager::getInstance()->requestPositionInfo(&c, 0);
        return spinUntil([&] { return c.done(); }) && !c.results.empty() ? c.results[0] : DTTablePtr();
    };
    const auto orders = [] {
        pagestest::OrdersOfTodayCatcher c;
        QueryInfoManager::getInstance()->requestOrdersOfToday(&c);
        return spinUntil([&] { return c.done(); }) && !c.results.empty() ? c.results[0] : DTTablePtr();
    };
    positions(); // the customer's own positions, as the base of the hostile ones
    struct Case {
        Function function;
        const char* field;
        const char* title;
        Table base;
        std::function<DTTablePtr()> fetch;
    };
    const Case cases[] = {
        { { 500, 3 }, "stkqty", "股份余额", realAnswer({ 500, 3 }), positions },
        { { 500, 121 }, "orderqty", "委托数量",
            Table()
                .described(QStringLiteral("ordersno"), QStringLiteral("委托编号"))
                .described(QStringLiteral("orderqty"), QStringLiteral("委托数量"))
                .row({ QStringLiteral("100001"), QStringLiteral("100") }),
            orders },
    };
    for (const Case& c : cases) {
        for (const Hostile h : { Hostile::Negative, Hostile::Enormous, Hostile::Max64, Hostile::NotNumber }) {
            SCOPED_TRACE(std::string(c.field) + " " + nameOf(h));
            sim.clearControls();
            sim.answerTablesNext(c.function, hostile(c.base, QString::fromLatin1(c.field), h));
            const DTTablePtr table = c.fetch();
            ASSERT_TRUE(table);
            DVTableModel model(TableKind::Common);
            model.buildColumns(table);
            const int column = int(model.titles().indexOf(QString::fromUtf8(c.title)));
            ASSERT_GE(column, 0);
            ASSERT_GT(model.rowCount(), 0);
            // Whatever the server sent, number or not, the cell shows it.
            EXPECT_EQ(model.index(0, column).data().toString(), QString::fromLatin1(sentValue(h)));
        }
    }
}
