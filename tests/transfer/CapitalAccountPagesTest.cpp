#include "transfer/pages/CapitalAccountPages.h"

#include "TransferTestRig.h"
#include "comm/request/CSNetwork.h"
#include "core/NetworkFactory.h"
#include "core/UserDefaultConfig.h"
#include "platform/RunLoop.h"
#include "shell/pages/ActionOutcomeRelay.h"
#include "shell/pages/MenuItemViewManager.h"
#include "shell/windows/SessionNotifications.h"
#include "tools/broker-sim/Table.h"
#include "transfer/pages/TransferPages.h"

#include <QRegularExpression>
#include <QTimer>

namespace {

using namespace transfertest;
using brokersim::kBankBalanceFunction;
using brokersim::kFundCollectionFunction;
using brokersim::kInsideTransferFunction;
using brokersim::kMoneyFunction;
using brokersim::kTransferHistoryFunction;
using testsupport::spinUntil;

const QString kMain = QStringLiteral("010210000002");
const QString kSecondary = QStringLiteral("010210000003");

struct LinkRow {
    const char* fundId;
    const char* fundSeq;
    const char* bankCode;
    const char* moneyType;
};

// Transfer information as the server would send it, one row per link and
// currency (any transfer type).
RDOFundTransferInfo infoOf(std::initializer_list<LinkRow> rows)
{
    brokersim::Table t;
    for (const char* name : { "fundid", "fundseq", "bankcode", "bankname", "moneytype", "banktrantype" })
        t.column(QString::fromLatin1(name));
    for (const LinkRow& r : rows) {
        t.row({ QString::fromLatin1(r.fundId), QString::fromLatin1(r.fundSeq),
            QString::fromLatin1(r.bankCode), QStringLiteral("银行") + QString::fromLatin1(r.bankCode),
            QString::fromLatin1(r.moneyType), QStringLiteral("1") });
    }
    const VEKTCRS set = brokersim::toRecordSet(t, 2).value();
    return RDOFundTransferInfo(&set);
}

// A page with a transfer dialog, of either base.
struct Opened {
    std::shared_ptr<MenuItemViewController> page;
    std::function<void(const QString&)> press; // fills the form with an amount and presses the button
    std::function<bool()> busy;
    std::function<QString()> amount;
};
template <class Page, class Fill> Opened opened(std::unique_ptr<Page> page, Fill fill)
{
    Page* p = page.get();
    Opened o { std::move(page),
        [p, fill](const QString& amount) {
            fill(*p);
            if constexpr (requires { p->setAmountText(amount); })
                p->setAmountText(amount);
            p->transferButtonClicked();
        },
        nullptr,
        [p] {
            if constexpr (requires { p->amountText(); })
                return p->amountText();
            else
                return (void)p, QString();
        } };
    if constexpr (std::is_base_of_v<CapitalAccountPage, Page>)
        o.busy = [p] { return p->isBusy(); };
    else
        o.busy = [p] { return p->isTransferBusy(); };
    return o;
}

// The four pages that move money.
enum class Kind { BankToStock, StockToBank, Inside, Collection };

class CapitalAccountPagesTest : public TransferSimulatorFixture {
protected:
    void TearDown() override
    {
        OrderAlertWindowController::setShownHookForTesting(nullptr);
        UserDefaultConfig::getInstance()->setAccountProtectOption(false);
        TransferSimulatorFixture::TearDown();
    }
    template <class Page, class Services>
    std::unique_ptr<Page> open(const QString& custid, const QString& password, Services services = {})
    {
        logIn(custid, password);
        auto page = std::make_unique<Page>(nullptr, services);
        page->setAlertPresenter(&alerts);
        page->load();
        EXPECT_TRUE(spinUntil([&] { return page->fundTransferInfo().has_value(); }, 10s));
        return page;
    }
    std::unique_ptr<InsideTransferViewController> openInside(CapitalAccountPageServices services = {})
    {
        auto page = open<InsideTransferViewController>(kSecondCustomer, kSecondPassword, services);
        EXPECT_TRUE(
            spinUntil([&] { return !page->availableFundText().isEmpty() && page->fundInfoTable(); }, 10s));
        return page;
    }
    // The dialog confirms as soon as it shows and keeps what it showed.
    void confirmDialogs()
    {
        OrderAlertWindowController::setShownHookForTesting([this](OrderAlertWindowController& dialog) {
            dialogTexts << (dialog.warningVisible() ? dialog.warningText() : dialog.contentText());
            dialog.confirmButtonClicked();
        });
    }
    // A page of `kind` for its customer (张三 at the bank, 李四 between
    // capital accounts), whose press fills what it needs.
    Opened openKind(Kind kind, FundTransferPageServices bank = {}, CapitalAccountPageServices capital = {})
    {
        // A bank page keeps only the passwords it shows.
        const auto fillBank = [](FundTransferBaseViewController& p) {
            p.setFundPasswordText(kTradePassword);
            p.setBankPasswordText(kBankPassword);
        };
        switch (kind) {
        case Kind::BankToStock:
            return opened(open<BankToStockViewController>(kCustomer, kTradePassword, bank), fillBank);
        case Kind::StockToBank:
            return opened(open<StockToBankViewController>(kCustomer, kTradePassword, bank), fillBank);
        case Kind::Inside:
            return opened(openInside(capital), [](InsideTransferViewController& p) {
                p.toFundAccountChanged(1);
                p.setFundPasswordText(kSecondPassword);
            });
        case Kind::Collection:
            return opened(open<FundCollectionViewController>(kSecondCustomer, kSecondPassword, capital),
                [](FundCollectionViewController&) {});
        }
        return {};
    }
    qsizetype count(brokersim::Function f) const { return sim.receivedCount(f); }
    qint64 balance(const QString& fundId) { return money(fundId, kSecondCustomer).balance; }

    RecordingAlerts alerts;
    QStringList dialogTexts;
};

TEST_F(CapitalAccountPagesTest, InsideTransferMovesMoneyAndShowsBothSerials)
{
    auto page = openInside();
    EXPECT_EQ(page->moneyNames(), QStringList({ QStringLiteral("人民币"), QStringLiteral("港币") }));
    // Every 人民币 link, in both selectors, each at its first entry.
    EXPECT_EQ(page->fundAccountItems(),
        QStringList({ QStringLiteral("建设银行 - 010210000002 (主)"),
            QStringLiteral("工商银行 - 010210000003 "), QStringLiteral("招商银行 - 010210000004 "),
            QStringLiteral("农业银行 - 010210000002 (主)") }));
    EXPECT_EQ(page->selectedOutIndex(), 0);
    EXPECT_EQ(page->selectedInIndex(), 0);
    EXPECT_EQ(page->availableFundText(), QStringLiteral("50000.00元"));
    ASSERT_TRUE(page->fundInfoTable());
    EXPECT_EQ(page->fundInfoTable()->count(), 4); // every capital account

    const qint64 mainBefore = balance(kMain);
    const qint64 secondaryBefore = balance(kSecondary);
    page->toFundAccountChanged(1);
    page->setAmountText(QStringLiteral("1234.50"));
    page->setFundPasswordText(kSecondPassword);
    confirmDialogs();
    // The money and the list read after the transfer are held back for a while.
    sim.withholdNext(kMoneyFunction, 2);
    page->transferButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return !page->isBusy(); }, 10s));
    ASSERT_EQ(dialogTexts.size(), 1);
    EXPECT_EQ(dialogTexts.front(),
        QStringLiteral(
            "资金账号内转\n人民币\n建设银行 - 010210000002 (主)\n工商银行 - 010210000003 \n1234.50"));
    EXPECT_TRUE(sim.receivedOf(kInsideTransferFunction)
                    .back()
                    .rawBody.endsWith("&outfundid=010210000002&infundid=010210000003&moneytype=0&fundeffect="
                                      "1234.50&outpassword=222222"
                                      "&cashcheck=0&checkpwdflag=1"));
    const QRegularExpressionMatch tip
        = QRegularExpression(QStringLiteral("^资金内转提交已成功。\n转出合同号:(\\d+)\n转入合同号:(\\d+)$"))
              .match(alerts.last());
    ASSERT_TRUE(tip.hasMatch()) << qPrintable(alerts.last());
    EXPECT_NE(tip.captured(1), tip.captured(2));
    EXPECT_TRUE(page->amountText().isEmpty());
    EXPECT_TRUE(page->fundPasswordText().isEmpty());
    EXPECT_EQ(balance(kMain), mainBefore - 1234500);
    EXPECT_EQ(balance(kSecondary), secondaryBefore + 1234500);
    // Meanwhile no figure the transfer changed shows as it was.
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 2; }, 10s));
    EXPECT_TRUE(page->availableFundText().isEmpty());
    EXPECT_FALSE(page->fundInfoTable());
    sim.releaseWithheld();
    ASSERT_TRUE(spinUntil([&] { return page->availableFundText() == QStringLiteral("48765.50元"); }, 10s));
    ASSERT_TRUE(spinUntil([&] { return page->fundInfoTable() != nullptr; }, 10s));

    // The server's refusals reach the user as they stand, fields cleared,
    // whatever their code.
    const struct {
        const char* amount;
        const char* password;
        QString message;
        qint32 errorRow; // an error row of this code instead of the broker's answer
    } refusals[] = {
        { "1", "000000", QStringLiteral("资金密码错误"), 0 },
        { "999999", "222222", QStringLiteral("可用资金不足"), 0 },
        { "1", "222222", QStringLiteral("内转业务暂停"), 700 },
    };
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.amount);
        if (r.errorRow)
            sim.answerErrorNext(kInsideTransferFunction, r.errorRow, r.message);
        page->setAmountText(QString::fromLatin1(r.amount));
        page->setFundPasswordText(QString::fromLatin1(r.password));
        page->transferButtonClicked();
        ASSERT_TRUE(spinUntil([&] { return !page->isBusy(); }, 10s));
        EXPECT_EQ(alerts.last(), r.message);
        EXPECT_TRUE(page->amountText().isEmpty());
        EXPECT_TRUE(page->fundPasswordText().isEmpty());
    }
    EXPECT_EQ(balance(kMain), mainBefore - 1234500);
}

TEST_F(CapitalAccountPagesTest, InsideTransferChecksItsInputInOrderBeforeTheDialog)
{
    auto page = openInside();
    OrderAlertWindowController::setShownHookForTesting([this](OrderAlertWindowController& dialog) {
        dialogTexts << dialog.contentText();
        dialog.cancelButtonClicked();
    });
    const RDOFundTransferInfo good = infoOf({ { "1", "0", "B1", "0" }, { "2", "1", "B2", "0" } });
    const struct {
        RDOFundTransferInfo info;
        qsizetype in;
        const char* amount;
        const char* password;
        QString message;
    } cases[] = {
        { good, 1, "", "x", QStringLiteral("请输入转账金额和转账密码。") },
        { good, 1, "1", "", QStringLiteral("请输入转账金额和转账密码。") },
        // Only an unknown currency: none to choose.
        { infoOf({ { "1", "0", "B1", "3" } }), 0, "1", "x", QStringLiteral("选择币种有误。") },
        { infoOf({ { "1", "0", "", "0" }, { "2", "1", "B2", "0" } }), 1, "1", "x",
            QStringLiteral("选择转出账号有误。") },
        { infoOf({ { "1", "0", "B1", "0" }, { "2", "1", "", "0" } }), 1, "1", "x",
            QStringLiteral("选择转入账号有误。") },
        // Each check before the next: the first failing one is told.
        { infoOf({ { "1", "0", "", "3" } }), 0, "", "x", QStringLiteral("请输入转账金额和转账密码。") },
        { infoOf({ { "1", "0", "", "0" }, { "2", "1", "", "0" } }), 1, "1", "x",
            QStringLiteral("选择转出账号有误。") },
        { infoOf({ { "1", "0", "B1", "0" }, { "2", "1", "", "0" } }), 1, "1.005", "a&b",
            QStringLiteral("选择转入账号有误。") },
        // Then what is typed must fit its field and never rewrite the body.
        { good, 1, "1&fundeffect=9", "x",
            QStringLiteral("转账金额只能包含字母、数字和英文符号（“&”和“=”除外）。") },
        { good, 1, "1", "a&b", QStringLiteral("转账密码只能包含字母、数字和英文符号（“&”和“=”除外）。") },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        page->queryFundTransferInfo(nullptr, QString(), c.info);
        page->toFundAccountChanged(c.in);
        page->setAmountText(QString::fromLatin1(c.amount));
        page->setFundPasswordText(QString::fromLatin1(c.password));
        page->transferButtonClicked();
        EXPECT_EQ(alerts.last(), c.message);
        EXPECT_FALSE(page->isBusy());
    }
    EXPECT_TRUE(dialogTexts.isEmpty());
    EXPECT_EQ(count(kInsideTransferFunction), 0);

    // The same account out and in, and the amount's value, are the server's
    // to judge: they go as typed.
    page->queryFundTransferInfo(nullptr, QString(), good);
    confirmDialogs();
    const struct {
        const char* typed;
        const char* sent; // full-width digits are digits
    } amounts[] = { { "1", "1" }, { "-1.005", "-1.005" }, { "12345678901234", "12345678901234" },
        { "２．５\u3000", "2.5" } };
    for (const auto& amount : amounts) {
        page->setAmountText(QString::fromUtf8(amount.typed));
        page->setFundPasswordText(QStringLiteral("x"));
        page->transferButtonClicked();
        ASSERT_TRUE(spinUntil([&] { return !page->isBusy(); }, 10s));
        EXPECT_EQ(sim.receivedOf(kInsideTransferFunction).back().valueOr(u"fundeffect"),
            QLatin1String(amount.sent));
    }
    EXPECT_EQ(count(kInsideTransferFunction), 4);

    // The third currency, 美元, goes as the other two do.
    page->queryFundTransferInfo(nullptr, QString(),
        infoOf({ { "1", "0", "B1", "0" }, { "2", "1", "B2", "1" }, { "3", "0", "B3", "2" },
            { "4", "1", "B4", "2" } }));
    ASSERT_EQ(page->moneyNames(),
        QStringList({ QStringLiteral("人民币"), QStringLiteral("港币"), QStringLiteral("美元") }));
    page->moneyTypeSelected(2);
    page->toFundAccountChanged(1);
    page->setAmountText(QStringLiteral("1"));
    page->setFundPasswordText(QStringLiteral("x"));
    page->transferButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return !page->isBusy(); }, 10s));
    ASSERT_EQ(count(kInsideTransferFunction), 5);
    EXPECT_TRUE(sim.receivedOf(kInsideTransferFunction)
                    .back()
                    .rawBody.contains("&outfundid=3&infundid=4&moneytype=2&"));
}

TEST_F(CapitalAccountPagesTest, InsideTransferFollowsCurrencyAccountAndMasking)
{
    auto page = openInside();
    // Another out account: its money is read.
    const qsizetype asked = count(kMoneyFunction);
    page->fundAccountChanged(2);
    ASSERT_TRUE(spinUntil([&] { return page->availableFundText() == QStringLiteral("1500.50元"); }, 10s));
    EXPECT_EQ(count(kMoneyFunction), asked + 1);
    EXPECT_TRUE(sim.receivedOf(kMoneyFunction).back().rawBody.contains("fundid=010210000004&"));

    // Masking on and off keeps both choices.
    page->toFundAccountChanged(1);
    for (bool masked : { true, false }) {
        SCOPED_TRACE(masked);
        UserDefaultConfig::getInstance()->setAccountProtectOption(masked);
        EXPECT_EQ(page->fundAccountItems()[1],
            masked ? QStringLiteral("工商银行 - 010210****03 ") : QStringLiteral("工商银行 - 010210000003 "));
        EXPECT_EQ(page->selectedOutIndex(), 2);
        EXPECT_EQ(page->selectedInIndex(), 1);
    }

    // Another currency: both selectors at its first account, its money read.
    page->moneyTypeSelected(1);
    EXPECT_EQ(page->fundAccountItems(), QStringList({ QStringLiteral("中国银行 - 010210000005 ") }));
    EXPECT_EQ(page->selectedOutIndex(), 0);
    EXPECT_EQ(page->selectedInIndex(), 0);
    ASSERT_TRUE(spinUntil([&] { return page->availableFundText() == QStringLiteral("3000.00元"); }, 10s));

    // No account for the currency: nothing asked, nothing sent; the money of
    // the account chosen just before, arriving late, is not shown either.
    page->moneyTypeSelected(0);
    const qsizetype late = count(kMoneyFunction);
    page->fundAccountChanged(1);
    page->queryFundTransferInfo(nullptr, QString(), infoOf({ { "1", "0", "B1", "3" } }));
    ASSERT_TRUE(answersSentSoFarHandled());
    EXPECT_GT(count(kMoneyFunction), late + 1); // the late query and the probe
    EXPECT_TRUE(page->availableFundText().isEmpty());
    const qsizetype before = count(kMoneyFunction);
    page->requestAvailableFundAmount();
    ASSERT_TRUE(answersSentSoFarHandled());
    EXPECT_EQ(count(kMoneyFunction), before + 1); // the probe alone
    EXPECT_TRUE(page->availableFundText().isEmpty());
}

TEST_F(CapitalAccountPagesTest, InsideTransferShowsOnlyTheMoneyAskedForTheCurrencyChosenNow)
{
    auto page = openInside();
    // The main account links in two currencies; its 人民币 money is held
    // back while the user picks 港币, for which the server names no money of it.
    sim.withholdNext(kMoneyFunction);
    const qsizetype asked = count(kMoneyFunction);
    page->queryFundTransferInfo(nullptr, QString(),
        infoOf({ { "010210000002", "0", "B1", "0" }, { "010210000002", "0", "B1", "1" } }));
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }, 10s));
    page->moneyTypeSelected(1);
    ASSERT_TRUE(spinUntil([&] { return count(kMoneyFunction) == asked + 2; }, 10s));
    EXPECT_EQ(sim.releaseWithheld(), 1);
    ASSERT_TRUE(answersSentSoFarHandled());
    EXPECT_TRUE(page->availableFundText().isEmpty()) << qPrintable(page->availableFundText());
}

TEST_F(CapitalAccountPagesTest, UnansweredRequestsEndUnknownOnceAndAreNotSentAgain)
{
    CapitalAccountPageServices services;
    services.confirmation.busyBackstopMs = 1500;
    auto inside = openInside(services);
    manager().setRequestTimeout(1);
    sim.withholdNext(kInsideTransferFunction);
    const std::size_t waiting = ActionOutcomeRelay::pendingCount();
    inside->toFundAccountChanged(1);
    inside->setAmountText(QStringLiteral("5"));
    inside->setFundPasswordText(kSecondPassword);
    confirmDialogs();
    alerts.shown.clear();
    inside->transferButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return !inside->isBusy(); }, 10s));
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_TRUE(alerts.last().startsWith(QStringLiteral("未收到资金账号间转账的结果")));
    EXPECT_TRUE(inside->fundPasswordText().isEmpty());
    // The request's own time-out that follows is told no second time.
    ASSERT_TRUE(spinUntil([&] { return ActionOutcomeRelay::pendingCount() == waiting; }, 10s));
    EXPECT_EQ(alerts.shown.size(), 1u) << qPrintable(alerts.last());
    EXPECT_EQ(count(kInsideTransferFunction), 1);

    auto collection = open<FundCollectionViewController>(kSecondCustomer, kSecondPassword, services);
    sim.withholdNext(kFundCollectionFunction);
    alerts.shown.clear();
    collection->transferButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return !collection->isBusy(); }, 10s));
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_TRUE(alerts.last().startsWith(QStringLiteral("未收到资金账号间转账的结果")));
    ASSERT_TRUE(spinUntil([&] { return ActionOutcomeRelay::pendingCount() == waiting; }, 10s));
    EXPECT_EQ(alerts.shown.size(), 1u) << qPrintable(alerts.last());
    EXPECT_EQ(count(kFundCollectionFunction), 1);
}

// A reply without the fields the success text names is no proof that money
// moved: the page says the outcome is unknown and reads its money again.
TEST_F(CapitalAccountPagesTest, AnAnswerWithoutItsSerialsIsAnUnknownOutcome)
{
    auto answerWith = [this](brokersim::Function f, const char* field) {
        sim.registerFunction(f.main, f.sub, [field](const brokersim::Request&, brokersim::BrokerState&) {
            brokersim::Table t;
            t.column(QString::fromLatin1(field));
            t.row({ QStringLiteral("1") });
            return brokersim::Reply::withTable(t);
        });
    };
    answerWith(kInsideTransferFunction, "insno"); // no out serial
    answerWith(kFundCollectionFunction, "fundeffect");
    confirmDialogs();

    auto inside = openInside();
    const qsizetype funds = count(kMoneyFunction);
    inside->toFundAccountChanged(1);
    inside->setAmountText(QStringLiteral("5"));
    inside->setFundPasswordText(kSecondPassword);
    inside->transferButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return !inside->isBusy(); }, 10s));
    EXPECT_TRUE(alerts.last().startsWith(QStringLiteral("未收到资金账号间转账的结果")))
        << qPrintable(alerts.last());
    EXPECT_TRUE(spinUntil([&] { return count(kMoneyFunction) > funds; }, 10s));

    auto collection
        = open<FundCollectionViewController>(kSecondCustomer, kSecondPassword, CapitalAccountPageServices {});
    collection->transferButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return !collection->isBusy(); }, 10s));
    EXPECT_TRUE(alerts.last().startsWith(QStringLiteral("未收到资金账号间转账的结果")))
        << qPrintable(alerts.last());
}

// Each serial is named by its own field, whatever the order of the columns,
// and shown as sent; a missing in serial shows empty, while a missing or
// blank out serial leaves the outcome unknown.
TEST_F(CapitalAccountPagesTest, InsideTransferTipNamesEachSerialByItsField)
{
    auto page = openInside();
    confirmDialogs();
    const QString unknown = QStringLiteral("未收到资金账号间转账的结果");
    const struct {
        QStringList columns;
        QStringList values;
        QString shown;
    } answers[] = {
        { { QStringLiteral("insno"), QStringLiteral("outsno") },
            { QStringLiteral("222"), QStringLiteral("111") },
            QStringLiteral("资金内转提交已成功。\n转出合同号:111\n转入合同号:222") },
        { { QStringLiteral("outsno") }, { QStringLiteral("111") },
            QStringLiteral("资金内转提交已成功。\n转出合同号:111\n转入合同号:") },
        { { QStringLiteral("outsno"), QStringLiteral("insno") },
            { QStringLiteral("0"), QStringLiteral("1e999") },
            QStringLiteral("资金内转提交已成功。\n转出合同号:0\n转入合同号:1e999") },
        { { QStringLiteral("outsno"), QStringLiteral("insno") }, { QString(), QStringLiteral("222") },
            unknown },
        { { QStringLiteral("insno") }, { QStringLiteral("222") }, unknown },
    };
    for (const auto& a : answers) {
        SCOPED_TRACE(a.values.join(u',').toStdString());
        brokersim::Table t;
        for (const QString& c : a.columns)
            t.column(c);
        t.row(QVariantList(a.values.cbegin(), a.values.cend()));
        sim.answerTablesNext(kInsideTransferFunction, { t });
        page->toFundAccountChanged(1);
        page->setAmountText(QStringLiteral("5"));
        page->setFundPasswordText(kSecondPassword);
        page->transferButtonClicked();
        ASSERT_TRUE(spinUntil([&] { return !page->isBusy(); }, 10s));
        if (a.shown == unknown)
            EXPECT_TRUE(alerts.last().startsWith(a.shown)) << qPrintable(alerts.last());
        else
            EXPECT_EQ(alerts.last(), a.shown);
    }
}

// The selectors of 资金内转 and 查询余额 offer every link of the currency,
// whatever transfer types it allows; 银行转证券 offers only those that
// take money from the bank.
TEST_F(CapitalAccountPagesTest, SelectorsOfferLinksOfAnyTransferType)
{
    const QString noIntoSecurities = QStringLiteral("招商银行 - 010210000004 ");
    auto inside = openInside();
    const RDOFundAccountInfo* link = inside->fundTransferInfo()->getFundAccountInfoObject(
        QStringLiteral("010210000004"), QStringLiteral("1005"));
    ASSERT_TRUE(link);
    ASSERT_FALSE(link->isSupportTransferType(transfercode::kBankToStock, 0));
    EXPECT_TRUE(inside->fundAccountItems().contains(noIntoSecurities));

    auto balance
        = open<QueryBalanceViewController>(kSecondCustomer, kSecondPassword, FundTransferPageServices {});
    ASSERT_TRUE(spinUntil([&] { return balance->controlsEnabled(); }, 10s));
    EXPECT_TRUE(balance->fundAccountItems().contains(noIntoSecurities));
    auto bankToStock
        = open<BankToStockViewController>(kSecondCustomer, kSecondPassword, FundTransferPageServices {});
    ASSERT_TRUE(spinUntil([&] { return bankToStock->controlsEnabled(); }, 10s));
    EXPECT_FALSE(bankToStock->fundAccountItems().contains(noIntoSecurities));
    EXPECT_EQ(bankToStock->fundAccountItems().size(), balance->fundAccountItems().size() - 1);
}

// The available amount shows as the server sent it, followed by its unit,
// on both pages that show it.
TEST_F(CapitalAccountPagesTest, TheAvailableAmountShowsAsSent)
{
    auto inside = openInside();
    auto stockToBank
        = open<StockToBankViewController>(kSecondCustomer, kSecondPassword, FundTransferPageServices {});
    ASSERT_TRUE(spinUntil([&] { return !stockToBank->availableFundText().isEmpty(); }, 10s));
    auto shownAfterAnswer = [&](auto& page, const char* sent) {
        sim.answerTablesNext(kMoneyFunction,
            { brokersim::Table()
                    .column(QStringLiteral("fundid"))
                    .column(QStringLiteral("~moneytype"))
                    .column(QStringLiteral("fundavl"))
                    .row({ kMain, QStringLiteral("人民币"), QString::fromLatin1(sent) }) });
        page.requestAvailableFundAmount();
        spinUntil([&] { return !page.availableFundText().isEmpty(); }, 10s);
        return page.availableFundText();
    };
    for (const char* sent : { "1e999", "-5.00", "abc", "" }) {
        SCOPED_TRACE(sent);
        const QString shown = QString::fromLatin1(sent) + QStringLiteral("元");
        EXPECT_EQ(shownAfterAnswer(*inside, sent), shown);
        EXPECT_EQ(shownAfterAnswer(*stockToBank, sent), shown);
    }
}

TEST_F(CapitalAccountPagesTest, CollectionGathersTheSecondariesIntoTheMainAccount)
{
    UserDefaultConfig::getInstance()->setAccountProtectOption(true);
    auto page
        = open<FundCollectionViewController>(kSecondCustomer, kSecondPassword, CapitalAccountPageServices {});
    // The main account at 建设银行 and 农业银行, both 人民币: offered once.
    EXPECT_EQ(page->moneyNames(), QStringList({ QStringLiteral("人民币") }));
    EXPECT_EQ(page->mainFundIdText(), QStringLiteral("010210****02"));
    EXPECT_TRUE(page->controlsEnabled());
    // The option followed while the page is open.
    for (bool masked : { false, true }) {
        UserDefaultConfig::getInstance()->setAccountProtectOption(masked);
        EXPECT_EQ(page->mainFundIdText(), masked ? QStringLiteral("010210****02") : kMain);
    }
    ASSERT_TRUE(spinUntil([&] { return page->fundInfoTable() != nullptr; }, 10s));
    const std::shared_ptr<DTFundInfoTable> listBefore = page->fundInfoTable();
    const qint64 main = balance(kMain);
    const qint64 hongKong = balance(QStringLiteral("010210000005"));
    confirmDialogs();
    page->transferButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return !page->isBusy(); }, 10s));
    ASSERT_EQ(dialogTexts.size(), 1);
    EXPECT_TRUE(dialogTexts.front().contains(QStringLiteral("转移到账号: 010210000002 吗？")));
    EXPECT_EQ(alerts.last(), QStringLiteral("资金归集已提交。归集金额:9500.50, 内转笔数:2。"));
    // The list of capital accounts is read again with the new balances.
    ASSERT_TRUE(spinUntil([&] { return page->fundInfoTable() && page->fundInfoTable() != listBefore; }, 10s));
    EXPECT_EQ(balance(kMain), main + 9500500);
    EXPECT_EQ(balance(kSecondary), 0);
    EXPECT_EQ(
        money(QStringLiteral("010210000004"), kSecondCustomer).balance, 500000); // what was not available
    EXPECT_EQ(balance(QStringLiteral("010210000005")), hongKong);
    // The prefix goes as it stands, its own "fundid" included, then the empty one.
    const QByteArray body = sim.receivedOf(kFundCollectionFunction).back().rawBody;
    QList<QByteArray> fundIds;
    for (const QByteArray& pair : body.split('&')) {
        if (pair.startsWith("fundid="))
            fundIds << pair;
    }
    EXPECT_EQ(fundIds, QList<QByteArray>({ "fundid=" + kMain.toLatin1(), "fundid=" }));
    EXPECT_TRUE(body.endsWith("&fundid=&moneytype=0&cashcheck=0"));

    // A main account at two banks offers the union of their currencies; after
    // an answer, refused here, the first one is chosen again.
    page->queryFundTransferInfo(nullptr, QString(),
        infoOf({ { "010210000002", "0", "1004", "0" }, { "010210000002", "0", "1003", "1" },
            { "010210000002", "0", "1003", "0" }, { "010210000003", "1", "1001", "2" } }));
    EXPECT_EQ(page->moneyNames(), QStringList({ QStringLiteral("人民币"), QStringLiteral("港币") }));
    page->moneyTypeSelected(1);
    page->transferButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return !page->isBusy(); }, 10s));
    EXPECT_EQ(alerts.last(), QStringLiteral("主资金账号不支持该币种"));
    EXPECT_EQ(page->selectedMoneyIndex(), 0);
    // An error row of any code is the server's message.
    sim.answerErrorNext(kFundCollectionFunction, 700, QStringLiteral("归集业务暂停"));
    page->transferButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return !page->isBusy(); }, 10s));
    EXPECT_EQ(alerts.last(), QStringLiteral("归集业务暂停"));
    EXPECT_EQ(count(kFundCollectionFunction), 3);
}

TEST_F(CapitalAccountPagesTest, CollectionWithoutAMainAccountSendsNothing)
{
    auto page
        = open<FundCollectionViewController>(kSecondCustomer, kSecondPassword, CapitalAccountPageServices {});
    page->queryFundTransferInfo(
        nullptr, QString(), infoOf({ { "1", "1", "B1", "0" }, { "2", "2", "B2", "0" } }));
    EXPECT_TRUE(page->moneyNames().isEmpty());
    EXPECT_TRUE(page->mainFundIdText().isEmpty());
    EXPECT_FALSE(page->controlsEnabled());
    EXPECT_FALSE(page->unavailableText().isEmpty());
    confirmDialogs();
    page->transferButtonClicked();
    EXPECT_EQ(alerts.last(), page->unavailableText());
    EXPECT_TRUE(dialogTexts.isEmpty());
    EXPECT_EQ(count(kFundCollectionFunction), 0);
}

// A transfer whose dialog timed out is answered while the customer's next
// transfer waits in its dialog, before it is confirmed: the late outcome,
// success or refusal, is told and the money read again, while the next dialog
// stays up with what it shows; the next transfer's own answer is then the
// one shown, on every page with a transfer dialog.
TEST_F(CapitalAccountPagesTest, ALateTransferAnswerIsToldAndLeavesTheNextTransferItsOwnOutcome)
{
    const auto table = [](std::initializer_list<const char*> columns, QVariantList values) {
        brokersim::Table t;
        for (const char* c : columns)
            t.column(QString::fromLatin1(c));
        t.row(values);
        return t;
    };
    // The backstop ends the first dialog; the second waits for its answer
    // however long it takes.
    FundTransferPageServices bankServices;
    bankServices.confirmation.busyBackstopMs = 1500;
    CapitalAccountPageServices services;
    services.confirmation.busyBackstopMs = 1500;
    const QString bankTip = QStringLiteral("转账提交已成功，流水号为B2。");
    const struct {
        const char* name;
        Kind kind;
        brokersim::Function function;
        const char* firstAmount; // the late one's
        QString lateShown; // how the late outcome's text begins
        brokersim::Function reread; // what is read again after it
        brokersim::Table secondAnswer;
        QString secondShown;
    } rows[] = {
        { "银行转证券", Kind::BankToStock, brokersim::kBankTransferFunction, "5",
            QStringLiteral("转账提交已成功，流水号为"), kBankBalanceFunction,
            table({ "sno" }, { QStringLiteral("B2") }), bankTip },
        { "证券转银行", Kind::StockToBank, brokersim::kBankTransferFunction, "99999999",
            QStringLiteral("可取资金不足"), kMoneyFunction, table({ "sno" }, { QStringLiteral("B2") }),
            bankTip },
        { "资金内转", Kind::Inside, kInsideTransferFunction, "99999999", QStringLiteral("可用资金不足"),
            kMoneyFunction, table({ "outsno", "insno" }, { QStringLiteral("O2"), QStringLiteral("I2") }),
            QStringLiteral("资金内转提交已成功。\n转出合同号:O2\n转入合同号:I2") },
        { "资金归集", Kind::Collection, kFundCollectionFunction, "", QStringLiteral("资金归集已提交。"),
            kMoneyFunction, table({ "fundeffect", "renum" }, { QStringLiteral("2.00"), QStringLiteral("1") }),
            QStringLiteral("资金归集已提交。归集金额:2.00, 内转笔数:1。") },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Opened page = openKind(row.kind, bankServices, services);
        alerts.shown.clear();
        const qsizetype sent = count(row.function);
        sim.withholdNext(row.function);
        confirmDialogs();
        page.press(QString::fromLatin1(row.firstAmount));
        ASSERT_TRUE(spinUntil([&] { return !page.busy(); }, 10s));
        ASSERT_EQ(alerts.shown.size(), 1u);
        EXPECT_TRUE(alerts.last().startsWith(QStringLiteral("未收到"))) << qPrintable(alerts.last());

        // The first answer comes while the next transfer's dialog is up.
        sim.answerTablesNext(row.function, { row.secondAnswer });
        bool stillUp = false;
        qsizetype rereads = 0;
        QString typed;
        OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& dialog) {
            answersSentSoFarHandled(); // what was read after the first dialog gave up
            const qsizetype before = count(row.reread);
            EXPECT_EQ(sim.releaseWithheld(), 1);
            spinUntil([&] { return alerts.shown.size() == 2u; }, 10s);
            answersSentSoFarHandled(); // itself a money query
            stillUp = dialog.isShown() && !dialog.isBusy() && page.busy();
            rereads = count(row.reread) - before - (row.reread == kMoneyFunction ? 1 : 0);
            typed = page.amount();
            dialog.setBusyBackstopMsForTesting(600000);
            dialog.confirmButtonClicked();
        });
        page.press(QStringLiteral("5"));
        ASSERT_TRUE(spinUntil([&] { return !page.busy(); }, 10s));
        ASSERT_TRUE(answersSentSoFarHandled());
        ASSERT_EQ(alerts.shown.size(), 3u) << qPrintable(alerts.last());
        EXPECT_TRUE(alerts.shown[1].text.startsWith(row.lateShown)) << qPrintable(alerts.shown[1].text);
        EXPECT_EQ(alerts.shown[1].title,
            row.lateShown.startsWith(QStringLiteral("可")) ? QStringLiteral("错误")
                                                           : QStringLiteral("温馨提示"));
        EXPECT_TRUE(stillUp);
        EXPECT_GT(rereads, 0);
        if (*row.firstAmount)
            EXPECT_EQ(typed, QStringLiteral("5"));
        EXPECT_EQ(alerts.last(), row.secondShown);
        EXPECT_EQ(count(row.function), sent + 2);
    }
}

// A transfer confirmed just before the lock closes its dialog is answered
// once its page was left or another account became the active one: its
// relay tells the outcome once on the main window, in the page's own words
// (the serials, the server's refusal, the outcome left unknown), naming the
// account it was sent for after an account change. One whose dialog gave up
// waiting was told as unknown by its page then: left unknown, it is not told
// again.
TEST_F(CapitalAccountPagesTest, AnOutcomeIsToldOnceWhateverBecameOfItsPage)
{
    const struct {
        Kind kind;
        bool pageLeft; // else another account becomes the active one
        const char* amount;
        QString told; // how the outcome's text begins
        bool refused = false;
        bool neverAnswered = false;
        bool dialogGaveUp = false; // else the lock closed it
    } rows[] = {
        { Kind::BankToStock, true, "5", QStringLiteral("转账提交已成功，流水号为") },
        { Kind::BankToStock, false, "5", QStringLiteral("转账提交已成功，流水号为") },
        { Kind::StockToBank, true, "99999999", QStringLiteral("可取资金不足"), true },
        { Kind::StockToBank, false, "99999999", QStringLiteral("可取资金不足"), true },
        { Kind::Inside, true, "5", QStringLiteral("资金内转提交已成功。\n转出合同号:") },
        { Kind::Inside, false, "5", QStringLiteral("资金内转提交已成功。\n转出合同号:") },
        { Kind::Collection, true, "", QStringLiteral("资金归集已提交。归集金额:") },
        { Kind::Collection, false, "", QStringLiteral("资金归集已提交。归集金额:") },
        // Last: the answers these leave withheld are never released.
        { Kind::StockToBank, true, "5", QStringLiteral("未收到转账结果"), true, true },
        { Kind::Collection, false, "", QStringLiteral("未收到资金账号间转账的结果"), true, true },
        { Kind::StockToBank, true, "5", QString(), true, true, true },
        { Kind::Inside, false, "5", QString(), true, true, true },
    };
    FundTransferPageServices bankServices;
    bankServices.confirmation.busyBackstopMs = 1500;
    CapitalAccountPageServices capitalServices;
    capitalServices.confirmation.busyBackstopMs = 1500;
    RecordingAlerts mainWindow;
    MenuItemViewManager::getInstance()->setWindow(&mainWindow);
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << int(row.kind) << row.pageLeft << row.neverAnswered);
        Opened page = row.dialogGaveUp ? openKind(row.kind, bankServices, capitalServices) : openKind(row.kind);
        const std::size_t waiting = ActionOutcomeRelay::pendingCount(); // an earlier test's, never answered
        const bool atTheBank = row.kind == Kind::BankToStock || row.kind == Kind::StockToBank;
        const brokersim::Function function = atTheBank ? brokersim::kBankTransferFunction
            : row.kind == Kind::Inside                 ? kInsideTransferFunction
                                                       : kFundCollectionFunction;
        const int withheld = sim.withheldCount();
        sim.withholdNext(function);
        // Confirmed, and the lock closes the dialog before the answer.
        bool locked = false;
        if (row.dialogGaveUp) {
            confirmDialogs();
            page.press(QString::fromLatin1(row.amount));
            ASSERT_TRUE(spinUntil([&] { return !page.busy(); }, 10s));
            ASSERT_EQ(alerts.shown.size(), 1u);
            EXPECT_TRUE(alerts.last().startsWith(QStringLiteral("未收到"))) << qPrintable(alerts.last());
        } else {
            OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& d) {
                QTimer::singleShot(0, &d, [&] {
                    d.confirmButtonClicked();
                    EXPECT_TRUE(spinUntil([&] { return sim.withheldCount() == withheld + 1; }, 10s));
                    platform::ModalSession::stopAll();
                    NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen);
                    locked = true;
                });
            });
            page.press(QString::fromLatin1(row.amount));
            ASSERT_TRUE(spinUntil([&] { return locked; }, 10s));
            EXPECT_TRUE(page.busy());
        }
        alerts.shown.clear();
        if (row.pageLeft)
            page.page.reset();
        else
            logIn(atTheBank ? kSecondCustomer : kCustomer, atTheBank ? kSecondPassword : kTradePassword);
        NotificationCenter::getInstance()->postNotification(pagenotify::kActiveAccountChanged);
        if (!row.neverAnswered) {
            ASSERT_EQ(sim.releaseWithheld(), 1);
        } else {
            const auto trade = NetworkFactory::getInstance()->getNetwork(NetworkFactory::kTrade);
            trade->connectionSendPacketsTimeout(
                *trade->connection(), { quint64(sim.receivedOf(function).last().packetId) });
        }
        if (row.dialogGaveUp) {
            ASSERT_TRUE(answersSentSoFarHandled());
            EXPECT_TRUE(mainWindow.shown.empty()) << qPrintable(mainWindow.last());
            EXPECT_TRUE(alerts.shown.empty()) << qPrintable(alerts.last());
            EXPECT_EQ(ActionOutcomeRelay::pendingCount(), waiting);
            continue;
        }
        ASSERT_TRUE(spinUntil([&] { return !mainWindow.shown.empty(); }, 10s) && answersSentSoFarHandled());
        ASSERT_EQ(mainWindow.shown.size(), 1u);
        EXPECT_TRUE(mainWindow.last().startsWith(row.pageLeft
                ? row.told
                : QString::fromUtf8(ActionOutcomeRelay::kAccountFormat)
                      .arg(atTheBank ? kCustomer : kSecondCustomer, row.told)))
            << qPrintable(mainWindow.last());
        EXPECT_EQ(mainWindow.shown[0].title, row.refused ? "错误" : "温馨提示");
        EXPECT_TRUE(alerts.shown.empty()) << qPrintable(alerts.last());
        EXPECT_EQ(ActionOutcomeRelay::pendingCount(), waiting);
        mainWindow.shown.clear();
    }
    MenuItemViewManager::getInstance()->setWindow(nullptr);
}

// ---- 查询余额 ----

class QueryBalancePageTest : public CapitalAccountPagesTest {
protected:
    std::unique_ptr<QueryBalanceViewController> openBalance()
    {
        auto page = open<QueryBalanceViewController>(kCustomer, kTradePassword, FundTransferPageServices {});
        EXPECT_TRUE(spinUntil([&] { return page->controlsEnabled(); }, 10s));
        return page;
    }
};

TEST_F(QueryBalancePageTest, EachBankKindLaysOutItsRowsFromTheirOwnPlaces)
{
    auto page = openBalance();
    const struct {
        qsizetype money, account;
        bool fund, bank, bankFirst;
        int balanceRow;
        bool button;
    } kinds[] = {
        { 0, 0, false, false, false, 0, false }, // 工商银行: no password
        { 0, 1, true, true, false, 2, true }, // 农业银行: both
        { 1, 0, false, true, true, 1, true }, // 中国银行 in 美元: the bank password
        { 0, 1, true, true, false, 2, true },
        { 0, 0, false, false, false, 0, false },
    };
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.balanceRow);
        page->moneyTypeSelected(k.money);
        page->bankCardSelected(k.account);
        const FundTransferPasswordLayout& l = page->passwordLayout();
        EXPECT_EQ(l.fundVisible, k.fund);
        EXPECT_EQ(l.bankVisible, k.bank);
        if (k.bank)
            EXPECT_EQ(l.bankInFirstRow, k.bankFirst);
        EXPECT_EQ(page->balanceRow(), k.balanceRow);
        EXPECT_EQ(page->queryButtonVisible(), k.button);
        EXPECT_EQ(page->autoQueryBalance(), !k.button);
        EXPECT_TRUE(page->bankBalanceText().isEmpty());
    }

    // No account for the currency: no rows, no button and no query (once the
    // queries of the password-free links above have landed).
    ASSERT_TRUE(answersSentSoFarHandled());
    const qsizetype asked = count(kBankBalanceFunction);
    page->queryFundTransferInfo(nullptr, QString(), infoOf({ { "1", "0", "B1", "3" } }));
    EXPECT_TRUE(page->fundAccountItems().isEmpty());
    EXPECT_FALSE(page->passwordLayout().fundVisible || page->passwordLayout().bankVisible);
    EXPECT_FALSE(page->queryButtonVisible());
    EXPECT_FALSE(page->autoQueryBalance());
    page->transferButtonClicked();
    ASSERT_TRUE(answersSentSoFarHandled());
    EXPECT_EQ(count(kBankBalanceFunction), asked);
}

TEST_F(QueryBalancePageTest, APasswordFreeBankFillsTheBalanceOneSecondAfterTheAnswer)
{
    auto page = openBalance();
    ASSERT_TRUE(spinUntil([&] { return page->freshTableTimer() != nullptr; }, 10s));
    platform::RunLoopTimer* timer = page->freshTableTimer();
    EXPECT_EQ(timer->interval().count(), 1.0);
    EXPECT_FALSE(timer->repeats());
    EXPECT_TRUE(sim.receivedOf(kBankBalanceFunction).back().rawBody.endsWith("&fundpwd=&bankpwd="));
    EXPECT_TRUE(page->bankBalanceText().isEmpty());
    timer->fire();
    ASSERT_TRUE(spinUntil([&] { return page->bankBalanceText() == QStringLiteral("50000.00"); }, 10s));

    // An empty history leaves it blank; a failed one says so.
    const struct {
        const char* what;
        std::function<void()> arrange;
        QString shown;
    } histories[] = {
        { "empty",
            [this] {
                sim.registerFunction(kTransferHistoryFunction.main, kTransferHistoryFunction.sub,
                    [](const brokersim::Request&, brokersim::BrokerState&) {
                        return brokersim::Reply::withTable(
                            brokersim::Table().column(QStringLiteral("fundbal")));
                    });
            },
            QString() },
        { "failed", [this] { sim.answerErrorNext(kTransferHistoryFunction, 1, QStringLiteral("x")); },
            QStringLiteral("查询余额失败") },
    };
    for (const auto& h : histories) {
        SCOPED_TRACE(h.what);
        h.arrange();
        page->bankCardSelected(0);
        ASSERT_TRUE(spinUntil([&] { return page->freshTableTimer() != nullptr; }, 10s));
        const qsizetype asked = count(kTransferHistoryFunction);
        page->freshTableTimer()->fire();
        ASSERT_TRUE(answersSentSoFarHandled());
        EXPECT_GT(count(kTransferHistoryFunction), asked);
        EXPECT_EQ(page->bankBalanceText(), h.shown);
    }

    // Every new layout's timer replaces the earlier one, and the timer
    // belongs to the page: nothing is asked once it closed.
    page->bankCardSelected(0);
    ASSERT_TRUE(spinUntil([&] { return page->freshTableTimer() != nullptr; }, 10s));
    EXPECT_EQ(page->pageTimerCount(), 1u);
    const qsizetype before = count(kTransferHistoryFunction);
    page->unloadView();
    EXPECT_EQ(page->pageTimerCount(), 0u);
    ASSERT_TRUE(timerStartedNowFired(QueryBalanceViewController::kRefreshDelay));
    EXPECT_EQ(count(kTransferHistoryFunction), before);
}

// What was asked for one link never lands on another: the earlier link's
// balance, its acceptance and its history are left alone once another one
// is chosen.
TEST_F(QueryBalancePageTest, AnEarlierLinksAnswersStayOffTheLinkChosenSince)
{
    sim.withholdNext(kBankBalanceFunction);
    auto page = openBalance();
    // The password-free link's query is out; the user moves on at once to
    // the link that needs both passwords and queries it. The earlier query's
    // answer comes after that one's.
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }, 10s));
    page->bankCardSelected(1);
    page->setFundPasswordText(kTradePassword);
    page->setBankPasswordText(kBankPassword);
    page->transferButtonClicked();
    ASSERT_TRUE(page->isQueryBusy());
    ASSERT_TRUE(spinUntil([&] { return !page->isQueryBusy(); }, 10s));
    EXPECT_EQ(sim.releaseWithheld(), 1);
    ASSERT_TRUE(answersSentSoFarHandled());
    EXPECT_EQ(count(kBankBalanceFunction), 2);
    // One answer for the one query the user made; no history timer for the
    // earlier link.
    EXPECT_EQ(std::count_if(alerts.shown.begin(), alerts.shown.end(),
                  [](const AlertRequest& a) {
                      return a.text == QStringLiteral("请求已提交，请到转账查询功能查询结果。");
                  }),
        1);
    EXPECT_EQ(page->pageTimerCount(), 0u);
    EXPECT_EQ(page->freshTableTimer(), nullptr);

    // The history asked for the password-free link arrives after the user
    // chose the other one: its balance is not shown there.
    page->bankCardSelected(0);
    ASSERT_TRUE(spinUntil([&] { return page->freshTableTimer() != nullptr; }, 10s));
    const qsizetype asked = count(kTransferHistoryFunction);
    page->freshTableTimer()->fire();
    page->bankCardSelected(1);
    ASSERT_TRUE(answersSentSoFarHandled());
    EXPECT_GT(count(kTransferHistoryFunction), asked);
    EXPECT_TRUE(page->bankBalanceText().isEmpty());
    EXPECT_EQ(page->pageTimerCount(), 0u);
}

// The balance query's serial is shown nowhere: an answer without one, or
// with a blank one, still says the query was submitted.
TEST_F(QueryBalancePageTest, AnAnswerWithoutASerialIsStillReportedAsSubmitted)
{
    auto page = openBalance();
    // The password-free link's own query is out first; the answers armed
    // below are for the queries the user makes.
    ASSERT_TRUE(spinUntil([&] { return count(kBankBalanceFunction) == 1; }, 10s));
    page->bankCardSelected(1); // 农业银行: both passwords
    const brokersim::Table answers[] = { brokersim::Table().column(QStringLiteral("sno")).row({ QString() }),
        brokersim::Table().column(QStringLiteral("msgok")).row({ QStringLiteral("ok") }) };
    for (const brokersim::Table& answer : answers) {
        sim.answerTablesNext(kBankBalanceFunction, { answer });
        page->setFundPasswordText(kTradePassword);
        page->setBankPasswordText(kBankPassword);
        page->transferButtonClicked();
        ASSERT_TRUE(spinUntil([&] { return !page->isQueryBusy(); }, 10s));
        EXPECT_EQ(alerts.last(), QStringLiteral("请求已提交，请到转账查询功能查询结果。"));
        EXPECT_TRUE(page->bankBalanceText().isEmpty());
        EXPECT_TRUE(page->fundPasswordText().isEmpty());
        EXPECT_TRUE(page->controlsEnabled());
    }
}

TEST_F(QueryBalancePageTest, AManualQueryOnlySaysItWasSubmittedAndWipesThePasswords)
{
    auto page = openBalance();
    page->bankCardSelected(1); // 农业银行: both passwords
    // A missing password: nothing is sent.
    const qsizetype asked = count(kBankBalanceFunction);
    page->setFundPasswordText(kTradePassword);
    page->transferButtonClicked();
    EXPECT_EQ(alerts.last(), QStringLiteral("请输入资金密码和银行密码。"));
    EXPECT_EQ(count(kBankBalanceFunction), asked);

    page->setBankPasswordText(kBankPassword);
    page->transferButtonClicked();
    EXPECT_FALSE(page->controlsEnabled());
    EXPECT_TRUE(page->isProgressVisible());
    ASSERT_TRUE(spinUntil([&] { return !page->isQueryBusy(); }, 10s));
    EXPECT_EQ(alerts.last(), QStringLiteral("请求已提交，请到转账查询功能查询结果。"));
    EXPECT_TRUE(
        sim.receivedOf(kBankBalanceFunction).back().rawBody.endsWith("&fundpwd=111111&bankpwd=135790"));
    EXPECT_TRUE(page->controlsEnabled());
    EXPECT_FALSE(page->isProgressVisible());
    EXPECT_TRUE(page->bankBalanceText().isEmpty());
    EXPECT_TRUE(page->fundPasswordText().isEmpty());
    EXPECT_TRUE(page->bankPasswordText().isEmpty());
    // The query left its row in the history.
    EXPECT_EQ(brokersim::BankBook::of(sim)->flows(*broker().customer(kCustomer)).front().what,
        QStringLiteral("查询银行余额"));

    // A refused query: the server's message and "查询余额失败".
    page->setFundPasswordText(kTradePassword);
    page->setBankPasswordText(QStringLiteral("000000"));
    page->transferButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return !page->isQueryBusy(); }, 10s));
    EXPECT_EQ(alerts.last(), QStringLiteral("银行密码错误"));
    EXPECT_EQ(page->bankBalanceText(), QStringLiteral("查询余额失败"));
    EXPECT_TRUE(page->bankPasswordText().isEmpty());
    EXPECT_TRUE(page->controlsEnabled());
}

} // namespace

// A transfer whose answer never came may have moved the money: each page
// shows that what it lists may be out of date until its own reads of it,
// asked in the account's rounds, come with their rows; a read that fails
// leaves it so until the next round (here the trade logon).
TEST_F(CapitalAccountPagesTest, AfterATransferLeftUnknownThePageShowsItsFiguresOutOfDateUntilReadAgain)
{
    const QString money = QString::fromLatin1(owedfigure::kMoney);
    const QString history = QString::fromLatin1(owedfigure::kTransfers);
    const QString bank = QString::fromLatin1(owedfigure::kBankBalance);
    const struct {
        Kind kind;
        brokersim::Function transfer;
        QStringList figures;
        std::vector<brokersim::Function> reads;
    } rows[] = {
        // The bank balance comes with the history that follows its query.
        { Kind::BankToStock, brokersim::kBankTransferFunction, { history, bank },
            { kTransferHistoryFunction, kBankBalanceFunction } },
        { Kind::StockToBank, brokersim::kBankTransferFunction, { history, money },
            { kTransferHistoryFunction, kMoneyFunction } },
        { Kind::Inside, kInsideTransferFunction, { money }, { kMoneyFunction } },
        { Kind::Collection, kFundCollectionFunction, { money }, { kMoneyFunction } },
    };
    OwedReads::getInstance()->setRoundDelays({ 1h, 1h, 1h });
    for (const auto& row : rows) {
        SCOPED_TRACE(int(row.kind));
        const Opened page = openKind(row.kind);
        ASSERT_TRUE(answersSentSoFarHandled());
        const qsizetype sent = count(row.transfer);
        std::vector<qsizetype> read;
        sim.withholdNext(row.transfer);
        // Confirmed, then timed out once the server holds it.
        OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& dialog) {
            dialog.confirmButtonClicked();
            ASSERT_TRUE(spinUntil([&] { return count(row.transfer) == sent + 1; }, 10s));
            for (const brokersim::Function f : row.reads) {
                sim.answerErrorNext(f, -1, QStringLiteral("系统忙"), 10);
                read.push_back(count(f));
            }
            const std::shared_ptr<CSNetwork> trade
                = NetworkFactory::getInstance()->getNetwork(NetworkFactory::kTrade);
            trade->connectionSendPacketsTimeout(
                *trade->connection(), { quint64(sim.receivedOf(row.transfer).back().packetId) });
        });
        page.press(QStringLiteral("5"));
        ASSERT_TRUE(
            spinUntil([&] { return !page.busy() && OwedReads::getInstance()->roundWait() > 0ms; }, 10s));
        EXPECT_EQ(page.page->figuresOutOfDate(), row.figures);
        ASSERT_EQ(read.size(), row.reads.size());
        for (std::size_t i = 0; i < row.reads.size(); ++i)
            EXPECT_GT(count(row.reads[i]), read[i]);
        sim.clearControls();
        DMNotificationCenter::getInstance()->postNotification(
            NetworkFactory::kServerServes, QVariant(int(NetworkFactory::kTrade)));
        EXPECT_TRUE(spinUntil([&] { return page.page->figuresOutOfDate().isEmpty(); }, 10s));
        EXPECT_EQ(count(row.transfer), sent + 1); // never sent again
        sim.releaseWithheld();
        ASSERT_TRUE(answersSentSoFarHandled());
    }
}
