#include "frameworks/SecretStore.h"

#include <qt6keychain/keychain.h>

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QSaveFile>

namespace {

// Runs a keychain job to its end on the calling thread.
bool runJob(QKeychain::Job &job)
{
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    job.setAutoDelete(false);
    job.start();
    if (!finished)
        loop.exec();
    return job.error() == QKeychain::NoError;
}

} // namespace

SecretStore::SecretStore(QString service, QString fallbackFolder)
    : mService(std::move(service)), mFallbackFolder(std::move(fallbackFolder))
{
}

bool SecretStore::keyringEnabled()
{
    return qEnvironmentVariableIntValue("MIRELUNE_NO_KEYRING") == 0 &&
           !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS");
}

QString SecretStore::read(const QString &key) const
{
    if (const std::optional<QString> fromKeyring = readKeyring(key); fromKeyring && !fromKeyring->isEmpty())
        return *fromKeyring;
    QFile file(filePath(key));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).trimmed();
}

bool SecretStore::write(const QString &key, const QString &value) const
{
    if (writeKeyring(key, value)) {
        QFile::remove(filePath(key)); // nothing stale left behind in plain text
        return true;
    }
    if (!QDir().mkpath(mFallbackFolder))
        return false;
    QFile::setPermissions(mFallbackFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QSaveFile file(filePath(key));
    // Restrict before any byte is written, so the secret is never world-readable.
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner))
        return false;
    file.write(value.toUtf8());
    return file.commit();
}

void SecretStore::remove(const QString &key) const
{
    removeKeyring(key);
    QFile::remove(filePath(key));
}

std::optional<QString> SecretStore::readKeyring(const QString &key) const
{
    if (!keyringEnabled())
        return std::nullopt;
    QKeychain::ReadPasswordJob job(mService);
    job.setKey(key);
    if (!runJob(job))
        return std::nullopt;
    return job.textData();
}

bool SecretStore::writeKeyring(const QString &key, const QString &value) const
{
    if (!keyringEnabled())
        return false;
    QKeychain::WritePasswordJob job(mService);
    job.setKey(key);
    job.setTextData(value);
    return runJob(job);
}

void SecretStore::removeKeyring(const QString &key) const
{
    if (!keyringEnabled())
        return;
    QKeychain::DeletePasswordJob job(mService);
    job.setKey(key);
    runJob(job);
}

QString SecretStore::filePath(const QString &key) const
{
    return QDir(mFallbackFolder).filePath(key);
}
