#include "core/DataModelManager.h"

#include <mutex>

namespace {

std::mutex instanceMutex;
std::unique_ptr<DataModelManager> instance;

} // namespace

DataModelManager* DataModelManager::getInstance()
{
    std::lock_guard lock(instanceMutex);
    if (!instance)
        instance.reset(new DataModelManager());
    return instance.get();
}

DataModelManager* DataModelManager::allocWithZone()
{
    std::lock_guard lock(instanceMutex);
    if (instance)
        return nullptr;
    instance.reset(new DataModelManager());
    return instance.get();
}

void DataModelManager::resetInstance()
{
    std::unique_ptr<DataModelManager> old;
    {
        std::lock_guard lock(instanceMutex);
        old = std::move(instance);
    }
}

DataModelManager::DataModelManager()
    : dataModelFactory(std::make_unique<DataModelFactory>())
{
}

DataModelManager::~DataModelManager() = default;

std::unique_ptr<DataModel> DataModelManager::getDataModel(const QString& identifier)
{
    return dataModelFactory->createDataModel(identifier);
}
