#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>
#include <optional>
#include <utility>

// The form text of one request on an HTTP connection: the TC fields, the
// body's own pairs and supportCompress, joined by "&".
//
// Keys and values are percent-escaped pair by pair (RFC 3986 unreserved
// characters stay, everything else becomes %XX of its UTF-8 bytes), so an "&",
// "=" or "+" inside a value can never add or change a field. A body of plain
// ASCII pairs comes out as written.
class TCHttpForm {
public:
    struct Fields {
        quint64 mainFunction = 0;
        quint64 subFunction = 0;
        qint64 packetId = 0;
        quint64 service = 300;
        quint64 encoding = 0; // reply encoding: 0 GB 18030, 1 UTF-16, 2 UTF-8
        bool encrypt = false;
        QString session; // the stored session; empty when none is stored
        QString body; // pairs of key, "=" and value joined by "&"
        bool supportCompress = false;
    };
    using Pairs = QList<std::pair<QString, QString>>;

    static QByteArray formText(const Fields& fields);
    // The enciphered form: the body and its supportCompress pair are replaced
    // by TC_REQLENGTH and TC_REQDATA (the Base64 of the enciphered text).
    static QByteArray encipheredFormText(
        const Fields& fields, qint64 requestLength, const QString& requestData);
    // What the enciphered form carries inside TC_REQDATA before enciphering:
    // the escaped body and its supportCompress pair. TC_REQLENGTH is the length
    // of the escaped body alone (escapedBody(fields.body).size()).
    static QByteArray plainTextToEncipher(const Fields& fields);

    static QByteArray escape(QStringView text);
    // Splits at "&", each pair at its first "=", and escapes both sides.
    static QByteArray escapedBody(QStringView body);

    // The server side: form text to its ordered pairs. Empty pairs are
    // skipped; "+" stays "+". nullopt for a bad escape, text that is not
    // UTF-8, or a form above 16 MiB.
    static std::optional<Pairs> decode(QByteArrayView form);
    // The value of the first pair with that key.
    static std::optional<QString> value(const Pairs& pairs, QStringView key);
};
