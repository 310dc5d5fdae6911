#pragma once

#include "comm/transport/VEKHTTPConnectionContext.h"
#include "comm/transport/VEKTCConnectionContext.h"
#include "tools/broker-sim/BrokerState.h"
#include "tools/broker-sim/Request.h"
#include "tools/testpki/TestPki.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QTcpServer>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class QTcpSocket;

namespace brokersim {

// A server function: reads the request, may change the broker state, answers.
using Handler = std::function<Reply(const Request&, BrokerState&)>;

// The loopback broker: a TC front (binary TC frames, over TLS by default) and
// an HTTP front (POST forms, several per connection) on 127.0.0.1. It answers
// the logon itself and dispatches requests by function to registered handlers;
// the session request (1001 / 2) and the login functions (LoginFunctions.h)
// are registered from the start.
//
// Everything runs on the thread that owns the simulator, handlers included.
// Arming the controls and reading the recorder are guarded, so a test may also
// do those from another thread; the rest (registering functions, touching
// connections, releasing withheld replies) belongs to the owner thread.
class BrokerSimulator : public QObject {
    Q_OBJECT
public:
    struct Options {
        quint16 tcPort = 0; // 0: a free port
        quint16 httpPort = 0;
        bool tcTls = true; // false: the TC front speaks plain TCP
        // The TC front's certificate and key; none makes a throwaway CA and a
        // server certificate for 127.0.0.1 and localhost.
        QSslCertificate certificate = QSslCertificate();
        QSslKey privateKey = QSslKey();
    };

    explicit BrokerSimulator(QObject* parent = nullptr);
    ~BrokerSimulator() override;
    BrokerSimulator(const BrokerSimulator&) = delete;
    BrokerSimulator& operator=(const BrokerSimulator&) = delete;

    // Listens on both fronts; false (see errorString) when either fails.
    bool start(const Options& options);
    bool start() { return start(Options {}); }
    // Stops listening and drops every connection.
    void stop();
    bool isListening() const;
    QString errorString() const { return error_; }
    quint16 tcPort() const;
    quint16 httpPort() const;

    // The throwaway CA and server identity (null when the caller gave its own).
    const testpki::Identity& certificateAuthority() const { return ca_; }
    const testpki::Identity& serverIdentity() const { return server_; }
    // The throwaway CA a client must trust to reach the TC front; empty when
    // the caller gave its own certificate (its CA is the caller's to know).
    QList<QSslCertificate> trustedCertificates() const;

    BrokerState& state() { return state_; }
    const BrokerState& state() const { return state_; }

    // Replaces any handler of the function.
    void registerFunction(quint32 mFunc, quint32 sFunc, Handler handler);
    void unregisterFunction(quint32 mFunc, quint32 sFunc);
    // A web page the HTTP front serves to GET (agreements shown by the
    // client); a GET of any other path is dropped as before.
    void registerPage(const QByteArray& path, const QString& html);
    bool hasFunction(quint32 mFunc, quint32 sFunc) const;
    // The handler of a function, empty when none: a function number that two
    // services share (the terminal id and the quote both are 1000 / 1) wraps
    // the handler already there.
    Handler handlerOf(quint32 mFunc, quint32 sFunc) const;

    // --- Test controls ---
    // Each arms one-shot behaviours for the next requests of a function (or of
    // any function, logon included, with nullopt); a request consumes the
    // oldest behaviour that matches it, at most one.

    // An error row instead of the handler's answer (the handler is not called).
    void answerErrorNext(std::optional<Function> function, qint32 code,
        const std::optional<QString>& message = std::nullopt, int count = 1);
    // Status 100 with an "ok" set; the request after it is answered normally.
    void answerStatus100Once(std::optional<Function> function);
    // Any status with the given payload ("ok" set when empty), handler skipped.
    void answerStatusNext(std::optional<Function> function, quint8 status, const QByteArray& payload = {});
    // No reply; releaseWithheld() sends the withheld replies later.
    void withholdNext(std::optional<Function> function, int count = 1);
    // Writes only the first `bytes` of the next reply, then closes the connection.
    void dropAfterBytesNext(std::optional<Function> function, qsizetype bytes);
    // Status 0 with an empty payload (a client drops such a reply).
    void answerEmptyNext(std::optional<Function> function);
    // Status 0 with a payload that is no record set.
    void answerNotRecordSetNext(std::optional<Function> function, const QByteArray& payload = {});
    // These record sets instead of the handler's answer (handler skipped), in
    // the request's encoding; no tables: a reply that holds no record set.
    void answerTablesNext(std::optional<Function> function, const QList<Table>& tables, int count = 1);
    // Forgets every armed behaviour, the broker's controls included.
    void clearControls();

    // Sends the withheld replies on their connections (those still open).
    int releaseWithheld();
    int withheldCount() const;

    // Connections by id (the recorder gives each request's connection).
    QList<quint64> connectionIds() const;
    int connectionCount() const { return int(connections_.size()); }
    // Writes raw bytes (garbage, half frames...) to a connection.
    bool sendRaw(quint64 connectionId, const QByteArray& bytes);
    // Closes one connection or all of them.
    void dropConnection(quint64 connectionId);
    void dropConnections();

    // --- Recorder: every logon and request received, in order ---
    QList<Request> received() const;
    qsizetype receivedCount() const;
    qsizetype receivedCount(Function function) const;
    // The requests of one function, in order; logons are left out.
    QList<Request> receivedOf(Function function) const;
    void clearReceived();

    // The HTTP front also serves GET kPublicAddressPath, the page that tells a
    // client its public address ("clientIP: <address>\r\n"): the connection's
    // peer address, or the one set here (empty: the peer's again).
    static constexpr char kPublicAddressPath[] = "/register/checkok.jsp";
    void setPublicAddress(const QString& address);

    // A payload that no client reads as record sets.
    static QByteArray notRecordSetPayload();

signals:
    void requestReceived();

private:
    struct Fault {
        enum class Kind { ErrorRow, Status, Withhold, DropAfterBytes, Empty, NotRecordSet, Tables };
        std::optional<Function> function;
        Kind kind = Kind::ErrorRow;
        qint32 code = 0;
        std::optional<QString> message;
        quint8 status = 0;
        QByteArray payload;
        qsizetype bytes = 0;
        QList<Table> tables;
    };
    struct Connection;
    struct Withheld {
        quint64 connectionId;
        QByteArray bytes;
    };
    class Listener;

    void accept(Front front, qintptr descriptor);
    void readFrom(quint64 id);
    void readTc(Connection& c);
    void readHttp(Connection& c);
    bool answerGet(Connection& c, const HTTPRequest& http);
    void serve(Connection& c, Request request);
    std::optional<Fault> takeFault(const Request& request);
    void arm(Fault fault, int count);
    Reply answer(const Request& request);
    std::optional<QByteArray> wireBytes(const Request& request, const Reply& reply) const;
    void write(Connection& c, const QByteArray& bytes);
    // Answers a GET of a registered page; false for any other path.
    bool servePage(Connection& c, const HTTPRequest& http);
    void closeConnection(quint64 id);
    Connection* find(quint64 id);

    std::unique_ptr<Listener> tcServer_;
    std::unique_ptr<Listener> httpServer_;
    bool tcTls_ = true;
    QSslCertificate certificate_;
    QSslKey privateKey_;
    testpki::Identity ca_;
    testpki::Identity server_;
    QString error_;

    BrokerState state_;
    std::map<Function, Handler> handlers_;
    std::map<QByteArray, QByteArray> pages_;
    std::map<quint64, std::unique_ptr<Connection>> connections_;
    quint64 nextConnectionId_ = 1;

    mutable QMutex mutex_; // guards the controls, the withheld replies and the recorder
    std::deque<Fault> faults_;
    std::deque<Withheld> withheld_;
    QList<Request> received_;
    QString publicAddress_;
};

} // namespace brokersim
