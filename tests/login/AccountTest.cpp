#include "login/Account.h"

#include "LoginTestRig.h"
#include "comm/crypto/AesEncryption.h"
#include "login/CommonUrl.h"
#include "login/LoginRecords.h"
#include "platform/PropertyList.h"
#include "support/ShortLockWait.h"
#include "support/Spin.h"

#include <QFile>
#include <QLockFile>

using namespace logintest;

namespace {

using brokersim::Table;

const QString kPrefix = QStringLiteral(
    "custid=010100000001&custorgid=0101&orgid=0101&fundid=010110000001&ticket=T1&trdpwd=111111&netaddr=OLD");

// A trade-login reply: the customer, the shareholder accounts, the notice.
std::vector<VEKTCRS> loginReply(
    const QString& prefix, const QList<QStringList>& shareholders, bool notice = true)
{
    std::vector<VEKTCRS> sets;
    sets.push_back(HomeFixture::set(Table()
                                        .column("singleflag", brokersim::kInt32)
                                        .column("custid")
                                        .column("name")
                                        .column("com_url")
                                        .column("prompt")
                                        .row({ "1", "010100000001", "张三", prefix, "春眠不觉晓" })));
    Table second = Table()
                       .column("~market")
                       .column("market", brokersim::kInt32)
                       .column("secuid")
                       .column("~secuidType", brokersim::kInt32);
    for (const QStringList& row : shareholders) {
        QVariantList values;
        for (const QString& value : row)
            values << value;
        second.row(values);
    }
    sets.push_back(HomeFixture::set(second));
    if (notice)
        sets.push_back(HomeFixture::set(Table().column("title").column("content").row(
            { "上次登录", "2024-05-31 15:02:11 192.168.1.20" })));
    return sets;
}

class AccountTest : public HomeFixture {
protected:
    std::shared_ptr<Account> loggedIn(const QString& prefix = kPrefix)
    {
        auto account = std::make_shared<Account>();
        account->initWithRDOAccount(RDOAccount(loginReply(prefix,
            { { "深圳A股", "0", "0101000001", "0" }, { "上海A股", "1", "A101000001", "0" },
                { "深圳A股", "0", "0101000009", "0" }, { "沪港通", "5", "H101000001", "0" },
                { "三板A", "6", "0601000001", "0" } })));
        return account;
    }
};

TEST_F(AccountTest, ReplyRecordsAndPrefixParsing)
{
    RDOAccount reply(loginReply(kPrefix,
        { { "深圳A股", "0", "1", "0" }, { "上海A股", "1", "2", "0" }, { "深圳B股", "2", "3", "1" } }));
    EXPECT_EQ(reply.singleFlag(), 1);
    EXPECT_EQ(reply.customerId(), QStringLiteral("010100000001"));
    ASSERT_TRUE(reply.securityInfoArray());
    ASSERT_EQ(reply.securityInfoArray()->size(), 3u);
    EXPECT_EQ((*reply.securityInfoArray())[2].securityId, QStringLiteral("3"));
    EXPECT_EQ((*reply.securityInfoArray())[2].securityType, 1);
    EXPECT_EQ(reply.lastLoginInfoTitle(), QStringLiteral("上次登录"));

    // Only the first record set: no shareholder list, no notice.
    std::vector<VEKTCRS> onlyFirst = loginReply(kPrefix, {});
    onlyFirst.resize(1);
    RDOAccount first(onlyFirst);
    EXPECT_EQ(first.customerName(), QStringLiteral("张三"));
    EXPECT_EQ(first.promptInfo(), QStringLiteral("春眠不觉晓"));
    EXPECT_FALSE(first.securityInfoArray());
    EXPECT_FALSE(first.lastLoginInfoContent());
    // An empty second set is an empty list.
    std::vector<VEKTCRS> emptySecond = loginReply(kPrefix, {}, false);
    EXPECT_TRUE(RDOAccount(emptySecond).securityInfoArray()->empty());
    EXPECT_FALSE(RDOAccount(std::vector<VEKTCRS>()).customerId());

    auto account = loggedIn();
    EXPECT_EQ(account->customerNumber, QStringLiteral("010100000001"));
    EXPECT_EQ(account->name, QStringLiteral("张三"));
    EXPECT_EQ(account->organizationCode, QStringLiteral("0101"));
    EXPECT_EQ(account->zj_account, QStringLiteral("010110000001"));
    // A later account of the same market wins the field; all stay listed.
    EXPECT_EQ(account->gd_ShenA_account, QStringLiteral("0101000009"));
    EXPECT_EQ(account->gd_HuA_account, QStringLiteral("A101000001"));
    EXPECT_EQ(account->gd_3BanA_account, QStringLiteral("0601000001"));
    EXPECT_TRUE(account->gd_HuB_account.isEmpty());
    EXPECT_EQ(account->secuidInfoArray().size(), 5u);
    EXPECT_EQ(account->getSecurityId(5), QStringLiteral("H101000001"));
    EXPECT_FALSE(account->getSecurityId(3));
    EXPECT_EQ(account->getTradePassword(), QStringLiteral("111111"));
    EXPECT_EQ(account->getFundidFromCommonUrl(), QStringLiteral("010110000001"));
    EXPECT_EQ(account->getOrgIdFromCommonUrl(), QStringLiteral("0101"));
    EXPECT_EQ(account->promptInfo(), QStringLiteral("春眠不觉晓"));

    // Keys are whole: "custorgid" is not "orgid", and the last pair counts too.
    auto last = loggedIn(QStringLiteral("custid=1&orgid=9&fundid=F&custorgid=0202"));
    EXPECT_EQ(last->organizationCode, QStringLiteral("0202"));
    EXPECT_EQ(last->getOrgIdFromCommonUrl(), QStringLiteral("9"));
    auto none = loggedIn(QStringLiteral("custid=1&xcustorgid=7&myfundid=8"));
    EXPECT_FALSE(none->organizationCode);
    EXPECT_TRUE(none->zj_account.isEmpty());
    EXPECT_FALSE(none->getTradePassword());
}

// "isrisk" counts by its value, whether the server sends it as text or as a
// number (whose text is "2.000").
TEST_F(AccountTest, RiskStatusIsReadByItsValue)
{
    struct Case {
        qint32 type;
        QVariant value;
        qint64 status;
    };
    const Case cases[] = {
        { brokersim::kText, "1", 1 },
        { brokersim::kText, "2", 2 },
        { brokersim::kText, "2.000", 2 },
        { brokersim::kText, "1.0", 1 },
        { brokersim::kText, "1.5", 0 },
        { brokersim::kText, "3", 0 },
        { brokersim::kText, "", 0 },
        { brokersim::kText, "abc", 0 },
        { brokersim::kDouble, 2.0, 2 },
        { brokersim::kDouble, 1.0, 1 },
        { brokersim::kInt32, 2, 2 },
        { brokersim::kInt32, 0, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(qPrintable(c.value.toString()));
        VEKTCRS reply = set(
            Table().column("isrisk", c.type).column("tips").row({ c.value, QStringLiteral("请重新评估") }));
        reply.moveTo(0);
        const RDORiskAssessmentStatus status(reply);
        EXPECT_EQ(status.status, c.status);
        EXPECT_EQ(status.tips, QStringLiteral("请重新评估"));
    }
    VEKTCRS noField = set(Table().column("tips").row({ "x" }));
    noField.moveTo(0);
    EXPECT_EQ(RDORiskAssessmentStatus(noField).status, 0);
}

TEST_F(AccountTest, PrefixRewritesKeepEveryOtherPair)
{
    auto account
        = loggedIn(QStringLiteral("custid=1&netaddr=OLD&trdpwd=111111&xtrdpwd=111111&fundid=F1&fundid2=F9"));
    account->fixIPInfo(QStringLiteral("M:10.1.2.3|10.1.2.3|MAC:AA|SN:S|DN:D"));
    EXPECT_EQ(account->commonUrlString,
        QStringLiteral("custid=1&netaddr=M:10.1.2.3|10.1.2.3|MAC:AA|SN:S|DN:D&trdpwd=111111&xtrdpwd=111111&"
                       "fundid=F1&fundid2=F9"));
    // A device string that could add a pair is not taken.
    const QString before = account->commonUrlString;
    account->fixIPInfo(QStringLiteral("x&trdpwd=0"));
    EXPECT_EQ(account->commonUrlString, before);

    EXPECT_EQ(account->getCommonUrlStringReplaceNewPwd(QStringLiteral("654321")),
        QStringLiteral("custid=1&netaddr=M:10.1.2.3|10.1.2.3|MAC:AA|SN:S|DN:D&trdpwd=654321&xtrdpwd=111111&"
                       "fundid=F1&fundid2=F9"));
    EXPECT_FALSE(account->getCommonUrlStringReplaceNewPwd(QString()));
    EXPECT_FALSE(account->getCommonUrlStringReplaceNewPwd(QStringLiteral("1&fundid=X")));
    EXPECT_EQ(account->getNewCommonUrlStringByFundid(QStringLiteral("F2")),
        QStringLiteral("custid=1&netaddr=M:10.1.2.3|10.1.2.3|MAC:AA|SN:S|DN:D&trdpwd=111111&xtrdpwd=111111&"
                       "fundid=F2&fundid2=F9"));
    EXPECT_FALSE(account->getNewCommonUrlStringByFundid(QStringLiteral("F2&trdpwd=1")));
    EXPECT_EQ(account->commonUrlString, before); // copies only

    // Without a netaddr pair nothing changes.
    auto bare = loggedIn(QStringLiteral("custid=1&trdpwd=1&mynetaddr=X"));
    bare->fixIPInfo(QStringLiteral("M:1"));
    EXPECT_EQ(bare->commonUrlString, QStringLiteral("custid=1&trdpwd=1&mynetaddr=X"));
    // Without a trdpwd pair the replacement is an unchanged copy.
    auto noPwd = loggedIn(QStringLiteral("custid=1"));
    EXPECT_EQ(noPwd->getCommonUrlStringReplaceNewPwd(QStringLiteral("9")), QStringLiteral("custid=1"));

    // A password change: the pending password goes in only on success.
    auto changing = loggedIn();
    EXPECT_EQ(
        changing->requestChangeTradePassword(nullptr, QStringLiteral("111111"), QStringLiteral("222222")),
        QString());
    EXPECT_EQ(changing->getTradePassword(), QStringLiteral("111111"));
    changing->upateTradePassword();
    EXPECT_EQ(changing->getTradePassword(), QStringLiteral("222222"));
    changing->upateTradePassword(); // nothing pending: no change
    EXPECT_EQ(changing->getTradePassword(), QStringLiteral("222222"));
    // Over-long or unsafe passwords are refused, never cut.
    EXPECT_FALSE(
        changing->requestChangeTradePassword(nullptr, QStringLiteral("222222"), QString(32, u'1')).isEmpty());
    EXPECT_FALSE(changing->requestChangeTradePassword(nullptr, QStringLiteral("1&x=2"), QStringLiteral("3"))
                     .isEmpty());
    EXPECT_FALSE(changing
                     ->requestChangeFundPassword(
                         nullptr, QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("F&x"))
                     .isEmpty());
    EXPECT_TRUE(
        changing->requestChangeFundPassword(nullptr, QStringLiteral("1"), QStringLiteral("2"), std::nullopt)
            .isEmpty());
    EXPECT_FALSE(changing->requestReservationInfo(nullptr, QString(400, u'好')).isEmpty());
}

TEST_F(AccountTest, AccountRequestBodies)
{
    tagTradePasswordParam trade;
    trade.commonUrl = "custid=1&trdpwd=old";
    trade.oldPassword = "old";
    trade.newPassword = "new";
    EXPECT_EQ(DMChangeTradePassword::makePacket(trade)->data(),
        QStringLiteral("custid=1&trdpwd=old&newpwd=new&oldpwd=old"));
    tagFundPasswordParam fund;
    fund.commonUrl = "custid=1&fundid=F";
    fund.oldPassword = "a";
    fund.newPassword = "b";
    EXPECT_EQ(DMChangeFundPassword::makePacket(fund)->data(),
        QStringLiteral("custid=1&fundid=F&newfundpwd=b&oldfundpwd=a"));
    tagReservationInfoParam greeting;
    greeting.commonUrl = "custid=1";
    greeting.prompt = requestparam::percentEscape(QStringLiteral("你好 a&b"));
    EXPECT_EQ(DMReservationInfo::makePacket(greeting)->data(),
        QStringLiteral("custid=1&prompt=%E4%BD%A0%E5%A5%BD%20a%26b"));
    tagRiskAssessmentStatusParam risk;
    risk.commonUrl = "custid=1&trdpwd=x";
    EXPECT_EQ(
        DMQueryRiskEvaluationStatus::makePacket(risk)->data(), QStringLiteral("custid=1&trdpwd=x&version=1"));
    EXPECT_EQ(DMQueryRiskEvaluationStatus::makePacket(risk)->mFunc(), 500u);
    EXPECT_EQ(DMQueryRiskEvaluationStatus::makePacket(risk)->sFunc(), 2162u);
    EXPECT_TRUE(DMChangeTradePassword().changesState());
    EXPECT_FALSE(DMQueryFundInfo().changesState());
}

TEST_F(AccountTest, ShareholderListsFundCacheAndAccountLine)
{
    auto account = loggedIn();
    account->businessDepartmentName = QStringLiteral("上海世纪大道营业部");
    const QVariantList all = account->getSecuidInfo();
    ASSERT_EQ(all.size(), 5);
    // Ascending market code, arrival order within a market.
    QStringList codes;
    for (const QVariant& entry : all)
        codes << entry.toMap().value("security_info_market_code").toString();
    EXPECT_EQ(codes, QStringList({ "0", "0", "1", "5", "6" }));
    EXPECT_EQ(all[0].toMap().value("security_info_id").toString(), QStringLiteral("0101000001"));
    EXPECT_TRUE(all[0].toMap().value("security_info_text").toString().startsWith(QStringLiteral("深圳A股 ")));
    const QVariantList connect = account->getSecuidInfoByMarketCode(5);
    ASSERT_EQ(connect.size(), 1);
    EXPECT_EQ(connect[0].toMap().value("security_info_id").toString(), QStringLiteral("H101000001"));
    EXPECT_EQ(account->getSecuidInfoExceptByMarketCode(5).size(), 4);

    RDOFund main;
    main.fundId = "M1";
    main.fundSeq = "0";
    RDOFund other;
    other.fundId = "O1";
    other.fundSeq = "1";
    // The main account by the value of "fundseq": a number field sends "0.000";
    // one without it is not the main account.
    RDOFund main2 = main;
    main2.fundId = "M2";
    main2.fundSeq = "0.000";
    RDOFund unnumbered;
    unnumbered.fundId = "U1";
    const std::vector<RDOFund> cached
        = account->getFundInfoList(std::vector<RDOFund> { other, unnumbered, main, main2 });
    ASSERT_EQ(cached.size(), 4u);
    EXPECT_EQ(cached[0].fundId, "M1");
    EXPECT_EQ(cached[1].fundId, "M2");
    EXPECT_EQ(cached[2].fundId, "O1");
    EXPECT_EQ(cached[3].fundId, "U1");
    // Once filled, later lists are ignored.
    EXPECT_EQ(account->getFundInfoList(std::vector<RDOFund> { other }).size(), 4u);
    EXPECT_EQ(account->getFundInfoList(std::nullopt).size(), 4u);

    EXPECT_EQ(account->getAccountInfo(),
        QStringLiteral("张三    %1    上海世纪大道营业部        普通交易登陆")
            .arg(UserDefaultConfig::getInstance()->getProtectedString("010100000001")));
    Account empty;
    EXPECT_EQ(empty.getAccountInfo(), QStringLiteral("                普通交易登陆"));
}

TEST_F(AccountTest, SavedAccountsRoundTripThroughTheFile)
{
    auto manager = std::make_unique<AccountManager>();
    EXPECT_EQ(manager->getSavedAccountsCount(), 0u);
    EXPECT_FALSE(manager->getAccountArray(0));

    auto first = loggedIn();
    manager->addAccount(first);
    auto second = std::make_shared<Account>();
    second->customerNumber = "020100000003";
    second->zj_account = "020110000003";
    manager->addAccount(second);
    // The same customer number replaces in place.
    auto again = loggedIn();
    again->zj_account = "010110000002";
    manager->addAccount(again);
    ASSERT_EQ(manager->getSavedAccountsCount(), 2u);
    EXPECT_EQ(manager->getSavedAccountWithIndex(0), again);
    EXPECT_EQ(manager->getSavedAccountWithIndex(2), nullptr);
    EXPECT_TRUE(manager->saveAllAccounts());

    // The file holds no password, prefix or name in any form.
    QFile file(AccountManager::filePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_FALSE(bytes.contains("111111"));
    EXPECT_FALSE(bytes.contains("trdpwd"));
    EXPECT_FALSE(bytes.contains("010100000001")); // numbers are enciphered
    const QVariantMap document = platform::PropertyList::read(bytes)->toMap();
    const QVariantMap record = document.value("accountList").toList().at(0).toMap();
    EXPECT_EQ(AesEncryption::decodeStringWithAES(
                  record.value("customerNumber").toString(), UserDefaultConfig::getInstance()->secretKey()),
        QStringLiteral("010100000001"));
    EXPECT_FALSE(record.contains("shareholderHuB")); // empty values are not written
    // The saved record's key names, as the file has always had them.
    EXPECT_EQ(record.keys(),
        QStringList({ "bankroll", "customerNumber", "secuid_info", "shareholder3BanA", "shareholderHuA",
            "shareholderShenA" }));
    const QVariantMap holder = record.value("secuid_info").toList().at(0).toMap();
    EXPECT_EQ(holder.keys(),
        QStringList({ "secuid_info_market_code", "secuid_info_market_type", "secuid_info_secuid_id",
            "secuid_info_secuid_type" }));
    for (const QString& key : record.keys()) {
        const QString value = record.value(key).toString();
        EXPECT_FALSE(value.contains("111111")) << qPrintable(key);
    }

    // Other keys survive; a record that is no dictionary is dropped.
    QVariantMap edited = document;
    QVariantList list = edited.value("accountList").toList();
    list << QStringLiteral("not a record");
    edited.insert("accountList", list);
    edited.insert("extra", QStringLiteral("kept"));
    ASSERT_TRUE(platform::PropertyList::writeFileAtomic(AccountManager::filePath(), edited));

    manager = std::make_unique<AccountManager>();
    ASSERT_EQ(manager->getSavedAccountsCount(), 2u);
    auto loaded = manager->getSavedAccountWithIndex(0);
    EXPECT_EQ(loaded->customerNumber, QStringLiteral("010100000001"));
    EXPECT_EQ(loaded->zj_account, QStringLiteral("010110000002"));
    EXPECT_EQ(loaded->gd_ShenA_account, QStringLiteral("0101000009"));
    EXPECT_TRUE(loaded->commonUrlString.isEmpty());
    EXPECT_TRUE(loaded->name.isEmpty());
    ASSERT_EQ(loaded->secuidInfoArray().size(), 5u);
    EXPECT_EQ(loaded->secuidInfoArray()[3].marketCode, 5);
    EXPECT_EQ(loaded->secuidInfoArray()[3].securityId, QStringLiteral("H101000001"));
    EXPECT_EQ(loaded->secuidInfoArray()[3].marketType, QStringLiteral("沪港通"));
    EXPECT_TRUE(manager->getSavedAccountWithIndex(1)->secuidInfoArray().empty());

    EXPECT_EQ(manager->getAccountArray(0), QStringList({ "010100000001", "020100000003" }));
    EXPECT_EQ(manager->getAccountArray(1), QStringList({ "010110000002", "020110000003" }));
    EXPECT_EQ(manager->getAccountArray(3), QStringList({ "A101000001" }));
    EXPECT_FALSE(manager->getAccountArray(5));
    EXPECT_FALSE(manager->getAccountArray(8));
    EXPECT_FALSE(manager->getAccountArray(-1));

    manager->deleteAccountWithCustomerNumber("020100000003");
    manager = std::make_unique<AccountManager>();
    EXPECT_EQ(manager->getSavedAccountsCount(), 1u);
    EXPECT_EQ(manager->accountInfo().value("extra").toString(), QStringLiteral("kept"));
    EXPECT_EQ(manager->accountInfo().value("accountList").toList().size(), 1);
    manager->removeAllAccounts();
    manager = std::make_unique<AccountManager>();
    EXPECT_EQ(manager->getSavedAccountsCount(), 0u);

    // A file that is no property list gives an empty list.
    QFile broken(AccountManager::filePath());
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
    broken.write("<plist><dict><key>accountList");
    broken.close();
    manager = std::make_unique<AccountManager>();
    EXPECT_EQ(manager->getSavedAccountsCount(), 0u);
}

// Two clients on one folder, each with the saved accounts it read at its
// start (one account, bankroll "B0"): a save keeps what the other saved or
// removed since, and changes only the accounts this one added or removed.
TEST_F(AccountTest, TwoClientsSaveIntoOneFile)
{
    const struct {
        const char* name;
        // client, then "+number/bankroll" saves, "=number" saves a bare record
        // unless one is saved, "-number" deletes, "*" removes all; "!" damages the
        // file, "L" holds or frees its lock for another client, "~" lets the
        // run loop go until the file holds what is expected
        QStringList steps;
        QStringList file; // number/bankroll afterwards
    } rows[] = {
        { "each saves its own", { "0+02/", "1+03/" }, { "01/B0", "02/", "03/" } },
        { "one deletes, the other saves", { "0-01", "1+03/" }, { "03/" } },
        { "removing all leaves what the other saved since", { "1+03/", "0*" }, { "03/" } },
        { "one account from both: the last save", { "0+01/B1", "1+01/B2" }, { "01/B2" } },
        { "a bare record keeps one the other saved since", { "1+02/B2", "0=02", "0=04" },
            { "01/B0", "02/B2", "04/" } },
        { "a damaged file is mended with every account the client holds", { "!", "0+03/" },
            { "01/B0", "03/" } },
        { "what could not be saved for the other's lock goes with the next save",
            { "L", "0+02/", "0-01", "L", "0+04/" }, { "02/", "04/" } },
        { "what could not be saved for the other's lock goes once it is free, with no other save",
            { "L", "0+02/", "0-01", "L", "~" }, { "02/" } },
    };
    const testsupport::QuickRetries quickRetries;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(AccountManager::filePath());
        const auto bare = [](const QString& numberAndBankroll) {
            auto account = std::make_shared<Account>();
            account->customerNumber = numberAndBankroll.section('/', 0, 0);
            account->zj_account = numberAndBankroll.section('/', 1);
            return account;
        };
        QLockFile otherWriting(AccountManager::filePath() + ".lock");
        auto save = [&](AccountManager& client, const QString& numberAndBankroll) {
            client.addAccount(bare(numberAndBankroll));
            ASSERT_EQ(client.saveAllAccounts(), !otherWriting.isLocked());
        };
        save(*std::make_unique<AccountManager>(), "01/B0");
        AccountManager clients[2];
        const auto listed = [](const AccountManager& manager) {
            QStringList records;
            for (const auto& account : manager.savedAccounts())
                records << account->customerNumber + '/' + account->zj_account;
            return records;
        };
        for (const QString& step : row.steps) {
            if (step == "~") {
                EXPECT_TRUE(testsupport::spinUntil([&] { return listed(AccountManager()) == row.file; }));
                continue;
            }
            if (step == "!") {
                QFile file(AccountManager::filePath());
                ASSERT_TRUE(
                    file.open(QIODevice::WriteOnly) && file.write("<plist><dict><key>accountList") > 0);
                continue;
            }
            if (step == "L") {
                if (otherWriting.isLocked())
                    otherWriting.unlock();
                else
                    ASSERT_TRUE(otherWriting.tryLock(0));
                continue;
            }
            AccountManager& client = clients[step.left(1).toInt()];
            if (step[1] == '+')
                save(client, step.mid(2));
            else if (step[1] == '=')
                client.saveAccountIfNew(bare(step.mid(2)));
            else if (step[1] == '-')
                client.deleteAccountWithCustomerNumber(step.mid(2));
            else
                client.removeAllAccounts();
        }
        EXPECT_EQ(listed(AccountManager()), row.file);
        // The client that wrote last shows what it wrote.
        EXPECT_EQ(listed(clients[row.steps.back().left(1).toInt()]), row.file);
    }
}

// A first start that cannot store its installation key (the settings file's
// lock is held) saves no account under it: each waits in memory until the
// key the settings file holds is known, whether another client stored its
// own since or this one's is stored at last. Every account then reads at the
// next start, the other client's among them.
TEST_F(AccountTest, AccountsWaitForTheInstallationKeyTheSettingsHold)
{
    const QString otherKey = QStringLiteral("0F1E2D3C-4B5A-4978-8695-A4B3C2D1E0F9");
    const auto sealed = [](const QString& text, const QString& key) {
        return *AesEncryption::encodeStringWithAES(text, key);
    };
    const struct {
        const char* name;
        bool otherStoresItsKey;
        bool savedAgain; // else the run loop saves it
        QStringList file; // number/bankroll at the next start
    } rows[] = {
        { "the other client's key, stored since, is taken", true, true, { "01/B0", "02/B2" } },
        { "this one's key is stored once the lock is free", false, true, { "02/B2" } },
        { "the other client's key is taken with no other save", true, false, { "01/B0", "02/B2" } },
        { "this one's key is stored with no other save", false, false, { "02/B2" } },
    };
    const testsupport::QuickRetries quickRetries;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        resetAll();
        QFile::remove(home.filePath("UserDefaults.plist"));
        QFile::remove(AccountManager::filePath());
        QLockFile otherWriting(home.filePath("UserDefaults.plist.lock"));
        ASSERT_TRUE(otherWriting.tryLock(0));
        auto account = std::make_shared<Account>();
        account->customerNumber = "02";
        account->zj_account = "B2";
        AccountManager::getInstance()->addAccount(account);
        EXPECT_FALSE(AccountManager::getInstance()->saveAllAccounts());
        otherWriting.unlock();
        if (row.otherStoresItsKey) {
            platform::UserDefaults other(home.filePath("UserDefaults.plist"));
            other.setString(sealed(otherKey, "5C1A9E07B3D24F68A0E9712C4B86D3F0"), "des_key");
            ASSERT_TRUE(platform::PropertyList::writeFileAtomic(AccountManager::filePath(),
                QVariantMap { { "accountList",
                    QVariantList { QVariantMap { { "customerNumber", sealed("01", otherKey) },
                        { "bankroll", sealed("B0", otherKey) } } } } }));
        }
        if (row.savedAgain)
            EXPECT_TRUE(AccountManager::getInstance()->saveAllAccounts());
        else
            EXPECT_TRUE(testsupport::spinUntil([&] {
                const auto file = platform::PropertyList::readFile(AccountManager::filePath());
                return file && file->toMap().value("accountList").toList().size() == row.file.size();
            }));

        resetAll();
        QStringList listed;
        for (const auto& saved : AccountManager::getInstance()->savedAccounts())
            listed << saved->customerNumber + '/' + saved->zj_account;
        EXPECT_EQ(listed, row.file);
        EXPECT_EQ(UserDefaultConfig::getInstance()->secretKey() == otherKey, row.otherStoresItsKey);
    }
}

TEST_F(AccountTest, LoggedInAccountsActiveOneLogoutAndReconnect)
{
    AccountManager manager;
    EXPECT_EQ(manager.activeAccountIndex(), 0);
    EXPECT_EQ(manager.getActiveLoginAccount(), nullptr);
    auto a = loggedIn(QStringLiteral("custid=A&trdpwd=1&netaddr=OLD&zz=1"));
    a->customerNumber = "A";
    auto b = loggedIn(QStringLiteral("custid=B&netaddr=OLD"));
    b->customerNumber = "B";
    manager.addActiveAccount(a);
    manager.addActiveAccount(b);
    EXPECT_EQ(manager.getActiveLoginAccount(), b);
    EXPECT_EQ(manager.getActiveAccountsInfo().size(), 2);
    manager.setActiveLoginAccount(0);
    EXPECT_EQ(manager.getActiveLoginAccount(), a);
    // Logging in again replaces in place and becomes active.
    auto b2 = loggedIn(QStringLiteral("custid=B&netaddr=OLD"));
    b2->customerNumber = "B";
    manager.addActiveAccount(b2);
    EXPECT_EQ(manager.loginAccounts().size(), 2u);
    EXPECT_EQ(manager.getActiveLoginAccount(), b2);

    // A quote reconnection changes nothing; a trade one rewrites every prefix.
    DMNotificationCenter::getInstance()->postNotification(2, QVariant(0));
    EXPECT_EQ(a->commonUrlString, QStringLiteral("custid=A&trdpwd=1&netaddr=OLD&zz=1"));
    DMNotificationCenter::getInstance()->postNotification(2, QVariant(1));
    const QString device = QStringLiteral("M:10.1.2.3|10.1.2.3|MAC:%1|SN:C02XYZ|DN:S3DISK")
                               .arg(SystemInfo::getInstance()->macAddress().value_or(QString()));
    EXPECT_EQ(a->commonUrlString, QStringLiteral("custid=A&trdpwd=1&netaddr=%1&zz=1").arg(device));
    EXPECT_EQ(b2->commonUrlString, QStringLiteral("custid=B&netaddr=%1").arg(device));
    // The lookup's public address, only when it is an address.
    manager.ipMacAddressInfo(*IPMacAddressInfo::sharedInstance(), QStringLiteral("<html>"));
    EXPECT_EQ(b2->commonUrlString, QStringLiteral("custid=B&netaddr=%1").arg(device));
    manager.ipMacAddressInfo(*IPMacAddressInfo::sharedInstance(), QStringLiteral("61.2.3.4"));
    EXPECT_TRUE(b2->commonUrlString.contains(QStringLiteral("netaddr=M:10.1.2.3|61.2.3.4|MAC:")));

    // Logging out the second of two leaves the index past the end.
    manager.logoutCurrentActiveAccount();
    EXPECT_EQ(manager.loginAccounts().size(), 1u);
    EXPECT_EQ(manager.getActiveLoginAccount(), nullptr);
    manager.setActiveLoginAccount(0);
    EXPECT_EQ(manager.getActiveLoginAccount(), a);
    manager.addActiveAccount(b2);
    manager.logoutAllAccount();
    EXPECT_TRUE(manager.loginAccounts().empty());
    EXPECT_EQ(manager.getActiveLoginAccount(), nullptr);
    EXPECT_EQ(manager.activeAccountIndex(), -1);
}

// A login asked before the lookup found the public address comes back with
// the address before it: the account added then takes the found one like the
// others. One whose login already named it keeps its prefix as it came.
TEST_F(AccountTest, AnAccountLoggedInWhileTheLookupRanTakesTheAddressFound)
{
    AccountManager manager;
    const QString mac = SystemInfo::getInstance()->macAddress().value_or(QString());
    const auto device = [&](const QString& publicIP) {
        return QStringLiteral("M:10.1.2.3|%1|MAC:%2|SN:C02XYZ|DN:S3DISK").arg(publicIP, mac);
    };
    auto a = loggedIn(QStringLiteral("custid=A&netaddr=OLD"));
    a->customerNumber = "A";
    manager.addActiveAccount(a);
    DMNotificationCenter::getInstance()->postNotification(2, QVariant(1));
    manager.ipMacAddressInfo(*IPMacAddressInfo::sharedInstance(), QStringLiteral("61.2.3.4"));
    EXPECT_EQ(a->commonUrlString, QStringLiteral("custid=A&netaddr=%1").arg(device("61.2.3.4")));

    auto late = loggedIn(QStringLiteral("custid=B&netaddr=%1|ver1.0").arg(device("203.0.113.7")));
    late->customerNumber = "B";
    manager.addActiveAccount(late);
    EXPECT_EQ(late->commonUrlString, QStringLiteral("custid=B&netaddr=%1").arg(device("61.2.3.4")));

    const QString named = QStringLiteral("custid=C&netaddr=%1|ver1.0").arg(device("61.2.3.4"));
    auto current = loggedIn(named);
    current->customerNumber = "C";
    manager.addActiveAccount(current);
    EXPECT_EQ(current->commonUrlString, named);

    // After the next reconnect, until its lookup finds an address, an account
    // comes as it logged in.
    DMNotificationCenter::getInstance()->postNotification(2, QVariant(1));
    const QString before = QStringLiteral("custid=D&netaddr=%1|ver1.0").arg(device("198.51.100.4"));
    auto next = loggedIn(before);
    next->customerNumber = "D";
    manager.addActiveAccount(next);
    EXPECT_EQ(next->commonUrlString, before);
}

TEST_F(AccountTest, BranchListStoreAndLookups)
{
    const VEKTCRS reply = set(Table()
                                  .column("area_name")
                                  .column("eb_area_id")
                                  .column("org_name")
                                  .column("org_code")
                                  .column("prefix_code")
                                  .row({ "上海", "01", "世纪大道", "0101", "P1" })
                                  .row({ "深圳", "02", "深南大道", "0201", "P2" })
                                  .row({ "上海", "01", "南京西路", "0102", "P3" }));
    const RDOOrganizationInfo info(reply);
    EXPECT_EQ(info.orgAreaNameArray(), (std::vector<QString> { "上海", "深圳" }));
    ASSERT_EQ(info.getOrgDetailList("上海")->size(), 2u);
    EXPECT_EQ(info.getOrgDetailList("上海")->at(1).orgName, QStringLiteral("南京西路营业部"));
    EXPECT_EQ(info.getOrgDetailList("北京"), nullptr);

    OrgInfoManager store;
    EXPECT_FALSE(store.initializeWithLocal()); // no file yet
    EXPECT_FALSE(store.initializeWithRDOOrganizationInfo(nullptr));
    ASSERT_TRUE(store.initializeWithRDOOrganizationInfo(&info));
    EXPECT_EQ(store.getAreaNameArray(), QStringList({ "上海", "深圳" }));
    EXPECT_EQ(store.getOrgNameArray("上海"), QStringList({ "世纪大道营业部", "南京西路营业部" }));
    EXPECT_TRUE(store.getOrgNameArray("北京").isEmpty());
    EXPECT_EQ(store.getOrgCode("上海", "南京西路营业部"), QStringLiteral("0102"));
    EXPECT_EQ(store.getPrefixCode("深圳", "深南大道营业部"), QStringLiteral("P2"));
    EXPECT_EQ(store.getOrgCode("深圳", "南京西路营业部"), QString()); // another area
    EXPECT_EQ(store.getOrgNameFromCustomerNumber("020100000003"), QStringLiteral("深南大道营业部"));
    EXPECT_EQ(store.getOrgNameFromCustomerNumber("0999"), QString());
    EXPECT_EQ(OrgInfoManager::getOrgCodeFromCustomerNumber("10200000002"), QStringLiteral("0102"));
    EXPECT_EQ(OrgInfoManager::getOrgCodeFromCustomerNumber("2010000000"), QStringLiteral("0020"));
    EXPECT_EQ(OrgInfoManager::getOrgCodeFromCustomerNumber("0101000000019"), QStringLiteral("0101"));
    EXPECT_EQ(OrgInfoManager::getOrgCodeFromCustomerNumber(""), QStringLiteral("0000"));

    ASSERT_TRUE(store.saveToLocal());
    OrgInfoManager loaded;
    ASSERT_TRUE(loaded.initializeWithLocal());
    EXPECT_EQ(loaded.getAreaNameArray(), store.getAreaNameArray());
    EXPECT_EQ(loaded.getOrgNameArray("上海"), store.getOrgNameArray("上海"));
    EXPECT_EQ(loaded.getPrefixCode("上海", "世纪大道营业部"), QStringLiteral("P1"));
    const QVariantMap root = platform::PropertyList::readFile(OrgInfoManager::filePath())->toMap();
    EXPECT_EQ(
        root.value("detailList").toMap().value("深圳").toList().at(0).toMap().value("araeId").toString(),
        QStringLiteral("02"));

    // An area without entries is offered with no branches; a file without a key does not load.
    ASSERT_TRUE(platform::PropertyList::writeFileAtomic(OrgInfoManager::filePath(),
        QVariantMap { { "areaNameArray", QStringList { "北京" } }, { "detailList", QVariantMap() } }));
    ASSERT_TRUE(loaded.initializeWithLocal());
    EXPECT_EQ(loaded.getAreaNameArray(), QStringList({ "北京" }));
    EXPECT_TRUE(loaded.getOrgNameArray("北京").isEmpty());
    ASSERT_TRUE(platform::PropertyList::writeFileAtomic(
        OrgInfoManager::filePath(), QVariantMap { { "areaNameArray", QStringList { "北京" } } }));
    EXPECT_FALSE(loaded.initializeWithLocal());

    // No rows: no areas.
    const RDOOrganizationInfo empty(set(Table().column("area_name").column("org_name")));
    EXPECT_TRUE(empty.orgAreaNameArray().empty());
}

TEST_F(AccountTest, LoginManagerDecisions)
{
    EXPECT_EQ(LoginManager::getInputType(0), QStringLiteral("C"));
    EXPECT_EQ(LoginManager::getInputType(1), QStringLiteral("Z"));
    EXPECT_EQ(LoginManager::getInputType(5), QStringLiteral("3"));
    EXPECT_EQ(LoginManager::getInputType(7), QStringLiteral("7"));
    EXPECT_FALSE(LoginManager::getInputType(8));

    LoginManager manager;
    EXPECT_TRUE(manager.needRequestUtid());
    UserDefaultConfig::getInstance()->setUserUtid(QStringLiteral("U1"));
    EXPECT_FALSE(manager.needRequestUtid());
    EXPECT_EQ(manager.utid(), QStringLiteral("U1"));
    manager.setUtid(QString());
    EXPECT_EQ(UserDefaultConfig::getInstance()->userUtid(), QStringLiteral("U1")); // empty is not stored
    EXPECT_TRUE(manager.checkNecessaryInfo());

    // Branch list: changed or absent versions fetch; equal ones fetch only
    // when the file does not load; the version is stored only with the list.
    EXPECT_TRUE(manager.needRequestOrgInfo(std::nullopt));
    EXPECT_TRUE(manager.needRequestOrgInfo(QStringLiteral("v1")));
    EXPECT_FALSE(manager.setOrgInfo(nullptr));
    EXPECT_FALSE(UserDefaultConfig::getInstance()->orgVersion());
    const RDOOrganizationInfo info(set(Table().column("area_name").column("org_name").row({ "上海", "A" })));
    EXPECT_TRUE(manager.setOrgInfo(&info));
    EXPECT_EQ(UserDefaultConfig::getInstance()->orgVersion(), QStringLiteral("v1"));
    EXPECT_FALSE(manager.needRequestOrgInfo(QStringLiteral("v1")));
    QFile::remove(OrgInfoManager::filePath());
    EXPECT_TRUE(manager.needRequestOrgInfo(QStringLiteral("v1")));

    // Public slot: only a valid address, else the local one.
    IPMacAddressInfo::sharedInstance()->setPublicIP(QStringLiteral("not-an-ip"));
    EXPECT_TRUE(manager.tradeLoginNetAddr().startsWith(QStringLiteral("M:10.1.2.3|10.1.2.3|MAC:")));
    IPMacAddressInfo::sharedInstance()->setPublicIP(QStringLiteral("61.2.3.4"));
    EXPECT_TRUE(manager.tradeLoginNetAddr().startsWith(QStringLiteral("M:10.1.2.3|61.2.3.4|MAC:")));
    EXPECT_TRUE(manager.tradeLoginNetAddr().endsWith(QStringLiteral("|SN:C02XYZ|DN:S3DISK|ver1.0")));
}

} // namespace

// One control character in a server-supplied text must not stop the branch
// list or the saved accounts from being saved: that text alone is cleaned.
TEST_F(AccountTest, ControlCharactersInServerTextsAreCleanedAndTheFilesStillSave)
{
    const QString odd = QString::fromUtf8("世纪") + QChar(0x01) + QString::fromUtf8("大道");
    const VEKTCRS reply = set(Table()
                                  .column("area_name")
                                  .column("eb_area_id")
                                  .column("org_name")
                                  .column("org_code")
                                  .column("prefix_code")
                                  .row({ QString::fromUtf8("上海"), "01", odd, "0101", "P1" })
                                  .row({ QString::fromUtf8("深圳") + QChar(0x1B), "02",
                                      QString::fromUtf8("深南大道"), "0201", "P2" }));
    const RDOOrganizationInfo info(reply);
    OrgInfoManager store;
    ASSERT_TRUE(store.initializeWithRDOOrganizationInfo(&info));
    ASSERT_TRUE(store.saveToLocal());
    OrgInfoManager loaded;
    ASSERT_TRUE(loaded.initializeWithLocal());
    EXPECT_EQ(loaded.getAreaNameArray(), QStringList({ "上海", "深圳" }));
    EXPECT_EQ(loaded.getOrgNameArray("上海"), QStringList({ "世纪大道营业部" }));
    EXPECT_EQ(loaded.getPrefixCode("深圳", "深南大道营业部"), QStringLiteral("P2"));

    // A shareholder market name from the login reply, saved in plain text.
    auto manager = std::make_unique<AccountManager>();
    auto account = std::make_shared<Account>();
    account->initWithRDOAccount(RDOAccount(loginReply(kPrefix,
        { { QString::fromUtf8("深圳A股") + QChar(0x07), "0", "0101000001", "0" },
            { QString::fromUtf8("上海A股"), "1", "A101000001", "0" } })));
    manager->addAccount(account);
    ASSERT_TRUE(manager->saveAllAccounts());
    manager = std::make_unique<AccountManager>();
    ASSERT_EQ(manager->getSavedAccountsCount(), 1u);
    const auto saved = manager->getSavedAccountWithIndex(0);
    EXPECT_EQ(saved->customerNumber, QStringLiteral("010100000001"));
    ASSERT_EQ(saved->secuidInfoArray().size(), 2u);
    EXPECT_EQ(saved->secuidInfoArray()[0].marketType, QString::fromUtf8("深圳A股"));
    EXPECT_EQ(saved->secuidInfoArray()[1].marketType, QString::fromUtf8("上海A股"));
}
