#include "platform/InstanceGuard.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSysInfo>
#include <QThread>
#include <QtDebug>

namespace platform {

namespace {

// What a later start says; anything else on the socket is ignored.
constexpr char kActivate[] = "activate\n";
constexpr int kSocketWaitMs = 1000;
// Far longer than a client takes to write the lock file it has made.
constexpr qint64 kUnjudgedLockAgeMs = 10000;

} // namespace

InstanceGuard::InstanceGuard(const QString& folder, Options options, QObject* parent)
    : QObject(parent)
    , folder_(folder)
    , options_(options)
{
}

InstanceGuard::~InstanceGuard() = default;

QString InstanceGuard::serverName(const QString& folder)
{
    // Local socket names are short: a digest of the folder's one true path
    // (links resolved), which also keeps two folders apart.
    const QFileInfo info(folder);
    const QString path = info.exists() ? info.canonicalFilePath() : QDir::cleanPath(info.absoluteFilePath());
    const QByteArray digest = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("lumora-") + QString::fromLatin1(digest.left(32));
}

InstanceGuard::Role InstanceGuard::acquire()
{
    lock_ = std::make_unique<QLockFile>(QDir(folder_).filePath(QString::fromLatin1(kLockFileName)));
    // Held for the whole run: only a lock whose process is gone is stale.
    lock_->setStaleLockTime(0);
    bool held = false;
    for (int attempt = 0; attempt < std::max(options_.attempts, 1); ++attempt) {
        if (attempt > 0)
            QThread::msleep(static_cast<unsigned long>(options_.interval.count()));
        // Tried again each time: a client that is ending gives the folder up.
        if (lock_->tryLock(0) || (lock_->error() == QLockFile::LockFailedError && takeUnjudgedLock())) {
            listen();
            return Role::First;
        }
        held = lock_->error() == QLockFile::LockFailedError;
        if (askRunningClient())
            return Role::HandedOver;
        // A folder that cannot be locked leaves no one to wait for.
        if (!held)
            break;
    }
    lock_.reset();
    if (held) {
        qWarning("another client holds %s and does not answer", qUtf8Printable(folder_));
        return Role::NoAnswer;
    }
    qWarning(
        "the user folder %s cannot be locked; another client on it is not kept out", qUtf8Printable(folder_));
    return Role::Unguarded;
}

bool InstanceGuard::takeUnjudgedLock()
{
    // A lock that names a process of this machine is judged by that process.
    // One written on another machine (the folder copied from there), or left
    // unreadable by a client that died making it, names none: it is taken
    // once it is too old to be one being made now, and only if no live
    // client still holds its file.
    qint64 pid = 0;
    QString host;
    QString application;
    if (lock_->getLockInfo(&pid, &host, &application) && host == QSysInfo::machineHostName())
        return false;
    const QDateTime made = QFileInfo(lock_->fileName()).lastModified();
    if (!made.isValid() || qAbs(made.msecsTo(QDateTime::currentDateTime())) < kUnjudgedLockAgeMs)
        return false;
    if (!lock_->removeStaleLockFile() || !lock_->tryLock(0))
        return false;
    qWarning("the lock on %s named no process here; it was taken over", qUtf8Printable(folder_));
    return true;
}

void InstanceGuard::stopListening()
{
    delete server_;
    server_ = nullptr;
}

void InstanceGuard::listen()
{
    const QString name = serverName(folder_);
    // Only the holder of the lock gets here: a socket by that name is one a
    // crashed client left.
    QLocalServer::removeServer(name);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name)) {
        qWarning("a later start on %s cannot reach this client: %s", qUtf8Printable(folder_),
            qUtf8Printable(server_->errorString()));
        return;
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            const auto read = [this, socket] {
                if (!socket->canReadLine())
                    return;
                const bool activate = socket->readLine(64) == kActivate;
                socket->disconnectFromServer();
                if (activate)
                    emit activationRequested();
            };
            connect(socket, &QLocalSocket::readyRead, this, read);
            read();
        }
    });
}

bool InstanceGuard::askRunningClient() const
{
    QLocalSocket socket;
    socket.connectToServer(serverName(folder_));
    if (!socket.waitForConnected(kSocketWaitMs))
        return false;
    socket.write(kActivate);
    const bool sent = socket.waitForBytesWritten(kSocketWaitMs);
    socket.disconnectFromServer();
    return sent;
}

} // namespace platform
