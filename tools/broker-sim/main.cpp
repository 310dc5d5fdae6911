// broker-sim: the loopback broker as a process, for running the client by hand.
#include "tools/broker-sim/BackOffice.h"
#include "tools/broker-sim/BrokerSimulator.h"
#include "tools/testpki/TestPki.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace {

int signalPipe[2] = { -1, -1 };

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

bool installSignalHandlers()
{
    if (::pipe(signalPipe) != 0)
        return false;
    ::fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
    struct sigaction action { };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

std::optional<quint16> portOption(const QCommandLineParser& parser, const QString& name)
{
    if (!parser.isSet(name))
        return quint16(0);
    bool ok = false;
    const uint port = parser.value(name).toUInt(&ok);
    if (!ok || port > 65535)
        return std::nullopt;
    return quint16(port);
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

// Exit code of a broker.json that cannot be read or is malformed.
constexpr int kBadDataExit = 3;

int fail(const QString& message)
{
    std::fprintf(stderr, "broker-sim: %s\n", qPrintable(message));
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("broker-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Loopback broker simulator on 127.0.0.1."));
    parser.addHelpOption();
    parser.addOption({ QStringLiteral("port"),
        QStringLiteral("Port of the TC front (TLS); 0 for a free one."), QStringLiteral("N") });
    parser.addOption({ QStringLiteral("http-port"),
        QStringLiteral("Port of the HTTP front; 0 for a free one."), QStringLiteral("N") });
    parser.addOption({ QStringLiteral("cert"), QStringLiteral("PEM certificate of the TC front."),
        QStringLiteral("FILE") });
    parser.addOption({ QStringLiteral("key"), QStringLiteral("PEM private key of the certificate."),
        QStringLiteral("FILE") });
    parser.addOption({ QStringLiteral("data"),
        QStringLiteral("Folder for the simulator's files; a broker.json there replaces the built-in "
                       "customers (default: a temporary folder)."),
        QStringLiteral("DIR") });
    parser.addOption({ QStringLiteral("always-open"),
        QStringLiteral("Take orders whatever the hour (by default the market is open on weekdays "
                       "9:15-11:30 and 13:00-15:00 China time only).") });
    parser.process(app);

    const auto tcPort = portOption(parser, QStringLiteral("port"));
    const auto httpPort = portOption(parser, QStringLiteral("http-port"));
    if (!tcPort || !httpPort)
        return fail(QStringLiteral("a port must be a number from 0 to 65535"));
    if (parser.isSet(QStringLiteral("cert")) != parser.isSet(QStringLiteral("key")))
        return fail(QStringLiteral("--cert and --key go together"));

    brokersim::BrokerSimulator::Options options;
    options.tcPort = *tcPort;
    options.httpPort = *httpPort;
    if (parser.isSet(QStringLiteral("cert"))) {
        QFile cert(parser.value(QStringLiteral("cert")));
        QFile key(parser.value(QStringLiteral("key")));
        if (!cert.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read the certificate or the key"));
        options.certificate = QSslCertificate(cert.readAll(), QSsl::Pem);
        options.privateKey = QSslKey(key.readAll(), QSsl::Ec, QSsl::Pem);
        if (options.privateKey.isNull()) {
            key.seek(0);
            options.privateKey = QSslKey(key.readAll(), QSsl::Rsa, QSsl::Pem);
        }
        if (options.certificate.isNull() || options.privateKey.isNull())
            return fail(QStringLiteral("the certificate or the key is not PEM"));
    }

    std::optional<QTemporaryDir> temporary;
    QString dataDir = parser.value(QStringLiteral("data"));
    if (dataDir.isEmpty()) {
        temporary.emplace(QDir::tempPath() + QStringLiteral("/broker-sim-XXXXXX"));
        if (!temporary->isValid())
            return fail(QStringLiteral("cannot make a temporary folder"));
        dataDir = temporary->path();
    }
    if (!QDir().mkpath(dataDir))
        return fail(QStringLiteral("cannot make the data folder ") + dataDir);

    // The broker's customers come from broker.json in the data folder, else the built-in data.
    QString dataError;
    auto brokerData = brokersim::loadBrokerData(dataDir, &dataError);
    if (!brokerData) {
        std::fprintf(stderr, "broker-sim: %s\n", qPrintable(dataError));
        return kBadDataExit;
    }

    brokersim::BrokerSimulator simulator;
    simulator.state().broker().reset(std::move(brokerData->data));
    if (parser.isSet(QStringLiteral("always-open")))
        brokersim::backOffice(simulator)->setTradingHoursEnforced(false);
    if (!simulator.start(options))
        return fail(simulator.errorString());

    if (!simulator.certificateAuthority().isNull()) {
        // The client is told to trust ca.crt; server.crt/.key are there for other tools.
        QString error;
        if (!writeFile(dataDir + QStringLiteral("/ca.crt"), simulator.certificateAuthority().certificatePem)
            || !testpki::writePemFiles(simulator.serverIdentity(), dataDir, QStringLiteral("server"), &error))
            return fail(QStringLiteral("cannot write the certificates into ") + dataDir + QStringLiteral(": ")
                + error);
    }

    if (!installSignalHandlers())
        return fail(QStringLiteral("cannot install the signal handlers"));
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, [&] {
        char byte;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
        QCoreApplication::quit();
    });

    std::printf("tc %u\nhttp %u\nbroker %s\ndata %s\n", unsigned(simulator.tcPort()),
        unsigned(simulator.httpPort()),
        brokerData->source.isEmpty() ? "built-in" : qPrintable(QDir::toNativeSeparators(brokerData->source)),
        qPrintable(QDir::toNativeSeparators(dataDir)));
    std::fflush(stdout);

    const int status = app.exec();
    simulator.stop();
    return status;
}
