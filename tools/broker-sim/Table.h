#pragma once

#include "comm/recordset/VEKTCRS.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>
#include <initializer_list>
#include <optional>

namespace brokersim {

// Field type codes of the record-set layout that the simulator writes.
enum FieldType : qint32 {
    kBool = 1,
    kInt8 = 2,
    kInt16 = 3,
    kInt32 = 4,
    kInt64 = 5,
    kFloat = 6,
    kDouble = 7,
    kText = 9, // in the reply's encoding
    kBytes = 14,
    kUnicode = 101, // always UTF-16
};

struct Column {
    QString name;
    qint32 type = kText;
    QString desc; // the field's display title (UTF-8, at most 126 bytes); may be empty
};

// One reply record set, independent of the text encoding: the simulator
// encodes it in the encoding the request asked for. Values are QVariants:
// text as QString (or raw bytes as QByteArray), integers, doubles; a null
// QVariant leaves the value empty.
struct Table {
    QString info; // "ok", "error", "etc", a result name, or empty
    QList<Column> columns;
    QList<QVariantList> rows;

    Table& column(const QString& name, qint32 type = kText);
    // A text column with its display title.
    Table& described(const QString& name, const QString& desc);
    Table& row(const QVariantList& values);

    // An info set with no fields: "ok" is what logon replies carry.
    static Table infoOnly(const QString& info);
    // The server's error row: info "error", the message in "ER_String" and the
    // code in "errcode". Without a message the row has no "ER_String" field.
    static Table errorRow(qint32 code, const std::optional<QString>& message = std::nullopt);
};

// A table of text columns, each a (name, display title) pair.
Table describedTable(std::initializer_list<std::pair<const char*, const char*>> columns);

// The record-set encoding a client reads a reply with: 0 GB 18030 and 2 UTF-8
// as asked, any other code UTF-16.
qint32 replyEncodingFor(qint64 requestedEncoding);

// Builds the record set; nullopt when a value does not fit its field (a text
// that the encoding cannot carry, a name of 64 bytes or more, an unknown type).
std::optional<VEKTCRS> toRecordSet(const Table& table, qint32 encoding);
// The reply payload: the record sets back to back; nullopt as above.
std::optional<QByteArray> encodeTables(const QList<Table>& tables, qint32 encoding);

} // namespace brokersim
