#include "LoginTestRig.h"
#include "comm/transport/TCHttpForm.h"
#include "login/CommonUrl.h"

#include <QFile>
#include <QUrl>

using namespace logintest;

namespace {

using brokersim::kAppLoginFunction;
using brokersim::kBranchListFunction;
using brokersim::kCapitalAccountsFunction;
using brokersim::kCaptchaFunction;
using brokersim::kIdentityLoginFunction;
using brokersim::kRiskStatusFunction;
using brokersim::kSystemMessageFunction;
using brokersim::kTerminalIdFunction;
using brokersim::kTradeLoginFunction;

// The session controller's part of the start-up, as far as LoginManager
// takes it: terminal id when needed, application login with up to three
// retries after 90001, branch list when its version changed.
class StartUp : public IUtidDelegate, public IAppLoginDelegate, public IOrganizationInfoDelegate {
public:
    explicit StartUp(LoginManager& manager)
        : lm(manager)
    {
    }

    void start()
    {
        if (lm.needRequestUtid()) {
            steps << "utid";
            lm.requestUtid(this);
        } else {
            appLogin();
        }
    }

    void queryUtid(DataModel*, const QString&, const QString& utid) override
    {
        lm.setUtid(utid);
        appLogin();
    }
    bool queryUtid(DataModel*, const QString&, const CSError& error) override
    {
        finish(error);
        return true;
    }
    void appLogin(DataModel*, const QString&, const std::optional<RDOServerVersionInfo>& info) override
    {
        for (const auto& server : DMServerManager::getInstance()->serverInfos(DMServerManager::kTrade))
            tradePortsWhenHeard << server->getServerPort();
        const std::optional<QString> version = info ? info->organizationVersion() : std::nullopt;
        if (lm.needRequestOrgInfo(version)) {
            steps << "orgInfo";
            lm.requestOrgInfo(this);
        } else {
            finish(std::nullopt);
        }
    }
    bool appLogin(DataModel*, const QString&, const CSError& error) override
    {
        if (lm.needRetryAppLogin(error.code) && retries < 3) {
            ++retries;
            steps << "utid";
            lm.requestUtid(this);
        } else {
            finish(error);
        }
        return true;
    }
    void queryOrganizationInfo(DataModel*, const QString&, const RDOOrganizationInfo& info) override
    {
        orgStored = lm.setOrgInfo(&info);
        finish(std::nullopt);
    }
    bool queryOrganizationInfo(DataModel*, const QString&, const CSError& error) override
    {
        finish(error);
        return true;
    }

    LoginManager& lm;
    QStringList steps;
    QStringList tradePortsWhenHeard;
    int retries = 0;
    bool done = false;
    bool orgStored = false;
    std::optional<CSError> failure;

private:
    void appLogin()
    {
        lm.setNetworkUtidConifg();
        steps << "appLogin";
        lm.requestAppLogin(this);
    }
    void finish(const std::optional<CSError>& error)
    {
        failure = error;
        done = true;
    }
};

// The login form's and the unlock window's part.
class Form : public IIdentifyingCodeDelegate,
             public ITradeLoginDelegate,
             public IIdentifyLoginDelegate,
             public IQuerySystemMessageDelegate,
             public IQueryRiskAssessmentStatusDelegate,
             public IQueryFundInfoDelegate {
public:
    std::vector<RDOIdentifyingCode> captchas;
    std::vector<RDOAccount> logins;
    std::vector<RDOAccount> identities;
    std::vector<std::vector<RDOSystemMessage>> messages;
    std::vector<RDORiskAssessmentStatus> risks;
    std::vector<std::vector<RDOFund>> funds;
    std::vector<CSError> errors;

    std::size_t calls() const
    {
        return captchas.size() + logins.size() + identities.size() + messages.size() + risks.size()
            + funds.size() + errors.size();
    }

    void identifyingCode(DataModel*, const QString&, const RDOIdentifyingCode& code) override
    {
        captchas.push_back(code);
    }
    bool identifyingCode(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    void tradeLogin(DataModel*, const QString&, const RDOAccount& account) override
    {
        logins.push_back(account);
    }
    bool tradeLogin(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    void identifyLogin(DataModel*, const QString&, const RDOAccount& account) override
    {
        identities.push_back(account);
    }
    bool identifyLogin(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    void querySystemMessage(DataModel*, const QString&, const std::vector<RDOSystemMessage>& list) override
    {
        messages.push_back(list);
    }
    bool querySystemMessage(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    void queryRiskAssessmentStatus(DataModel*, const QString&, const RDORiskAssessmentStatus& status) override
    {
        risks.push_back(status);
    }
    bool queryRiskAssessmentStatus(DataModel*, const QString&, const CSError& e) override { return fail(e); }
    void queryFundInfo(DataModel*, const QString&, const std::vector<RDOFund>& list) override
    {
        funds.push_back(list);
    }
    bool queryFundInfo(DataModel*, const QString&, const CSError& e) override { return fail(e); }

private:
    bool fail(const CSError& e)
    {
        errors.push_back(e);
        return true;
    }
};

class LoginSequenceTest : public SimulatorFixture {
protected:
    bool run(StartUp& startUp)
    {
        startUp.start();
        return testsupport::spinUntil([&] { return startUp.done; }, 10s);
    }
    bool waitCalls(const Form& form, std::size_t count, std::chrono::milliseconds timeout = 10s)
    {
        return testsupport::spinUntil([&] { return form.calls() >= count; }, timeout);
    }

    // Start-up, then a captcha; answers the captcha's text.
    QString readyForLogin(LoginManager& manager, Form& form)
    {
        StartUp startUp(manager);
        EXPECT_TRUE(run(startUp));
        EXPECT_FALSE(startUp.failure);
        const std::size_t before = form.captchas.size();
        manager.requestIdentifyingCode(&form);
        EXPECT_TRUE(testsupport::spinUntil(
            [&] { return form.captchas.size() > before || !form.errors.empty(); }, 10s));
        return broker().lastCaptchaCode();
    }

    QString expectedNetAddr() const
    {
        SystemInfo* info = SystemInfo::getInstance();
        return QStringLiteral("M:10.1.2.3|10.1.2.3|MAC:%1|SN:C02XYZ|DN:S3DISK|ver1.0")
            .arg(info->macAddress().value_or(QString()));
    }
};

TEST_F(LoginSequenceTest, FirstStartRequestsEverythingLaterStartsReuseWhatIsStored)
{
    auto manager = std::make_unique<LoginManager>();
    StartUp startUp(*manager);
    ASSERT_TRUE(run(startUp));
    ASSERT_FALSE(startUp.failure) << qPrintable(startUp.failure->domain);
    EXPECT_EQ(startUp.steps, QStringList({ "utid", "appLogin", "orgInfo" }));
    EXPECT_TRUE(startUp.orgStored);

    EXPECT_EQ(lastBody(kTerminalIdFunction),
        QStringLiteral("soft_name=lumora&soft_version=1.0&model=MAC OSX&hwid=%1&imei=&imsi=&osid=14.2")
            .arg(SystemInfo::getInstance()->systemString()));
    const QString utid = manager->utid().value_or(QString());
    ASSERT_FALSE(utid.isEmpty());
    EXPECT_EQ(UserDefaultConfig::getInstance()->userUtid(), utid);
    EXPECT_EQ(lastBody(kAppLoginFunction),
        QStringLiteral("utid=%1&soft_name=lumora&soft_version=1.0&orgid=0&netaddr=&circuit=0").arg(utid));
    EXPECT_EQ(lastBody(kBranchListFunction), QString());
    // The server lists were replaced before the observer heard of the reply.
    EXPECT_EQ(startUp.tradePortsWhenHeard, QStringList({ QString::number(sim.tcPort()) }));
    EXPECT_EQ(UserDefaultConfig::getInstance()->orgVersion(), QStringLiteral("20240601"));
    EXPECT_EQ(OrgInfoManager::getInstance()->getAreaNameArray(), QStringList({ "上海", "深圳" }));
    EXPECT_EQ(
        OrgInfoManager::getInstance()->getOrgCode("深圳", "深圳深南大道营业部"), QStringLiteral("0201"));
    EXPECT_EQ(OrgInfoManager::getInstance()->getOrgNameFromCustomerNumber("10200000002"),
        QStringLiteral("上海南京西路营业部"));
    EXPECT_TRUE(QFile::exists(OrgInfoManager::filePath()));

    // Next start: the stored id and the stored branch list are used.
    sim.clearReceived();
    OrgInfoManager::resetInstance();
    manager = std::make_unique<LoginManager>();
    StartUp second(*manager);
    ASSERT_TRUE(run(second));
    EXPECT_FALSE(second.failure);
    EXPECT_EQ(second.steps, QStringList({ "appLogin" }));
    EXPECT_EQ(sim.receivedCount(kTerminalIdFunction), 0);
    EXPECT_EQ(sim.receivedCount(kBranchListFunction), 0);
    EXPECT_EQ(OrgInfoManager::getInstance()->getAreaNameArray(), QStringList({ "上海", "深圳" }));

    // A branch-list file that does not load is fetched although the version is unchanged.
    QFile::remove(OrgInfoManager::filePath());
    manager = std::make_unique<LoginManager>();
    StartUp third(*manager);
    ASSERT_TRUE(run(third));
    EXPECT_EQ(third.steps, QStringList({ "appLogin", "orgInfo" }));
    EXPECT_EQ(sim.receivedCount(kBranchListFunction), 1);

    // The system message of this version.
    Form form;
    const QString handle = manager->requestSystemMessage(&form);
    EXPECT_FALSE(handle.isEmpty());
    ASSERT_TRUE(waitCalls(form, 1));
    ASSERT_EQ(form.messages.size(), 1u);
    EXPECT_EQ(lastBody(kSystemMessageFunction), QStringLiteral("soft_version=1.0"));
}

TEST_F(LoginSequenceTest, ApplicationLoginRetriesAfter90001)
{
    // One 90001: a new terminal id, then the application login again.
    UserDefaultConfig::getInstance()->setUserUtid(QStringLiteral("STALE"));
    auto manager = std::make_unique<LoginManager>();
    StartUp startUp(*manager);
    ASSERT_TRUE(run(startUp));
    ASSERT_FALSE(startUp.failure) << qPrintable(startUp.failure->domain);
    EXPECT_EQ(startUp.steps, QStringList({ "appLogin", "utid", "appLogin", "orgInfo" }));
    EXPECT_EQ(startUp.retries, 1);
    EXPECT_NE(UserDefaultConfig::getInstance()->userUtid(), QStringLiteral("STALE"));
    EXPECT_TRUE(lastBody(kAppLoginFunction).startsWith(QStringLiteral("utid=%1&").arg(*manager->utid())));

    // 90001 every time: three retries, then the error reaches the controller.
    sim.clearReceived();
    broker().answer90001Next(10);
    manager = std::make_unique<LoginManager>();
    StartUp stubborn(*manager);
    ASSERT_TRUE(run(stubborn));
    ASSERT_TRUE(stubborn.failure);
    EXPECT_EQ(stubborn.failure->code, 90001);
    EXPECT_EQ(stubborn.failure->domain, QStringLiteral("终端标识无效或已过期，请重新获取"));
    EXPECT_EQ(stubborn.retries, 3);
    EXPECT_EQ(sim.receivedCount(kAppLoginFunction), 4);
    EXPECT_EQ(sim.receivedCount(kTerminalIdFunction), 3);
    broker().clearControls();
}

TEST_F(LoginSequenceTest, ATimeOutAfter90001IsNotRetried)
{
    // The connection is made and logged on first, so that the short time-out
    // below measures the withheld reply and not a slow TLS handshake.
    const auto trade = NetworkFactory::getInstance()->getNetwork(NetworkFactory::kTrade);
    ASSERT_TRUE(testsupport::spinUntil([&] { return trade->isLoggedOn(); }, 10s));
    auto manager = std::make_unique<LoginManager>();
    manager->setRequestTimeout(2);
    UserDefaultConfig::getInstance()->setUserUtid(QStringLiteral("STALE"));
    // The first application login answers 90001; the second is withheld.
    sim.answerErrorNext(kAppLoginFunction, 90001, QStringLiteral("终端标识无效"));
    sim.withholdNext(kAppLoginFunction, 1);
    StartUp startUp(*manager);
    ASSERT_TRUE(run(startUp));
    ASSERT_TRUE(startUp.failure);
    EXPECT_EQ(startUp.failure->domain, QStringLiteral("请求超时"));
    EXPECT_EQ(startUp.failure->code, 6);
    EXPECT_FALSE(manager->needRetryAppLogin(0));
    EXPECT_EQ(startUp.retries, 1);
    EXPECT_EQ(sim.receivedCount(kAppLoginFunction), 2);
}

TEST_F(LoginSequenceTest, TradeLoginInCaptchaAndTokenModesAndTheRequestsAfterIt)
{
    auto manager = std::make_unique<LoginManager>();
    Form form;
    // No terminal id yet: the captcha is not asked for.
    manager->requestIdentifyingCode(&form);
    EXPECT_EQ(sim.receivedCount(kCaptchaFunction), 0);

    const QString code = readyForLogin(*manager, form);
    ASSERT_EQ(form.captchas.size(), 1u);
    EXPECT_TRUE(form.captchas[0].image().has_value());
    EXPECT_FALSE(code.isEmpty());
    const QString utid = *manager->utid();
    EXPECT_EQ(
        lastBody(kCaptchaFunction), QStringLiteral("utid=%1&soft_name=lumora&soft_version=1.0").arg(utid));
    EXPECT_TRUE(receivedOf(kCaptchaFunction).back().hasSession);

    // Captcha mode, by customer number: dynpwd is sent empty.
    manager->requestTradeLogin(&form, "010100000001", "111111", 0, "0101", code, QString());
    ASSERT_TRUE(waitCalls(form, 2));
    ASSERT_EQ(form.logins.size(), 1u) << qPrintable(form.errors.empty() ? QString() : form.errors[0].domain);
    EXPECT_EQ(lastBody(kTradeLoginFunction),
        QStringLiteral(
            "utid=%1&operway=8&inputtype=C&inputid=010100000001&orgid=0101&trdpwd=111111&checkword=%2"
            "&dynpwd=&netaddr=%3")
            .arg(utid, code, expectedNetAddr()));
    EXPECT_TRUE(receivedOf(kTradeLoginFunction).back().hasSession);

    auto account = std::make_shared<Account>();
    account->initWithRDOAccount(form.logins[0]);
    EXPECT_EQ(account->customerNumber, QStringLiteral("010100000001"));
    EXPECT_EQ(account->name, QStringLiteral("张三"));
    EXPECT_EQ(account->businessDepartmentName, QStringLiteral("上海世纪大道营业部"));
    EXPECT_EQ(account->organizationCode, QStringLiteral("0101"));
    EXPECT_EQ(account->zj_account, QStringLiteral("010110000001"));
    EXPECT_EQ(account->gd_ShenA_account, QStringLiteral("0101000001"));
    EXPECT_EQ(account->gd_HuA_account, QStringLiteral("A101000001"));
    EXPECT_EQ(account->gd_ShenB_account, QStringLiteral("2101000001"));
    EXPECT_EQ(account->gd_HuB_account, QStringLiteral("C101000001"));
    EXPECT_EQ(account->gd_3BanA_account, QStringLiteral("0601000001"));
    EXPECT_EQ(account->gd_3BanB_account, QStringLiteral("0701000001"));
    EXPECT_EQ(account->getSecuidInfoByMarketCode(5).size(), 1);
    EXPECT_TRUE(account->lastLoginInfoContent().has_value());
    AccountManager::getInstance()->addActiveAccount(account);

    // The risk status and the capital accounts go out with the prefix.
    manager->requestRiskEvaluationStatus(&form);
    ASSERT_TRUE(waitCalls(form, 3));
    ASSERT_EQ(form.risks.size(), 1u);
    EXPECT_EQ(form.risks[0].status, 0);
    EXPECT_EQ(lastBody(kRiskStatusFunction), account->commonUrlString + QStringLiteral("&version=1"));
    EXPECT_EQ(account->requestFundInfo(&form), QString());
    ASSERT_TRUE(waitCalls(form, 4));
    ASSERT_EQ(form.funds.size(), 1u);
    const std::vector<RDOFund> funds = account->getFundInfoList(form.funds[0]);
    ASSERT_EQ(funds.size(), 2u);
    EXPECT_EQ(funds[0].fundSeq, QStringLiteral("0"));
    EXPECT_EQ(funds[0].fundId, QStringLiteral("010110000001"));
    EXPECT_EQ(lastBody(kCapitalAccountsFunction), account->commonUrlString);

    // The trade connection is made again: the prefix's address is rewritten
    // and still accepted by the server.
    DMNotificationCenter::getInstance()->postNotification(2, QVariant(1));
    EXPECT_TRUE(account->commonUrlString.endsWith(
        QStringLiteral("&netaddr=M:10.1.2.3|10.1.2.3|MAC:%1|SN:C02XYZ|DN:S3DISK")
            .arg(SystemInfo::getInstance()->macAddress().value_or(QString()))));
    manager->requestRiskEvaluationStatus(&form);
    ASSERT_TRUE(waitCalls(form, 5));
    EXPECT_EQ(form.risks.size(), 2u);

    // Token mode (王五's branch), by capital account: checkword and dynpwd both carry the texts.
    manager->requestIdentifyingCode(&form);
    ASSERT_TRUE(waitCalls(form, 6));
    const QString code2 = broker().lastCaptchaCode();
    manager->requestTradeLogin(&form, "020110000003", "333333", 1, "0201", code2, "654321");
    ASSERT_TRUE(waitCalls(form, 7));
    ASSERT_EQ(form.logins.size(), 2u) << qPrintable(form.errors.empty() ? QString() : form.errors[0].domain);
    EXPECT_TRUE(lastBody(kTradeLoginFunction)
                    .contains(QStringLiteral("&inputtype=Z&inputid=020110000003&orgid=0201&trdpwd=333333"
                                             "&checkword=%1&dynpwd=654321&netaddr=")
                                  .arg(code2)));
    auto wang = std::make_shared<Account>();
    wang->initWithRDOAccount(form.logins[1]);
    AccountManager::getInstance()->addActiveAccount(wang);
    EXPECT_EQ(AccountManager::getInstance()->loginAccounts().size(), 2u);
    manager->requestRiskEvaluationStatus(&form);
    ASSERT_TRUE(waitCalls(form, 8));
    EXPECT_EQ(form.risks.back().status, 2);

    // By Shanghai A shareholder account (index 3, letter "1").
    manager->requestIdentifyingCode(&form);
    ASSERT_TRUE(waitCalls(form, 9));
    manager->requestTradeLogin(
        &form, "A102000002", "222222", 3, "0102", broker().lastCaptchaCode(), QString());
    ASSERT_TRUE(waitCalls(form, 10));
    ASSERT_EQ(form.logins.size(), 3u) << qPrintable(form.errors.empty() ? QString() : form.errors[0].domain);
    EXPECT_EQ(form.logins[2].customerId(), QStringLiteral("010200000002"));
    EXPECT_TRUE(lastBody(kTradeLoginFunction).contains(QStringLiteral("&inputtype=1&inputid=A102000002&")));

    // Identity login (unlock): input type always C, no captcha.
    manager->requestIdentifyLogin(&form, "010100000001", "111111", "0101");
    ASSERT_TRUE(waitCalls(form, 11));
    ASSERT_EQ(form.identities.size(), 1u)
        << qPrintable(form.errors.empty() ? QString() : form.errors[0].domain);
    EXPECT_EQ(lastBody(kIdentityLoginFunction),
        QStringLiteral(
            "soft_name=lumora&operway=8&inputtype=C&inputid=010100000001&orgid=0101&trdpwd=111111"));
    EXPECT_EQ(form.identities[0].customerId(), QStringLiteral("010100000001"));
    EXPECT_TRUE(form.errors.empty());

    // Logout empties every logged-in account.
    AccountManager::getInstance()->logoutAllAccount();
    EXPECT_TRUE(AccountManager::getInstance()->loginAccounts().empty());
}

TEST_F(LoginSequenceTest, RefusalsReachTheCallerWithTheServersMessage)
{
    auto manager = std::make_unique<LoginManager>();
    Form form;
    const QString code = readyForLogin(*manager, form);

    // Wrong password.
    manager->requestTradeLogin(&form, "010100000001", "999999", 0, "0101", code, QString());
    ASSERT_TRUE(waitCalls(form, 2));
    ASSERT_EQ(form.errors.size(), 1u);
    EXPECT_EQ(form.errors[0].domain, QStringLiteral("交易密码错误"));
    EXPECT_EQ(form.errors[0].code, 1002);
    EXPECT_EQ(manager->tradeLoginDataModel()->getLastErrorCode(), 1002);

    // Unknown account.
    manager->requestIdentifyingCode(&form);
    ASSERT_TRUE(waitCalls(form, 3));
    manager->requestTradeLogin(
        &form, "010100000099", "111111", 0, "0101", broker().lastCaptchaCode(), QString());
    ASSERT_TRUE(waitCalls(form, 4));
    ASSERT_EQ(form.errors.size(), 2u);
    EXPECT_EQ(form.errors[1].domain, QStringLiteral("账户不存在，请检查账号和账户类型"));
    EXPECT_EQ(form.errors[1].code, 1001);

    // A server error row, and one without a message.
    sim.answerErrorNext(kTradeLoginFunction, 555, QStringLiteral("系统维护中"));
    manager->requestTradeLogin(&form, "010100000001", "111111", 0, "0101", "0000", QString());
    ASSERT_TRUE(waitCalls(form, 5));
    EXPECT_EQ(form.errors[2].domain, QStringLiteral("系统维护中"));
    EXPECT_EQ(form.errors[2].code, 555);
    sim.answerErrorNext(kTradeLoginFunction, 556);
    manager->requestTradeLogin(&form, "010100000001", "111111", 0, "0101", "0001", QString());
    ASSERT_TRUE(waitCalls(form, 6));
    EXPECT_EQ(form.errors[3].domain, QStringLiteral("未知错误"));
    EXPECT_EQ(form.errors[3].code, 556);

    // A time-out.
    manager->setRequestTimeout(1);
    sim.withholdNext(kTradeLoginFunction, 1);
    manager->requestTradeLogin(&form, "010100000001", "111111", 0, "0101", "0002", QString());
    ASSERT_TRUE(waitCalls(form, 7));
    EXPECT_EQ(form.errors[4].domain, QStringLiteral("请求超时"));
    EXPECT_EQ(form.errors[4].code, 6);

    // Typed texts are checked before they go into a body: too long, or able to
    // add a field, and nothing is sent.
    const qsizetype sent = sim.receivedCount(kTradeLoginFunction);
    manager->requestTradeLogin(&form, "010100000001", QString(256, u'1'), 0, "0101", "0003", QString());
    ASSERT_TRUE(waitCalls(form, 8));
    EXPECT_TRUE(form.errors[5].domain.contains(QStringLiteral("过长"))) << qPrintable(form.errors[5].domain);
    EXPECT_FALSE(form.errors[5].domain.contains(QStringLiteral("1111")));
    manager->requestTradeLogin(&form, "010100000001", "111111", 0, "0101", "1&trdpwd=2", QString());
    ASSERT_TRUE(waitCalls(form, 9));
    EXPECT_EQ(form.errors[6].code, DataModel::kRefusedRequestCode);
    manager->requestTradeLogin(&form, "010100000001", "密码", 0, "0101", "0004", QString());
    ASSERT_TRUE(waitCalls(form, 10));
    EXPECT_EQ(form.errors[7].code, DataModel::kRefusedRequestCode);
    EXPECT_EQ(sim.receivedCount(kTradeLoginFunction), sent);
}

TEST_F(LoginSequenceTest, EqualLoginsMergeAndACancelledLoginIsSilent)
{
    auto manager = std::make_unique<LoginManager>();
    Form form;
    Form other;
    const QString code = readyForLogin(*manager, form);
    const qsizetype before = sim.receivedCount(kTradeLoginFunction);

    sim.withholdNext(kTradeLoginFunction, 1);
    manager->requestTradeLogin(&form, "010100000001", "111111", 0, "0101", code, QString());
    manager->requestTradeLogin(&other, "010100000001", "111111", 0, "0101", code, QString());
    ASSERT_TRUE(testsupport::spinUntil([&] { return sim.withheldCount() == 1; }, 10s));
    EXPECT_EQ(sim.receivedCount(kTradeLoginFunction), before + 1);
    sim.releaseWithheld();
    ASSERT_TRUE(waitCalls(form, 2));
    ASSERT_TRUE(waitCalls(other, 1));
    EXPECT_EQ(form.logins.size(), 1u);
    EXPECT_EQ(other.logins.size(), 1u);

    // Cancelled while pending: the reply reaches nobody.
    manager->requestIdentifyingCode(&form);
    ASSERT_TRUE(waitCalls(form, 3));
    sim.withholdNext(kTradeLoginFunction, 1);
    manager->requestTradeLogin(
        &form, "010100000001", "111111", 0, "0101", broker().lastCaptchaCode(), QString());
    ASSERT_TRUE(testsupport::spinUntil([&] { return sim.withheldCount() == 1; }, 10s));
    manager->cancelTradeLogin();
    sim.releaseWithheld();
    testsupport::spinUntil([] { return false; }, 300ms);
    EXPECT_EQ(form.calls(), 3u);
}

} // namespace

// The prefix the simulator really issues carries the trade password and the
// ticket: neither may stand in a request handle or a request identifier.
TEST_F(LoginSequenceTest, TheRealCommonPrefixNeverStandsInHandlesOrIdentifiers)
{
    auto manager = std::make_unique<LoginManager>();
    Form form;
    const QString code = readyForLogin(*manager, form);
    manager->requestTradeLogin(&form, "010100000001", "111111", 0, "0101", code, QString());
    ASSERT_TRUE(waitCalls(form, 2));
    ASSERT_EQ(form.logins.size(), 1u);
    auto account = std::make_shared<Account>();
    account->initWithRDOAccount(form.logins[0]);
    const QString prefix = account->commonUrlString;
    const QString ticket = commonurl::firstValue(prefix, QStringLiteral("ticket")).value_or(QString());
    ASSERT_EQ(ticket.size(), 32) << qPrintable(prefix);
    ASSERT_TRUE(prefix.contains(QStringLiteral("trdpwd=111111")));
    const QStringList secrets { prefix, ticket, QStringLiteral("111111"), QStringLiteral("trdpwd"),
        QStringLiteral("ticket"), QStringLiteral("custid=") };

    // The identifier the request layer files the request under.
    sim.withholdNext(kCapitalAccountsFunction);
    EXPECT_EQ(account->requestFundInfo(&form), QString());
    ASSERT_TRUE(testsupport::spinUntil([&] { return sim.withheldCount() == 1; }));
    const qint64 packetId = receivedOf(kCapitalAccountsFunction).back().packetId;
    const auto pending = NetworkFactory::getInstance()
                             ->getNetwork(NetworkFactory::kTrade)
                             ->requestWithTag(quint64(packetId));
    ASSERT_TRUE(pending);
    const QString identifier = pending->name();
    EXPECT_TRUE(identifier.startsWith(QString::fromLatin1(DMQueryFundInfo::info.identifier)));
    for (const QString& secret : secrets)
        EXPECT_FALSE(identifier.contains(secret)) << qPrintable(secret);

    // The handles of the account's requests, whatever their rule.
    tagRequestParam param;
    DMQueryFundInfo fundInfo;
    fundInfo.mallocParam(&param);
    param.fundInfo()->commonUrl = prefix.toStdString();
    const QString handle = fundInfo.getRequestHandle(param);
    for (const QString& secret : secrets)
        EXPECT_FALSE(handle.contains(secret)) << qPrintable(secret);
    param.fundInfo()->commonUrl
        = commonurl::withValue(prefix, QStringLiteral("ticket"), QStringLiteral("x")).toStdString();
    EXPECT_NE(fundInfo.getRequestHandle(param), handle); // still one handle per prefix
    fundInfo.freeParam(&param);
    sim.releaseWithheld();
    ASSERT_TRUE(waitCalls(form, 3));
    EXPECT_EQ(form.funds.size(), 1u);
}

// A prefix with characters other than ASCII is sent percent-escaped as UTF-8,
// never with "?" in their place; the server reads back the same text.
TEST_F(LoginSequenceTest, APrefixWithChineseTextIsNeverMangled)
{
    auto manager = std::make_unique<LoginManager>();
    Form form;
    const QString code = readyForLogin(*manager, form);
    manager->requestTradeLogin(&form, "010100000001", "111111", 0, "0101", code, QString());
    ASSERT_TRUE(waitCalls(form, 2));
    ASSERT_EQ(form.logins.size(), 1u);
    auto account = std::make_shared<Account>();
    account->initWithRDOAccount(form.logins[0]);
    account->commonUrlString += QString::fromUtf8("&memo=张三 营业部");
    EXPECT_EQ(account->requestFundInfo(&form), QString());
    ASSERT_TRUE(waitCalls(form, 3));
    ASSERT_EQ(form.funds.size(), 1u) << qPrintable(form.errors.empty() ? QString() : form.errors[0].domain);
    const brokersim::Request sent = receivedOf(kCapitalAccountsFunction).back();
    // The TC body's pairs as sent: the value is the text percent-escaped as UTF-8.
    const QString memo = TCHttpForm::value(sent.body, u"memo").value_or(QString());
    EXPECT_EQ(QUrl::fromPercentEncoding(memo.toLatin1()), QString::fromUtf8("张三 营业部"));
    EXPECT_FALSE(sent.rawBody.contains('?'));
    EXPECT_TRUE(sent.rawBody.contains("memo=%E5%BC%A0%E4%B8%89"));
}

// A request class missing from the catalogue: the caller hears an error
// instead of nothing; and the catalogue fills itself whatever ran first.
TEST_F(LoginSequenceTest, AMissingRequestClassIsReportedAndRegistrationNeedsNoStartUpCall)
{
    DataModelFactory::unregisterAll();
    EXPECT_TRUE(DataModelFactory::isRegistered(QString::fromLatin1(DMTradeLogin::info.identifier)));
    EXPECT_TRUE(DataModelManager::getInstance()->getDataModel(QString::fromLatin1(DMUtid::info.identifier)));

    ASSERT_TRUE(DataModelFactory::unregisterDataModel(QString::fromLatin1(DMTradeLogin::info.identifier)));
    ASSERT_TRUE(
        DataModelFactory::unregisterDataModel(QString::fromLatin1(DMOrganizationInfo::info.identifier)));
    auto manager = std::make_unique<LoginManager>();
    Form form;
    manager->requestTradeLogin(&form, "010100000001", "111111", 0, "0101", "0000", QString());
    EXPECT_TRUE(form.errors.empty()); // told on a later pass, never inside the call
    ASSERT_TRUE(waitCalls(form, 1, 2s));
    ASSERT_EQ(form.errors.size(), 1u);
    EXPECT_EQ(form.errors[0].code, DataModel::kRefusedRequestCode);
    EXPECT_TRUE(form.errors[0].domain.contains(QString::fromLatin1(DMTradeLogin::info.identifier)));
    EXPECT_EQ(sim.receivedCount(kTradeLoginFunction), 0);

    StartUp startUp(*manager);
    manager->requestOrgInfo(&startUp);
    ASSERT_TRUE(testsupport::spinUntil([&] { return startUp.failure.has_value(); }, 2s));
    EXPECT_EQ(startUp.failure->code, DataModel::kRefusedRequestCode);
}

// The public address: served by the simulator, sent in the trade login, kept
// when the trade connection is made again, and replaced in every prefix once
// the lookup that follows finds another.
TEST_F(LoginSequenceTest, ThePublicAddressReachesTheTradeLoginAndSurvivesReconnects)
{
    sim.setPublicAddress(QStringLiteral("203.0.113.7"));
    IPMacAddressInfo* info = IPMacAddressInfo::sharedInstance();
    info->setWebServer(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(sim.httpPort())));
    ASSERT_TRUE(testsupport::spinUntil([&] { return info->publicIP().has_value(); }, 5s));
    EXPECT_EQ(info->publicIP(), QString("203.0.113.7"));

    auto manager = std::make_unique<LoginManager>();
    Form form;
    const QString code = readyForLogin(*manager, form);
    manager->requestTradeLogin(&form, "010100000001", "111111", 0, "0101", code, QString());
    ASSERT_TRUE(waitCalls(form, 2));
    ASSERT_EQ(form.logins.size(), 1u);
    const QString mac = SystemInfo::getInstance()->macAddress().value_or(QString());
    EXPECT_TRUE(
        lastBody(kTradeLoginFunction)
            .endsWith(
                QStringLiteral("&netaddr=M:10.1.2.3|203.0.113.7|MAC:%1|SN:C02XYZ|DN:S3DISK|ver1.0").arg(mac)))
        << qPrintable(lastBody(kTradeLoginFunction));

    // The trade connection is made again: the address is rewritten at once,
    // and the public one is kept while the lookup runs again; the address it
    // finds reaches every prefix.
    auto account = std::make_shared<Account>();
    account->initWithRDOAccount(form.logins[0]);
    AccountManager::getInstance()->addActiveAccount(account);
    sim.setPublicAddress(QStringLiteral("198.51.100.4"));
    DMNotificationCenter::getInstance()->postNotification(2, QVariant(1));
    EXPECT_TRUE(account->commonUrlString.endsWith(
        QStringLiteral("&netaddr=M:10.1.2.3|203.0.113.7|MAC:%1|SN:C02XYZ|DN:S3DISK").arg(mac)))
        << qPrintable(account->commonUrlString);
    ASSERT_TRUE(testsupport::spinUntil([&] { return !info->isLookingUp(); }, 5s));
    EXPECT_EQ(info->publicIP(), QString("198.51.100.4"));
    EXPECT_TRUE(account->commonUrlString.endsWith(
        QStringLiteral("&netaddr=M:10.1.2.3|198.51.100.4|MAC:%1|SN:C02XYZ|DN:S3DISK").arg(mac)))
        << qPrintable(account->commonUrlString);

    // A lookup that finds nothing leaves the prefixes as they are.
    sim.setPublicAddress(QStringLiteral("no address"));
    DMNotificationCenter::getInstance()->postNotification(2, QVariant(1));
    ASSERT_TRUE(testsupport::spinUntil([&] { return !info->isLookingUp(); }, 5s));
    EXPECT_EQ(info->publicIP(), QString("198.51.100.4"));
    EXPECT_TRUE(account->commonUrlString.endsWith(
        QStringLiteral("&netaddr=M:10.1.2.3|198.51.100.4|MAC:%1|SN:C02XYZ|DN:S3DISK").arg(mac)))
        << qPrintable(account->commonUrlString);
}

// The "fixed" rule puts "fixed" first and still covers every field: two
// captcha requests of different terminals are two requests.
TEST_F(LoginSequenceTest, TheFixedHandleRuleCoversTheFields)
{
    DMIdentifyingCode captcha;
    auto handleOf = [&](const char* utid) {
        tagRequestParam param;
        captcha.mallocParam(&param);
        param.identifyingCode()->utid = utid;
        param.identifyingCode()->softwareName = "lumora";
        const QString handle = captcha.getRequestHandle(param);
        captcha.freeParam(&param);
        return handle;
    };
    EXPECT_EQ(handleOf("U1"),
        QStringLiteral("fixed\x1f"
                       "U1\x1f"
                       "lumora\x1f"));
    EXPECT_NE(handleOf("U1"), handleOf("U2"));
    EXPECT_EQ(handleOf("U1"), handleOf("U1"));
}
