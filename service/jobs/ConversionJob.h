#pragma once

#include "converters/Conversions.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class OfficeBridge;

// One task's conversion on a worker's thread: a fresh job folder (with its own
// HOME and TMPDIR), the inputs linked in under neutral names, the converter,
// and the result moved to the task's result folder.
class ConversionJob final {
public:
    struct Source {
        QString objectPath;
        QString extension;
        QString password;
        QString name; // as the client uploaded it
    };
    struct Order {
        QString taskId;
        QString serviceType;
        QJsonObject args;
        QList<Source> sources;
        QString jobFolder;
        QString resultFolder;
        QString profileFolder;
        int timeoutSeconds = 300;
    };
    struct Outcome {
        QString taskId;
        bool cancelled = false;
        QString resultPath; // set on success
        QString errors;     // set on failure
    };
    using Progress = std::function<void(int percent)>;
    using Done = std::function<void(const Outcome &outcome)>;

    ConversionJob(Order order, std::shared_ptr<std::atomic_bool> cancel, Progress progress, Done done);

    // `office`: the worker's warm LibreOffice, or none for cold runs.
    void run(OfficeBridge *office);

    // A neutral extension for an input: lower-case letters and digits only.
    static QString safeExtension(const QString &clientName);

private:
    Outcome convert(OfficeBridge *office);
    bool makeFolders(QString *error) const;
    bool linkInputs(QList<JobInput> *inputs, QString *error) const;
    QString keepResult(const QString &made, QString *error) const;

    Order mOrder;
    std::shared_ptr<std::atomic_bool> mCancel;
    Progress mProgress;
    Done mDone;
};
