#pragma once

#include "tools/broker-sim/Broker.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

namespace brokersim {

struct Request;

// The in-memory broker behind the simulator's functions. It starts with the
// sessions it issued and the terminal ids it knows; server functions added
// later keep their data here too.
class BrokerState {
public:
    static constexpr qsizetype kSessionBytes = 16;

    // A new random session as 32 lower-case hexadecimal digits, remembered
    // together with the terminal id that asked for it.
    QString issueSession(const QString& utid = {});
    // Whether the text names an issued session (case-insensitive).
    bool isIssuedSession(const QString& session) const;
    // Whether the request carries a session this broker issued: TC, the 16
    // session bytes followed by 16 zero bytes; HTTP, the session's hex text.
    bool isValidSession(const Request& request) const;
    // The terminal id the session was issued to; empty when unknown.
    QString utidOfSession(const QString& session) const;
    qsizetype sessionCount() const { return sessions_.size(); }
    // Forgets every session, as a restarted server would.
    void revokeSessions() { sessions_.clear(); }

    // Terminal ids: issued ones (32 upper-case hexadecimal digits) and any a
    // test adds.
    QString issueTerminalId();
    void addTerminalId(const QString& utid) { terminalIds_.insert(utid); }
    bool knowsTerminalId(const QString& utid) const { return terminalIds_.contains(utid); }
    qsizetype terminalIdCount() const { return terminalIds_.size(); }

    // Customers, branches and accounts (the built-in data until replaced).
    Broker& broker() { return broker_; }
    const Broker& broker() const { return broker_; }

private:
    QHash<QByteArray, QString> sessions_; // session bytes -> terminal id
    QSet<QString> terminalIds_;
    Broker broker_;
};

} // namespace brokersim
