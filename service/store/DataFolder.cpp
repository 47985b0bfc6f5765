#include "store/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

DataFolder::DataFolder(const QString &root, const QString &nodeId)
    : mRoot(QDir::cleanPath(QDir(root).absolutePath())), mNodeId(nodeId)
{
}

QString DataFolder::nodeRoot() const
{
    return mNodeId.isEmpty() ? mRoot : mRoot + QStringLiteral("/nodes/") + mNodeId;
}

QString DataFolder::defaultRoot()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Mirelune/service");
}

bool DataFolder::prepare(QString *error) const
{
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    const QStringList folders = {mRoot,      tlsFolder(),  objectsFolder(), resultsFolder(),
                                 nodeRoot(), jobsFolder(), profilesFolder()};
    for (const QString &folder : folders) {
        if (!QDir().mkpath(folder) || !QFile::setPermissions(folder, ownerOnly)) {
            if (error)
                *error = QStringLiteral("Cannot create the folder %1").arg(folder);
            return false;
        }
    }
    return true;
}

QString DataFolder::database() const
{
    return mRoot + QStringLiteral("/service.sqlite");
}

QString DataFolder::tlsFolder() const
{
    return mRoot + QStringLiteral("/tls");
}

QString DataFolder::objectsFolder() const
{
    return mRoot + QStringLiteral("/objects");
}

QString DataFolder::resultsFolder() const
{
    return mRoot + QStringLiteral("/results");
}

QString DataFolder::jobsFolder() const
{
    return nodeRoot() + QStringLiteral("/jobs");
}

QString DataFolder::profilesFolder() const
{
    return nodeRoot() + QStringLiteral("/profiles");
}

QString DataFolder::identityTokensFile() const
{
    return mRoot + QStringLiteral("/identity_tokens");
}

QString DataFolder::readyFile() const
{
    return nodeRoot() + QStringLiteral("/ready.json");
}

QString DataFolder::lockFile() const
{
    return nodeRoot() + QStringLiteral("/service.lock");
}

QString DataFolder::setupLockFile() const
{
    return mRoot + QStringLiteral("/setup.lock");
}
