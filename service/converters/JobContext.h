#pragma once

#include "converters/ProcessRunner.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <functional>

class OfficeBridge;

// One input of a job, already inside the job folder.
struct JobInput {
    QString path;      // job/in/input-N.ext
    QString extension; // lower-case, without the dot
    QString password;
    QString name; // the client's file name, for error texts only
};

// Everything a converter may touch: its job folder, its inputs, the task's
// arguments and the runner that starts programs for it.
struct JobContext {
    QString folder;
    QString outFolder;
    QString profileFolder; // the worker's own LibreOffice profile
    QList<JobInput> inputs;
    QJsonObject args;
    ProcessRunner *runner = nullptr;
    OfficeBridge *office = nullptr; // the worker's warm LibreOffice, when there is one
    std::function<void(int)> progress;

    QString argText(QLatin1String name) const { return args.value(name).toVariant().toString(); }
};

// What a converter made: a file in the job folder, or why it made none.
struct ConversionResult {
    QString path;
    QString error;

    static ConversionResult made(const QString &path) { return {path, {}}; }
    static ConversionResult failed(const QString &error) { return {{}, error}; }
    bool ok() const { return error.isEmpty() && !path.isEmpty(); }
};
