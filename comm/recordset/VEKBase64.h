#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstddef>
#include <optional>

// Base64 in the standard and the URL-safe alphabet. Every failure, and every
// empty result, is nullopt (byte-buffer forms) or 0 (caller-buffer forms).
// Decoders skip whitespace (0x09-0x0D, 0x20, 0xA0, 0xFF) anywhere, stop at a
// zero byte, and refuse bad padding, stray characters after the padding and
// non-zero bits below the last whole byte.
class VEKBase64 {
public:
    static constexpr char kStandardCharset[]
        = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    static constexpr char kWebSafeCharset[]
        = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

    // Standard alphabet, padding written.
    static std::optional<QByteArray> encodeData(QByteArrayView data);
    static std::optional<QByteArray> encodeBytes(const void* bytes, std::size_t length);
    static std::optional<QString> stringByEncodingData(QByteArrayView data);
    static std::optional<QString> stringByEncodingBytes(const void* bytes, std::size_t length);

    // Standard alphabet, padding required.
    static std::optional<QByteArray> decodeData(QByteArrayView data);
    static std::optional<QByteArray> decodeBytes(const void* bytes, std::size_t length);
    // nullopt also when the text is not ASCII.
    static std::optional<QByteArray> decodeString(const QString& text);

    // URL-safe alphabet, padding as asked.
    static std::optional<QByteArray> webSafeEncodeData(QByteArrayView data, bool padded);
    static std::optional<QByteArray> webSafeEncodeBytes(const void* bytes, std::size_t length, bool padded);
    static std::optional<QString> stringByWebSafeEncodingData(QByteArrayView data, bool padded);
    static std::optional<QString> stringByWebSafeEncodingBytes(
        const void* bytes, std::size_t length, bool padded);

    // URL-safe alphabet, padding optional.
    static std::optional<QByteArray> webSafeDecodeData(QByteArrayView data);
    static std::optional<QByteArray> webSafeDecodeBytes(const void* bytes, std::size_t length);
    static std::optional<QByteArray> webSafeDecodeString(const QString& text);

    // Any 64-character alphabet (distinct bytes, none of them "=" or
    // whitespace); a bad alphabet fails like bad input.
    static std::optional<QByteArray> baseEncode(
        const void* bytes, std::size_t length, QByteArrayView charset, bool padded);
    static std::optional<QByteArray> baseDecode(
        const void* bytes, std::size_t length, QByteArrayView charset, bool requirePadding);

    // Into a caller's buffer: the number of bytes written, 0 on failure
    // (including a buffer too small for the result).
    static std::size_t baseEncode(const void* srcBytes, std::size_t srcLen, char* destBytes,
        std::size_t destLen, QByteArrayView charset, bool padded);
    static std::size_t baseDecode(const void* srcBytes, std::size_t srcLen, char* destBytes,
        std::size_t destLen, QByteArrayView charset, bool requirePadding);

    // Output sizes: encoded characters for n bytes, and the room a decoder
    // reserves for n characters. 0 when the size would overflow.
    static std::size_t encodedLength(std::size_t length, bool padded);
    static std::size_t decodeRoom(std::size_t length);
};
