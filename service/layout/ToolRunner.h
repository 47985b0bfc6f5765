#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Runs the programs the layout engine reads a PDF with. The service gives
// it its job's process runner (argument lists, the job's deadline); tests
// may run the programs directly.
class ToolRunner {
public:
    virtual ~ToolRunner() = default;
    // True when the program ran and succeeded; otherwise *error says why.
    virtual bool run(const QString &program, const QStringList &arguments, QString *error) = 0;
    // What the last run printed on its standard output and error, up to a sane limit.
    virtual QByteArray output() const = 0;
};
