#include "core/Service.h"

#include "api/IdentityTokens.h"
#include "api/ObjectStore.h"
#include "api/ServiceApi.h"
#include "api/UploadCallback.h"
#include "converters/OfficeBridge.h"
#include "http/HttpServer.h"
#include "jobs/TaskQueue.h"
#include "protocol/WireFields.h"
#include "store/Records.h"
#include "store/Secrets.h"
#include "store/TlsMaterial.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLockFile>

#include <cstdio>

namespace {

const QString kBucket = QStringLiteral("mirelune");
constexpr int kSweepMs = 10 * 60 * 1000;
constexpr int kIdleCheckMs = 15 * 1000;
// How often a node looks for tasks it was not told about: added on another
// node, or left behind by a node whose lease ran out.
constexpr int kTaskPollMs = 500;
constexpr int kSetupLockMs = 60 * 1000;

} // namespace

Service::Service(const ServiceOptions &options, QObject *parent)
    : QObject(parent), mOptions(options), mFolder(options.dataFolder, options.database ? options.nodeId : QString())
{
    connect(&mSweepTimer, &QTimer::timeout, this, &Service::sweep);
    connect(&mIdleTimer, &QTimer::timeout, this, &Service::checkIdle);
}

Service::~Service()
{
    stop();
}

bool Service::start(QString *error)
{
    if (!prepareFolder(error) || !openRecords(error))
        return false;
    const qint64 keepSeconds = qint64(mOptions.keepHours) * 3600;
    mCallback = std::make_unique<UploadCallback>(*mRecords, keepSeconds);
    mObjects = std::make_unique<ObjectStore>(
        *mRecords, *mCallback, ObjectStore::Settings{kBucket, mFolder.objectsFolder(), mOptions.maxUploadBytes});
    mQueue = std::make_unique<TaskQueue>(*mRecords, mFolder,
                                         TaskQueue::Settings{mOptions.workers, mOptions.jobTimeoutSeconds, warmOffice(),
                                                             mOptions.leaseSeconds, kTaskPollMs});
    mApi = std::make_unique<ServiceApi>(*mRecords, *mIdentities, *mObjects, *mQueue,
                                        ServiceApi::Settings{kBucket, mOptions.listenAddress, 0, keepSeconds,
                                                             mOptions.pollIntervalMs, mOptions.downloadStaggerMs,
                                                             mOptions.publicUrl, mOptions.nodeId});
    sweep();
    if (!listen(error) || !writeReadyFile(error))
        return false;
    mRunning = true;
    mSweepTimer.start(kSweepMs);
    if (mOptions.idleExitMinutes > 0)
        mIdleTimer.start(kIdleCheckMs);
    mQueue->kick();
    return true;
}

bool Service::prepareFolder(QString *error)
{
    if (!mFolder.prepare(error))
        return false;
    mLock = std::make_unique<QLockFile>(mFolder.lockFile());
    mLock->setStaleLockTime(0);
    if (!mLock->tryLock(0)) {
        qint64 pid = 0;
        QString host;
        QString application;
        mLock->getLockInfo(&pid, &host, &application);
        *error = QStringLiteral("Another mirelune-service (pid %1) already uses %2").arg(pid).arg(mFolder.root());
        mLock.reset();
        return false;
    }
    clearLeftovers();
    mIdentities = std::make_unique<IdentityTokens>(mFolder.identityTokensFile());
    mTls = std::make_unique<TlsMaterial>(mFolder.tlsFolder());
    // Nodes starting together on one folder: the first makes the keys and
    // certificates, the others wait and then use them.
    QLockFile setup(mFolder.setupLockFile());
    setup.setStaleLockTime(kSetupLockMs);
    if (!setup.tryLock(kSetupLockMs)) {
        *error = QStringLiteral("Cannot take %1").arg(mFolder.setupLockFile());
        return false;
    }
    if (!mIdentities->ensure(error) || !mTls->ensure(error))
        return false;
    return mOptions.tlsCertificate.isEmpty() || mTls->useCertificate(mOptions.tlsCertificate, mOptions.tlsKey, error);
}

bool Service::warmOffice() const
{
    if (mOptions.coldOffice || mOptions.workers == 0)
        return false;
    const QString script = mFolder.root() + QStringLiteral("/office_bridge.py");
    QFile resource(QStringLiteral(":/service/office_bridge.py"));
    QString error;
    if (!resource.open(QIODevice::ReadOnly) || !Secrets::writePrivateFile(script, resource.readAll(), &error))
        return false;
    OfficeBridge::setScript(script);
    if (OfficeBridge::available())
        return true;
    std::fprintf(stderr, "mirelune-service: python3 with the UNO module is missing: LibreOffice runs cold\n");
    return false;
}

void Service::clearLeftovers() const
{
    // Nothing runs yet: job folders and half-received objects are debris of an
    // earlier run. Other nodes may be receiving objects into a shared folder
    // right now: there only a day-old part is debris.
    QDir(mFolder.jobsFolder()).removeRecursively();
    QDir().mkpath(mFolder.jobsFolder());
    const QDateTime staleBefore = mOptions.database
                                      ? QDateTime::currentDateTimeUtc().addSecs(-Records::kUploadGraceSeconds)
                                      : QDateTime::currentDateTimeUtc().addYears(1);
    const QFileInfoList parts = QDir(mFolder.objectsFolder()).entryInfoList({QStringLiteral("*.part-*")}, QDir::Files);
    for (const QFileInfo &part : parts) {
        if (part.lastModified() < staleBefore)
            QFile::remove(part.filePath());
    }
}

bool Service::openRecords(QString *error)
{
    mRecords = std::make_unique<Records>();
    mRecords->setNode(mOptions.nodeId, mOptions.leaseSeconds);
    if (!mRecords->open(mOptions.database ? *mOptions.database : DatabaseUrl::sqlite(mFolder.database()), error))
        return false;
    if (!mOptions.database)
        QFile::setPermissions(mFolder.database(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const int requeued = mRecords->requeueRunningTasks();
    if (requeued > 0)
        std::fprintf(stderr, "mirelune-service: %d interrupted task(s) queued again\n", requeued);
    return true;
}

bool Service::listen(QString *error)
{
    if (!mOptions.isLoopback()) {
        std::fprintf(stderr, "mirelune-service: warning: listening on %s, which is not a loopback address\n",
                     qPrintable(mOptions.listenAddress.toString()));
    }
    mServer = std::make_unique<HttpServer>(*mApi, mTls->serverConfiguration());
    if (!mServer->listen(mOptions.listenAddress, mOptions.port, error))
        return false;
    mApi->setPort(mServer->port());
    return true;
}

QJsonObject Service::readyInfo() const
{
    QString host = mOptions.listenAddress.toString();
    if (mOptions.listenAddress == QHostAddress::AnyIPv4 || mOptions.listenAddress == QHostAddress::Any)
        host = QStringLiteral("127.0.0.1");
    if (host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    return {
        {WireFields::kBaseUrl, QStringLiteral("https://%1:%2/api").arg(host).arg(mServer ? mServer->port() : 0)},
        {WireFields::kCaFile, mTls ? mTls->caFile() : QString()},
        {WireFields::kIdentityToken, QString::fromLatin1(mIdentities ? mIdentities->primary() : QByteArray())},
        {WireFields::kPid, double(QCoreApplication::applicationPid())},
    };
}

bool Service::writeReadyFile(QString *error)
{
    const QByteArray line = QJsonDocument(readyInfo()).toJson(QJsonDocument::Compact) + '\n';
    if (!Secrets::writePrivateFile(mFolder.readyFile(), line, error))
        return false;
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
    return true;
}

void Service::removeReadyFile() const
{
    QFile file(mFolder.readyFile());
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QJsonObject ready = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    // A later service of the same folder may have written it already.
    if (ready.value(WireFields::kPid).toInteger() == QCoreApplication::applicationPid())
        file.remove();
}

void Service::stop()
{
    if (!mRunning)
        return;
    mRunning = false;
    mSweepTimer.stop();
    mIdleTimer.stop();
    mServer->close();
    mQueue->stop();
    removeReadyFile();
    mLock->unlock();
    std::fprintf(stderr, "mirelune-service: stopped\n");
    emit stopped();
}

void Service::sweep()
{
    const ExpiredItems expired = mRecords->expire(QDateTime::currentSecsSinceEpoch());
    for (const QString &key : expired.objectKeys) {
        const QString path = mObjects->objectPath(key);
        if (!path.isEmpty())
            QFile::remove(path);
    }
    for (const QString &task : expired.taskIds)
        QDir(mFolder.resultsFolder() + QLatin1Char('/') + task).removeRecursively();
}

void Service::checkIdle()
{
    const qint64 idleMs = qint64(mOptions.idleExitMinutes) * 60 * 1000;
    const bool waiting = mOptions.workers > 0 && mRecords->unfinishedTaskCount() > 0;
    if (mServer->idleMs() < idleMs || mServer->connectionCount() > 0 || mQueue->runningCount() > 0 || waiting)
        return;
    std::fprintf(stderr, "mirelune-service: idle for %d minutes, stopping\n", mOptions.idleExitMinutes);
    stop();
}
