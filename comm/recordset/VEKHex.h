#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstddef>

// Hexadecimal text: two ASCII digits per byte, high half first. Empty input
// gives empty output.
class VEKHex {
public:
    static QByteArray dataWithByte(const void* bytes, std::size_t length, bool hexEncodingUppercase);
    static QByteArray dataWithData(QByteArrayView data, bool hexEncodingUppercase);
    static QString stringWithData(QByteArrayView data, bool hexEncodingUppercase);
};
