#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <chrono>
#include <functional>
#include <optional>

// XML property lists: the stored form of the server list, the branch list,
// the saved accounts, the menu and the message store.
//
// Values are QVariants: QVariantMap (dict), QVariantList (array), QString
// (string), qint64 (integer), double (real), bool (true/false), QByteArray
// (data, Base64 inside the element) and QDateTime (date, UTC,
// "yyyy-MM-ddTHH:mm:ssZ").
namespace platform::PropertyList {

// Documents and files above this size are refused before they are parsed.
inline constexpr qint64 kMaxBytes = 16 * 1024 * 1024;
// Containers nested deeper than this are refused.
inline constexpr int kMaxDepth = 64;

// nullopt when the bytes are no well-formed property list, are too large or
// too deep, or use entity declarations.
std::optional<QVariant> read(const QByteArray& bytes);

// The document for `value`; empty when the value (or anything inside it) has
// no property-list form, e.g. a null QVariant or a QObject pointer.
QByteArray write(const QVariant& value);

// The value with every text (values and keys) that XML cannot carry cleaned,
// that text alone: control characters other than tab, line feed and carriage
// return are dropped, unpaired surrogates and U+FFFE / U+FFFF become U+FFFD.
// Stores of texts that come from a server (server and branch names) write
// this, so that one odd character never stops the whole file being saved.
QVariant cleanedForWriting(const QVariant& value);

// nullopt for a missing file; a file that cannot be read or parsed is treated
// as absent as well and reported with qWarning.
std::optional<QVariant> readFile(const QString& path);

// Writes through QSaveFile, so the file is either the old one or the whole new
// one, never half of it. False when the value has no property-list form or the
// file cannot be written; the old file is then left as it was.
bool writeFileAtomic(const QString& path, const QVariant& value);

// How long the writes made at quit wait, all together, for a lock that a live
// process holds (5 s); tests shorten it.
std::chrono::milliseconds lockWait();
void setLockWait(std::chrono::milliseconds wait);

// While one lives, updateFile on its thread waits for a lock that a live
// process holds, until `deadline`. Without one a write never waits: it fails
// at once, so that the window's thread is never held up, and its caller keeps
// the change for a later write.
class LockWaitScope {
public:
    explicit LockWaitScope(QDeadlineTimer deadline);
    ~LockWaitScope();
    LockWaitScope(const LockWaitScope&) = delete;
    LockWaitScope& operator=(const LockWaitScope&) = delete;

private:
    QDeadlineTimer saved_;
};

// A dictionary file that another client on the same user folder may write as
// well: under a lock file beside it ("<path>.lock"), reads what is stored now
// (nullopt when it is missing or holds no dictionary that parses), lets
// `merge` make from it the dictionary to store, and writes that atomically.
// Answers what was written; nullopt when the lock could not be had, the file
// is there but cannot be read, or the write failed, the file then being as it
// was. A lock left by a process that is gone, or that names no process of
// this machine and is no longer being made, is taken over: only a live holder
// (or one being made now) keeps the write out, and is waited for only within
// a LockWaitScope.
std::optional<QVariantMap> updateFile(
    const QString& path, const std::function<QVariantMap(const std::optional<QVariantMap>& stored)>& merge);

} // namespace platform::PropertyList
