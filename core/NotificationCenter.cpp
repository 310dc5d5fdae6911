#include "core/NotificationCenter.h"

TypedNotificationCenter::TypedNotificationCenter(const char* prefix)
    : defaultCenter(&platform::NotificationCenter::defaultCenter())
    , prefix_(prefix)
{
}

QString TypedNotificationCenter::notificationName(int32_t notificationType) const
{
    return QString::fromLatin1(prefix_) + QString::number(notificationType);
}

void TypedNotificationCenter::addObserver(
    QObject* observer, Handler selector, int32_t notificationType, const QVariant& object)
{
    defaultCenter->addObserver(observer, std::move(selector), notificationName(notificationType), object);
}

void TypedNotificationCenter::addObserver(
    const void* observer, Handler selector, int32_t notificationType, const QVariant& object)
{
    defaultCenter->addObserver(observer, std::move(selector), notificationName(notificationType), object);
}

void TypedNotificationCenter::addObserver(
    QObject* observer, PlainHandler selector, int32_t notificationType, const QVariant& object)
{
    addObserver(observer, Handler([selector = std::move(selector)](const Notification&) { selector(); }),
        notificationType, object);
}

void TypedNotificationCenter::addObserver(
    const void* observer, PlainHandler selector, int32_t notificationType, const QVariant& object)
{
    addObserver(observer, Handler([selector = std::move(selector)](const Notification&) { selector(); }),
        notificationType, object);
}

void TypedNotificationCenter::removeObserver(const void* observer)
{
    defaultCenter->removeObserver(observer);
}

void TypedNotificationCenter::postNotification(int32_t notificationType, const QVariant& object)
{
    post(notificationType, object, QVariantMap());
}

void TypedNotificationCenter::post(
    int32_t notificationType, const QVariant& object, const QVariantMap& userInfo)
{
    defaultCenter->postNotification(notificationName(notificationType), object, userInfo);
}

NotificationCenter::NotificationCenter()
    : TypedNotificationCenter("NOTIFICATION_")
{
}

NotificationCenter* NotificationCenter::getInstance()
{
    // Stateless apart from the platform centre, so it is never replaced.
    static NotificationCenter instance;
    return &instance;
}

void NotificationCenter::resetForTesting()
{
    platform::NotificationCenter::defaultCenter().reset();
}

void NotificationCenter::postNotificationName(
    int32_t notificationType, const QVariant& object, const QVariantMap& userInfo)
{
    post(notificationType, object, userInfo);
}
