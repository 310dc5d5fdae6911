// One client per user folder, as a second start meets the first.
#include "platform/InstanceGuard.h"

#include "support/Spin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>

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
        InstanceGuard guard(folder, kOnce);
        if (guard.acquire() == Role::First)
            std::fputs("holding\n", stdout);
        std::fflush(stdout);
        std::raise(SIGKILL); // no clean-up: the lock and the socket stay behind
    }
    enum Before { Nobody, ARunningClient, ACrashedClient, ASilentHolder, NoLockPossible };
    const struct {
        const char* name;
        Before before;
        Role role;
    } rows[] = {
        { "nobody on the folder", Nobody, Role::First },
        { "a client runs there", ARunningClient, Role::HandedOver },
        { "a client crashed holding it", ACrashedClient, Role::First },
        { "a holder that does not answer", ASilentHolder, Role::NoAnswer },
        { "a folder that cannot be locked", NoLockPossible, Role::Unguarded },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        QString folder = dir.path();
        int heard = 0;
        InstanceGuard first(folder, kOnce);
        QObject::connect(&first, &InstanceGuard::activationRequested, [&] { ++heard; });
        QLockFile silent(QDir(folder).filePath(InstanceGuard::kLockFileName));
        switch (row.before) {
        case Nobody:
            break;
        case ARunningClient:
            ASSERT_EQ(first.acquire(), Role::First);
            // The same folder by another spelling of its path.
            ASSERT_TRUE(QFile::link(folder, folder + "-link"));
            folder = folder + "-link/.";
            break;
        case ACrashedClient: {
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(kHolderFolder, folder);
            child.setProcessEnvironment(env);
            child.start(QCoreApplication::applicationFilePath(),
                { "--gtest_filter=InstanceGuard.ASecondStartOnTheFolderHandsOverToTheFirst" });
            ASSERT_TRUE(child.waitForFinished(120000));
            ASSERT_TRUE(child.readAllStandardOutput().endsWith("\nholding\n"));
            EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
            EXPECT_TRUE(QFile::exists(silent.fileName()));
            EXPECT_TRUE(QFile::exists(QDir::temp().filePath(InstanceGuard::serverName(folder))));
            break;
        }
        case ASilentHolder:
            ASSERT_TRUE(silent.tryLock(0));
            break;
        case NoLockPossible: {
            QFile file(folder + "/file");
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            folder = file.fileName() + "/folder";
            break;
        }
        }
        InstanceGuard second(folder, kOnce);
        int heardBySecond = 0;
        QObject::connect(&second, &InstanceGuard::activationRequested, [&] { ++heardBySecond; });
        EXPECT_EQ(second.acquire(), row.role);
        if (row.role == Role::HandedOver) {
            ASSERT_TRUE(testsupport::spinUntil([&] { return heard == 1; }));
        } else if (row.role == Role::First) {
            // The folder is the second's now: the next start comes to it.
            InstanceGuard third(folder, kOnce);
            EXPECT_EQ(third.acquire(), Role::HandedOver);
            ASSERT_TRUE(testsupport::spinUntil([&] { return heardBySecond == 1; }));
        }
        QFile::remove(dir.path() + "-link");
    }
}
