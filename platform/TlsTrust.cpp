#include "platform/TlsTrust.h"

#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QSslConfiguration>

namespace platform {

namespace {

struct TrustState {
    QMutex mutex;
    QList<QSslCertificate> extra;
    bool systemLoaded = false;
    QList<QSslCertificate> system;
};

TrustState& state()
{
    static TrustState s;
    return s;
}

// Trust files are small; anything larger is not one.
constexpr qint64 kMaxTrustFileSize = 16 * 1024 * 1024;

} // namespace

void TlsTrust::addCaCertificates(const QList<QSslCertificate>& certificates)
{
    TrustState& s = state();
    QMutexLocker lock(&s.mutex);
    for (const QSslCertificate& cert : certificates) {
        if (!cert.isNull() && !s.extra.contains(cert))
            s.extra.append(cert);
    }
}

int TlsTrust::addCaCertificatesFromPem(const QByteArray& bytes)
{
    const QList<QSslCertificate> certs = QSslCertificate::fromData(bytes, QSsl::Pem);
    addCaCertificates(certs);
    return static_cast<int>(certs.size());
}

int TlsTrust::addCaCertificatesFromFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxTrustFileSize)
        return 0;
    return addCaCertificatesFromPem(file.read(kMaxTrustFileSize));
}

QList<QSslCertificate> TlsTrust::extraCaCertificates()
{
    TrustState& s = state();
    QMutexLocker lock(&s.mutex);
    return s.extra;
}

QList<QSslCertificate> TlsTrust::caCertificates()
{
    TrustState& s = state();
    QMutexLocker lock(&s.mutex);
    if (!s.systemLoaded) {
        s.system = QSslConfiguration::systemCaCertificates();
        s.systemLoaded = true;
    }
    return s.system + s.extra;
}

void TlsTrust::reset()
{
    TrustState& s = state();
    QMutexLocker lock(&s.mutex);
    s.extra.clear();
}

} // namespace platform
