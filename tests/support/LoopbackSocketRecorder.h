#pragma once

// Header only: the comm tests include it; test_main_core does not link comm.
#include "comm/transport/StreamSocket.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

// Readable failure messages for Qt values in the tests that use this helper.
inline void PrintTo(const QString& value, std::ostream* os)
{
    *os << '"' << value.toStdString() << '"';
}
inline void PrintTo(const QByteArray& value, std::ostream* os)
{
    *os << '"' << (value.size() > 200 ? value.left(200).toStdString() + "..." : value.toStdString()) << '"';
}

namespace testsupport {

// A socket delegate that writes down every call, with optional hooks.
class LoopbackSocketRecorder : public StreamSocketDelegate {
public:
    QStringList events;
    QList<QByteArray> reads;
    QList<qint64> readTags;
    QList<qint64> writeTags;
    QList<quint64> partialLengths;
    std::optional<bool> secured;
    bool willDisconnect = false;
    bool didDisconnect = false;
    std::optional<StreamSocketError> error;
    std::optional<QByteArray> unreadAtDisconnect;
    QString host;
    quint16 port = 0;
    bool allowConnect = true;
    std::vector<std::unique_ptr<StreamSocket>> accepted;

    std::function<void(StreamSocket*)> onConnect;
    std::function<void(StreamSocket*, const QByteArray&, qint64)> onRead;
    std::function<void(StreamSocket*)> onWillDisconnect;
    std::function<void(StreamSocket*)> onDisconnect;
    std::function<void(StreamSocket*)> onAccept;

    bool onSocketWillConnect(StreamSocket*) override
    {
        events << "willConnect";
        return allowConnect;
    }
    void onSocketDidConnectToHost(StreamSocket* sock, const QString& h, quint16 p) override
    {
        events << "connect";
        host = h;
        port = p;
        if (onConnect)
            onConnect(sock);
    }
    void onSocketDidReadData(StreamSocket* sock, const QByteArray& data, qint64 tag) override
    {
        events << QStringLiteral("read %1").arg(tag);
        reads << data;
        readTags << tag;
        if (onRead)
            onRead(sock, data, tag);
    }
    void onSocketDidReadPartialDataOfLength(StreamSocket*, quint64 length, qint64 tag) override
    {
        events << QStringLiteral("partial %1").arg(tag);
        partialLengths << length;
    }
    void onSocketDidWriteDataWithTag(StreamSocket*, qint64 tag) override
    {
        events << QStringLiteral("write %1").arg(tag);
        writeTags << tag;
    }
    void onSocketDidSecure(StreamSocket*, bool ok) override
    {
        events << QStringLiteral("secure %1").arg(ok);
        secured = ok;
    }
    void onSocketWillDisconnectWithError(
        StreamSocket* sock, const std::optional<StreamSocketError>& e) override
    {
        events << "willDisconnect";
        willDisconnect = true;
        error = e;
        unreadAtDisconnect = sock->unreadData();
        if (onWillDisconnect)
            onWillDisconnect(sock);
    }
    void onSocketDidDisconnect(StreamSocket* sock) override
    {
        events << "didDisconnect";
        didDisconnect = true;
        if (onDisconnect)
            onDisconnect(sock);
    }
    void onSocketDidAcceptNewSocket(StreamSocket*, std::unique_ptr<StreamSocket> newSocket) override
    {
        events << "accept";
        accepted.push_back(std::move(newSocket));
        if (onAccept)
            onAccept(accepted.back().get());
    }
};

} // namespace testsupport
