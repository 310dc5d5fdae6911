#pragma once

#include "core/DTTable.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

// One table model per table id for the table views, made on first request.
// Ids 6, 7 and 8 share one table. The subsystems that own the special table
// classes register which class an id is made as; any other id gets a DTTable.
class DTTableManager {
public:
    using TableCreator = std::function<std::shared_ptr<DTTable>()>;

    static DTTableManager* getInstance();
    // allocWithZone: nullptr once the shared manager exists.
    static DTTableManager* allocWithZone();
    // Tests: drops the shared manager and its tables.
    static void resetInstance();

    // Ids 0, 1, 4, 5, 6 (also for 7 and 8), 9, 10, 11, 12 have their classes.
    static void registerTableClass(int32_t tableId, TableCreator creator);
    static void unregisterTableClasses();

    std::shared_ptr<DTTable> getTable(int32_t tableId);
    // Ids 6, 7 and 8 release the shared table.
    void releaseTable(int32_t tableId);

    ~DTTableManager();
    DTTableManager(const DTTableManager&) = delete;
    DTTableManager& operator=(const DTTableManager&) = delete;

private:
    DTTableManager();
    static int32_t storedId(int32_t tableId);

    std::map<QString, std::shared_ptr<DTTable>> tableDict;
};
