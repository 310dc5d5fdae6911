#pragma once

#include "platform/PendingWrites.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <mutex>
#include <optional>

namespace platform {

// The user-defaults store: a key-value map kept as an XML property list
// ("UserDefaults.plist" in the per-user folder). Every change is written at
// once and atomically; a file that does not parse is treated as absent.
// Another client may write the same file: a write re-reads it under its lock
// and stores only the keys this store set or removed since its last write,
// keeping every other key as the file holds it (and taking those in). A
// change whose write cannot be made now (the lock held, the file there but
// unreadable) is read from memory and owed: written again later from the run
// loop, by the next write, or at quit (PendingWrites.h).
class UserDefaults {
public:
    static constexpr char kFileName[] = "UserDefaults.plist";

    // The store in the current per-user folder, loaded on first use.
    static UserDefaults& standardUserDefaults();
    // Forgets the standard store, so that the next call loads it anew from the
    // per-user folder of that moment (tests switch LUMORA_HOME in between).
    // References taken before are dangling afterwards.
    static void resetStandardUserDefaults();

    explicit UserDefaults(const QString& filePath);
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    QString filePath() const { return filePath_; }

    bool contains(const QString& key) const;
    // A null QVariant when absent.
    QVariant objectForKey(const QString& key) const;
    // Strings as they are, numbers as their decimal text; nullopt otherwise.
    std::optional<QString> stringForKey(const QString& key) const;
    // Numbers, booleans and numeric text; 0 otherwise.
    qint64 integerForKey(const QString& key) const;
    double doubleForKey(const QString& key) const;
    // Booleans, non-zero numbers and the texts "YES"/"true"/"1"; false otherwise.
    bool boolForKey(const QString& key) const;
    std::optional<QByteArray> dataForKey(const QString& key) const;
    std::optional<QVariantMap> dictionaryForKey(const QString& key) const;
    std::optional<QVariantList> arrayForKey(const QString& key) const;
    QVariantMap dictionaryRepresentation() const;

    // A null value removes the key. A value without a property-list form is
    // refused (false) and the store is left as it was.
    bool setObject(const QVariant& value, const QString& key);
    bool setString(const QString& value, const QString& key) { return setObject(value, key); }
    bool setInteger(qint64 value, const QString& key) { return setObject(value, key); }
    bool setDouble(double value, const QString& key) { return setObject(value, key); }
    bool setBool(bool value, const QString& key) { return setObject(value, key); }
    bool setData(const QByteArray& value, const QString& key) { return setObject(value, key); }
    bool setDictionary(const QVariantMap& value, const QString& key) { return setObject(value, key); }
    bool setArray(const QVariantList& value, const QString& key) { return setObject(value, key); }
    // A removal is a change only of a key this store holds.
    void removeObject(const QString& key);
    // The value stored under `key` that `keeps` accepts, read from the file
    // under its lock, so that one another client stored since this store read
    // the file wins; when there is none, `value` is stored. Answers the value
    // now held; nullopt when the file cannot be written, `value` then waiting
    // in memory for a later write, where a stored value `keeps` accepts
    // still wins over it.
    std::optional<QVariant> keepOrSetObject(
        const QVariant& value, const QString& key, const std::function<bool(const QVariant&)>& keeps);

    // Writes what a failed write left unsaved; true when the file is current.
    bool synchronize();
    // Whether a change waits in memory for its write.
    bool hasUnsavedChanges() const;

private:
    bool writeLocked();
    // What goes to the file when it holds `stored`.
    QVariantMap mergedWith(const std::optional<QVariantMap>& stored) const;

    mutable std::mutex mutex_;
    QString filePath_;
    QVariantMap values_;
    // The keys set (a value) or removed (a null value) since the last write.
    QVariantMap changes_;
    // Of those, the ones set only unless the file holds a value these accept.
    QHash<QString, std::function<bool(const QVariant&)>> keptIfStored_;
    PendingWrite unsaved_ { [this] { return synchronize(); } };
};

} // namespace platform
