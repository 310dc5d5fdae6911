#include "core/DTTableManager.h"

#include <mutex>

namespace {

std::mutex instanceMutex;
std::unique_ptr<DTTableManager> instance;
std::map<int32_t, DTTableManager::TableCreator> tableClasses;

} // namespace

DTTableManager* DTTableManager::getInstance()
{
    std::lock_guard lock(instanceMutex);
    if (!instance)
        instance.reset(new DTTableManager());
    return instance.get();
}

DTTableManager* DTTableManager::allocWithZone()
{
    std::lock_guard lock(instanceMutex);
    if (instance)
        return nullptr;
    instance.reset(new DTTableManager());
    return instance.get();
}

void DTTableManager::resetInstance()
{
    std::unique_ptr<DTTableManager> old;
    {
        std::lock_guard lock(instanceMutex);
        old = std::move(instance);
    }
}

void DTTableManager::registerTableClass(int32_t tableId, TableCreator creator)
{
    std::lock_guard lock(instanceMutex);
    tableClasses[storedId(tableId)] = std::move(creator);
}

void DTTableManager::unregisterTableClasses()
{
    std::lock_guard lock(instanceMutex);
    tableClasses.clear();
}

DTTableManager::DTTableManager() = default;

DTTableManager::~DTTableManager() = default;

int32_t DTTableManager::storedId(int32_t tableId)
{
    return tableId == 7 || tableId == 8 ? 6 : tableId;
}

std::shared_ptr<DTTable> DTTableManager::getTable(int32_t tableId)
{
    const int32_t id = storedId(tableId);
    std::shared_ptr<DTTable>& table = tableDict[QString::number(id)];
    if (!table) {
        TableCreator creator;
        {
            std::lock_guard lock(instanceMutex);
            if (auto found = tableClasses.find(id); found != tableClasses.end())
                creator = found->second;
        }
        table = creator ? creator() : nullptr;
        if (!table)
            table = std::make_shared<DTTable>();
    }
    return table;
}

void DTTableManager::releaseTable(int32_t tableId)
{
    tableDict.erase(QString::number(storedId(tableId)));
}
