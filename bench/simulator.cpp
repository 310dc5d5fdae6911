// What the broker simulator's CPU spends a reply: 64 clients asking for
// five-level quotes, one request in flight each, beside a bare TLS echo of a
// message of the quote reply's size to as many clients. Each server runs on a
// thread of its own and its thread's CPU time is counted; "server_cpu_us" is
// that time per reply, "ratio_to_echo" the quote's figure over the echo's
// (the goal is at most 4). Items per second are replies per second.
#include "bench/LoopbackClients.h"
#include "comm/request/CSNetwork.h"
#include "platform/TlsTrust.h"
#include "tools/broker-sim/BrokerSimulator.h"
#include "tools/broker-sim/Market.h"
#include "tools/broker-sim/Table.h"
#include "tools/testpki/TestPki.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpServer>
#include <QThread>
#include <benchmark/benchmark.h>
#include <ctime>
#include <functional>
#include <memory>
#include <pthread.h>
#include <semaphore>
#include <vector>

namespace {

constexpr int kClients = 64;
const char* const kCodes[] = { "600000", "000001", "600519", "300750" };

// A server living on its own thread, made and destroyed there; the thread's
// CPU clock is readable from the benchmark's thread.
template <class Server> class ServerThread : public QThread {
public:
    ServerThread() { start(); ready_.acquire(); }
    ~ServerThread() override
    {
        quit();
        wait();
    }
    Server& server() { return *server_; }
    double cpuSeconds() const
    {
        timespec t {};
        clock_gettime(clock_, &t);
        return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
    }

protected:
    void run() override
    {
        pthread_getcpuclockid(pthread_self(), &clock_);
        server_ = std::make_unique<Server>();
        ready_.release();
        exec();
        server_.reset();
    }

private:
    std::unique_ptr<Server> server_;
    clockid_t clock_ {};
    std::binary_semaphore ready_ { 0 };
};

struct Simulator {
    brokersim::BrokerSimulator sim;
    QList<QSslCertificate> trusted;
    quint16 port = 0;
    Simulator()
    {
        sim.start();
        trusted = sim.trustedCertificates();
        port = sim.tcPort();
    }
};

// The size of a five-level reply as the simulator encodes it.
qsizetype quoteReplyBytes()
{
    static const qsizetype size = [] {
        brokersim::Market market;
        return brokersim::encodeTables({ market.quote5Level(*market.security(QString::fromLatin1(kCodes[0]))) }, 2)
            .value_or(QByteArray(512, 'q'))
            .size();
    }();
    return size;
}

// The simulator and 64 logged-on TLS connections asking for quotes.
struct QuoteClients {
    ServerThread<Simulator> server;
    std::vector<std::unique_ptr<CSNetwork>> networks;
    std::vector<std::unique_ptr<CSPacket>> packets;
    loopback::ReplyCounter counter;

    QuoteClients()
    {
        platform::TlsTrust::addCaCertificates(server.server().trusted);
        CSNetwork::setConfigUtid(QStringLiteral("BENCH"), QStringLiteral("lumora"), QStringLiteral("1.0"));
        auto info = *CSServerInfo::initWithAddress(QStringLiteral("127.0.0.1"), server.server().port);
        info.setNeedSSL(true);
        for (int i = 0; i < kClients; ++i) {
            auto packet = std::make_unique<CSPacket>(brokersim::kQuote5LevelExFunction.main,
                brokersim::kQuote5LevelExFunction.sub,
                QStringLiteral("code=%1&IgnoreDataConv=1&iswd=1").arg(QString::fromLatin1(kCodes[i % 4])));
            packet->setEncoding(2);
            packet->setSession(true);
            auto network = std::make_unique<CSNetwork>();
            network->connectTo(info);
            networks.push_back(std::move(network));
            packets.push_back(std::move(packet));
        }
        roundTrips(); // logons and sessions
    }

    void roundTrips()
    {
        const qint64 target = counter.replies + counter.errors + kClients;
        for (int i = 0; i < kClients; ++i)
            networks[size_t(i)]->sendRequestWithObserver(
                &counter, QStringLiteral("quote%1").arg(i), packets[size_t(i)].get(), 30);
        loopback::waitUntil([&] { return counter.replies + counter.errors >= target; });
    }
};

// A TLS echo server for any number of clients.
class TlsEchoServer : public QTcpServer {
public:
    TlsEchoServer()
    {
        identity = testpki::makeServerCertificate(ca);
        listen(QHostAddress::LocalHost);
    }
    testpki::Identity ca = testpki::makeCertificateAuthority();
    testpki::Identity identity;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto* socket = new QSslSocket(this);
        socket->setSocketDescriptor(descriptor);
        socket->setLocalCertificate(identity.certificate());
        socket->setPrivateKey(identity.privateKey());
        QObject::connect(socket, &QIODevice::readyRead, socket, [socket] { socket->write(socket->readAll()); });
        socket->startServerEncryption();
    }
};

struct EchoClients {
    ServerThread<TlsEchoServer> server;
    std::vector<std::unique_ptr<QSslSocket>> clients;
    qint64 received = 0;
    QByteArray message = QByteArray(quoteReplyBytes(), 'm');

    EchoClients()
    {
        for (int i = 0; i < kClients; ++i) {
            auto client = std::make_unique<QSslSocket>();
            QSslConfiguration config = client->sslConfiguration();
            config.setCaCertificates({ server.server().ca.certificate() });
            client->setSslConfiguration(config);
            QSslSocket* c = client.get();
            QObject::connect(c, &QIODevice::readyRead, c, [this, c] { received += c->readAll().size(); });
            c->connectToHostEncrypted(QStringLiteral("127.0.0.1"), server.server().serverPort());
            clients.push_back(std::move(client));
        }
        loopback::waitUntil([&] {
            for (const auto& c : clients)
                if (!c->isEncrypted())
                    return false;
            return true;
        });
    }

    void roundTrips()
    {
        const qint64 target = received + kClients * message.size();
        for (const auto& c : clients)
            c->write(message);
        loopback::waitUntil([&] { return received >= target; });
    }
};

double echoCpuPerReply = 0; // seconds, from the echo's run

template <class Clients> double run(benchmark::State& state, Clients& clients)
{
    const double before = clients.server.cpuSeconds();
    for (auto _ : state)
        clients.roundTrips();
    const double perReply = (clients.server.cpuSeconds() - before) / double(state.iterations() * kClients);
    state.SetItemsProcessed(state.iterations() * kClients);
    state.counters["server_cpu_us"] = perReply * 1e6;
    return perReply;
}

void BM_PlainTlsEcho(benchmark::State& state)
{
    EchoClients clients;
    echoCpuPerReply = run(state, clients);
}
BENCHMARK(BM_PlainTlsEcho)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_SimulatorFiveLevelQuotes(benchmark::State& state)
{
    QuoteClients clients;
    const double perReply = run(state, clients);
    if (clients.counter.errors)
        state.SkipWithError("requests failed");
    if (echoCpuPerReply > 0)
        state.counters["ratio_to_echo"] = perReply / echoCpuPerReply;
}
BENCHMARK(BM_SimulatorFiveLevelQuotes)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
