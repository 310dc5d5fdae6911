#include "platform/PropertyList.h"

#include "platform/StaleLock.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QLockFile>
#include <QSaveFile>
#include <QThread>
#include <QTimeZone>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <QtDebug>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

namespace platform::PropertyList {

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ssZ");

class Reader {
public:
    explicit Reader(const QByteArray& bytes)
        : xml_(bytes)
    {
        // Entities are refused below; this only bounds the work before that.
        xml_.setEntityExpansionLimit(0);
    }

    std::optional<QVariant> document()
    {
        if (!nextElement() || xml_.tokenType() != QXmlStreamReader::StartElement)
            return std::nullopt;
        std::optional<QVariant> result;
        if (xml_.name() == QLatin1String("plist")) {
            if (!nextElement() || xml_.tokenType() != QXmlStreamReader::StartElement)
                return std::nullopt;
            result = value(0);
            if (!result || !nextElement() || xml_.tokenType() != QXmlStreamReader::EndElement)
                return std::nullopt;
        } else {
            result = value(0);
            if (!result)
                return std::nullopt;
        }
        // Nothing but comments and white space may follow the root.
        while (!xml_.atEnd()) {
            const auto token = xml_.readNext();
            if (token == QXmlStreamReader::Invalid || !acceptableBetweenElements(token))
                return std::nullopt;
        }
        if (xml_.hasError())
            return std::nullopt;
        return result;
    }

private:
    bool acceptableBetweenElements(QXmlStreamReader::TokenType token)
    {
        switch (token) {
        case QXmlStreamReader::StartDocument:
        case QXmlStreamReader::EndDocument:
        case QXmlStreamReader::Comment:
        case QXmlStreamReader::ProcessingInstruction:
            return true;
        case QXmlStreamReader::DTD:
            // A DTD that declares entities could expand them; no plist needs one.
            return xml_.entityDeclarations().isEmpty() && xml_.notationDeclarations().isEmpty();
        case QXmlStreamReader::Characters:
            return xml_.isWhitespace();
        default:
            return false;
        }
    }

    // Moves to the next start or end element; false on anything else of substance.
    bool nextElement()
    {
        while (!xml_.atEnd()) {
            const auto token = xml_.readNext();
            if (token == QXmlStreamReader::StartElement || token == QXmlStreamReader::EndElement)
                return true;
            if (token == QXmlStreamReader::Invalid || !acceptableBetweenElements(token))
                return false;
        }
        return false;
    }

    // The text of the current element up to its end; nested elements are refused.
    std::optional<QString> text()
    {
        QString result;
        while (!xml_.atEnd()) {
            switch (xml_.readNext()) {
            case QXmlStreamReader::Characters:
                result += xml_.text();
                break;
            case QXmlStreamReader::Comment:
            case QXmlStreamReader::ProcessingInstruction:
                break;
            case QXmlStreamReader::EndElement:
                return result;
            default:
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    // The current token is the value's start element.
    std::optional<QVariant> value(int depth)
    {
        if (depth > kMaxDepth)
            return std::nullopt;
        const QString name = xml_.name().toString();
        if (name == QLatin1String("dict"))
            return dictionary(depth);
        if (name == QLatin1String("array"))
            return array(depth);
        const auto content = text();
        if (!content)
            return std::nullopt;
        if (name == QLatin1String("string"))
            return QVariant(*content);
        if (name == QLatin1String("integer"))
            return integer(content->trimmed());
        if (name == QLatin1String("real"))
            return real(content->trimmed());
        if (name == QLatin1String("true") || name == QLatin1String("false")) {
            if (!content->trimmed().isEmpty())
                return std::nullopt;
            return QVariant(name == QLatin1String("true"));
        }
        if (name == QLatin1String("data"))
            return data(*content);
        if (name == QLatin1String("date"))
            return date(content->trimmed());
        return std::nullopt;
    }

    std::optional<QVariant> dictionary(int depth)
    {
        QVariantMap map;
        while (nextElement()) {
            if (xml_.tokenType() == QXmlStreamReader::EndElement)
                return QVariant(map);
            if (xml_.name() != QLatin1String("key"))
                return std::nullopt;
            const auto key = text();
            if (!key || !nextElement() || xml_.tokenType() != QXmlStreamReader::StartElement)
                return std::nullopt;
            auto item = value(depth + 1);
            if (!item)
                return std::nullopt;
            map.insert(*key, std::move(*item));
        }
        return std::nullopt;
    }

    std::optional<QVariant> array(int depth)
    {
        QVariantList list;
        while (nextElement()) {
            if (xml_.tokenType() == QXmlStreamReader::EndElement)
                return QVariant(list);
            auto item = value(depth + 1);
            if (!item)
                return std::nullopt;
            list.append(std::move(*item));
        }
        return std::nullopt;
    }

    static std::optional<QVariant> integer(const QString& text)
    {
        bool ok = false;
        const qint64 signedValue = text.toLongLong(&ok, 10);
        if (ok)
            return QVariant(signedValue);
        const quint64 unsignedValue = text.toULongLong(&ok, 10);
        if (ok)
            return QVariant(unsignedValue);
        return std::nullopt;
    }

    static std::optional<QVariant> real(const QString& text)
    {
        const QString lower = text.toLower();
        if (lower == QLatin1String("nan"))
            return QVariant(std::numeric_limits<double>::quiet_NaN());
        if (lower == QLatin1String("inf") || lower == QLatin1String("+inf")
            || lower == QLatin1String("infinity") || lower == QLatin1String("+infinity"))
            return QVariant(std::numeric_limits<double>::infinity());
        if (lower == QLatin1String("-inf") || lower == QLatin1String("-infinity"))
            return QVariant(-std::numeric_limits<double>::infinity());
        bool ok = false;
        const double value = text.toDouble(&ok);
        if (!ok)
            return std::nullopt;
        return QVariant(value);
    }

    static std::optional<QVariant> data(const QString& text)
    {
        QByteArray base64;
        base64.reserve(text.size());
        for (const QChar c : text) {
            if (c.isSpace())
                continue;
            if (c.unicode() > 0x7F)
                return std::nullopt;
            base64.append(char(c.unicode()));
        }
        auto decoded = QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return std::nullopt;
        return QVariant(*decoded);
    }

    static std::optional<QVariant> date(const QString& text)
    {
        QDateTime parsed = QDateTime::fromString(text, Qt::ISODate);
        if (!parsed.isValid())
            return std::nullopt;
        return QVariant(parsed.toUTC());
    }

    QXmlStreamReader xml_;
};

// Characters XML 1.0 cannot carry at all, not even as references.
bool isXmlText(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return false;
        if (c == 0xFFFE || c == 0xFFFF)
            return false;
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 >= text.size() || !QChar::isLowSurrogate(text.at(i + 1).unicode()))
                return false;
            ++i;
        } else if (QChar::isLowSurrogate(c)) {
            return false;
        }
    }
    return true;
}

bool isIntegerType(int type)
{
    switch (type) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

// Checked before writing so that a refused value never yields half a document.
bool writable(const QVariant& value, int depth)
{
    if (depth > kMaxDepth)
        return false;
    const int type = value.typeId();
    switch (type) {
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            if (!isXmlText(it.key()) || !writable(it.value(), depth + 1))
                return false;
        }
        return true;
    }
    case QMetaType::QVariantHash: {
        const QVariantHash hash = value.toHash();
        for (auto it = hash.cbegin(); it != hash.cend(); ++it) {
            if (!isXmlText(it.key()) || !writable(it.value(), depth + 1))
                return false;
        }
        return true;
    }
    case QMetaType::QVariantList: {
        const QVariantList list = value.toList();
        for (const QVariant& item : list) {
            if (!writable(item, depth + 1))
                return false;
        }
        return true;
    }
    case QMetaType::QStringList: {
        const QStringList list = value.toStringList();
        for (const QString& item : list) {
            if (!isXmlText(item))
                return false;
        }
        return depth + 1 <= kMaxDepth;
    }
    case QMetaType::QString:
        return isXmlText(value.toString());
    case QMetaType::QDateTime:
        return value.toDateTime().isValid();
    case QMetaType::Bool:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::QByteArray:
        return true;
    default:
        return isIntegerType(type);
    }
}

// The text with what XML cannot carry taken out: control characters dropped,
// unpaired surrogates and U+FFFE / U+FFFF replaced with U+FFFD.
QString cleanText(const QString& text)
{
    if (isXmlText(text))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            continue;
        if (c == 0xFFFE || c == 0xFFFF) {
            out += QChar(QChar::ReplacementCharacter);
        } else if (QChar::isHighSurrogate(c)) {
            if (i + 1 < text.size() && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
                out += text.at(i);
                out += text.at(++i);
            } else {
                out += QChar(QChar::ReplacementCharacter);
            }
        } else if (QChar::isLowSurrogate(c)) {
            out += QChar(QChar::ReplacementCharacter);
        } else {
            out += text.at(i);
        }
    }
    return out;
}

QVariant cleanValue(const QVariant& value, int depth)
{
    if (depth > kMaxDepth)
        return value;
    switch (value.typeId()) {
    case QMetaType::QVariantMap: {
        QVariantMap out;
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            out.insert(cleanText(it.key()), cleanValue(it.value(), depth + 1));
        return out;
    }
    case QMetaType::QVariantHash: {
        QVariantHash out;
        const QVariantHash hash = value.toHash();
        for (auto it = hash.cbegin(); it != hash.cend(); ++it)
            out.insert(cleanText(it.key()), cleanValue(it.value(), depth + 1));
        return out;
    }
    case QMetaType::QVariantList: {
        QVariantList out;
        for (const QVariant& item : value.toList())
            out << cleanValue(item, depth + 1);
        return out;
    }
    case QMetaType::QStringList: {
        QStringList out;
        for (const QString& item : value.toStringList())
            out << cleanText(item);
        return out;
    }
    case QMetaType::QString:
        return cleanText(value.toString());
    default:
        return value;
    }
}

QString realText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("+infinity") : QStringLiteral("-infinity");
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

// A carriage return would be read back as a line feed unless it is a reference.
void writeText(QXmlStreamWriter& xml, const QString& text)
{
    qsizetype from = 0;
    for (qsizetype cr = text.indexOf(u'\r'); cr >= 0; cr = text.indexOf(u'\r', from)) {
        if (cr > from)
            xml.writeCharacters(text.mid(from, cr - from));
        xml.writeEntityReference(QStringLiteral("#13"));
        from = cr + 1;
    }
    if (from < text.size())
        xml.writeCharacters(text.mid(from));
}

void writeTextElement(QXmlStreamWriter& xml, const QString& name, const QString& text)
{
    xml.writeStartElement(name);
    writeText(xml, text);
    xml.writeEndElement();
}

// Indented with tabs, the root value at the left margin.
void newLine(QXmlStreamWriter& xml, int indent)
{
    xml.writeCharacters(QLatin1Char('\n') + QString(indent, QLatin1Char('\t')));
}

void writeValue(QXmlStreamWriter& xml, const QVariant& value, int indent)
{
    const int type = value.typeId();
    switch (type) {
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        // Keys in sorted order whatever the container, so the bytes are stable.
        const QVariantMap map = type == QMetaType::QVariantMap ? value.toMap() : [&] {
            QVariantMap sorted;
            const QVariantHash hash = value.toHash();
            for (auto it = hash.cbegin(); it != hash.cend(); ++it)
                sorted.insert(it.key(), it.value());
            return sorted;
        }();
        if (map.isEmpty()) {
            xml.writeEmptyElement(QStringLiteral("dict"));
            return;
        }
        xml.writeStartElement(QStringLiteral("dict"));
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            newLine(xml, indent + 1);
            writeTextElement(xml, QStringLiteral("key"), it.key());
            newLine(xml, indent + 1);
            writeValue(xml, it.value(), indent + 1);
        }
        newLine(xml, indent);
        xml.writeEndElement();
        return;
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        const QVariantList list = value.toList();
        if (list.isEmpty()) {
            xml.writeEmptyElement(QStringLiteral("array"));
            return;
        }
        xml.writeStartElement(QStringLiteral("array"));
        for (const QVariant& item : list) {
            newLine(xml, indent + 1);
            writeValue(xml, item, indent + 1);
        }
        newLine(xml, indent);
        xml.writeEndElement();
        return;
    }
    case QMetaType::QString:
        writeTextElement(xml, QStringLiteral("string"), value.toString());
        return;
    case QMetaType::Bool:
        xml.writeEmptyElement(value.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        writeTextElement(xml, QStringLiteral("real"), realText(value.toDouble()));
        return;
    case QMetaType::QByteArray:
        writeTextElement(xml, QStringLiteral("data"), QString::fromLatin1(value.toByteArray().toBase64()));
        return;
    case QMetaType::QDateTime:
        writeTextElement(xml, QStringLiteral("date"), value.toDateTime().toUTC().toString(kDateFormat));
        return;
    case QMetaType::ULongLong:
    case QMetaType::ULong:
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
        writeTextElement(xml, QStringLiteral("integer"), QString::number(value.toULongLong()));
        return;
    default:
        writeTextElement(xml, QStringLiteral("integer"), QString::number(value.toLongLong()));
        return;
    }
}

std::atomic<qint64> lockWaitMs { 5000 };
// A process holds its lock file within moments of making it; one that is
// still empty after this was left by a process that died making it.
constexpr std::chrono::seconds kUnjudgedLockAge { 1 };
constexpr unsigned long kLockPollMs = 20;
// Already expired outside a LockWaitScope: no wait at all.
thread_local QDeadlineTimer waitUntil;

// The lock of an update, taken over when no live process holds it; a live
// holder is waited for only until the scope's deadline.
bool takeLock(QLockFile& lock)
{
    const QDeadlineTimer deadline = waitUntil;
    for (;;) {
        // QLockFile judges a lock that names a process of this machine.
        if (lock.tryLock(0))
            return true;
        if (lock.error() != QLockFile::LockFailedError)
            return false;
        if (takeUnjudgedLock(lock, kUnjudgedLockAge))
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(
            std::min<unsigned long>(kLockPollMs, static_cast<unsigned long>(deadline.remainingTime())));
    }
}

} // namespace

std::chrono::milliseconds lockWait()
{
    return std::chrono::milliseconds(lockWaitMs.load());
}

void setLockWait(std::chrono::milliseconds wait)
{
    lockWaitMs.store(wait.count());
}

LockWaitScope::LockWaitScope(QDeadlineTimer deadline)
    : saved_(waitUntil)
{
    waitUntil = deadline;
}

LockWaitScope::~LockWaitScope()
{
    waitUntil = saved_;
}

std::optional<QVariant> read(const QByteArray& bytes)
{
    if (bytes.size() > kMaxBytes)
        return std::nullopt;
    return Reader(bytes).document();
}

QByteArray write(const QVariant& value)
{
    if (!value.isValid() || !writable(value, 0))
        return {};
    QByteArray body;
    QXmlStreamWriter xml(&body);
    writeValue(xml, value, 0);
    // An empty <dict/> or <array/> stays half-written until the writer is told
    // the document ends.
    xml.writeEndDocument();
    if (xml.hasError())
        return {};
    while (body.endsWith('\n'))
        body.chop(1);
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") + "<plist version=\"1.0\">\n" + body
        + "\n</plist>\n";
}

std::optional<QVariant> readFile(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("property list %s cannot be opened (%s); treated as absent", qUtf8Printable(path),
            qUtf8Printable(file.errorString()));
        return std::nullopt;
    }
    if (file.size() > kMaxBytes) {
        qWarning("property list %s is larger than %lld bytes; treated as absent", qUtf8Printable(path),
            static_cast<long long>(kMaxBytes));
        return std::nullopt;
    }
    // read() with a bound: the size above may change under us.
    const QByteArray bytes = file.read(kMaxBytes + 1);
    auto result = read(bytes);
    if (!result)
        qWarning("property list %s does not parse; treated as absent", qUtf8Printable(path));
    return result;
}

QVariant cleanedForWriting(const QVariant& value)
{
    return cleanValue(value, 0);
}

bool writeFileAtomic(const QString& path, const QVariant& value)
{
    const QByteArray bytes = write(value);
    if (bytes.isEmpty()) {
        qWarning("property list %s not written: the value has no property-list form", qUtf8Printable(path));
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning("property list %s cannot be written (%s)", qUtf8Printable(path),
            qUtf8Printable(file.errorString()));
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        qWarning("property list %s cannot be saved (%s)", qUtf8Printable(path),
            qUtf8Printable(file.errorString()));
        return false;
    }
    return true;
}

std::optional<QVariantMap> updateFile(
    const QString& path, const std::function<QVariantMap(const std::optional<QVariantMap>& stored)>& merge)
{
    // Held only from the read to the write.
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!takeLock(lock)) {
        qWarning("property list %s not written: its lock cannot be had (%d)", qUtf8Printable(path),
            int(lock.error()));
        return std::nullopt;
    }
    // One that is there but cannot be read may hold what another client
    // stored since: it is not replaced.
    if (QFile file(path); file.exists() && !file.open(QIODevice::ReadOnly)) {
        qWarning("property list %s not written: it cannot be read (%s)", qUtf8Printable(path),
            qUtf8Printable(file.errorString()));
        return std::nullopt;
    }
    std::optional<QVariantMap> stored;
    if (const std::optional<QVariant> value = readFile(path);
        value && value->typeId() == QMetaType::QVariantMap)
        stored = value->toMap();
    QVariantMap merged = merge(stored);
    if (!writeFileAtomic(path, merged))
        return std::nullopt;
    return merged;
}

} // namespace platform::PropertyList
