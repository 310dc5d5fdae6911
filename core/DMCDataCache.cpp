#include "core/DMCDataCache.h"

#include <QtDebug>
#include <memory>

namespace {

std::mutex instanceMutex;
std::unique_ptr<DMCDataCache> instance;

QString keyText(int32_t key)
{
    return QString::number(key);
}

} // namespace

DMCDataCache* DMCDataCache::getInstance()
{
    std::lock_guard lock(instanceMutex);
    if (!instance)
        instance.reset(new DMCDataCache());
    return instance.get();
}

void DMCDataCache::resetInstance()
{
    std::unique_ptr<DMCDataCache> old;
    {
        std::lock_guard lock(instanceMutex);
        old = std::move(instance);
    }
}

DMCDataCache::DMCDataCache()
    : notificationCenter(DMNotificationCenter::getInstance())
{
    notificationCenter->addObserver(this, &DMCDataCache::clearDataCache, kClearCachesNotification);
}

DMCDataCache::~DMCDataCache()
{
    notificationCenter->removeObserver(this);
}

void DMCDataCache::clearDataCache(const platform::Notification&)
{
    dataCacheDict.clear();
}

QVariant DMCDataCache::getDataCache(int32_t key) const
{
    return dataCacheDict.value(keyText(key));
}

void DMCDataCache::setDataCache(int32_t key, const QVariant& data)
{
    if (data.isNull()) {
        qWarning("DMCDataCache: no object given for key %d; nothing stored", key);
        return;
    }
    dataCacheDict.insert(keyText(key), data);
}
