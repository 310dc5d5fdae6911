#pragma once

#include <QByteArray>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QStringList>

// Makes throwaway certificates in memory: a test CA, server certificates
// signed by it, and self-signed ones. Keys are EC P-256.
namespace testpki {

struct Identity {
    QByteArray certificatePem;
    QByteArray privateKeyPem;

    QSslCertificate certificate() const;
    QSslKey privateKey() const;
    bool isNull() const { return certificatePem.isEmpty(); }
};

// A CA certificate (basic constraints CA:TRUE) and its key.
Identity makeCertificateAuthority(const QString& commonName = QStringLiteral("Lumora Test CA"));

// A server certificate for the given DNS names and IP addresses, signed by `ca`.
Identity makeServerCertificate(const Identity& ca,
                               const QStringList& dnsNames = { QStringLiteral("localhost") },
                               const QStringList& ipAddresses = { QStringLiteral("127.0.0.1") },
                               int validDays = 30);

// A self-signed server certificate that no CA vouches for.
Identity makeSelfSignedServerCertificate(const QStringList& dnsNames = { QStringLiteral("localhost") },
                                         const QStringList& ipAddresses = { QStringLiteral("127.0.0.1") });

// A CA, a server certificate signed by it for 127.0.0.1 and localhost, and an
// untrusted self-signed one for the same names.
struct TestPki {
    Identity ca;
    Identity server;
    Identity untrusted;
};
TestPki makeTestPki();

// Writes "<baseName>.crt" and "<baseName>.key" (PEM) into `folder`, making it
// when needed; the key file is readable by the owner only.
bool writePemFiles(const Identity& identity, const QString& folder, const QString& baseName,
                   QString* error = nullptr);

} // namespace testpki
