#pragma once

#include "comm/transport/TCHttpForm.h"
#include "tools/broker-sim/Table.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <compare>
#include <optional>

namespace brokersim {

enum class Front {
    TC, // binary TC frames (over TLS unless the simulator runs it plain)
    HTTP, // HTTP/1.1 POST forms
};

// A server function: main and sub function number.
struct Function {
    quint32 main = 0;
    quint32 sub = 0;
    friend auto operator<=>(const Function&, const Function&) = default;
};

// The logon frame carries no function numbers: its zero fields make it 0 / 0,
// so the test controls address it as this.
inline constexpr Function kLogon { 0, 0 };
// The session request of the client's request layer.
inline constexpr Function kSessionFunction { 1001, 2 };

// One request as the simulator read it off the wire.
struct Request {
    Front front = Front::TC;
    quint64 connectionId = 0;
    bool logon = false; // a TC logon frame rather than a request
    Function function;
    qint64 packetId = 0;
    quint32 service = 0;
    qint64 encoding = 0; // the code the request asked for (0 GB 18030, 1 UTF-16, 2 UTF-8)
    bool encrypted = false;
    bool acceptsCompressed = false;

    // TC: the session field is not all zero; HTTP: the form has TC_SESSION.
    bool hasSession = false;
    // TC: the 32 bytes of the session field (zero when absent); HTTP: empty.
    QByteArray sessionBytes;
    // Hexadecimal text: TC, the field's bytes without the zero padding after
    // byte 16; HTTP, the TC_SESSION value without its braces.
    QString session;

    // The body's pairs in order, and the body as it came (TC: the payload; HTTP:
    // the form's pairs between the TC fields and supportCompress, as sent).
    TCHttpForm::Pairs body;
    QByteArray rawBody;

    // The logon's two texts (TC logon only).
    QByteArray logonUser;
    QByteArray logonPassword;

    // The value of the first body pair with that key.
    std::optional<QString> value(QStringView key) const { return TCHttpForm::value(body, key); }
    QString valueOr(QStringView key, const QString& fallback = {}) const
    {
        return value(key).value_or(fallback);
    }
    // The record-set encoding the reply must use.
    qint32 replyEncoding() const { return replyEncodingFor(encoding); }
};

// A handler's answer: a status and either tables (encoded by the simulator in
// the request's encoding) or raw payload bytes.
struct Reply {
    quint8 status = 0;
    QList<Table> tables;
    std::optional<QByteArray> payload; // sent as it is, instead of the tables

    static Reply withTables(QList<Table> tables, quint8 status = 0)
    {
        Reply r;
        r.status = status;
        r.tables = std::move(tables);
        return r;
    }
    static Reply withTable(Table table, quint8 status = 0)
    {
        return withTables({ std::move(table) }, status);
    }
    static Reply raw(QByteArray payload, quint8 status = 0)
    {
        Reply r;
        r.status = status;
        r.payload = std::move(payload);
        return r;
    }
    static Reply error(qint32 code, const std::optional<QString>& message = std::nullopt)
    {
        return withTable(Table::errorRow(code, message));
    }
    // Status 100: the client fetches a new session and sends the request again.
    static Reply sessionNeeded() { return withTable(Table::infoOnly(QStringLiteral("ok")), 100); }
};

} // namespace brokersim
