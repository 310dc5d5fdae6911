#include "platform/KeyedArchive.h"

#include <QCborValue>
#include <QHash>
#include <QMutex>

namespace platform {
namespace {

constexpr char kMagic[] = "LKA1";
constexpr qsizetype kMagicSize = 4;

struct Registry {
    QMutex mutex;
    QHash<QString, ArchivableFactory> factories;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

} // namespace

QByteArray KeyedArchiver::archivedData(const QString& className) const
{
    QCborMap root;
    root.insert(QStringLiteral("class"), className);
    root.insert(QStringLiteral("values"), values_);
    return QByteArray(kMagic, kMagicSize) + QCborValue(root).toCbor();
}

std::optional<KeyedUnarchiver> KeyedUnarchiver::fromData(const QByteArray& data)
{
    if (data.size() < kMagicSize || !data.startsWith(QByteArrayView(kMagic, kMagicSize)))
        return std::nullopt;
    QCborParserError error;
    const QCborValue root = QCborValue::fromCbor(data.mid(kMagicSize), &error);
    if (error.error != QCborError::NoError || !root.isMap())
        return std::nullopt;
    const QCborMap map = root.toMap();
    const QCborValue className = map.value(QStringLiteral("class"));
    const QCborValue values = map.value(QStringLiteral("values"));
    if (!className.isString() || !values.isMap())
        return std::nullopt;
    KeyedUnarchiver result;
    result.className_ = className.toString();
    result.values_ = values.toMap();
    return result;
}

std::optional<QByteArray> KeyedUnarchiver::decodeBytes(const QString& key) const
{
    const QCborValue v = values_.value(key);
    if (!v.isByteArray())
        return std::nullopt;
    return v.toByteArray();
}

std::optional<QString> KeyedUnarchiver::decodeString(const QString& key) const
{
    const QCborValue v = values_.value(key);
    if (!v.isString())
        return std::nullopt;
    return v.toString();
}

std::optional<qint64> KeyedUnarchiver::decodeInt(const QString& key) const
{
    const QCborValue v = values_.value(key);
    if (!v.isInteger())
        return std::nullopt;
    return v.toInteger();
}

std::optional<double> KeyedUnarchiver::decodeDouble(const QString& key) const
{
    const QCborValue v = values_.value(key);
    if (!v.isDouble() && !v.isInteger())
        return std::nullopt;
    return v.toDouble();
}

std::optional<bool> KeyedUnarchiver::decodeBool(const QString& key) const
{
    const QCborValue v = values_.value(key);
    if (!v.isBool())
        return std::nullopt;
    return v.toBool();
}

void registerArchivableClass(const QString& className, ArchivableFactory factory)
{
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    r.factories.insert(className, std::move(factory));
}

QByteArray archiveObject(const Archivable& object)
{
    KeyedArchiver coder;
    object.encodeWithCoder(coder);
    return coder.archivedData(object.archiveClassName());
}

std::unique_ptr<Archivable> unarchiveObject(const QByteArray& data)
{
    const std::optional<KeyedUnarchiver> coder = KeyedUnarchiver::fromData(data);
    if (!coder)
        return nullptr;
    ArchivableFactory factory;
    {
        Registry& r = registry();
        QMutexLocker lock(&r.mutex);
        factory = r.factories.value(coder->className());
    }
    if (!factory)
        return nullptr;
    return factory(*coder);
}

} // namespace platform
