#pragma once

#include "platform/NotificationCenter.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <cstdint>
#include <functional>
#include <type_traits>

// Common part of the program's two integer-typed notification centres. Both
// register on the platform's default centre under "<prefix>%d", so one
// registry lies behind them: removing an observer from either removes all of
// its registrations. Observers are never owned: QObjects drop out when they
// are destroyed, other observers call removeObserver() in their destructor.
class TypedNotificationCenter {
public:
    using Notification = platform::Notification;
    using Handler = std::function<void(const Notification&)>;
    using PlainHandler = std::function<void()>;

    // addObserver:selector:notificationType:object: -- a null object hears
    // every sender, any other only posts made with an equal object.
    void addObserver(
        QObject* observer, Handler selector, int32_t notificationType, const QVariant& object = QVariant());
    void addObserver(const void* observer, Handler selector, int32_t notificationType,
        const QVariant& object = QVariant());
    // Operations that take no argument.
    void addObserver(QObject* observer, PlainHandler selector, int32_t notificationType,
        const QVariant& object = QVariant());
    void addObserver(const void* observer, PlainHandler selector, int32_t notificationType,
        const QVariant& object = QVariant());

    // A member operation of the observer, with or without the notification.
    template <class T, class M>
    requires std::is_base_of_v<M, T>
    void addObserver(T* observer, void (M::*selector)(const Notification&), int32_t notificationType,
        const QVariant& object = QVariant())
    {
        addObserver(observerKey(observer),
            Handler([observer, selector](const Notification& n) { (observer->*selector)(n); }),
            notificationType, object);
    }
    template <class T, class M>
    requires std::is_base_of_v<M, T>
    void addObserver(
        T* observer, void (M::*selector)(), int32_t notificationType, const QVariant& object = QVariant())
    {
        addObserver(observerKey(observer), PlainHandler([observer, selector] { (observer->*selector)(); }),
            notificationType, object);
    }

    // Every registration of the observer on the default centre: all types of
    // both centres and any other name.
    void removeObserver(const void* observer);

    void postNotification(int32_t notificationType, const QVariant& object = QVariant());

    QString notificationName(int32_t notificationType) const;

protected:
    explicit TypedNotificationCenter(const char* prefix);
    void post(int32_t notificationType, const QVariant& object, const QVariantMap& userInfo);

    platform::NotificationCenter* defaultCenter;

private:
    template <class T> static auto observerKey(T* observer)
    {
        if constexpr (std::is_base_of_v<QObject, T>)
            return static_cast<QObject*>(observer);
        else
            return static_cast<const void*>(observer);
    }

    const char* prefix_;
};

// The user-interface level centre: login, logout, account change, locking,
// settings changes, page switches ("NOTIFICATION_%d").
class NotificationCenter : public TypedNotificationCenter {
public:
    static NotificationCenter* getInstance();
    // Tests: drops every registration of both centres (they share one registry).
    static void resetForTesting();

    // The type is an integer despite the operation's name.
    void postNotificationName(int32_t notificationType, const QVariant& object, const QVariantMap& userInfo);

private:
    NotificationCenter();
};
