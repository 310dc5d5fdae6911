#include "core/DataModelFactory.h"

#include <QtDebug>
#include <map>
#include <mutex>

namespace {

std::mutex catalogueMutex;

std::map<QString, DataModelFactory::Creator>& catalogue()
{
    static std::map<QString, DataModelFactory::Creator> classes;
    return classes;
}

constexpr qsizetype kIdentifierLength = 36;

} // namespace

bool DataModelFactory::registerDataModel(const QString& identifier, Creator creator)
{
    if (identifier.size() != kIdentifierLength || !creator) {
        qWarning() << "DataModelFactory: not a class identifier:" << identifier;
        return false;
    }
    std::lock_guard lock(catalogueMutex);
    const bool added = catalogue().try_emplace(identifier, std::move(creator)).second;
    if (!added)
        qWarning() << "DataModelFactory: identifier registered twice:" << identifier;
    return added;
}

bool DataModelFactory::isRegistered(const QString& identifier)
{
    std::lock_guard lock(catalogueMutex);
    return catalogue().contains(identifier);
}

QStringList DataModelFactory::registeredIdentifiers()
{
    std::lock_guard lock(catalogueMutex);
    QStringList out;
    for (const auto& entry : catalogue())
        out << entry.first;
    return out;
}

void DataModelFactory::unregisterAll()
{
    std::lock_guard lock(catalogueMutex);
    catalogue().clear();
}

std::unique_ptr<DataModel> DataModelFactory::createDataModel(const QString& identifier)
{
    if (identifier.isNull())
        return nullptr;
    Creator creator;
    {
        std::lock_guard lock(catalogueMutex);
        auto found = catalogue().find(identifier);
        if (found == catalogue().end())
            return nullptr;
        creator = found->second;
    }
    return creator();
}

void registerCoreDataModels()
{
}
