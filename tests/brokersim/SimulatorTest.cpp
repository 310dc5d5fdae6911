#include "SimClient.h"
#include "comm/recordset/CSHex.h"
#include "comm/transport/VEKHTTPConnectionContext.h"
#include "platform/TextEncoding.h"
#include "support/Spin.h"
#include "tools/broker-sim/BrokerSimulator.h"

#include <gtest/gtest.h>

using namespace brokersim;
using namespace simtest;
using platform::TextEncoding;

namespace {

constexpr Function kEcho { 900, 1 };
const QString kChinese = QStringLiteral("浦发银行");

// Answers the body's "text" value with a Chinese suffix and whether the
// request carried a session this broker issued.
Reply echo(const Request& request, BrokerState& state)
{
    return Reply::withTable(Table()
                                .column(QStringLiteral("echo"))
                                .column(QStringLiteral("valid"), kInt32)
                                .row({ request.valueOr(QStringLiteral("text")) + kChinese,
                                    state.isValidSession(request) ? 1 : 0 }));
}

class BrokerSimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.start()) << qPrintable(sim.errorString());
        sim.registerFunction(kEcho.main, kEcho.sub, echo);
    }

    // A TLS client that has logged on.
    std::unique_ptr<SimClient> tcClient(bool logon = true)
    {
        auto client = std::make_unique<SimClient>();
        EXPECT_TRUE(client->connectTls(sim.tcPort(), sim.trustedCertificates()));
        if (logon) {
            VEKTCConnectionContext context;
            client->send(context.sendLoginWithPacketId(1));
            const auto reply = client->nextFrame();
            EXPECT_TRUE(reply && reply->packetId == 1);
        }
        return client;
    }

    std::unique_ptr<SimClient> httpClient()
    {
        auto client = std::make_unique<SimClient>();
        EXPECT_TRUE(client->connectPlain(sim.httpPort()));
        return client;
    }

    // The first record set of an echo reply, on its first row.
    static std::optional<VEKTCRS> firstRow(const QByteArray& payload, qint32 encoding)
    {
        auto sets = recordSets(payload, encoding);
        if (sets.empty() || !sets[0].fetchFirst())
            return std::nullopt;
        return sets[0];
    }

    BrokerSimulator sim;
};

} // namespace

TEST_F(BrokerSimTest, LogonSessionAndFunctionsOverTc)
{
    auto client = tcClient(false);
    VEKTCConnectionContext context;
    client->send(context.sendLoginWithPacketId(7));
    auto logon = client->nextFrame();
    ASSERT_TRUE(logon);
    EXPECT_EQ(logon->packetId, 7u);
    EXPECT_EQ(logon->status, 0);
    auto info = recordSets(logon->payload, 0);
    ASSERT_EQ(info.size(), 1u);
    EXPECT_TRUE(info[0].isOkInfo());

    // The session request as the client's request layer sends it: UTF-16 reply.
    const QByteArray body = "utid=U-1&soft_name=lumora&soft_version=1.0";
    client->send(tcRequest(8, 1001, 2, body, 1));
    auto reply = client->nextFrame();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->packetId, 8u);
    EXPECT_EQ(reply->status, 0);
    auto row = firstRow(reply->payload, 1);
    ASSERT_TRUE(row);
    EXPECT_FALSE(row->isErrorInfo());
    const QString session = row->toStringWithName(QStringLiteral("session"));
    EXPECT_EQ(row->fieldDataWithName(QStringLiteral("session")).size(), 64); // 32 UTF-16 units
    ASSERT_EQ(session.size(), 32);
    EXPECT_EQ(CSHex::decode(session).size(), 16);
    EXPECT_TRUE(sim.state().isIssuedSession(session));
    EXPECT_TRUE(sim.state().isIssuedSession(session.toUpper()));
    EXPECT_EQ(sim.state().utidOfSession(session), QStringLiteral("U-1"));

    // A registered function answers in GB 18030 with the session checked ...
    client->send(tcRequest(9, kEcho.main, kEcho.sub, "text=abc&x=1", 0, CSHex::decode(session)));
    reply = client->nextFrame();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->packetId, 9u);
    row = firstRow(reply->payload, 0);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->fieldDataWithName(QStringLiteral("echo")),
        *platform::encodeText(QStringLiteral("abc") + kChinese, TextEncoding::GB18030));
    EXPECT_EQ(row->toIntWithName(QStringLiteral("valid")), 1);

    // ... and in UTF-8, where a missing or unknown session does not count.
    client->send(tcRequest(10, kEcho.main, kEcho.sub, "text=xyz", 2));
    client->send(tcRequest(11, kEcho.main, kEcho.sub, "text=xyz", 2, QByteArray(16, '\x5A')));
    for (quint32 id : { 10u, 11u }) {
        reply = client->nextFrame();
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->packetId, id);
        row = firstRow(reply->payload, 2);
        ASSERT_TRUE(row);
        EXPECT_EQ(
            row->fieldDataWithName(QStringLiteral("echo")), (QStringLiteral("xyz") + kChinese).toUtf8());
        EXPECT_EQ(row->toIntWithName(QStringLiteral("valid")), 0);
    }

    // A function nobody registered answers an error row; so does an enciphered body.
    client->send(tcRequest(12, 4321, 5, "a=b", 2));
    reply = client->nextFrame();
    ASSERT_TRUE(reply);
    row = firstRow(reply->payload, 2);
    ASSERT_TRUE(row);
    EXPECT_TRUE(recordSets(reply->payload, 2)[0].isErrorInfo());
    EXPECT_EQ(row->toStringWithName(QStringLiteral("ER_String")), QStringLiteral("该功能暂未开通（功能号4321/5）"));

    // The recorder saw all of it.
    const QList<Request> seen = sim.received();
    ASSERT_EQ(seen.size(), 6);
    EXPECT_TRUE(seen[0].logon);
    EXPECT_EQ(seen[0].logonUser, QByteArray(VEKTCConnectionContext::kLogonText));
    EXPECT_EQ(seen[0].logonPassword, QByteArray(VEKTCConnectionContext::kLogonText));
    EXPECT_EQ(seen[0].packetId, 7);
    EXPECT_EQ(seen[1].function, kSessionFunction);
    EXPECT_EQ(seen[1].service, 300u);
    EXPECT_EQ(seen[1].encoding, 1);
    EXPECT_FALSE(seen[1].hasSession);
    EXPECT_EQ(seen[1].valueOr(QStringLiteral("soft_name")), QStringLiteral("lumora"));
    EXPECT_EQ(seen[1].rawBody, body);
    EXPECT_EQ(seen[2].front, Front::TC);
    EXPECT_TRUE(seen[2].hasSession);
    EXPECT_EQ(seen[2].session, session);
    EXPECT_EQ(seen[2].sessionBytes, CSHex::decode(session) + QByteArray(16, '\0'));
    EXPECT_EQ(seen[2].body.size(), 2);
    EXPECT_EQ(seen[2].value(u"x"), QStringLiteral("1"));
    EXPECT_EQ(seen[2].connectionId, seen[0].connectionId);
    EXPECT_EQ(sim.receivedCount(kEcho), 3);
    EXPECT_EQ(sim.receivedCount(kLogon), 1);
    sim.clearReceived();
    EXPECT_EQ(sim.receivedCount(), 0);
}

TEST_F(BrokerSimTest, SessionAndKeepAliveOverHttp)
{
    auto client = httpClient();
    client->send(httpRequest(1, 1001, 2, QStringLiteral("utid=U-2&soft_name=lumora&soft_version=1.0"), 1));
    auto reply = client->nextHttpReply();
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->head.startsWith("HTTP/1.1 200"));
    EXPECT_EQ(reply->etag, "0,1,0,0,0,0");
    EXPECT_EQ(reply->contentLength, reply->body.size());
    auto row = firstRow(reply->body, 1);
    ASSERT_TRUE(row);
    const QString session = row->toStringWithName(QStringLiteral("session"));
    ASSERT_EQ(session.size(), 32);
    EXPECT_TRUE(sim.state().isIssuedSession(session));

    // The client's own reply reader takes the same bytes.
    VEKHTTPConnectionContext reader;
    reader.receiveData(client->allReceived());
    VEKPacketFlag flags;
    VEKContextError error;
    const auto payload = reader.checkResponse(&error, &flags);
    ASSERT_TRUE(payload);
    EXPECT_EQ(*payload, reply->body);
    EXPECT_EQ(flags, (VEKPacketFlag { 0, 1, false, false }));

    // Two more requests on the same connection, written in one go; a value
    // with "=", "+", "%" and Chinese text arrives whole.
    const QString text = QStringLiteral("b=c+d%20 中");
    client->send(httpRequest(2, kEcho.main, kEcho.sub, QStringLiteral("text=x&y=2"), 0, session)
        + httpRequest(3, kEcho.main, kEcho.sub, QStringLiteral("text=") + text, 2, QStringLiteral("00")));
    reply = client->nextHttpReply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->etag, "0,2,0,0,0,0");
    row = firstRow(reply->body, 0);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->fieldDataWithName(QStringLiteral("echo")),
        *platform::encodeText(QStringLiteral("x") + kChinese, TextEncoding::GB18030));
    EXPECT_EQ(row->toIntWithName(QStringLiteral("valid")), 1);
    reply = client->nextHttpReply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->etag, "0,3,0,0,0,0");
    row = firstRow(reply->body, 2);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->toStringWithName(QStringLiteral("echo")), text + kChinese);
    EXPECT_EQ(row->toIntWithName(QStringLiteral("valid")), 0);
    EXPECT_FALSE(client->isDisconnected());

    const QList<Request> seen = sim.received();
    ASSERT_EQ(seen.size(), 3);
    EXPECT_EQ(seen[0].front, Front::HTTP);
    EXPECT_FALSE(seen[0].hasSession);
    EXPECT_EQ(seen[0].rawBody, "utid=U-2&soft_name=lumora&soft_version=1.0");
    EXPECT_EQ(seen[1].session, session);
    EXPECT_EQ(seen[1].body.size(), 2);
    EXPECT_EQ(seen[1].service, 300u);
    EXPECT_FALSE(seen[1].acceptsCompressed);
    EXPECT_EQ(seen[2].value(u"text"), text);
    EXPECT_EQ(seen[2].session, QStringLiteral("00"));
    EXPECT_EQ(seen[2].connectionId, seen[0].connectionId);
}
