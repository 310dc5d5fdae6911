#include "core/DMNotificationCenter.h"

DMNotificationCenter::DMNotificationCenter()
    : TypedNotificationCenter("DATA_MODEL_NOTIFICATION_")
{
}

DMNotificationCenter* DMNotificationCenter::getInstance()
{
    static DMNotificationCenter instance;
    return &instance;
}

void DMNotificationCenter::resetForTesting()
{
    platform::NotificationCenter::defaultCenter().reset();
}
