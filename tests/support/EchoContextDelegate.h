#pragma once

#include "comm/transport/VEKConnectionContext.h"

#include <algorithm>
#include <vector>

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

// Everything a context of type Context gives for `stream` fed in chunks of
// `chunk` bytes, as a socket would deliver it.
template <class Context> std::vector<VEKResponse> readAllResponses(const QByteArray& stream, qsizetype chunk)
{
    EchoContextDelegate delegate;
    Context context(&delegate);
    std::vector<VEKResponse> out;
    for (qsizetype at = 0; at < stream.size(); at += chunk) {
        context.receiveData(QByteArrayView(stream).sliced(at, std::min(chunk, stream.size() - at)));
        while (auto r = context.readPacketAvailable())
            out.push_back(*r);
    }
    return out;
}

inline std::vector<qint64> packetIds(const std::vector<VEKResponse>& responses)
{
    std::vector<qint64> out;
    for (const auto& r : responses)
        out.push_back(qint64(r.packetid()));
    return out;
}

} // namespace testsupport
