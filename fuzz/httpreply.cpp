// The HTTP reply reader, the server's request reader and the form decoder,
// fed the input in chunks whose size the first byte picks.
#include "support/EchoContextDelegate.h"
#include "comm/transport/TCHttpForm.h"
#include "comm/transport/VEKHTTPConnectionContext.h"

#include <QString>
#include <cstdint>
#include <cstdlib>

namespace {

using Delegate = testsupport::EchoContextDelegate;

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
    VEKHTTPConnectionContext client(&delegate);
    VEKHTTPRequestReader server;
    qsizetype fedSoFar = 0;
    for (qsizetype at = 0; at < input.size(); at += chunk) {
        const QByteArrayView piece = input.sliced(at, std::min(chunk, input.size() - at));
        fedSoFar += piece.size();
        client.receiveData(piece);
        server.append(piece);
        while (auto response = client.readPacketAvailable())
            check(!response->data().isEmpty() && response->data().size() < fedSoFar);
        while (auto request = server.next()) {
            check(request->body.size() < fedSoFar);
            TCHttpForm::decode(request->body);
        }
        check(client.bufferedLength() <= fedSoFar);
    }

    if (const auto pairs = TCHttpForm::decode(input)) {
        // What the decoder read, escaped again, reads back the same.
        QByteArray again;
        for (const auto& [key, value] : *pairs)
            again += TCHttpForm::escape(key) + '=' + TCHttpForm::escape(value) + '&';
        check(TCHttpForm::decode(again) == pairs);
    }
    const QString text = QString::fromUtf8(input);
    VEKHTTPConnectionContext::parseEtag(text);
    VEKHTTPConnectionContext::parseContentLength(text);
    TCHttpForm::escapedBody(text);
    return 0;
}
