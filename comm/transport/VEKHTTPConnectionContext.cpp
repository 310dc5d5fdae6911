#include "comm/transport/VEKHTTPConnectionContext.h"

#include <QString>
#include <algorithm>
#include <limits>

namespace {

const char kDefaultHeader[] = "POST / HTTP/1.1\r\nUser-Agent:VEK ios Client\r\nContent-Language:en-US\r\n"
                              "Content-Type:application/x-www-form-urlencoded\r\n";
const QByteArrayView kStatusMark = "HTTP/";
const QByteArrayView kEmptyLine = "\r\n\r\n";
const QByteArrayView kLengthName = "Content-Length";
const QByteArrayView kLengthDummy = "abcdefgaaaaaaa";

char upper(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

bool matchesAt(QByteArrayView haystack, qsizetype at, QByteArrayView needle)
{
    if (at < 0 || haystack.size() - at < needle.size())
        return false;
    for (qsizetype i = 0; i < needle.size(); ++i) {
        if (upper(haystack[at + i]) != upper(needle[i]))
            return false;
    }
    return true;
}

qsizetype indexOfCaseInsensitive(QByteArrayView haystack, QByteArrayView needle, qsizetype from = 0)
{
    for (qsizetype i = std::max<qsizetype>(from, 0); i + needle.size() <= haystack.size(); ++i) {
        if (matchesAt(haystack, i, needle))
            return i;
    }
    return -1;
}

// The integer a text starts with, as the servers' clients read numbers: white
// space, an optional sign, digits up to the first other character; saturating.
qint64 integerValue(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    qint64 value = 0;
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        const int digit = text[i].unicode() - u'0';
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    return negative ? -value : value;
}

// Only plain digits make a length: no sign, no trailing text.
std::optional<qint64> strictLength(QByteArrayView digits)
{
    if (digits.isEmpty() || digits.size() > 18)
        return std::nullopt;
    qint64 value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > VEKHTTPConnectionContext::kMaxContentLength)
        return std::nullopt;
    return value;
}

} // namespace

VEKHTTPConnectionContext::VEKHTTPConnectionContext(VEKConnectionContextDelegate* delegate)
    : VEKConnectionContext(delegate)
{
}

QByteArray VEKHTTPConnectionContext::httpHeader()
{
    if (!header_)
        header_ = QByteArray(kDefaultHeader);
    return *header_;
}

void VEKHTTPConnectionContext::setHttpHeader(const QByteArray& header)
{
    header_ = header;
}

QByteArray VEKHTTPConnectionContext::construcData(const QByteArray& data)
{
    QByteArray head = httpHeader();
    // Every length in a supplied head is renamed, so the request carries exactly one.
    for (qsizetype at = indexOfCaseInsensitive(head, kLengthName); at >= 0;
         at = indexOfCaseInsensitive(head, kLengthName, at + kLengthName.size()))
        head.replace(at, kLengthName.size(), kLengthDummy.data(), kLengthDummy.size());
    if (!head.isEmpty() && !head.endsWith("\r\n"))
        head += "\r\n";
    return head + "Content-Length:" + QByteArray::number(data.size()) + "\r\n\r\n" + data;
}

void VEKHTTPConnectionContext::resetData()
{
    clearReceiveBuffer();
    step_ = SeekSync;
    headScanned_ = 0;
    headLength_ = 0;
    contentLength_ = 0;
    flags_ = {};
}

std::optional<quint64> VEKHTTPConnectionContext::incompletePacketId() const
{
    if (step_ != Body)
        return std::nullopt;
    return quint64(flags_.packetid);
}

quint32 VEKHTTPConnectionContext::findSync()
{
    const QByteArrayView view = unread();
    const qsizetype at = indexOfCaseInsensitive(view, kStatusMark);
    if (at >= 0) {
        consume(at);
        step_ = Header;
        headScanned_ = 0;
        return kStepDone;
    }
    // Keep a tail that may be the start of a status line split over two reads.
    qsizetype keep = std::min<qsizetype>(view.size(), kStatusMark.size() - 1);
    while (keep > 0 && !matchesAt(kStatusMark, 0, view.last(keep)))
        --keep;
    consume(view.size() - keep);
    return 0;
}

quint32 VEKHTTPConnectionContext::findHeader()
{
    const QByteArrayView view = unread();
    const QByteArrayView window = view.first(std::min(view.size(), kMaxHeadLength));
    const qsizetype at = window.indexOf(kEmptyLine, std::max<qsizetype>(0, headScanned_ - 3));
    if (at < 0) {
        if (view.size() >= kMaxHeadLength) {
            // This head can never end within the bound: drop it and look further on.
            consume(kMaxHeadLength);
            step_ = SeekSync;
        } else {
            headScanned_ = view.size();
        }
        return 0;
    }
    const qsizetype headEnd = at + kEmptyLine.size();
    const QString head = QString::fromUtf8(view.first(at));
    std::optional<QStringView> etagLine;
    std::optional<QStringView> lengthLine;
    for (QStringView line : QStringView(head).split(QStringLiteral("\r\n"))) {
        if (line.contains(QLatin1String("etag"), Qt::CaseInsensitive))
            etagLine = line;
        else if (line.contains(QLatin1String("Content-Length"), Qt::CaseInsensitive))
            lengthLine = line;
        if (etagLine && lengthLine)
            break;
    }
    // A reply without a usable etag is read with no packet id and no status.
    flags_ = {};
    if (etagLine) {
        if (auto parsed = parseEtag(*etagLine))
            flags_ = *parsed;
    }
    const auto length = lengthLine ? parseContentLength(*lengthLine) : std::nullopt;
    if (!length) {
        consume(headEnd);
        step_ = SeekSync;
        return 0;
    }
    contentLength_ = *length;
    headLength_ = headEnd;
    step_ = Body;
    return kStepDone;
}

quint32 VEKHTTPConnectionContext::findBody()
{
    const qint64 present = unread().size() - headLength_;
    if (present < contentLength_)
        return quint32(present);
    step_ = Complete;
    return kStepDone;
}

std::optional<QByteArray> VEKHTTPConnectionContext::checkResponse(
    VEKContextError* error, VEKPacketFlag* flags)
{
    // Each pass either waits for bytes (and returns) or consumes some.
    for (;;) {
        bool waiting = false;
        switch (step_) {
        case SeekSync:
            waiting = findSync() != kStepDone;
            break;
        case Header:
            waiting = findHeader() != kStepDone && step_ == Header;
            break;
        case Body:
            waiting = findBody() != kStepDone;
            break;
        default: {
            QByteArray body = unread().sliced(headLength_, contentLength_).toByteArray();
            consume(headLength_ + contentLength_);
            if (flags)
                *flags = flags_;
            step_ = SeekSync;
            return body;
        }
        }
        if (waiting) {
            if (error)
                *error = lessData();
            return std::nullopt;
        }
    }
}

std::optional<VEKPacketFlag> VEKHTTPConnectionContext::parseEtag(QStringView line)
{
    const auto parts = line.split(u':');
    if (parts.size() != 2)
        return std::nullopt;
    const auto items = parts[1].split(u',');
    if (items.size() <= 5)
        return std::nullopt;
    VEKPacketFlag flags;
    flags.status = integerValue(items[0]);
    flags.packetid = integerValue(items[1]);
    flags.compressed = integerValue(items[2]) == 18;
    flags.encryted = integerValue(items[3]) == 36;
    return flags;
}

std::optional<qint64> VEKHTTPConnectionContext::parseContentLength(QStringView line)
{
    const auto parts = line.split(u':');
    if (parts.size() != 2)
        return std::nullopt;
    return strictLength(parts[1].trimmed().toLatin1());
}

QByteArray VEKHTTPConnectionContext::replyBytes(const VEKPacketFlag& flags, QByteArrayView body)
{
    QByteArray out = "HTTP/1.1 200 OK\r\netag: " + QByteArray::number(flags.status) + ','
        + QByteArray::number(flags.packetid) + ',' + QByteArray(flags.compressed ? "18" : "0") + ','
        + QByteArray(flags.encryted ? "36" : "0")
        + ",0,0\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n";
    out.append(body);
    return out;
}

// ---- server side

std::optional<QByteArray> HTTPRequest::header(QByteArrayView name) const
{
    for (const auto& [key, value] : headers) {
        if (key.size() == name.size() && matchesAt(key, 0, name))
            return value;
    }
    return std::nullopt;
}

void VEKHTTPRequestReader::append(QByteArrayView bytes)
{
    if (failed_)
        return;
    // Before its head ends, a request never needs more than the head bound;
    // after, the body bound applies.
    if (buffer_.size() + bytes.size()
        > VEKHTTPConnectionContext::kMaxHeadLength + VEKHTTPConnectionContext::kMaxContentLength) {
        failed_ = true;
        buffer_.clear();
        return;
    }
    buffer_.append(bytes);
}

std::optional<HTTPRequest> VEKHTTPRequestReader::next()
{
    if (failed_)
        return std::nullopt;
    qsizetype skip = 0;
    while (skip < buffer_.size() && (buffer_[skip] == '\0' || buffer_[skip] == '\r' || buffer_[skip] == '\n'))
        ++skip;
    if (skip > 0) {
        buffer_.remove(0, skip);
        scanned_ = 0;
    }
    const QByteArrayView window
        = QByteArrayView(buffer_).first(std::min(buffer_.size(), VEKHTTPConnectionContext::kMaxHeadLength));
    const qsizetype at = window.indexOf(kEmptyLine, std::max<qsizetype>(0, scanned_ - 3));
    if (at < 0) {
        if (buffer_.size() >= VEKHTTPConnectionContext::kMaxHeadLength) {
            failed_ = true;
            buffer_.clear();
        } else {
            scanned_ = buffer_.size();
        }
        return std::nullopt;
    }
    HTTPRequest request;
    const QList<QByteArray> lines = buffer_.first(at).split('\n');
    qint64 length = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        if (i == 0) {
            request.requestLine = line;
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0) {
            failed_ = true;
            return std::nullopt;
        }
        request.headers.append({ line.first(colon), line.sliced(colon + 1).trimmed() });
        if (matchesAt(line, 0, kLengthName) && colon == kLengthName.size()) {
            const auto parsed = strictLength(request.headers.last().second);
            if (!parsed) {
                failed_ = true;
                return std::nullopt;
            }
            length = *parsed;
        }
    }
    const qsizetype headEnd = at + kEmptyLine.size();
    if (buffer_.size() - headEnd < length) {
        scanned_ = at;
        return std::nullopt;
    }
    request.body = buffer_.sliced(headEnd, length);
    buffer_.remove(0, headEnd + length);
    scanned_ = 0;
    return request;
}
