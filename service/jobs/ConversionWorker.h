#pragma once

#include <QObject>
#include <QString>

#include <memory>

class ConversionJob;
class OfficeBridge;

// One worker slot: a thread of its own that runs one job at a time, and the
// warm LibreOffice that the slot's jobs share (when the bridge is available).
class ConversionWorker final : public QObject {
    Q_OBJECT
public:
    ConversionWorker(const QString &folder, const QString &pipeName, bool warmOffice);
    ~ConversionWorker() override;

    // Runs on the worker's thread; takes the job.
    void run(ConversionJob *job);

private:
    QString mFolder;
    QString mPipeName;
    bool mWarmOffice;
    std::unique_ptr<OfficeBridge> mOffice;
};
