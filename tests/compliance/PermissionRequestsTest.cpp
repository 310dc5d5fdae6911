#include "ComplianceTestRig.h"
#include "compliance/permissions/PermissionSettingsManager.h"
#include "tools/broker-sim/Broker.h"
#include "tools/broker-sim/PermissionFunctions.h"

#include <algorithm>

namespace {

using namespace std::chrono_literals;
using brokersim::Table;

// The packet a sign record with this link makes.
std::optional<CSPacket> signPacket(const std::string& link, const std::string& prefix = "custid=1&fundid=2")
{
    tagPermissionSignParam record;
    record.commonUrl = prefix;
    record.ans = link;
    return DMPermissionSign::makePacket(record);
}

TEST(PermissionLinkTest, FunctionNumbersAndBodyComeFromTheLink)
{
    struct Case {
        const char* link;
        quint64 mFunc, sFunc;
        const char* body;
    };
    const Case cases[] = {
        { "tc_mfuncno=500&tc_sfuncno=211&a=1&b=2", 500, 211, "custid=1&fundid=2&a=1&b=2" },
        { " TC_MFUNCNO =500&\tTc_SfuncNo=7&a=1", 500, 7, "custid=1&fundid=2&a=1" }, // any case, blanks round
        { "tc_mfuncno=500&&tc_sfuncno=3&&a=1&", 500, 3, "custid=1&fundid=2&a=1" }, // empty pieces
        { "tc_mfuncno=500&tc_sfuncno=3&x=1=2&a=1", 500, 3, "custid=1&fundid=2&a=1" }, // two "=": dropped
        { "tc_mfuncno=500&tc_sfuncno=3&flag&a=1", 500, 3, "custid=1&fundid=2&flag&a=1" }, // no "=": as it is
        { "tc_mfuncno=500&tc_sfuncno=3", 500, 3, "custid=1&fundid=2" }, // the prefix alone, no "&"
        { "tc_mfuncno=1&tc_mfuncno=500&tc_sfuncno=3", 500, 3, "custid=1&fundid=2" }, // a later piece wins
        { "tc_mfuncno=500.000&tc_sfuncno=3e0", 500, 3, "custid=1&fundid=2" }, // by their value
        { "tc_mfuncno=0&tc_sfuncno=3", 0, 3, "custid=1&fundid=2" }, // a whole number, as written
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link);
        const std::optional<CSPacket> packet = signPacket(c.link);
        ASSERT_TRUE(packet);
        EXPECT_EQ(packet->mFunc(), c.mFunc);
        EXPECT_EQ(packet->sFunc(), c.sFunc);
        EXPECT_EQ(packet->data(), QString::fromLatin1(c.body));
    }
    for (const char* missing : { "tc_sfuncno=3&a=1", "tc_mfuncno=500&a=1", "tc_mfuncno=&tc_sfuncno=3",
             "tc_mfuncno=500&tc_sfuncno=x", "", "tc_mfuncno=500x&tc_sfuncno=3",
             "tc_mfuncno=500&tc_sfuncno=3.5", "tc_mfuncno=500&tc_sfuncno=-3" }) {
        SCOPED_TRACE(missing);
        EXPECT_FALSE(parsePermissionLink(missing).functions);
    }
}

std::vector<VEKTCRS> sets(const QList<Table>& tables)
{
    std::vector<VEKTCRS> out;
    for (const Table& t : tables)
        out.push_back(brokersim::toRecordSet(t, 2).value());
    return out;
}

TEST(PermissionRecordsTest, AgreementStepsFromReplies)
{
    Table rows;
    for (const char* name : { "type", "title", "content", "webaddr", "ans", "locktime", "tips", "showtips" })
        rows.column(QString::fromLatin1(name));
    rows.row({ "W", "", "", "http://a/b", "tc_mfuncno=500&tc_sfuncno=2", "-5", "同意", "" }); // negative: none
    rows.row({ "answer", "", "", "0", "", "", "", "" });
    rows.row({ "answer", "", "", "1", "", "", "", "" });
    rows.row({ "answer", "", "", "x", "", "", "", "" });
    rows.row({ "answer", "", "", "9", "", "", "", "" }); // beyond the reply's sets
    rows.row({ "answer", "", "", "2x", "", "", "", "" }); // no number: no set
    rows.row({ "T", "标题", "正文", "", "", "2.5", "已阅读", "请阅读" }); // a part second counts whole
    rows.row({ "X", "", "", "", "", "", "", "" });
    rows.row({ "answer", "", "", "2", "", "", "", "" });
    rows.row({ "answer", "", "", " 2.0", "", "", "", "" }); // by its value, as the server writes it
    rows.row({ "answer", "", "", "20e-1", "", "", "", "" });
    const PermissionContracts steps = permissionContractsFromReply(sets({ rows, brokersim::riskQuestionnaireTable() }));
    ASSERT_EQ(steps.size(), 5u);
    ASSERT_EQ(steps[0]->type(), RDOPermissionContract::Web);
    EXPECT_EQ(static_cast<const RDOPermissionContractWeb&>(*steps[0]).url, QStringLiteral("http://a/b"));
    EXPECT_EQ(steps[0]->lockTime(), 0u);
    EXPECT_EQ(steps[0]->ans(), QStringLiteral("tc_mfuncno=500&tc_sfuncno=2"));
    ASSERT_EQ(steps[1]->type(), RDOPermissionContract::Text);
    const auto& text = static_cast<const RDOPermissionContractText&>(*steps[1]);
    EXPECT_EQ(text.title, QStringLiteral("标题"));
    EXPECT_EQ(text.content, QStringLiteral("正文"));
    EXPECT_EQ(text.lockTime(), 3u);
    EXPECT_EQ(text.tips(), QStringLiteral("已阅读"));
    EXPECT_EQ(text.showtips(), QStringLiteral("请阅读"));
    ASSERT_EQ(steps[2]->type(), RDOPermissionContract::RiskAssessment);
    EXPECT_EQ(static_cast<const RDOPermissionContractRiskAssessment&>(*steps[2]).risk.surveyCount(),
        brokersim::riskQuestionnaire().questions.size());
    for (const std::size_t i : { 3u, 4u }) {
        ASSERT_EQ(steps[i]->type(), RDOPermissionContract::RiskAssessment);
        EXPECT_EQ(static_cast<const RDOPermissionContractRiskAssessment&>(*steps[i]).risk.surveyCount(),
            brokersim::riskQuestionnaire().questions.size());
    }

    Table rights;
    for (const char* name : { "rightname", "secuid", "right" })
        rights.column(QString::fromLatin1(name));
    rights.row({ "a", "1", "1" });
    rights.row({ "b", "2", "0" });
    rights.row({ "c", "3", "" });
    rights.row({ "d", "4", "11" });
    rights.row({ "e", "5", "1.000" }); // opened: the value 1, as a number field sends it
    rights.row({ "f", "6", "0.000" });
    const std::vector<RDOPermission> permissions = permissionsFromReply(sets({ rights }));
    ASSERT_EQ(permissions.size(), 6u);
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(permissions[i].status, i == 0 || i == 4 ? 1 : 0) << i;
    EXPECT_EQ(permissions[3].title, QStringLiteral("d"));
}

struct Observer : IQueryPermissionInfoDelegate, IQueryPermissionContractDelegate, IPermissionSign,
                  IOpenPermissionAccessDelegate {
    std::vector<std::vector<RDOPermission>> lists;
    std::vector<PermissionContracts> contracts;
    std::vector<std::pair<QString, QString>> signs; // handle, message
    std::vector<QString> opens;
    std::vector<CSError> errors;
    std::size_t calls() const { return lists.size() + contracts.size() + signs.size() + opens.size() + errors.size(); }
    void queryPermissionInfo(DataModel*, const QString&, const std::vector<RDOPermission>& v) override
    {
        lists.push_back(v);
    }
    bool queryPermissionInfo(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    void queryPermissionContract(DataModel*, const QString&, const PermissionContracts& v) override
    {
        contracts.push_back(v);
    }
    bool queryPermissionContract(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    void permissionSign(DataModel*, const QString& h, const QString& v) override { signs.emplace_back(h, v); }
    bool permissionSign(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    void openPermissionAccess(DataModel*, const QString&, const QString& v) override { opens.push_back(v); }
    bool openPermissionAccess(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    bool fail(const CSError& e)
    {
        errors.push_back(e);
        return true;
    }
};

class PermissionRequestsTest : public compliancetest::RiskSimulatorFixture {
protected:
    void SetUp() override
    {
        RiskSimulatorFixture::SetUp();
        PermissionSettingsManager::resetInstance();
    }
    void TearDown() override
    {
        PermissionSettingsManager::resetInstance();
        RiskSimulatorFixture::TearDown();
    }
    bool waitCalls(const Observer& o, std::size_t n) { return testsupport::spinUntil([&] { return o.calls() >= n; }, 10s); }
    PermissionSettingsManager& manager() { return *PermissionSettingsManager::getInstance(); }
};

TEST_F(PermissionRequestsTest, ListSignsNeverMergeAndBadLinksNeverLeave)
{
    logIn(QStringLiteral("010100000001"), QStringLiteral("111111"));
    Observer o;
    manager().requestQueryPermissionInfo(&o);
    ASSERT_TRUE(waitCalls(o, 1));
    ASSERT_EQ(o.lists.size(), 1u);
    // The prefix alone; the simulator accepted it as the customer's.
    const QString prefix = lastBody(brokersim::kPermissionListFunction);
    EXPECT_TRUE(prefix.startsWith(QStringLiteral("custid=010100000001&"))) << qPrintable(prefix);
    ASSERT_EQ(o.lists[0].size(), 3u);
    const RDOPermission first = o.lists[0][0];
    EXPECT_EQ(first.title, QStringLiteral("创业板交易权限"));
    EXPECT_EQ(first.market, QStringLiteral("深圳A股"));
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(o.lists[0][2].status, 1);
    // Every row names its shareholder account's market as the account list
    // (股东账户) does.
    const QList<brokersim::ShareholderAccount>& holders
        = broker().customer(QStringLiteral("010100000001"))->shareholders;
    for (const RDOPermission& p : o.lists[0]) {
        EXPECT_TRUE(std::any_of(holders.begin(), holders.end(), [&](const brokersim::ShareholderAccount& h) {
            return h.secuid == p.secuid && brokersim::Broker::marketName(h.market) == p.market;
        })) << qPrintable(p.title + " " + p.secuid + " " + p.market);
    }

    // Two signs at once: both go out, each caller hears its own answer.
    const QString link = QStringLiteral("tc_mfuncno=500&tc_sfuncno=3202&rightcode=cyb&agmtid=");
    const QString h1 = manager().requestPermissionSign(&o, link + "cyb-risk");
    const QString h2 = manager().requestPermissionSign(&o, link + "cyb-rule");
    EXPECT_NE(h1, h2);
    ASSERT_TRUE(waitCalls(o, 3));
    EXPECT_EQ(sim.receivedCount(brokersim::kPermissionSignFunction), 2);
    QStringList bodies;
    for (const brokersim::Request& r : receivedOf(brokersim::kPermissionSignFunction))
        bodies << QString::fromUtf8(r.rawBody);
    bodies.sort();
    ASSERT_EQ(bodies.size(), 2);
    EXPECT_TRUE(bodies[0].startsWith(QStringLiteral("custid=010100000001&")));
    EXPECT_TRUE(bodies[0].endsWith(QStringLiteral("&rightcode=cyb&agmtid=cyb-risk")));
    EXPECT_TRUE(bodies[1].endsWith(QStringLiteral("&rightcode=cyb&agmtid=cyb-rule")));
    ASSERT_EQ(o.signs.size(), 2u);
    for (const auto& [handle, message] : o.signs)
        EXPECT_EQ(message, handle == h1 ? QStringLiteral("《创业板投资风险揭示书》签署成功") : QString());

    // Refused before sending, with a message: no function, too long, not ASCII.
    const qsizetype before = sim.receivedCount();
    const QString refused[] = { QStringLiteral("rightcode=cyb"), QStringLiteral("tc_mfuncno=500&tc_sfuncno=3&a=") + QString(600, u'x'),
        QStringLiteral("tc_mfuncno=500&tc_sfuncno=3&a=协议") };
    for (const QString& bad : refused) {
        manager().requestOpenPermissionAccess(&o, bad);
        manager().requestQueryPermissionContract(&o, bad);
    }
    ASSERT_TRUE(waitCalls(o, 3 + 6));
    ASSERT_EQ(o.errors.size(), 6u);
    for (const CSError& e : o.errors) {
        EXPECT_EQ(e.code, DataModel::kRefusedRequestCode);
        EXPECT_FALSE(e.domain.isEmpty());
    }
    EXPECT_TRUE(o.errors[0].domain.contains(QStringLiteral("功能号")));
    EXPECT_TRUE(o.errors[2].domain.contains(QStringLiteral("过长")));
    EXPECT_TRUE(o.errors[4].domain.contains(QStringLiteral("字符")));
    EXPECT_EQ(sim.receivedCount(), before);
}

} // namespace
