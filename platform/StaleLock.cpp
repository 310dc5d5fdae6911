#include "platform/StaleLock.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSysInfo>
#include <QtDebug>

namespace platform {

bool takeUnjudgedLock(QLockFile& lock, std::chrono::milliseconds minAge)
{
    // One client at a time judges and removes the lock (under the file Qt
    // takes for its own removals), so that none removes the lock another
    // has just made in the place of the one both found.
    QLockFile removing(lock.fileName() + QStringLiteral(".rmlock"));
    if (!removing.tryLock(0))
        return false;
    qint64 pid = 0;
    QString host;
    QString application;
    if (lock.getLockInfo(&pid, &host, &application) && host == QSysInfo::machineHostName())
        return false;
    const QDateTime made = QFileInfo(lock.fileName()).lastModified();
    if (!made.isValid() || qAbs(made.msecsTo(QDateTime::currentDateTime())) < minAge.count())
        return false;
    // Refused while a live process holds the file.
    if (!lock.removeStaleLockFile() || !lock.tryLock(0))
        return false;
    qWarning("the lock %s named no process here; it was taken over", qUtf8Printable(lock.fileName()));
    return true;
}

} // namespace platform
