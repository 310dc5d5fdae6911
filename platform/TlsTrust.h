#pragma once

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QString>

namespace platform {

// The certificate authorities TLS connections trust: the system's trust store
// plus extra CA certificates the application adds (from its config folder,
// or a test CA). Process-wide; safe to use from any thread.
class TlsTrust {
public:
    static void addCaCertificates(const QList<QSslCertificate>& certificates);
    // Adds every certificate in PEM `bytes`; answers how many were added.
    static int addCaCertificatesFromPem(const QByteArray& bytes);
    // Adds the PEM certificates of a file; answers how many were added.
    static int addCaCertificatesFromFile(const QString& path);
    static QList<QSslCertificate> extraCaCertificates();
    // The system's trust store and the extra certificates.
    static QList<QSslCertificate> caCertificates();
    // Forgets the extra certificates.
    static void reset();
};

} // namespace platform
