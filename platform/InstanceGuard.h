#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <chrono>
#include <memory>

namespace platform {

// One client per user folder. The first start on a folder holds a lock file
// in it and listens on a local socket named after the folder; a later start
// on the same folder asks that one to come to the front, and goes. A lock
// left by a client that crashed is taken over (its process is gone), and so
// is the socket it left; so is an old lock that names no process of this
// machine, unless a live client still holds its file.
class InstanceGuard final : public QObject {
    Q_OBJECT
public:
    enum class Role {
        First, // this start holds the folder
        HandedOver, // the running client was asked to the front: this one goes
        NoAnswer, // a running client holds the folder and does not answer: this one goes
        Unguarded, // the folder cannot be locked (read-only) and no client answers
    };
    struct Options {
        // How often, and how far apart, a later start tries to reach the
        // running client: it may be between taking the lock and listening.
        int attempts = 30;
        std::chrono::milliseconds interval { 100 };
    };
    static constexpr char kLockFileName[] = "instance.lock";

    explicit InstanceGuard(const QString& folder, Options options, QObject* parent = nullptr);
    explicit InstanceGuard(const QString& folder, QObject* parent = nullptr)
        : InstanceGuard(folder, Options(), parent)
    {
    }
    ~InstanceGuard() override;

    // Decides this start's role; called once.
    Role acquire();
    // The client is ending: a later start waits for the folder rather than
    // hand over to it. The folder stays held until the guard goes.
    void stopListening();
    // The socket's name for a folder: the same for every spelling of its path.
    static QString serverName(const QString& folder);

signals:
    // A later start on the folder asked for the front.
    void activationRequested();

private:
    bool askRunningClient() const;
    // Takes a lock file that names no process of this machine; true when
    // this start now holds the folder.
    bool takeUnjudgedLock();
    void listen();

    QString folder_;
    Options options_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
};

} // namespace platform
