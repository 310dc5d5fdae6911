#pragma once

#include "SimClient.h"
#include "comm/recordset/CSHex.h"
#include "tools/broker-sim/BrokerSimulator.h"
#include "tools/broker-sim/LoginFunctions.h"

#include <gtest/gtest.h>
#include <memory>

namespace simtest {

// A simulator with the built-in customers and a raw TC client that has logged
// on and holds a session, as the client's request layer would.
class LoginRig : public ::testing::Test {
protected:
    struct Answer {
        quint8 status = 0xFF; // 0xFF: no reply
        std::vector<VEKTCRS> sets;

        bool isError() const { return !sets.empty() && sets[0].isErrorInfo(); }
        qint32 errcode()
        {
            return sets.empty() || !sets[0].fetchFirst() ? 0
                                                         : sets[0].toIntWithName(QStringLiteral("errcode"));
        }
        QString message()
        {
            return sets.empty() || !sets[0].fetchFirst()
                ? QString()
                : sets[0].toStringWithName(QStringLiteral("ER_String"));
        }
        // A text of the first row of a record set.
        QString text(size_t set, const QString& field)
        {
            return set < sets.size() && sets[set].fetchFirst() ? sets[set].toStringWithName(field)
                                                               : QString();
        }
    };

    void SetUp() override
    {
        ASSERT_TRUE(sim.start()) << qPrintable(sim.errorString());
        reconnect();
    }

    void reconnect()
    {
        client = std::make_unique<SimClient>();
        ASSERT_TRUE(client->connectTls(sim.tcPort(), sim.trustedCertificates()));
        VEKTCConnectionContext context;
        client->send(context.sendLoginWithPacketId(nextId++));
        ASSERT_TRUE(client->nextFrame());
        Answer a = call(brokersim::kSessionFunction, "utid=U", 1);
        session = a.text(0, QStringLiteral("session"));
        ASSERT_EQ(session.size(), 32);
    }

    Answer call(brokersim::Function f, const QByteArray& body, quint8 encoding = 2, bool withSession = false)
    {
        const quint32 id = nextId++;
        client->send(tcRequest(id, quint16(f.main), quint16(f.sub), body, encoding,
            withSession ? CSHex::decode(session) : QByteArray()));
        Answer a;
        const auto frame = client->nextFrame();
        if (!frame || frame->packetId != id)
            return a;
        a.status = frame->status;
        a.sets = recordSets(frame->payload, brokersim::replyEncodingFor(encoding));
        return a;
    }

    QString terminalId()
    {
        return call(brokersim::kTerminalIdFunction,
            "soft_name=lumora&soft_version=1.0&model=Mac&hwid=H1&imei=&imsi=&osid=14.0")
            .text(0, QStringLiteral("UTID"));
    }

    // Asks for a captcha and answers the text on it.
    QString captcha()
    {
        call(brokersim::kCaptchaFunction, "utid=U&soft_name=lumora&soft_version=1.0", 2, true);
        return broker().captchaCode(session).value_or(QString());
    }

    // A trade login with a fresh captcha, as the login form sends it.
    Answer login(const QString& inputType, const QString& inputId, const QString& password,
        const QString& orgid = {}, const QString& dynpwd = {}, quint8 encoding = 2)
    {
        const QString checkword = captcha();
        const QString body = QStringLiteral(
            "utid=U&operway=8&inputtype=%1&inputid=%2&orgid=%3&trdpwd=%4&checkword=%5&dynpwd=%6"
            "&netaddr=M:10.1.2.3|61.2.3.4|MAC:AA|SN:S|DN:D|ver1.0")
                                 .arg(inputType, inputId, orgid, password, checkword, dynpwd);
        return call(brokersim::kTradeLoginFunction, body.toUtf8(), encoding, true);
    }

    brokersim::Broker& broker() { return sim.state().broker(); }

    brokersim::BrokerSimulator sim;
    std::unique_ptr<SimClient> client;
    QString session;
    quint32 nextId = 1;
};

} // namespace simtest
