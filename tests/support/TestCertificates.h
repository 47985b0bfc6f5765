#pragma once

#include <QSslCertificate>
#include <QSslKey>
#include <QString>

// A private CA and a server certificate for 127.0.0.1 / localhost, made with
// the openssl command at test time (once per process) in a temporary folder.
class TestCertificates final {
public:
    static const TestCertificates &instance();

    QString caFile() const { return mCaFile; }
    QString serverCertificateFile() const { return mServerCertificateFile; }
    QString serverKeyFile() const { return mServerKeyFile; }
    // A second CA that signed nothing the servers use: trusting it alone must fail.
    QString otherCaFile() const { return mOtherCaFile; }

    QSslCertificate serverCertificate() const;
    QSslKey serverKey() const;
    bool isValid() const { return mValid; }

private:
    TestCertificates();

    QString mFolder;
    QString mCaFile;
    QString mServerCertificateFile;
    QString mServerKeyFile;
    QString mOtherCaFile;
    bool mValid = false;
};
