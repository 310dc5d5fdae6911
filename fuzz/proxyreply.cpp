// The proxy reply judge, for each handshake and status, fed a growing reply
// the way a connection buffers it; what it consumes never passes the reply.
#include "comm/transport/ProxyHandshake.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > size_t(ProxyHandshake::kMaxReplyBytes))
        return 0;
    const qint32 mode = ProxyHandshake::normalizedMode(data[0]);
    qint32 status = data[1] % 4;
    const qsizetype chunk = qsizetype(data[1] >> 2) + 1;
    const QByteArray input(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));
    QByteArray buffer;
    for (qsizetype at = 0; at < input.size(); at += chunk) {
        buffer.append(input.mid(at, chunk));
        const ProxyHandshake::Verdict verdict = ProxyHandshake::judgeReply(mode, status, buffer);
        switch (verdict.kind) {
        case ProxyHandshake::Verdict::Incomplete:
            continue;
        case ProxyHandshake::Verdict::Next:
            check(verdict.status == ProxyHandshake::StatusSendAuth
                || verdict.status == ProxyHandshake::StatusSendConnect);
            status = verdict.status;
            buffer.clear();
            continue;
        case ProxyHandshake::Verdict::Established:
            check(verdict.consumed > 0 && verdict.consumed <= buffer.size());
            return 0;
        case ProxyHandshake::Verdict::Refused:
            check(!verdict.description.isEmpty());
            return 0;
        }
    }
    // The builders take any host text without crashing.
    const QString host = QString::fromUtf8(input.left(64));
    (void)ProxyHandshake::httpConnectRequest(host, 80, host);
    (void)ProxyHandshake::socks4ConnectRequest(host, 80);
    (void)ProxyHandshake::socks5ConnectRequest(host, 80);
    return 0;
}
