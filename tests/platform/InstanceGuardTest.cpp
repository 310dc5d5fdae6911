// One client per user folder, as a later start meets the folder.
#include "platform/InstanceGuard.h"

#include "support/Spin.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <optional>

using platform::InstanceGuard;
using Role = InstanceGuard::Role;

namespace {
// Set in the child that plays a client which crashes holding the folder.
constexpr char kHolderFolder[] = "LUMORA_TEST_CRASHING_HOLDER";
// One try to reach a running client, so that a row that finds none never waits.
const InstanceGuard::Options kOnce { 1, std::chrono::milliseconds(0) };
} // namespace

TEST(InstanceGuard, ASecondStartOnTheFolderHandsOverToTheFirst)
{
    if (const QString folder = qEnvironmentVariable(kHolderFolder); !folder.isEmpty()) {
        InstanceGuard holder(folder, kOnce);
        std::fputs(holder.acquire() == Role::First ? "holding\n" : "no\n", stdout);
        std::fflush(stdout);
        std::raise(SIGKILL); // no clean-up: the lock and the socket stay behind
    }
    enum Before {
        Nobody,
        ARunningClient,
        ACrashedClient,
        ASilentHolder,
        AnEndingClient,
        NoLockPossible,
        AForeignLock,
        AnEmptyOldLock,
        AnEmptyNewLock,
        AHeldForeignLock,
        ALongTempFolder,
        EachItsOwnTempFolder,
        ALongFolderPath,
        ALongFolderByLink,
        AnotherLongFolder,
    };
    const struct {
        const char* name;
        Before before;
        Role role;
    } rows[] = {
        { "nobody on the folder", Nobody, Role::First },
        { "a client runs there", ARunningClient, Role::HandedOver },
        { "a client crashed holding it", ACrashedClient, Role::First },
        { "a holder that does not answer", ASilentHolder, Role::NoAnswer },
        // Not handed over to: a later start would wait for the folder.
        { "a client that is ending", AnEndingClient, Role::NoAnswer },
        { "a folder that cannot be locked", NoLockPossible, Role::Unguarded },
        // A lock that names no process here (copied with the folder from
        // another machine, or left empty by a crash as it was made) is taken
        // once it is too old to be one being made now.
        { "a lock written on another machine", AForeignLock, Role::First },
        { "a lock left empty long ago", AnEmptyOldLock, Role::First },
        { "a lock being made now", AnEmptyNewLock, Role::NoAnswer },
        { "one from another machine whose file a client holds", AHeldForeignLock, Role::NoAnswer },
        // The running client is found whatever the temporary folder, and
        // however long the folder's path.
        { "a temporary folder too long for a socket's address", ALongTempFolder, Role::HandedOver },
        { "each start with a temporary folder of its own", EachItsOwnTempFolder, Role::HandedOver },
        { "a folder too long for a socket's address, each its own temporary folder", ALongFolderPath,
            Role::HandedOver },
        { "a folder too long for a socket's address, by another spelling", ALongFolderByLink,
            Role::HandedOver },
        { "a client on another folder too long for a socket's address", AnotherLongFolder, Role::First },
    };
    const std::optional<QByteArray> savedTemp
        = qEnvironmentVariableIsSet("TMPDIR") ? std::optional(qgetenv("TMPDIR")) : std::nullopt;
    const auto useTemp = [](const QString& path) {
        ASSERT_TRUE(QDir().mkpath(path));
        qputenv("TMPDIR", QFile::encodeName(path));
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        QString folder = dir.path();
        if (row.before >= ALongFolderPath) {
            folder += "/" + QString(120, 'f');
            ASSERT_TRUE(QDir().mkpath(folder));
        }
        InstanceGuard first(folder, kOnce);
        QLockFile silent(QDir(folder).filePath(InstanceGuard::kLockFileName));
        QProcess child;
        if (row.before == ARunningClient) {
            ASSERT_EQ(first.acquire(), Role::First);
            ASSERT_TRUE(QFile::link(folder, folder + "-link"));
            folder += "-link/."; // the same folder by another spelling
        } else if (row.before == ACrashedClient) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(kHolderFolder, folder);
            child.setProcessEnvironment(env);
            child.start(QCoreApplication::applicationFilePath(),
                { "--gtest_filter=InstanceGuard.ASecondStartOnTheFolderHandsOverToTheFirst" });
            ASSERT_TRUE(child.waitForFinished(120000));
            ASSERT_TRUE(child.readAllStandardOutput().endsWith("\nholding\n"));
            EXPECT_TRUE(QFile::exists(silent.fileName()));
            EXPECT_TRUE(QFile::exists(QDir(folder).filePath(InstanceGuard::kSocketFileName)));
        } else if (row.before == ASilentHolder) {
            ASSERT_TRUE(silent.tryLock(0));
        } else if (row.before == AnEndingClient) {
            ASSERT_EQ(first.acquire(), Role::First);
            first.stopListening();
        } else if (row.before >= ALongFolderByLink) {
            ASSERT_EQ(first.acquire(), Role::First);
            if (row.before == ALongFolderByLink) {
                ASSERT_TRUE(QFile::link(folder, folder + "-link"));
                folder += "-link";
            } else {
                folder = dir.filePath(QString(120, 'g'));
                ASSERT_TRUE(QDir().mkpath(folder));
            }
        } else if (row.before >= ALongTempFolder) {
            if (row.before != ALongFolderPath)
                useTemp(dir.filePath(QString(120, 't')));
            ASSERT_EQ(first.acquire(), Role::First);
            if (row.before != ALongTempFolder)
                useTemp(dir.filePath("other"));
        } else if (row.before >= AForeignLock) {
            if (row.before == AHeldForeignLock)
                ASSERT_TRUE(silent.tryLock(0));
            QFile lock(silent.fileName());
            ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
            if (row.before == AForeignLock || row.before == AHeldForeignLock)
                ASSERT_TRUE(lock.write("4242\nlumora\nanother-machine\n") > 0 && lock.flush());
            if (row.before != AnEmptyNewLock)
                ASSERT_TRUE(lock.setFileTime(
                    QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        } else if (row.before == NoLockPossible) {
            QFile file(folder + "/file");
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            folder = file.fileName() + "/folder";
        }
        InstanceGuard second(folder, kOnce);
        int firstHeard = 0, secondHeard = 0;
        QObject::connect(&first, &InstanceGuard::activationRequested, [&] { ++firstHeard; });
        QObject::connect(&second, &InstanceGuard::activationRequested, [&] { ++secondHeard; });
        EXPECT_EQ(second.acquire(), row.role);
        if (row.role == Role::HandedOver)
            EXPECT_TRUE(testsupport::spinUntil([&] { return firstHeard == 1; }));
        // A folder the second took is the one a later start comes to.
        if (row.before == Nobody) {
            // Anything else said on its socket brings nothing to the front.
            QLocalSocket stranger;
            stranger.connectToServer(QDir(folder).filePath(InstanceGuard::kSocketFileName));
            ASSERT_TRUE(stranger.waitForConnected(1000));
            stranger.write("raise\n");
            EXPECT_TRUE(
                testsupport::spinUntil([&] { return stranger.state() == QLocalSocket::UnconnectedState; }));
            EXPECT_EQ(secondHeard, 0);
        }
        if (row.role == Role::First) {
            EXPECT_EQ(InstanceGuard(folder, kOnce).acquire(), Role::HandedOver);
            EXPECT_TRUE(testsupport::spinUntil([&] { return secondHeard == 1; }));
        }
        QFile::remove(dir.path() + "-link");
        if (savedTemp)
            qputenv("TMPDIR", *savedTemp);
        else
            qunsetenv("TMPDIR");
    }
}
