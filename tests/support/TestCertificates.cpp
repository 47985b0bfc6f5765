#include "support/TestCertificates.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

bool openssl(const QString &folder, const QStringList &arguments)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::fprintf(stderr, "openssl %s failed: %s\n", qPrintable(arguments.join(QLatin1Char(' '))),
                     process.readAllStandardError().constData());
        return false;
    }
    return true;
}

bool makeCa(const QString &folder, const QString &name)
{
    return openssl(folder, {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                            QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-keyout"),
                            name + QStringLiteral(".key"), QStringLiteral("-out"), name + QStringLiteral(".pem"),
                            QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                            QStringLiteral("/CN=Mirelune Test ") + name, QStringLiteral("-addext"),
                            QStringLiteral("basicConstraints=critical,CA:TRUE"), QStringLiteral("-addext"),
                            QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")});
}

QTemporaryDir &folderHolder()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/mirelune-certs-XXXXXX"));
    return dir;
}

} // namespace

const TestCertificates &TestCertificates::instance()
{
    static const TestCertificates certificates;
    return certificates;
}

TestCertificates::TestCertificates()
{
    mFolder = folderHolder().path();
    mCaFile = mFolder + QStringLiteral("/ca.pem");
    mOtherCaFile = mFolder + QStringLiteral("/other.pem");
    mServerCertificateFile = mFolder + QStringLiteral("/server.pem");
    mServerKeyFile = mFolder + QStringLiteral("/server.key");
    QFile extensions(mFolder + QStringLiteral("/server.ext"));
    if (!extensions.open(QIODevice::WriteOnly))
        return;
    extensions.write("basicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\n"
                     "extendedKeyUsage=serverAuth\nsubjectAltName=IP:127.0.0.1,DNS:localhost\n");
    extensions.close();
    mValid = makeCa(mFolder, QStringLiteral("ca")) && makeCa(mFolder, QStringLiteral("other")) &&
             openssl(mFolder, {QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                               QStringLiteral("-nodes"), QStringLiteral("-keyout"), QStringLiteral("server.key"),
                               QStringLiteral("-out"), QStringLiteral("server.csr"), QStringLiteral("-subj"),
                               QStringLiteral("/CN=127.0.0.1")}) &&
             openssl(mFolder, {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                               QStringLiteral("server.csr"), QStringLiteral("-CA"), QStringLiteral("ca.pem"),
                               QStringLiteral("-CAkey"), QStringLiteral("ca.key"), QStringLiteral("-CAcreateserial"),
                               QStringLiteral("-out"), QStringLiteral("server.pem"), QStringLiteral("-days"),
                               QStringLiteral("2"), QStringLiteral("-extfile"), QStringLiteral("server.ext")});
}

QSslCertificate TestCertificates::serverCertificate() const
{
    const QList<QSslCertificate> list = QSslCertificate::fromPath(mServerCertificateFile);
    return list.isEmpty() ? QSslCertificate() : list.first();
}

QSslKey TestCertificates::serverKey() const
{
    QFile file(mServerKeyFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QSslKey(file.readAll(), QSsl::Rsa, QSsl::Pem);
}
