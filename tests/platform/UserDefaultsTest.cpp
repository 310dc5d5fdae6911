#include "platform/UserDefaults.h"

#include "platform/PendingWrites.h"
#include "platform/PropertyList.h"
#include "support/ShortLockWait.h"
#include "support/Spin.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QObject>
#include <QSysInfo>
#include <QTemporaryDir>
#include <future>
#include <gtest/gtest.h>
#include <optional>
#include <thread>
#include <vector>
#ifdef Q_OS_LINUX
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

using platform::UserDefaults;

namespace {

bool writeRaw(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// For as long as it lives, this thread reads and writes files by their
// permissions alone, as a user who is not root does.
class ByPermissions {
public:
    ByPermissions()
    {
#ifdef Q_OS_LINUX
        if (syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct lowered[2] = { saved_[0], saved_[1] };
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        lowered_ = syscall(SYS_capset, &header_, lowered) == 0;
#endif
    }
    ~ByPermissions()
    {
#ifdef Q_OS_LINUX
        if (lowered_)
            syscall(SYS_capset, &header_, saved_);
#endif
    }
    ByPermissions(const ByPermissions&) = delete;
    ByPermissions& operator=(const ByPermissions&) = delete;

private:
#ifdef Q_OS_LINUX
    __user_cap_header_struct header_ { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct saved_[2] {};
    bool lowered_ = false;
#endif
};

// Another client holding the store's lock, from a thread of its own, until it
// is told to let go (or, should a write wait for it, after a while).
class AnotherClientHolds {
public:
    explicit AnotherClientHolds(const QString& lockPath)
        : thread_([this, lockPath] {
            QLockFile lock(lockPath);
            held_.set_value(lock.tryLock(0));
            letGo_.get_future().wait_for(std::chrono::seconds(30));
        })
    {
        EXPECT_TRUE(held_.get_future().get());
    }
    ~AnotherClientHolds() { letGo(); }
    AnotherClientHolds(const AnotherClientHolds&) = delete;
    AnotherClientHolds& operator=(const AnotherClientHolds&) = delete;
    void letGo()
    {
        if (!thread_.joinable())
            return;
        letGo_.set_value();
        thread_.join();
    }

private:
    std::promise<bool> held_;
    std::promise<void> letGo_;
    std::thread thread_;
};

} // namespace

TEST(UserDefaults, TypedValuesRoundTripAndPersist)
{
    QTemporaryDir temp;
    const QString path = temp.filePath("UserDefaults.plist");
    {
        UserDefaults d(path);
        EXPECT_FALSE(d.contains("s"));
        EXPECT_FALSE(d.stringForKey("s"));
        EXPECT_EQ(d.integerForKey("i"), 0);
        EXPECT_FALSE(d.boolForKey("b"));
        EXPECT_TRUE(d.setString(QString::fromUtf8("华泰 text"), "s"));
        d.setString(QString(), "empty");
        d.setInteger(-9000000000LL, "i");
        d.setInteger(int(3), "small");
        d.setDouble(2.5, "d");
        d.setBool(true, "b");
        d.setData(QByteArray("\x00\x01\xff", 3), "data");
        d.setDictionary(QVariantMap { { "k", qint64(1) } }, "dict");
        d.setArray(QVariantList { "a", qint64(2) }, "arr");
        d.setString("x", "gone");
        d.removeObject("gone");
        // No property-list form: refused, nothing changes.
        QObject o;
        EXPECT_FALSE(d.setObject(QVariant::fromValue(&o), "obj"));
        EXPECT_FALSE(d.contains("obj"));
        EXPECT_TRUE(d.synchronize());
    }
    UserDefaults d(path); // a reload reads what was written on every change
    EXPECT_EQ(d.stringForKey("s"), QString::fromUtf8("华泰 text"));
    EXPECT_EQ(d.stringForKey("empty"), QString());
    EXPECT_EQ(d.integerForKey("i"), -9000000000LL);
    EXPECT_EQ(d.integerForKey("small"), 3);
    EXPECT_EQ(d.doubleForKey("d"), 2.5);
    EXPECT_EQ(d.integerForKey("d"), 2);
    EXPECT_TRUE(d.boolForKey("b"));
    EXPECT_EQ(d.dataForKey("data"), QByteArray("\x00\x01\xff", 3));
    EXPECT_EQ(d.dictionaryForKey("dict")->value("k").toLongLong(), 1);
    EXPECT_EQ(d.arrayForKey("arr")->size(), 2);
    EXPECT_FALSE(d.contains("gone"));
    // Type mismatches answer the empty value, never a wrong one.
    EXPECT_FALSE(d.dataForKey("s"));
    EXPECT_FALSE(d.dictionaryForKey("arr"));
    EXPECT_FALSE(d.arrayForKey("dict"));
    EXPECT_EQ(d.integerForKey("s"), 0);
    EXPECT_EQ(d.stringForKey("i"), QString("-9000000000"));
    d.setString("12", "numeric");
    d.setString("YES", "yes");
    d.setDouble(1e300, "huge");
    EXPECT_EQ(d.integerForKey("numeric"), 12);
    EXPECT_TRUE(d.boolForKey("yes"));
    EXPECT_EQ(d.integerForKey("huge"), 0);
    d.setObject(QVariant(), "numeric");
    EXPECT_FALSE(d.contains("numeric"));
}

TEST(UserDefaults, CorruptOrForeignFilesAreTreatedAsAbsent)
{
    QTemporaryDir temp;
    const QString path = temp.filePath("UserDefaults.plist");
    ASSERT_TRUE(writeRaw(path, "<?xml version=\"1.0\"?><plist><dict><key>a</key><string>x</dict>"));
    {
        UserDefaults d(path);
        EXPECT_TRUE(d.dictionaryRepresentation().isEmpty());
        d.setInteger(5, "n");
    }
    // The next write replaced the broken file whole.
    auto stored = platform::PropertyList::readFile(path);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->toMap().value("n").toLongLong(), 5);

    // A well-formed list that is no dictionary.
    ASSERT_TRUE(platform::PropertyList::writeFileAtomic(path, QVariantList { "a" }));
    EXPECT_TRUE(UserDefaults(path).dictionaryRepresentation().isEmpty());

    // Binary garbage.
    ASSERT_TRUE(writeRaw(path, QByteArray(1000, '\xff')));
    EXPECT_TRUE(UserDefaults(path).dictionaryRepresentation().isEmpty());
}

TEST(UserDefaults, AFailedWriteStaysInMemoryUntilSynchronize)
{
    QTemporaryDir temp;
    const QString dir = temp.filePath("missing");
    UserDefaults d(dir + "/UserDefaults.plist");
    d.setString("v", "k"); // the folder does not exist: the write fails
    EXPECT_EQ(d.stringForKey("k"), QString("v"));
    EXPECT_FALSE(d.synchronize());
    ASSERT_TRUE(QDir().mkpath(dir));
    EXPECT_TRUE(d.synchronize());
    EXPECT_EQ(UserDefaults(dir + "/UserDefaults.plist").stringForKey("k"), QString("v"));

    // A file that cannot be read may hold what another client stored: it is
    // not replaced, and the change is stored once it can be read again.
    const QString unreadable = temp.filePath("unreadable.plist");
    ASSERT_TRUE(platform::PropertyList::writeFileAtomic(unreadable, QVariantMap { { "kept", qint64(7) } }));
    ASSERT_TRUE(QFile::setPermissions(unreadable, QFileDevice::WriteOwner));
    std::optional<UserDefaults> u;
    {
        const ByPermissions asAUser;
        u.emplace(unreadable);
        u->setInteger(5, "lock");
        EXPECT_FALSE(u->synchronize());
    }
    ASSERT_TRUE(QFile::setPermissions(unreadable, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    EXPECT_EQ(UserDefaults(unreadable).integerForKey("kept"), 7);
    EXPECT_TRUE(u->synchronize());
    EXPECT_EQ(UserDefaults(unreadable).dictionaryRepresentation(),
        (QVariantMap { { "kept", qint64(7) }, { "lock", qint64(5) } }));
}

// A lock file beside the store holds a write up only while a live process
// holds it: one left empty by a process that died making it, or written on
// another machine, is taken over once, by one client at a time; a live holder
// makes the write fail, and its change is stored by the next write.
TEST(UserDefaults, OnlyALiveHolderOfTheLockKeepsAWriteOut)
{
    enum Lock { LeftEmpty, Foreign, Held, HeldForeign, MadeNow, LiveHere, ForeignAhead, BeingTakenOver };
    const struct {
        const char* name;
        Lock lock;
        bool written;
    } rows[] = {
        { "left empty by a client that died making it", LeftEmpty, true },
        { "written on another machine", Foreign, true },
        { "held by a live client", Held, false },
        { "from another machine, its file held by a live client", HeldForeign, false },
        { "left empty a moment ago: being made", MadeNow, false },
        // A file system that keeps no file locks leaves only what the file says.
        { "naming a live process here, its file not held", LiveHere, false },
        { "written on another machine whose clock runs ahead", ForeignAhead, true },
        { "written on another machine, another client taking it over", BeingTakenOver, false },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir temp;
        const QString path = temp.filePath("UserDefaults.plist");
        QLockFile holder(path + ".lock");
        QLockFile takingOver(holder.fileName() + ".rmlock");
        if (row.lock == Held || row.lock == HeldForeign)
            ASSERT_TRUE(holder.tryLock(0));
        if (row.lock == BeingTakenOver)
            ASSERT_TRUE(takingOver.tryLock(0));
        if (row.lock != Held) {
            QFile lock(holder.fileName());
            ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
            QByteArray says = "4242\nlumora\nanother-machine\n";
            if (row.lock == LeftEmpty || row.lock == MadeNow)
                says.clear();
            else if (row.lock == LiveHere)
                says = QByteArray::number(QCoreApplication::applicationPid()) + '\n'
                    + QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() + '\n'
                    + QSysInfo::machineHostName().toUtf8() + '\n';
            ASSERT_TRUE(lock.write(says) == says.size() && lock.flush());
            // Past the moment of its making, within Qt's own 30 s.
            const qint64 age = row.lock == MadeNow ? 0 : row.lock == ForeignAhead ? -10 : 10;
            ASSERT_TRUE(lock.setFileTime(
                QDateTime::currentDateTime().addSecs(-age), QFileDevice::FileModificationTime));
        }
        UserDefaults d(path);
        d.setInteger(5, "lock");
        EXPECT_EQ(UserDefaults(path).contains("lock"), row.written);
        EXPECT_EQ(d.integerForKey("lock"), 5);
        holder.unlock();
        takingOver.unlock();
        QFile::remove(holder.fileName()); // its holder is gone
        EXPECT_TRUE(d.synchronize());
        EXPECT_EQ(UserDefaults(path).integerForKey("lock"), 5);
    }
}

TEST(UserDefaults, StandardStoreFollowsTheUserFolder)
{
    QTemporaryDir temp;
    const QByteArray saved = qgetenv("LUMORA_HOME");
    qputenv("LUMORA_HOME", temp.path().toUtf8());
    UserDefaults::resetStandardUserDefaults();
    auto& d = UserDefaults::standardUserDefaults();
    EXPECT_EQ(d.filePath(), temp.path() + "/UserDefaults.plist");
    EXPECT_EQ(&d, &UserDefaults::standardUserDefaults());
    d.setInteger(1, "one");
    UserDefaults::resetStandardUserDefaults();
    EXPECT_EQ(UserDefaults::standardUserDefaults().integerForKey("one"), 1);
    UserDefaults::resetStandardUserDefaults();
    if (saved.isEmpty())
        qunsetenv("LUMORA_HOME");
    else
        qputenv("LUMORA_HOME", saved);
}

// Two clients on one file, each with a store read at its start: a write
// keeps what the other stored since, and stores only the keys this store set
// or removed (a removal only of a key it held) since its last write. A file
// that no longer holds a dictionary holds nothing of the other's: the store
// writes all it holds.
TEST(UserDefaults, TwoStoresOnOneFileKeepEachOthersKeys)
{
    struct Step {
        int store; // -1: the file is overwritten with `key` as it stands
        const char* key;
        std::optional<qint64> value; // none: removed
    };
    const char* const array = "<plist><array><integer>1</integer></array></plist>";
    const struct {
        const char* name;
        std::vector<Step> steps;
        QVariantMap file;
    } rows[] = {
        { "each its own key", { { 0, "lock", 5 }, { 1, "order", 1 } },
            { { "kept", 7 }, { "lock", 5 }, { "order", 1 } } },
        { "one key from both: the last write", { { 0, "lock", 5 }, { 1, "lock", 6 } },
            { { "kept", 7 }, { "lock", 6 } } },
        { "a removal takes only its key", { { 1, "order", 1 }, { 0, "kept", {} } }, { { "order", 1 } } },
        { "removed, then set by the other", { { 0, "kept", {} }, { 1, "kept", 9 } }, { { "kept", 9 } } },
        { "a key the store never held is not removed",
            { { 1, "new", 3 }, { 0, "new", {} }, { 0, "lock", 5 } },
            { { "kept", 7 }, { "new", 3 }, { "lock", 5 } } },
        { "a key written once is not written again",
            { { 0, "lock", 5 }, { 1, "lock", 6 }, { 0, "order", 1 } },
            { { "kept", 7 }, { "lock", 6 }, { "order", 1 } } },
        { "a file that does not parse", { { -1, "<plist><dict>", {} }, { 0, "lock", 5 } },
            { { "kept", 7 }, { "lock", 5 } } },
        { "a file that holds no dictionary", { { -1, array, {} }, { 1, "lock", 5 } },
            { { "kept", 7 }, { "lock", 5 } } },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir temp;
        const QString path = temp.filePath("UserDefaults.plist");
        ASSERT_TRUE(platform::PropertyList::writeFileAtomic(path, QVariantMap { { "kept", qint64(7) } }));
        UserDefaults stores[] = { UserDefaults(path), UserDefaults(path) };
        for (const Step& step : row.steps) {
            QFile file(path);
            if (step.store < 0)
                ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(step.key) > 0);
            else if (step.value)
                stores[step.store].setInteger(*step.value, step.key);
            else
                stores[step.store].removeObject(step.key);
        }
        EXPECT_EQ(UserDefaults(path).dictionaryRepresentation(), row.file);
        // The store that wrote last holds what it wrote.
        EXPECT_EQ(stores[row.steps.back().store].dictionaryRepresentation(), row.file);
    }
}

// A change whose write cannot be made now (another client holds the lock, the
// file is there but cannot be read) is read from memory at once, and the
// setter never waits for the lock. It is written once the file can be, merged
// with what the file holds: from the run loop with no other change, or at
// quit, which waits a little for a live holder; a quit that still cannot
// write leaves the file as it was.
TEST(UserDefaults, AWriteThatCannotBeMadeNowGoesWhenItCan)
{
    enum Out { Locked, Unreadable };
    enum When { FromTheRunLoop, AtQuit, NotAtQuit };
    const struct {
        const char* name;
        Out out;
        When when;
    } rows[] = {
        { "the lock held, then free", Locked, FromTheRunLoop },
        { "the lock held, free at quit", Locked, AtQuit },
        { "the lock held through the quit", Locked, NotAtQuit },
        { "the file unreadable, then readable", Unreadable, FromTheRunLoop },
        { "the file unreadable, readable at quit", Unreadable, AtQuit },
    };
    const testsupport::QuickRetries quickRetries;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        // Longer than the other client holds on by itself: a setter that
        // waited would get the lock and write.
        const testsupport::ShortLockWait quitWait(
            row.when == NotAtQuit ? std::chrono::milliseconds(50) : std::chrono::minutes(1));
        QTemporaryDir temp;
        const QString path = temp.filePath("UserDefaults.plist");
        ASSERT_TRUE(platform::PropertyList::writeFileAtomic(path, QVariantMap { { "kept", qint64(7) } }));
        UserDefaults d(path);
        std::optional<AnotherClientHolds> other;
        if (row.out == Locked) {
            other.emplace(path + ".lock");
            d.setInteger(5, "lock");
            EXPECT_FALSE(UserDefaults(path).contains("lock"));
        } else {
            ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::WriteOwner));
            const ByPermissions asAUser;
            d.setInteger(5, "lock");
        }
        EXPECT_EQ(d.integerForKey("lock"), 5);
        if (row.when != NotAtQuit) {
            other.reset();
            ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        }
        if (row.when == FromTheRunLoop)
            EXPECT_TRUE(testsupport::spinUntil([&] { return UserDefaults(path).contains("lock"); }));
        else
            EXPECT_EQ(platform::writeOwedWrites(), row.when == AtQuit);
        const QVariantMap file = row.when == NotAtQuit
            ? QVariantMap { { "kept", qint64(7) } }
            : QVariantMap { { "kept", qint64(7) }, { "lock", qint64(5) } };
        other.reset();
        EXPECT_EQ(UserDefaults(path).dictionaryRepresentation(), file);
        EXPECT_EQ(d.hasUnsavedChanges(), row.when == NotAtQuit);
    }
}

// A value this store sets only unless the file holds one the check keeps (the
// installation key): one another client stored wins, whether it was stored
// after this store read the file or while this store could not write, and is
// what this store then holds; with none stored, or one the check refuses,
// this store's goes.
TEST(UserDefaults, AStoredValueTheCheckKeepsWinsOverThisStores)
{
    enum Stored { None, AfterTheRead, WhileLocked, Refused };
    const struct {
        const char* name;
        Stored stored;
        const char* held;
    } rows[] = {
        { "none stored", None, "key-mine" },
        { "another's stored after this store read the file", AfterTheRead, "key-other" },
        { "another's stored while this store could not write", WhileLocked, "key-other" },
        { "one the check refuses", Refused, "key-mine" },
    };
    const auto keeps = [](const QVariant& v) { return v.toString().startsWith("key-"); };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir temp;
        const QString path = temp.filePath("UserDefaults.plist");
        ASSERT_TRUE(platform::PropertyList::writeFileAtomic(path, QVariantMap { { "kept", qint64(7) } }));
        UserDefaults mine(path);
        if (row.stored == AfterTheRead || row.stored == Refused)
            UserDefaults(path).setString(row.stored == Refused ? "junk" : "key-other", "des_key");
        if (row.stored == WhileLocked) {
            QLockFile otherWriting(path + ".lock");
            ASSERT_TRUE(otherWriting.tryLock(0));
            EXPECT_FALSE(mine.keepOrSetObject(QString("key-mine"), "des_key", keeps));
            otherWriting.unlock();
            UserDefaults(path).setString("key-other", "des_key");
            mine.setInteger(1, "next"); // takes the kept value along
        } else {
            EXPECT_EQ(mine.keepOrSetObject(QString("key-mine"), "des_key", keeps), QVariant(row.held));
        }
        EXPECT_EQ(mine.objectForKey("des_key"), QVariant(row.held));
        EXPECT_EQ(UserDefaults(path).objectForKey("des_key"), QVariant(row.held));
        EXPECT_EQ(UserDefaults(path).integerForKey("kept"), 7);
    }
}
