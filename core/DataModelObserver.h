#pragma once

#include <memory>

// The base of every observer protocol of the request classes. A request
// object never owns its observers: it keeps a weak reference to this lifetime
// token, so an observer destroyed while its request is pending hears nothing.
// Protocols derive from it virtually, so an observer of several protocols has
// one token.
class DataModelObserver {
public:
    DataModelObserver() = default;
    // A copy is another observer with its own lifetime.
    DataModelObserver(const DataModelObserver&) { }
    DataModelObserver& operator=(const DataModelObserver&) { return *this; }
    virtual ~DataModelObserver() = default;

    std::weak_ptr<const char> observerLifetime() const { return lifetime_; }

private:
    std::shared_ptr<const char> lifetime_ = std::make_shared<const char>('\0');
};

// A weak reference to an observer.
class DataModelObserverRef {
public:
    DataModelObserverRef() = default;
    explicit DataModelObserverRef(DataModelObserver* observer)
        : observer_(observer)
        , lifetime_(observer ? observer->observerLifetime() : std::weak_ptr<const char>())
    {
    }
    // nullptr once the observer is destroyed.
    DataModelObserver* get() const { return lifetime_.expired() ? nullptr : observer_; }
    bool refersTo(const DataModelObserver* observer) const { return observer && get() == observer; }

private:
    DataModelObserver* observer_ = nullptr;
    std::weak_ptr<const char> lifetime_;
};
