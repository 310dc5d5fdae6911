#pragma once

#include "core/DMNotificationCenter.h"

#include <QHash>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <mutex>

// The process-wide cache of reply objects keyed by small integers (the fund
// lists by list type). Emptied by the request core's clear-caches post (type 3).
// Only getInstance() makes one, so a second cache cannot exist.
class DMCDataCache {
public:
    static constexpr int32_t kClearCachesNotification = 3;

    static DMCDataCache* getInstance();
    // Tests: drops the shared cache; the next getInstance() makes a new one.
    static void resetInstance();

    ~DMCDataCache();
    DMCDataCache(const DMCDataCache&) = delete;
    DMCDataCache& operator=(const DMCDataCache&) = delete;

    void clearDataCache(const platform::Notification& notification);
    // A null QVariant when nothing is stored under the key.
    QVariant getDataCache(int32_t key) const;
    // A null object is refused; the cache keeps what it had.
    void setDataCache(int32_t key, const QVariant& data);

private:
    DMCDataCache();

    QHash<QString, QVariant> dataCacheDict;
    DMNotificationCenter* notificationCenter;
};
