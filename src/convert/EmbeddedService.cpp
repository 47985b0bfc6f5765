#include "convert/EmbeddedService.h"

#include "protocol/WireFields.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace {

const QString kProgramName = QStringLiteral("mirelune-service");
constexpr int kStartTimeoutMs = 30000;
constexpr int kHealthTimeoutMs = 3000;
constexpr int kIdleExitMinutes = 10;
constexpr qint64 kMaxLogBytes = 1024 * 1024;

QJsonObject readJson(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
}

bool processAlive(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

QString logTail(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    file.seek(qMax<qint64>(0, file.size() - 400));
    return QString::fromUtf8(file.readAll()).trimmed().section(QLatin1Char('\n'), -1);
}

} // namespace

QString EmbeddedService::dataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Mirelune/service");
}

QString EmbeddedService::findProgram()
{
    const QString here = QCoreApplication::applicationDirPath();
    const QStringList candidates = {here + QStringLiteral("/../service/") + kProgramName,
                                    here + QStringLiteral("/../../service/") + kProgramName,
                                    here + QLatin1Char('/') + kProgramName};
    for (const QString &candidate : candidates) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable())
            return info.canonicalFilePath();
    }
    return QStandardPaths::findExecutable(kProgramName);
}

std::optional<EmbeddedService::Endpoint> EmbeddedService::ensureRunning(QString *error)
{
    return ensureRunning(dataFolder(), findProgram(), error);
}

std::optional<EmbeddedService::Endpoint> EmbeddedService::ensureRunning(const QString &folder, const QString &program,
                                                                        QString *error)
{
    if (std::optional<Endpoint> running = runningEndpoint(folder))
        return running;
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("Cannot create the service folder %1").arg(folder);
        return std::nullopt;
    }
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // One launcher starts the service at a time; the others find it running.
    QLockFile lock(folder + QStringLiteral("/launch.lock"));
    if (!lock.tryLock(kStartTimeoutMs)) {
        if (error)
            *error = QStringLiteral("Another launcher is still starting the conversion service");
        return std::nullopt;
    }
    if (std::optional<Endpoint> running = runningEndpoint(folder))
        return running;
    return start(folder, program, error);
}

std::optional<EmbeddedService::Endpoint> EmbeddedService::start(const QString &folder, const QString &program,
                                                                QString *error)
{
    if (program.isEmpty()) {
        if (error)
            *error = QStringLiteral("%1 was found neither beside this program nor on PATH").arg(kProgramName);
        return std::nullopt;
    }
    const QString log = folder + QStringLiteral("/service.log");
    if (QFileInfo(log).size() > kMaxLogBytes)
        QFile::remove(log);
    QProcess process;
    process.setProgram(program);
    process.setArguments(
        {QStringLiteral("--data"), folder, QStringLiteral("--idle-exit"), QString::number(kIdleExitMinutes)});
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(log, QIODevice::Append);
    // A session of its own: Ctrl-C in the launcher's terminal must not reach it.
    process.setChildProcessModifier([] { ::setsid(); });
    qint64 pid = 0;
    if (!process.startDetached(&pid)) {
        if (error)
            *error = QStringLiteral("Cannot start %1: %2").arg(program, process.errorString());
        return std::nullopt;
    }
    const QDeadlineTimer deadline(kStartTimeoutMs);
    while (!deadline.hasExpired()) {
        if (std::optional<Endpoint> running = runningEndpoint(folder))
            return running;
        if (!processAlive(pid))
            break;
        QThread::msleep(100);
    }
    // It may have lost a race to a service another user session started.
    if (std::optional<Endpoint> running = runningEndpoint(folder))
        return running;
    if (error) {
        const QString reason = logTail(log);
        *error = QStringLiteral("The conversion service did not start") +
                 (reason.isEmpty() ? QString() : QStringLiteral(": ") + reason);
    }
    return std::nullopt;
}

std::optional<EmbeddedService::Endpoint> EmbeddedService::runningEndpoint(const QString &folder)
{
    const QJsonObject ready = readJson(folder + QStringLiteral("/ready.json"));
    Endpoint endpoint{ready.value(WireFields::kBaseUrl).toString(), ready.value(WireFields::kCaFile).toString(),
                      ready.value(WireFields::kIdentityToken).toString()};
    const qint64 pid = ready.value(WireFields::kPid).toInteger();
    if (endpoint.baseUrl.isEmpty() || endpoint.identityToken.isEmpty() || !processAlive(pid) ||
        !healthy(endpoint.baseUrl, endpoint.caFile, pid))
        return std::nullopt;
    return endpoint;
}

bool EmbeddedService::healthy(const QString &baseUrl, const QString &caFile, qint64 pid)
{
    const QUrl url(baseUrl);
    const QList<QSslCertificate> authority = QSslCertificate::fromPath(caFile);
    if (!url.isValid() || url.scheme() != QLatin1String("https") || authority.isEmpty())
        return false;
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setCaCertificates(authority);
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    // Blocking calls: this runs on whatever thread asks, with or without an event loop.
    QSslSocket socket;
    socket.setSslConfiguration(configuration);
    socket.connectToHostEncrypted(url.host(), quint16(url.port(443)));
    if (!socket.waitForEncrypted(kHealthTimeoutMs))
        return false;
    const QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    socket.write("GET " + url.path(QUrl::FullyEncoded).toLatin1() + "/health HTTP/1.1\r\nHost: " + host + ':' +
                 QByteArray::number(url.port(443)) + "\r\nConnection: close\r\n\r\n");
    QByteArray response;
    const QDeadlineTimer deadline(kHealthTimeoutMs);
    while (!deadline.hasExpired() && socket.state() == QAbstractSocket::ConnectedState) {
        if (socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            response += socket.readAll();
    }
    response += socket.readAll();
    const qsizetype bodyStart = response.indexOf("\r\n\r\n");
    if (!response.startsWith("HTTP/1.1 200") || bodyStart < 0)
        return false;
    const QJsonObject reply = QJsonDocument::fromJson(response.mid(bodyStart + 4)).object();
    return reply.value(WireFields::kStatus).toInt() == 1 &&
           reply.value(WireFields::kData).toObject().value(WireFields::kPid).toInteger() == pid;
}
