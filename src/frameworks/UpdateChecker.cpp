#include "frameworks/UpdateChecker.h"

#include "frameworks/DIRADoduredode.h"
#include "settings/UserDefaults.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrl>
#include <QVersionNumber>

QString UpdateChecker::feedUrl()
{
    return objectFromUserDefaults(kFeedUrlKey, QVariant()).toString().trimmed();
}

int UpdateChecker::compareVersions(const QString &a, const QString &b)
{
    return QVersionNumber::compare(QVersionNumber::fromString(a.trimmed()), QVersionNumber::fromString(b.trimmed()));
}

UpdateChecker::Result UpdateChecker::judge(const QByteArray &body, const QString &currentVersion)
{
    Result result;
    QJsonParseError error{};
    const QJsonObject feed = QJsonDocument::fromJson(body, &error).object();
    const QString latest = feed.value(QLatin1String("version")).toString().trimmed();
    if (error.error != QJsonParseError::NoError || QVersionNumber::fromString(latest).isNull()) {
        result.failure = QStringLiteral("The update information could not be read.");
        return result;
    }
    result.latestVersion = latest;
    result.downloadUrl = feed.value(QLatin1String("url")).toString();
    result.notes = feed.value(QLatin1String("notes")).toString();
    result.outcome = compareVersions(latest, currentVersion) > 0 ? Outcome::NewerVersion : Outcome::UpToDate;
    return result;
}

void UpdateChecker::check(const QString &currentVersion, const std::function<void(const Result &)> &completion)
{
    check(DIRADoduredode::shared(), feedUrl(), currentVersion, completion);
}

void UpdateChecker::check(DIRADoduredode &client, const QString &feed, const QString &currentVersion,
                          const std::function<void(const Result &)> &completion)
{
    const QUrl url(feed);
    if (feed.isEmpty() || !url.isValid() || url.scheme() != QLatin1String("https")) {
        Result result;
        result.outcome = Outcome::NotConfigured;
        result.failure = QStringLiteral("No update address is configured.");
        completion(result);
        return;
    }
    client.GETtWithUrl(feed, {}, {}, [currentVersion, completion](const ToolError &error, const QVariant &reply) {
        if (!error.isNull()) {
            Result result;
            result.failure =
                QStringLiteral("The update server could not be reached: %1").arg(error.localizedDescription());
            completion(result);
            return;
        }
        completion(judge(reply.toByteArray(), currentVersion));
    });
}
