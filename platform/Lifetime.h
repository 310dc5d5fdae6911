#pragma once

#include <memory>

namespace platform {

// A base (or member) for objects that others point at without owning them.
// Its token dies with the object, so a WeakRef or a Watch can tell it is gone.
class Lifetime {
public:
    Lifetime() = default;
    // A copy is a different object with its own token.
    Lifetime(const Lifetime&) { }
    Lifetime& operator=(const Lifetime&) { return *this; }

    std::weak_ptr<int> lifetimeToken() const { return token_; }
    // Every WeakRef and Watch taken so far lets go, as if the object had
    // been destroyed and made again (a page dropping its pending replies).
    void renewLifetime() { token_ = std::make_shared<int>(0); }

    // Taken before a call-out that may destroy the object; survived() after it.
    class Watch {
    public:
        explicit Watch(const Lifetime& object)
            : token_(object.token_)
        {
        }
        bool survived() const { return !token_.expired(); }

    private:
        std::weak_ptr<int> token_;
    };
    Watch watch() const { return Watch(*this); }

private:
    std::shared_ptr<int> token_ = std::make_shared<int>(0);
};

// A non-owning pointer that answers nullptr once its pointee is destroyed. T
// derives from Lifetime; a T that does so privately befriends WeakRef<T>.
template <class T> class WeakRef {
public:
    WeakRef() = default;
    explicit WeakRef(T* object) { *this = object; }
    WeakRef& operator=(T* object)
    {
        object_ = object;
        token_ = object ? object->lifetimeToken() : std::weak_ptr<int>();
        return *this;
    }

    T* get() const { return token_.expired() ? nullptr : object_; }
    void reset() { *this = nullptr; }
    explicit operator bool() const { return get() != nullptr; }

private:
    T* object_ = nullptr;
    std::weak_ptr<int> token_;
};

} // namespace platform
