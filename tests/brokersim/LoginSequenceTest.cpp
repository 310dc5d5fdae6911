#include "LoginRig.h"
#include "platform/TextEncoding.h"
#include "tools/broker-sim/CaptchaImage.h"

#include <QImage>

using namespace brokersim;
using namespace simtest;

namespace {

class LoginSequence : public LoginRig { };

} // namespace

TEST_F(LoginSequence, TerminalIdAndApplicationLogin)
{
    const QString utid = terminalId();
    ASSERT_EQ(utid.size(), 32);
    EXPECT_EQ(utid, utid.toUpper());
    EXPECT_TRUE(sim.state().knowsTerminalId(utid));
    EXPECT_NE(terminalId(), utid);

    // Without a software name no terminal id is given.
    Answer bad = call(kTerminalIdFunction, "soft_version=1.0");
    EXPECT_TRUE(bad.isError());
    EXPECT_EQ(bad.errcode(), errors::kBadRequest);
    EXPECT_TRUE(bad.message().startsWith(QStringLiteral("请求参数错误")));

    // The application login in GB 18030: server lists of the simulator's own
    // fronts, then the branch-list version, then the menu version and cont_id.
    const QByteArray body
        = "utid=" + utid.toLatin1() + "&soft_name=lumora&soft_version=1.0&orgid=0&netaddr=&circuit=0";
    Answer a = call(kAppLoginFunction, body, 0);
    ASSERT_EQ(a.status, 0);
    ASSERT_EQ(a.sets.size(), 3u);
    EXPECT_FALSE(a.isError());
    EXPECT_EQ(a.sets[0].rowsAffected(), 1);
    EXPECT_EQ(a.text(0, QStringLiteral("msp")), QStringLiteral("模拟网络"));
    EXPECT_EQ(a.sets[0].fieldDataWithName(QStringLiteral("msp")),
        *platform::encodeText(QStringLiteral("模拟网络"), platform::TextEncoding::GB18030));
    EXPECT_EQ(a.text(0, QStringLiteral("hq_servlist")),
        QStringLiteral("模拟行情主站:127.0.0.1:%1").arg(sim.httpPort()));
    EXPECT_EQ(a.text(0, QStringLiteral("jy_servlist")),
        QStringLiteral("模拟交易主站:127.0.0.1:%1").arg(sim.tcPort()));
    EXPECT_EQ(a.text(1, QStringLiteral("yyb_version")), QStringLiteral("20240601"));
    EXPECT_EQ(a.text(2, QStringLiteral("menu_version")), QStringLiteral("20240601"));
    EXPECT_EQ(a.text(2, QStringLiteral("cont_id")), QStringLiteral("sim-cont-0001"));

    // 90001 on demand, once; then for an unknown or an empty terminal id.
    broker().answer90001Next();
    Answer expired = call(kAppLoginFunction, body, 1);
    EXPECT_TRUE(expired.isError());
    EXPECT_EQ(expired.errcode(), errors::kTerminalIdUnknown);
    EXPECT_EQ(expired.message(), QStringLiteral("终端标识无效或已过期，请重新获取"));
    EXPECT_FALSE(call(kAppLoginFunction, body, 1).isError());
    EXPECT_EQ(call(kAppLoginFunction, "utid=0123456789ABCDEF0123456789ABCDEF&soft_name=lumora").errcode(),
        errors::kTerminalIdUnknown);
    EXPECT_EQ(call(kAppLoginFunction, "utid=&soft_name=lumora").errcode(), errors::kTerminalIdUnknown);

    // Two providers: one row each, the lists taken from the data.
    BrokerData data = defaultBrokerData();
    data.servers.append(ServerGroup { QStringLiteral("备用"),
        { { QStringLiteral("Q1"), QStringLiteral("10.0.0.1"), QStringLiteral("8001") },
            { QStringLiteral("Q2"), QStringLiteral("host.example"), QStringLiteral("8002") } },
        {} });
    broker().reset(data);
    a = call(kAppLoginFunction, body);
    ASSERT_EQ(a.sets.size(), 3u);
    ASSERT_EQ(a.sets[0].rowsAffected(), 2);
    ASSERT_TRUE(a.sets[0].moveTo(1));
    EXPECT_EQ(a.sets[0].toStringWithName(QStringLiteral("msp")), QStringLiteral("备用"));
    EXPECT_EQ(a.sets[0].toStringWithName(QStringLiteral("hq_servlist")),
        QStringLiteral("Q1:10.0.0.1:8001,Q2:host.example:8002"));
    EXPECT_EQ(a.sets[0].toStringWithName(QStringLiteral("jy_servlist")), QString());
}

TEST_F(LoginSequence, BranchListAndSystemMessages)
{
    Answer a = call(kBranchListFunction, "", 1);
    ASSERT_EQ(a.sets.size(), 1u);
    VEKTCRS& set = a.sets[0];
    ASSERT_EQ(set.rowsAffected(), 3);
    for (const char* f : { "area_name", "eb_area_id", "org_name", "org_code", "prefix_code" })
        EXPECT_GE(set.indexOfFieldWithName(QLatin1String(f)), 0) << f;
    ASSERT_TRUE(set.fetchFirst());
    EXPECT_EQ(set.toStringWithName(QStringLiteral("area_name")), QStringLiteral("上海"));
    EXPECT_EQ(set.toStringWithName(QStringLiteral("org_name")), QStringLiteral("上海世纪大道")); // no suffix
    EXPECT_EQ(set.toStringWithName(QStringLiteral("org_code")), QStringLiteral("0101"));
    ASSERT_TRUE(set.moveTo(2));
    EXPECT_EQ(set.toStringWithName(QStringLiteral("area_name")), QStringLiteral("深圳"));
    EXPECT_EQ(set.toStringWithName(QStringLiteral("eb_area_id")), QStringLiteral("02"));
    EXPECT_EQ(set.toStringWithName(QStringLiteral("prefix_code")), QStringLiteral("0201"));

    // The branch list over the HTTP front reads the same.
    SimClient http;
    ASSERT_TRUE(http.connectPlain(sim.httpPort()));
    http.send(httpRequest(1, 550, 7, QString(), 2));
    const auto reply = http.nextHttpReply();
    ASSERT_TRUE(reply);
    auto sets = recordSets(reply->body, 2);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].rowsAffected(), 3);

    // System messages: those for every version, and those for the asking one.
    a = call(kSystemMessageFunction, "soft_version=2.0", 0);
    ASSERT_EQ(a.sets.size(), 1u);
    EXPECT_EQ(a.sets[0].rowsAffected(), 1);
    EXPECT_EQ(a.text(0, QStringLiteral("title")), QStringLiteral("系统维护通知"));
    EXPECT_EQ(a.text(0, QStringLiteral("date")), QStringLiteral("2024-06-01"));
    a = call(kSystemMessageFunction, "soft_version=1.0", 2);
    ASSERT_EQ(a.sets.size(), 1u);
    ASSERT_EQ(a.sets[0].rowsAffected(), 2);
    ASSERT_TRUE(a.sets[0].moveTo(1));
    EXPECT_EQ(a.sets[0].toStringWithName(QStringLiteral("content")),
        QStringLiteral("1.0 版客户端将于下月停用，请及时升级。"));

    // No messages at all: a record set of no rows, no error.
    BrokerData data = defaultBrokerData();
    data.systemMessages.clear();
    broker().reset(data);
    a = call(kSystemMessageFunction, "soft_version=1.0");
    ASSERT_EQ(a.sets.size(), 1u);
    EXPECT_FALSE(a.isError());
    EXPECT_EQ(a.sets[0].rowsAffected(), 0);
}

TEST_F(LoginSequence, CaptchaNeedsTheSessionAndIsARealImage)
{
    // Without the session the client is sent for one (status 100).
    Answer a = call(kCaptchaFunction, "utid=U&soft_name=lumora&soft_version=1.0");
    EXPECT_EQ(a.status, 100);
    EXPECT_FALSE(broker().captchaCode(session));

    a = call(kCaptchaFunction, "utid=U&soft_name=lumora&soft_version=1.0", 1, true);
    ASSERT_EQ(a.status, 0);
    ASSERT_EQ(a.sets.size(), 1u);
    ASSERT_TRUE(a.sets[0].fetchFirst());
    const auto code = broker().captchaCode(session);
    ASSERT_TRUE(code);
    EXPECT_EQ(code->size(), 4);
    EXPECT_EQ(broker().lastCaptchaCode(), *code);
    // "code" names the captcha; the text on it is never sent.
    const QString id = a.sets[0].toStringWithName(QStringLiteral("code"));
    EXPECT_EQ(id.size(), 16);
    EXPECT_NE(id, *code);
    const QByteArray png = a.sets[0].fieldDataWithName(QStringLiteral("image"));
    EXPECT_TRUE(png.startsWith("\x89PNG"));
    QImage image;
    ASSERT_TRUE(image.loadFromData(png));
    EXPECT_EQ(image.width(), kCaptchaWidth);
    EXPECT_EQ(image.height(), kCaptchaHeight);

    // A new captcha replaces the session's old one.
    call(kCaptchaFunction, "utid=U&soft_name=lumora&soft_version=1.0", 2, true);
    EXPECT_TRUE(broker().captchaCode(session));
    EXPECT_EQ(broker().captchaCode(session), broker().lastCaptchaCode());
}
