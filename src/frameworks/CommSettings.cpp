#include "frameworks/CommSettings.h"

#include "MireluneVersion.h"

QString CommSettings::getAppVersion(const QString &releaseDate)
{
    const QString version = QStringLiteral(MIRELUNE_VERSION);
    return releaseDate.isEmpty() ? version : QStringLiteral("%1 (%2)").arg(version, releaseDate);
}
