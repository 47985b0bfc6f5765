#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// A real mirelune-service started for a test on 127.0.0.1 with its own data
// folder; start() waits (bounded) for its ready line.
class ServiceProcess final {
public:
    explicit ServiceProcess(const QString &dataFolder);
    ~ServiceProcess();
    ServiceProcess(const ServiceProcess &) = delete;
    ServiceProcess &operator=(const ServiceProcess &) = delete;

    bool start(const QStringList &extraArguments = {});
    // start() in two halves, for services that start together.
    bool begin(const QStringList &extraArguments = {});
    bool waitUntilReady();
    // SIGKILL: a node that dies without a word.
    void kill();
    // SIGTERM and a bounded wait; true when it ended by itself with exit code 0.
    bool stop();
    bool isRunning() const { return mProcess.state() != QProcess::NotRunning; }

    static QString binary();
    QString dataFolder() const { return mDataFolder; }
    QString baseUrl() const { return mBaseUrl; }
    QString origin() const; // "https://127.0.0.1:PORT"
    quint16 port() const;
    QString caFile() const { return mCaFile; }
    QByteArray identityToken() const { return mIdentityToken; }
    qint64 pid() const { return mPid; }
    QByteArray readyLine() const { return mReadyLine; }
    QByteArray errorOutput();

private:
    QString mDataFolder;
    QProcess mProcess;
    QByteArray mReadyLine;
    QByteArray mErrors;
    QString mBaseUrl;
    QString mCaFile;
    QByteArray mIdentityToken;
    qint64 mPid = 0;
};
