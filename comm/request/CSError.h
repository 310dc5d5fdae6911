#pragma once

#include <QString>
#include <QtGlobal>

// A failure as the request layer reports it: the message is the domain, the
// kind is the code. The layers above turn the library's codes into their own
// messages and keep the domain of any other code.
struct CSError {
    QString domain;
    qint64 code = 0;
    // The server answered with an error row ("ER_String", "errcode"): a
    // refusal in the server's words, whatever its number, never one of the
    // client's own failures (time-out, lost connection, no record set).
    bool fromErrorRow = false;

    friend bool operator==(const CSError&, const CSError&) = default;
};

// The request layer's own failures.
enum CSErrorCode : qint64 {
    CSErrorRequestTimeout = 6,
    CSErrorSessionParam = 101,
    CSErrorServerNoData = 200,
    CSErrorNetworkDisconnect = 300,
    CSErrorBuildPacket = 400, // the request cannot be put on the wire
    // An order-like request went out and no answer came (time-out, connection
    // lost or remade): the server may or may not have taken it.
    CSErrorOutcomeUnknown = 700,
};

namespace CSErrors {
inline CSError requestTimeout()
{
    return { QStringLiteral("request timeout！"), CSErrorRequestTimeout };
}
inline CSError sessionParam()
{
    return { QStringLiteral("session param error"), CSErrorSessionParam };
}
inline CSError serverNoData()
{
    return { QStringLiteral("server no data"), CSErrorServerNoData };
}
inline CSError networkDisconnect()
{
    return { QStringLiteral("requests clear when network disconnect！"), CSErrorNetworkDisconnect };
}
inline CSError buildPacket()
{
    return { QStringLiteral("构包异常"), CSErrorBuildPacket };
}
} // namespace CSErrors
