#pragma once

#include <QSslConfiguration>
#include <QString>

// The service's private CA and its server certificate for 127.0.0.1, ::1 and
// localhost. Made at the first start, reused later; the server certificate is
// renewed when it nears its end.
class TlsMaterial final {
public:
    explicit TlsMaterial(const QString &folder);

    bool ensure(QString *error);
    // Serve this certificate (with any intermediates after it in the file)
    // and key instead of the private CA's; refused when they do not match.
    bool useCertificate(const QString &certificateFile, const QString &keyFile, QString *error);
    QString caFile() const;
    QSslConfiguration serverConfiguration() const;

private:
    QString path(const char *name) const;
    bool ensureCa(QString *error);
    bool serverCertificateUsable() const;
    bool makeServerCertificate(QString *error);

    QString mFolder;
    QString mCertificateFile; // empty: the private CA's server certificate
    QByteArray mKeyPem;
    QSsl::KeyAlgorithm mKeyAlgorithm = QSsl::Ec;
};
