#pragma once

#include <QString>

#include <functional>

class DIRADoduredode;

// Asks the update feed whether a newer version exists. The feed is a JSON
// object {"version": "1.2.0", "url": "<download page>", "notes": "..."} at the
// address of the settings key "update/feed_url".
class UpdateChecker final {
public:
    enum class Outcome { NewerVersion, UpToDate, NotConfigured, Failed };

    struct Result {
        Outcome outcome = Outcome::Failed;
        QString latestVersion;
        QString downloadUrl;
        QString notes;
        QString failure; // plain words, for the user's own check
    };

    UpdateChecker() = delete;

    // Completion on the HTTP client's thread.
    static void check(const QString &currentVersion, const std::function<void(const Result &)> &completion);
    static void check(DIRADoduredode &client, const QString &feedUrl, const QString &currentVersion,
                      const std::function<void(const Result &)> &completion);

    static QString feedUrl();
    // The judgement of a feed body against the running version.
    static Result judge(const QByteArray &body, const QString &currentVersion);
    // Numeric comparison of dotted versions ("1.10" > "1.9"); text after the
    // numbers ("1.0.0 (06/08/2020)") is ignored. <0, 0, >0.
    static int compareVersions(const QString &a, const QString &b);

    static inline const QString kFeedUrlKey = QStringLiteral("update/feed_url");
};
