#include "LoginRig.h"
#include "platform/ChinaClock.h"
#include "platform/TextEncoding.h"

using namespace brokersim;
using namespace simtest;

namespace {

class TradeLogin : public LoginRig {
protected:
    // The prefix's pairs, in order.
    static QList<std::pair<QString, QString>> pairs(const QString& prefix)
    {
        QList<std::pair<QString, QString>> out;
        for (const QString& p : prefix.split(u'&')) {
            const qsizetype eq = p.indexOf(u'=');
            out.append({ p.left(eq), p.mid(eq + 1) });
        }
        return out;
    }
};

} // namespace

TEST_F(TradeLogin, EveryInputTypeAnswersTheAccount)
{
    struct Case {
        QString type, id, fundId;
        quint8 encoding;
    };
    const QList<Case> cases {
        { QStringLiteral("C"), QStringLiteral("010100000001"), QStringLiteral("010110000001"), 0 },
        { QStringLiteral("C"), QStringLiteral("10100000001"), QStringLiteral("010110000001"),
            1 }, // 11 digits
        { QStringLiteral("Z"), QStringLiteral("010110000002"), QStringLiteral("010110000002"), 2 },
        { QStringLiteral("0"), QStringLiteral("0101000001"), QStringLiteral("010110000001"), 2 },
        { QStringLiteral("1"), QStringLiteral("a101000001"), QStringLiteral("010110000001"), 0 },
        { QStringLiteral("2"), QStringLiteral("2101000001"), QStringLiteral("010110000001"), 1 },
        { QStringLiteral("3"), QStringLiteral("C101000001"), QStringLiteral("010110000001"), 2 },
        { QStringLiteral("6"), QStringLiteral("0601000001"), QStringLiteral("010110000001"), 2 },
        { QStringLiteral("7"), QStringLiteral("0701000001"), QStringLiteral("010110000001"), 2 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(qPrintable(c.type + u' ' + c.id));
        Answer a = login(c.type, c.id, QStringLiteral("111111"), QStringLiteral("0101"), {}, c.encoding);
        ASSERT_EQ(a.status, 0);
        ASSERT_FALSE(a.isError()) << qPrintable(a.message());
        ASSERT_EQ(a.sets.size(), 3u);

        EXPECT_EQ(a.text(0, QStringLiteral("custid")), QStringLiteral("010100000001"));
        EXPECT_EQ(a.text(0, QStringLiteral("name")), QStringLiteral("张三"));
        EXPECT_EQ(a.text(0, QStringLiteral("prompt")), QStringLiteral("春眠不觉晓"));
        EXPECT_EQ(a.sets[0].toIntWithName(QStringLiteral("singleflag")), 0);
        if (c.encoding == 0) {
            EXPECT_EQ(a.sets[0].fieldDataWithName(QStringLiteral("name")),
                *platform::encodeText(QStringLiteral("张三"), platform::TextEncoding::GB18030));
        }

        const QString prefix = a.text(0, QStringLiteral("com_url"));
        const auto p = pairs(prefix);
        ASSERT_EQ(p.size(), 7);
        EXPECT_EQ(p[0], std::pair(QStringLiteral("custid"), QStringLiteral("010100000001")));
        EXPECT_EQ(p[1], std::pair(QStringLiteral("custorgid"), QStringLiteral("0101")));
        EXPECT_EQ(p[2], std::pair(QStringLiteral("orgid"), QStringLiteral("0101")));
        EXPECT_EQ(p[3], std::pair(QStringLiteral("fundid"), c.fundId));
        EXPECT_EQ(p[4].first, QStringLiteral("ticket"));
        EXPECT_EQ(p[4].second.size(), 32);
        EXPECT_EQ(p[5], std::pair(QStringLiteral("trdpwd"), QStringLiteral("111111")));
        EXPECT_EQ(p[6],
            std::pair(
                QStringLiteral("netaddr"), QStringLiteral("M:10.1.2.3|61.2.3.4|MAC:AA|SN:S|DN:D|ver1.0")));

        VEKTCRS& holders = a.sets[1];
        ASSERT_EQ(holders.rowsAffected(), 7);
        ASSERT_TRUE(holders.moveTo(1));
        EXPECT_EQ(holders.toStringWithName(QStringLiteral("~market")), QStringLiteral("上海A股"));
        EXPECT_EQ(holders.toIntWithName(QStringLiteral("market")), 1);
        EXPECT_EQ(holders.toStringWithName(QStringLiteral("secuid")), QStringLiteral("A101000001"));
        EXPECT_EQ(holders.toIntWithName(QStringLiteral("~secuidType")), 0);
        ASSERT_TRUE(holders.moveTo(4));
        EXPECT_EQ(holders.toIntWithName(QStringLiteral("market")), 5);

        EXPECT_EQ(a.text(2, QStringLiteral("title")), QStringLiteral("上次登录信息"));
        EXPECT_TRUE(a.text(2, QStringLiteral("content")).startsWith(QStringLiteral("上次登录时间：")));
    }
    EXPECT_EQ(broker().ticketCount(), cases.size());
}

TEST_F(TradeLogin, RefusalsCarryCodeAndMessage)
{
    auto expectRefused = [](Answer a, qint32 code, const QString& message) {
        EXPECT_EQ(a.status, 0);
        ASSERT_TRUE(a.isError());
        EXPECT_EQ(a.sets.size(), 1u);
        EXPECT_EQ(a.errcode(), code);
        EXPECT_EQ(a.message(), message);
    };
    expectRefused(login(QStringLiteral("C"), QStringLiteral("010100000001"), QStringLiteral("111112")),
        errors::kWrongPassword, QStringLiteral("交易密码错误"));
    expectRefused(login(QStringLiteral("C"), QStringLiteral("010100000009"), QStringLiteral("111111")),
        errors::kUnknownAccount, QStringLiteral("账户不存在，请检查账号和账户类型"));
    // A shareholder account under the wrong market or the wrong branch.
    expectRefused(login(QStringLiteral("0"), QStringLiteral("A101000001"), QStringLiteral("111111")),
        errors::kUnknownAccount, QStringLiteral("账户不存在，请检查账号和账户类型"));
    expectRefused(login(QStringLiteral("1"), QStringLiteral("A101000001"), QStringLiteral("111111"),
                      QStringLiteral("0102")),
        errors::kWrongBranch, QStringLiteral("账户不属于所选营业部"));
    expectRefused(login(QStringLiteral("5"), QStringLiteral("A101000001"), QStringLiteral("111111")),
        errors::kBadInputType, QStringLiteral("不支持的账户类型"));

    // Captcha: a wrong word, none issued, and one used up by a failed attempt.
    const QByteArray body = "utid=U&operway=8&inputtype=C&inputid=010100000001&orgid=0101&trdpwd=111111"
                            "&checkword=%1&dynpwd=&netaddr=M:1.2.3.4|";
    const QString code = captcha();
    const QString wrong = code == QLatin1String("0000") ? QStringLiteral("1111") : QStringLiteral("0000");
    expectRefused(call(kTradeLoginFunction, QString::fromLatin1(body).arg(wrong).toUtf8(), 2, true),
        errors::kWrongCaptcha, QStringLiteral("验证码错误，请重新输入"));
    expectRefused(call(kTradeLoginFunction, QString::fromLatin1(body).arg(code).toUtf8(), 2, true),
        errors::kCaptchaExpired, QStringLiteral("验证码已失效，请刷新验证码"));
    captcha();
    expectRefused(call(kTradeLoginFunction, QString::fromLatin1(body).arg(QString()).toUtf8(), 2, true),
        errors::kWrongCaptcha, QStringLiteral("验证码错误，请重新输入"));
    // The captcha of another session does not count.
    const QString other = captcha();
    reconnect();
    expectRefused(call(kTradeLoginFunction, QString::fromLatin1(body).arg(other).toUtf8(), 2, true),
        errors::kCaptchaExpired, QStringLiteral("验证码已失效，请刷新验证码"));
    // With captchas off, none is needed.
    broker().setCaptchaRequired(false);
    EXPECT_FALSE(
        call(kTradeLoginFunction, QString::fromLatin1(body).arg(QString()).toUtf8(), 2, true).isError());
    broker().setCaptchaRequired(true);

    // Without a session the login is sent back for one.
    EXPECT_EQ(
        call(kTradeLoginFunction, QString::fromLatin1(body).arg(QString()).toUtf8(), 2, false).status, 100);

    // Over-long texts are refused rather than echoed into the prefix.
    expectRefused(login(QStringLiteral("C"), QStringLiteral("010100000001"), QString(300, u'1')),
        errors::kBadRequest, QStringLiteral("请求参数错误：交易密码过长"));
    EXPECT_EQ(broker().ticketCount(), 1);
}

TEST_F(TradeLogin, TokenCodeWhereTheBranchOrTheControlAsksForIt)
{
    // 王五's branch needs the token code.
    const QString id = QStringLiteral("020100000003");
    Answer a = login(QStringLiteral("C"), id, QStringLiteral("333333"));
    EXPECT_EQ(a.errcode(), errors::kTokenMissing);
    EXPECT_EQ(a.message(), QStringLiteral("该账户需要动态口令，请输入动态口令"));
    a = login(QStringLiteral("C"), id, QStringLiteral("333333"), {}, QStringLiteral("123456"));
    EXPECT_EQ(a.errcode(), errors::kWrongToken);
    EXPECT_EQ(a.message(), QStringLiteral("动态口令错误"));
    a = login(QStringLiteral("C"), id, QStringLiteral("333333"), {}, QStringLiteral("654321"));
    EXPECT_FALSE(a.isError()) << qPrintable(a.message());
    EXPECT_EQ(a.text(0, QStringLiteral("name")), QStringLiteral("王五"));
    // A wrong password is told before the token is looked at.
    EXPECT_EQ(login(QStringLiteral("C"), id, QStringLiteral("3"), {}, QStringLiteral("654321")).errcode(),
        errors::kWrongPassword);

    // The control turns the token off for everyone, or on for everyone.
    broker().setTokenRequired(false);
    EXPECT_FALSE(login(QStringLiteral("C"), id, QStringLiteral("333333")).isError());
    broker().setTokenRequired(true);
    EXPECT_EQ(login(QStringLiteral("Z"), QStringLiteral("10110000001"), QStringLiteral("111111")).errcode(),
        errors::kTokenMissing);
    EXPECT_FALSE(login(QStringLiteral("Z"), QStringLiteral("10110000001"), QStringLiteral("111111"), {},
        QStringLiteral("123456"))
                     .isError()); // the default token code
    sim.clearControls();
    EXPECT_FALSE(
        login(QStringLiteral("Z"), QStringLiteral("10110000001"), QStringLiteral("111111")).isError());
}

TEST_F(TradeLogin, LastLoginNoticeAndIdentityLogin)
{
    broker().setClock([] { return platform::ChinaClock::at(2024, 6, 5, 10, 11, 12); });
    // 李四 has never logged in.
    Answer a = login(QStringLiteral("C"), QStringLiteral("010200000002"), QStringLiteral("222222"));
    ASSERT_FALSE(a.isError());
    EXPECT_EQ(a.text(2, QStringLiteral("content")), QStringLiteral("这是您的首次登录。"));
    EXPECT_EQ(a.text(0, QStringLiteral("singleflag")), QStringLiteral("1"));
    EXPECT_EQ(a.sets[1].rowsAffected(), 2);
    EXPECT_EQ(a.text(0, QStringLiteral("prompt")), QString());
    const QString firstPrefix = a.text(0, QStringLiteral("com_url"));

    a = login(
        QStringLiteral("1"), QStringLiteral("A102000002"), QStringLiteral("222222"), QStringLiteral("0102"));
    ASSERT_FALSE(a.isError());
    EXPECT_EQ(a.text(2, QStringLiteral("content")),
        QStringLiteral("上次登录时间：2024-06-05 10:11:12\n上次登录地址：61.2.3.4"));
    const QString prefix = a.text(0, QStringLiteral("com_url"));
    EXPECT_NE(prefix, firstPrefix); // a new ticket per login

    // The identity login re-checks the password and answers the same shape
    // with the newest login's prefix; it needs no session and no captcha.
    a = call(kIdentityLoginFunction,
        "soft_name=lumora&operway=8&inputtype=C&inputid=010200000002&orgid=0102&trdpwd=222222", 1);
    ASSERT_FALSE(a.isError()) << qPrintable(a.message());
    ASSERT_EQ(a.sets.size(), 3u);
    EXPECT_EQ(a.text(0, QStringLiteral("custid")), QStringLiteral("010200000002"));
    EXPECT_EQ(a.text(0, QStringLiteral("name")), QStringLiteral("李四"));
    EXPECT_EQ(a.text(0, QStringLiteral("com_url")), prefix);
    EXPECT_EQ(a.sets[1].rowsAffected(), 2);
    a = call(kIdentityLoginFunction,
        "soft_name=lumora&operway=8&inputtype=C&inputid=010200000002&orgid=0102&trdpwd=22222", 2);
    EXPECT_EQ(a.errcode(), errors::kWrongPassword);
    a = call(kIdentityLoginFunction, "soft_name=lumora&operway=8&inputtype=C&inputid=999&orgid=&trdpwd=1", 2);
    EXPECT_EQ(a.errcode(), errors::kUnknownAccount);
}

TEST_F(TradeLogin, AccountFunctionsFindTheCustomerByThePrefix)
{
    Answer a = login(QStringLiteral("C"), QStringLiteral("010100000001"), QStringLiteral("111111"));
    ASSERT_FALSE(a.isError());
    const QString prefix = a.text(0, QStringLiteral("com_url"));

    // Capital accounts (500/113): the prefix alone.
    a = call(kCapitalAccountsFunction, prefix.toUtf8(), 0);
    ASSERT_FALSE(a.isError()) << qPrintable(a.message());
    ASSERT_EQ(a.sets.size(), 1u);
    VEKTCRS& funds = a.sets[0];
    ASSERT_EQ(funds.rowsAffected(), 2);
    ASSERT_TRUE(funds.fetchFirst());
    EXPECT_EQ(funds.toStringWithName(QStringLiteral("fundid")), QStringLiteral("010110000001"));
    EXPECT_EQ(funds.toStringWithName(QStringLiteral("fundseq")), QStringLiteral("0"));
    EXPECT_EQ(funds.toStringWithName(QStringLiteral("bankname")), QStringLiteral("工商银行"));
    EXPECT_EQ(funds.toStringWithName(QStringLiteral("~moneytype")), QStringLiteral("人民币"));
    EXPECT_EQ(funds.toStringWithName(QStringLiteral("fundbal")), QStringLiteral("100000.00"));
    EXPECT_EQ(funds.toStringWithName(QStringLiteral("fundavl")), QStringLiteral("85000.00"));
    EXPECT_EQ(funds.toStringWithName(QStringLiteral("stkvalue")), QStringLiteral("15000.00"));
    EXPECT_EQ(funds.toStringWithName(QStringLiteral("marketvalue")), QStringLiteral("15000.00"));
    ASSERT_TRUE(funds.fetchNext());
    EXPECT_EQ(funds.toStringWithName(QStringLiteral("fundseq")), QStringLiteral("1"));
    EXPECT_EQ(funds.toStringWithName(QStringLiteral("~moneytype")), QStringLiteral("美元"));

    // The client rewrites everything behind "netaddr=" and swaps the capital
    // account; both still name the customer.
    QString rewritten
        = prefix.left(prefix.indexOf(QStringLiteral("netaddr=")) + 8) + QStringLiteral("M:9.9.9.9|");
    rewritten.replace(QStringLiteral("fundid=010110000001"), QStringLiteral("fundid=010110000002"));
    EXPECT_FALSE(call(kCapitalAccountsFunction, rewritten.toUtf8()).isError());

    // Risk status (500/2162): the prefix and "version=1".
    a = call(kRiskStatusFunction, (prefix + QStringLiteral("&version=1")).toUtf8(), 1);
    ASSERT_FALSE(a.isError());
    EXPECT_EQ(a.text(0, QStringLiteral("isrisk")), QStringLiteral("0"));
    for (const char* f : { "tips", "fctipstitle", "fctips" })
        EXPECT_GE(a.sets[0].indexOfFieldWithName(QLatin1String(f)), 0) << f;

    // 李四 has a questionnaire due.
    a = login(QStringLiteral("C"), QStringLiteral("010200000002"), QStringLiteral("222222"));
    const QString other = a.text(0, QStringLiteral("com_url"));
    a = call(kRiskStatusFunction, (other + QStringLiteral("&version=1")).toUtf8(), 2);
    EXPECT_EQ(a.text(0, QStringLiteral("isrisk")), QStringLiteral("1"));
    EXPECT_EQ(a.text(0, QStringLiteral("fctipstitle")), QStringLiteral("风险测评提示"));
    EXPECT_EQ(a.text(0, QStringLiteral("tips")), QStringLiteral("您的风险承受能力评估已过期，请重新评估。"));

    // Prefixes that name nobody, or the wrong password or capital account.
    auto refusal = [&](QString body) { return call(kCapitalAccountsFunction, body.toUtf8()).errcode(); };
    EXPECT_EQ(refusal(QString()), errors::kLoginExpired);
    EXPECT_EQ(refusal(QString(prefix).replace(QStringLiteral("ticket="), QStringLiteral("ticket=0"))),
        errors::kLoginExpired);
    EXPECT_EQ(refusal(QString(prefix).replace(
                  QStringLiteral("custid=010100000001"), QStringLiteral("custid=010200000002"))),
        errors::kLoginExpired); // another customer's number with this ticket
    EXPECT_EQ(
        refusal(QString(prefix).replace(QStringLiteral("trdpwd=111111"), QStringLiteral("trdpwd=222222"))),
        errors::kWrongPassword);
    EXPECT_EQ(refusal(QString(prefix).replace(
                  QStringLiteral("fundid=010110000001"), QStringLiteral("fundid=010210000002"))),
        errors::kUnknownFundAccount);
    a = call(kRiskStatusFunction, "custid=010100000001&trdpwd=111111&version=1");
    EXPECT_EQ(a.errcode(), errors::kLoginExpired);
    EXPECT_EQ(a.message(), QStringLiteral("登录已失效，请重新登录"));

    // New data forgets the tickets handed out.
    broker().reset(defaultBrokerData());
    EXPECT_EQ(refusal(prefix), errors::kLoginExpired);
}
