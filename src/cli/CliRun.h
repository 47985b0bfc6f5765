#pragma once

#include "cli/CliOptions.h"
#include "cli/ProgressPrinter.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QSocketNotifier>
#include <QStringList>

#include <memory>

// One invocation of mirelune-cli: configures the client, takes the paths in
// like the window does, runs the conversion and turns its outcome into
// output lines and an exit status.
class CliRun final : public QObject {
    Q_OBJECT
public:
    explicit CliRun(CliOptions options, QObject *parent = nullptr);
    ~CliRun() override;

    void start();

    static constexpr int kExitOk = 0;
    static constexpr int kExitSomeFailed = 1;
    static constexpr int kExitUsage = 2;
    static constexpr int kExitRunFailed = 3;
    static constexpr int kExitInterrupted = 130;

signals:
    void finished(int exitCode);

private:
    bool configure(QString *errorText);
    QStringList takeInputs();
    void onCompleted(int status, const QStringList &paths, const QString &message);
    void skip(const QString &path, const QString &reason);
    // Prints the line of every input and the summary; the number of failed inputs.
    qsizetype reportFiles(int status, const QStringList &paths, const QString &message);
    static QString failedLine(const QString &path, const QString &reason);
    void watchInterrupt();
    void interrupt();
    void end(int exitCode);

    CliOptions mOptions;
    ProgressPrinter mProgress;
    QList<QPair<QString, QString>> mSkipped; // user paths that never reached the run, with why
    QStringList mInputs;                     // the run's input paths (unlocked copies for protected files)
    QStringList mUserPaths;                  // the user's path of each input
    std::unique_ptr<QSocketNotifier> mInterruptNotifier;
    bool mEnded = false;
};
