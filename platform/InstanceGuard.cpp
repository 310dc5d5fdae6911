#include "platform/InstanceGuard.h"

#include "platform/StaleLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>
#include <QtDebug>

namespace platform {

namespace {

// What a later start says; anything else on the socket is ignored.
constexpr char kActivate[] = "activate\n";
constexpr int kSocketWaitMs = 1000;
// Far longer than a client takes to write the lock file it has made.
constexpr std::chrono::seconds kUnjudgedLockAge { 10 };

// A socket's address holds a path of at most this many bytes.
constexpr qsizetype kMaxSocketPath = 107;

struct Endpoint {
    QString name;
    bool abstract = false;
};

// Where the client on `folder` listens, in the order a later start tries
// them; the same for every spelling of the folder's path (links resolved).
std::vector<Endpoint> endpoints(const QString& folder)
{
    const QFileInfo info(folder);
    const QString path = info.exists() ? info.canonicalFilePath() : QDir::cleanPath(info.absoluteFilePath());
    std::vector<Endpoint> list;
    const QString file = QDir(path).filePath(QString::fromLatin1(InstanceGuard::kSocketFileName));
    if (QFile::encodeName(file).size() <= kMaxSocketPath)
        list.push_back({ file, false });
#ifdef Q_OS_LINUX
    // A short name that keeps two folders apart.
    const QByteArray digest = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256).toHex();
    list.push_back({ QStringLiteral("lumora-") + QString::fromLatin1(digest.left(32)), true });
#endif
    return list;
}

} // namespace

InstanceGuard::InstanceGuard(const QString& folder, Options options, QObject* parent)
    : QObject(parent)
    , folder_(folder)
    , options_(options)
{
}

InstanceGuard::~InstanceGuard() = default;

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
        if (lock_->tryLock(0)
            || (lock_->error() == QLockFile::LockFailedError && takeUnjudgedLock(*lock_, kUnjudgedLockAge))) {
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

void InstanceGuard::stopListening()
{
    for (QLocalServer* server : servers_)
        delete server;
    servers_.clear();
}

void InstanceGuard::listen()
{
    for (const Endpoint& endpoint : endpoints(folder_)) {
        auto* server = new QLocalServer(this);
        if (endpoint.abstract) {
            server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
        } else {
            // Only the holder of the lock gets here: a socket there is one a
            // crashed client left.
            QLocalServer::removeServer(endpoint.name);
            server->setSocketOptions(QLocalServer::UserAccessOption);
        }
        if (!server->listen(endpoint.name)) {
            qWarning("cannot listen on %s: %s", qUtf8Printable(endpoint.name),
                qUtf8Printable(server->errorString()));
            delete server;
            continue;
        }
        connect(server, &QLocalServer::newConnection, this, [this, server] {
            while (QLocalSocket* socket = server->nextPendingConnection()) {
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
        servers_.push_back(server);
    }
    if (servers_.empty())
        qWarning("a later start on %s cannot reach this client", qUtf8Printable(folder_));
}

bool InstanceGuard::askRunningClient() const
{
    for (const Endpoint& endpoint : endpoints(folder_)) {
        QLocalSocket socket;
        if (endpoint.abstract)
            socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
        socket.connectToServer(endpoint.name);
        if (!socket.waitForConnected(kSocketWaitMs))
            continue;
        socket.write(kActivate);
        const bool sent = socket.waitForBytesWritten(kSocketWaitMs);
        socket.disconnectFromServer();
        if (sent)
            return true;
    }
    return false;
}

} // namespace platform
