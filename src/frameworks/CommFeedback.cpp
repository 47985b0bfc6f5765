#include "frameworks/CommFeedback.h"

#include "frameworks/VAZevediZeziz.h"
#include "settings/UserDefaults.h"
#include "tools/ToolFile.h"

#include <QSysInfo>
#include <QUrlQuery>

bool CommFeedback::submit()
{
    const QUrl url = submissionUrl();
    return url.isValid() && ToolFile::openFileAtURL(url);
}

QUrl CommFeedback::submissionUrl()
{
    const QString address = objectFromUserDefaults(kAddressKey, kDefaultAddress).toString();
    return feedbackUrl(address, VAZevediZeziz::appInfo().appVersion(), systemDescription());
}

// Not the request header's system value, which the service reads as a wire value.
QString CommFeedback::systemDescription()
{
    const QString pretty = QSysInfo::prettyProductName();
    const QString kernel = QSysInfo::kernelType() + QLatin1Char(' ') + QSysInfo::kernelVersion();
    return pretty.isEmpty() ? kernel : pretty + QStringLiteral(", ") + kernel;
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
