#include "comm/transport/VEKRequest.h"
#include "comm/transport/VEKWritePacket.h"
#include "support/ModalGuard.h"
#include "support/Spin.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using platform::RunLoop;
using testsupport::spinFor;
using testsupport::spinUntil;

namespace {

struct Counter : VEKWritePacketDelegate {
    int fired = 0;
    quint64 lastId = 0;
    bool timerGoneWhenTold = false;
    void writePacketDidTimeout(VEKWritePacket& packet) override
    {
        ++fired;
        lastId = packet.packetid();
        timerGoneWhenTold = !packet.hasTimeout();
    }
};

} // namespace

TEST(WritePacketTest, FieldsAndTimeouts)
{
    RunLoop::current()->resetForTesting();
    VEKWritePacket packet("bytes", 42);
    EXPECT_EQ(packet.packetid(), 42u);
    EXPECT_EQ(packet.data(), "bytes");
    EXPECT_EQ(packet.cacheAge(), 0u);
    EXPECT_FALSE(packet.isUseCache());
    EXPECT_EQ(packet.delegate(), nullptr);
    EXPECT_FALSE(packet.encrypt());
    EXPECT_FALSE(packet.compressResponse());
    packet.setCacheAge(86400);
    packet.setEncrypt(true);
    packet.setCompressResponse(true);
    EXPECT_TRUE(packet.isUseCache());
    EXPECT_TRUE(packet.encrypt());
    EXPECT_TRUE(packet.compressResponse());

    // Fires once; the timer is gone by the time the delegate hears of it.
    Counter counter;
    packet.setDelegate(&counter);
    packet.scheduledTimeoutWithTimeInterval(0.03);
    EXPECT_TRUE(packet.hasTimeout());
    ASSERT_TRUE(spinUntil([&] { return counter.fired == 1; }));
    EXPECT_EQ(counter.lastId, 42u);
    EXPECT_TRUE(counter.timerGoneWhenTold);
    spinFor(60ms);
    EXPECT_EQ(counter.fired, 1);

    // Rescheduling replaces the running timer; invalidating cancels it.
    packet.scheduledTimeoutWithTimeInterval(0.03);
    packet.scheduledTimeoutWithTimeInterval(0.2);
    spinFor(80ms);
    EXPECT_EQ(counter.fired, 1);
    packet.invalidateTimeout();
    EXPECT_FALSE(packet.hasTimeout());
    spinFor(200ms);
    EXPECT_EQ(counter.fired, 1);

    // Releasing the packet cancels its timer; bad intervals fire at once rather than never or wrongly.
    auto doomed = std::make_unique<VEKWritePacket>("x", 1);
    doomed->setDelegate(&counter);
    doomed->scheduledTimeoutWithTimeInterval(0.02);
    doomed.reset();
    spinFor(60ms);
    EXPECT_EQ(counter.fired, 1);
    packet.scheduledTimeoutWithTimeInterval(std::nan(""));
    ASSERT_TRUE(spinUntil([&] { return counter.fired == 2; }));
    packet.scheduledTimeoutWithTimeInterval(-5);
    ASSERT_TRUE(spinUntil([&] { return counter.fired == 3; }));
    packet.scheduledTimeoutWithTimeInterval(1e300);
    EXPECT_TRUE(packet.hasTimeout());
    packet.invalidateTimeout();

    // A destroyed delegate is not called.
    auto gone = std::make_unique<Counter>();
    packet.setDelegate(gone.get());
    gone.reset();
    EXPECT_EQ(packet.delegate(), nullptr);
    packet.scheduledTimeoutWithTimeInterval(0.01);
    ASSERT_TRUE(spinUntil([&] { return !packet.hasTimeout(); }));
}

TEST(WritePacketTest, TimeoutWaitsForTheDefaultMode)
{
    testsupport::ExpectModalDialogs ownSession;
    RunLoop::current()->resetForTesting();
    Counter counter;
    VEKWritePacket packet("bytes", 7);
    packet.setDelegate(&counter);
    {
        platform::ModalSession modal;
        packet.scheduledTimeoutWithTimeInterval(0.02);
        spinFor(150ms);
        EXPECT_EQ(counter.fired, 0);
    }
    ASSERT_TRUE(spinUntil([&] { return counter.fired == 1; }));
}

TEST(WritePacketTest, RequestHoldsItsObserverWeakly)
{
    auto observer = std::make_unique<VEKRequestObserver>();
    VEKRequest request(QStringLiteral("name"), "a=1&b=2", observer.get());
    EXPECT_EQ(request.name(), "name");
    EXPECT_EQ(request.data(), "a=1&b=2");
    EXPECT_EQ(request.observer(), observer.get());
    EXPECT_FALSE(request.encrypt());
    EXPECT_FALSE(request.compressResponse());
    request.setEncrypt(true);
    request.setCompressResponse(true);
    EXPECT_TRUE(request.encrypt() && request.compressResponse());
    const VEKRequest copy = request;
    observer.reset();
    EXPECT_EQ(request.observer(), nullptr);
    EXPECT_EQ(copy.observer(), nullptr);
    EXPECT_EQ(VEKRequest(QString(), {}, nullptr).observer(), nullptr);
}
