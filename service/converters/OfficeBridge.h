#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <memory>
#include <optional>

class ProcessRunner;
class QProcess;

// A LibreOffice process kept warm for one worker, driven through a small
// Python UNO bridge (office_bridge.py) over its standard streams. Starting
// LibreOffice costs far more than a small conversion, so a worker that keeps
// one running converts several times faster than cold runs. The bridge and its
// office form one process group, killed together on a time-out or when the
// office dies during a conversion. The office's temporary files live in the
// worker's tmp folder, emptied whenever the office has ended. Lives on its
// worker's thread.
class OfficeBridge final {
public:
    struct Reply {
        bool ok = false;
        bool interrupted = false; // time-out or shutdown: the bridge was killed
        bool broken = false;      // the bridge itself failed; a cold run may still work
        bool crashed = false;     // the office ended during the conversion
        bool stale = false;       // the office had ended before it got the document
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
    // Empties a worker's temporary folder; only while no office of it runs.
    static void clearTemporaryFiles(const QString &workerFolder);

    // `filter`: an export filter name, or "pdf" for the PDF export that suits the document.
    Reply convert(const QString &input, const QString &output, const QString &filter, const QString &importFilter,
                  const ProcessRunner &runner);

private:
    bool start(const ProcessRunner &runner, QString *error);
    Reply send(const QJsonObject &request, const ProcessRunner &runner);
    std::optional<QByteArray> readLine(const ProcessRunner &runner);
    Reply answer(const std::optional<QByteArray> &line, const ProcessRunner &runner);
    void stop();
    void killGroup();
    static QString python();

    QString mWorkerFolder;
    QString mPipeName;
    std::unique_ptr<QProcess> mProcess;
    qint64 mGroup = 0;
    int mConversions = 0;
};
