#include "comm/request/CSSession.h"

#include "comm/recordset/VEKBase64.h"

#include <QMutex>
#include <QMutexLocker>
#include <algorithm>

namespace {

struct State {
    QMutex mutex;
    std::optional<QString> session;
    std::optional<QString> utid;
    std::optional<QString> softname;
    std::optional<QString> softversion;
    std::optional<VEKKey> sessionKey;
};

State& state()
{
    static State s;
    return s;
}

bool isSafeConfigValue(const QString& text)
{
    return std::all_of(text.begin(), text.end(),
        [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F && c != u'&' && c != u'='; });
}

} // namespace

std::optional<QString> CSSession::session()
{
    QMutexLocker lock(&state().mutex);
    if (!state().session || state().session->isEmpty())
        return std::nullopt;
    return state().session;
}

void CSSession::setSession(const std::optional<QString>& session)
{
    QMutexLocker lock(&state().mutex);
    state().session = session;
}

bool CSSession::setConfig(const QString& utid, const QString& softname, const QString& softversion)
{
    if (utid.isNull() || softname.isNull() || softversion.isNull())
        return false;
    if (!isSafeConfigValue(utid) || !isSafeConfigValue(softname) || !isSafeConfigValue(softversion))
        return false;
    QMutexLocker lock(&state().mutex);
    state().utid = utid;
    state().softname = softname;
    state().softversion = softversion;
    return true;
}

std::optional<QString> CSSession::utid()
{
    QMutexLocker lock(&state().mutex);
    return state().utid;
}

std::optional<QString> CSSession::softname()
{
    QMutexLocker lock(&state().mutex);
    return state().softname;
}

std::optional<QString> CSSession::softversion()
{
    QMutexLocker lock(&state().mutex);
    return state().softversion;
}

std::optional<VEKKey> CSSession::sessionKey()
{
    QMutexLocker lock(&state().mutex);
    if (!state().sessionKey)
        state().sessionKey = VEKCoder::generalWithLength(kSessionKeyLength);
    return state().sessionKey;
}

std::optional<QByteArray> CSSession::encipherBody(QByteArrayView body)
{
    const std::optional<VEKKey> key = sessionKey();
    if (!key)
        return std::nullopt;
    const std::optional<QByteArray> sealed = VEKCoder::dataByEncryptData(body, *key);
    if (!sealed)
        return std::nullopt;
    return VEKBase64::encodeData(*sealed);
}

std::optional<QByteArray> CSSession::decipherReply(QByteArrayView payload)
{
    const std::optional<VEKKey> key = sessionKey();
    if (!key)
        return std::nullopt;
    return VEKCoder::dataByDecryptData(payload, *key);
}

std::optional<QByteArray> CSSession::encryptedSessionKey(const QString& publicKeyFile)
{
    const std::optional<VEKKey> key = sessionKey();
    if (!key)
        return std::nullopt;
    return VEKCoder::hexDataWithRsaEncryptKey(*key, publicKeyFile);
}

void CSSession::releaseAll()
{
    QMutexLocker lock(&state().mutex);
    state().session.reset();
    state().utid.reset();
    state().softname.reset();
    state().softversion.reset();
    state().sessionKey.reset();
}
