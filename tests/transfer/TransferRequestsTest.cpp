#include "TransferTestRig.h"
#include "login/LoginDataModels.h"
#include "tools/broker-sim/PasswordFunctions.h"
#include "tools/broker-sim/Table.h"

namespace {

using namespace transfertest;
using brokersim::kBankBalanceFunction;
using brokersim::kBankTransferFunction;
using brokersim::kTransferHistoryFunction;
using testsupport::spinUntil;

// Every log line of the test, to look for passwords in them.
QStringList& logLines()
{
    static QStringList lines;
    return lines;
}
QtMessageHandler previousHandler = nullptr;
void captureLog(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    logLines().append(message);
    if (previousHandler)
        previousHandler(type, context, message);
}

struct Observer : IQueryFundTransferInfoDelegate,
                  IFundTransferDelegate,
                  IQueryBankBalanceDelegate,
                  IQueryBSTransferDelegate,
                  IFundInsideTransferDelegate,
                  IFundCollectionDelegate,
                  IChangeTradePasswordDelegate {
    std::vector<RDOFundTransferInfo> infos;
    std::vector<QStringList> insideSerials;
    std::vector<RDOFundCollectionResult> collections;
    std::vector<QString> serials;
    std::vector<QString> balances;
    std::vector<DTBSTransferInfoPtr> histories;
    std::vector<CSError> errors;
    std::size_t passwordChanges = 0;
    std::size_t calls() const
    {
        return infos.size() + serials.size() + balances.size() + histories.size() + errors.size()
            + insideSerials.size() + collections.size() + passwordChanges;
    }
    void queryFundTransferInfo(DataModel*, const QString&, const RDOFundTransferInfo& v) override
    {
        infos.push_back(v);
    }
    bool queryFundTransferInfo(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    void fundTransfer(DataModel*, const QString&, const QString& v) override { serials.push_back(v); }
    bool fundTransfer(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    void queryBankBalance(DataModel*, const QString&, const QString& v) override { balances.push_back(v); }
    bool queryBankBalance(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    void queryBSTransfer(DataModel*, const QString&, const DTBSTransferInfoPtr& v) override
    {
        histories.push_back(v);
    }
    bool queryBSTransfer(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    void fundInsideTransfer(DataModel*, const QString&, const QStringList& v) override { insideSerials.push_back(v); }
    bool fundInsideTransfer(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    void fundCollection(DataModel*, const QString&, const RDOFundCollectionResult& v) override
    {
        collections.push_back(v);
    }
    bool fundCollection(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    void changeTradePassword(DataModel*, const QString&, const bool&) override { ++passwordChanges; }
    bool changeTradePassword(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    bool fail(const CSError& e)
    {
        errors.push_back(e);
        return true;
    }
};

class TransferRequestsTest : public TransferSimulatorFixture {
protected:
    void SetUp() override
    {
        TransferSimulatorFixture::SetUp();
        logLines().clear();
        previousHandler = qInstallMessageHandler(captureLog);
    }
    void TearDown() override
    {
        qInstallMessageHandler(previousHandler);
        TransferSimulatorFixture::TearDown();
    }
    bool waitCalls(const Observer& o, std::size_t n)
    {
        return spinUntil([&] { return o.calls() >= n; }, 10s);
    }
    DTBSTransferInfoPtr history()
    {
        Observer o;
        manager().requestBSTransferInfo(&o);
        EXPECT_TRUE(waitCalls(o, 1));
        return o.histories.empty() ? nullptr : o.histories.front();
    }
};

TEST_F(TransferRequestsTest, EachBankKindGivesItsRowsAndPasswordRules)
{
    logIn();
    Observer o;
    manager().requestQueryFundTransferInfo(&o);
    ASSERT_TRUE(waitCalls(o, 1));
    ASSERT_EQ(o.infos.size(), 1u);
    const RDOFundTransferInfo& info = o.infos.front();
    ASSERT_EQ(info.fundAccountInfoArray().size(), 3u);
    EXPECT_EQ(info.getSupportMoneyNames(), QStringList({ QStringLiteral("人民币"), QStringLiteral("美元") }));
    const struct {
        const char* fundId;
        const char* bankCode;
        qint32 moneyType;
        bool balanceFund, balanceBank; // the balance query's passwords
    } kinds[] = {
        { "010110000001", "1001", 0, false, false },
        { "010110000002", "1002", 2, false, true },
        { "010110000001", "1003", 0, true, true },
    };
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.bankCode);
        const RDOFundAccountInfo* a
            = info.getFundAccountInfoObject(QString::fromLatin1(k.fundId), QString::fromLatin1(k.bankCode));
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->transferNeedFundPassword(4, k.moneyType), k.balanceFund);
        EXPECT_EQ(a->transferNeedBankPassword(4, k.moneyType), k.balanceBank);
        EXPECT_TRUE(a->isSupportTransferType(1, k.moneyType));
        EXPECT_TRUE(a->isSupportTransferType(2, k.moneyType));
        EXPECT_FALSE(a->isSupportTransferType(1, k.moneyType == 0 ? 1 : 0));
    }
}

TEST_F(TransferRequestsTest, BalanceQueryLeavesTheBankBalanceAtTheTopOfTheHistory)
{
    logIn();
    Observer o;
    EXPECT_TRUE(history()->rowObject(0) == std::nullopt);
    manager().requestBankBalance(&o, 0, QStringLiteral("010110000001"), QStringLiteral("1001"), {}, {});
    ASSERT_TRUE(waitCalls(o, 1));
    ASSERT_EQ(o.balances.size(), 1u);
    EXPECT_FALSE(o.balances.front().isEmpty());
    EXPECT_EQ(lastBody(kBankBalanceFunction).section(QLatin1Char('&'), -4),
        QStringLiteral("moneytype=0&bankcode=1001&fundpwd=&bankpwd="));
    const DTBSTransferInfoPtr rows = history();
    ASSERT_TRUE(rows && rows->rowObject(0));
    EXPECT_EQ(rows->rowObject(0)->fundBalance, QStringLiteral("50000.00"));
    EXPECT_FALSE(rows->tableColomnTitles().contains(QStringLiteral("币种代码")));

    // The bank that asks for both passwords refuses a wrong one with its message.
    manager().requestBankBalance(
        &o, 0, QStringLiteral("010110000001"), QStringLiteral("1003"), kTradePassword, QStringLiteral("000000"));
    ASSERT_TRUE(waitCalls(o, 2));
    ASSERT_EQ(o.errors.size(), 1u);
    EXPECT_EQ(o.errors.front().domain, QStringLiteral("银行密码错误"));
}

TEST_F(TransferRequestsTest, TransfersBothWaysMoveTheMoneyOfTheChosenAccount)
{
    logIn();
    const QString usd = QStringLiteral("010110000002"); // not the prefix's own account
    const auto before = money(usd);
    Observer o;
    // Into securities the bank password; a wrong one moves nothing.
    manager().requestFundTransfer(&o, 2, usd, QStringLiteral("1002"), QStringLiteral("100.50"), 1, {},
        QStringLiteral("999999"));
    ASSERT_TRUE(waitCalls(o, 1));
    ASSERT_EQ(o.errors.size(), 1u);
    EXPECT_EQ(o.errors.front().domain, QStringLiteral("银行密码错误"));
    EXPECT_EQ(money(usd).balance, before.balance);

    manager().requestFundTransfer(&o, 2, usd, QStringLiteral("1002"), QStringLiteral("100.50"), 1, {}, kBankPassword);
    ASSERT_TRUE(waitCalls(o, 2));
    ASSERT_EQ(o.serials.size(), 1u);
    EXPECT_TRUE(lastBody(kBankTransferFunction).contains(QStringLiteral("&fundid=010110000002&")));
    EXPECT_EQ(money(usd).balance, before.balance + 100500);
    EXPECT_EQ(money(usd).available, before.available + 100500);

    // Out of securities the fund password.
    manager().requestFundTransfer(&o, 2, usd, QStringLiteral("1002"), QStringLiteral("0.5"), 2,
        QStringLiteral("123456"), {});
    ASSERT_TRUE(waitCalls(o, 3));
    EXPECT_EQ(o.errors.back().domain, QStringLiteral("资金密码错误"));
    manager().requestFundTransfer(&o, 2, usd, QStringLiteral("1002"), QStringLiteral("0.5"), 2, kTradePassword, {});
    ASSERT_TRUE(waitCalls(o, 4));
    ASSERT_EQ(o.serials.size(), 2u);
    EXPECT_EQ(money(usd).balance, before.balance + 100000);

    const DTBSTransferInfoPtr rows = history();
    ASSERT_TRUE(rows && rows->rowObject(1));
    EXPECT_EQ(rows->rowObject(0)->transferAmount, QStringLiteral("-0.50"));
    EXPECT_EQ(rows->rowObject(0)->fundId, usd);
    EXPECT_EQ(rows->rowObject(1)->transferAmount, QStringLiteral("100.50"));
    EXPECT_EQ(rows->rowObject(1)->moneyTypeCode, 2);
}

TEST_F(TransferRequestsTest, TwoIdenticalTransfersBothReachTheBrokerAndNoPasswordShows)
{
    logIn();
    Observer a, b;
    const QString handle = manager().requestFundTransfer(&a, 0, QStringLiteral("010110000001"),
        QStringLiteral("1003"), QStringLiteral("10"), 1, kTradePassword, kBankPassword);
    manager().requestFundTransfer(&b, 0, QStringLiteral("010110000001"), QStringLiteral("1003"),
        QStringLiteral("10"), 1, kTradePassword, kBankPassword);
    ASSERT_TRUE(waitCalls(a, 1) && waitCalls(b, 1));
    ASSERT_EQ(a.serials.size(), 1u);
    ASSERT_EQ(b.serials.size(), 1u);
    EXPECT_NE(a.serials.front(), b.serials.front());
    EXPECT_EQ(sim.receivedCount(kBankTransferFunction), 2);
    EXPECT_FALSE(handle.isEmpty());
    for (const QString& secret : { kTradePassword, kBankPassword }) {
        EXPECT_FALSE(handle.contains(secret));
        for (const QString& line : logLines())
            EXPECT_FALSE(line.contains(secret)) << qPrintable(line);
    }
}

TEST_F(TransferRequestsTest, InsideTransfersAndCollectionsAreNeverMergedAndKeepThePasswordOut)
{
    logIn(kSecondCustomer, kSecondPassword);
    Observer a, b;
    const QString handle = manager().requestFundInsideTransfer(
        &a, QStringLiteral("010210000002"), QStringLiteral("010210000003"), 0, QStringLiteral("10"), kSecondPassword);
    manager().requestFundInsideTransfer(
        &b, QStringLiteral("010210000002"), QStringLiteral("010210000003"), 0, QStringLiteral("10"), kSecondPassword);
    ASSERT_TRUE(waitCalls(a, 1) && waitCalls(b, 1));
    ASSERT_EQ(a.insideSerials.size(), 1u);
    ASSERT_EQ(b.insideSerials.size(), 1u);
    EXPECT_EQ(a.insideSerials.front().size(), 2);
    EXPECT_NE(a.insideSerials.front(), b.insideSerials.front());
    EXPECT_EQ(sim.receivedCount(brokersim::kInsideTransferFunction), 2);
    EXPECT_FALSE(handle.isEmpty());
    EXPECT_FALSE(handle.contains(kSecondPassword));
    for (const QString& line : logLines())
        EXPECT_FALSE(line.contains(QStringLiteral("outpassword=") + kSecondPassword)) << qPrintable(line);

    manager().requestFundCollection(&a, 0);
    manager().requestFundCollection(&b, 0);
    ASSERT_TRUE(waitCalls(a, 2) && waitCalls(b, 2));
    EXPECT_EQ(sim.receivedCount(brokersim::kFundCollectionFunction), 2);
    ASSERT_EQ(a.collections.size() + b.collections.size(), 2u);
    // The first gathered both secondaries (with the 20.00 moved in above); the
    // second found nothing left.
    const RDOFundCollectionResult& first = a.collections.front();
    const RDOFundCollectionResult& second = b.collections.front();
    EXPECT_EQ(QStringList({ first.amount, first.number, second.amount, second.number }),
        QStringList({ QStringLiteral("9520.50"), QStringLiteral("2"), QStringLiteral("0.00"), QStringLiteral("0") }));
}

// The broker refuses what the inside transfer page leaves to it, and moves
// no money for a refused request.
TEST_F(TransferRequestsTest, RefusedInsideTransfersAndCollectionsMoveNothing)
{
    logIn(kSecondCustomer, kSecondPassword);
    const QStringList accounts = { QStringLiteral("010210000002"), QStringLiteral("010210000003"),
        QStringLiteral("010210000004"), QStringLiteral("010210000005") };
    auto balances = [&] {
        QList<qint64> all;
        for (const QString& a : accounts)
            all << money(a, kSecondCustomer).balance;
        return all;
    };
    const QList<qint64> before = balances();
    const struct {
        const char* out;
        const char* in;
        qint32 moneyType;
        const char* amount;
        QString password;
        QString message;
    } transfers[] = {
        { "010110000001", "010210000003", 0, "1", kSecondPassword, QStringLiteral("资金账号不存在或币种不符") },
        { "010210000002", "010210000005", 0, "1", kSecondPassword, QStringLiteral("资金账号不存在或币种不符") },
        { "010210000002", "010210000003", 7, "1", kSecondPassword, QStringLiteral("资金账号不存在或币种不符") },
        { "010210000003", "010210000003", 0, "1", kSecondPassword, QStringLiteral("转出账号与转入账号不能相同") },
        { "010210000002", "010210000003", 0, "1", QStringLiteral("000000"), QStringLiteral("资金密码错误") },
        { "010210000002", "010210000003", 0, "0", kSecondPassword, QStringLiteral("转账金额无效") },
        { "010210000002", "010210000003", 0, "1.234", kSecondPassword, QStringLiteral("转账金额无效") },
        // Frozen money is not available: 1500.50 of 2000.50.
        { "010210000004", "010210000002", 0, "1600", kSecondPassword, QStringLiteral("可用资金不足") },
    };
    for (const auto& t : transfers) {
        SCOPED_TRACE(testing::Message() << t.out << " " << t.in << " " << t.amount);
        Observer o;
        manager().requestFundInsideTransfer(&o, QString::fromLatin1(t.out), QString::fromLatin1(t.in), t.moneyType,
            QString::fromLatin1(t.amount), t.password);
        ASSERT_TRUE(waitCalls(o, 1));
        ASSERT_EQ(o.errors.size(), 1u);
        EXPECT_EQ(o.errors.front().domain, t.message);
    }
    // The main account holds 人民币 only.
    for (qint32 moneyType : { 1, 2, 9 }) {
        SCOPED_TRACE(moneyType);
        Observer o;
        manager().requestFundCollection(&o, moneyType);
        ASSERT_TRUE(waitCalls(o, 1));
        ASSERT_EQ(o.errors.size(), 1u);
        EXPECT_EQ(o.errors.front().domain, QStringLiteral("主资金账号不支持该币种"));
    }
    EXPECT_EQ(balances(), before);
}

TEST_F(TransferRequestsTest, NothingIsSentWithoutAnAccountOrAFundIdPair)
{
    Observer o;
    EXPECT_TRUE(manager().requestBSTransferInfo(&o).isEmpty());
    auto account = logIn();
    account->commonUrlString.replace(QStringLiteral("&fundid="), QStringLiteral("&mainfundid="));
    EXPECT_TRUE(manager()
                    .requestFundTransfer(&o, 0, QStringLiteral("010110000001"), QStringLiteral("1001"),
                        QStringLiteral("1"), 1, {}, kBankPassword)
                    .isEmpty());
    ASSERT_TRUE(waitCalls(o, 2));
    ASSERT_EQ(o.errors.size(), 2u);
    EXPECT_EQ(o.errors.back().domain, QStringLiteral("无法指定资金账号，请重新登录后再试。"));
    EXPECT_EQ(sim.receivedCount(kBankTransferFunction), 0);
    EXPECT_EQ(sim.receivedCount(kTransferHistoryFunction), 0);
}

TEST_F(TransferRequestsTest, AWithheldTransferEndsInAnUnknownOutcomeAndIsNotSentAgain)
{
    logIn();
    // The connection and its session first, so that the transfer's time-out
    // counts from its sending, not from the logon a loaded machine may delay.
    ASSERT_NE(history(), nullptr);
    manager().setRequestTimeout(1);
    sim.withholdNext(kBankTransferFunction);
    Observer o;
    manager().requestFundTransfer(&o, 0, QStringLiteral("010110000001"), QStringLiteral("1001"),
        QStringLiteral("5"), 1, {}, kBankPassword);
    // The simulator holds it (before or after the time-out, whichever the
    // machine's load puts first) ...
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }, 10s));
    ASSERT_TRUE(waitCalls(o, 1));
    ASSERT_EQ(o.errors.size(), 1u);
    EXPECT_EQ(o.errors.front().code, kOrderOutcomeUnknownCode);
    // ... and it went out once, never again.
    EXPECT_EQ(sim.receivedCount(kBankTransferFunction), 1);
}

// A balance query or a trade password change is no new intent: an equal one
// still waiting takes the second caller in, and one request goes out.
TEST_F(TransferRequestsTest, AnEqualBalanceQueryOrPasswordChangeWaitingGoesOutOnce)
{
    auto account = logIn();
    const struct {
        const char* what;
        brokersim::Function function;
        std::function<void(Observer&)> send;
    } requests[] = {
        { "balance query", kBankBalanceFunction,
            [this](Observer& o) {
                manager().requestBankBalance(
                    &o, 0, QStringLiteral("010110000001"), QStringLiteral("1001"), {}, {});
            } },
        // The link a history is asked for goes into its handle alone.
        { "history of a link", kTransferHistoryFunction,
            [this](Observer& o) { manager().requestBSTransferInfo(&o, QStringLiteral("010110000001/1001/0")); } },
        { "trade password change", brokersim::kChangeTradePasswordFunction,
            [&](Observer& o) {
                EXPECT_EQ(account->requestChangeTradePassword(&o, kTradePassword, kTradePassword), QString());
            } },
    };
    for (const auto& r : requests) {
        SCOPED_TRACE(r.what);
        sim.withholdNext(r.function);
        Observer first, second;
        r.send(first);
        r.send(second);
        ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }, 10s));
        sim.releaseWithheld();
        ASSERT_TRUE(waitCalls(first, 1) && waitCalls(second, 1));
        EXPECT_TRUE(first.errors.empty() && second.errors.empty());
        EXPECT_EQ(sim.receivedCount(r.function), 1);
    }
    EXPECT_EQ(sim.receivedOf(kTransferHistoryFunction).back().rawBody, account->commonUrlString.toLatin1());
}

// Every answer that reports money moved needs the serial its success names:
// a missing or blank one leaves the outcome unknown, any other text is the
// serial as the server sent it. The in serial of an inside transfer may be
// missing (it reads as empty).
TEST(TransferAnswerTest, EveryTransferAnswerRefusesOnlyAMissingOrBlankSerial)
{
    const QString good = QStringLiteral("60000001");
    const struct {
        const char* what;
        std::function<std::optional<QString>(const QString&)> lacking;
        bool blankAccepted;
    } classes[] = {
        { "transfer", [](const QString& s) { return DMFundTransfer::lacking(s); }, false },
        { "inside out", [&](const QString& s) { return DMFundInsideTransfer::lacking({ s, good }); }, false },
        { "inside in", [&](const QString& s) { return DMFundInsideTransfer::lacking({ good, s }); }, true },
    };
    const struct {
        const char* text;
        bool blank;
    } serials[] = { { "60000001", false }, { "0", false }, { "-1", false }, { "1e999", false },
        { "12a", false }, { "99999999999999999999", false }, { "", true }, { " ", true }, { "\t ", true } };
    for (const auto& c : classes) {
        for (const auto& serial : serials) {
            SCOPED_TRACE(testing::Message() << c.what << " \"" << serial.text << "\"");
            const std::optional<QString> lacking = c.lacking(QString::fromLatin1(serial.text));
            EXPECT_EQ(!lacking, !serial.blank || c.blankAccepted);
            if (lacking)
                EXPECT_FALSE(lacking->isEmpty());
        }
    }
    // A collection's amount and count follow the same rule.
    for (const auto& figure : serials) {
        SCOPED_TRACE(testing::Message() << "collection \"" << figure.text << "\"");
        const QString text = QString::fromLatin1(figure.text);
        EXPECT_EQ(!DMFundCollection::lacking({ text, QStringLiteral("2") }), !figure.blank);
        EXPECT_EQ(!DMFundCollection::lacking({ QStringLiteral("9500.50"), text }), !figure.blank);
    }
    for (const char* shown : { "abc", "nan", "1.5" })
        EXPECT_FALSE(DMFundCollection::lacking({ QString::fromLatin1(shown), QString::fromLatin1(shown) })) << shown;
    EXPECT_FALSE(DMFundCollection::lacking({ QStringLiteral("0.00"), QStringLiteral("0") }));
}

// The balance query reports no serial to anyone: an answer without one is
// the success after which the history is read.
TEST_F(TransferRequestsTest, BalanceAnswerWithoutASerialIsASuccess)
{
    logIn();
    const struct {
        const char* what;
        brokersim::Table answer;
    } answers[] = {
        { "no sno", brokersim::Table().column(QStringLiteral("msg")).row({ QStringLiteral("ok") }) },
        { "blank", brokersim::Table().column(QStringLiteral("sno")).row({ QString() }) },
        { "other text", brokersim::Table().column(QStringLiteral("sno")).row({ QStringLiteral("1e999") }) },
    };
    for (const auto& a : answers) {
        SCOPED_TRACE(a.what);
        sim.answerTablesNext(kBankBalanceFunction, { a.answer });
        Observer o;
        manager().requestBankBalance(&o, 0, QStringLiteral("010110000001"), QStringLiteral("1001"), {}, {});
        ASSERT_TRUE(waitCalls(o, 1));
        EXPECT_TRUE(o.errors.empty());
        EXPECT_EQ(o.balances.size(), 1u);
    }
}

// A secondary account at 招商银行 pays out to its bank but takes nothing from it.
TEST_F(TransferRequestsTest, ALinkWithoutBankToSecuritiesRefusesIt)
{
    logIn(kSecondCustomer, kSecondPassword);
    Observer o;
    manager().requestQueryFundTransferInfo(&o);
    ASSERT_TRUE(waitCalls(o, 1));
    ASSERT_EQ(o.infos.size(), 1u);
    const RDOFundAccountInfo* link
        = o.infos.front().getFundAccountInfoObject(QStringLiteral("010210000004"), QStringLiteral("1005"));
    ASSERT_TRUE(link);
    EXPECT_FALSE(link->isSupportTransferType(1, 0));
    EXPECT_TRUE(link->isSupportTransferType(2, 0));
    EXPECT_TRUE(link->isSupportTransferType(4, 0));
    manager().requestFundTransfer(&o, 0, QStringLiteral("010210000004"), QStringLiteral("1005"),
        QStringLiteral("1"), 1, {}, kBankPassword);
    ASSERT_TRUE(waitCalls(o, 2));
    ASSERT_EQ(o.errors.size(), 1u);
    EXPECT_EQ(o.errors.front().domain, QStringLiteral("该银行不支持银行转证券"));
}

} // namespace
