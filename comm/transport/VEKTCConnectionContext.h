#pragma once

#include "comm/transport/VEKConnectionContext.h"

#include <QByteArray>
#include <QByteArrayView>
#include <optional>
#include <utility>

// One TC frame with every header field, as the reader cuts it out of a stream
// or as a writer lays it out (the broker simulator uses both directions).
struct TCFrame {
    static constexpr quint16 kTypeLogon = 1;
    static constexpr quint16 kTypeRequest = 18;
    static constexpr quint8 kCompressFlag = 18;
    static constexpr quint8 kEncryptFlag = 36; // '$'

    quint32 packetId = 0;
    quint16 reserved11 = 0;
    quint32 reserved21 = 0;
    quint16 type = kTypeRequest;
    quint16 service = 0;
    quint16 reserved41 = 0;
    quint8 compressFlag = 0;
    quint8 encryptFlag = 0;
    quint8 status = 0;
    QByteArray session; // 32 bytes once read; shorter is zero-padded when written
    quint16 mainFunction = 0;
    quint16 subFunction = 0;
    quint8 encoding = 0;
    quint32 originLength = 0;
    quint16 checksum = 0; // as read; a writer computes it
    QByteArray payload;

    VEKPacketFlag flags() const
    {
        return { status, qint64(packetId), encryptFlag == kEncryptFlag, compressFlag == kCompressFlag };
    }
};

// The TC binary frame: 5 sync bytes 0xFF, the 32-byte header, the 59-byte body
// header and the payload; little-endian throughout.
class VEKTCConnectionContext : public VEKConnectionContext {
public:
    static constexpr qsizetype kSyncLength = 5;
    static constexpr qsizetype kPreambleLength = 37; // sync and header: the part before the length's span
    static constexpr qsizetype kBodyHeaderLength = 59;
    static constexpr qsizetype kHeaderLength = 96;
    static constexpr qsizetype kLogonLength = 144;
    static constexpr qsizetype kMaxPayload = 16 * 1024 * 1024;
    static constexpr quint16 kVersion = 0x0122;
    // The text of both logon fields; the servers expect this one character.
    static constexpr char kLogonText[] = "v";
    // What the reader's steps answer when the step completed.
    static constexpr quint32 kStepDone = 0xFFFFFFFFu;

    explicit VEKTCConnectionContext(VEKConnectionContextDelegate* delegate = nullptr);

    // sendLoginWithPacketId: the 144-byte logon frame.
    QByteArray sendLoginWithPacketId(qint64 packetId);
    // sendBufferCreatWithSericeID:encoding: a fresh 96-byte request header.
    void sendBufferCreatWithSericeID(quint16 service, quint8 encoding);
    // requestDataWithMainFunction:subFunction:session:data:originDataLength:packetFlags:
    // nullopt when the payload passes kMaxPayload or the packet id does not fit
    // the frame's 32 bits.
    std::optional<QByteArray> requestDataWithMainFunction(quint16 mainFunction, quint16 subFunction,
        std::optional<QByteArrayView> session, QByteArrayView data, quint32 originDataLength,
        const VEKPacketFlag& flags);

    QByteArray construcData(const QByteArray& data) override;
    std::optional<QByteArray> checkResponse(VEKContextError* error, VEKPacketFlag* flags) override;
    void resetData() override;
    std::optional<quint64> incompletePacketId() const override;
    bool frameBegun() const override { return step_ != SeekSync; }

    // The reader's steps over the receive buffer; each answers kStepDone when
    // its step completed, else 0.
    quint32 findSync();
    quint32 findHeader();
    quint32 findBody();
    // Whether the complete frame's checksum matches its payload.
    bool checkSum() const;
    int step() const { return step_; }

    // The next frame with a good checksum, empty payloads included (the server
    // side reads logons and requests with it); bad frames are skipped.
    std::optional<TCFrame> readFrame();

    static quint16 getChecksumWithByte(const void* bytes, qsizetype length);

    // Lays out any frame: the length and checksum come from the payload.
    // nullopt when the payload passes kMaxPayload.
    static std::optional<QByteArray> frameBytes(const TCFrame& frame);
    // A reply frame as a server writes it.
    static std::optional<QByteArray> replyFrame(const VEKPacketFlag& flags, QByteArrayView payload);
    // The two texts of a logon payload; nullopt unless it is 48 bytes.
    static std::optional<std::pair<QByteArray, QByteArray>> parseLogonPayload(QByteArrayView payload);
    // One whole frame (header through payload) read without checks beyond bounds.
    static std::optional<TCFrame> parseFrame(QByteArrayView frame);

private:
    enum Step { SeekSync = 0, Header = 1, Body = 2, Complete = 3 };

    std::optional<TCFrame> nextFrame(bool keepEmpty);

    VEKDataBuffer sendBuffer_ { kHeaderLength };
    int step_ = SeekSync;
    qsizetype frameLength_ = 0; // 37 + length, once the header was read
};

// Plain accessors over a frame header (the frame starts with its sync). A
// field that the given bytes do not reach reads as 0 or empty.
namespace TCProPackage {
// A zeroed 96-byte header with sync, magic, version and the two 16-bit values
// at offsets 11 and 41.
QByteArray makeHeader(quint16 reserved11, quint16 reserved41);
// The whole frame (37 + length bytes); nullopt when the bytes are shorter.
std::optional<QByteArray> copyFrame(QByteArrayView frame);
qint64 frameSize(QByteArrayView header);
quint16 reserved11(QByteArrayView header);
quint32 packetId(QByteArrayView header);
quint16 type(QByteArrayView header);
quint16 service(QByteArrayView header);
QByteArray session(QByteArrayView header);
quint8 status(QByteArrayView header);
bool isCompressed(QByteArrayView header);
bool isEncrypted(QByteArrayView header);
qint64 payloadLength(QByteArrayView header);
// nullopt when the payload is not all there.
std::optional<QByteArray> payload(QByteArrayView frame);
quint32 reserved21(QByteArrayView header);
// False when the header is shorter than 25 bytes.
bool setReserved21(QByteArray& header, quint32 value);
} // namespace TCProPackage
