#include "comm/recordset/CSHex.h"

int CSHex::hexTo(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
}

QByteArray CSHex::decode(QByteArrayView hex)
{
    const qsizetype pairs = hex.size() / 2;
    QByteArray out(pairs, Qt::Uninitialized);
    for (qsizetype i = 0; i < pairs; ++i)
        out[i] = char((hexTo(hex[2 * i]) << 4) | hexTo(hex[2 * i + 1]));
    return out;
}

QByteArray CSHex::decode(const QString& hex)
{
    // Characters beyond Latin-1 are "any other character" and give 0 as well.
    QByteArray latin(hex.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < hex.size(); ++i) {
        const char16_t c = hex.at(i).unicode();
        latin[i] = c < 0x80 ? char(c) : '\0';
    }
    return decode(QByteArrayView(latin));
}
