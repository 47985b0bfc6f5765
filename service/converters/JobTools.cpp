#include "converters/JobTools.h"

bool JobTools::run(const QString &program, const QStringList &arguments, QString *error)
{
    const ProcessRunner::Result result = mRunner.run(program, arguments);
    if (result.succeeded())
        return true;
    if (error)
        *error = mRunner.describe(program, result);
    return false;
}
