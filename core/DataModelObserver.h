#pragma once

#include "platform/Lifetime.h"

// The base of every observer protocol of the request classes. A request
// object never owns its observers: an observer destroyed while its request is
// pending hears nothing. Protocols derive from it virtually, so an observer of
// several protocols has one token.
class DataModelObserver : public platform::Lifetime {
public:
    virtual ~DataModelObserver() = default;

    std::weak_ptr<int> observerLifetime() const { return lifetimeToken(); }
};

// A weak reference to an observer.
class DataModelObserverRef : public platform::WeakRef<DataModelObserver> {
public:
    using WeakRef::WeakRef;
    bool refersTo(const DataModelObserver* observer) const { return observer && get() == observer; }
};
