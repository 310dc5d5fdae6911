// The TC frame reader on both sides, fed the input in chunks whose size the
// first byte picks, plus the header accessors on the raw bytes.
#include "support/EchoContextDelegate.h"
#include "comm/transport/VEKTCConnectionContext.h"

#include <cstdint>
#include <cstdlib>

namespace {

class Delegate : public testsupport::EchoContextDelegate {
public:
    std::optional<VEKResponse> contextParseRespone(
        VEKConnectionContext& c, const QByteArray& p, const VEKPacketFlag& f) override
    {
        if (p.size() % 7 == 3)
            return std::nullopt; // now and then a payload the request layer refuses
        return EchoContextDelegate::contextParseRespone(c, p, f);
    }
};

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const qsizetype chunk = qsizetype(data[0]) + 1;
    const QByteArrayView input(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    Delegate delegate;
    VEKTCConnectionContext client(&delegate);
    VEKTCConnectionContext server;
    qsizetype fedSoFar = 0;
    for (qsizetype at = 0; at < input.size(); at += chunk) {
        const QByteArrayView piece = input.sliced(at, std::min(chunk, input.size() - at));
        fedSoFar += piece.size();
        client.receiveData(piece);
        server.receiveData(piece);
        while (auto response = client.readPacketAvailable()) {
            check(!response->data().isEmpty());
            check(response->data().size() + VEKTCConnectionContext::kHeaderLength <= fedSoFar);
        }
        while (auto frame = server.readFrame()) {
            check(frame->payload.size() + VEKTCConnectionContext::kHeaderLength <= fedSoFar);
            check(frame->session.size() == 32);
            VEKTCConnectionContext::parseLogonPayload(frame->payload);
            check(VEKTCConnectionContext::frameBytes(*frame).has_value());
        }
        check(client.bufferedLength() <= fedSoFar && server.bufferedLength() <= fedSoFar);
    }

    TCProPackage::copyFrame(input);
    TCProPackage::payload(input);
    TCProPackage::session(input);
    TCProPackage::payloadLength(input);
    TCProPackage::status(input);
    VEKTCConnectionContext::parseFrame(input);
    return 0;
}
