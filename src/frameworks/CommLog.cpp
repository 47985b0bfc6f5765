#include "frameworks/CommLog.h"

#include "tools/Log.h"

void CommLog::I(const QString &message)
{
    logWrite(QStringLiteral("I: ") + message);
}

void CommLog::E(const QString &message)
{
    logWrite(QStringLiteral("E: ") + message);
}
