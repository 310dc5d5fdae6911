#pragma once

#include <QMetaObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

class QObject;

namespace platform {

// One posted notification: a name, the sender object (may be null) and user info.
struct Notification {
    QString name;
    QVariant object;
    QVariantMap userInfo;
};

// The process's default notification centre. Observers are identified by a
// pointer and never owned; a QObject observer is dropped when it is
// destroyed, any other observer must remove itself (or hold a token).
// Posting is synchronous on the posting thread.
class NotificationCenter {
public:
    using Callback = std::function<void(const Notification&)>;
    using RegistrationId = std::uint64_t;

    static NotificationCenter& defaultCenter();

    // An empty name hears every name; a null filter hears every sender.
    // A non-null filter hears only posts whose object compares equal to it.
    RegistrationId addObserver(const void* observer, Callback callback, const QString& name,
        const QVariant& objectFilter = QVariant());
    RegistrationId addObserver(
        QObject* observer, Callback callback, const QString& name, const QVariant& objectFilter = QVariant());

    // Every registration of the observer, under any name.
    void removeObserver(const void* observer);
    // The observer's registrations under one name.
    void removeObserver(const void* observer, const QString& name);
    void removeRegistration(RegistrationId id);

    void postNotification(const Notification& notification);
    void postNotification(const QString& name, const QVariant& object = QVariant(),
        const QVariantMap& userInfo = QVariantMap());

    // Number of live registrations of an observer (tests and diagnostics).
    int registrationCount(const void* observer) const;

    // Drops every registration; tests start from a clean centre.
    void reset();

    NotificationCenter() = default;
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

private:
    struct Registration;
    void removeWhere(const std::function<bool(const Registration&)>& match);
    void disconnectIfUnused(const void* observer);

    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Registration>> registrations_;
    // One destroyed() connection per QObject observer.
    std::unordered_map<const void*, QMetaObject::Connection> destroyWatch_;
    RegistrationId nextId_ = 1;
};

// Removes its registration when it goes; for observers that are not QObjects.
class NotificationToken {
public:
    NotificationToken() = default;
    NotificationToken(NotificationCenter* center, NotificationCenter::RegistrationId id)
        : center_(center)
        , id_(id)
    {
    }
    ~NotificationToken() { release(); }
    NotificationToken(NotificationToken&& other) noexcept { *this = std::move(other); }
    NotificationToken& operator=(NotificationToken&& other) noexcept;
    NotificationToken(const NotificationToken&) = delete;
    NotificationToken& operator=(const NotificationToken&) = delete;

    void release();
    bool isActive() const { return center_ != nullptr; }

private:
    NotificationCenter* center_ = nullptr;
    NotificationCenter::RegistrationId id_ = 0;
};

// Registers `callback` under `name` and answers the token that owns it.
NotificationToken observeNotification(const QString& name, NotificationCenter::Callback callback,
    const QVariant& objectFilter = QVariant(),
    NotificationCenter& center = NotificationCenter::defaultCenter());

} // namespace platform
