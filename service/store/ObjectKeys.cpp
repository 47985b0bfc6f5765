#include "store/ObjectKeys.h"

#include <QRegularExpression>

QString ObjectKeys::pathIn(const QString &folder, const QString &key)
{
    static const QRegularExpression pattern(QStringLiteral("^uploads/([0-9a-f]{32})$"));
    const QRegularExpressionMatch match = pattern.match(key);
    return match.hasMatch() ? folder + QLatin1Char('/') + match.captured(1) : QString();
}
