#include "store/TlsMaterial.h"

#include "store/Secrets.h"

#include <QDateTime>
#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

namespace {

constexpr int kCaDays = 3650;
constexpr int kServerDays = 398;
constexpr int kRenewDays = 30;

template <typename T, void (*Free)(T *)> struct Deleter {
    void operator()(T *p) const { Free(p); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using CertPtr = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using BioPtr = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

BioPtr memoryBio(const QByteArray &data)
{
    return BioPtr(BIO_new_mem_buf(data.constData(), int(data.size())));
}

QByteArray bioBytes(BIO *bio)
{
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return QByteArray(data, size);
}

KeyPtr newKey()
{
    return KeyPtr(EVP_EC_gen("P-256"));
}

KeyPtr loadKey(const QString &path)
{
    const QByteArray pem = readFile(path);
    BioPtr bio = memoryBio(pem);
    return KeyPtr(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
}

CertPtr loadCertificate(const QString &path)
{
    const QByteArray pem = readFile(path);
    BioPtr bio = memoryBio(pem);
    return CertPtr(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
}

QByteArray keyPem(EVP_PKEY *key)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr);
    return bioBytes(bio.get());
}

QByteArray certificatePem(X509 *certificate)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    PEM_write_bio_X509(bio.get(), certificate);
    return bioBytes(bio.get());
}

bool addExtension(X509 *certificate, X509 *issuer, int nid, const char *value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION *extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (!extension)
        return false;
    const bool added = X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

// A certificate for `key`, named `commonName`, signed by `issuerKey` as
// `issuer` (itself when issuer is null).
CertPtr makeCertificate(EVP_PKEY *key, const char *commonName, int days, X509 *issuer, EVP_PKEY *issuerKey)
{
    CertPtr certificate(X509_new());
    X509 *cert = certificate.get();
    unsigned char serial[16];
    if (RAND_bytes(serial, sizeof serial) != 1)
        return {};
    serial[0] &= 0x7f;
    BIGNUM *number = BN_bin2bn(serial, sizeof serial, nullptr);
    BN_to_ASN1_INTEGER(number, X509_get_serialNumber(cert));
    BN_free(number);
    X509_set_version(cert, 2);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), long(days) * 24 * 3600);
    X509_set_pubkey(cert, key);
    X509_NAME *name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char *>("Mirelune"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char *>(commonName), -1, -1,
                               0);
    X509_set_issuer_name(cert, issuer ? X509_get_subject_name(issuer) : name);
    X509 *signer = issuer ? issuer : cert;
    bool ok = addExtension(cert, signer, NID_subject_key_identifier, "hash");
    if (issuer) {
        ok = ok && addExtension(cert, signer, NID_authority_key_identifier, "keyid:always") &&
             addExtension(cert, signer, NID_basic_constraints, "critical,CA:FALSE") &&
             addExtension(cert, signer, NID_key_usage, "critical,digitalSignature,keyEncipherment") &&
             addExtension(cert, signer, NID_ext_key_usage, "serverAuth") &&
             addExtension(cert, signer, NID_subject_alt_name, "IP:127.0.0.1,IP:::1,DNS:localhost");
    } else {
        ok = ok && addExtension(cert, signer, NID_basic_constraints, "critical,CA:TRUE,pathlen:0") &&
             addExtension(cert, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    }
    if (!ok || X509_sign(cert, issuerKey, EVP_sha256()) == 0)
        return {};
    return certificate;
}

} // namespace

TlsMaterial::TlsMaterial(const QString &folder) : mFolder(folder)
{
}

QString TlsMaterial::path(const char *name) const
{
    return mFolder + QLatin1Char('/') + QLatin1String(name);
}

QString TlsMaterial::caFile() const
{
    return path("ca.pem");
}

bool TlsMaterial::ensure(QString *error)
{
    if (!ensureCa(error))
        return false;
    if (serverCertificateUsable())
        return true;
    return makeServerCertificate(error);
}

bool TlsMaterial::ensureCa(QString *error)
{
    KeyPtr key = loadKey(path("ca.key"));
    CertPtr certificate = loadCertificate(caFile());
    if (key && certificate && X509_check_private_key(certificate.get(), key.get()) == 1)
        return true;
    key = newKey();
    certificate =
        key ? makeCertificate(key.get(), "Mirelune local service CA", kCaDays, nullptr, key.get()) : CertPtr();
    if (!certificate) {
        if (error)
            *error = QStringLiteral("Cannot make the service's certificate authority");
        return false;
    }
    // A new CA invalidates the old server certificate.
    QFile::remove(path("server.pem"));
    return Secrets::writePrivateFile(path("ca.key"), keyPem(key.get()), error) &&
           Secrets::writePrivateFile(caFile(), certificatePem(certificate.get()), error);
}

bool TlsMaterial::serverCertificateUsable() const
{
    CertPtr ca = loadCertificate(caFile());
    CertPtr server = loadCertificate(path("server.pem"));
    KeyPtr key = loadKey(path("server.key"));
    if (!ca || !server || !key || X509_check_private_key(server.get(), key.get()) != 1)
        return false;
    KeyPtr caKey(X509_get_pubkey(ca.get()));
    if (X509_verify(server.get(), caKey.get()) != 1)
        return false;
    const QList<QSslCertificate> parsed = QSslCertificate::fromPath(path("server.pem"));
    return !parsed.isEmpty() && parsed.first().expiryDate() > QDateTime::currentDateTimeUtc().addDays(kRenewDays);
}

bool TlsMaterial::makeServerCertificate(QString *error)
{
    KeyPtr caKey = loadKey(path("ca.key"));
    CertPtr ca = loadCertificate(caFile());
    KeyPtr key = newKey();
    CertPtr certificate =
        (caKey && ca && key) ? makeCertificate(key.get(), "127.0.0.1", kServerDays, ca.get(), caKey.get()) : CertPtr();
    if (!certificate) {
        if (error)
            *error = QStringLiteral("Cannot make the service's server certificate");
        return false;
    }
    return Secrets::writePrivateFile(path("server.key"), keyPem(key.get()), error) &&
           Secrets::writePrivateFile(path("server.pem"), certificatePem(certificate.get()), error);
}

bool TlsMaterial::useCertificate(const QString &certificateFile, const QString &keyFile, QString *error)
{
    CertPtr certificate = loadCertificate(certificateFile);
    KeyPtr key = loadKey(keyFile);
    const int type = key ? EVP_PKEY_base_id(key.get()) : 0;
    if (!certificate || !key || (type != EVP_PKEY_RSA && type != EVP_PKEY_EC)) {
        if (error)
            *error =
                QStringLiteral("Cannot read the certificate %1 or its RSA or EC key %2").arg(certificateFile, keyFile);
        return false;
    }
    if (X509_check_private_key(certificate.get(), key.get()) != 1) {
        if (error)
            *error = QStringLiteral("The key %1 does not belong to the certificate %2").arg(keyFile, certificateFile);
        return false;
    }
    mCertificateFile = certificateFile;
    mKeyPem = keyPem(key.get());
    mKeyAlgorithm = type == EVP_PKEY_RSA ? QSsl::Rsa : QSsl::Ec;
    return true;
}

QSslConfiguration TlsMaterial::serverConfiguration() const
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    const bool own = !mCertificateFile.isEmpty();
    const QList<QSslCertificate> chain = QSslCertificate::fromPath(own ? mCertificateFile : path("server.pem"));
    configuration.setLocalCertificateChain(chain);
    configuration.setPrivateKey(own ? QSslKey(mKeyPem, mKeyAlgorithm, QSsl::Pem)
                                    : QSslKey(readFile(path("server.key")), QSsl::Ec, QSsl::Pem));
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    configuration.setProtocol(QSsl::TlsV1_2OrLater);
    return configuration;
}
