#pragma once

// Shared pieces of the connection tests: a request layer that frames bodies
// as TC frames, a delegate that writes down every call, and server-side frame
// reading.
#include "comm/recordset/VEKBase64.h"
#include "comm/transport/VEKConnection.h"
#include "comm/transport/VEKHTTPConnectionContext.h"
#include "comm/transport/VEKTCConnectionContext.h"
#include "support/LoopbackServer.h"
#include "support/LoopbackSocketRecorder.h"
#include "support/Spin.h"

#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace connectiontest {

// Frames each request body as a TC request, or sends it as the form of an
// HTTP one; a body "skip" gives no bytes.
class FrameBuilder : public VEKConnectionContextDelegate {
public:
    std::optional<QByteArray> contextBuildRequest(
        VEKConnectionContext& context, const QByteArray& request, const VEKPacketFlag& flags) override
    {
        if (request == "skip")
            return std::nullopt;
        auto* tc = dynamic_cast<VEKTCConnectionContext*>(&context);
        if (!tc)
            return request;
        return tc->requestDataWithMainFunction(1, 2, std::nullopt, request, quint32(request.size()), flags);
    }
    std::optional<VEKResponse> contextParseRespone(
        VEKConnectionContext&, const QByteArray& payload, const VEKPacketFlag& flags) override
    {
        return VEKResponse(payload, quint64(flags.status), quint64(flags.packetid));
    }
};

// Writes down every delegate call as a line; answers the proxy and TLS
// questions from its fields.
class Recorder : public VEKConnectionDelegate {
public:
    QStringList events;
    std::vector<VEKResponse> responses;
    std::vector<std::set<quint64>> timeouts;
    std::vector<std::optional<StreamSocketError>> proxyErrors;
    std::optional<StreamSocketError> disconnectError;
    QList<QByteArray> written;
    QList<int> writesInFlightAtWrite;
    qsizetype bytesRead = 0;
    bool disconnected = false;
    std::optional<bool> ready;
    std::optional<bool> secured;

    std::optional<QString> proxyAddress;
    std::optional<quint16> proxyPort;
    std::optional<QString> proxyUser;
    std::optional<QString> proxyPassword;
    bool encodesBase64 = true;
    std::optional<QVariantMap> sslSettings;
    std::function<void(VEKConnection&)> onDisconnected;
    std::function<void(VEKConnection&, const VEKResponse&)> onResponse;

    void connectionDidConnectedToIP(VEKConnection&, const QString& host, quint16 port) override
    {
        events << QStringLiteral("connected %1:%2").arg(host).arg(port);
    }
    void connectionWillDisconnetWithError(
        VEKConnection&, const std::optional<StreamSocketError>& error) override
    {
        events << QStringLiteral("willDisconnect");
        disconnectError = error;
    }
    void connectionDidDisconnected(VEKConnection& c) override
    {
        events << QStringLiteral("didDisconnect");
        disconnected = true;
        if (onDisconnected)
            onDisconnected(c);
    }
    void connectionDidWriteData(VEKConnection& c, const QByteArray& data) override
    {
        written << data;
        writesInFlightAtWrite << c.writesInFlight();
    }
    void connectionDidReadData(VEKConnection&, const QByteArray& data) override { bytesRead += data.size(); }
    void connectionDidRecievedResponse(VEKConnection& c, const VEKResponse& response) override
    {
        events << QStringLiteral("response %1").arg(response.packetid());
        responses.push_back(response);
        if (onResponse)
            onResponse(c, response);
    }
    void connectionSendPacketsTimeout(VEKConnection&, const std::set<quint64>& ids) override
    {
        QStringList list;
        for (quint64 id : ids)
            list << QString::number(id);
        events << QStringLiteral("timeout %1").arg(list.join(','));
        timeouts.push_back(ids);
    }
    std::optional<QString> connectionConnectProxyAddress(VEKConnection&) override { return proxyAddress; }
    std::optional<quint16> connectionConnectProxyPort(VEKConnection&) override { return proxyPort; }
    std::optional<QString> connectionConnectProxyUser(VEKConnection&) override { return proxyUser; }
    std::optional<QString> connectionConnectProxyPassword(VEKConnection&) override { return proxyPassword; }
    std::optional<QString> connectionBase64EncodeString(VEKConnection&, const QString& text) override
    {
        if (!encodesBase64)
            return std::nullopt;
        events << QStringLiteral("base64");
        return VEKBase64::stringByEncodingData(text.toUtf8());
    }
    void connectionProxyError(VEKConnection&, const std::optional<StreamSocketError>& error) override
    {
        events << QStringLiteral("proxyError");
        proxyErrors.push_back(error);
    }
    std::optional<QVariantMap> connectionSSLSetting(VEKConnection&) override { return sslSettings; }
    void connectionDidSSLSecure(VEKConnection&, bool ok) override
    {
        events << QStringLiteral("secure %1").arg(ok);
        secured = ok;
    }
    void connectionDidConnectedReady(VEKConnection&, bool ok) override
    {
        events << QStringLiteral("ready %1").arg(ok);
        ready = ok;
    }
};

// The TLS settings the request layer passes: lenient on paper; the socket
// verifies all the same.
inline QVariantMap lenientTls()
{
    return { { kCFStreamSSLAllowsExpiredCertificates, true }, { kCFStreamSSLAllowsAnyRoot, true },
        { kCFStreamSSLValidatesCertificateChain, false } };
}

// The frames in the bytes a server received (heartbeat bytes are skipped).
inline std::vector<TCFrame> framesIn(const QByteArray& bytes)
{
    VEKTCConnectionContext reader;
    reader.receiveData(bytes);
    std::vector<TCFrame> frames;
    while (auto frame = reader.readFrame())
        frames.push_back(*frame);
    return frames;
}

inline QByteArray replyTo(quint64 packetId, const QByteArray& payload, qint64 status = 0)
{
    return *VEKTCConnectionContext::replyFrame({ status, qint64(packetId), false, false }, payload);
}

// The two framings of a connection, from the server's side.
enum class Framing { TC, HTTP };

inline size_t requestsIn(Framing framing, const QByteArray& bytes)
{
    if (framing == Framing::TC)
        return framesIn(bytes).size();
    VEKHTTPRequestReader reader;
    reader.append(bytes);
    size_t count = 0;
    while (reader.next())
        ++count;
    return count;
}

inline QByteArray replyTo(Framing framing, quint64 packetId, const QByteArray& payload)
{
    if (framing == Framing::TC)
        return replyTo(packetId, payload);
    return VEKHTTPConnectionContext::replyBytes({ 0, qint64(packetId), false, false }, payload);
}

// Every packet id a connection reported as timed out.
inline std::set<quint64> reported(const Recorder& recorder)
{
    std::set<quint64> ids;
    for (const std::set<quint64>& batch : recorder.timeouts)
        ids.insert(batch.begin(), batch.end());
    return ids;
}

inline VEKRequest request(const QByteArray& body)
{
    return VEKRequest(QStringLiteral("test"), body, nullptr);
}

// A connection with a TC (or HTTP) context and short intervals.
struct Rig {
    FrameBuilder builder;
    Recorder recorder;
    std::unique_ptr<VEKConnection> connection;

    explicit Rig(double batch = 0.1, double heartbeat = 30.0, Framing framing = Framing::TC)
        : connection(std::make_unique<VEKConnection>(context(framing, builder), &recorder, batch, heartbeat))
    {
    }
    static std::unique_ptr<VEKConnectionContext> context(Framing framing, FrameBuilder& builder)
    {
        if (framing == Framing::HTTP)
            return std::make_unique<VEKHTTPConnectionContext>(&builder);
        return std::make_unique<VEKTCConnectionContext>(&builder);
    }
    VEKConnection& operator*() { return *connection; }
    VEKConnection* operator->() { return connection.get(); }
};

// One row's steps, run side by side with other rows' (runSideBySide), so
// that rows that each wait for the real time-out batch do not add up. A step
// waits for its condition; an action is a step that holds at once. What a
// step finds wrong carries the row's name.
class Script {
public:
    explicit Script(std::string name)
        : name_(std::move(name))
    {
    }
    Script& await(std::string what, std::function<bool()> condition)
    {
        steps_.push_back({ std::move(what), std::move(condition) });
        return *this;
    }
    Script& then(std::function<void()> action)
    {
        steps_.push_back({ "an action", [action = std::move(action)] {
                              action();
                              return true;
                          } });
        return *this;
    }
    // Runs the steps that hold now; true once every one has.
    bool advance()
    {
        const testing::ScopedTrace trace(__FILE__, __LINE__, name_);
        while (next_ < steps_.size() && steps_[next_].holds())
            ++next_;
        return done();
    }
    bool done() const { return next_ == steps_.size(); }
    const std::string& name() const { return name_; }
    const std::string& awaited() const { return steps_[next_].what; }

private:
    struct Step {
        std::string what;
        std::function<bool()> holds;
    };
    std::string name_;
    std::vector<Step> steps_;
    size_t next_ = 0;
};

// Spins the loop until every script has run through; one that has not by the
// deadline fails, naming what it still waits for.
inline bool runSideBySide(const std::vector<Script*>& scripts, std::chrono::milliseconds deadline)
{
    const bool all = testsupport::spinUntil(
        [&] {
            bool done = true;
            for (Script* script : scripts)
                done = script->advance() && done;
            return done;
        },
        deadline);
    for (const Script* script : scripts) {
        if (!script->done())
            ADD_FAILURE() << script->name() << ": still waiting for " << script->awaited();
    }
    return all;
}

} // namespace connectiontest
