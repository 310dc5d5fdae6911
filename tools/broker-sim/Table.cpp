#include "tools/broker-sim/Table.h"

#include "platform/TextEncoding.h"

#include <cstring>

namespace brokersim {

namespace {

using platform::TextEncoding;

TextEncoding textEncodingOf(qint32 encoding)
{
    switch (encoding) {
    case 0:
        return TextEncoding::GB18030;
    case 1:
        return TextEncoding::UTF16LE;
    case 2:
        return TextEncoding::UTF8;
    default:
        return TextEncoding::ASCII;
    }
}

bool knownType(qint32 type)
{
    switch (type) {
    case kBool:
    case kInt8:
    case kInt16:
    case kInt32:
    case kInt64:
    case kFloat:
    case kDouble:
    case kText:
    case kBytes:
    case kUnicode:
    case 102:
    case 103:
        return true;
    default:
        return false;
    }
}

bool isVariable(qint32 type)
{
    return type == kText || type == kBytes || type == kUnicode;
}

bool isTextVariant(const QVariant& v)
{
    return v.typeId() == QMetaType::QString;
}

std::optional<QByteArray> variableBytes(const QVariant& value, qint32 type, qint32 encoding)
{
    if (value.typeId() == QMetaType::QByteArray)
        return value.toByteArray();
    const QString text = value.toString();
    switch (type) {
    case kText:
        return platform::encodeText(text, textEncodingOf(encoding));
    case kUnicode:
        return platform::encodeText(text, TextEncoding::UTF16LE);
    default:
        return text.toUtf8();
    }
}

bool writeValue(
    VEKTCRS& set, qint32 field, qint32 record, qint32 type, const QVariant& value, qint32 encoding)
{
    if (!value.isValid() || value.isNull())
        return true;
    if (isVariable(type)) {
        const auto bytes = variableBytes(value, type, encoding);
        if (!bytes || bytes->size() > VEKTCRS::kMaxBlockBytes)
            return false;
        return bytes->isEmpty()
            || set.updateFieldWithByte(field, bytes->constData(), qint32(bytes->size()), record);
    }
    // The typed writes go through the cursor.
    if (!set.setCurrent(record))
        return false;
    if (isTextVariant(value))
        return set.updateFieldWithString(field, value.toString());
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float)
        return set.updateFieldWithDouble(field, value.toDouble());
    bool ok = false;
    const qint64 integer = value.toLongLong(&ok);
    return ok && set.updateFieldWithInt64(field, integer);
}

} // namespace

Table& Table::column(const QString& name, qint32 type)
{
    columns.append({ name, type, QString() });
    return *this;
}

Table& Table::described(const QString& name, const QString& desc)
{
    columns.append({ name, kText, desc });
    return *this;
}

Table describedTable(std::initializer_list<std::pair<const char*, const char*>> columns)
{
    Table t;
    for (const auto& [name, title] : columns)
        t.described(QString::fromLatin1(name), QString::fromUtf8(title));
    return t;
}

Table& Table::row(const QVariantList& values)
{
    rows.append(values);
    return *this;
}

Table Table::infoOnly(const QString& info)
{
    Table t;
    t.info = info;
    return t;
}

Table Table::errorRow(qint32 code, const std::optional<QString>& message)
{
    Table t;
    t.info = QStringLiteral("error");
    QVariantList values;
    if (message) {
        t.column(QStringLiteral("ER_String"), kText);
        values.append(*message);
    }
    t.column(QStringLiteral("errcode"), kInt32);
    values.append(code);
    t.row(values);
    return t;
}

qint32 replyEncodingFor(qint64 requestedEncoding)
{
    return requestedEncoding == 0 || requestedEncoding == 2 ? qint32(requestedEncoding) : 1;
}

std::optional<VEKTCRS> toRecordSet(const Table& table, qint32 encoding)
{
    VEKTCRS set(encoding);
    if (!table.info.isEmpty()) {
        const auto ascii = platform::encodeText(table.info, TextEncoding::ASCII);
        const qsizetype bytes = ascii ? ascii->size() : table.info.size() * 2;
        if (bytes > 126 || !set.setRecordsetInfo(table.info, !ascii.has_value()))
            return std::nullopt;
    }
    for (const Column& c : table.columns) {
        const auto name = platform::encodeText(c.name, TextEncoding::ASCII);
        if (!name || name->isEmpty() || name->size() > 63 || !knownType(c.type))
            return std::nullopt;
        TCRSField field {};
        field.type = c.type;
        std::memcpy(field.name, name->constData(), size_t(name->size()));
        if (!c.desc.isEmpty()) {
            // The description travels in the reply's encoding, as the
            // server's own descriptions do.
            const TextEncoding code = textEncodingOf(encoding);
            const auto desc = platform::encodeText(c.desc, code);
            if (!desc || desc->size() > 126)
                return std::nullopt;
            std::memcpy(field.desc, desc->constData(), size_t(desc->size()));
            field.coding = code == TextEncoding::GB18030 ? 255 : code == TextEncoding::UTF8 ? 2 : 1;
        }
        if (!set.addField(field))
            return std::nullopt;
    }
    for (const QVariantList& values : table.rows) {
        if (values.size() > table.columns.size() || !set.appendRecord())
            return std::nullopt;
        const qint32 record = set.rowsAffected() - 1;
        for (qint32 i = 0; i < qint32(values.size()); ++i) {
            if (!writeValue(set, i, record, table.columns[i].type, values[i], encoding))
                return std::nullopt;
        }
    }
    set.setCurrent(-1);
    return set;
}

std::optional<QByteArray> encodeTables(const QList<Table>& tables, qint32 encoding)
{
    std::vector<VEKTCRS> sets;
    for (const Table& t : tables) {
        auto set = toRecordSet(t, encoding);
        if (!set)
            return std::nullopt;
        sets.push_back(std::move(*set));
    }
    if (sets.empty())
        return QByteArray();
    return VEKTCRS::exportMRData(sets);
}

} // namespace brokersim
