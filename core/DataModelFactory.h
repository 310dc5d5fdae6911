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
// request class. Each library registers its classes from one function, e.g.
// registerLoginDataModels(), which it hands to the catalogue with one line in
// the header that declares its request classes:
//
//     void registerLoginDataModels();
//     LUMORA_REGISTER_DATA_MODELS(registerLoginDataModels)
//
// The catalogue runs every function handed to it once, before its first
// lookup (and a function handed over later before the next lookup), so no
// start-up order can leave a class out. The line sits in the header because
// every file that asks for the library's classes by identifier includes it:
// the linker keeps it wherever the classes are used, which a registration
// object in a file of its own in a static library would not be.
class DataModelFactory : public IDataModelFactory {
public:
    using Creator = std::function<std::unique_ptr<DataModel>()>;
    using Registrar = void (*)();

    // Hands a library's registration function to the catalogue; the same
    // function twice counts once. Safe during static initialisation.
    static bool addRegistrar(Registrar registrar);
    // Runs the registration functions not run yet; every lookup calls it.
    static void runRegistrars();

    // False, and the earlier class kept, when the identifier is taken or is
    // not 36 characters long.
    // `tag` marks the class: registering the same tag again is no clash
    // (answers true), so running a library's function twice is harmless.
    static bool registerDataModel(const QString& identifier, Creator creator, const void* tag = nullptr);
    template <class T> static bool registerDataModel()
    {
        return registerDataModel(
            QString::fromLatin1(T::info.identifier), [] { return std::make_unique<T>(); }, &T::info);
    }
    static bool isRegistered(const QString& identifier);
    static QStringList registeredIdentifiers();
    // Tests: forgets every class; the registration functions run again
    // before the next lookup.
    static void unregisterAll();
    // Tests: forgets one class (a class missing from the catalogue).
    static bool unregisterDataModel(const QString& identifier);

    std::unique_ptr<DataModel> createDataModel(const QString& identifier) override;
};

// The request classes of the request core itself (none so far).
void registerCoreDataModels();

#define LUMORA_DATA_MODELS_CONCAT2(a, b) a##b
#define LUMORA_DATA_MODELS_CONCAT(a, b) LUMORA_DATA_MODELS_CONCAT2(a, b)
// Hands `function` (void function()) to the catalogue; see DataModelFactory.
#define LUMORA_REGISTER_DATA_MODELS(function)                                                                \
    inline const bool LUMORA_DATA_MODELS_CONCAT(lumoraDataModelsRegistered_, function)                       \
        = DataModelFactory::addRegistrar(&function);
