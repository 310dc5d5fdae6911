#include "platform/NotificationCenter.h"

#include <QObject>
#include <algorithm>
#include <atomic>

namespace platform {

struct NotificationCenter::Registration {
    RegistrationId id = 0;
    const void* observer = nullptr;
    QString name;
    QVariant filter;
    Callback callback;
    // Cleared on removal, so a post that already took this registration skips it.
    std::atomic<bool> active { true };

    bool matches(const Notification& n) const
    {
        if (!name.isEmpty() && name != n.name)
            return false;
        return filter.isNull() || filter == n.object;
    }
};

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

NotificationCenter::~NotificationCenter()
{
    reset();
}

NotificationCenter::RegistrationId NotificationCenter::addObserver(
    const void* observer, Callback callback, const QString& name, const QVariant& objectFilter)
{
    auto r = std::make_shared<Registration>();
    r->observer = observer;
    r->name = name;
    r->filter = objectFilter;
    r->callback = std::move(callback);
    std::lock_guard lock(mutex_);
    r->id = nextId_++;
    registrations_.push_back(r);
    return r->id;
}

NotificationCenter::RegistrationId NotificationCenter::addObserver(
    QObject* observer, Callback callback, const QString& name, const QVariant& objectFilter)
{
    const void* key = observer;
    const RegistrationId id = addObserver(key, std::move(callback), name, objectFilter);
    if (!observer)
        return id;
    std::lock_guard lock(mutex_);
    if (!destroyWatch_.contains(key)) {
        destroyWatch_[key]
            = QObject::connect(observer, &QObject::destroyed, [this, key] { removeObserver(key); });
    }
    return id;
}

void NotificationCenter::removeWhere(const std::function<bool(const Registration&)>& match)
{
    std::vector<std::shared_ptr<Registration>> removed;
    {
        std::lock_guard lock(mutex_);
        auto keep = std::stable_partition(registrations_.begin(), registrations_.end(),
            [&](const std::shared_ptr<Registration>& r) { return !match(*r); });
        for (auto it = keep; it != registrations_.end(); ++it) {
            (*it)->active = false;
            removed.push_back(*it);
        }
        registrations_.erase(keep, registrations_.end());
    }
    for (const auto& r : removed)
        disconnectIfUnused(r->observer);
    // `removed` may hold the last reference to a callback; it goes here, outside the lock.
}

void NotificationCenter::disconnectIfUnused(const void* observer)
{
    QMetaObject::Connection connection;
    {
        std::lock_guard lock(mutex_);
        auto watch = destroyWatch_.find(observer);
        if (watch == destroyWatch_.end())
            return;
        const bool used = std::any_of(registrations_.begin(), registrations_.end(),
            [&](const std::shared_ptr<Registration>& r) { return r->observer == observer; });
        if (used)
            return;
        connection = watch->second;
        destroyWatch_.erase(watch);
    }
    QObject::disconnect(connection);
}

void NotificationCenter::removeObserver(const void* observer)
{
    if (!observer)
        return;
    removeWhere([observer](const Registration& r) { return r.observer == observer; });
}

void NotificationCenter::removeObserver(const void* observer, const QString& name)
{
    if (!observer)
        return;
    removeWhere([&](const Registration& r) { return r.observer == observer && r.name == name; });
}

void NotificationCenter::removeRegistration(RegistrationId id)
{
    removeWhere([id](const Registration& r) { return r.id == id; });
}

void NotificationCenter::postNotification(const Notification& notification)
{
    std::vector<std::shared_ptr<Registration>> targets;
    {
        std::lock_guard lock(mutex_);
        for (const auto& r : registrations_) {
            if (r->matches(notification))
                targets.push_back(r);
        }
    }
    // Called without the lock: observers may add, remove or post in turn.
    for (const auto& r : targets) {
        if (r->active)
            r->callback(notification);
    }
}

void NotificationCenter::postNotification(
    const QString& name, const QVariant& object, const QVariantMap& userInfo)
{
    postNotification(Notification { name, object, userInfo });
}

int NotificationCenter::registrationCount(const void* observer) const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(registrations_.begin(), registrations_.end(),
        [observer](const std::shared_ptr<Registration>& r) { return r->observer == observer; }));
}

void NotificationCenter::reset()
{
    std::vector<std::shared_ptr<Registration>> removed;
    std::vector<QMetaObject::Connection> connections;
    {
        std::lock_guard lock(mutex_);
        for (auto& r : registrations_)
            r->active = false;
        removed.swap(registrations_);
        for (auto& [key, connection] : destroyWatch_)
            connections.push_back(connection);
        destroyWatch_.clear();
    }
    for (auto& c : connections)
        QObject::disconnect(c);
}

NotificationToken& NotificationToken::operator=(NotificationToken&& other) noexcept
{
    if (this != &other) {
        release();
        center_ = std::exchange(other.center_, nullptr);
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

void NotificationToken::release()
{
    if (center_)
        center_->removeRegistration(id_);
    center_ = nullptr;
    id_ = 0;
}

NotificationToken observeNotification(const QString& name, NotificationCenter::Callback callback,
    const QVariant& objectFilter, NotificationCenter& center)
{
    const auto id
        = center.addObserver(static_cast<const void*>(nullptr), std::move(callback), name, objectFilter);
    return NotificationToken(&center, id);
}

} // namespace platform
