#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

class ProcessRunner;
class QProcess;

// A LibreOffice process kept warm for one worker, driven through a small
// Python UNO bridge (office_bridge.py) over its standard streams. Starting
// LibreOffice costs far more than a small conversion, so a worker that keeps
// one running converts several times faster than cold runs. The bridge and its
// office form one process group, killed together on a time-out. Lives on its
// worker's thread.
class OfficeBridge final {
public:
    struct Reply {
        bool ok = false;
        bool interrupted = false; // time-out or shutdown: the bridge was killed
        bool broken = false;      // the bridge itself failed; a cold run may still work
        QString error;
    };

    OfficeBridge(const QString &workerFolder, const QString &pipeName);
    ~OfficeBridge();
    OfficeBridge(const OfficeBridge &) = delete;
    OfficeBridge &operator=(const OfficeBridge &) = delete;

    // Whether python3 with the UNO module and the bridge script are there.
    static bool available();
    // Where the service put the bridge script (written at start-up).
    static void setScript(const QString &path);

    // `filter`: an export filter name, or "pdf" for the PDF export that suits the document.
    Reply convert(const QString &input, const QString &output, const QString &filter, const QString &importFilter,
                  const ProcessRunner &runner);

private:
    bool start(const ProcessRunner &runner, QString *error);
    std::optional<QByteArray> readLine(const ProcessRunner &runner);
    void stop();
    void killGroup();
    static QString python();

    QString mWorkerFolder;
    QString mPipeName;
    std::unique_ptr<QProcess> mProcess;
    qint64 mGroup = 0;
    int mConversions = 0;
};
