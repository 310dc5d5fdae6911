#include "core/DataModelClass.h"
#include "core/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "support/Spin.h"
#include "trading/confirm/OrderAlertWindowController.h"

#include <QTimer>
#include <functional>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace {

// A page that records what the dialog called back.
struct RecordingPage : IDoConfigOrder {
    std::vector<int> stockTypes, voteTypes, otherVoteTypes, plainTypes, timedOut;
    std::optional<OrderParam> param;
    bool doConfigOrderForStockTrade(int type, const OrderParam& p) override
    {
        stockTypes.push_back(type);
        param = p;
        return true;
    }
    bool doConfigOrderForHKVote(int type, const OrderParam& p) override
    {
        voteTypes.push_back(type);
        param = p;
        return true;
    }
    bool doConfigOrderForHKOtherVote(int type, const OrderParam& p) override
    {
        otherVoteTypes.push_back(type);
        param = p;
        return true;
    }
    bool doConfigOrder(int type) override
    {
        plainTypes.push_back(type);
        return true;
    }
    void doConfigOrderTimeLimitPassed(int type) override { timedOut.push_back(type); }
};

LUMORA_DATA_MODEL_PROTOCOL(ITestActionDelegate, actionDone, QString)
LUMORA_OUTCOME_RELAY(TestActionRelay, ITestActionDelegate, actionDone)

// A page that sends each confirmed request through a relay of its own, as
// every page does; the relay tells on `window` ("title|text").
struct SendingPage : RecordingPage, ITestActionDelegate {
    struct Window final : AlertPresenter {
        QStringList shown;
        void runAlert(const AlertRequest& r, Completion) override { shown << r.title + '|' + r.text; }
    } window;
    std::vector<TestActionRelay*> relays;
    int heard = 0;
    bool send()
    {
        relays.push_back(&ActionOutcomeRelay::start<TestActionRelay>(
            ActionOutcomeRelay::Listener { this, [this] { return &window; } }, *this,
            [](const QString& r) { return r; }));
        relays.back()->sent(QString::number(relays.size()));
        return true;
    }
    bool doConfigOrder(int) override { return send(); }
    bool doConfigOrderForStockTrade(int, const OrderParam&) override { return send(); }
    bool doConfigOrderForHKVote(int, const OrderParam&) override { return send(); }
    bool doConfigOrderForHKOtherVote(int, const OrderParam&) override { return send(); }
    void actionDone(DataModel*, const QString&, const QString&) override { ++heard; }
    bool actionDone(DataModel*, const QString&, const CSError&) override { return ++heard; }
};

class OrderAlertWindowControllerTest : public ::testing::Test {
protected:
    void SetUp() override { NotificationCenter::resetForTesting(); }
    void TearDown() override
    {
        OrderAlertWindowController::setShownHookForTesting({});
        NotificationCenter::resetForTesting();
    }
    // What to do once the dialog is on screen; the entry returns after it.
    void whenShown(std::function<void(OrderAlertWindowController&)> action)
    {
        OrderAlertWindowController::setShownHookForTesting([action](OrderAlertWindowController& c) {
            QTimer::singleShot(0, &c, [&c, action] { action(c); });
        });
    }
    RecordingPage page;
    QObject parentWindow;
};

struct EntryCase {
    const char* name;
    std::function<qint64(OrderAlertWindowController&, QObject*)> open;
    int type;
    const char* title;
    QSize size;
    QRect names;
    const char* confirm;
    const char* tip; // null: hidden
    const char* namesText; // null: columns hidden
    const char* values;
    const char* warning; // null: hidden
};

const std::vector<EntryCase>& entryCases()
{
    using C = OrderAlertWindowController;
    static const std::vector<EntryCase> cases = {
        { "common buy, market price", [](C& c, QObject* p) {
             return c.runModalForCommonBuy(p, "A123", "600000", "浦发银行", "对方最优价格委托", "10.50", "100", QString("1"));
         }, 0, "委托确认提示", { 362, 300 }, { 0, 80, 165, 180 }, "买入", "是否确认以上买入委托？",
            "操作类别: \n股东信息: \n证券代码: \n证券名称: \n委托方式: \n委托价格: \n委托数量: ",
            "买入委托\nA123\n600000\n浦发银行\n对方最优价格委托\n市价委托\n100", nullptr },
        { "common buy, price-limit class", [](C& c, QObject* p) {
             return c.runModalForCommonBuy(p, "A123", "688001", "华兴", "对方最优价格委托", "10.50", "200", QString("116"));
         }, 0, "委托确认提示", { 362, 300 }, { 0, 80, 165, 180 }, "买入", "是否确认以上买入委托？", nullptr,
            "买入委托\nA123\n688001\n华兴\n对方最优价格委托\n10.50\n200", nullptr },
        { "common buy, sell title applies the class test", [](C& c, QObject* p) {
             return c.runModalForCommonBuy(p, "A", "1", "n", "竞价限价卖出", "1.00", "1", std::nullopt);
         }, 0, "委托确认提示", { 362, 300 }, { 0, 80, 165, 180 }, "买入", nullptr, nullptr,
            "买入委托\nA\n1\nn\n竞价限价卖出\n市价委托\n1", nullptr },
        { "common sell, limit title", [](C& c, QObject* p) {
             return c.runModalForCommonSell(p, "A", "1", "n", "竞价限价卖出", "1.00", "1", std::nullopt);
         }, 1, "委托确认提示", { 362, 300 }, { 0, 80, 165, 180 }, "卖出", "是否确认以上卖出委托？", nullptr,
            "卖出委托\nA\n1\nn\n竞价限价卖出\n1.00\n1", nullptr },
        { "odd-lot sell", [](C& c, QObject* p) { return c.runModalForLGSell(p, "H1", "00700", "腾讯", "300.2", "7"); },
            1, "委托确认提示", { 362, 300 }, { 0, 80, 165, 180 }, "卖出", "是否确认以上零股卖出委托？", nullptr,
            "零股卖出委托\nH1\n00700\n腾讯\n300.2\n7", nullptr },
        { "warrant exercise", [](C& c, QObject* p) { return c.runModalForExerciseWarrant(p, "A", "580001", "认购权证", "5.00", "1000"); },
            0, "委托确认提示", { 362, 300 }, { 0, 80, 165, 180 }, "权证行权", "是否确认以上权证行权委托？",
            "操作类别: \n股东信息: \n行权代码: \n行权名称: \n行权价格: \n行权数量: ",
            "权证行权\nA\n580001\n认购权证\n5.00\n1000", nullptr },
        { "new issue", [](C& c, QObject* p) { return c.runModalForNewStockBuy(p, "A", "780001", "新股", "9.99", "500"); },
            3, "委托确认提示", { 362, 280 }, { 0, 60, 165, 180 }, "申购", "是否确认以上新股申购委托？", nullptr,
            "新股申购\nA\n780001\n新股\n9.99元\n500", nullptr },
        { "cancel one order", [](C& c, QObject* p) { return c.runModalForCancelOrder(p, "A", "600000", "浦发", "10.00", "100", "买入", "42"); },
            2, "委托撤单确认", { 362, 320 }, { 0, 80, 165, 200 }, "撤单", "是否确认以上委托撤单？", nullptr,
            "委托撤单\nA\n600000\n浦发\n10.00元\n100\n买入\n42", nullptr },
        { "cancel several orders", [](C& c, QObject* p) { return c.runModalForCancelOrders(p); },
            2, "委托确认提示", { 362, 160 }, {}, "撤单", nullptr, nullptr, nullptr, "\n确定要撤销选中的所有委托？" },
        { "meeting vote", [](C& c, QObject* p) { return c.runModalForHGTVote(p, "H", "00700", "腾讯", "P1", "B2", "10", "20", "30"); },
            16, "委托确认提示", { 362, 320 }, { 0, 100, 165, 180 }, "申报", "是否确认以上投票申报？", nullptr,
            "投票申报\nH\n00700\n腾讯\nP1\nB2\n10\n20\n30", nullptr },
        { "corporate action", [](C& c, QObject* p) { return c.runModalForHGTOtherVote(p, "H", "00700", "腾讯", 9000000000LL, "供股", "100", "ORG"); },
            17, "委托确认提示", { 362, 300 }, { 0, 80, 165, 180 }, "申报", "是否确认以上公司行为申报？", nullptr,
            "公司行为申报\nH\n00700\n腾讯\n供股\nORG\n100", nullptr },
        { "corporate action cancel", [](C& c, QObject* p) { return c.runModalForCancelHGTOtherVote(p, "H", "00700", "供股", 7, "100", "ORG"); },
            18, "委托确认提示", { 362, 300 }, { 0, 70, 165, 180 }, "撤销", "是否确认以上公司行为申报撤销？", nullptr,
            "公司行为申报撤销\nH\n00700\n供股\nORG\n100", nullptr },
        { "several corporate actions", [](C& c, QObject* p) { return c.runModalForCancelOtherVotes(p); },
            2, "委托确认提示", { 362, 160 }, {}, "撤销", nullptr, nullptr, nullptr, "\n确定要撤销选中的所有公司行为申报？" },
        { "fund subscription", [](C& c, QObject* p) { return c.runModalForSubscribeOpdFund(p, "基金甲", "000001", "1000.00"); },
            4, "基金认购确认", { 362, 240 }, { 0, 40, 165, 180 }, "认购", "是否确认以上基金认购委托？",
            "\n操作类别: \n基金代码: \n基金名称: \n认购金额: ", "\n基金认购\n000001\n基金甲\n1000.00元", nullptr },
        { "fund purchase", [](C& c, QObject* p) { return c.runModalForPurchaseOpdFund(p, "基金甲", "000001", "5"); },
            5, "基金申购确认", { 362, 240 }, { 0, 40, 165, 180 }, "申购", "是否确认以上基金申购委托？", nullptr,
            "\n基金申购\n000001\n基金甲\n5元", nullptr },
        { "fund redemption", [](C& c, QObject* p) { return c.runModalForRedeemOpdFund(p, "基金甲", "000001", "300", "顺延"); },
            7, "基金赎回确认", { 362, 280 }, { 0, 60, 165, 180 }, "赎回", "是否确认以上基金赎回委托？", nullptr,
            "基金赎回\n000001\n基金甲\n300份\n顺延", nullptr },
        { "fund conversion", [](C& c, QObject* p) { return c.runModalForTransformOpdFund(p, "甲", "000001", "50", "000002", "乙"); },
            8, "基金转换确认", { 362, 280 }, { 0, 60, 165, 180 }, "转换", "是否确认以上基金转换委托？", nullptr,
            "基金转换\n000001\n甲\n000002\n乙\n50份", nullptr },
        { "dividend setting", [](C& c, QObject* p) { return c.runModalForBonusSetting(p, "甲", "000001", "红利再投"); },
            9, "基金分红设置确认", { 362, 240 }, { 0, 40, 165, 180 }, "设置", "是否确认以上基金分红设置委托？",
            "\n操作类别: \n基金代码: \n基金名称: \n分红方式: ", "\n基金分红设置\n000001\n甲\n红利再投", nullptr },
        { "investment plan", [](C& c, QObject* p) {
             return c.runModalForInvestOntime(p, "000001", "甲", "前端", "每月", "8日", "到期", "200", "20260101", "20261231", "20251201");
         }, 10, "基金定投确认", { 362, 400 }, { 0, 0, 165, 360 }, "定投", "是否确认以上基金定投委托？", nullptr,
            "基金定投申请\n000001\n甲\n前端\n每月\n8日\n200元\n到期\n20260101\n20261231\n20251201", nullptr },
        { "fund cancel", [](C& c, QObject* p) { return c.runModalForOpdFundCancelOrder(p, "甲", "000001", "申购", "77"); },
            6, "基金撤单确认", { 362, 260 }, { 0, 40, 165, 180 }, "撤单", "是否确认以上基金撤单委托？", nullptr,
            "基金撤单\n000001\n甲\n申购\n77", nullptr },
        { "several fund cancels", [](C& c, QObject* p) { return c.runModalForOpdFundCancelOrders(p); },
            2, "基金撤单确认", { 362, 160 }, {}, "撤单", nullptr, nullptr, nullptr, "\n确定要撤销选中的所有委托？" },
        { "plan cancel", [](C& c, QObject* p) {
             return c.runModalForOpdFundInvestOntimeCancelOrder(p, "甲", "000001", "每月", "8日", "200", "到期", "b", "e", "a", "S9");
         }, 11, "基金定投撤单确认", { 362, 400 }, { 0, 0, 165, 360 }, "撤单", "是否确认以上基金定投撤单委托？", nullptr,
            "基金定投撤单\nS9\n000001\n甲\n每月\n8日\n200\n到期\nb\ne\na", nullptr },
        { "several plan cancels", [](C& c, QObject* p) { return c.runModalForOpdFundInvestOntimeCancelOrders(p); },
            11, "基金定投撤单确认", { 362, 160 }, {}, "撤单", nullptr, nullptr, nullptr, "\n确定要撤销选中的所有委托？" },
        { "bank to securities", [](C& c, QObject* p) { return c.runModalForFundTransferBankToStock(p, "工商银行", "人民币", "100.00"); },
            12, "银证转账交易确认", { 362, 240 }, { 0, 40, 135, 180 }, "转账", "是否确认以上银证转账交易委托？",
            "\n业务类别: \n银行: \n币种: \n转账金额: ", "\n银行转证券\n工商银行\n人民币\n100.00", nullptr },
        { "securities to bank", [](C& c, QObject* p) { return c.runModalForFundTransferStockToBank(p, "工商银行", "人民币", "%1&x=1"); },
            13, "银证转账交易确认", { 362, 240 }, { 0, 40, 135, 180 }, "转账", nullptr, nullptr,
            "\n证券转银行\n工商银行\n人民币\n%1&x=1", nullptr },
        { "inside transfer", [](C& c, QObject* p) { return c.runModalForFundInsideTransfer(p, "out", "in", "人民币", "9"); },
            14, "资金内转交易确认", { 362, 260 }, { 0, 40, 135, 180 }, "转账", "是否确认以上资金内转交易委托？",
            "业务类别: \n币种: \n转出账号: \n转入账号: \n转账金额: ", "资金账号内转\n人民币\nout\nin\n9", nullptr },
        { "fund collection", [](C& c, QObject* p) { return c.runModalForFundCollection(p, "8800123"); },
            15, "资金归集确认提示", { 362, 220 }, {}, "归集", "是否确认以上资金归集委托？", nullptr, "",
            "      本次操作后, 资金于下一工作日方可从本公司转出。您确认将所有辅资金账号中的资金转移到账号: 8800123 吗？" },
    };
    return cases;
}

// Each entry's texts and type, and its result for confirm (the type's
// callback, dialog kept busy until stopRunModal) and for cancel (no callback).
TEST_F(OrderAlertWindowControllerTest, EveryEntryShowsItsTextsAndHandsBackItsType)
{
    for (const EntryCase& c : entryCases()) {
        SCOPED_TRACE(c.name);
        for (bool confirm : { true, false }) {
            RecordingPage p;
            OrderAlertWindowController dialog(&p);
            bool busyBeforeStop = false;
            whenShown([&](OrderAlertWindowController& d) {
                EXPECT_TRUE(d.isShown());
                EXPECT_EQ(d.theType(), c.type);
                EXPECT_EQ(d.windowTitle(), QString::fromUtf8(c.title));
                EXPECT_EQ(d.windowSize(), c.size);
                EXPECT_EQ(d.confirmTitle(), QString::fromUtf8(c.confirm));
                EXPECT_EQ(d.parentWindow(), &parentWindow);
                if (c.tip) {
                    EXPECT_EQ(d.tipText(), QString::fromUtf8(c.tip));
                }
                if (c.namesText) {
                    EXPECT_EQ(d.titleText(), QString::fromUtf8(c.namesText));
                }
                if (c.values) {
                    EXPECT_EQ(d.contentText(), QString::fromUtf8(c.values));
                    if (!c.names.isNull()) {
                        EXPECT_EQ(d.namesFrame(), c.names);
                    }
                }
                EXPECT_EQ(d.columnsVisible(), c.names.isValid() || c.tip != nullptr);
                EXPECT_EQ(d.warningVisible(), c.warning != nullptr);
                if (c.warning) {
                    EXPECT_EQ(d.warningText(), QString::fromUtf8(c.warning));
                }
                if (!confirm) {
                    d.cancelButtonClicked();
                    return;
                }
                d.confirmButtonClicked();
                busyBeforeStop = d.isBusy() && d.isShown();
                d.stopRunModal();
            });
            EXPECT_EQ(c.open(dialog, &parentWindow), 0);
            EXPECT_FALSE(dialog.isShown());
            EXPECT_FALSE(dialog.isBusy());
            EXPECT_EQ(dialog.parentWindow(), nullptr);
            const size_t calls = p.stockTypes.size() + p.voteTypes.size() + p.otherVoteTypes.size() + p.plainTypes.size();
            EXPECT_EQ(calls, confirm ? 1u : 0u);
            if (confirm) {
                EXPECT_TRUE(busyBeforeStop);
            }
        }
    }
}

TEST_F(OrderAlertWindowControllerTest, CallbacksCarryTheRecordOfTheirType)
{
    OrderAlertWindowController dialog(&page);
    whenShown([](OrderAlertWindowController& d) { d.confirmButtonClicked(); d.stopRunModal(); });
    dialog.runModalForCommonBuy(&parentWindow, "A1", "600000", "浦发", "对方最优价格委托", "10.50", "300", QString("1"));
    ASSERT_EQ(page.stockTypes, std::vector<int>{ 0 });
    // The record holds the typed price even where the dialog shows "市价委托".
    EXPECT_EQ(page.param->price(), "10.50");
    EXPECT_EQ(page.param->orderType(), "对方最优价格委托");
    EXPECT_EQ(page.param->quantity(), "300");

    dialog.runModalForHGTOtherVote(&parentWindow, "H", "00700", "腾讯", 9000000000LL, "供股", "100", "ORG");
    dialog.runModalForCancelHGTOtherVote(&parentWindow, "H", "00700", "供股", 5, "100", "ORG");
    EXPECT_EQ(page.otherVoteTypes, (std::vector<int>{ 17, 18 }));
    EXPECT_EQ(page.param->voteType(), 5);
    EXPECT_EQ(page.param->stockName(), "");
    dialog.runModalForHGTVote(&parentWindow, "H", "00700", "腾讯", "P", "B", "1", "2", "3");
    EXPECT_EQ(page.voteTypes, std::vector<int>{ 16 });
    EXPECT_EQ(page.param->freeNo(), "3");
}

// Enter held down or a double click confirms once; cancel is dead while busy.
TEST_F(OrderAlertWindowControllerTest, ConfirmTwiceCallsBackOnceAndCancelWaitsWhileBusy)
{
    OrderAlertWindowController dialog(&page);
    whenShown([](OrderAlertWindowController& d) {
        d.confirmButtonClicked();
        d.confirmButtonClicked();
        d.cancelButtonClicked();
        EXPECT_TRUE(d.isShown());
        d.stopRunModal();
    });
    dialog.runModalForCommonSell(&parentWindow, "A", "1", "n", "限价委托", "1.00", "100", QString("1"));
    EXPECT_EQ(page.stockTypes.size(), 1u);
}

// The lock (its notification, or the end of every modal run) closes a busy
// dialog and ends its busy state; the answer of the request it sent belongs
// to that run and leaves the next run's dialog as it is.
TEST_F(OrderAlertWindowControllerTest, TheLockEndsABusyDialogAndItsLateAnswerClosesNoOtherRun)
{
    const std::function<void()> locks[] = { [] { NotificationCenter::getInstance()->postNotification(3); },
        [] { platform::ModalSession::stopAll(); } };
    for (const auto& lock : locks) {
        // A dialog left busy ends at a short backstop: the test fails, but fast.
        OrderAlertWindowController dialog(&page, { nullptr, 1000 });
        whenShown([&lock](OrderAlertWindowController& d) {
            d.confirmButtonClicked();
            d.requestSent(QStringLiteral("first"));
            lock();
        });
        EXPECT_EQ(dialog.runModalForCommonBuy(
                      &parentWindow, "A", "1", "n", "限价委托", "1.00", "100", QString("1")),
            0);
        EXPECT_FALSE(dialog.isShown());
        EXPECT_FALSE(dialog.isBusy());
        whenShown([](OrderAlertWindowController& d) {
            EXPECT_FALSE(d.isBusy());
            EXPECT_FALSE(d.requestAnswered(QStringLiteral("first")));
            EXPECT_TRUE(d.isShown());
            d.cancelButtonClicked(); // works at once
            EXPECT_FALSE(d.isShown());
        });
        dialog.runModalForCancelOrders(&parentWindow);
    }
    EXPECT_EQ(page.stockTypes.size(), 2u);
    EXPECT_TRUE(page.plainTypes.empty());
}

// A request refused before it is sent has no handle and no answer to come:
// the confirmation closes at once, idle, and its run returns; the page
// hears no unknown outcome.
TEST_F(OrderAlertWindowControllerTest, ARequestRefusedBeforeItIsSentClosesTheDialogAtOnce)
{
    OrderAlertWindowController dialog(&page);
    bool openAfterRefusal = true;
    whenShown([&openAfterRefusal](OrderAlertWindowController& d) {
        d.confirmButtonClicked();
        EXPECT_FALSE(d.requestSent(QString()));
        openAfterRefusal = d.isShown() || d.isBusy();
        if (d.isShown())
            d.stopRunModal(); // the run must end for the test to go on
    });
    dialog.runModalForCommonBuy(&parentWindow, "A", "1", "n", "限价委托", "1.00", "100", QString("1"));
    EXPECT_FALSE(openAfterRefusal);
    EXPECT_FALSE(dialog.isShown());
    EXPECT_TRUE(page.timedOut.empty());
}

// While the dialog runs only the modal-panel mode is served: trade replies
// come in, quote replies wait.
TEST_F(OrderAlertWindowControllerTest, RunsInTheModalPanelMode)
{
    OrderAlertWindowController dialog(&page);
    bool quoteRan = false;
    platform::RunLoop::current()->perform(platform::RunLoopModes::defaultMode(), [&] { quoteRan = true; });
    whenShown([&](OrderAlertWindowController& d) {
        platform::RunLoop::current()->perform(platform::RunLoopModes::modalPanel(), [&d, &quoteRan] {
            EXPECT_FALSE(quoteRan);
            d.stopRunModal();
        });
    });
    dialog.runModalForCancelOrders(&parentWindow);
    EXPECT_FALSE(dialog.isShown());
    EXPECT_TRUE(testsupport::spinUntil([&] { return quoteRan; })); // served once the dialog closed
}

// A request that never answers: the backstop closes the dialog and the page
// hears that the outcome is unknown.
TEST_F(OrderAlertWindowControllerTest, AWithheldReplyEndsThroughTheBackstop)
{
    OrderAlertWindowController dialog(&page, { nullptr, 20 });
    whenShown([](OrderAlertWindowController& d) { d.confirmButtonClicked(); });
    dialog.runModalForCommonBuy(&parentWindow, "A", "1", "n", "限价委托", "1.00", "100", QString("1"));
    EXPECT_FALSE(dialog.isShown());
    EXPECT_FALSE(dialog.isBusy());
    EXPECT_EQ(page.timedOut, std::vector<int>{ 0 });
}

// The time limit is the relay's: the relays the page started for the run
// tell, once, that the outcome is unknown in the words of the entry's kind
// (a vote is not told "切勿重复下单"), then the page hears that its dialog
// closed. A run the lock closed before has no limit left: its relay is not
// told, and its answer still reaches the page; the request's own unknown
// outcome after the limit is not told again.
TEST_F(OrderAlertWindowControllerTest, TheTimeLimitIsToldByTheRelaysOfItsOwnRun)
{
    SendingPage p;
    OrderAlertWindowController dialog(&p, { nullptr, 20 });
    whenShown([](OrderAlertWindowController& d) {
        d.setBusyBackstopMsForTesting(600000);
        d.confirmButtonClicked();
        NotificationCenter::getInstance()->postNotification(3);
    });
    dialog.runModalForCancelOrders(&parentWindow);
    whenShown([](OrderAlertWindowController& d) {
        d.setBusyBackstopMsForTesting(20);
        d.confirmButtonClicked();
    });
    dialog.runModalForHGTVote(&parentWindow, "H", "00700", "腾讯", "P1", "B2", "10", "20", "30");
    ASSERT_EQ(p.relays.size(), 2u);
    EXPECT_EQ(p.window.shown, QStringList(QStringLiteral("错误|投票申报结果未知，请稍后查询确认，切勿重复申报")));
    EXPECT_EQ(p.timedOut, std::vector<int> { 16 });
    p.relays[0]->actionDone(nullptr, QStringLiteral("1"), QStringLiteral("ok"));
    p.relays[1]->actionDone(nullptr, QStringLiteral("2"), CSError { QStringLiteral("late"), CSErrorOutcomeUnknown });
    EXPECT_EQ(p.heard, 1);
    EXPECT_EQ(p.window.shown.size(), 1);
    EXPECT_EQ(ActionOutcomeRelay::pendingCount(), 0u);
}

// Every entry's time limit tells in the words of its kind: only an order is
// told not to place it again; a cancel, a vote, a declaration, its
// withdrawal and each kind of transfer in their own. A fund action's words
// never send the customer to the share orders' 当日委托.
TEST_F(OrderAlertWindowControllerTest, EveryEntrysTimeLimitTellsTheWordsOfItsKind)
{
    using E = OrderAlertEntry;
    const char* order = "委托结果未知，请查询当日委托确认，切勿重复下单";
    const char* cancel = "撤单结果未知，请查询当日委托确认";
    const char* fundOrder = "基金委托结果未知，请查询确认，切勿重复下单";
    const char* fundCancel = "基金撤单结果未知，请查询确认";
    const char* withdrawal = "公司行为申报撤销结果未知，请查询公司行为申报确认";
    const char* bank = "未收到转账结果，转账可能已经提交。请查看转账流水确认，切勿重复转账。";
    const char* inside
        = "未收到资金账号间转账的结果，转账可能已经完成。请查看资金账号的余额确认，切勿重复提交。";
    const std::map<E, const char*> words
        = { { E::CommonBuy, order }, { E::CommonSell, order }, { E::LGSell, order },
              { E::ExerciseWarrant, order }, { E::NewStockBuy, order }, { E::CancelOrder, cancel },
              { E::CancelOrders, cancel }, { E::HGTVote, "投票申报结果未知，请稍后查询确认，切勿重复申报" },
              { E::HGTOtherVote, "公司行为申报结果未知，请查询公司行为申报确认，切勿重复申报" },
              { E::CancelHGTOtherVote, withdrawal }, { E::CancelOtherVotes, withdrawal },
              { E::SubscribeOpdFund, fundOrder }, { E::PurchaseOpdFund, fundOrder },
              { E::RedeemOpdFund, fundOrder }, { E::TransformOpdFund, fundOrder }, { E::BonusSetting, fundOrder },
              { E::InvestOntime, fundOrder }, { E::OpdFundCancelOrder, fundCancel },
              { E::OpdFundCancelOrders, fundCancel }, { E::OpdFundInvestOntimeCancelOrder, fundCancel },
              { E::OpdFundInvestOntimeCancelOrders, fundCancel },
              { E::FundTransferBankToStock, bank }, { E::FundTransferStockToBank, bank },
              { E::FundInsideTransfer, inside }, { E::FundCollection, inside } };
    std::set<E> seen;
    for (const EntryCase& c : entryCases()) {
        SCOPED_TRACE(c.name);
        SendingPage p;
        OrderAlertWindowController dialog(&p, { nullptr, 20 });
        whenShown([](OrderAlertWindowController& d) { d.confirmButtonClicked(); });
        c.open(dialog, &parentWindow);
        seen.insert(dialog.entry());
        ASSERT_EQ(p.relays.size(), 1u);
        EXPECT_EQ(p.window.shown,
            QStringList(QStringLiteral("错误|") + QString::fromUtf8(words.at(dialog.entry()))));
        p.relays[0]->actionDone(
            nullptr, QStringLiteral("1"), CSError { QStringLiteral("late"), CSErrorOutcomeUnknown });
    }
    EXPECT_EQ(seen.size(), words.size());
}

TEST_F(OrderAlertWindowControllerTest, AStopOrLockWithNoDialogEndsNoOtherModalRun)
{
    OrderAlertWindowController dialog(&page);
    OrderAlertWindowController other(&page);
    whenShown([&](OrderAlertWindowController& d) {
        if (&d != &other)
            return;
        dialog.stopRunModal();
        EXPECT_TRUE(other.isShown());
        other.cancelButtonClicked();
    });
    other.runModalForCancelOrders(&parentWindow);
    EXPECT_FALSE(other.isShown());
}

// A confirmation no test answers, with no window to show it: the test fails
// at once and the entry returns, rather than waiting for the runner's time-out.
TEST_F(OrderAlertWindowControllerTest, AConfirmationNoTestAnswersFailsAtOnce)
{
    OrderAlertWindowController dialog(&page);
    EXPECT_NONFATAL_FAILURE(dialog.runModalForCancelOrders(&parentWindow), "a modal dialog the test did not expect");
    EXPECT_FALSE(dialog.isShown());
    EXPECT_TRUE(page.plainTypes.empty());
}

} // namespace
