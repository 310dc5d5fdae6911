#pragma once

#include <QtEndian>
#include <QtGlobal>
#include <cstring>

// Little-endian integers and type codes of the record-set layout.
namespace tcrs {

constexpr qint32 kTypeBool = 1;
constexpr qint32 kTypeInt8 = 2;
constexpr qint32 kTypeInt16 = 3;
constexpr qint32 kTypeInt32 = 4;
constexpr qint32 kTypeInt64 = 5;
constexpr qint32 kTypeFloat = 6;
constexpr qint32 kTypeDouble = 7;
constexpr qint32 kTypeText = 9;
constexpr qint32 kTypeBytes = 14;
constexpr qint32 kTypeUnicode = 101;
constexpr qint32 kTypeInt32B = 102;
constexpr qint32 kTypeInt32C = 103;

// Codes whose record slot is an offset/length pair into the data block.
inline bool isVariableType(qint32 type)
{
    return type == kTypeText || type == kTypeBytes || type == kTypeUnicode;
}

// Whether text bytes hold two zero bytes followed by a non-zero one: the info
// block reads that as the end of a text, so such bytes cannot be written.
inline bool holdsSeparator(const void* bytes, qint64 n)
{
    const auto* b = static_cast<const unsigned char*>(bytes);
    for (qint64 i = 0; i + 2 < n; ++i) {
        if (b[i] == 0 && b[i + 1] == 0 && b[i + 2] != 0)
            return true;
    }
    return false;
}

inline qint32 readInt32(const void* p)
{
    return static_cast<qint32>(qFromLittleEndian<quint32>(p));
}

inline void writeInt32(void* p, qint32 value)
{
    qToLittleEndian<quint32>(static_cast<quint32>(value), p);
}

// A fixed-size value of `width` bytes from a field that holds `length`
// bytes: a shorter field gives its low bytes, never reading past them.
inline qint64 readSigned(const char* p, qint64 length, int width)
{
    if (!p || length <= 0)
        return 0;
    if (length >= width) {
        switch (width) {
        case 1:
            return static_cast<qint8>(p[0]);
        case 2:
            return qFromLittleEndian<qint16>(p);
        case 4:
            return qFromLittleEndian<qint32>(p);
        case 8:
            return qFromLittleEndian<qint64>(p);
        default:
            break;
        }
    }
    unsigned char bytes[8] = {};
    std::memcpy(bytes, p, static_cast<size_t>(qMin<qint64>(length, width)));
    const quint64 raw = qFromLittleEndian<quint64>(bytes);
    if (length < width || width >= 8)
        return static_cast<qint64>(raw);
    const int shift = 64 - 8 * width;
    return static_cast<qint64>(raw << shift) >> shift;
}

inline double readDouble(const char* p, qint64 length)
{
    const quint64 raw = static_cast<quint64>(readSigned(p, length, 8));
    double value;
    std::memcpy(&value, &raw, sizeof value);
    return value;
}

inline float readSingle(const char* p, qint64 length)
{
    const quint32 raw = static_cast<quint32>(readSigned(p, length, 4));
    float value;
    std::memcpy(&value, &raw, sizeof value);
    return value;
}

} // namespace tcrs
