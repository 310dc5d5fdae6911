#pragma once

#include "platform/Lifetime.h"
#include "platform/RunLoop.h"

#include <QByteArray>
#include <memory>

class VEKWritePacket;

// Hears of a packet whose time-out ran out. Never owned by the packet, which
// calls nothing once the delegate is destroyed.
class VEKWritePacketDelegate : public platform::Lifetime {
public:
    virtual ~VEKWritePacketDelegate() = default;

    virtual void writePacketDidTimeout(VEKWritePacket& packet) = 0;
};

// One request on its way through a connection, with its own time-out.
class VEKWritePacket {
public:
    VEKWritePacket(QByteArray data, quint64 packetid); // initWithData:packetid:
    ~VEKWritePacket();
    VEKWritePacket(const VEKWritePacket&) = delete;
    VEKWritePacket& operator=(const VEKWritePacket&) = delete;

    // Replaces any running time-out with a one-shot timer of `seconds` on the
    // current thread's run loop, default mode only (it waits out modal panels).
    void scheduledTimeoutWithTimeInterval(double seconds);
    // The timer fired: the timer is dropped and the delegate told.
    void writePacetTimeout();
    void invalidateTimeout();
    bool hasTimeout() const { return timer_ != nullptr; }
    // The seconds of the last time-out scheduled (as clamped), 0 before any.
    double timeoutInterval() const { return timeoutInterval_; }

    quint64 packetid() const { return packetid_; }
    const QByteArray& data() const { return data_; }
    bool isUseCache() const { return cacheAge_ != 0; }
    // nullptr once the delegate has been destroyed.
    VEKWritePacketDelegate* delegate() const { return delegate_.get(); }
    void setDelegate(VEKWritePacketDelegate* delegate) { delegate_ = delegate; }
    quint64 cacheAge() const { return cacheAge_; }
    void setCacheAge(quint64 seconds) { cacheAge_ = seconds; }
    bool encrypt() const { return encrypt_; }
    void setEncrypt(bool encrypt) { encrypt_ = encrypt; }
    bool compressResponse() const { return compressResponse_; }
    void setCompressResponse(bool compress) { compressResponse_ = compress; }

private:
    quint64 packetid_;
    std::unique_ptr<platform::RunLoopTimer> timer_;
    double timeoutInterval_ = 0;
    QByteArray data_;
    platform::WeakRef<VEKWritePacketDelegate> delegate_;
    quint64 cacheAge_ = 0;
    bool encrypt_ = false;
    bool compressResponse_ = false;
};
