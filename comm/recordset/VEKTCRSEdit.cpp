// Building, editing, transforming and archiving record sets.
#include "comm/recordset/TCRSBytes.h"
#include "comm/recordset/TCRSText.h"
#include "comm/recordset/VEKTCRS.h"

#include <QDebug>
#include <algorithm>
#include <cstring>
#include <mutex>
#include <numeric>

using namespace tcrs;
using platform::TextEncoding;

struct VEKTCRS::SortKey {
    enum Kind { None, Integer, Floating, Text } kind = None;
    qint64 integer = 0;
    double floating = 0.0;
    QString text;
};

namespace {

TCRSField namedField(const char* name, qint32 type)
{
    TCRSField f {};
    f.type = type;
    std::strncpy(f.name, name, sizeof f.name - 1);
    return f;
}

// A stable bottom-up merge sort of record indices. It never reads outside its
// arrays whatever the comparison answers, which a caller's function may not
// keep consistent.
template <typename Compare> std::vector<qint32> sortedOrder(qint32 count, Compare compare)
{
    std::vector<qint32> order(static_cast<size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    std::vector<qint32> merged(order.size());
    const qint64 n = count;
    for (qint64 width = 1; width < n; width *= 2) {
        for (qint64 lo = 0; lo < n; lo += 2 * width) {
            const qint64 mid = std::min(lo + width, n);
            const qint64 hi = std::min(lo + 2 * width, n);
            qint64 i = lo, j = mid, k = lo;
            while (i < mid && j < hi)
                merged[k++] = compare(order[j], order[i]) < 0 ? order[j++] : order[i++];
            while (i < mid)
                merged[k++] = order[i++];
            while (j < hi)
                merged[k++] = order[j++];
        }
        order.swap(merged);
    }
    return order;
}

int sign(qint64 v)
{
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

} // namespace

int VEKTCRS::compareKeys(const SortKey& a, const SortKey& b)
{
    switch (a.kind) {
    case SortKey::Integer:
        return a.integer < b.integer ? -1 : (a.integer > b.integer ? 1 : 0);
    // A NaN compares equal to everything.
    case SortKey::Floating:
        return a.floating < b.floating ? -1 : (a.floating > b.floating ? 1 : 0);
    case SortKey::Text:
        return sign(QString::compare(a.text, b.text, Qt::CaseSensitive));
    case SortKey::None:
        break;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Construction and info text

VEKTCRS VEKTCRS::initWithInt(qint32 value)
{
    VEKTCRS set;
    set.addField(namedField("ER_Int", kTypeInt32));
    set.appendRecord();
    set.updateFieldWithInt(0, value);
    return set;
}

VEKTCRS VEKTCRS::initWithDouble(double value)
{
    VEKTCRS set;
    set.addField(namedField("ER_Double", kTypeDouble));
    set.appendRecord();
    set.updateFieldWithDouble(0, value);
    return set;
}

namespace {

// An info record's text: ASCII when not Unicode, else by the set's encoding;
// nothing when it cannot be converted.
std::optional<QByteArray> infoRecordText(const QString& text, bool isUnicode, qint32 encoding)
{
    if (!isUnicode)
        return platform::encodeText(text, TextEncoding::ASCII);
    if (encoding < 0 || encoding > 2)
        return std::nullopt;
    return platform::encodeText(text, textEncodingOf(encoding));
}

} // namespace

VEKTCRS VEKTCRS::initWithString(const QString& text, bool isUnicode)
{
    VEKTCRS set;
    set.addField(namedField("ER_String", isUnicode ? kTypeUnicode : kTypeText));
    set.appendRecord();
    if (const auto bytes = infoRecordText(text, isUnicode, set.nRsStringCoding_))
        set.updateFieldWithData(0, *bytes);
    return set;
}

VEKTCRS VEKTCRS::initWithInt(qint32 value, const QString& text, bool isUnicode)
{
    VEKTCRS set;
    set.addField(namedField("ER_Int", kTypeInt32));
    set.addField(namedField("ER_String", isUnicode ? kTypeUnicode : kTypeText));
    set.appendRecord();
    set.updateFieldWithInt(0, value);
    if (const auto bytes = infoRecordText(text, isUnicode, set.nRsStringCoding_))
        set.updateFieldWithData(1, *bytes);
    return set;
}

bool VEKTCRS::setRecordsetInfo(const QString& text, bool isUnicode)
{
    // A Unicode info text is read back as UTF-16 units whatever the set's
    // encoding, so that is how it is stored; unless those units hold what the
    // layout reads as a separator ("A最" is 41 00 00 67): then UTF-8 under
    // the flag that is not Unicode, which the reader decodes as UTF-8.
    auto bytes = platform::encodeText(text, isUnicode ? TextEncoding::UTF16LE : TextEncoding::ASCII);
    if (!bytes)
        return false;
    if (isUnicode && holdsSeparator(bytes->constData(), std::min<qsizetype>(bytes->size(), 126))) {
        bytes = platform::encodeText(text, TextEncoding::UTF8);
        if (!bytes)
            return false;
        isUnicode = false;
    }
    qsizetype kept = std::min<qsizetype>(bytes->size(), 126);
    // UTF-8 is cut at a character's start, never inside one.
    while (!isUnicode && kept < bytes->size() && kept > 0 && (uchar(bytes->at(kept)) & 0xC0) == 0x80)
        --kept;
    std::memset(szResInfo_, 0, sizeof szResInfo_);
    std::memcpy(szResInfo_, bytes->constData(), static_cast<size_t>(kept));
    isUnistringInfo_ = isUnicode;
    return true;
}

// ---------------------------------------------------------------------------
// Fields

// Lays the records out again for a new list of fields: offsets become running
// sums of the lengths and each kept field's bytes move from its old offset
// (-1 for a new field, which starts zeroed).
bool VEKTCRS::relayout(std::vector<TCRSField> fields, const std::vector<qint32>& oldOffsets)
{
    qint64 size = 0;
    for (TCRSField& f : fields) {
        f.offset = static_cast<qint32>(std::min<qint64>(size, kMaxBlockBytes));
        size += std::max(f.length, 0);
        if (size > kMaxBlockBytes)
            return false;
    }
    const qint64 recordCount = nAllRecords_;
    if (recordCount * std::max<qint64>(size, 1) > kMaxBlockBytes)
        return false;
    if (static_cast<qint64>(fields.size()) * static_cast<qint64>(sizeof(TCRSField)) > kMaxBlockBytes)
        return false;

    VEKDataArray records = VEKDataArray::initWithCount(0, 1);
    if (!records.resetCount(static_cast<quint64>(recordCount * size)))
        return false;
    if (recordCount * size > 0)
        std::memset(records.base(), 0, static_cast<size_t>(recordCount * size));
    for (qint32 r = 0; r < nAllRecords_; ++r) {
        const uint8_t* old = recordPtr(r);
        uint8_t* now = records.base() + r * size;
        for (size_t k = 0; k < fields.size(); ++k) {
            const qint64 from = oldOffsets[k];
            const qint64 length = std::max(fields[k].length, 0);
            if (old && from >= 0 && from + length <= nRecordSize_)
                std::memcpy(now + fields[k].offset, old + from, static_cast<size_t>(length));
        }
    }
    VEKDataArray items = VEKDataArray::initWithCount(fields.size(), sizeof(TCRSField));
    if (!items.appendBytes(fields.data(), fields.size()))
        return false;
    fdsBuff_ = std::move(items);
    recsBuff_ = std::move(records);
    nAllFields_ = static_cast<qint32>(fields.size());
    nRecordSize_ = static_cast<qint32>(size);
    runningLayout_ = true;
    rebuildNameIndex();
    return true;
}

// A set without records has nothing to move: the field goes after the others.
bool VEKTCRS::appendFieldWithoutRecords(TCRSField field)
{
    const qint64 size = static_cast<qint64>(nRecordSize_) + std::max(field.length, 0);
    if (size > kMaxBlockBytes
        || (static_cast<qint64>(nAllFields_) + 1) * static_cast<qint64>(sizeof(TCRSField)) > kMaxBlockBytes)
        return false;
    field.offset = nRecordSize_;
    if (!fdsBuff_.resetCount(static_cast<quint64>(nAllFields_)) || !fdsBuff_.appendData(&field))
        return false;
    ++nAllFields_;
    nRecordSize_ = static_cast<qint32>(size);
    appendNameKey();
    return true;
}

bool VEKTCRS::insertField(const TCRSField& field, qint32 index)
{
    TCRSField added = field;
    added.length = getLengthWithDataType(added.type);
    added.name[sizeof added.name - 1] = 0;
    added.desc[sizeof added.desc - 1] = 0;
    added.desc[sizeof added.desc - 2] = 0;
    // The writer must never write what the reader cannot read back: a name is
    // cut at "|" and a Unicode description at two zero bytes and a non-zero one.
    if (std::memchr(added.name, '|', std::strlen(added.name)) != nullptr)
        return false;
    if (added.coding != 0 && added.coding != 255) {
        qint64 units = 0;
        while (
            units + 1 < qint64(sizeof added.desc) && (added.desc[units] != 0 || added.desc[units + 1] != 0))
            units += 2;
        if (holdsSeparator(added.desc, units))
            return false;
    }
    const qint32 at = index >= 0 && index < nAllFields_ ? index : nAllFields_;
    if (at == nAllFields_ && nAllRecords_ == 0 && runningLayout_)
        return appendFieldWithoutRecords(added);
    std::vector<TCRSField> fields;
    std::vector<qint32> oldOffsets;
    fields.reserve(static_cast<size_t>(nAllFields_) + 1);
    for (qint32 i = 0; i <= nAllFields_; ++i) {
        if (i == at) {
            fields.push_back(added);
            oldOffsets.push_back(-1);
        }
        if (i < nAllFields_) {
            fields.push_back(*fieldPtr(i));
            oldOffsets.push_back(fieldPtr(i)->offset);
        }
    }
    return relayout(std::move(fields), oldOffsets);
}

bool VEKTCRS::deleteFieldAtIndex(qint32 index)
{
    const TCRSField* removed = fieldPtr(index);
    if (!removed)
        return false;
    const bool dropsValues = nAllRecords_ > 0 && isVariableType(removed->type);
    std::vector<TCRSField> fields;
    std::vector<qint32> oldOffsets;
    for (qint32 i = 0; i < nAllFields_; ++i) {
        if (i == index)
            continue;
        fields.push_back(*fieldPtr(i));
        oldOffsets.push_back(fieldPtr(i)->offset);
    }
    if (!relayout(std::move(fields), oldOffsets))
        return false;
    isDirty_ = isDirty_ || dropsValues;
    return true;
}

bool VEKTCRS::deleteFieldWithName(const QString& name)
{
    const qint32 index = indexOfFieldWithName(name);
    return index >= 0 && deleteFieldAtIndex(index);
}

// ---------------------------------------------------------------------------
// Records

bool VEKTCRS::insertRecordAtIndex(qint32 index)
{
    const qint64 size = nRecordSize_;
    if ((static_cast<qint64>(nAllRecords_) + 1) * std::max<qint64>(size, 1) > kMaxBlockBytes)
        return false;
    const qint32 at = index >= 0 && index < nAllRecords_ ? index : nAllRecords_;
    const qint64 before = static_cast<qint64>(recsBuff_.count());
    if (size > 0) {
        if (!recsBuff_.resetCount(static_cast<quint64>(before + size)))
            return false;
        uint8_t* start = recsBuff_.base() + at * size;
        std::memmove(start + size, start, static_cast<size_t>(before - at * size));
        std::memset(start, 0, static_cast<size_t>(size));
    }
    ++nAllRecords_;
    nCurrRecord_ = at;
    return true;
}

bool VEKTCRS::deleteRecordAtIndex(qint32 index)
{
    const qint32 record = index == -1 ? nCurrRecord_ : index;
    const uint8_t* bytes = recordPtr(record);
    if (record < 0 || record >= nAllRecords_)
        return false;
    if (bytes && dataBuff_.count() > 0) {
        for (qint32 i = 0; i < nAllFields_; ++i) {
            const TCRSField* f = fieldPtr(i);
            if (isVariableType(f->type) && f->offset >= 0
                && static_cast<qint64>(f->offset) + 8 <= nRecordSize_ && readInt32(bytes + f->offset + 4) > 0)
                isDirty_ = true;
        }
    }
    recsBuff_.removeobjCInRange(static_cast<quint64>(record) * static_cast<quint64>(nRecordSize_),
        static_cast<quint64>(nRecordSize_));
    --nAllRecords_;
    if (nAllRecords_ == 0)
        nCurrRecord_ = -1;
    else if (nCurrRecord_ > nAllRecords_)
        nCurrRecord_ = nAllRecords_;
    return true;
}

// ---------------------------------------------------------------------------
// Writing values

bool VEKTCRS::updateFieldWithByte(qint32 fieldIndex, const char* bytes, qint32 length, qint32 recordIndex)
{
    uint8_t* record = recordPtr(recordIndex == -1 ? nCurrRecord_ : recordIndex);
    const TCRSField* f = fieldPtr(fieldIndex);
    if (!record || !f || f->type == 0 || length < 0 || (length > 0 && !bytes))
        return false;
    if (f->offset < 0 || f->length < 0 || static_cast<qint64>(f->offset) + f->length > nRecordSize_)
        return false;
    uint8_t* slot = record + f->offset;
    if (!isVariableType(f->type)) {
        if (length != f->length)
            return false;
        if (length > 0)
            std::memmove(slot, bytes, static_cast<size_t>(length));
        return true;
    }
    if (f->length < 8)
        return false;
    // Values are kept at even offsets: an odd one gets a zero byte after it.
    const qint64 at = static_cast<qint64>(dataBuff_.count());
    const qint64 padded = length + (length & 1);
    if (at + padded > kMaxBlockBytes)
        return false;
    const char zero = 0;
    if (!dataBuff_.appendBytes(bytes, static_cast<quint64>(length))
        || ((length & 1) && !dataBuff_.appendData(&zero)))
        return false;
    if (readInt32(slot + 4) > 0)
        isDirty_ = true;
    writeInt32(slot, static_cast<qint32>(at));
    writeInt32(slot + 4, length);
    return true;
}

bool VEKTCRS::updateFieldWithData(qint32 fieldIndex, const QByteArray& data)
{
    if (data.size() > kMaxBlockBytes)
        return false;
    return updateFieldWithByte(fieldIndex, data.constData(), static_cast<qint32>(data.size()), -1);
}

bool VEKTCRS::storeInteger(qint32 fieldIndex, qint64 value)
{
    const TCRSField* f = fieldPtr(fieldIndex);
    if (!f)
        return false;
    char bytes[8];
    switch (f->type) {
    case kTypeBool:
        bytes[0] = value != 0 ? 1 : 0;
        return updateFieldWithByte(fieldIndex, bytes, 1, -1);
    case kTypeInt8:
        bytes[0] = static_cast<char>(value & 0xFF);
        return updateFieldWithByte(fieldIndex, bytes, 1, -1);
    case kTypeInt16:
        qToLittleEndian<quint16>(static_cast<quint16>(value), bytes);
        return updateFieldWithByte(fieldIndex, bytes, 2, -1);
    case kTypeInt32:
    case kTypeInt32B:
    case kTypeInt32C:
        qToLittleEndian<quint32>(static_cast<quint32>(value), bytes);
        return updateFieldWithByte(fieldIndex, bytes, 4, -1);
    case kTypeInt64:
        qToLittleEndian<quint64>(static_cast<quint64>(value), bytes);
        return updateFieldWithByte(fieldIndex, bytes, 8, -1);
    case kTypeFloat:
    case kTypeDouble:
        return storeFloating(fieldIndex, static_cast<double>(value));
    default:
        return false;
    }
}

bool VEKTCRS::storeFloating(qint32 fieldIndex, double value)
{
    const TCRSField* f = fieldPtr(fieldIndex);
    if (!f)
        return false;
    char bytes[8];
    switch (f->type) {
    case kTypeBool:
        bytes[0] = value != 0 ? 1 : 0;
        return updateFieldWithByte(fieldIndex, bytes, 1, -1);
    // Truncated toward zero, saturating at the width's limits.
    case kTypeInt8:
        return storeInteger(fieldIndex, saturatingInt8(value));
    case kTypeInt16:
        return storeInteger(fieldIndex, saturatingInt16(value));
    case kTypeInt32:
    case kTypeInt32B:
    case kTypeInt32C:
        return storeInteger(fieldIndex, saturatingInt32(value));
    case kTypeInt64:
        return storeInteger(fieldIndex, saturatingInt64(value));
    case kTypeFloat: {
        const float single = toSingle(value);
        quint32 raw;
        std::memcpy(&raw, &single, 4);
        qToLittleEndian<quint32>(raw, bytes);
        return updateFieldWithByte(fieldIndex, bytes, 4, -1);
    }
    case kTypeDouble: {
        quint64 raw;
        std::memcpy(&raw, &value, 8);
        qToLittleEndian<quint64>(raw, bytes);
        return updateFieldWithByte(fieldIndex, bytes, 8, -1);
    }
    default:
        return false;
    }
}

bool VEKTCRS::updateFieldWithInt(qint32 fieldIndex, qint32 value)
{
    return storeInteger(fieldIndex, value);
}

bool VEKTCRS::updateFieldWithInt64(qint32 fieldIndex, qint64 value)
{
    return storeInteger(fieldIndex, value);
}

bool VEKTCRS::updateFieldWithDouble(qint32 fieldIndex, double value)
{
    return storeFloating(fieldIndex, value);
}

bool VEKTCRS::updateFieldWithString(qint32 fieldIndex, const QString& text)
{
    const TCRSField* f = fieldPtr(fieldIndex);
    if (!f)
        return false;
    switch (f->type) {
    case kTypeBool:
    case kTypeInt8:
    case kTypeInt16:
    case kTypeInt32:
    case kTypeInt32B:
    case kTypeInt32C:
        return storeInteger(fieldIndex, int32FromText(text));
    case kTypeInt64:
        return storeInteger(fieldIndex, int64FromText(text));
    case kTypeFloat:
    case kTypeDouble:
        return storeFloating(fieldIndex, doubleFromText(text));
    case kTypeText:
    case kTypeUnicode: {
        // Stored in the set's encoding, which is how every text read decodes it.
        const auto bytes = platform::encodeText(text, textEncodingOf(nRsStringCoding_));
        return bytes && updateFieldWithData(fieldIndex, *bytes);
    }
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------
// Whole-set operations

void VEKTCRS::clone(const VEKTCRS* other)
{
    if (!other)
        return;
    if (other != this) {
        fdsBuff_ = other->fdsBuff_;
        nameKeys_ = other->nameKeys_;
        namesUnique_ = other->namesUnique_;
        namesAscii_ = other->namesAscii_;
        runningLayout_ = other->runningLayout_;
        recsBuff_ = other->recsBuff_;
        dataBuff_ = other->dataBuff_;
        nAllFields_ = other->nAllFields_;
        nRecordSize_ = other->nRecordSize_;
        nAllRecords_ = other->nAllRecords_;
        isUnistringInfo_ = other->isUnistringInfo_;
        std::memcpy(szResInfo_, other->szResInfo_, sizeof szResInfo_);
        // The values are only readable in the encoding they were written in.
        nRsStringCoding_ = other->nRsStringCoding_;
    }
    nCurrRecord_ = -1;
    isDirty_ = false;
}

bool VEKTCRS::reverseData()
{
    if (nAllRecords_ == 0)
        return true;
    const qint64 size = nRecordSize_;
    if (static_cast<qint64>(recsBuff_.count()) != nAllRecords_ * size)
        return false;
    std::vector<uint8_t> swap(static_cast<size_t>(size));
    for (qint64 lo = 0, hi = nAllRecords_ - 1; lo < hi; ++lo, --hi) {
        uint8_t* a = recsBuff_.base() + lo * size;
        uint8_t* b = recsBuff_.base() + hi * size;
        std::memcpy(swap.data(), a, static_cast<size_t>(size));
        std::memcpy(a, b, static_cast<size_t>(size));
        std::memcpy(b, swap.data(), static_cast<size_t>(size));
    }
    return true;
}

bool VEKTCRS::mergeTCRS(const VEKTCRS* other, bool surface)
{
    if (!other || other->nRecordSize_ != nRecordSize_ || other->nAllFields_ != nAllFields_
        || nAllFields_ == 0)
        return false;
    const TCRSField* mine = fieldPtr(0);
    const TCRSField* theirs = other->fieldPtr(0);
    if (mine->type != theirs->type || std::strncmp(mine->name, theirs->name, sizeof mine->name) != 0)
        return false;
    // Records are only meaningful in the layout they were written in.
    for (qint32 i = 0; i < nAllFields_; ++i) {
        const TCRSField* a = fieldPtr(i);
        const TCRSField* b = other->fieldPtr(i);
        if (a->type != b->type || a->length != b->length || a->offset != b->offset)
            return false;
    }
    if (other->nAllRecords_ == 0)
        return true;
    const qint64 total = static_cast<qint64>(nAllRecords_) + other->nAllRecords_;
    const qint64 size = nRecordSize_;
    if (total * std::max<qint64>(size, 1) > kMaxBlockBytes)
        return false;

    const VEKTCRS* first = surface ? other : this;
    const VEKTCRS* second = surface ? this : other;
    VEKDataArray records = VEKDataArray::initWithCount(static_cast<quint64>(total * size), 1);
    for (const VEKTCRS* group : { first, second }) {
        if (!records.appendBytes(group->recsBuff_.base(), static_cast<quint64>(group->nAllRecords_) * size))
            return false;
    }
    VEKDataArray data = VEKDataArray::initWithCount(dataBuff_.count() + other->dataBuff_.count(), 1);
    for (qint32 i = 0; i < nAllFields_; ++i) {
        const TCRSField* f = fieldPtr(i);
        if (!isVariableType(f->type) || f->length < 8)
            continue;
        qint64 base = 0;
        for (const VEKTCRS* group : { first, second }) {
            for (qint32 r = 0; r < group->nAllRecords_; ++r) {
                uint8_t* slot = records.base() + (base + r) * size + f->offset;
                if (!group->copyValueInto(r, *f, slot, data))
                    return false;
            }
            base += group->nAllRecords_;
        }
    }
    recsBuff_ = std::move(records);
    dataBuff_ = std::move(data);
    nAllRecords_ = static_cast<qint32>(total);
    nCurrRecord_ = -1;
    isDirty_ = false;
    return true;
}

VEKTCRS::SortKey VEKTCRS::sortKey(qint32 record, const TCRSField& field) const
{
    SortKey key;
    qint32 length = 0;
    const char* value = valueIn(recordPtr(record), field, &length);
    const qint32 available = value ? length : 0;
    switch (field.type) {
    case kTypeBool:
    case kTypeInt8:
        key.kind = SortKey::Integer;
        key.integer = readSigned(value, available, 1);
        break;
    case kTypeInt16:
        key.kind = SortKey::Integer;
        key.integer = readSigned(value, available, 2);
        break;
    case kTypeInt32:
    case kTypeInt32B:
    case kTypeInt32C:
        key.kind = SortKey::Integer;
        key.integer = readSigned(value, available, 4);
        break;
    case kTypeInt64:
        key.kind = SortKey::Integer;
        key.integer = readSigned(value, available, 8);
        break;
    case kTypeFloat:
        key.kind = SortKey::Floating;
        key.floating = readSingle(value, available);
        break;
    case kTypeDouble:
        key.kind = SortKey::Floating;
        key.floating = readDouble(value, available);
        break;
    case kTypeText:
    case kTypeUnicode:
        // Texts compare as the reads show them, in the set's encoding.
        key.kind = SortKey::Text;
        key.text = textOf(value, available);
        break;
    case kTypeBytes:
        key.kind = SortKey::Text;
        key.text = decodeBytes(value, available, TextEncoding::UTF8);
        break;
    default:
        break;
    }
    return key;
}

int VEKTCRS::_compareRecord(qint32 recordIndex, qint32 otherIndex, qint32 fieldIndex, bool asc) const
{
    const TCRSField* f = fieldPtr(fieldIndex);
    if (!f)
        return 0;
    const int result = compareKeys(sortKey(recordIndex, *f), sortKey(otherIndex, *f));
    return asc ? result : -result;
}

const char* VEKTCRS::_getFieldValueInRecord(qint32 recordIndex, qint32 fieldIndex, qint32* length) const
{
    qint32 ignored = 0;
    qint32* out = length ? length : &ignored;
    const TCRSField* f = fieldPtr(fieldIndex);
    if (!f) {
        *out = 0;
        return nullptr;
    }
    return valueIn(recordPtr(recordIndex), *f, out);
}

namespace {

// Writes the records back in `order`.
void reorder(VEKDataArray& records, qint64 size, const std::vector<qint32>& order)
{
    if (size <= 0)
        return;
    std::vector<uint8_t> sorted(order.size() * static_cast<size_t>(size));
    for (size_t i = 0; i < order.size(); ++i)
        std::memcpy(sorted.data() + i * size, records.base() + order[i] * size, static_cast<size_t>(size));
    std::memcpy(records.base(), sorted.data(), sorted.size());
}

} // namespace

void VEKTCRS::sortByField(qint32 fieldIndex, bool asc)
{
    const TCRSField* f = fieldPtr(fieldIndex);
    const qint64 size = nRecordSize_;
    // Records without bytes are all alike: there is nothing to reorder.
    if (!f || nAllRecords_ < 2 || size <= 0 || static_cast<qint64>(recsBuff_.count()) != nAllRecords_ * size)
        return;
    std::vector<SortKey> keys;
    keys.reserve(static_cast<size_t>(nAllRecords_));
    for (qint32 r = 0; r < nAllRecords_; ++r)
        keys.push_back(sortKey(r, *f));
    const auto order = sortedOrder(nAllRecords_, [&](qint32 a, qint32 b) {
        const int result = compareKeys(keys[static_cast<size_t>(a)], keys[static_cast<size_t>(b)]);
        return asc ? result : -result;
    });
    reorder(recsBuff_, size, order);
}

void VEKTCRS::sortWithFieldAtIndex(qint32 fieldIndex, const TCRSCompareFunction& function, bool asc)
{
    const TCRSField* f = fieldPtr(fieldIndex);
    const qint64 size = nRecordSize_;
    if (!f || !function || nAllRecords_ < 2 || size <= 0
        || static_cast<qint64>(recsBuff_.count()) != nAllRecords_ * size)
        return;
    const TCRSField field = *f;
    std::vector<QByteArrayView> values;
    values.reserve(static_cast<size_t>(nAllRecords_));
    for (qint32 r = 0; r < nAllRecords_; ++r) {
        qint32 length = 0;
        const char* value = valueIn(recordPtr(r), field, &length);
        values.push_back(value && length > 0 ? QByteArrayView(value, length) : QByteArrayView());
    }
    const auto order = sortedOrder(nAllRecords_, [&](qint32 a, qint32 b) {
        const int result = function(values[static_cast<size_t>(a)], values[static_cast<size_t>(b)], field);
        const int s = result < 0 ? -1 : (result > 0 ? 1 : 0);
        return asc ? s : -s;
    });
    reorder(recsBuff_, size, order);
}

VEKTCRS VEKTCRS::emptyWithFields() const
{
    VEKTCRS set(nRsStringCoding_);
    for (qint32 i = 0; i < nAllFields_; ++i)
        set.addField(*fieldPtr(i));
    return set;
}

bool VEKTCRS::copyRecordInto(VEKTCRS& target, qint32 record) const
{
    if (!target.appendRecord())
        return false;
    for (qint32 i = 0; i < nAllFields_; ++i) {
        qint32 length = 0;
        const char* value = valueIn(recordPtr(record), *fieldPtr(i), &length);
        if (!value || length <= 0)
            continue;
        // A value the copy's field cannot take (a length it does not have)
        // stays empty; running out of room ends the copy.
        if (!target.updateFieldWithByte(i, value, length, -1) && isVariableType(fieldPtr(i)->type))
            return false;
    }
    return true;
}

std::optional<VEKTCRS> VEKTCRS::filiterWithFieldAtIndex(qint32 fieldIndex, const TCRSFilterFunction& function)
{
    const TCRSField* f = fieldPtr(fieldIndex);
    if (!f || !function)
        return std::nullopt;
    const TCRSField field = *f;
    std::optional<VEKTCRS> result;
    for (qint32 r = 0; r < nAllRecords_; ++r) {
        qint32 length = 0;
        const char* value = valueIn(recordPtr(r), field, &length);
        if (!function(value && length > 0 ? QByteArrayView(value, length) : QByteArrayView(), field))
            continue;
        if (!result)
            result = emptyWithFields();
        if (!copyRecordInto(*result, r))
            return std::nullopt;
    }
    return result;
}

std::optional<VEKTCRS> VEKTCRS::subRecordSetWithRange(qint32 location, qint32 length)
{
    if (location < 0 || length < 0 || static_cast<qint64>(location) + length > nAllRecords_)
        return std::nullopt;
    VEKTCRS result = emptyWithFields();
    for (qint32 r = location; r < location + length; ++r) {
        if (!copyRecordInto(result, r))
            return std::nullopt;
    }
    nCurrRecord_ = location + length;
    return result;
}

// ---------------------------------------------------------------------------
// Archiving and logging

void VEKTCRS::encodeWithCoder(platform::KeyedArchiver& coder) const
{
    QByteArray data;
    if (isDirty_) {
        VEKTCRS compact(*this);
        data = compact.exportData();
    } else {
        data = writeLayout();
    }
    if (!data.isEmpty())
        coder.encodeBytes(QStringLiteral("TCRSData"), data);
    // Without it the values of a UTF-8 or UTF-16 set would read back as GB 18030.
    coder.encodeInt(QStringLiteral("TCRSEncoding"), nRsStringCoding_);
}

std::optional<VEKTCRS> VEKTCRS::initWithCoder(const platform::KeyedUnarchiver& coder)
{
    const std::optional<QByteArray> data = coder.decodeBytes(QStringLiteral("TCRSData"));
    if (!data || data->isEmpty())
        return std::nullopt;
    const qint64 stored = coder.decodeInt(QStringLiteral("TCRSEncoding")).value_or(0);
    const qint32 encoding = stored >= 0 && stored <= 255 ? static_cast<qint32>(stored) : 0;
    VEKTCRS set;
    qint64 length = data->size();
    if (!set.importData(data->constData(), &length, encoding))
        return std::nullopt;
    return set;
}

void VEKTCRS::registerArchiveClass()
{
    static std::once_flag once;
    std::call_once(once, [] {
        platform::registerArchivableClass(QStringLiteral("VEKTCRS"),
            [](const platform::KeyedUnarchiver& coder) -> std::unique_ptr<platform::Archivable> {
                std::optional<VEKTCRS> set = initWithCoder(coder);
                if (!set)
                    return nullptr;
                return std::make_unique<VEKTCRS>(std::move(*set));
            });
    });
}

void VEKTCRS::VEKLogFields() const
{
    qInfo().noquote() << QStringLiteral("VEKTCRS version = %1").arg(kVersion);
    for (qint32 i = 0; i < nAllFields_; ++i) {
        qInfo().noquote() << QStringLiteral("field name = %1,fieldDesc = %2,fieldType = %3")
                                 .arg(fieldNameAtIndex(i), fieldDescAtIndex(i))
                                 .arg(fieldPtr(i)->type);
    }
}
