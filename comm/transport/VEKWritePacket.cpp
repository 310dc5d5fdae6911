#include "comm/transport/VEKWritePacket.h"

#include <algorithm>
#include <cmath>

VEKWritePacket::VEKWritePacket(QByteArray data, quint64 packetid)
    : packetid_(packetid)
    , data_(std::move(data))
{
}

VEKWritePacket::~VEKWritePacket() = default; // the timer goes with the packet

void VEKWritePacket::scheduledTimeoutWithTimeInterval(double seconds)
{
    invalidateTimeout();
    // Bad values must not overflow the clock: nothing below 0, nothing past a year.
    if (std::isnan(seconds) || seconds < 0)
        seconds = 0;
    seconds = std::min(seconds, 365.0 * 86400);
    timeoutInterval_ = seconds;
    timer_ = std::make_unique<platform::RunLoopTimer>(
        seconds, false, platform::RunLoopModes::defaultMode(), [this] { writePacetTimeout(); });
    timer_->start();
}

void VEKWritePacket::writePacetTimeout()
{
    timer_.reset();
    if (VEKWritePacketDelegate* d = delegate())
        d->writePacketDidTimeout(*this);
}

void VEKWritePacket::invalidateTimeout()
{
    timer_.reset();
}
