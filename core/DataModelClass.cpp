#include "core/DataModelClass.h"

#include "platform/Crypto.h"

bool RequestBody::isSafeValue(std::string_view value)
{
    for (char c : value) {
        if (c < 0x20 || c > 0x7E || c == '&' || c == '=')
            return false;
    }
    return true;
}

namespace {

bool isPrintableAscii(std::string_view text)
{
    for (char c : text) {
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return true;
}

} // namespace

void RequestBody::append(std::string_view piece)
{
    if (piece.empty())
        return;
    if (!text_.empty())
        text_ += '&';
    text_ += piece;
}

void RequestBody::fail(std::string_view what)
{
    if (error_)
        return;
    // The customer knows the field by its label, never by its key: the key
    // goes to the log, the message says what is wrong.
    qWarning().noquote() << "RequestBody: a value that a body cannot carry, for the key"
                         << QLatin1String(what.data(), qsizetype(what.size()));
    error_ = QString::fromUtf8(requestparam::kCannotBeSent);
}

RequestBody::~RequestBody()
{
    text_.resize(text_.capacity());
    platform::secureWipe(text_.data(), text_.size());
}

RequestBody& RequestBody::prefix(std::string_view commonUrl)
{
    // Characters other than ASCII (UTF-8 bytes) are percent-escaped, the
    // request core's rule for texts that may hold them; the server reads the
    // pairs back as UTF-8. Printable ASCII goes as it is, and control
    // characters are refused.
    static const char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    escaped.reserve(commonUrl.size());
    for (const char ch : commonUrl) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80) {
            escaped += '%';
            escaped += kHex[c >> 4];
            escaped += kHex[c & 15];
        } else if (c < 0x20 || c == 0x7F) {
            platform::secureWipe(escaped.data(), escaped.size());
            fail("commonUrl");
            return *this;
        } else {
            escaped += ch;
        }
    }
    append(escaped);
    escaped.resize(escaped.capacity());
    platform::secureWipe(escaped.data(), escaped.size());
    return *this;
}

RequestBody& RequestBody::add(std::string_view key, std::string_view value)
{
    if (key.empty() || !isSafeValue(key) || !isSafeValue(value)) {
        fail(key);
        return *this;
    }
    std::string pair;
    pair.reserve(key.size() + 1 + value.size());
    pair.append(key).append(1, '=').append(value);
    append(pair);
    return *this;
}

RequestBody& RequestBody::add(std::string_view key, qint64 value)
{
    return add(key, std::to_string(value));
}

RequestBody& RequestBody::passThrough(std::string_view pairs)
{
    if (pairs.empty()) {
        text_ += '&';
        return *this;
    }
    return raw(pairs);
}

RequestBody& RequestBody::raw(std::string_view pairs)
{
    if (!isPrintableAscii(pairs))
        fail("raw");
    else
        append(pairs);
    return *this;
}
