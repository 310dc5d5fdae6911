#include "comm/recordset/VEKTCRS.h"

#include "comm/recordset/TCRSBytes.h"
#include "comm/recordset/TCRSText.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <utility>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

using namespace tcrs;
using platform::TextEncoding;

struct VEKTCRS::Cell {
    const TCRSField* field = nullptr;
    const char* data = nullptr;
    qint32 length = 0;
};

namespace {

constexpr qint64 kNameMax = 63;
constexpr qint64 kTextMax = 126;

// Bytes up to the first zero byte, at most `max`.
qint64 byteLength(const char* text, qint64 max)
{
    const void* zero = std::memchr(text, 0, static_cast<size_t>(max));
    return zero ? static_cast<const char*>(zero) - text : max;
}

// Bytes of the 16-bit units up to the first zero unit, at most `max` bytes.
qint64 unitLength(const char* text, qint64 max)
{
    qint64 i = 0;
    for (; i + 1 < max; i += 2) {
        if (text[i] == 0 && text[i + 1] == 0)
            return i;
    }
    return i;
}

void storeCut(char* dst, size_t capacity, qint64 max, const uint8_t* src, qint64 n)
{
    std::memset(dst, 0, capacity);
    if (n > 0)
        std::memcpy(dst, src, static_cast<size_t>(std::min(n, max)));
}

// The code a field description gets when its flag says Unicode: the set's
// encoding, kept off 255, which marks a description that is not Unicode.
quint8 unicodeCoding(qint32 encoding)
{
    return encoding >= 0 && encoding < 255 ? static_cast<quint8>(encoding) : 3;
}

bool descIsUnicode(const TCRSField& f)
{
    return f.coding != 0 && f.coding != 255;
}

qint64 descBytes(const TCRSField& f)
{
    return descIsUnicode(f) ? unitLength(f.desc, sizeof f.desc) : byteLength(f.desc, sizeof f.desc);
}

bool hasDesc(const TCRSField& f)
{
    return f.desc[0] != 0 || (descIsUnicode(f) && f.desc[1] != 0);
}

void appendInt32(QByteArray& out, qint32 value)
{
    char bytes[4];
    writeInt32(bytes, value);
    out.append(bytes, 4);
}

// Two zero bytes followed by a non-zero byte end a text entry. Answers the
// end of the text at or after `from` and where the next entry starts, or -1
// as the start when the text runs to the end of the block.
std::pair<qint64, qint64> scanText(const uint8_t* b, qint64 n, qint64 from)
{
    for (qint64 i = from; i + 2 < n; ++i) {
        if (b[i] == 0 && b[i + 1] == 0 && b[i + 2] != 0)
            return { i, i + 2 };
    }
    return { std::max(from, n), -1 };
}

bool flagIsUnicode(uint8_t flag)
{
    return flag != '0' && flag != 0;
}

void latin1Text(const char* begin, const char* end, TextOut& out)
{
    const auto n = static_cast<qsizetype>(end - begin);
    char16_t* d = out.room(n);
    for (qsizetype i = 0; i < n; ++i)
        d[i] = static_cast<unsigned char>(begin[i]);
    out.finish(n);
}

// "00" to "99" as UTF-16 pairs, so that two digits go out in one 32-bit copy.
constexpr auto kDigitPairs = [] {
    std::array<char16_t, 200> pairs {};
    for (int i = 0; i < 100; ++i) {
        pairs[size_t(2 * i)] = static_cast<char16_t>(u'0' + i / 10);
        pairs[size_t(2 * i + 1)] = static_cast<char16_t>(u'0' + i % 10);
    }
    return pairs;
}();

[[gnu::always_inline]] inline void writePair(char16_t* at, quint32 twoDigits)
{
    std::memcpy(at, &kDigitPairs[2 * twoDigits], 2 * sizeof(char16_t));
}

// Writes the decimal digits of `u` so that they end just before `end`.
[[gnu::always_inline]] inline void writeDigits32(char16_t* end, quint32 u)
{
    while (u >= 100) {
        const quint32 q = u / 100;
        end -= 2;
        writePair(end, u - q * 100);
        u = q;
    }
    if (u >= 10)
        writePair(end - 2, u);
    else
        end[-1] = static_cast<char16_t>(u'0' + u);
}

// Exactly eight digits of `u` (< 10^8), in two independent halves.
[[gnu::always_inline]] inline void writeEightDigits(char16_t* end, quint32 u)
{
    const quint32 high = u / 10000;
    const quint32 low = u - high * 10000;
    const quint32 a = high / 100;
    const quint32 c = low / 100;
    writePair(end - 8, a);
    writePair(end - 6, high - a * 100);
    writePair(end - 4, c);
    writePair(end - 2, low - c * 100);
}

[[gnu::always_inline]] inline void writeDigits(char16_t* end, quint64 u)
{
    // Eight digits at a time in 32-bit arithmetic while the value is wider.
    while (u > 0xFFFFFFFFu) {
        const quint64 q = u / 100000000;
        writeEightDigits(end, static_cast<quint32>(u - q * 100000000));
        end -= 8;
        u = q;
    }
    writeDigits32(end, static_cast<quint32>(u));
}

[[gnu::always_inline]] inline int digitCount(quint64 u)
{
    static constexpr quint64 kPowers[] = { 1ULL, 10ULL, 100ULL, 1000ULL, 10000ULL, 100000ULL, 1000000ULL,
        10000000ULL, 100000000ULL, 1000000000ULL, 10000000000ULL, 100000000000ULL, 1000000000000ULL,
        10000000000000ULL, 100000000000000ULL, 1000000000000000ULL, 10000000000000000ULL,
        100000000000000000ULL, 1000000000000000000ULL, 10000000000000000000ULL };
    const int bits = 64 - std::countl_zero(u | 1);
    const int guess = (bits * 1233) >> 12; // about log10(2^bits)
    return std::max(guess + (u >= kPowers[guess] ? 1 : 0), 1); // 0 has one digit too
}

// QString::number(value), written straight into the text.
[[gnu::always_inline]] inline void integerText(qint64 value, TextOut& out)
{
    const bool negative = value < 0;
    const quint64 u = negative ? 0 - static_cast<quint64>(value) : static_cast<quint64>(value);
    const int n = digitCount(u) + (negative ? 1 : 0);
    char16_t* d = out.room(n);
    if (negative)
        d[0] = u'-';
    writeDigits(d + n, u);
    out.finish(n);
}

// printf's "%.3f" by the general route: zeros (-0.0 keeps its sign), huge
// and non-finite values, and those whose thousandths lie near half-way.
// std::to_chars with a precision gives exactly what printf gives in the C
// locale: the exact binary value rounded, an exact tie to even (10.0625 is
// "10.062"), whatever locale the process runs in.
[[gnu::noinline]] void fixed3TextSlow(double value, TextOut& out)
{
    // The largest double has 309 integer digits.
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
    if (result.ec != std::errc()) {
        out.empty(); // cannot happen: the buffer holds every double
        return;
    }
    latin1Text(buffer, result.ptr, out);
}

// printf's "%.3f", without its general machinery for the values a table
// holds. Below 1e9 the product value * 1000 is within 2^-14 of the exact
// thousandths, so unless they lie near half-way (where every exact tie lies)
// the rounded product is the rounded exact value.
[[gnu::always_inline]] inline void fixed3Text(double value, TextOut& out)
{
    const double magnitude = std::fabs(value);
    if (magnitude < 1e9 && value != 0.0) [[likely]] { // false for NaN
        const double scaled = magnitude * 1000.0;
        const auto whole = static_cast<qint64>(scaled);
        const double fraction = scaled - static_cast<double>(whole);
        if (std::fabs(fraction - 0.5) > 1e-3) [[likely]] {
            const auto thousandths = static_cast<quint64>(whole + (fraction > 0.5 ? 1 : 0));
            const quint64 units = thousandths / 1000;
            const auto parts = static_cast<quint32>(thousandths - units * 1000);
            const int sign = value < 0 ? 1 : 0;
            const int n = sign + digitCount(units) + 4;
            char16_t* d = out.room(n);
            if (sign)
                d[0] = u'-';
            const quint32 tens = parts / 10;
            d[n - 1] = static_cast<char16_t>(u'0' + (parts - tens * 10));
            writePair(d + n - 3, tens);
            d[n - 4] = u'.';
            writeDigits(d + n - 4, units);
            out.finish(n);
            return;
        }
    }
    fixed3TextSlow(value, out);
}

} // namespace

// The class must be known to platform::unarchiveObject in every program that
// links it; registerArchiveClass() makes it explicit for those that want to.
static const bool kArchiveClassRegistered = (VEKTCRS::registerArchiveClass(), true);

VEKTCRS::VEKTCRS(qint32 encoding)
    // Room for one item each: the stores grow as fields, records and values
    // arrive, so that a payload of many empty sets cannot claim memory for
    // fields it never brings.
    : fdsBuff_(VEKDataArray::initWithCount(1, sizeof(TCRSField)))
    , recsBuff_(VEKDataArray::initWithCount(1, 1))
    , dataBuff_(VEKDataArray::initWithCount(1, 1))
    , nRsStringCoding_(encoding)
{
    (void)kArchiveClassRegistered;
}

VEKTCRS::VEKTCRS(VEKTCRS&& other) noexcept
    : fdsBuff_(std::move(other.fdsBuff_))
    , recsBuff_(std::move(other.recsBuff_))
    , dataBuff_(std::move(other.dataBuff_))
{
    takeFrom(other);
}

VEKTCRS& VEKTCRS::operator=(VEKTCRS&& other) noexcept
{
    if (this != &other) {
        fdsBuff_ = std::move(other.fdsBuff_);
        recsBuff_ = std::move(other.recsBuff_);
        dataBuff_ = std::move(other.dataBuff_);
        takeFrom(other);
    }
    return *this;
}

// The counts and info of a set whose stores were just moved here; the other
// set is left empty, matching its emptied stores.
void VEKTCRS::takeFrom(VEKTCRS& other) noexcept
{
    nAllFields_ = std::exchange(other.nAllFields_, 0);
    nRecordSize_ = std::exchange(other.nRecordSize_, 0);
    nAllRecords_ = std::exchange(other.nAllRecords_, 0);
    nCurrRecord_ = std::exchange(other.nCurrRecord_, -1);
    isDirty_ = std::exchange(other.isDirty_, false);
    isUnistringInfo_ = std::exchange(other.isUnistringInfo_, false);
    nameKeys_ = std::move(other.nameKeys_);
    other.nameKeys_.clear();
    namesUnique_ = std::exchange(other.namesUnique_, true);
    namesAscii_ = std::exchange(other.namesAscii_, true);
    runningLayout_ = std::exchange(other.runningLayout_, true);
    std::memcpy(szResInfo_, other.szResInfo_, sizeof szResInfo_);
    std::memset(other.szResInfo_, 0, sizeof other.szResInfo_);
    nRsStringCoding_ = other.nRsStringCoding_;
}

// ---------------------------------------------------------------------------
// Layout

bool VEKTCRS::importData(const char* bytes, qint64* length, qint32 encoding)
{
    clear();
    nRsStringCoding_ = encoding;
    if (!bytes || !length || *length < 0)
        return false;
    const auto* p = reinterpret_cast<const uint8_t*>(bytes);
    qint64 left = *length;
    auto refuse = [&] {
        clear();
        *length = left;
        return false;
    };
    auto takeCount = [&](qint32& out) {
        if (left < 4)
            return false;
        out = readInt32(p);
        p += 4;
        left -= 4;
        return out >= 0;
    };

    // Descriptors.
    qint32 fieldCount = 0;
    if (!takeCount(fieldCount) || 12 * static_cast<qint64>(fieldCount) > left
        || static_cast<qint64>(fieldCount) * static_cast<qint64>(sizeof(TCRSField)) > kMaxBlockBytes)
        return refuse();
    if (!fdsBuff_.resetCount(static_cast<quint64>(fieldCount)))
        return refuse();
    if (fieldCount > 0)
        std::memset(fdsBuff_.base(), 0, static_cast<size_t>(fieldCount) * sizeof(TCRSField));
    for (qint32 i = 0; i < fieldCount; ++i) {
        TCRSField f {};
        f.type = readInt32(p);
        f.length = readInt32(p + 4);
        f.offset = readInt32(p + 8);
        p += 12;
        left -= 12;
        if (f.length < 0 || f.offset < 0 || (isVariableType(f.type) && f.length != 8))
            return refuse();
        std::memcpy(fdsBuff_.objCAtIndex(static_cast<quint64>(i)), &f, sizeof f);
    }
    runningLayout_ = fieldCount == 0;
    nAllFields_ = fieldCount;
    if (!calculateRecordSize(-1))
        return refuse();
    for (qint32 i = 0; i < fieldCount; ++i) {
        const TCRSField* f = fieldPtr(i);
        if (static_cast<qint64>(f->offset) + f->length > nRecordSize_)
            return refuse();
    }

    // Records. Empty records carry nothing, so a set of them may hold only a
    // few: otherwise a few bytes could claim millions of rows, and every
    // reader that makes an object per row would follow them. The limit
    // depends on the set alone, so whatever is read can be written and read
    // back.
    qint32 recordCount = 0;
    if (!takeCount(recordCount))
        return refuse();
    const qint64 recordBytes = static_cast<qint64>(recordCount) * nRecordSize_;
    if (recordBytes > left || recordBytes > kMaxBlockBytes || (nRecordSize_ == 0 && recordCount > kMaxEmptyRecords))
        return refuse();
    if (!recsBuff_.appendBytes(p, static_cast<quint64>(recordBytes)))
        return refuse();
    p += recordBytes;
    left -= recordBytes;
    nAllRecords_ = recordCount;

    // Info block: the info text, then each field's name and description.
    qint32 infoLength = 0;
    if (!takeCount(infoLength) || infoLength > left || infoLength > kMaxBlockBytes)
        return refuse();
    if (infoLength > 0) {
        const uint8_t* b = p;
        const qint64 n = infoLength;
        isUnistringInfo_ = flagIsUnicode(b[0]);
        auto [textEnd, next] = scanText(b, n, 1);
        storeCut(szResInfo_, sizeof szResInfo_, kTextMax, b + 1, textEnd - 1);
        for (qint32 index = 0; next >= 0; ++index) {
            if (index >= nAllFields_)
                return refuse();
            auto* f = reinterpret_cast<TCRSField*>(fdsBuff_.objCAtIndex(static_cast<quint64>(index)));
            const qint64 start = next;
            qint64 i = start;
            next = -1;
            bool bar = false;
            bool separator = false;
            for (; i < n; ++i) {
                if (b[i] == '|') {
                    bar = true;
                    break;
                }
                if (i + 2 < n && b[i] == 0 && b[i + 1] == 0 && b[i + 2] != 0) {
                    separator = true;
                    break;
                }
            }
            storeCut(f->name, sizeof f->name, kNameMax, b + start, i - start);
            f->coding = 255;
            if (separator) {
                next = i + 2;
            } else if (bar) {
                const bool unicode = i + 1 < n && flagIsUnicode(b[i + 1]);
                const qint64 descStart = std::min(i + 2, n);
                auto [descEnd, after] = scanText(b, n, descStart);
                storeCut(f->desc, sizeof f->desc, kTextMax, b + descStart, descEnd - descStart);
                f->coding = unicode ? unicodeCoding(encoding) : 255;
                next = after;
            }
        }
        p += infoLength;
        left -= infoLength;
    }

    // Data block.
    qint32 dataLength = 0;
    if (!takeCount(dataLength) || dataLength > left || dataLength > kMaxBlockBytes)
        return refuse();
    if (!dataBuff_.appendBytes(p, static_cast<quint64>(dataLength)))
        return refuse();
    left -= dataLength;
    if (!validateLayout())
        return refuse();
    rebuildNameIndex();
    nCurrRecord_ = -1;
    isDirty_ = false;
    *length = left;
    return true;
}

// Every variable value must lie inside the data block.
bool VEKTCRS::validateLayout() const
{
    const qint64 dataBytes = static_cast<qint64>(dataBuff_.count());
    for (qint32 i = 0; i < nAllFields_; ++i) {
        const TCRSField* f = fieldPtr(i);
        if (!isVariableType(f->type))
            continue;
        for (qint32 r = 0; r < nAllRecords_; ++r) {
            const uint8_t* slot = recordPtr(r) + f->offset;
            const qint64 offset = readInt32(slot);
            const qint64 length = readInt32(slot + 4);
            if (length > 0 && (offset < 0 || offset + length > dataBytes))
                return false;
        }
    }
    return true;
}

std::vector<VEKTCRS> VEKTCRS::constructMRWithBytes(const char* bytes, qint64 length, qint32 encoding)
{
    std::vector<VEKTCRS> sets;
    if (!bytes || length <= 0)
        return sets;
    // The budget of this payload: a set may take no less than 16 bytes of it,
    // but far more memory, so both the count and the memory are bounded.
    const qint64 maxSets = kMaxSetsBase + length / kBytesPerSet;
    const qint64 maxMemory = kMaxMemoryBase + kMemoryPerByte * length;
    qint64 memory = 0;
    qint64 left = length;
    while (left > 0) {
        VEKTCRS set;
        qint64 available = left;
        if (!set.importData(bytes + (length - left), &available, encoding))
            break;
        left = available;
        memory += set.memoryBytes();
        if (static_cast<qint64>(sets.size()) >= maxSets || memory > maxMemory) {
            sets.clear();
            sets.shrink_to_fit();
            return sets;
        }
        sets.push_back(std::move(set));
    }
    return sets;
}

std::vector<VEKTCRS> VEKTCRS::constructMRWithBytes(const char* bytes, qint64 length)
{
    return constructMRWithBytes(bytes, length, 2);
}

qint64 VEKTCRS::memoryBytes() const
{
    return static_cast<qint64>(sizeof(VEKTCRS)) + static_cast<qint64>(fdsBuff_.capacityBytes())
        + static_cast<qint64>(recsBuff_.capacityBytes()) + static_cast<qint64>(dataBuff_.capacityBytes())
        + static_cast<qint64>(nameKeys_.capacity() * sizeof(quint32));
}

qint64 VEKTCRS::infoTextBytes() const
{
    return isUnistringInfo_ ? unitLength(szResInfo_, sizeof szResInfo_)
                            : byteLength(szResInfo_, sizeof szResInfo_);
}

qint64 VEKTCRS::exportSize()
{
    shrinkData();
    qint64 size = 17 + 12 * static_cast<qint64>(nAllFields_) + static_cast<qint64>(recsBuff_.count())
        + infoTextBytes() + static_cast<qint64>(dataBuff_.count());
    for (qint32 i = 0; i < nAllFields_; ++i) {
        const TCRSField* f = fieldPtr(i);
        size += 2 + byteLength(f->name, kNameMax);
        if (hasDesc(*f))
            size += 2 + descBytes(*f);
    }
    return size;
}

QByteArray VEKTCRS::exportData()
{
    shrinkData();
    return writeLayout();
}

QByteArray VEKTCRS::writeLayout() const
{
    QByteArray info;
    info.append(isUnistringInfo_ ? '1' : '0');
    info.append(szResInfo_, infoTextBytes());
    for (qint32 i = 0; i < nAllFields_; ++i) {
        const TCRSField* f = fieldPtr(i);
        info.append(2, '\0');
        info.append(f->name, byteLength(f->name, kNameMax));
        if (hasDesc(*f)) {
            info.append('|');
            info.append(descIsUnicode(*f) ? '1' : '0');
            info.append(f->desc, descBytes(*f));
        }
    }

    QByteArray out;
    out.reserve(16 + 12 * static_cast<qint64>(nAllFields_) + static_cast<qint64>(recsBuff_.count())
        + info.size() + static_cast<qint64>(dataBuff_.count()));
    appendInt32(out, nAllFields_);
    for (qint32 i = 0; i < nAllFields_; ++i) {
        const TCRSField* f = fieldPtr(i);
        appendInt32(out, f->type);
        appendInt32(out, f->length);
        appendInt32(out, f->offset);
    }
    appendInt32(out, nAllRecords_);
    out.append(reinterpret_cast<const char*>(recsBuff_.base()), static_cast<qsizetype>(recsBuff_.count()));
    appendInt32(out, static_cast<qint32>(info.size()));
    out.append(info);
    appendInt32(out, static_cast<qint32>(dataBuff_.count()));
    out.append(reinterpret_cast<const char*>(dataBuff_.base()), static_cast<qsizetype>(dataBuff_.count()));
    return out;
}

QByteArray VEKTCRS::exportMRData(std::vector<VEKTCRS>& sets)
{
    QByteArray out;
    for (VEKTCRS& set : sets)
        out.append(set.exportData());
    return out;
}

void VEKTCRS::removeAll(bool dropFields)
{
    if (dropFields) {
        fdsBuff_.reset();
        nameKeys_.clear();
        namesUnique_ = true;
        namesAscii_ = true;
        runningLayout_ = true;
        nAllFields_ = 0;
        nRecordSize_ = 0;
    }
    recsBuff_.reset();
    dataBuff_.reset();
    nAllRecords_ = 0;
    nCurrRecord_ = -1;
    isDirty_ = false;
    isUnistringInfo_ = false;
    std::memset(szResInfo_, 0, sizeof szResInfo_);
}

bool VEKTCRS::calculateRecordSize(qint32 start)
{
    qint64 size = 0;
    const bool running = start >= 0 && start < nAllFields_;
    if (running) {
        if (start > 0) {
            const TCRSField* before = fieldPtr(start - 1);
            size = static_cast<qint64>(before->offset) + before->length;
        }
        for (qint32 i = start; i < nAllFields_; ++i)
            size += std::max(fieldPtr(i)->length, 0);
    } else if (nAllFields_ > 0) {
        const TCRSField* last = fieldPtr(nAllFields_ - 1);
        size = static_cast<qint64>(last->offset) + last->length;
    }
    // A record bigger than a block could never be stored, and records already
    // stored must keep matching the record size.
    if (size < 0 || size > kMaxBlockBytes || (nAllRecords_ > 0 && size != nRecordSize_))
        return false;
    if (running) {
        runningLayout_ = runningLayout_ || start == 0;
        qint64 offset
            = start > 0 ? static_cast<qint64>(fieldPtr(start - 1)->offset) + fieldPtr(start - 1)->length : 0;
        for (qint32 i = start; i < nAllFields_; ++i) {
            auto* f = reinterpret_cast<TCRSField*>(fdsBuff_.objCAtIndex(static_cast<quint64>(i)));
            f->offset = static_cast<qint32>(offset);
            offset += std::max(f->length, 0);
        }
    }
    nRecordSize_ = static_cast<qint32>(size);
    return true;
}

bool VEKTCRS::copyValueInto(qint32 record, const TCRSField& field, uint8_t* slot, VEKDataArray& data) const
{
    qint32 length = 0;
    const char* value = valueIn(recordPtr(record), field, &length);
    if (length <= 0)
        return true;
    if (!value) {
        writeInt32(slot + 4, 0);
        return true;
    }
    const char zero = 0;
    const qint64 at = static_cast<qint64>(data.count());
    if (!data.appendBytes(value, static_cast<quint64>(length)) || ((length & 1) && !data.appendData(&zero)))
        return false;
    writeInt32(slot, static_cast<qint32>(at));
    return true;
}

bool VEKTCRS::shrinkData()
{
    if (!isDirty_)
        return false;
    VEKDataArray records = recsBuff_;
    VEKDataArray data = VEKDataArray::initWithCount(dataBuff_.count(), 1);
    for (qint32 i = 0; i < nAllFields_; ++i) {
        const TCRSField* f = fieldPtr(i);
        if (!isVariableType(f->type) || static_cast<qint64>(f->offset) + 8 > nRecordSize_)
            continue;
        // Values shared by several records are copied once per record, so the
        // compacted block can outgrow the old one: keep the old then.
        for (qint32 r = 0; r < nAllRecords_; ++r) {
            uint8_t* slot = records.base() + static_cast<qint64>(r) * nRecordSize_ + f->offset;
            if (!copyValueInto(r, *f, slot, data))
                return false;
        }
    }
    recsBuff_ = std::move(records);
    dataBuff_ = std::move(data);
    isDirty_ = false;
    return true;
}

// ---------------------------------------------------------------------------
// Info text

QString VEKTCRS::recordsetInfo() const
{
    if (isUnistringInfo_)
        return decodeBytes(szResInfo_, unitLength(szResInfo_, sizeof szResInfo_), TextEncoding::UTF16LE);
    return decodeBytes(szResInfo_, byteLength(szResInfo_, sizeof szResInfo_), TextEncoding::UTF8);
}

bool VEKTCRS::isErrorInfo() const
{
    return recordsetInfo() == QLatin1StringView("error");
}

bool VEKTCRS::isOkInfo() const
{
    return recordsetInfo() == QLatin1StringView("ok");
}

bool VEKTCRS::isETCInfo() const
{
    return recordsetInfo() == QLatin1StringView("etc");
}

// ---------------------------------------------------------------------------
// Fields

const TCRSField* VEKTCRS::fieldPtr(qint32 index) const
{
    if (index < 0 || index >= nAllFields_)
        return nullptr;
    return reinterpret_cast<const TCRSField*>(fdsBuff_.objCAtIndex(static_cast<quint64>(index)));
}

std::optional<TCRSField> VEKTCRS::fieldAtIndex(qint32 index) const
{
    const TCRSField* f = fieldPtr(index);
    if (!f)
        return std::nullopt;
    return *f;
}

std::optional<TCRSField> VEKTCRS::fieldWithName(const QString& name) const
{
    return fieldAtIndex(indexOfFieldWithName(name));
}

quint32 VEKTCRS::nameKey(const char* name)
{
    const auto length = static_cast<quint32>(byteLength(name, kNameMax));
    if (length == 0)
        return 0;
    const auto* u = reinterpret_cast<const unsigned char*>(name);
    const quint32 beforeLast = length > 1 ? u[length - 2] : 0;
    return length | (quint32(u[length - 1]) << 8) | (beforeLast << 16) | (quint32(u[0]) << 24);
}

void VEKTCRS::rebuildNameIndex()
{
    nameKeys_.resize(static_cast<size_t>(std::max(nAllFields_, 0)));
    for (qint32 i = 0; i < nAllFields_; ++i)
        nameKeys_[static_cast<size_t>(i)] = nameKey(fieldPtr(i)->name);
    namesUnique_ = true;
    namesAscii_ = true;
    for (qint32 i = 0; i < nAllFields_ && namesAscii_; ++i) {
        const char* name = fieldPtr(i)->name;
        namesAscii_ = isAsciiBytes(name, byteLength(name, kNameMax + 1))
            && byteLength(name, kNameMax + 1) <= kNameMax;
    }
    // Two equal names have equal keys: sorted by key, they stand together.
    std::vector<std::pair<quint32, qint32>> byKey;
    byKey.reserve(nameKeys_.size());
    for (qint32 i = 0; i < nAllFields_; ++i)
        byKey.emplace_back(nameKeys_[size_t(i)], i);
    std::sort(byKey.begin(), byKey.end());
    for (size_t k = 0; k < byKey.size() && namesUnique_; ++k) {
        for (size_t j = k + 1; j < byKey.size() && byKey[j].first == byKey[k].first; ++j) {
            if (std::strncmp(fieldPtr(byKey[k].second)->name, fieldPtr(byKey[j].second)->name,
                    sizeof(TCRSField::name))
                == 0) {
                namesUnique_ = false;
                break;
            }
        }
    }
    lastFound_.set(-1);
}

// The last field was just appended to fields whose keys are current.
void VEKTCRS::appendNameKey()
{
    const qint32 last = nAllFields_ - 1;
    if (last < 0 || nameKeys_.size() != static_cast<size_t>(last)) {
        rebuildNameIndex();
        return;
    }
    const char* name = fieldPtr(last)->name;
    const quint32 key = nameKey(name);
    for (qint32 i = 0; i < last && namesUnique_; ++i)
        if (nameKeys_[size_t(i)] == key && std::strncmp(fieldPtr(i)->name, name, sizeof(TCRSField::name)) == 0)
            namesUnique_ = false;
    nameKeys_.push_back(key);
    namesAscii_ = namesAscii_ && isAsciiBytes(name, byteLength(name, kNameMax + 1))
        && byteLength(name, kNameMax + 1) <= kNameMax;
    lastFound_.set(-1);
}

qint32 VEKTCRS::indexOfFieldWithName(const QString& name) const
{
    return indexOfName(reinterpret_cast<const char16_t*>(name.constData()), name.size());
}

qint32 VEKTCRS::indexOfFieldWithName(QLatin1StringView name) const
{
    // Widened on the stack: no text is made for a name read cell after cell.
    const qsizetype length = name.size();
    if (length > kNameMax)
        return -1;
    char16_t units[kNameMax + 1];
    for (qsizetype i = 0; i < length; ++i)
        units[i] = static_cast<unsigned char>(name.data()[i]);
    return indexOfName(units, length);
}

qint32 VEKTCRS::indexOfName(const char16_t* wanted, qsizetype length) const
{
    // Names are ASCII: a name with any other character matches none. The
    // comparison runs on the stored bytes, as every read by name starts here;
    // the keys of the names pick the candidates, and the field after the one
    // found last is tried first, so a table read by name row by row compares
    // one name per cell rather than all of them.
    if (length > kNameMax)
        return -1;
    const auto* fields = reinterpret_cast<const TCRSField*>(fdsBuff_.base());
    const qint32 count = nAllFields_;
    const auto matches = [&](qint32 i) {
        const char* stored = fields[i].name;
        qsizetype k = 0;
#ifdef __SSE2__
        // Eight characters at a time, the same test: the stored bytes widened
        // to 16 bits equal the wanted units, and none is 0 or above 0x7F. The
        // loads stay inside the name (length <= 63 of its 64 bytes).
        for (; k + 8 <= length; k += 8) {
            const __m128i zero = _mm_setzero_si128();
            const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(stored + k));
            const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(wanted + k));
            const __m128i same = _mm_cmpeq_epi16(_mm_unpacklo_epi8(bytes, zero), units);
            const __m128i bad = _mm_or_si128(bytes, _mm_cmpeq_epi8(bytes, zero));
            if (_mm_movemask_epi8(same) != 0xFFFF || (_mm_movemask_epi8(bad) & 0xFF) != 0)
                return false;
        }
#endif
        for (; k < length; ++k) {
            const char16_t w = wanted[k];
            // 1 to 0x7F, and the stored byte is the same.
            if (static_cast<char16_t>(w - 1) >= 0x7F || static_cast<unsigned char>(stored[k]) != w)
                return false;
        }
        return stored[length] == 0;
    };
    if (nameKeys_.size() != static_cast<size_t>(std::max(count, 0))) {
        for (qint32 i = 0; i < count; ++i)
            if (matches(i))
                return i;
        return -1;
    }
    // The field after the one found last (the first after the last field) is
    // compared before any key is made: a row read by name in field order finds
    // every name there. With two fields of one name the first must win, so the
    // hint serves sets whose names are all different.
    qint32 hint = lastFound_.next();
    if (hint >= count)
        hint = 0;
    if (namesUnique_ && hint < count && matches(hint)) {
        lastFound_.set(hint);
        return hint;
    }
    // Length, the last two characters and the first: names of one table
    // often share their start and their length, rarely their end.
    const quint32 key = length == 0 ? 0
                                    : quint32(length) | (quint32(wanted[length - 1] & 0xFF) << 8)
            | (quint32(length > 1 ? wanted[length - 2] & 0xFF : 0) << 16) | (quint32(wanted[0] & 0xFF) << 24);
    const quint32* keys = nameKeys_.data();
    if (namesAscii_) {
        // A key match means the same length; the stored name is ASCII without
        // zero bytes up to it, so equal bytes mean the same character.
        const auto same = [&](qint32 i) {
            const char* stored = fields[i].name;
            for (qsizetype k = 0; k < length; ++k)
                if (static_cast<unsigned char>(stored[k]) != wanted[k])
                    return false;
            return true;
        };
        for (qint32 i = 0; i < count; ++i) {
            if (keys[i] == key && same(i)) {
                lastFound_.set(i);
                return i;
            }
        }
        return -1;
    }
    for (qint32 i = 0; i < count; ++i) {
        if (keys[i] == key && matches(i)) {
            lastFound_.set(i);
            return i;
        }
    }
    return -1;
}

QString VEKTCRS::fieldNameAtIndex(qint32 index) const
{
    const TCRSField* f = fieldPtr(index);
    if (!f)
        return QString();
    const qint64 n = byteLength(f->name, sizeof f->name);
    // Names are ASCII; one that is not reads as no name at all.
    return isAsciiBytes(f->name, n) ? QString::fromLatin1(f->name, n) : QString();
}

QString VEKTCRS::fieldDescAtIndex(qint32 index) const
{
    const TCRSField* f = fieldPtr(index);
    if (!f)
        return QString();
    if (f->coding == 1)
        return decodeBytes(f->desc, unitLength(f->desc, sizeof f->desc), TextEncoding::UTF16LE);
    const qint64 n = byteLength(f->desc, sizeof f->desc);
    return decodeBytes(f->desc, n, f->coding == 2 ? TextEncoding::UTF8 : TextEncoding::GB18030);
}

qint32 VEKTCRS::getLengthWithDataType(qint32 type)
{
    switch (type) {
    case kTypeBool:
    case kTypeInt8:
        return 1;
    case kTypeInt16:
        return 2;
    case kTypeInt32:
    case kTypeFloat:
    case kTypeInt32B:
    case kTypeInt32C:
        return 4;
    case kTypeInt64:
    case kTypeDouble:
    case kTypeText:
    case kTypeBytes:
    case kTypeUnicode:
        return 8;
    default:
        return 0;
    }
}

// ---------------------------------------------------------------------------
// Cursor

bool VEKTCRS::fetchFirst()
{
    if (nAllRecords_ <= 0)
        return false;
    nCurrRecord_ = 0;
    return true;
}

bool VEKTCRS::fetchLast()
{
    if (nAllRecords_ <= 0)
        return false;
    nCurrRecord_ = nAllRecords_ - 1;
    return true;
}

bool VEKTCRS::fetchNext()
{
    if (isEOF())
        return false;
    ++nCurrRecord_;
    return !isEOF();
}

bool VEKTCRS::fetchPrev()
{
    if (isBOF())
        return false;
    --nCurrRecord_;
    return !isBOF();
}

bool VEKTCRS::skipOff(qint32 n)
{
    if (nAllRecords_ <= 0) {
        nCurrRecord_ = -1;
        return false;
    }
    const qint64 target = static_cast<qint64>(nCurrRecord_) + n;
    if (n > 0) {
        nCurrRecord_ = static_cast<qint32>(std::min<qint64>(target, nAllRecords_));
        return target < nAllRecords_;
    }
    if (n == 0)
        return nCurrRecord_ != -1 && nCurrRecord_ != nAllRecords_;
    nCurrRecord_ = static_cast<qint32>(std::max<qint64>(target, -1));
    return target >= 0;
}

bool VEKTCRS::moveTo(qint32 n)
{
    fetchFirst();
    return skipOff(n) && n >= 0 && n < nAllRecords_;
}

bool VEKTCRS::setCurrent(qint32 n)
{
    if (nAllRecords_ <= 0) {
        nCurrRecord_ = -1;
        return false;
    }
    if (n >= nAllRecords_) {
        nCurrRecord_ = nAllRecords_;
        return false;
    }
    if (n < 0) {
        nCurrRecord_ = -1;
        return false;
    }
    nCurrRecord_ = n;
    return true;
}

// ---------------------------------------------------------------------------
// Values

const uint8_t* VEKTCRS::recordPtr(qint32 record) const
{
    if (record < 0 || record >= nAllRecords_ || nRecordSize_ < 0)
        return nullptr;
    const qint64 start = static_cast<qint64>(record) * nRecordSize_;
    if (start + nRecordSize_ > static_cast<qint64>(recsBuff_.count()))
        return nullptr;
    return recsBuff_.base() + start;
}

uint8_t* VEKTCRS::recordPtr(qint32 record)
{
    return const_cast<uint8_t*>(std::as_const(*this).recordPtr(record));
}

const char* VEKTCRS::valueIn(const uint8_t* record, const TCRSField& field, qint32* length) const
{
    *length = 0;
    if (!record || field.offset < 0 || field.length < 0
        || static_cast<qint64>(field.offset) + field.length > nRecordSize_)
        return nullptr;
    const uint8_t* p = record + field.offset;
    if (!isVariableType(field.type)) {
        *length = field.length;
        return reinterpret_cast<const char*>(p);
    }
    if (field.length < 8)
        return nullptr;
    const qint64 offset = readInt32(p);
    const qint32 size = readInt32(p + 4);
    *length = size;
    if (size <= 0)
        return nullptr;
    if (offset < 0 || offset + size > static_cast<qint64>(dataBuff_.count())) {
        *length = 0;
        return nullptr;
    }
    return reinterpret_cast<const char*>(dataBuff_.base()) + offset;
}

VEKTCRS::Cell VEKTCRS::cellAt(qint32 index) const
{
    Cell cell;
    const TCRSField* f = fieldPtr(index);
    const uint8_t* record = recordPtr(nCurrRecord_);
    if (!f || !record)
        return cell;
    cell.field = f;
    cell.data = valueIn(record, *f, &cell.length);
    return cell;
}

const char* VEKTCRS::fieldValueAtIndex(qint32 index, qint32* length) const
{
    const Cell cell = cellAt(index);
    if (length)
        *length = cell.length;
    return cell.data;
}

const char* VEKTCRS::fieldValueWithName(const QString& name, qint32* length) const
{
    const qint32 index = indexOfFieldWithName(name);
    if (index < 0)
        return nullptr;
    return fieldValueAtIndex(index, length);
}

QByteArray VEKTCRS::fieldDataAtIndex(qint32 index) const
{
    const Cell cell = cellAt(index);
    if (!cell.data || cell.length <= 0)
        return QByteArray();
    return QByteArray(cell.data, cell.length);
}

QByteArray VEKTCRS::fieldDataWithName(const QString& name) const
{
    return fieldDataAtIndex(indexOfFieldWithName(name));
}

QByteArrayView VEKTCRS::getByteAtIndex(qint32 index) const
{
    const Cell cell = cellAt(index);
    if (!cell.data || cell.length <= 0)
        return QByteArrayView();
    return QByteArrayView(cell.data, cell.length);
}

QByteArrayView VEKTCRS::getByteWithName(const QString& name) const
{
    return getByteAtIndex(indexOfFieldWithName(name));
}

QString VEKTCRS::getUnideByteAtIndex(qint32 index) const
{
    const Cell cell = cellAt(index);
    if (!cell.data || cell.length <= 0)
        return QString();
    // Values need not be aligned for 16-bit reads, so the units are copied.
    QString units(QLatin1StringView(""));
    units.resize(cell.length / 2);
    for (qint32 i = 0; i < cell.length / 2; ++i)
        units[i] = QChar(qFromLittleEndian<quint16>(cell.data + 2 * i));
    return units;
}

QString VEKTCRS::getUnideByteWithName(const QString& name) const
{
    return getUnideByteAtIndex(indexOfFieldWithName(name));
}

qint32 VEKTCRS::getIntAtIndex(qint32 index) const
{
    const Cell cell = cellAt(index);
    return static_cast<qint32>(readSigned(cell.data, cell.data ? cell.length : 0, 4));
}

qint32 VEKTCRS::getIntWithName(const QString& name) const
{
    return getIntAtIndex(indexOfFieldWithName(name));
}

qint64 VEKTCRS::getInt64AtIndex(qint32 index) const
{
    const Cell cell = cellAt(index);
    return readSigned(cell.data, cell.data ? cell.length : 0, 8);
}

qint64 VEKTCRS::getInt64WithName(const QString& name) const
{
    return getInt64AtIndex(indexOfFieldWithName(name));
}

double VEKTCRS::getFloatAtIndex(qint32 index) const
{
    const Cell cell = cellAt(index);
    return readDouble(cell.data, cell.data ? cell.length : 0);
}

double VEKTCRS::getFloatWithName(const QString& name) const
{
    return getFloatAtIndex(indexOfFieldWithName(name));
}

// Text values follow the set's encoding, whatever their type: up to the first
// zero byte (zero unit for UTF-16), never past the value.
QString VEKTCRS::textOf(const char* bytes, qint32 length) const
{
    QString text;
    TextOut out(text);
    textOf(bytes, length, out);
    return text;
}

void VEKTCRS::textOf(const char* bytes, qint32 length, TextOut& out) const
{
    if (!bytes || length <= 0) {
        out.empty();
        return;
    }
    decodeStoredText(bytes, length, textEncodingOf(nRsStringCoding_), out);
}

void VEKTCRS::cellText(const Cell& cell, TextOut& out) const
{
    if (!cell.field) {
        out.empty();
        return;
    }
    switch (cell.field->type) {
    case kTypeBool:
    case kTypeInt8:
    case kTypeInt16:
    case kTypeInt32:
    case kTypeInt32B:
    case kTypeInt32C:
        if (cell.data)
            integerText(cellInt64(cell, true), out);
        else
            out.empty();
        return;
    case kTypeInt64:
        if (cell.data)
            integerText(cellInt64(cell, false), out);
        else
            out.empty();
        return;
    case kTypeFloat:
    case kTypeDouble:
        if (cell.data)
            fixed3Text(cellDouble(cell), out);
        else
            out.empty();
        return;
    case kTypeText:
    case kTypeUnicode:
        textOf(cell.data, cell.length, out);
        return;
    case kTypeBytes:
        out.assign(QStringLiteral("Array"));
        return;
    default:
        out.empty();
        return;
    }
}

// The integer reading of a value; `narrow` gives the 32-bit reads' value.
qint64 VEKTCRS::cellInt64(const Cell& cell, bool narrow) const
{
    if (!cell.field)
        return 0;
    const qint32 length = cell.data ? cell.length : 0;
    switch (cell.field->type) {
    case kTypeBool:
    case kTypeInt8:
        return readSigned(cell.data, length, 1);
    case kTypeInt16:
        return readSigned(cell.data, length, 2);
    case kTypeInt32:
    case kTypeInt32B:
    case kTypeInt32C:
        return readSigned(cell.data, length, 4);
    case kTypeInt64: {
        const qint64 v = readSigned(cell.data, length, 8);
        return narrow ? static_cast<qint32>(static_cast<quint32>(v)) : v;
    }
    case kTypeFloat: {
        const double v = readSingle(cell.data, length);
        return narrow ? saturatingInt32(v) : saturatingInt64(v);
    }
    case kTypeDouble: {
        const double v = readDouble(cell.data, length);
        return narrow ? saturatingInt32(v) : saturatingInt64(v);
    }
    case kTypeText:
    case kTypeUnicode: {
        const QString text = textOf(cell.data, cell.length);
        return narrow ? int32FromText(text) : int64FromText(text);
    }
    case kTypeBytes:
        return std::max(cell.length, 0);
    default:
        return 0;
    }
}

double VEKTCRS::cellDouble(const Cell& cell) const
{
    if (!cell.field)
        return 0.0;
    const qint32 length = cell.data ? cell.length : 0;
    switch (cell.field->type) {
    case kTypeFloat:
        return readSingle(cell.data, length);
    case kTypeDouble:
        return readDouble(cell.data, length);
    case kTypeText:
    case kTypeUnicode:
        return doubleFromText(textOf(cell.data, cell.length));
    default:
        return static_cast<double>(cellInt64(cell, false));
    }
}

QString VEKTCRS::toStringAtIndex(qint32 index) const
{
    QString text;
    TextOut out(text);
    writeText(index, out);
    return text;
}

QString VEKTCRS::toStringWithName(const QString& name) const
{
    return toStringAtIndex(indexOfFieldWithName(name));
}

QString VEKTCRS::toStringWithName(QLatin1StringView name) const
{
    return toStringAtIndex(indexOfFieldWithName(name));
}

bool VEKTCRS::readStringAtIndex(qint32 index, QString& text) const
{
    TextOut out(text);
    return writeText(index, out);
}

bool VEKTCRS::readStringWithName(const QString& name, QString& text) const
{
    return readStringAtIndex(indexOfFieldWithName(name), text);
}

bool VEKTCRS::readStringWithName(QLatin1StringView name, QString& text) const
{
    return readStringAtIndex(indexOfFieldWithName(name), text);
}

bool VEKTCRS::writeText(qint32 index, TextOut& out) const
{
    const uint8_t* record = recordPtr(nCurrRecord_);
    if (!record || index < 0 || index >= nAllFields_) {
        out.empty();
        return false;
    }
    writeFieldText(reinterpret_cast<const TCRSField*>(fdsBuff_.base())[index], record, out);
    return true;
}

bool VEKTCRS::readStringsAtIndexes(std::span<const qint32> indexes, std::span<QString> texts) const
{
    const uint8_t* record = recordPtr(nCurrRecord_);
    const auto* fields = reinterpret_cast<const TCRSField*>(fdsBuff_.base());
    bool all = record != nullptr;
    for (size_t i = 0; i < texts.size(); ++i) {
        TextOut out(texts[i]);
        const qint32 index = i < indexes.size() ? indexes[i] : -1;
        if (!record || index < 0 || index >= nAllFields_) {
            out.empty();
            all = false;
            continue;
        }
        writeFieldText(fields[index], record, out);
    }
    return all && indexes.size() == texts.size();
}

[[gnu::always_inline]] inline void VEKTCRS::writeFieldText(const TCRSField& field, const uint8_t* record, TextOut& out) const
{
    // The common types whose value lies whole in the record read straight
    // from it; everything else (and any odd layout) takes the general path.
    if (field.offset >= 0 && field.length >= 8
        && static_cast<qint64>(field.offset) + field.length <= nRecordSize_) {
        const char* p = reinterpret_cast<const char*>(record + field.offset);
        switch (field.type) {
        case kTypeInt64:
            integerText(qFromLittleEndian<qint64>(p), out);
            return;
        case kTypeDouble: {
            double value;
            std::memcpy(&value, p, sizeof value);
            fixed3Text(value, out);
            return;
        }
        case kTypeText:
        case kTypeUnicode: {
            const qint64 offset = readInt32(p);
            const qint32 size = readInt32(p + 4);
            if (size <= 0 || offset < 0 || offset + size > static_cast<qint64>(dataBuff_.count()))
                out.empty();
            else
                textOf(reinterpret_cast<const char*>(dataBuff_.base()) + offset, size, out);
            return;
        }
        default:
            break;
        }
    } else if (field.offset >= 0 && field.length >= 4
        && static_cast<qint64>(field.offset) + field.length <= nRecordSize_
        && (field.type == kTypeInt32 || field.type == kTypeInt32B || field.type == kTypeInt32C)) {
        integerText(qFromLittleEndian<qint32>(record + field.offset), out);
        return;
    }
    Cell cell;
    cell.field = &field;
    cell.data = valueIn(record, field, &cell.length);
    cellText(cell, out);
}

qint32 VEKTCRS::toIntAtIndex(qint32 index) const
{
    return static_cast<qint32>(cellInt64(cellAt(index), true));
}

qint32 VEKTCRS::toIntWithName(const QString& name) const
{
    return toIntAtIndex(indexOfFieldWithName(name));
}

qint64 VEKTCRS::toInt64AtIndex(qint32 index) const
{
    return cellInt64(cellAt(index), false);
}

qint64 VEKTCRS::toInt64WithName(const QString& name) const
{
    return toInt64AtIndex(indexOfFieldWithName(name));
}

double VEKTCRS::toFloatAtIndex(qint32 index) const
{
    return cellDouble(cellAt(index));
}

double VEKTCRS::toFloatWithName(const QString& name) const
{
    return toFloatAtIndex(indexOfFieldWithName(name));
}

QString VEKTCRS::toStringAtIndex(qint32 index, TextEncoding encoding) const
{
    const Cell cell = cellAt(index);
    if (!cell.data || cell.length <= 0)
        return QString();
    return platform::decodeTextLossy(QByteArrayView(cell.data, cell.length), encoding);
}

QString VEKTCRS::toStringWithName(const QString& name, TextEncoding encoding) const
{
    return toStringAtIndex(indexOfFieldWithName(name), encoding);
}
