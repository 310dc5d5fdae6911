#include "core/DataModelFactory.h"

#include <QtDebug>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace {

std::mutex catalogueMutex;

struct Entry {
    DataModelFactory::Creator creator;
    const void* tag = nullptr; // the class's own mark: the same class again is no clash
};

std::map<QString, Entry>& catalogue()
{
    static std::map<QString, Entry> classes;
    return classes;
}

constexpr qsizetype kIdentifierLength = 36;

struct Registrars {
    std::recursive_mutex mutex; // held while the functions run, so a lookup waits for them
    std::vector<std::pair<DataModelFactory::Registrar, bool>> functions; // function, has run
};

Registrars& registrars()
{
    static Registrars r;
    return r;
}

} // namespace

bool DataModelFactory::addRegistrar(Registrar registrar)
{
    if (!registrar)
        return false;
    Registrars& r = registrars();
    std::lock_guard lock(r.mutex);
    for (const auto& entry : r.functions)
        if (entry.first == registrar)
            return true;
    r.functions.emplace_back(registrar, false);
    return true;
}

void DataModelFactory::runRegistrars()
{
    Registrars& r = registrars();
    std::lock_guard lock(r.mutex);
    // By index: a registration function may hand over another one.
    for (size_t i = 0; i < r.functions.size(); ++i) {
        if (r.functions[i].second)
            continue;
        r.functions[i].second = true;
        r.functions[i].first();
    }
}

bool DataModelFactory::registerDataModel(const QString& identifier, Creator creator, const void* tag)
{
    if (identifier.size() != kIdentifierLength || !creator) {
        qWarning() << "DataModelFactory: not a class identifier:" << identifier;
        return false;
    }
    std::lock_guard lock(catalogueMutex);
    const auto [at, added] = catalogue().try_emplace(identifier, Entry { std::move(creator), tag });
    if (!added && tag && at->second.tag == tag)
        return true; // the same class registered again: a library's function run twice
    if (!added)
        qWarning() << "DataModelFactory: identifier registered twice:" << identifier;
    return added;
}

bool DataModelFactory::isRegistered(const QString& identifier)
{
    runRegistrars();
    std::lock_guard lock(catalogueMutex);
    return catalogue().contains(identifier);
}

QStringList DataModelFactory::registeredIdentifiers()
{
    runRegistrars();
    std::lock_guard lock(catalogueMutex);
    QStringList out;
    for (const auto& entry : catalogue())
        out << entry.first;
    return out;
}

void DataModelFactory::unregisterAll()
{
    {
        std::lock_guard lock(catalogueMutex);
        catalogue().clear();
    }
    Registrars& r = registrars();
    std::lock_guard lock(r.mutex);
    for (auto& entry : r.functions)
        entry.second = false;
}

bool DataModelFactory::unregisterDataModel(const QString& identifier)
{
    runRegistrars();
    std::lock_guard lock(catalogueMutex);
    return catalogue().erase(identifier) > 0;
}

std::unique_ptr<DataModel> DataModelFactory::createDataModel(const QString& identifier)
{
    if (identifier.isNull())
        return nullptr;
    runRegistrars();
    Creator creator;
    {
        std::lock_guard lock(catalogueMutex);
        auto found = catalogue().find(identifier);
        if (found == catalogue().end()) {
            qWarning() << "DataModelFactory: no request class" << identifier;
            return nullptr;
        }
        creator = found->second.creator;
    }
    return creator();
}

void registerCoreDataModels()
{
}
