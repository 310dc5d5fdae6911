#include "comm/transport/DialTarget.h"

#include "comm/recordset/ServerNumber.h"

#include <QByteArrayView>
#include <QHostAddress>
#include <QUrl>
#include <algorithm>

namespace {

constexpr qsizetype kMaxNameLength = 253;
constexpr qsizetype kMaxLabelLength = 63;

bool isLabelCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isHostName(QByteArrayView name)
{
    if (name.endsWith('.')) // a fully qualified name
        name.chop(1);
    if (name.isEmpty() || name.size() > kMaxNameLength)
        return false;
    QByteArrayView last;
    for (qsizetype from = 0; from <= name.size();) {
        qsizetype dot = name.indexOf('.', from);
        if (dot < 0)
            dot = name.size();
        const QByteArrayView label = name.sliced(from, dot - from);
        if (label.isEmpty() || label.size() > kMaxLabelLength || label.front() == '-' || label.back() == '-'
            || !std::all_of(label.begin(), label.end(), isLabelCharacter))
            return false;
        last = label;
        from = dot + 1;
    }
    return !std::all_of(last.begin(), last.end(), isDigit);
}

} // namespace

std::optional<QString> DialTarget::dialableHost(QStringView text)
{
    const QString host = text.trimmed().toString();
    if (host.isEmpty())
        return std::nullopt;
    // The socket's own parser decides what is an address.
    QHostAddress address;
    if (address.setAddress(host)) {
        // The unspecified address in either form, also mapped ("::ffff:0.0.0.0").
        bool isIPv4 = false;
        const quint32 ipv4 = address.toIPv4Address(&isIPv4);
        if ((isIPv4 && ipv4 == 0) || address == QHostAddress::AnyIPv6)
            return std::nullopt;
        return address.toString();
    }
    if (!isHostName(QUrl::toAce(host)))
        return std::nullopt;
    return host;
}

std::optional<quint16> DialTarget::dialablePort(QStringView text)
{
    // The lists come from the server, whose numbers count by value.
    const std::optional<qint64> port = servernumber::wholeValueOf(text);
    if (!port || *port < 1 || *port > 0xFFFF)
        return std::nullopt;
    return quint16(*port);
}

std::optional<DialTarget> DialTarget::of(QStringView host, QStringView portText)
{
    std::optional<QString> dialled = dialableHost(host);
    const std::optional<quint16> port = dialablePort(portText);
    if (!dialled || !port)
        return std::nullopt;
    return DialTarget { std::move(*dialled), *port };
}
