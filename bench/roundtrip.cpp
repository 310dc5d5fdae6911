// Round trips of a small echo request through the whole client stack (request
// table, TC frames, connection, TLS socket) to the in-process broker simulator,
// one at a time and 64 in flight, beside a bare TLS echo (QSslSocket client,
// QTcpServer/QSslSocket server) of a message of similar size on the same
// loopback. Items per second are round trips per second.
#include "bench/LoopbackClients.h"
#include "comm/request/CSNetwork.h"
#include "comm/request/CSSession.h"
#include "platform/TlsTrust.h"
#include "tools/broker-sim/BrokerSimulator.h"
#include "tools/testpki/TestPki.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpServer>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

constexpr brokersim::Function kEcho { 900, 1 };
constexpr int kInFlight = 64;
constexpr qsizetype kPlainMessage = 128; // about one echo request frame

// The simulator and one logged-on TLS connection, made once.
struct Stack {
    brokersim::BrokerSimulator sim;
    CSNetwork network;
    loopback::ReplyCounter counter;
    CSPacket packet { kEcho.main, kEcho.sub, QStringLiteral("text=ping&n=12345") };

    Stack()
    {
        sim.start();
        sim.registerFunction(kEcho.main, kEcho.sub, [](const brokersim::Request& r, brokersim::BrokerState&) {
            return brokersim::Reply::withTable(
                brokersim::Table().column(QStringLiteral("echo")).row({ r.valueOr(QStringLiteral("text")) }));
        });
        platform::TlsTrust::addCaCertificates(sim.trustedCertificates());
        CSNetwork::setConfigUtid(QStringLiteral("BENCH"), QStringLiteral("lumora"), QStringLiteral("1.0"));
        packet.setEncoding(2);
        packet.setSession(true);
        auto info = *CSServerInfo::initWithAddress(QStringLiteral("127.0.0.1"), sim.tcPort());
        info.setNeedSSL(true);
        network.connectTo(info);
        roundTrips(1); // logon and session
    }

    void roundTrips(int count)
    {
        const qint64 target = counter.replies + counter.errors + count;
        for (int i = 0; i < count; ++i)
            network.sendRequestWithObserver(&counter, QStringLiteral("echo"), &packet, 30);
        loopback::waitUntil([&] { return counter.replies + counter.errors >= target; });
    }
};

// Made on first use, gone before the application object.
std::unique_ptr<Stack> theStack;
Stack& stack()
{
    if (!theStack)
        theStack = std::make_unique<Stack>();
    return *theStack;
}

void BM_CSNetworkOneAtATime(benchmark::State& state)
{
    Stack& s = stack();
    for (auto _ : state)
        s.roundTrips(1);
    state.SetItemsProcessed(state.iterations());
    if (s.counter.errors)
        state.SkipWithError("requests failed");
}
BENCHMARK(BM_CSNetworkOneAtATime)->UseRealTime();

void BM_CSNetworkPipelined(benchmark::State& state)
{
    Stack& s = stack();
    for (auto _ : state)
        s.roundTrips(kInFlight);
    state.SetItemsProcessed(state.iterations() * kInFlight);
    if (s.counter.errors)
        state.SkipWithError("requests failed");
}
BENCHMARK(BM_CSNetworkPipelined)->UseRealTime();

// A bare TLS echo: what the loopback and TLS cost without our layers.
// QTcpServer hands out plain sockets; this one makes TLS ones that echo.
class TlsServer : public QTcpServer {
public:
    testpki::Identity identity;
    std::unique_ptr<QSslSocket> socket;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        socket = std::make_unique<QSslSocket>();
        socket->setSocketDescriptor(descriptor);
        socket->setLocalCertificate(identity.certificate());
        socket->setPrivateKey(identity.privateKey());
        QObject::connect(socket.get(), &QIODevice::readyRead, socket.get(),
            [s = socket.get()] { s->write(s->readAll()); });
        socket->startServerEncryption();
    }
};

struct Echo {
    testpki::Identity ca = testpki::makeCertificateAuthority();
    TlsServer server;
    QSslSocket client;
    qint64 received = 0;
    QByteArray message = QByteArray(kPlainMessage, 'm');

    Echo()
    {
        server.identity = testpki::makeServerCertificate(ca);
        server.listen(QHostAddress::LocalHost);
        QSslConfiguration config = client.sslConfiguration();
        config.setCaCertificates({ ca.certificate() });
        client.setSslConfiguration(config);
        QObject::connect(
            &client, &QIODevice::readyRead, &client, [this] { received += client.readAll().size(); });
        client.connectToHostEncrypted(QStringLiteral("127.0.0.1"), server.serverPort());
        loopback::waitUntil([&] { return client.isEncrypted(); });
    }

    void roundTrips(int count)
    {
        const qint64 target = received + count * kPlainMessage;
        for (int i = 0; i < count; ++i)
            client.write(message);
        loopback::waitUntil([&] { return received >= target; });
    }
};

std::unique_ptr<Echo> theEcho;
Echo& echo()
{
    if (!theEcho)
        theEcho = std::make_unique<Echo>();
    return *theEcho;
}

void BM_PlainTlsEchoOneAtATime(benchmark::State& state)
{
    Echo& e = echo();
    for (auto _ : state)
        e.roundTrips(1);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PlainTlsEchoOneAtATime)->UseRealTime();

void BM_PlainTlsEchoPipelined(benchmark::State& state)
{
    Echo& e = echo();
    for (auto _ : state)
        e.roundTrips(kInFlight);
    state.SetItemsProcessed(state.iterations() * kInFlight);
}
BENCHMARK(BM_PlainTlsEchoPipelined)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    theStack.reset();
    theEcho.reset();
    return 0;
}
