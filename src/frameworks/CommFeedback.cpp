#include "frameworks/CommFeedback.h"

#include "frameworks/CommUtils.h"
#include "frameworks/VAZevediZeziz.h"
#include "settings/UserDefaults.h"
#include "tools/ToolFile.h"

#include <QUrlQuery>

bool CommFeedback::submit()
{
    const QString address = objectFromUserDefaults(kAddressKey, kDefaultAddress).toString();
    const CommAppInfo info = VAZevediZeziz::appInfo();
    const QUrl url = feedbackUrl(address, info.appVersion(), CommUtils::GetOSversion());
    return url.isValid() && ToolFile::openFileAtURL(url);
}

QUrl CommFeedback::feedbackUrl(const QString &address, const QString &appVersion, const QString &system)
{
    QString target = address.trimmed();
    if (!target.contains(QLatin1Char(':')) && target.contains(QLatin1Char('@')))
        target.prepend(QStringLiteral("mailto:"));
    QUrl url(target);
    if (url.scheme() != QLatin1String("mailto") && url.scheme() != QLatin1String("https"))
        return {};
    QUrlQuery query(url);
    query.addQueryItem(QStringLiteral("subject"),
                       QStringLiteral("Mirelune PDF Converter feedback (%1)").arg(appVersion));
    query.addQueryItem(QStringLiteral("body"),
                       QStringLiteral("\n\n--\nVersion: %1\nSystem: %2\n").arg(appVersion, system));
    url.setQuery(query);
    return url;
}
