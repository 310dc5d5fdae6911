#pragma once

#include <QByteArray>
#include <QCborMap>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace platform {

// Keyed archives: an object's named values as bytes, so that objects can be
// stored in files and read back. The format is our own: the magic "LKA1"
// followed by a CBOR map {"class": name, "values": {key: value}}.
class KeyedArchiver {
public:
    void encodeBytes(const QString& key, const QByteArray& value) { values_.insert(key, value); }
    void encodeString(const QString& key, const QString& value) { values_.insert(key, value); }
    void encodeInt(const QString& key, qint64 value) { values_.insert(key, value); }
    void encodeDouble(const QString& key, double value) { values_.insert(key, value); }
    void encodeBool(const QString& key, bool value) { values_.insert(key, value); }

    // The archive of an object of class `className` holding the values so far.
    QByteArray archivedData(const QString& className) const;

private:
    QCborMap values_;
};

class KeyedUnarchiver {
public:
    // nullopt when `data` is not a well-formed archive.
    static std::optional<KeyedUnarchiver> fromData(const QByteArray& data);

    const QString& className() const { return className_; }
    bool contains(const QString& key) const { return values_.contains(key); }
    std::optional<QByteArray> decodeBytes(const QString& key) const;
    std::optional<QString> decodeString(const QString& key) const;
    std::optional<qint64> decodeInt(const QString& key) const;
    std::optional<double> decodeDouble(const QString& key) const;
    std::optional<bool> decodeBool(const QString& key) const;

private:
    QString className_;
    QCborMap values_;
};

// An object that can be put into a keyed archive. Classes that want to be
// read back generically register a factory under their class name.
class Archivable {
public:
    virtual ~Archivable() = default;
    virtual QString archiveClassName() const = 0;
    virtual void encodeWithCoder(KeyedArchiver& coder) const = 0;
};

using ArchivableFactory = std::function<std::unique_ptr<Archivable>(const KeyedUnarchiver&)>;
void registerArchivableClass(const QString& className, ArchivableFactory factory);

QByteArray archiveObject(const Archivable& object);
// nullptr when the data is no archive, its class is not registered, or the
// class refuses the values.
std::unique_ptr<Archivable> unarchiveObject(const QByteArray& data);

} // namespace platform
