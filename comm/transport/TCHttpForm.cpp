#include "comm/transport/TCHttpForm.h"

#include "platform/TextEncoding.h"

namespace {

constexpr qsizetype kMaxForm = 16 * 1024 * 1024;

// Printable ASCII goes as it is, so forms read as they always did (the session
// keeps its braces); only what could split or change a field, or would not
// survive form decoding, is escaped.
bool unreserved(uchar c)
{
    return c > 0x20 && c < 0x7F && c != '&' && c != '=' && c != '%' && c != '+' && c != '#';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<QString> unescape(QByteArrayView text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            bytes.append(text[i]);
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.append(char(high * 16 + low));
        i += 2;
    }
    return platform::decodeText(bytes, platform::TextEncoding::UTF8);
}

QByteArray head(const TCHttpForm::Fields& f)
{
    QByteArray out = "TC_MFUNCNO=" + QByteArray::number(f.mainFunction)
        + "&TC_SFUNCNO=" + QByteArray::number(f.subFunction)
        + "&tc_packageid=" + QByteArray::number(f.packetId) + "&tc_service=" + QByteArray::number(f.service)
        + "&tc_isunicode=" + QByteArray::number(f.encoding) + "&TC_ENCRYPT=" + (f.encrypt ? "36" : "0");
    if (!f.session.isEmpty())
        out += "&TC_SESSION=" + TCHttpForm::escape(QString(QLatin1Char('{') + f.session + QLatin1Char('}')));
    return out;
}

QByteArray compressPair(const TCHttpForm::Fields& f)
{
    return f.supportCompress ? QByteArray("&supportCompress=18") : QByteArray("&supportCompress=0");
}

} // namespace

QByteArray TCHttpForm::escape(QStringView text)
{
    static const char kHex[] = "0123456789ABCDEF";
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    for (const char ch : utf8) {
        const uchar c = uchar(ch);
        if (unreserved(c)) {
            out.append(ch);
        } else {
            out.append('%');
            out.append(kHex[c >> 4]);
            out.append(kHex[c & 15]);
        }
    }
    return out;
}

QByteArray TCHttpForm::escapedBody(QStringView body)
{
    QByteArray out;
    bool first = true;
    for (QStringView pair : body.split(u'&')) {
        if (!first)
            out.append('&');
        first = false;
        const qsizetype eq = pair.indexOf(u'=');
        if (eq < 0) {
            out += escape(pair);
        } else {
            out += escape(pair.first(eq));
            out += '=';
            out += escape(pair.sliced(eq + 1));
        }
    }
    return out;
}

QByteArray TCHttpForm::formText(const Fields& fields)
{
    return head(fields) + '&' + escapedBody(fields.body) + compressPair(fields);
}

QByteArray TCHttpForm::plainTextToEncipher(const Fields& fields)
{
    return escapedBody(fields.body) + compressPair(fields);
}

QByteArray TCHttpForm::encipheredFormText(
    const Fields& fields, qint64 requestLength, const QString& requestData)
{
    return head(fields) + "&TC_REQLENGTH=" + QByteArray::number(requestLength)
        + "&TC_REQDATA=" + escape(requestData);
}

std::optional<TCHttpForm::Pairs> TCHttpForm::decode(QByteArrayView form)
{
    if (form.size() > kMaxForm)
        return std::nullopt;
    Pairs pairs;
    qsizetype start = 0;
    while (start <= form.size()) {
        qsizetype end = form.indexOf('&', start);
        if (end < 0)
            end = form.size();
        const QByteArrayView pair = form.sliced(start, end - start);
        start = end + 1;
        if (pair.isEmpty())
            continue;
        const qsizetype eq = pair.indexOf('=');
        const auto key = unescape(eq < 0 ? pair : pair.first(eq));
        const auto val = eq < 0 ? std::optional<QString>(QString()) : unescape(pair.sliced(eq + 1));
        if (!key || !val)
            return std::nullopt;
        pairs.append({ *key, *val });
    }
    return pairs;
}

std::optional<QString> TCHttpForm::value(const Pairs& pairs, QStringView key)
{
    for (const auto& [k, v] : pairs) {
        if (k == key)
            return v;
    }
    return std::nullopt;
}
