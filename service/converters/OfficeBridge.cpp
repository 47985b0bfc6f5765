#include "converters/OfficeBridge.h"

#include "converters/OfficeConverter.h"
#include "converters/ProcessRunner.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QProcess>
#include <QStandardPaths>

#include <csignal>
#include <unistd.h>

namespace {

// A fresh office now and then keeps a long-lived worker's memory in check.
constexpr int kConversionsPerOffice = 200;
constexpr int kPollMs = 100;

QMutex gScriptMutex;
QString gScript;

} // namespace

OfficeBridge::OfficeBridge(const QString &workerFolder, const QString &pipeName)
    : mWorkerFolder(workerFolder), mPipeName(pipeName)
{
}

OfficeBridge::~OfficeBridge()
{
    stop();
}

void OfficeBridge::setScript(const QString &path)
{
    QMutexLocker lock(&gScriptMutex);
    gScript = path;
}

void OfficeBridge::clearTemporaryFiles(const QString &workerFolder)
{
    // A killed office leaves its session folder behind, with whatever the
    // stopped document had unpacked (a small file can inflate to gigabytes).
    const QString temporary = workerFolder + QStringLiteral("/tmp");
    QDir(temporary).removeRecursively();
    QDir().mkpath(temporary);
}

QString OfficeBridge::python()
{
    // The UNO module belongs to the system's interpreter, not to one found earlier on PATH.
    return QFileInfo::exists(QStringLiteral("/usr/bin/python3"))
               ? QStringLiteral("/usr/bin/python3")
               : QStandardPaths::findExecutable(QStringLiteral("python3"));
}

bool OfficeBridge::available()
{
    static const bool found = [] {
        QProcess probe;
        probe.start(python(), {QStringLiteral("-c"), QStringLiteral("import uno")});
        return probe.waitForFinished(30000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
    }();
    QMutexLocker lock(&gScriptMutex);
    return found && QFileInfo::exists(gScript);
}

bool OfficeBridge::start(const ProcessRunner &runner, QString *error)
{
    QString script;
    {
        QMutexLocker lock(&gScriptMutex);
        script = gScript;
    }
    const QString home = mWorkerFolder + QStringLiteral("/home");
    const QString temporary = mWorkerFolder + QStringLiteral("/tmp");
    QDir().mkpath(home);
    clearTemporaryFiles(mWorkerFolder);
    mProcess = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("TMPDIR"), temporary);
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    mProcess->setProcessEnvironment(environment);
    mProcess->setWorkingDirectory(mWorkerFolder);
    mProcess->setStandardErrorFile(mWorkerFolder + QStringLiteral("/office.log"), QIODevice::Append);
    mProcess->setChildProcessModifier([] { ::setpgid(0, 0); });
    mProcess->start(python(),
                    {script, OfficeConverter::program(), mWorkerFolder + QStringLiteral("/profile"), mPipeName});
    if (!mProcess->waitForStarted(30000)) {
        *error = QStringLiteral("The LibreOffice bridge could not be started");
        stop();
        return false;
    }
    mGroup = mProcess->processId();
    const std::optional<QByteArray> ready = readLine(runner);
    if (!ready || !QJsonDocument::fromJson(*ready).object().value(QStringLiteral("ready")).toBool()) {
        *error = QStringLiteral("LibreOffice did not start in the bridge");
        stop();
        return false;
    }
    mConversions = 0;
    return true;
}

std::optional<QByteArray> OfficeBridge::readLine(const ProcessRunner &runner)
{
    while (!mProcess->canReadLine()) {
        if (runner.interrupted() || mProcess->state() == QProcess::NotRunning)
            return std::nullopt;
        mProcess->waitForReadyRead(kPollMs);
    }
    return mProcess->readLine().trimmed();
}

void OfficeBridge::killGroup()
{
    // Never 0: kill(0, ...) would hit the service's own process group.
    if (mGroup > 0)
        ::kill(-pid_t(mGroup), SIGKILL);
}

void OfficeBridge::stop()
{
    if (!mProcess)
        return;
    if (mProcess->state() != QProcess::NotRunning) {
        // Closing its input lets the bridge shut its office down properly.
        mProcess->closeWriteChannel();
        if (!mProcess->waitForFinished(5000)) {
            killGroup();
            mProcess->waitForFinished(5000);
        }
    }
    // Whatever of the office outlived the bridge goes too, and so do its temporary files.
    killGroup();
    mGroup = 0;
    mProcess.reset();
    clearTemporaryFiles(mWorkerFolder);
}

OfficeBridge::Reply OfficeBridge::convert(const QString &input, const QString &output, const QString &filter,
                                          const QString &importFilter, const ProcessRunner &runner)
{
    const QJsonObject request{{QStringLiteral("input"), input},
                              {QStringLiteral("output"), output},
                              {QStringLiteral("filter"), filter},
                              {QStringLiteral("import"), importFilter}};
    const Reply reply = send(request, runner);
    // An office that died while it waited is only noticed now; a fresh one takes the document.
    return reply.stale ? send(request, runner) : reply;
}

OfficeBridge::Reply OfficeBridge::send(const QJsonObject &request, const ProcessRunner &runner)
{
    Reply reply;
    if (mProcess && (mProcess->state() != QProcess::Running || mConversions >= kConversionsPerOffice))
        stop();
    if (!mProcess && !start(runner, &reply.error)) {
        reply.interrupted = runner.interrupted();
        reply.broken = !reply.interrupted;
        return reply;
    }
    ++mConversions;
    mProcess->write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    reply = answer(readLine(runner), runner);
    if (reply.interrupted || reply.crashed || reply.stale) {
        // Nothing of this office is worth a proper shutdown: its group goes at once.
        killGroup();
        stop();
    }
    return reply;
}

OfficeBridge::Reply OfficeBridge::answer(const std::optional<QByteArray> &line, const ProcessRunner &runner)
{
    Reply reply;
    if (!line) {
        // The bridge ended with the conversion under way: its office is gone.
        reply.interrupted = runner.interrupted();
        reply.crashed = !reply.interrupted;
        reply.error = QStringLiteral("LibreOffice ended during the conversion");
        return reply;
    }
    const QJsonObject object = QJsonDocument::fromJson(*line).object();
    reply.ok = object.value(QStringLiteral("ok")).toBool();
    reply.crashed = object.value(QStringLiteral("crashed")).toBool();
    reply.stale = object.value(QStringLiteral("ended")).toBool();
    reply.error = object.value(QStringLiteral("error")).toString();
    reply.broken = object.isEmpty();
    return reply;
}
