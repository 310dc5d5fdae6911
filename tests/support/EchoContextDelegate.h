#pragma once

#include "comm/VEKConnectionContext.h"

namespace testsupport {

// A context delegate that writes every request as it is and hands every reply
// payload back as a response. Header-only, so benchmarks and fuzz targets use
// it too.
class EchoContextDelegate : public VEKConnectionContextDelegate {
public:
    std::optional<QByteArray> contextBuildRequest(
        VEKConnectionContext&, const QByteArray& request, const VEKPacketFlag&) override
    {
        return request;
    }
    std::optional<VEKResponse> contextParseRespone(
        VEKConnectionContext&, const QByteArray& payload, const VEKPacketFlag& flags) override
    {
        return VEKResponse(payload, quint64(flags.status), quint64(flags.packetid));
    }
};

} // namespace testsupport
