#include "support/service/ServiceProcess.h"

#include "support/TestTiming.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <csignal>

ServiceProcess::ServiceProcess(const QString &dataFolder) : mDataFolder(dataFolder)
{
}

ServiceProcess::~ServiceProcess()
{
    if (isRunning() && !stop()) {
        mProcess.kill();
        mProcess.waitForFinished(5000);
    }
}

QString ServiceProcess::binary()
{
    return QStringLiteral(MIRELUNE_SERVICE_BINARY);
}

bool ServiceProcess::start(const QStringList &extraArguments)
{
    return begin(extraArguments) && waitUntilReady();
}

bool ServiceProcess::begin(const QStringList &extraArguments)
{
    mReadyLine.clear();
    mProcess.start(binary(), QStringList{QStringLiteral("--data"), mDataFolder} << extraArguments);
    return mProcess.waitForStarted(scaledMs(10000));
}

void ServiceProcess::kill()
{
    if (!isRunning())
        return;
    ::kill(pid_t(mProcess.processId()), SIGKILL);
    mProcess.waitForFinished(10000);
}

bool ServiceProcess::waitUntilReady()
{
    const QDeadlineTimer deadline(scaledMs(30000));
    while (!mProcess.canReadLine() && !deadline.hasExpired() && isRunning())
        mProcess.waitForReadyRead(200);
    if (!mProcess.canReadLine())
        return false;
    mReadyLine = mProcess.readLine().trimmed();
    const QJsonObject ready = QJsonDocument::fromJson(mReadyLine).object();
    mBaseUrl = ready.value(QStringLiteral("base_url")).toString();
    mCaFile = ready.value(QStringLiteral("ca_file")).toString();
    mIdentityToken = ready.value(QStringLiteral("identity_token")).toString().toLatin1();
    mPid = ready.value(QStringLiteral("pid")).toInteger();
    return !mBaseUrl.isEmpty() && mPid == mProcess.processId();
}

bool ServiceProcess::stop()
{
    if (!isRunning())
        return mProcess.exitStatus() == QProcess::NormalExit && mProcess.exitCode() == 0;
    ::kill(pid_t(mProcess.processId()), SIGTERM);
    if (!mProcess.waitForFinished(60000))
        return false;
    return mProcess.exitStatus() == QProcess::NormalExit && mProcess.exitCode() == 0;
}

QString ServiceProcess::origin() const
{
    const QUrl url(mBaseUrl);
    return url.scheme() + QStringLiteral("://") + url.host() + QLatin1Char(':') + QString::number(url.port());
}

quint16 ServiceProcess::port() const
{
    return quint16(QUrl(mBaseUrl).port());
}

QByteArray ServiceProcess::errorOutput()
{
    mErrors += mProcess.readAllStandardError();
    return mErrors;
}
