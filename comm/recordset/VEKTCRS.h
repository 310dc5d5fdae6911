#pragma once

#include "comm/recordset/VEKDataArray.h"
#include "platform/KeyedArchive.h"
#include "platform/TextEncoding.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QLatin1StringView>
#include <QString>
#include <atomic>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace tcrs {
class TextOut;
}

// One column of a record set. Plain data: the widths are those of the layout.
struct TCRSField {
    qint32 type;
    qint32 length; // bytes the field occupies in every record
    qint32 offset; // byte offset of the field inside a record
    char name[64]; // ASCII, zero-terminated, at most 63 bytes
    char desc[128]; // at most 126 bytes followed by two zero bytes
    quint8 coding; // how desc is encoded: 1 UTF-16, 2 UTF-8, anything else GB 18030
};

// Compares two records' values of a field; negative, 0 or positive.
using TCRSCompareFunction
    = std::function<int(QByteArrayView value, QByteArrayView other, const TCRSField& field)>;
// Tells whether a record's value of a field passes.
using TCRSFilterFunction = std::function<bool(QByteArrayView value, const TCRSField& field)>;

// A record set: typed fields, fixed-size records, a data block for the
// variable-length values and an info text. Every reply of the TC protocol is
// an array of these.
//
// Reads never fail: a missing field, a bad index or a cursor off the records
// gives "", 0 or 0.0. A set read from bytes is checked whole on reading
// (descriptors inside the record, variable values inside the data block, no
// block above 16 MiB) and refused otherwise; the reads check again, so no
// operation reaches outside the record store or the data block.
class VEKTCRS : public platform::Archivable {
public:
    static constexpr qint32 kVersion = 20130416;
    static constexpr qint64 kMaxBlockBytes = static_cast<qint64>(VEKDataArray::kMaxBytes);
    // The most records a set without record bytes may hold.
    static constexpr qint32 kMaxEmptyRecords = 4096;

    // init: an empty set. The encoding is that of its text values
    // (0 GB 18030, 1 UTF-16, 2 UTF-8, other ASCII).
    explicit VEKTCRS(qint32 encoding = 0);
    VEKTCRS(const VEKTCRS&) = default;
    VEKTCRS& operator=(const VEKTCRS&) = default;
    // A moved-from set is empty and usable.
    VEKTCRS(VEKTCRS&& other) noexcept;
    VEKTCRS& operator=(VEKTCRS&& other) noexcept;
    ~VEKTCRS() override = default;

    // One-field, one-record info sets ("ER_Int", "ER_Double", "ER_String").
    static VEKTCRS initWithInt(qint32 value);
    static VEKTCRS initWithDouble(double value);
    // Text not Unicode is stored as ASCII (no value when it is not ASCII),
    // Unicode text as GB 18030, the encoding of a new set.
    static VEKTCRS initWithString(const QString& text, bool isUnicode);
    static VEKTCRS initWithInt(qint32 value, const QString& text, bool isUnicode);

    // --- Reading and writing the byte layout ---

    // Reads one record set from `bytes`; `length` holds the bytes available
    // and is reduced by what was consumed. A refused set is left empty.
    bool importData(const char* bytes, qint64* length, qint32 encoding);
    // A reply payload: record sets back to back. Empty when the first fails,
    // and empty (the reply refused as malformed) when reading it would pass
    // the payload's budget: at most kMaxSetsBase + length / kBytesPerSet sets
    // and kMaxMemoryBase + kMemoryPerByte * length bytes of sets in memory.
    static constexpr qint64 kMaxSetsBase = 64;
    static constexpr qint64 kBytesPerSet = 256;
    static constexpr qint64 kMaxMemoryBase = 1024 * 1024;
    static constexpr qint64 kMemoryPerByte = 4;
    static std::vector<VEKTCRS> constructMRWithBytes(const char* bytes, qint64 length, qint32 encoding);
    static std::vector<VEKTCRS> constructMRWithBytes(const char* bytes, qint64 length);
    // Compacts the data block first, then answers the layout's size / bytes.
    qint64 exportSize();
    QByteArray exportData();
    // The layouts of all sets one after the other; a null array for none.
    static QByteArray exportMRData(std::vector<VEKTCRS>& sets);

    void clear() { removeAll(true); }
    void removeAll(bool dropFields);
    // Recomputes offsets as running sums from field `start`; with an index
    // outside the fields only the record size (from the last field). False,
    // and nothing changed, when the record would pass the size cap.
    bool calculateRecordSize(qint32 start);
    bool shrinkData();

    // --- Info text ---
    QString recordsetInfo() const;
    bool isUniResInfo() const { return isUnistringInfo_; }
    qint32 rsEncoding() const { return nRsStringCoding_; }
    bool isErrorInfo() const;
    bool isOkInfo() const;
    bool isETCInfo() const;
    // False when the text cannot be converted (not ASCII without isUnicode).
    // A Unicode text is stored as UTF-16 unless its UTF-16 bytes hold two zero
    // bytes and a non-zero one, which the layout reads as a separator: such a
    // text is stored as UTF-8 with the flag that is not Unicode, which reads
    // back the same text.
    bool setRecordsetInfo(const QString& text, bool isUnicode);
    // Bytes the memory of the set takes (its stores and itself).
    qint64 memoryBytes() const;
    void setErrorInfo() { setRecordsetInfo(QStringLiteral("error"), false); }
    void setOkInfo() { setRecordsetInfo(QStringLiteral("ok"), false); }
    void setETCInfo() { setRecordsetInfo(QStringLiteral("etc"), false); }

    // --- Fields ---
    qint32 fieldCount() const { return nAllFields_; }
    std::optional<TCRSField> fieldAtIndex(qint32 index) const;
    std::optional<TCRSField> fieldWithName(const QString& name) const;
    qint32 indexOfFieldWithName(const QString& name) const;
    // The same for a name given as Latin-1 bytes, without making a text of it.
    qint32 indexOfFieldWithName(QLatin1StringView name) const;
    QString fieldNameAtIndex(qint32 index) const;
    QString fieldDescAtIndex(qint32 index) const;
    static qint32 getLengthWithDataType(qint32 type);

    // A field whose name holds "|" or a byte above 0x7F, or whose UTF-16
    // description holds what the layout reads as a separator, is refused: the
    // writer never writes what the reader cannot read back.
    bool addField(const TCRSField& field) { return insertField(field, -1); }
    bool insertField(const TCRSField& field, qint32 index);
    bool deleteFieldAtIndex(qint32 index);
    bool deleteFieldWithName(const QString& name);

    // --- Cursor ---
    qint32 rowsAffected() const { return nAllRecords_; }
    bool isBOF() const { return nCurrRecord_ == -1 || nAllRecords_ == 0; }
    bool isEOF() const { return nAllRecords_ == 0 || nCurrRecord_ == nAllRecords_; }
    bool fetchFirst();
    bool fetchLast();
    bool fetchNext();
    bool fetchPrev();
    bool skipOff(qint32 n);
    bool moveTo(qint32 n);
    qint32 getCurrent() const { return nCurrRecord_; }
    bool setCurrent(qint32 n);

    // --- Values of the cursor's record ---

    // Pointer to the value and its length in bytes; nullptr when there is
    // none. For a variable value without bytes the stored length is still
    // reported. The by-name form leaves `length` untouched for a missing name.
    const char* fieldValueAtIndex(qint32 index, qint32* length) const;
    const char* fieldValueWithName(const QString& name, qint32* length) const;
    // A copy of those bytes; a null array when there are none.
    QByteArray fieldDataAtIndex(qint32 index) const;
    QByteArray fieldDataWithName(const QString& name) const;
    // The value's bytes as 8-bit characters (a null view when it has none)...
    QByteArrayView getByteAtIndex(qint32 index) const;
    QByteArrayView getByteWithName(const QString& name) const;
    // ... or as 16-bit units (a null text when it has none).
    QString getUnideByteAtIndex(qint32 index) const;
    QString getUnideByteWithName(const QString& name) const;
    // The stored bytes without conversion; 0 without a value.
    qint32 getIntAtIndex(qint32 index) const;
    qint32 getIntWithName(const QString& name) const;
    qint64 getInt64AtIndex(qint32 index) const;
    qint64 getInt64WithName(const QString& name) const;
    double getFloatAtIndex(qint32 index) const;
    double getFloatWithName(const QString& name) const;
    // Converted by type.
    QString toStringAtIndex(qint32 index) const;
    QString toStringWithName(const QString& name) const;
    QString toStringWithName(QLatin1StringView name) const;
    // The same text written into `text`, whose buffer is reused when `text`
    // is not shared and large enough: a loop reading cell after cell into one
    // text allocates nothing for most values. False, and `text` emptied, when
    // the field or the cursor's record is missing.
    bool readStringAtIndex(qint32 index, QString& text) const;
    bool readStringWithName(const QString& name, QString& text) const;
    bool readStringWithName(QLatin1StringView name, QString& text) const;
    // The values of the fields `indexes` as text, each into its own text of
    // `texts` (as many), buffers reused as above: a table looks its names up
    // once and reads record after record this way. False when a field or the
    // cursor's record is missing; the texts for those are emptied.
    bool readStringsAtIndexes(std::span<const qint32> indexes, std::span<QString> texts) const;
    qint32 toIntAtIndex(qint32 index) const;
    qint32 toIntWithName(const QString& name) const;
    qint64 toInt64AtIndex(qint32 index) const;
    qint64 toInt64WithName(const QString& name) const;
    double toFloatAtIndex(qint32 index) const;
    double toFloatWithName(const QString& name) const;
    QString toStringAtIndex(qint32 index, platform::TextEncoding encoding) const;
    QString toStringWithName(const QString& name, platform::TextEncoding encoding) const;

    // --- Records ---
    bool appendRecord() { return insertRecordAtIndex(-1); }
    bool insertRecordAtIndex(qint32 index);
    bool deleteRecordAtIndex(qint32 index);

    // --- Writing values (record -1 is the cursor's record) ---
    bool updateFieldWithByte(qint32 fieldIndex, const char* bytes, qint32 length, qint32 recordIndex);
    bool updateFieldWithData(qint32 fieldIndex, const QByteArray& data);
    bool updateFieldWithInt(qint32 fieldIndex, qint32 value);
    bool updateFieldWithInt64(qint32 fieldIndex, qint64 value);
    bool updateFieldWithDouble(qint32 fieldIndex, double value);
    bool updateFieldWithString(qint32 fieldIndex, const QString& text);

    // --- Whole-set operations ---
    void clone(const VEKTCRS* other);
    VEKTCRS copyWithZone() const { return *this; }
    bool reverseData();
    bool mergeTCRS(const VEKTCRS* other, bool surface);
    void sortByField(qint32 fieldIndex, bool asc);
    void sortWithFieldAtIndex(qint32 fieldIndex, const TCRSCompareFunction& function, bool asc);
    const char* _getFieldValueInRecord(qint32 recordIndex, qint32 fieldIndex, qint32* length) const;
    int _compareRecord(qint32 recordIndex, qint32 otherIndex, qint32 fieldIndex, bool asc) const;
    std::optional<VEKTCRS> filiterWithFieldAtIndex(qint32 fieldIndex, const TCRSFilterFunction& function);
    std::optional<VEKTCRS> subRecordSetWithRange(qint32 location, qint32 length);

    // --- Archiving and logging ---
    QString archiveClassName() const override { return QStringLiteral("VEKTCRS"); }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    static std::optional<VEKTCRS> initWithCoder(const platform::KeyedUnarchiver& coder);
    // Registers the class for platform::unarchiveObject; safe to call often.
    static void registerArchiveClass();
    void VEKLogFields() const;

private:
    struct Cell;
    struct SortKey;

    const TCRSField* fieldPtr(qint32 index) const;
    const uint8_t* recordPtr(qint32 record) const;
    uint8_t* recordPtr(qint32 record);
    const char* valueIn(const uint8_t* record, const TCRSField& field, qint32* length) const;
    // Appends record's value of a variable-length field to `data` (padded to an
    // even length) and points `slot` at its new place; false when `data` is full.
    bool copyValueInto(qint32 record, const TCRSField& field, uint8_t* slot, VEKDataArray& data) const;
    Cell cellAt(qint32 index) const;
    QString textOf(const char* bytes, qint32 length) const;
    void textOf(const char* bytes, qint32 length, tcrs::TextOut& out) const;
    void cellText(const Cell& cell, tcrs::TextOut& out) const;
    bool writeText(qint32 index, tcrs::TextOut& out) const;
    void writeFieldText(const TCRSField& field, const uint8_t* record, tcrs::TextOut& out) const;
    qint32 indexOfName(const char16_t* wanted, qsizetype length) const;
    qint64 cellInt64(const Cell& cell, bool lowWord) const;
    double cellDouble(const Cell& cell) const;
    SortKey sortKey(qint32 record, const TCRSField& field) const;
    static int compareKeys(const SortKey& a, const SortKey& b);
    bool validateLayout() const;
    qint64 infoTextBytes() const;
    QByteArray writeLayout() const;
    bool relayout(std::vector<TCRSField> fields, const std::vector<qint32>& oldOffsets);
    bool storeInteger(qint32 fieldIndex, qint64 value);
    bool storeFloating(qint32 fieldIndex, double value);
    bool copyRecordInto(VEKTCRS& target, qint32 record) const;
    void takeFrom(VEKTCRS& other) noexcept;
    // Keys of the field names (length and three characters) for the lookup
    // by name; rebuilt wherever the fields change, or grown by the one field
    // appended, so a set built field by field costs no more than its fields.
    void rebuildNameIndex();
    void appendNameKey();
    bool appendFieldWithoutRecords(TCRSField field);
    static quint32 nameKey(const char* name);
    VEKTCRS emptyWithFields() const;

    qint32 nAllFields_ = 0;
    qint32 nRecordSize_ = 0;
    qint32 nAllRecords_ = 0;
    qint32 nCurrRecord_ = -1;
    bool isDirty_ = false;
    bool isUnistringInfo_ = false;
    VEKDataArray fdsBuff_;
    VEKDataArray recsBuff_;
    VEKDataArray dataBuff_;
    // Where the last lookup by name found its field: only a place to look
    // first, so readers on several threads may share it.
    class LookupHint {
    public:
        LookupHint() = default;
        LookupHint(const LookupHint&) noexcept { }
        LookupHint& operator=(const LookupHint&) noexcept { return *this; }
        qint32 next() const { return value_.load(std::memory_order_relaxed) + 1; }
        void set(qint32 index) const { value_.store(index, std::memory_order_relaxed); }

    private:
        mutable std::atomic<qint32> value_ { -1 };
    };

    std::vector<quint32> nameKeys_;
    bool namesUnique_ = true;
    bool namesAscii_ = true; // every name ASCII, without bytes 0 before its end
    // Offsets are the running sums of the lengths and the record size their
    // total, as relayout() leaves them; a set read from bytes may differ.
    bool runningLayout_ = true;
    LookupHint lastFound_;
    char szResInfo_[128] = {};
    qint32 nRsStringCoding_ = 0;
};

// A field of the set's current record as text; empty without a set. What the
// record objects read their fields with.
inline QString recordText(const VEKTCRS* set, const char* field)
{
    return set ? set->toStringWithName(QLatin1StringView(field)) : QString();
}
