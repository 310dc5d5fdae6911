#include "tools/broker-sim/BrokerState.h"

#include "tools/broker-sim/Request.h"

#include <QtGlobal>
#include <openssl/rand.h>

namespace brokersim {

namespace {

QByteArray randomBytes(qsizetype count)
{
    QByteArray bytes(count, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), int(count)) != 1)
        qFatal("brokersim: RAND_bytes failed");
    return bytes;
}

bool isHexText(const QString& text)
{
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F')))
            return false;
    }
    return true;
}

// The session bytes a text names; empty unless it is exactly 32 hex digits.
QByteArray sessionKey(const QString& text)
{
    if (text.size() != 2 * BrokerState::kSessionBytes || !isHexText(text))
        return {};
    return QByteArray::fromHex(text.toLatin1());
}

} // namespace

QString BrokerState::issueSession(const QString& utid)
{
    QByteArray key;
    do {
        key = randomBytes(kSessionBytes);
    } while (sessions_.contains(key));
    sessions_.insert(key, utid);
    return QString::fromLatin1(key.toHex());
}

bool BrokerState::isIssuedSession(const QString& session) const
{
    const QByteArray key = sessionKey(session);
    return !key.isEmpty() && sessions_.contains(key);
}

bool BrokerState::isValidSession(const Request& request) const
{
    if (!request.hasSession)
        return false;
    if (request.front == Front::HTTP)
        return isIssuedSession(request.session);
    const QByteArray& field = request.sessionBytes;
    if (field.size() != 2 * kSessionBytes)
        return false;
    for (qsizetype i = kSessionBytes; i < field.size(); ++i) {
        if (field[i] != '\0')
            return false;
    }
    return sessions_.contains(field.first(kSessionBytes));
}

QString BrokerState::utidOfSession(const QString& session) const
{
    return sessions_.value(sessionKey(session));
}

QString BrokerState::issueTerminalId()
{
    QString utid;
    do {
        utid = QString::fromLatin1(randomBytes(16).toHex().toUpper());
    } while (terminalIds_.contains(utid));
    terminalIds_.insert(utid);
    return utid;
}

} // namespace brokersim
