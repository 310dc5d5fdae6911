#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The session text is hexadecimal; the frame carries its bytes.
class CSHex {
public:
    // "0"-"9", "a"-"f", "A"-"F" give 0-15; any other character gives 0.
    static int hexTo(char c);
    // One byte per pair of characters, high digit first; an odd last character
    // is ignored, so fewer than two characters give no bytes.
    static QByteArray decode(QByteArrayView hex);
    static QByteArray decode(const QString& hex);
};
