#include "core/RequestParam.h"

#include "platform/Crypto.h"

#include <QDebug>
#include <QUrl>
#include <mutex>

const char* tagRequestParam::memberName() const
{
    return std::visit(
        [](const auto& member) -> const char* {
            if constexpr (std::is_same_v<std::decay_t<decltype(member)>, std::monostate>)
                return "";
            else
                return std::decay_t<decltype(member)>::kMemberName;
        },
        value);
}

namespace requestparam {

std::optional<QString> textError(const char* field, std::string_view text, std::size_t size)
{
    // The customer sees these: they name no field of the record (its name
    // is the code's, not the form's); the log does.
    if (text.find('\0') != std::string_view::npos) {
        qWarning("RequestParam: a zero byte in the field %s", field);
        return QString::fromUtf8(kCannotBeSent);
    }
    if (size == 0 || text.size() > size - 1) {
        qWarning("RequestParam: too long for the field %s", field);
        return QStringLiteral("输入的内容过长：最多%1个字符").arg(size == 0 ? 0 : size - 1);
    }
    return std::nullopt;
}

std::string percentEscape(const QString& text)
{
    return QUrl::toPercentEncoding(text).toStdString();
}

std::optional<QString> validate(const tagRequestParam& param)
{
    std::optional<QString> error;
    forEachActiveField(
        param,
        [&](const char* name, const std::string& value, std::size_t size, bool) {
            if (!error)
                error = textError(name, value, size);
        },
        [](const char*, auto) {});
    return error;
}

namespace {

QByteArray handleSalt()
{
    static std::once_flag once;
    static QByteArray salt;
    std::call_once(once, [] { salt = platform::randomBytes(32).value_or(QByteArray(32, '\0')); });
    return salt;
}

QString escapeHandleField(QByteArrayView value)
{
    QString out;
    out.reserve(value.size());
    for (char c : value) {
        if (c == '%')
            out += QLatin1String("%25");
        else if (c == '\x1f')
            out += QLatin1String("%1F");
        else
            out += QChar(uchar(c));
    }
    return out;
}

} // namespace

QString handleText(const QString& prefix, const tagRequestParam& param)
{
    QStringList parts;
    if (!prefix.isEmpty())
        parts << prefix;
    forEachActiveField(
        param,
        [&](const char*, const std::string& value, std::size_t, bool secret) {
            const QByteArrayView bytes(value.data(), qsizetype(value.size()));
            if (secret) {
                QByteArray salted = handleSalt();
                salted.append(bytes);
                parts << QLatin1Char('#') + QString::fromLatin1(platform::sha256(salted).toHex());
                platform::secureWipe(salted);
            } else {
                parts << escapeHandleField(bytes);
            }
        },
        [&](const char*, auto integer) { parts << QString::number(integer); });
    return parts.join(QLatin1Char('\x1f'));
}

void wipe(tagRequestParam& param)
{
    forEachActiveField(
        param,
        [](const char*, std::string& value, std::size_t, bool) {
            // Also what an earlier, longer value left behind the end.
            value.resize(value.capacity());
            platform::secureWipe(value.data(), value.size());
            value.clear();
        },
        [](const char*, auto& integer) { integer = 0; });
}

} // namespace requestparam
