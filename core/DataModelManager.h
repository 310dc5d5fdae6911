#pragma once

#include "core/DataModelFactory.h"

#include <memory>

// Where managers and pages get their request objects: a new object on every
// call, kept by the caller. One shared instance; a second cannot be made.
class DataModelManager {
public:
    static DataModelManager* getInstance();
    // allocWithZone: nullptr once the shared manager exists; otherwise makes
    // it and answers it.
    static DataModelManager* allocWithZone();
    // Tests: drops the shared manager.
    static void resetInstance();

    // getDataModel: forwards to the factory's createDataModel.
    std::unique_ptr<DataModel> getDataModel(const QString& identifier);

    ~DataModelManager();
    DataModelManager(const DataModelManager&) = delete;
    DataModelManager& operator=(const DataModelManager&) = delete;

private:
    DataModelManager(); // init

    std::unique_ptr<IDataModelFactory> dataModelFactory;
};
