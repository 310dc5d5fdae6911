#include "transfer/FundTransferManager.h"
#include "transfer/TransferDataModels.h"
#include "tools/broker-sim/Table.h"

#include <gtest/gtest.h>

namespace {

using brokersim::Table;

// Rows of the transfer-information reply: fund id, fund seq, bank code,
// money type, transfer type, fund password flag, bank password flag.
using Row = std::array<const char*, 7>;

RDOFundTransferInfo infoOf(const std::vector<Row>& rows, bool withSeq = true)
{
    Table t;
    t.column(QStringLiteral("fundid"));
    if (withSeq)
        t.column(QStringLiteral("fundseq"));
    for (const char* name : { "bankcode", "bankname", "moneytype", "banktrantype", "fundpwdflag", "bankpwdflag" })
        t.column(QString::fromLatin1(name));
    for (const Row& r : rows) {
        QVariantList values { QString::fromLatin1(r[0]) };
        if (withSeq)
            values << QString::fromLatin1(r[1]);
        values << QString::fromLatin1(r[2]) << QStringLiteral("银行") << QString::fromLatin1(r[3])
               << QString::fromLatin1(r[4]) << QString::fromLatin1(r[5]) << QString::fromLatin1(r[6]);
        t.row(values);
    }
    const VEKTCRS set = brokersim::toRecordSet(t, 2).value();
    return RDOFundTransferInfo(&set);
}

// One question to the first account: transfer type, money type, and whether
// the fund and the bank password are needed.
struct Question {
    qint32 transferType;
    qint32 moneyType;
    bool fund;
    bool bank;
};

struct InfoCase {
    const char* name;
    std::vector<Row> rows;
    std::vector<qsizetype> entries; // per account
    QStringList moneyNames;
    std::vector<Question> questions;
};

TEST(TransferInfoTest, BuildsMergesAndAnswersAsTheRulesSay)
{
    const std::vector<InfoCase> cases {
        { "same account and bank, two currencies: one account",
            { { "1", "0", "B1", "0", "1", "0", "1" }, { "1", "0", "B1", "1", "1", "1", "0" } }, { 2 },
            { "人民币", "港币" }, { { 1, 0, false, true }, { 1, 1, true, false } } },
        { "same account, two banks: two accounts",
            { { "1", "0", "B1", "0", "1", "0", "1" }, { "1", "0", "B2", "0", "1", "0", "1" } }, { 1, 1 },
            { "人民币" }, {} },
        { "a repeated pair adds nothing: the first row's flags decide",
            { { "1", "0", "B1", "0", "2", "1", "1" }, { "1", "0", "B1", "0", "2", "0", "0" } }, { 1 },
            { "人民币" }, { { 2, 0, true, true } } },
        { "type 0 of a present currency is not added",
            { { "1", "0", "B1", "0", "1", "1", "1" }, { "1", "0", "B1", "0", "0", "0", "0" } }, { 1 },
            { "人民币" }, { { 0, 0, true, true } } },
        { "renminbi after both others goes first",
            { { "1", "0", "B1", "1", "1", "1", "1" }, { "1", "0", "B1", "2", "1", "1", "1" },
                { "1", "0", "B1", "0", "1", "1", "1" } },
            { 3 }, { "人民币", "港币", "美元" }, {} },
        { "renminbi after one other stays behind it",
            { { "1", "0", "B1", "1", "1", "1", "1" }, { "1", "0", "B1", "0", "1", "1", "1" } }, { 2 },
            { "港币", "人民币" }, {} },
        { "no matching entry needs both; flags 0 and 1 need the bank's",
            { { "1", "0", "B1", "1", "2", "0", "1" } }, { 1 }, { "港币" },
            { { 2, 1, false, true }, { 1, 1, true, true }, { 2, 0, true, true } } },
        { "money type 3 has no name and answers only for 3", { { "1", "0", "B1", "3", "4", "0", "0" } },
            { 1 }, {}, { { 4, 3, false, false }, { 4, 0, true, true } } },
        { "one entry with flag 0 among several drops the password",
            { { "1", "0", "B1", "0", "4", "1", "1" }, { "1", "0", "B1", "0", "0", "0", "1" } }, { 1 },
            { "人民币" }, { { 4, 0, true, true } } },
        { "codes written as decimals read by their integer value",
            { { "1", "0", "B1", "1.0", "2.000", "1.0", "0.000" },
                { "1", "0", "B1", "2.000", "2", "0", "1.0" }, { "1", "0", "B1", "1", "2", "0", "0" } },
            { 2 }, { "港币", "美元" },
            { { 2, 1, true, false }, { 2, 2, false, true }, { 1, 1, true, true } } },
        { "a code past 32 bits is no code, never the one it would wrap to",
            { { "1", "0", "B1", "4294967297", "4294967297", "0", "0" } }, { 1 }, {},
            { { 1, 1, true, true } } },
    };
    for (const InfoCase& c : cases) {
        SCOPED_TRACE(c.name);
        const RDOFundTransferInfo info = infoOf(c.rows);
        ASSERT_EQ(info.fundAccountInfoArray().size(), c.entries.size());
        for (size_t i = 0; i < c.entries.size(); ++i)
            EXPECT_EQ(qsizetype(info.fundAccountInfoArray()[i].transferTypeInfoArray().size()), c.entries[i]);
        EXPECT_EQ(info.getSupportMoneyNames(), c.moneyNames);
        EXPECT_EQ(info.fundAccountInfoAtIndex(qsizetype(c.entries.size())), nullptr);
        for (const Question& q : c.questions) {
            const RDOFundAccountInfo* a = info.fundAccountInfoAtIndex(0);
            EXPECT_EQ(a->transferNeedFundPassword(q.transferType, q.moneyType), q.fund)
                << q.transferType << "/" << q.moneyType;
            EXPECT_EQ(a->transferNeedBankPassword(q.transferType, q.moneyType), q.bank)
                << q.transferType << "/" << q.moneyType;
        }
    }
}

TEST(TransferInfoTest, MissingFundSeqMarksTheMainAccountAndNoRowsGiveNothing)
{
    const RDOFundTransferInfo info = infoOf({ { "7", "", "B1", "0", "1", "0", "0" } }, false);
    ASSERT_NE(info.getMainFundAccountInfo(), nullptr);
    EXPECT_EQ(info.getMainFundAccountInfo()->fundSeqDesc(), QStringLiteral("(主)"));
    EXPECT_EQ(info.getFundAccountInfoObject(QStringLiteral("7"), QStringLiteral("B1")), info.fundAccountInfoAtIndex(0));
    for (const char* secondary : { "1", "1.000", "2.5" })
        EXPECT_EQ(infoOf({ { "7", secondary, "B1", "0", "1", "0", "0" } }).getMainFundAccountInfo(), nullptr)
            << secondary;
    EXPECT_NE(infoOf({ { "7", "0.000", "B1", "0", "1", "0", "0" } }).getMainFundAccountInfo(), nullptr);
    EXPECT_TRUE(infoOf({}).fundAccountInfoArray().empty());
    EXPECT_TRUE(RDOFundTransferInfo(nullptr).getSupportMoneyNames().isEmpty());
}

TEST(TransferInfoTest, ChosenCapitalAccountReplacesTheFundIdPairByExactKey)
{
    const struct {
        const char* prefix;
        const char* fundId;
        std::optional<const char*> sent;
    } cases[] = {
        { "custid=1&fundid=111&ticket=t", "222", "custid=1&fundid=222&ticket=t" },
        { "custid=1&ticket=t&fundid=111", "222", "custid=1&ticket=t&fundid=222" },
        { "custid=1&mainfundid=111&fundid=111&x=1", "222", "custid=1&mainfundid=111&fundid=222&x=1" },
        { "custid=1&mainfundid=111", "222", std::nullopt },
        { "custid=1&fundid=111", "", "custid=1&fundid=111" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.prefix);
        const std::optional<QString> sent
            = prefixWithFundId(QString::fromLatin1(c.prefix), QString::fromLatin1(c.fundId));
        ASSERT_EQ(sent.has_value(), c.sent.has_value());
        if (sent) {
            EXPECT_EQ(*sent, QString::fromLatin1(*c.sent));
        }
        // The request itself: a prefix without the pair sends nothing.
        tagFundTransferParam p;
        p.commonUrl = c.prefix;
        p.fundId = c.fundId;
        p.moneyType = "0";
        p.bankCode = "B1";
        p.transferAmount = "1.00";
        p.transferType = "1";
        const std::optional<CSPacket> packet = DMFundTransfer::makePacket(p);
        ASSERT_EQ(packet.has_value(), c.sent.has_value());
        if (packet) {
            EXPECT_EQ(packet->data(),
                QString::fromLatin1(*c.sent)
                    + QStringLiteral("&moneytype=0&bankcode=B1&tranamt=1.00&banktrantype=1&fundpwd=&bankpwd="));
        }
    }
}

// The collection sends the prefix as it stands, its own "fundid" included,
// and after it the empty one that names every secondary account.
TEST(TransferInfoTest, CollectionSendsThePrefixUnchangedAndAnEmptyFundId)
{
    tagFundCollectionParam p;
    p.commonUrl = "custid=1&fundid=111&ticket=t";
    p.moneyType = "2";
    const std::optional<CSPacket> packet = DMFundCollection::makePacket(p);
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->data(), QStringLiteral("custid=1&fundid=111&ticket=t&fundid=&moneytype=2&cashcheck=0"));
}

TEST(TransferInfoTest, TypedAmountsAndPasswordsAreCheckedBeforeAnythingIsSent)
{
    // An amount's value is the server's to judge; only what could rewrite the body is refused.
    const QString amount = QStringLiteral("转账金额");
    for (const char* asTyped : { "1", "0", "0.00", "-5", "1.234", "1e3", "1,000", " 1", ".5", "12345678901234" })
        EXPECT_FALSE(transferinput::checkText(QString::fromLatin1(asTyped), amount)) << asTyped;
    for (const char* unsafe : { "1&x", "1=2", "1\n" })
        EXPECT_TRUE(transferinput::checkText(QString::fromLatin1(unsafe), amount)) << unsafe;
    const QString name = QStringLiteral("银行密码");
    EXPECT_FALSE(transferinput::checkPassword(QString(), name, false));
    EXPECT_TRUE(transferinput::checkPassword(QString(), name, true));
    EXPECT_FALSE(transferinput::checkPassword(QStringLiteral("aB 1!"), name, true));
    EXPECT_TRUE(transferinput::checkPassword(QStringLiteral("a&b"), name, true));
    EXPECT_TRUE(transferinput::checkPassword(QStringLiteral("a=b"), name, true));
    EXPECT_TRUE(transferinput::checkPassword(QStringLiteral("密码"), name, true));
    EXPECT_TRUE(transferinput::checkPassword(QString(256, QLatin1Char('1')), name, true));
    EXPECT_FALSE(transferinput::checkPassword(QString(255, QLatin1Char('1')), name, true));
}

} // namespace
