#pragma once

#include <QDeadlineTimer>
#include <QString>
#include <QStringList>

#include <atomic>

// Runs the converters of one job: an argument list (never a shell), HOME and
// TMPDIR inside the job folder, its own process group, and the job's deadline
// and cancel flag; on either the whole group is killed.
class ProcessRunner final {
public:
    struct Result {
        bool started = false;
        bool timedOut = false;
        bool cancelled = false;
        int exitCode = -1;
        QString output; // the tail of what the program wrote on its standard output
        QString errors; // the tail of what it wrote on its standard error

        // The program's last word: its last line of errors, else of output.
        QString lastLine() const;

        bool succeeded(int allowedExitCode = 0) const
        {
            return started && !timedOut && !cancelled && (exitCode == 0 || exitCode == allowedExitCode);
        }
    };

    ProcessRunner(const QString &jobFolder, QDeadlineTimer deadline, const std::atomic_bool *cancel);

    Result run(const QString &program, const QStringList &arguments);
    // A short text for a run that did not succeed, naming the program.
    QString describe(const QString &program, const Result &result) const;

    // All the last run wrote on its standard output, up to a sane limit.
    QByteArray lastOutput() const;

    int timeoutSeconds() const;
    bool interrupted() const;
    // What a run stopped now would report: timed out or cancelled.
    Result interruption() const;

private:
    QString logFile(const char *suffix) const;
    static QString readTail(const QString &path);

    QString mJobFolder;
    QDeadlineTimer mDeadline;
    const std::atomic_bool *mCancel;
    int mRuns = 0;
    qint64 mTimeoutMs;
};
