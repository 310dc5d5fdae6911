#pragma once

#include "core/DataModel.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// Makes request objects by identifier.
class IDataModelFactory {
public:
    virtual ~IDataModelFactory() = default;
    // createDataModel: a new object of the identifier's class; nullptr for a
    // null or unknown identifier.
    virtual std::unique_ptr<DataModel> createDataModel(const QString& identifier) = 0;
};

// The catalogue: identifier (a GUID, compared exactly, case included) to
// request class. Each subsystem library registers its classes from one
// function that the application (and the tests) call at start-up, e.g.
// registerCoreDataModels(); registration objects in separate files would be
// dropped by the linker from a static library.
class DataModelFactory : public IDataModelFactory {
public:
    using Creator = std::function<std::unique_ptr<DataModel>()>;

    // False, and the earlier class kept, when the identifier is taken or is
    // not 36 characters long.
    static bool registerDataModel(const QString& identifier, Creator creator);
    template <class T> static bool registerDataModel()
    {
        return registerDataModel(
            QString::fromLatin1(T::info.identifier), [] { return std::make_unique<T>(); });
    }
    static bool isRegistered(const QString& identifier);
    static QStringList registeredIdentifiers();
    // Tests: forgets every class.
    static void unregisterAll();

    std::unique_ptr<DataModel> createDataModel(const QString& identifier) override;
};

// The request classes of the request core itself (none so far).
void registerCoreDataModels();
