#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <chrono>
#include <memory>
#include <vector>

namespace platform {

// One client per user folder. The first start on a folder holds a lock file
// in it and listens on a local socket in it (and, on Linux, on one named
// after the folder outside any file system, for a folder whose path is too
// long for a socket's address or whose file system holds none), so that a
// later start finds it whatever its temporary folder; the later start asks
// it to come to the front, and goes. A lock left by a client that crashed is
// taken over (its process is gone), and so is the socket it left; so is an
// old lock that names no process of this machine, unless a live client still
// holds its file.
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
    static constexpr char kSocketFileName[] = "instance.sock";

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

signals:
    // A later start on the folder asked for the front.
    void activationRequested();

private:
    bool askRunningClient() const;
    void listen();

    QString folder_;
    Options options_;
    std::unique_ptr<QLockFile> lock_;
    std::vector<QLocalServer*> servers_;
};

} // namespace platform
