// Record-set reader: the first byte picks the encoding, the rest is a reply
// payload. Everything accepted is read cell by cell, checked against a
// decoding of its own bytes made without the reader, written, read back and
// sorted by every field.
#include "comm/recordset/TCRSBytes.h"
#include "comm/recordset/TCRSText.h"
#include "comm/recordset/VEKTCRS.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace {

// What the cell's text must be, from the value's bytes alone: a text is its
// bytes up to the first zero (zero unit in UTF-16) through the platform's
// decoder; an integer "%lld" of its bytes, low bytes first and no more than
// the field holds; a floating-point value printf's "%.3f" (the fuzzer runs
// in the C locale).
std::optional<QString> expectedText(const VEKTCRS& set, qint32 index, qint32 encoding)
{
    const std::optional<TCRSField> field = set.fieldAtIndex(index);
    if (!field || set.isBOF() || set.isEOF())
        return QString();
    qint32 length = 0;
    const char* value = set.fieldValueAtIndex(index, &length);
    const qint64 n = value ? std::max(length, 0) : 0;
    switch (field->type) {
    case tcrs::kTypeText:
    case tcrs::kTypeUnicode: {
        qint64 end = 0;
        if (encoding == 1) {
            while (end + 1 < n && (value[end] != 0 || value[end + 1] != 0))
                end += 2;
        } else {
            while (end < n && value[end] != 0)
                ++end;
        }
        if (end == 0)
            return QString();
        return platform::decodeTextLossy(QByteArrayView(value, end), tcrs::textEncodingOf(encoding));
    }
    case tcrs::kTypeInt64:
    case tcrs::kTypeInt32:
    case tcrs::kTypeDouble: {
        if (!value)
            return QString();
        const int width = field->type == tcrs::kTypeInt32 ? 4 : 8;
        unsigned char bytes[8] = {};
        std::memcpy(bytes, value, size_t(std::min<qint64>(n, width)));
        quint64 raw = 0;
        for (int i = width - 1; i >= 0; --i)
            raw = (raw << 8) | bytes[i];
        if (field->type == tcrs::kTypeDouble) {
            double number = 0;
            std::memcpy(&number, &raw, sizeof number);
            char text[400];
            std::snprintf(text, sizeof text, "%.3f", number);
            return QString::fromLatin1(text);
        }
        const qint64 number = width == 8 || n < width ? qint64(raw) : qint64(qint32(quint32(raw)));
        return QString::number(number);
    }
    default:
        return std::nullopt; // not checked here
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const qint32 encoding = data[0] % 4;
    const auto* bytes = reinterpret_cast<const char*>(data + 1);
    std::vector<VEKTCRS> sets = VEKTCRS::constructMRWithBytes(bytes, static_cast<qint64>(size - 1), encoding);
    for (VEKTCRS& set : sets) {
        (void)set.recordsetInfo();
        (void)set.isErrorInfo();
        // Empty records cost no input, so only the first few are read. The
        // text read into one reused text must be the text returned.
        QString reused;
        std::vector<qint32> everyIndex;
        for (qint32 f = -1; f <= set.fieldCount(); ++f)
            everyIndex.push_back(f);
        std::vector<QString> row(everyIndex.size());
        for (qint32 r = -1; r <= std::min(set.rowsAffected(), 300); ++r) {
            set.setCurrent(r);
            // A row read at once is the row read cell by cell.
            (void)set.readStringsAtIndexes(everyIndex, row);
            for (size_t i = 0; i < everyIndex.size(); ++i)
                if (row[i] != set.toStringAtIndex(everyIndex[i]))
                    std::abort();
            for (qint32 f = -1; f <= set.fieldCount(); ++f) {
                const QString name = set.fieldNameAtIndex(f);
                (void)set.fieldDescAtIndex(f);
                const QString text = set.toStringAtIndex(f);
                const std::optional<QString> expected = expectedText(set, f, encoding);
                if (expected && text != *expected)
                    std::abort();
                (void)set.readStringWithName(name, reused);
                if (reused != set.toStringAtIndex(set.indexOfFieldWithName(name)))
                    std::abort();
                (void)set.toIntAtIndex(f);
                (void)set.toInt64AtIndex(f);
                (void)set.toFloatAtIndex(f);
                (void)set.getUnideByteAtIndex(f);
                (void)set.fieldDataAtIndex(f);
                (void)set.toStringWithName(name);
                (void)set.toIntWithName(name);
                (void)set.toFloatWithName(name);
            }
        }
        const QByteArray out = set.exportData();
        if (out.size() != set.exportSize())
            std::abort();
        const std::vector<VEKTCRS> again
            = VEKTCRS::constructMRWithBytes(out.constData(), out.size(), encoding);
        if (again.size() != 1 || again[0].rowsAffected() != set.rowsAffected())
            std::abort();
        for (qint32 f = 0; f < set.fieldCount(); ++f)
            set.sortByField(f, f % 2 == 0);
        if (set.rowsAffected() > 0) {
            (void)set.mergeTCRS(&set, true);
            (void)set.subRecordSetWithRange(0, 1);
            (void)set.deleteRecordAtIndex(0);
            (void)set.shrinkData();
        }
    }
    return 0;
}
