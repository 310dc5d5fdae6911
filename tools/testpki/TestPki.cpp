#include "tools/testpki/TestPki.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

namespace testpki {

namespace {

struct Free {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
    void operator()(X509* p) const { X509_free(p); }
    void operator()(BIO* p) const { BIO_free(p); }
    void operator()(X509_EXTENSION* p) const { X509_EXTENSION_free(p); }
    void operator()(BIGNUM* p) const { BN_free(p); }
};
template <typename T> using Ptr = std::unique_ptr<T, Free>;

Ptr<EVP_PKEY> makeKey()
{
    return Ptr<EVP_PKEY>(EVP_EC_gen("P-256"));
}

QByteArray bioBytes(BIO* bio)
{
    char* data = nullptr;
    const long len = BIO_get_mem_data(bio, &data);
    return len > 0 ? QByteArray(data, static_cast<qsizetype>(len)) : QByteArray();
}

bool addExtension(X509* cert, X509* issuer, int nid, const QByteArray& value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    Ptr<X509_EXTENSION> ext(X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.constData()));
    return ext && X509_add_ext(cert, ext.get(), -1) == 1;
}

bool setName(X509_NAME* name, const QString& commonName)
{
    const QByteArray cn = commonName.toUtf8();
    return X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>("Lumora Test"),
                                      -1, -1, 0)
        == 1
        && X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>(cn.constData()),
                                      -1, -1, 0)
        == 1;
}

QByteArray subjectAltNames(const QStringList& dnsNames, const QStringList& ipAddresses)
{
    QStringList parts;
    for (const QString& d : dnsNames)
        parts << QStringLiteral("DNS:") + d;
    for (const QString& ip : ipAddresses)
        parts << QStringLiteral("IP:") + ip;
    return parts.join(QLatin1Char(',')).toUtf8();
}

// Builds and signs a certificate; `issuerCert`/`issuerKey` null means self-signed.
Identity makeCertificate(const QString& commonName, bool isCa, const QStringList& dnsNames,
                         const QStringList& ipAddresses, int validDays, X509* issuerCert, EVP_PKEY* issuerKey)
{
    Ptr<EVP_PKEY> key = makeKey();
    Ptr<X509> cert(X509_new());
    if (!key || !cert)
        return {};

    unsigned char serialBytes[16];
    if (RAND_bytes(serialBytes, sizeof serialBytes) != 1)
        return {};
    serialBytes[0] &= 0x7F; // positive
    Ptr<BIGNUM> serial(BN_bin2bn(serialBytes, sizeof serialBytes, nullptr));
    if (!serial || !BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(cert.get())))
        return {};

    X509_set_version(cert.get(), 2);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), static_cast<long>(validDays) * 86400);
    X509_set_pubkey(cert.get(), key.get());
    if (!setName(X509_get_subject_name(cert.get()), commonName))
        return {};
    X509* issuer = issuerCert ? issuerCert : cert.get();
    X509_set_issuer_name(cert.get(), X509_get_subject_name(issuer));

    bool ok = true;
    if (isCa) {
        ok = addExtension(cert.get(), issuer, NID_basic_constraints, "critical,CA:TRUE")
            && addExtension(cert.get(), issuer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        ok = addExtension(cert.get(), issuer, NID_basic_constraints, "critical,CA:FALSE")
            && addExtension(cert.get(), issuer, NID_key_usage, "critical,digitalSignature,keyEncipherment")
            && addExtension(cert.get(), issuer, NID_ext_key_usage, "serverAuth");
        const QByteArray san = subjectAltNames(dnsNames, ipAddresses);
        if (!san.isEmpty())
            ok = ok && addExtension(cert.get(), issuer, NID_subject_alt_name, san);
    }
    ok = ok && addExtension(cert.get(), issuer, NID_subject_key_identifier, "hash");
    if (issuerCert)
        ok = ok && addExtension(cert.get(), issuer, NID_authority_key_identifier, "keyid:always");
    if (!ok)
        return {};

    if (X509_sign(cert.get(), issuerKey ? issuerKey : key.get(), EVP_sha256()) <= 0)
        return {};

    Ptr<BIO> certBio(BIO_new(BIO_s_mem()));
    Ptr<BIO> keyBio(BIO_new(BIO_s_mem()));
    if (!certBio || !keyBio || PEM_write_bio_X509(certBio.get(), cert.get()) != 1
        || PEM_write_bio_PrivateKey(keyBio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1)
        return {};
    return { bioBytes(certBio.get()), bioBytes(keyBio.get()) };
}

Ptr<X509> readCert(const QByteArray& pem)
{
    Ptr<BIO> bio(BIO_new_mem_buf(pem.constData(), static_cast<int>(pem.size())));
    return Ptr<X509>(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
}

Ptr<EVP_PKEY> readKey(const QByteArray& pem)
{
    Ptr<BIO> bio(BIO_new_mem_buf(pem.constData(), static_cast<int>(pem.size())));
    return Ptr<EVP_PKEY>(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr);
}

bool writeFile(const QString& path, const QByteArray& bytes, QFileDevice::Permissions permissions, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QFile::setPermissions(path, permissions);
    return true;
}

} // namespace

QSslCertificate Identity::certificate() const
{
    return QSslCertificate(certificatePem, QSsl::Pem);
}

QSslKey Identity::privateKey() const
{
    return QSslKey(privateKeyPem, QSsl::Ec, QSsl::Pem);
}

Identity makeCertificateAuthority(const QString& commonName)
{
    return makeCertificate(commonName, true, {}, {}, 365, nullptr, nullptr);
}

Identity makeServerCertificate(const Identity& ca, const QStringList& dnsNames, const QStringList& ipAddresses,
                               int validDays)
{
    Ptr<X509> caCert = readCert(ca.certificatePem);
    Ptr<EVP_PKEY> caKey = readKey(ca.privateKeyPem);
    if (!caCert || !caKey)
        return {};
    const QString cn = dnsNames.isEmpty() ? (ipAddresses.isEmpty() ? QStringLiteral("server") : ipAddresses.first())
                                          : dnsNames.first();
    return makeCertificate(cn, false, dnsNames, ipAddresses, validDays, caCert.get(), caKey.get());
}

Identity makeSelfSignedServerCertificate(const QStringList& dnsNames, const QStringList& ipAddresses)
{
    const QString cn = dnsNames.isEmpty() ? QStringLiteral("server") : dnsNames.first();
    return makeCertificate(cn, false, dnsNames, ipAddresses, 30, nullptr, nullptr);
}

TestPki makeTestPki()
{
    TestPki pki;
    pki.ca = makeCertificateAuthority();
    pki.server = makeServerCertificate(pki.ca);
    pki.untrusted = makeSelfSignedServerCertificate();
    return pki;
}

bool writePemFiles(const Identity& identity, const QString& folder, const QString& baseName, QString* error)
{
    if (identity.isNull()) {
        if (error)
            *error = QStringLiteral("no certificate to write");
        return false;
    }
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("cannot make folder %1").arg(folder);
        return false;
    }
    const QDir dir(folder);
    return writeFile(dir.filePath(baseName + QStringLiteral(".crt")), identity.certificatePem,
                     QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther, error)
        && writeFile(dir.filePath(baseName + QStringLiteral(".key")), identity.privateKeyPem,
                     QFile::ReadOwner | QFile::WriteOwner, error);
}

} // namespace testpki
