#include "converters/ProcessRunner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace {

constexpr qint64 kLogTail = 2000;
constexpr int kPollMs = 100;

void killGroup(qint64 pid)
{
    if (pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
}

} // namespace

ProcessRunner::ProcessRunner(const QString &jobFolder, QDeadlineTimer deadline, const std::atomic_bool *cancel)
    : mJobFolder(jobFolder), mDeadline(deadline), mCancel(cancel), mTimeoutMs(deadline.remainingTime())
{
}

int ProcessRunner::timeoutSeconds() const
{
    return int((mTimeoutMs + 999) / 1000);
}

bool ProcessRunner::interrupted() const
{
    return mDeadline.hasExpired() || (mCancel && mCancel->load());
}

ProcessRunner::Result ProcessRunner::interruption() const
{
    Result result;
    result.started = true;
    result.timedOut = mDeadline.hasExpired();
    result.cancelled = !result.timedOut && mCancel && mCancel->load();
    return result;
}

QString ProcessRunner::Result::lastLine() const
{
    const QString &last = errors.isEmpty() ? output : errors;
    return last.section(QLatin1Char('\n'), -1).trimmed();
}

QString ProcessRunner::logFile(const char *suffix) const
{
    return mJobFolder + QStringLiteral("/tmp/process-") + QString::number(mRuns) + QLatin1String(suffix);
}

ProcessRunner::Result ProcessRunner::run(const QString &program, const QStringList &arguments)
{
    Result result;
    ++mRuns;
    const QString executable = QFileInfo(program).isAbsolute() ? program : QStandardPaths::findExecutable(program);
    if (executable.isEmpty() || interrupted()) {
        result.timedOut = mDeadline.hasExpired();
        result.cancelled = mCancel && mCancel->load();
        return result;
    }
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), mJobFolder + QStringLiteral("/home"));
    environment.insert(QStringLiteral("TMPDIR"), mJobFolder + QStringLiteral("/tmp"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("SESSION_MANAGER"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(mJobFolder);
    // Apart: a tool's warnings, unbuffered, would land inside the buffered
    // output it is asked for, even in the middle of a line.
    process.setStandardOutputFile(logFile(".log"));
    process.setStandardErrorFile(logFile(".err"));
    process.setStandardInputFile(QProcess::nullDevice());
    // Its own process group, so that everything it starts can be killed together.
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    process.start(executable, arguments);
    if (!process.waitForStarted(30000))
        return result;
    result.started = true;
    const qint64 pid = process.processId();
    while (!process.waitForFinished(kPollMs)) {
        if (process.state() == QProcess::NotRunning)
            break;
        if (interrupted()) {
            result.timedOut = mDeadline.hasExpired();
            result.cancelled = !result.timedOut;
            killGroup(pid);
            process.waitForFinished(5000);
            break;
        }
    }
    // Helpers it left behind in its group go too.
    killGroup(pid);
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = readTail(logFile(".log"));
    result.errors = readTail(logFile(".err"));
    return result;
}

QByteArray ProcessRunner::lastOutput() const
{
    QFile file(logFile(".log"));
    return file.open(QIODevice::ReadOnly) ? file.read(16 * 1024 * 1024) : QByteArray();
}

QString ProcessRunner::readTail(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    if (file.size() > kLogTail)
        file.seek(file.size() - kLogTail);
    return QString::fromUtf8(file.readAll()).trimmed();
}

QString ProcessRunner::describe(const QString &program, const Result &result) const
{
    const QString name = QFileInfo(program).fileName();
    if (result.cancelled)
        return QStringLiteral("The conversion was stopped because the service is shutting down");
    if (result.timedOut)
        return QStringLiteral("The conversion took longer than %1 seconds and was stopped (%2)")
            .arg(timeoutSeconds())
            .arg(name);
    if (!result.started)
        return QStringLiteral("%1 could not be started (is it installed?)").arg(name);
    const QString lastLine = result.lastLine();
    return lastLine.isEmpty() ? QStringLiteral("%1 failed with exit code %2").arg(name).arg(result.exitCode)
                              : QStringLiteral("%1 failed: %2").arg(name, lastLine);
}
