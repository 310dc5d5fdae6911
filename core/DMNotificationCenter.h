#pragma once

#include "core/NotificationCenter.h"

// The request core's centre: reconnection, connection established, clear
// caches ("DATA_MODEL_NOTIFICATION_%d"). It has no user-information variant.
class DMNotificationCenter : public TypedNotificationCenter {
public:
    static DMNotificationCenter* getInstance();
    // Tests: drops every registration of both centres (they share one registry).
    static void resetForTesting();

private:
    DMNotificationCenter();
};
