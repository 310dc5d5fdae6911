#include "comm/crypto/AesEncryption.h"
#include "core/DMNotificationCenter.h"
#include "core/NetworkFactory.h"
#include "core/NotificationCenter.h"
#include "login/ActionLeftUnknown.h"
#include "login/OwedReads.h"
#include "tools/broker-sim/BackOffice.h"
#include "trading/orders/OrderManager.h"
#include "trading/pages/AssetQueryViewController.h"
#include "trading/pages/DistributionViewController.h"
#include "trading/pages/QueryViewControllers.h"
#include "trading_pages/TradingPagesRig.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace pagestest;

namespace {

struct Posts {
    QObject key;
    std::vector<std::pair<int32_t, QVariantMap>> all;
    Posts()
    {
        for (int32_t type : { pagenotify::kBuyPosition, pagenotify::kSellPosition })
            NotificationCenter::getInstance()->addObserver(&key,
                TypedNotificationCenter::Handler(
                    [this, type](const platform::Notification& n) { all.emplace_back(type, n.userInfo); }),
                type);
    }
};

using QueryPagesTest = PagesFixture;

int rowOfCode(const DTTablePtr& table, const char* code)
{
    for (qsizetype row = 0; table && row < table->contentObjectArray().size(); ++row)
        if (table->contentObjectArray()[row].value<RDOPositionDetail>().stockCode == QLatin1String(code))
            return int(row);
    return -1;
}

} // namespace

TEST(AssetTotals, DecimalTextsAddInExactHundredths)
{
    const struct {
        const char* text;
        std::optional<qint64> hundredths;
    } cases[] = { { "100.5", 10050 }, { "200", 20000 }, { "0.005", 1 }, { "0.004", 0 }, { "-1.25", -125 },
        { " 3.1 ", 310 }, { "abc", std::nullopt }, { "", std::nullopt }, { "1e3", std::nullopt },
        { "12345678901234", std::nullopt } };
    for (const auto& c : cases)
        EXPECT_EQ(AssetQueryViewController::hundredths(QString::fromLatin1(c.text)), c.hundredths) << c.text;
    // Rows are added as they are and the sum rounded once.
    const struct {
        std::vector<const char*> rows;
        qint64 hundredths;
    } sums[] = { { { "100.125", "200.125" }, 30025 }, { { "0.004", "0.004" }, 1 },
        { { "-100.125", "-200.125" }, -30025 }, { { "100.125", "-0.13" }, 10000 },
        { { "0.0000000000000001", "1.005" }, 101 }, { { "9999999999999.99", "0.01" }, 1000000000000000 } };
    for (const auto& sum : sums) {
        AssetQueryViewController::DecimalSum total;
        for (const char* row : sum.rows)
            EXPECT_TRUE(total.add(QString::fromLatin1(row))) << row;
        EXPECT_EQ(total.hundredths(), sum.hundredths) << sum.rows.front();
    }
    EXPECT_EQ(AssetQueryViewController::yuanText(30150), "301.50元");
    EXPECT_EQ(AssetQueryViewController::yuanText(-5), "-0.05元");
}

// The page's totals: the rows' values added as sent, then formatted.
TEST_F(QueryPagesTest, AssetPageTotalsAddTheValuesThenRound)
{
    brokersim::Table funds = brokersim::describedTable(
        { { "fundid", "资金账号" }, { "~moneytype", "币种" }, { "marketvalue", "市值" } });
    funds.row({ "1", "人民币", "100.125" }).row({ "2", "人民币", "200.125" }).row({ "3", "美元", "0.004" });
    funds.row({ "4", "美元", "0.004" }).row({ "5", "港币", "--" });
    sim.answerTablesNext(brokersim::kMoneyFunction, { funds });
    AssetQueryViewController page;
    page.setAlertPresenter(&alerts);
    page.load();
    ASSERT_TRUE(spinUntil([&] { return page.fundTable().shownRowCount() == 5; }));
    EXPECT_EQ(page.rmbMarketValueText(), "300.25元");
    EXPECT_EQ(page.usdMarketValueText(), "0.01元");
    EXPECT_EQ(page.hkdMarketValueText(), "0.00元");
}

TEST_F(QueryPagesTest, AssetPageTotalsJumpToSellAndCostReset)
{
    AssetQueryViewController page;
    page.setAlertPresenter(&alerts);
    page.load();
    ASSERT_TRUE(spinUntil([&] { return page.positions() && page.fundTable().shownRowCount() > 0; }));
    const auto funds = std::dynamic_pointer_cast<const DTFundInfoTable>(page.fundTable().tableObject());
    ASSERT_TRUE(funds);
    ASSERT_EQ(funds->contentObjectArray().size(), 2);
    EXPECT_EQ(funds->recordAt(0).moneyTypeName, "人民币");
    EXPECT_EQ(page.rmbMarketValueText(), funds->recordAt(0).marketValue + QStringLiteral("元"));
    EXPECT_EQ(page.usdMarketValueText(), funds->recordAt(1).marketValue + QStringLiteral("元"));
    EXPECT_EQ(page.hkdMarketValueText(), "0.00元");
    EXPECT_EQ(page.functionTitles().size(), 4);
    ASSERT_GE(page.editableColumnIndex(), 0);

    // Nothing (or two rows) selected: the user is told and nothing is posted.
    Posts posts;
    page.functionSelected(AssetQueryViewController::kFunctionSell);
    page.setSelectedPositionRows({ 0, 1 });
    page.functionSelected(AssetQueryViewController::kFunctionBuy);
    EXPECT_TRUE(posts.all.empty());
    ASSERT_EQ(alerts.shown.size(), 2u);
    EXPECT_EQ(alerts.shown[1].text, "请先选择想要操作的证券。");

    const int row = rowOfCode(page.positions(), "600000");
    ASSERT_GE(row, 0);
    const RDOPositionDetail held = page.positions()->contentObjectArray()[row].value<RDOPositionDetail>();
    page.setSelectedPositionRows({ row });
    page.functionSelected(AssetQueryViewController::kFunctionSell);
    ASSERT_EQ(posts.all.size(), 1u);
    EXPECT_EQ(posts.all[0].first, pagenotify::kSellPosition);
    const RDOPositionDetail position = posts.all[0]
                                           .second.value(QString::fromLatin1(pagenotify::kPositionDetailKey))
                                           .value<RDOPositionDetail>();
    EXPECT_EQ(position.marketCode, "1");
    EXPECT_EQ(position.stockCode, "600000");
    EXPECT_EQ(position.securityId, held.securityId);
    EXPECT_EQ(position.stockAvailable, held.stockAvailable);

    // "调整成本价" edits the cost cell; every end of an edit sends its cost,
    // also while the last one waits, and each answer is shown and has the
    // positions asked for again.
    std::pair<int, int> edited { -1, -1 };
    page.setEditCell([&](int r, int c) { edited = { r, c }; });
    page.functionSelected(AssetQueryViewController::kFunctionAdjustCost);
    EXPECT_EQ(edited, std::make_pair(row, page.editableColumnIndex()));
    const DTTablePtr before = page.positions();
    sim.clearReceived();
    alerts.shown.clear();
    page.endEditing(row, edited.second, QStringLiteral("9.99"));
    page.endEditing(row, edited.second, QStringLiteral("８．８８\u3000")); // full-width digits are digits
    ASSERT_TRUE(spinUntil([&] { return alerts.shown.size() == 2 && page.positions() != before; }));
    const QList<brokersim::Request> resets = sim.receivedOf(brokersim::Function { 500, 124 });
    ASSERT_EQ(resets.size(), 2);
    EXPECT_EQ(resets[0].valueOr(u"costprice"), "9.99");
    EXPECT_EQ(resets[1].valueOr(u"costprice"), "8.88");
    EXPECT_GE(sim.receivedCount(brokersim::kPositionsFunction), 1);
    EXPECT_EQ(alerts.shown.back().title, "温馨提示");
    EXPECT_EQ(alerts.shown.back().text, "成本价修改成功");
    // What no request can carry is refused on the page, and nothing goes.
    page.endEditing(row, edited.second, QStringLiteral("８元"));
    EXPECT_EQ(alerts.shown.back().text, "成本价含有不能发送的字符");
    EXPECT_EQ(sim.receivedOf(brokersim::Function { 500, 124 }).size(), 2);
}

TEST_F(QueryPagesTest, DistributionListShowsTheServersColumnsOrTheWarning)
{
    DistributionViewController page;
    page.setAlertPresenter(&alerts);
    page.load();
    ASSERT_TRUE(spinUntil([&] { return !page.distributionTable().titles().isEmpty(); }));
    EXPECT_FALSE(page.warningShown());
    EXPECT_FALSE(page.distributionTable().titles().contains(QStringLiteral("poststr")));

    // A server error: the warning over an empty table, and no message box.
    sim.answerErrorNext(brokersim::Function { 500, 23 }, -1, QStringLiteral("系统忙"));
    page.requestQueryDistribution();
    ASSERT_TRUE(spinUntil([&] { return page.warningShown(); }));
    EXPECT_EQ(page.distributionTable().rowCount(), 0);
    EXPECT_TRUE(alerts.shown.empty());
}

namespace {

class HistoricQueryPageTest : public PagesFixture {
protected:
    static BaseNode::Ptr node(const char* title, const char* link)
    {
        BaseNode::Ptr n = ChildNode::initLeaf();
        n->nodeTitle = QString::fromUtf8(title);
        n->nodeLink
            = AesEncryption::encodeStringWithAES(QString::fromUtf8(link), QString::fromLatin1(kMenuLinkKey))
                  .value_or(QString());
        return n;
    }
};

} // namespace

TEST_F(HistoricQueryPageTest, RangeOverTwoDaysDatesFromTheChinaClock)
{
    now = platform::ChinaClock::at(2026, 12, 1, 10, 0);
    rest(true);
    now = platform::ChinaClock::at(2026, 12, 2, 10, 0);
    rest(true);
    rest(true);
    // Late evening in UTC is already the next day in China: the page's
    // dates follow the clock object, whatever the process time zone.
    now = QDateTime(QDate(2026, 12, 2), QTime(17, 0), Qt::UTC);
    const QByteArray zone = qgetenv("TZ");

    HistoricQueryViewController page(
        node("历史委托", "hisquery?tc_mfuncno=500&tc_sfuncno=125&position=poststr"));
    page.setAlertPresenter(&alerts);
    sim.clearReceived();
    page.load();
    // The first query leaves the pickers enabled, with no progress.
    EXPECT_FALSE(page.isQuerying());
    ASSERT_TRUE(spinUntil([&] { return !page.table().titles().isEmpty(); }));
    EXPECT_EQ(page.beginDate(), QDate(2026, 12, 3));
    EXPECT_EQ(page.resultCountText(), "0");
    const QList<brokersim::Request> sent = sim.received();
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0].valueOr(u"strdate"), "20261203");
    EXPECT_EQ(sent[0].valueOr(u"enddate"), "20261203");
    EXPECT_EQ(qgetenv("TZ"), zone);

    // Over both days, then, while that query is under way, one day (equal
    // dates pass): each press sends, and the last answer is shown.
    sim.clearReceived();
    const struct {
        QDate begin, end;
        const char* count;
    } presses[] = { { QDate(2026, 12, 1), QDate(2026, 12, 3), "3" },
        { QDate(2026, 12, 2), QDate(2026, 12, 2), "2" } };
    for (const auto& p : presses) {
        page.setBeginDate(p.begin);
        page.setEndDate(p.end);
        page.queryButtonClicked();
        EXPECT_TRUE(page.isQuerying());
    }
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount() == 2 && page.resultCountText() == "2"; }));
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(sim.received()[i].valueOr(u"strdate"), CommonQueryManager::getDateString(presses[i].begin));
    EXPECT_FALSE(page.isQuerying());
    EXPECT_EQ(page.table().shownRowCount(), 2);

    // Begin after end: said so, nothing sent, the table kept.
    sim.clearReceived();
    page.setBeginDate(QDate(2026, 12, 12));
    page.setEndDate(QDate(2026, 12, 3));
    page.queryButtonClicked();
    EXPECT_FALSE(page.isQuerying());
    EXPECT_EQ(sim.receivedCount(), 0);
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].text, "开始日期20261212不能大于结束日期20261203, 请重新输入。");
    EXPECT_EQ(page.table().shownRowCount(), 2);
}

TEST_F(HistoricQueryPageTest, WeeklyStatementsAndLinksWithoutFunctionNumbers)
{
    HistoricQueryViewController statement(
        node("交割单", "hisquery?tc_mfuncno=500&tc_sfuncno=126&position=poststr"));
    statement.load();
    EXPECT_EQ(statement.beginDate(), QDate(2026, 11, 25));
    EXPECT_EQ(statement.endDate(), QDate(2026, 12, 2));
    ASSERT_TRUE(spinUntil([&] { return !statement.table().titles().isEmpty(); }));

    // A link without function numbers sends nothing and says so, on every page.
    sim.clearReceived();
    HistoricQueryViewControllerEx broken(node("成交汇总", "tradehisquery?position=poststr"));
    broken.setAlertPresenter(&alerts);
    broken.load();
    CommonQueryViewController common(node("当日委托", "tradequery?sign=~bsflag"));
    common.setAlertPresenter(&alerts);
    common.load();
    ASSERT_TRUE(spinUntil([&] { return alerts.shown.size() == 2; }));
    EXPECT_FALSE(broken.isQuerying());
    EXPECT_EQ(sim.receivedCount(), 0);
    for (const AlertRequest& a : alerts.shown) {
        EXPECT_EQ(a.title, "错误");
        EXPECT_TRUE(a.text.contains(QStringLiteral("功能号"))) << qPrintable(a.text);
    }
}

// Every positions reply edits the cost column with the one formatter.
TEST_F(QueryPagesTest, AssetPageKeepsOneCostFormatterOverManyReplies)
{
    AssetQueryViewController page;
    page.setAlertPresenter(&alerts);
    page.load();
    DTTablePtr before;
    for (int reply = 0; reply < 3; ++reply) {
        ASSERT_TRUE(spinUntil([&] { return page.positions() && page.positions() != before; }));
        before = page.positions();
        ASSERT_GE(page.editableColumnIndex(), 0);
        EXPECT_NE(page.positionTable().formatter(page.editableColumnIndex()), nullptr);
        EXPECT_EQ(page.positionTable().findChildren<QValidator*>().size(), 1) << reply;
        page.loginAccountChanged();
    }
}

namespace {

brokersim::Table oneRowTable()
{
    brokersim::Table t = brokersim::describedTable({ { "stkcode", "证券代码" }, { "stkname", "证券名称" } });
    t.row({ QStringLiteral("600000"), QStringLiteral("浦发银行") });
    return t;
}

} // namespace

// On every query page an account change empties what the previous account
// showed before asking again: with the new account's queries failing, no
// row, total or position of it stays to be seen or sold.
TEST_F(HistoricQueryPageTest, AnAccountChangeLeavesNothingOfTheAccountBefore)
{
    AssetQueryViewController asset;
    DistributionViewController distribution;
    CommonQueryViewController common(node("当日委托", "tradequery?tc_mfuncno=500&tc_sfuncno=121"));
    HistoricQueryViewController historic(node("历史委托", "hisquery?tc_mfuncno=500&tc_sfuncno=125"));
    HistoricQueryViewControllerEx historicEx(
        node("历史成交", "tradehisquery?tc_mfuncno=500&tc_sfuncno=125:tc_mfuncno=500&tc_sfuncno=125"));
    const struct {
        const char* name;
        MenuItemViewController* page;
        std::vector<DVTableModel*> tables;
        // The first is answered with one row, unless the asset page's.
        std::vector<brokersim::Function> functions;
    } pages[] = {
        { "asset", &asset, { &asset.positionTable(), &asset.fundTable() },
            { brokersim::kPositionsFunction, brokersim::kMoneyFunction } },
        { "distribution", &distribution, { &distribution.distributionTable() },
            { brokersim::kDistributionFunction } },
        { "common", &common, { &common.table() }, { { 500, 121 } } },
        { "historic", &historic, { &historic.table() }, { { 500, 125 } } },
        { "historicEx", &historicEx, { &historicEx.table() }, { { 500, 125 } } },
    };
    const auto shownRows = [](const std::vector<DVTableModel*>& tables) {
        int rows = 0;
        for (const DVTableModel* t : tables)
            rows += t->shownRowCount();
        return rows;
    };
    for (const auto& p : pages) {
        SCOPED_TRACE(p.name);
        p.page->setAlertPresenter(&alerts);
        if (p.page != &asset)
            sim.answerTablesNext(p.functions[0], { oneRowTable() });
        p.page->load();
        ASSERT_TRUE(spinUntil([&] {
            return std::all_of(
                p.tables.begin(), p.tables.end(), [](auto* t) { return t->shownRowCount() > 0; });
        }));
        for (const brokersim::Function& f : p.functions)
            sim.answerErrorNext(f, -1, QStringLiteral("系统忙"));
        sim.clearReceived();
        p.page->loginAccountChanged();
        EXPECT_EQ(shownRows(p.tables), 0);
        // The counts go at once too, whatever the new answers do.
        EXPECT_EQ(historic.resultCountText() + historicEx.resultCountText(), "00");
        ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(p.functions.back()) == 1; }));
        ASSERT_TRUE(settled()); // the failures are in
        EXPECT_EQ(shownRows(p.tables), 0);
    }
    EXPECT_EQ(historic.resultCountText(), "0");
    EXPECT_EQ(asset.rmbMarketValueText() + asset.usdMarketValueText(), "0.00元0.00元");
    Posts posts;
    alerts.shown.clear();
    asset.setSelectedPositionRows({ 0 });
    asset.functionSelected(AssetQueryViewController::kFunctionSell);
    EXPECT_TRUE(posts.all.empty());
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].text, "请先选择想要操作的证券。");
}

// A statement answered late, for a range no longer asked for, is dropped;
// a failed statement of another range leaves no row of the range before,
// while a failed repeat of the range shown keeps its rows.
TEST_F(HistoricQueryPageTest, LateStatementsAreDroppedAndAFailedRangeShowsNoOtherRangesRows)
{
    now = platform::ChinaClock::at(2026, 12, 1, 10, 0);
    rest(true);
    now = platform::ChinaClock::at(2026, 12, 2, 10, 0);
    rest(true);
    rest(true);
    HistoricQueryViewController page(
        node("历史委托", "hisquery?tc_mfuncno=500&tc_sfuncno=125&position=poststr"));
    page.setAlertPresenter(&alerts);
    page.load();
    ASSERT_TRUE(spinUntil([&] { return !page.table().titles().isEmpty(); }));
    const brokersim::Function statement { 500, 125 };
    // Both days hold three orders, the second one two.
    const auto press = [&](int firstDay) {
        page.setBeginDate(QDate(2026, 12, firstDay));
        page.setEndDate(QDate(2026, 12, 2));
        page.queryButtonClicked();
    };
    const auto answered = [&] { return spinUntil([&] { return !page.isQuerying(); }); };

    sim.withholdNext(statement);
    press(1);
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    press(2);
    ASSERT_TRUE(answered());
    ASSERT_EQ(sim.releaseWithheld(), 1);
    ASSERT_TRUE(settled());
    EXPECT_EQ(page.resultCountText(), "2");

    const struct {
        bool sameRange; // as the rows shown
        // An equal query is still out when an order goes: the one that
        // fails goes out anew, under a handle of its own.
        bool afterAnOrder;
        int rowsAfter;
    } failures[] = { { false, false, 0 }, { true, false, 3 }, { true, true, 3 } };
    for (const auto& f : failures) {
        SCOPED_TRACE(
            testing::Message() << "same range " << f.sameRange << ", after an order " << f.afterAnOrder);
        if (f.sameRange) {
            press(1);
            ASSERT_TRUE(answered());
        }
        if (f.afterAnOrder) {
            sim.withholdNext(statement);
            press(1);
            ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
            rest(true);
        }
        sim.answerErrorNext(statement, -1, QStringLiteral("系统忙"));
        press(1);
        ASSERT_TRUE(answered());
        EXPECT_EQ(page.table().shownRowCount(), f.rowsAfter);
        EXPECT_EQ(page.resultCountText(), "0");
        sim.releaseWithheld();
        ASSERT_TRUE(settled());
        EXPECT_EQ(page.table().shownRowCount(), f.rowsAfter);
    }
}

// Two pages of one query class waiting at once: each table hides the fields
// its own link names, whichever link was sent last.
TEST_F(HistoricQueryPageTest, EachQueryHidesTheFieldsOfItsOwnLink)
{
    CommonQueryViewController first(
        node("当日委托", "tradequery?tc_mfuncno=500&tc_sfuncno=121&unlist=|stkcode|"));
    CommonQueryViewController second(
        node("当日委托", "tradequery?tc_mfuncno=500&tc_sfuncno=121&unlist=|stkname|"));
    first.setAlertPresenter(&alerts);
    second.setAlertPresenter(&alerts);
    const brokersim::Function orders { 500, 121 };
    sim.withholdNext(orders);
    first.load();
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    sim.answerTablesNext(orders, { oneRowTable() });
    second.load();
    ASSERT_TRUE(spinUntil([&] { return !second.table().titles().isEmpty(); }));
    sim.releaseWithheld();
    ASSERT_TRUE(spinUntil([&] { return !first.table().titles().isEmpty(); }));
    EXPECT_FALSE(first.table().titles().contains(QStringLiteral("证券代码")));
    EXPECT_TRUE(first.table().titles().contains(QStringLiteral("证券名称")));
    EXPECT_EQ(second.table().titles(), QStringList { QStringLiteral("证券代码") });
}

// What a query page shows that an action of unknown outcome may change is
// read again in the account's rounds: the page says its figures may be out
// of date while that read fails, keeps one failure box open at a time, and
// the rows of the read answered once the server is back fill it, also where
// its first read failed. A page whose function shows nothing an action
// changes, or a statement of a range before today, reads nothing.
TEST_F(HistoricQueryPageTest, QueryPagesReadAgainWhatAnActionOfUnknownOutcomeMayHaveChanged)
{
    using namespace owedfigure;
    enum Kind { Common, Historic, HistoricEx };
    const struct {
        const char* link;
        Kind kind;
        brokersim::Function function;
        const char* figure; // null: none an action changes
        bool pastRange = false;
    } rows[] = {
        { "tradequery?tc_mfuncno=500&tc_sfuncno=2", Common, { 500, 2 }, kMoney },
        { "tradequery?tc_mfuncno=500&tc_sfuncno=22&unlist=|moneytype|", Common, { 500, 22 }, kTransfers },
        { "tradequery?tc_mfuncno=500&tc_sfuncno=162", Common, { 500, 162 }, kFundDividends },
        { "tradequery?tc_mfuncno=500&tc_sfuncno=100", Common, { 500, 100 }, nullptr },
        { "hisquery?tc_mfuncno=500&tc_sfuncno=54", Historic, { 500, 54 }, kMoney },
        { "hisquery?tc_mfuncno=500&tc_sfuncno=125", Historic, { 500, 125 }, kOrders, true },
        { "tradehisquery?tc_mfuncno=500&tc_sfuncno=9:tc_mfuncno=500&tc_sfuncno=10", HistoricEx, { 500, 9 },
            kOrders },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.link);
        OwedReads::resetInstance();
        OwedReads* owed = OwedReads::getInstance();
        owed->setRoundDelays({ std::chrono::hours(1), std::chrono::hours(1), std::chrono::hours(1) });
        // The page of the row's kind; the others are never loaded.
        CommonQueryViewController common(node("查询", row.link));
        HistoricQueryViewController historic(node("查询", row.link));
        HistoricQueryViewControllerEx historicEx(node("查询", row.link));
        const std::pair<MenuItemViewController*, DVTableModel*> pages[] = { { &common, &common.table() },
            { &historic, &historic.table() }, { &historicEx, &historicEx.table() } };
        MenuItemViewController& page = *pages[row.kind].first;
        DVTableModel& table = *pages[row.kind].second;
        page.setAlertPresenter(&alerts);
        alerts.dismissAll(1);
        alerts.shown.clear();
        // The server fails the first read, and the round's.
        if (!row.pastRange)
            sim.answerErrorNext(row.function, -1, QStringLiteral("系统忙"), 2);
        page.load();
        EXPECT_EQ(common.isQuerying(), row.kind == Common); // the view shows it, never a blank page
        if (row.pastRange) {
            historic.setBeginDate(QDate(2026, 11, 2));
            historic.setEndDate(QDate(2026, 12, 1));
            historic.queryButtonClicked();
        }
        ASSERT_TRUE(settled());
        EXPECT_FALSE(common.isQuerying());
        const qsizetype asked = sim.receivedCount(row.function);
        actionLeftUnknown({ QString::fromLatin1(row.figure ? row.figure : kMoney) });
        // The round over: the next one waits, or nothing is owed any more.
        ASSERT_TRUE(spinUntil(
            [&] { return !owed->roundInFlight() && (owed->roundWait().count() > 0 || !owed->owes()); }));
        ASSERT_TRUE(settled());
        const bool reads = row.figure && !row.pastRange;
        EXPECT_EQ(sim.receivedCount(row.function), asked + (reads ? 1 : 0));
        EXPECT_EQ(
            page.figuresOutOfDate(), reads ? QStringList { QString::fromLatin1(row.figure) } : QStringList());
        if (!reads)
            continue;
        EXPECT_EQ(alerts.shown.size(), 1u); // the first failure's box, still open
        EXPECT_TRUE(table.titles().isEmpty());
        DMNotificationCenter::getInstance()->postNotification(
            NetworkFactory::kServerServes, QVariant(int(NetworkFactory::kTrade)));
        EXPECT_TRUE(
            spinUntil([&] { return page.figuresOutOfDate().isEmpty() && !table.titles().isEmpty(); }));
    }
    alerts.dismissAll(1);
}
