#include "comm/transport/VEKTCConnectionContext.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace {

// Offsets of the frame's fields.
enum : qsizetype {
    kOffMagic = 5,
    kOffVersion = 9,
    kOffReserved11 = 11,
    kOffPacketId = 13,
    kOffLength = 17,
    kOffReserved21 = 21,
    kOffType = 37,
    kOffService = 39,
    kOffReserved41 = 41,
    kOffCompress = 43,
    kOffEncrypt = 44,
    kOffStatus = 45,
    kOffSession = 46,
    kOffMainFunction = 78,
    kOffSubFunction = 80,
    kOffEncoding = 82,
    kOffOriginLength = 90,
    kOffChecksum = 94,
};
constexpr qsizetype kSessionLength = 32;
constexpr qsizetype kLogonShortField = 16;
constexpr qsizetype kLogonLongField = 32;
constexpr char kMagic[] = { 'V', 'E', 'K', ' ' };

const uchar* bytesOf(QByteArrayView view)
{
    return reinterpret_cast<const uchar*>(view.data());
}

template <class T> T readLE(QByteArrayView view, qsizetype offset)
{
    if (offset < 0 || view.size() < offset + qsizetype(sizeof(T)))
        return 0;
    return qFromLittleEndian<T>(view.data() + offset);
}

template <class T> void writeLE(char* base, qsizetype offset, T value)
{
    qToLittleEndian<T>(value, base + offset);
}

// The zeroed header with the fixed marks.
void initHeader(char* header)
{
    std::memset(header, 0, size_t(VEKTCConnectionContext::kHeaderLength));
    std::memset(header, 0xFF, size_t(VEKTCConnectionContext::kSyncLength));
    std::memcpy(header + kOffMagic, kMagic, sizeof kMagic);
    writeLE<quint16>(header, kOffVersion, VEKTCConnectionContext::kVersion);
}

// A text into a fixed field: copied with its terminating zero, cut to fit.
void putText(char* field, qsizetype width, QByteArrayView text)
{
    const qsizetype n = std::min(text.size(), width - 1);
    std::memcpy(field, text.data(), size_t(n));
    std::memset(field + n, 0, size_t(width - n));
}

QByteArray textOf(QByteArrayView field)
{
    const qsizetype end = field.indexOf('\0');
    return field.first(end < 0 ? field.size() : end).toByteArray();
}

constexpr qsizetype kMaxLengthField
    = VEKTCConnectionContext::kBodyHeaderLength + VEKTCConnectionContext::kMaxPayload;

} // namespace

VEKTCConnectionContext::VEKTCConnectionContext(VEKConnectionContextDelegate* delegate)
    : VEKConnectionContext(delegate)
{
}

quint16 VEKTCConnectionContext::getChecksumWithByte(const void* bytes, qsizetype length)
{
    if (!bytes || length <= 0)
        return 0;
    const uchar* p = static_cast<const uchar*>(bytes);
    quint32 sum = 0;
    qsizetype i = 0;
    for (; i + 1 < length; i += 2)
        sum += quint32(p[i]) | (quint32(p[i + 1]) << 8);
    if (i < length)
        sum += quint32(p[i]) << 8; // the odd last byte is the high byte of its word
    return quint16(sum);
}

std::optional<QByteArray> VEKTCConnectionContext::frameBytes(const TCFrame& frame)
{
    if (frame.payload.size() > kMaxPayload)
        return std::nullopt;
    QByteArray out(kHeaderLength + frame.payload.size(), Qt::Uninitialized);
    char* h = out.data();
    initHeader(h);
    writeLE<quint16>(h, kOffReserved11, frame.reserved11);
    writeLE<quint32>(h, kOffPacketId, frame.packetId);
    writeLE<quint32>(h, kOffLength, quint32(kBodyHeaderLength + frame.payload.size()));
    writeLE<quint32>(h, kOffReserved21, frame.reserved21);
    writeLE<quint16>(h, kOffType, frame.type);
    writeLE<quint16>(h, kOffService, frame.service);
    writeLE<quint16>(h, kOffReserved41, frame.reserved41);
    h[kOffCompress] = char(frame.compressFlag);
    h[kOffEncrypt] = char(frame.encryptFlag);
    h[kOffStatus] = char(frame.status);
    std::memcpy(
        h + kOffSession, frame.session.constData(), size_t(std::min(frame.session.size(), kSessionLength)));
    writeLE<quint16>(h, kOffMainFunction, frame.mainFunction);
    writeLE<quint16>(h, kOffSubFunction, frame.subFunction);
    h[kOffEncoding] = char(frame.encoding);
    writeLE<quint32>(h, kOffOriginLength, frame.originLength);
    writeLE<quint16>(h, kOffChecksum, getChecksumWithByte(frame.payload.constData(), frame.payload.size()));
    if (!frame.payload.isEmpty())
        std::memcpy(h + kHeaderLength, frame.payload.constData(), size_t(frame.payload.size()));
    return out;
}

std::optional<QByteArray> VEKTCConnectionContext::replyFrame(
    const VEKPacketFlag& flags, QByteArrayView payload)
{
    if (flags.status < 0 || flags.status > 0xFF || flags.packetid < 0 || flags.packetid > 0xFFFFFFFFLL)
        return std::nullopt;
    TCFrame frame;
    frame.type = TCFrame::kTypeRequest;
    frame.packetId = quint32(flags.packetid);
    frame.status = quint8(flags.status);
    frame.compressFlag = flags.compressed ? TCFrame::kCompressFlag : 0;
    frame.encryptFlag = flags.encryted ? TCFrame::kEncryptFlag : 0;
    frame.payload = payload.toByteArray();
    return frameBytes(frame);
}

QByteArray VEKTCConnectionContext::sendLoginWithPacketId(qint64 packetId)
{
    TCFrame frame;
    frame.type = TCFrame::kTypeLogon;
    frame.packetId = quint32(packetId); // ids come from a counter starting at 1
    frame.originLength = quint32(kLogonShortField + kLogonLongField);
    frame.payload = QByteArray(kLogonShortField + kLogonLongField, '\0');
    putText(frame.payload.data(), kLogonShortField, kLogonText);
    putText(frame.payload.data() + kLogonShortField, kLogonLongField, kLogonText);
    return *frameBytes(frame);
}

std::optional<std::pair<QByteArray, QByteArray>> VEKTCConnectionContext::parseLogonPayload(
    QByteArrayView payload)
{
    if (payload.size() != kLogonShortField + kLogonLongField)
        return std::nullopt;
    return std::pair { textOf(payload.first(kLogonShortField)), textOf(payload.sliced(kLogonShortField)) };
}

void VEKTCConnectionContext::sendBufferCreatWithSericeID(quint16 service, quint8 encoding)
{
    char* h = sendBuffer_.resetLength(kHeaderLength);
    initHeader(h);
    writeLE<quint16>(h, kOffType, TCFrame::kTypeRequest);
    writeLE<quint16>(h, kOffService, service);
    h[kOffEncoding] = char(encoding);
}

std::optional<QByteArray> VEKTCConnectionContext::requestDataWithMainFunction(quint16 mainFunction,
    quint16 subFunction, std::optional<QByteArrayView> session, QByteArrayView data, quint32 originDataLength,
    const VEKPacketFlag& flags)
{
    if (data.size() > kMaxPayload || flags.packetid < 0 || flags.packetid > 0xFFFFFFFFLL)
        return std::nullopt;
    // Without a fresh header the request goes to service 300 in encoding 0.
    if (sendBuffer_.length() < kHeaderLength)
        sendBufferCreatWithSericeID(300, 0);
    char* h = sendBuffer_.resetLength(kHeaderLength);
    writeLE<quint32>(h, kOffPacketId, quint32(flags.packetid));
    writeLE<quint32>(h, kOffLength, quint32(kBodyHeaderLength + data.size()));
    writeLE<quint16>(h, kOffMainFunction, mainFunction);
    writeLE<quint16>(h, kOffSubFunction, subFunction);
    std::memset(h + kOffSession, 0, size_t(kSessionLength));
    if (session)
        std::memcpy(h + kOffSession, session->data(), size_t(std::min(session->size(), kSessionLength)));
    h[kOffEncrypt] = char(flags.encryted ? TCFrame::kEncryptFlag : 0);
    h[kOffCompress] = char(flags.compressed ? TCFrame::kCompressFlag : 0);
    h[kOffStatus] = 0;
    writeLE<quint32>(h, kOffOriginLength, originDataLength);
    writeLE<quint16>(h, kOffChecksum, getChecksumWithByte(data.data(), data.size()));
    if (!sendBuffer_.appendData(data))
        return std::nullopt;
    return QByteArray(sendBuffer_.base(), sendBuffer_.length());
}

QByteArray VEKTCConnectionContext::construcData(const QByteArray& data)
{
    return data;
}

void VEKTCConnectionContext::resetData()
{
    clearReceiveBuffer();
    step_ = SeekSync;
    frameLength_ = 0;
}

std::optional<quint64> VEKTCConnectionContext::incompletePacketId() const
{
    if (step_ != Body)
        return std::nullopt;
    return readLE<quint32>(unread(), kOffPacketId);
}

quint32 VEKTCConnectionContext::findSync()
{
    const QByteArrayView view = unread();
    const uchar* p = bytesOf(view);
    const qsizetype n = view.size();
    qsizetype pos = 0;
    for (;;) {
        const void* hit = pos < n ? std::memchr(p + pos, 0xFF, size_t(n - pos)) : nullptr;
        if (!hit) {
            consume(n);
            return 0;
        }
        pos = static_cast<const uchar*>(hit) - p;
        if (n - pos < kSyncLength) {
            consume(pos); // keep a possible sync start until more bytes come
            return 0;
        }
        if (p[pos + 1] == 0xFF && p[pos + 2] == 0xFF && p[pos + 3] == 0xFF && p[pos + 4] == 0xFF) {
            consume(pos);
            step_ = Header;
            return kStepDone;
        }
        ++pos;
    }
}

quint32 VEKTCConnectionContext::findHeader()
{
    const QByteArrayView view = unread();
    // A magic byte that differs shows a false start (a stray 0xFF before a
    // sync makes one) before the header is whole: the frame in progress then
    // starts at its own sync, never at bytes that came before it.
    const qsizetype magicIn = std::clamp<qsizetype>(view.size() - kOffMagic, 0, qsizetype(sizeof kMagic));
    const bool magicSoFar
        = magicIn == 0 || std::memcmp(view.data() + kOffMagic, kMagic, size_t(magicIn)) == 0;
    if (magicSoFar && view.size() < kPreambleLength)
        return 0;
    const quint32 length = readLE<quint32>(view, kOffLength);
    const bool valid = magicSoFar && readLE<quint16>(view, kOffVersion) == kVersion
        && length >= kBodyHeaderLength && length <= kMaxLengthField;
    if (!valid) {
        // A false start: look for the next sync one byte further on.
        consume(1);
        step_ = SeekSync;
        return 0;
    }
    frameLength_ = kPreambleLength + qsizetype(length);
    step_ = Body;
    return kStepDone;
}

quint32 VEKTCConnectionContext::findBody()
{
    if (unread().size() < frameLength_)
        return 0;
    step_ = Complete;
    return kStepDone;
}

bool VEKTCConnectionContext::checkSum() const
{
    const QByteArrayView view = unread();
    if (step_ != Complete || view.size() < frameLength_)
        return false;
    return readLE<quint16>(view, kOffChecksum)
        == getChecksumWithByte(view.data() + kHeaderLength, frameLength_ - kHeaderLength);
}

std::optional<TCFrame> VEKTCConnectionContext::parseFrame(QByteArrayView frame)
{
    if (frame.size() < kHeaderLength)
        return std::nullopt;
    const quint32 length = readLE<quint32>(frame, kOffLength);
    if (length < kBodyHeaderLength || length > kMaxLengthField
        || frame.size() < kPreambleLength + qsizetype(length))
        return std::nullopt;
    TCFrame out;
    out.packetId = readLE<quint32>(frame, kOffPacketId);
    out.reserved11 = readLE<quint16>(frame, kOffReserved11);
    out.reserved21 = readLE<quint32>(frame, kOffReserved21);
    out.type = readLE<quint16>(frame, kOffType);
    out.service = readLE<quint16>(frame, kOffService);
    out.reserved41 = readLE<quint16>(frame, kOffReserved41);
    out.compressFlag = quint8(frame[kOffCompress]);
    out.encryptFlag = quint8(frame[kOffEncrypt]);
    out.status = quint8(frame[kOffStatus]);
    out.session = frame.sliced(kOffSession, kSessionLength).toByteArray();
    out.mainFunction = readLE<quint16>(frame, kOffMainFunction);
    out.subFunction = readLE<quint16>(frame, kOffSubFunction);
    out.encoding = quint8(frame[kOffEncoding]);
    out.originLength = readLE<quint32>(frame, kOffOriginLength);
    out.checksum = readLE<quint16>(frame, kOffChecksum);
    out.payload = frame.sliced(kHeaderLength, qsizetype(length) - kBodyHeaderLength).toByteArray();
    return out;
}

std::optional<TCFrame> VEKTCConnectionContext::nextFrame(bool keepEmpty)
{
    // Each pass either waits for bytes (and returns) or consumes some.
    for (;;) {
        switch (step_) {
        case SeekSync:
            if (findSync() != kStepDone)
                return std::nullopt;
            break;
        case Header:
            if (findHeader() != kStepDone && step_ == Header)
                return std::nullopt;
            break;
        case Body:
            if (findBody() != kStepDone)
                return std::nullopt;
            break;
        default: {
            const bool good = checkSum();
            auto frame = good ? parseFrame(unread().first(frameLength_)) : std::nullopt;
            consume(frameLength_);
            step_ = SeekSync;
            frameLength_ = 0;
            if (frame && (keepEmpty || !frame->payload.isEmpty()))
                return frame;
            break;
        }
        }
    }
}

std::optional<TCFrame> VEKTCConnectionContext::readFrame()
{
    return nextFrame(true);
}

std::optional<QByteArray> VEKTCConnectionContext::checkResponse(VEKContextError* error, VEKPacketFlag* flags)
{
    auto frame = nextFrame(false);
    if (!frame) {
        if (error)
            *error = lessData();
        return std::nullopt;
    }
    if (flags)
        *flags = frame->flags();
    return std::move(frame->payload);
}

// ---- accessors over a header

namespace TCProPackage {

QByteArray makeHeader(quint16 reserved11, quint16 reserved41)
{
    QByteArray header(VEKTCConnectionContext::kHeaderLength, Qt::Uninitialized);
    initHeader(header.data());
    writeLE<quint16>(header.data(), kOffReserved11, reserved11);
    writeLE<quint16>(header.data(), kOffReserved41, reserved41);
    return header;
}

qint64 frameSize(QByteArrayView header)
{
    if (header.size() < kOffLength + 4)
        return 0;
    return VEKTCConnectionContext::kPreambleLength + qint64(readLE<quint32>(header, kOffLength));
}

std::optional<QByteArray> copyFrame(QByteArrayView frame)
{
    const qint64 size = frameSize(frame);
    if (size == 0 || frame.size() < size)
        return std::nullopt;
    return frame.first(size).toByteArray();
}

quint16 reserved11(QByteArrayView header)
{
    return readLE<quint16>(header, kOffReserved11);
}
quint32 packetId(QByteArrayView header)
{
    return readLE<quint32>(header, kOffPacketId);
}
quint16 type(QByteArrayView header)
{
    return readLE<quint16>(header, kOffType);
}
quint16 service(QByteArrayView header)
{
    return readLE<quint16>(header, kOffService);
}
quint8 status(QByteArrayView header)
{
    return readLE<quint8>(header, kOffStatus);
}
bool isCompressed(QByteArrayView header)
{
    return readLE<quint8>(header, kOffCompress) != 0;
}
bool isEncrypted(QByteArrayView header)
{
    return readLE<quint8>(header, kOffEncrypt) != 0;
}
quint32 reserved21(QByteArrayView header)
{
    return readLE<quint32>(header, kOffReserved21);
}

QByteArray session(QByteArrayView header)
{
    if (header.size() < kOffSession + kSessionLength)
        return {};
    return header.sliced(kOffSession, kSessionLength).toByteArray();
}

qint64 payloadLength(QByteArrayView header)
{
    if (header.size() < kOffLength + 4)
        return 0;
    const qint64 length = readLE<quint32>(header, kOffLength);
    return length < VEKTCConnectionContext::kBodyHeaderLength
        ? 0
        : length - VEKTCConnectionContext::kBodyHeaderLength;
}

std::optional<QByteArray> payload(QByteArrayView frame)
{
    const qint64 n = payloadLength(frame);
    if (frame.size() < VEKTCConnectionContext::kHeaderLength + n)
        return std::nullopt;
    return frame.sliced(VEKTCConnectionContext::kHeaderLength, n).toByteArray();
}

bool setReserved21(QByteArray& header, quint32 value)
{
    if (header.size() < kOffReserved21 + 4)
        return false;
    writeLE<quint32>(header.data(), kOffReserved21, value);
    return true;
}

} // namespace TCProPackage
