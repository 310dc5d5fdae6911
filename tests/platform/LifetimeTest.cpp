#include "platform/Lifetime.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>

using platform::Lifetime;
using platform::WeakRef;

namespace {

struct Delegate : Lifetime {
    virtual ~Delegate() = default;
    int value = 0;
};

// A pointee that keeps its token to itself.
class Hidden : private Lifetime {
    friend class platform::WeakRef<Hidden>;
};

// Calls out and reports whether it outlived the call.
struct Caller {
    std::function<void()> callOut;
    Lifetime alive_;
    bool call()
    {
        const auto alive = alive_.watch();
        callOut();
        return alive.survived();
    }
};

} // namespace

TEST(LifetimeTest, WeakRefAnswersNullOnceThePointeeIsGone)
{
    WeakRef<Delegate> empty;
    EXPECT_EQ(empty.get(), nullptr);
    EXPECT_FALSE(empty);

    auto first = std::make_unique<Delegate>();
    auto second = std::make_unique<Delegate>();
    WeakRef<Delegate> ref(first.get());
    const WeakRef<Delegate> copy = ref;
    EXPECT_EQ(ref.get(), first.get());
    EXPECT_TRUE(ref);

    ref = second.get();
    first.reset();
    EXPECT_EQ(ref.get(), second.get());
    EXPECT_EQ(copy.get(), nullptr);
    EXPECT_FALSE(copy);

    second.reset();
    EXPECT_EQ(ref.get(), nullptr);

    auto third = std::make_unique<Delegate>();
    ref = third.get();
    ref.reset();
    EXPECT_EQ(ref.get(), nullptr);
    ref = third.get();
    ref = nullptr;
    EXPECT_FALSE(ref);

    auto hidden = std::make_unique<Hidden>();
    const WeakRef<Hidden> hiddenRef(hidden.get());
    EXPECT_EQ(hiddenRef.get(), hidden.get());
    hidden.reset();
    EXPECT_EQ(hiddenRef.get(), nullptr);
}

TEST(LifetimeTest, CopyIsADifferentObject)
{
    auto original = std::make_unique<Delegate>();
    original->value = 7;
    auto copy = std::make_unique<Delegate>(*original);
    EXPECT_EQ(copy->value, 7);
    const WeakRef<Delegate> toOriginal(original.get());
    const WeakRef<Delegate> toCopy(copy.get());
    original.reset();
    EXPECT_EQ(toOriginal.get(), nullptr);
    EXPECT_EQ(toCopy.get(), copy.get());

    // Assignment copies the state, never the token.
    auto target = std::make_unique<Delegate>();
    const WeakRef<Delegate> toTarget(target.get());
    *target = *copy;
    copy.reset();
    EXPECT_EQ(toCopy.get(), nullptr);
    EXPECT_EQ(toTarget.get(), target.get());
    EXPECT_EQ(target->value, 7);

    // A move is a copy too: the moved-from object still exists.
    auto moved = std::make_unique<Delegate>(std::move(*target));
    const WeakRef<Delegate> toMoved(moved.get());
    target.reset();
    EXPECT_EQ(toMoved.get(), moved.get());
}

TEST(LifetimeTest, WatchSeesSelfDestructionDuringACallOut)
{
    auto caller = std::make_unique<Caller>();
    int calls = 0;
    caller->callOut = [&] { ++calls; };
    EXPECT_TRUE(caller->call());

    caller->callOut = [&] { caller.reset(); };
    Caller* raw = caller.get();
    EXPECT_FALSE(raw->call());
    EXPECT_EQ(caller, nullptr);

    // A watch outlives what it watches and may be copied into a deferred call.
    auto other = std::make_unique<Caller>();
    const auto watch = other->alive_.watch();
    const auto later = [watch] { return watch.survived(); };
    EXPECT_TRUE(later());
    other.reset();
    EXPECT_FALSE(later());
    EXPECT_EQ(calls, 1);
}
