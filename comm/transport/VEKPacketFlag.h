#pragma once

#include <QtGlobal>

// The flags that travel with one frame between the framing contexts and the
// request layer: outgoing, status 0, the packet id and the packet's options;
// incoming, what the reply frame or head says.
struct VEKPacketFlag {
    qint64 status = 0;
    qint64 packetid = 0;
    bool encryted = false;
    bool compressed = false;

    friend bool operator==(const VEKPacketFlag&, const VEKPacketFlag&) = default;
};
