#include "platform/UserDefaults.h"

#include "platform/PropertyList.h"
#include "platform/UserFolder.h"

#include <QMetaType>
#include <QtDebug>
#include <memory>

namespace platform {

namespace {

std::mutex standardMutex;
std::unique_ptr<UserDefaults> standardStore;

bool isNumber(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

} // namespace

UserDefaults& UserDefaults::standardUserDefaults()
{
    std::lock_guard lock(standardMutex);
    if (!standardStore)
        standardStore = std::make_unique<UserDefaults>(UserFolder::filePath(QString::fromLatin1(kFileName)));
    return *standardStore;
}

void UserDefaults::resetStandardUserDefaults()
{
    std::lock_guard lock(standardMutex);
    standardStore.reset();
}

UserDefaults::UserDefaults(const QString& filePath)
    : filePath_(filePath)
{
    const auto stored = PropertyList::readFile(filePath_);
    if (!stored)
        return;
    if (stored->typeId() != QMetaType::QVariantMap) {
        qWarning("user defaults %s hold no dictionary; treated as absent", qUtf8Printable(filePath_));
        return;
    }
    values_ = stored->toMap();
}

bool UserDefaults::contains(const QString& key) const
{
    std::lock_guard lock(mutex_);
    return values_.contains(key);
}

QVariant UserDefaults::objectForKey(const QString& key) const
{
    std::lock_guard lock(mutex_);
    return values_.value(key);
}

std::optional<QString> UserDefaults::stringForKey(const QString& key) const
{
    const QVariant v = objectForKey(key);
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    if (isNumber(v) && v.typeId() != QMetaType::Bool)
        return v.toString();
    return std::nullopt;
}

qint64 UserDefaults::integerForKey(const QString& key) const
{
    const QVariant v = objectForKey(key);
    if (v.typeId() == QMetaType::Double) {
        const double d = v.toDouble();
        // Out-of-range reals would be undefined to convert.
        return (d > -9.2e18 && d < 9.2e18) ? static_cast<qint64>(d) : 0;
    }
    if (isNumber(v))
        return v.toLongLong();
    if (v.typeId() == QMetaType::QString) {
        bool ok = false;
        const qint64 n = v.toString().trimmed().toLongLong(&ok);
        return ok ? n : 0;
    }
    return 0;
}

double UserDefaults::doubleForKey(const QString& key) const
{
    const QVariant v = objectForKey(key);
    if (isNumber(v))
        return v.toDouble();
    if (v.typeId() == QMetaType::QString) {
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        return ok ? d : 0.0;
    }
    return 0.0;
}

bool UserDefaults::boolForKey(const QString& key) const
{
    const QVariant v = objectForKey(key);
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    if (isNumber(v))
        return v.toDouble() != 0.0;
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed();
        return s.compare(QLatin1String("YES"), Qt::CaseInsensitive) == 0
            || s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || s == QLatin1String("1");
    }
    return false;
}

std::optional<QByteArray> UserDefaults::dataForKey(const QString& key) const
{
    const QVariant v = objectForKey(key);
    if (v.typeId() == QMetaType::QByteArray)
        return v.toByteArray();
    return std::nullopt;
}

std::optional<QVariantMap> UserDefaults::dictionaryForKey(const QString& key) const
{
    const QVariant v = objectForKey(key);
    if (v.typeId() == QMetaType::QVariantMap)
        return v.toMap();
    return std::nullopt;
}

std::optional<QVariantList> UserDefaults::arrayForKey(const QString& key) const
{
    const QVariant v = objectForKey(key);
    if (v.typeId() == QMetaType::QVariantList)
        return v.toList();
    return std::nullopt;
}

QVariantMap UserDefaults::dictionaryRepresentation() const
{
    std::lock_guard lock(mutex_);
    return values_;
}

bool UserDefaults::setObject(const QVariant& value, const QString& key)
{
    if (value.isNull()) {
        removeObject(key);
        return true;
    }
    // Integers are stored as 64-bit so that a reload gives the same type.
    QVariant stored = value;
    if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::UInt)
        stored = QVariant(value.toLongLong());
    if (PropertyList::write(stored).isEmpty()) {
        qWarning(
            "user defaults: the value for %s has no property-list form; not stored", qUtf8Printable(key));
        return false;
    }
    std::lock_guard lock(mutex_);
    values_.insert(key, stored);
    changes_.insert(key, stored);
    keptIfStored_.remove(key);
    writeLocked();
    return true;
}

void UserDefaults::removeObject(const QString& key)
{
    std::lock_guard lock(mutex_);
    if (values_.remove(key) == 0)
        return;
    changes_.insert(key, QVariant());
    keptIfStored_.remove(key);
    writeLocked();
}

std::optional<QVariant> UserDefaults::keepOrSetObject(
    const QVariant& value, const QString& key, const std::function<bool(const QVariant&)>& keeps)
{
    std::lock_guard lock(mutex_);
    if (!keeps(values_.value(key))) {
        values_.insert(key, value);
        changes_.insert(key, value);
        keptIfStored_.insert(key, keeps);
    }
    if (!writeLocked())
        return std::nullopt;
    return values_.value(key);
}

bool UserDefaults::synchronize()
{
    std::lock_guard lock(mutex_);
    return changes_.isEmpty() || writeLocked();
}

bool UserDefaults::hasUnsavedChanges() const
{
    std::lock_guard lock(mutex_);
    return !changes_.isEmpty();
}

QVariantMap UserDefaults::mergedWith(const std::optional<QVariantMap>& stored) const
{
    // A file that is missing or unreadable holds nothing of another's: all
    // of this store goes.
    if (!stored)
        return values_;
    QVariantMap merged = *stored;
    for (auto it = changes_.cbegin(); it != changes_.cend(); ++it) {
        if (const auto kept = keptIfStored_.constFind(it.key());
            kept != keptIfStored_.cend() && (*kept)(stored->value(it.key())))
            continue;
        if (it->isNull())
            merged.remove(it.key());
        else
            merged.insert(it.key(), *it);
    }
    return merged;
}

bool UserDefaults::writeLocked()
{
    const std::optional<QVariantMap> written = PropertyList::updateFile(
        filePath_, [this](const std::optional<QVariantMap>& stored) { return mergedWith(stored); });
    if (!written) {
        qWarning("user defaults %s cannot be written; kept in memory", qUtf8Printable(filePath_));
        unsaved_.setOwed(true);
        return false;
    }
    // What the other client stored is taken in; this store's changes are in the file.
    values_ = *written;
    changes_.clear();
    keptIfStored_.clear();
    unsaved_.setOwed(false);
    return true;
}

} // namespace platform
