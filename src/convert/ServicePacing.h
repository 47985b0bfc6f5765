#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <atomic>
#include <memory>
#include <optional>

// How fast one run asks for task statuses and how far apart it starts its
// downloads. A remote service may rely on the default pace (a status poll
// every 3 s, downloads 1 s apart), so that pace holds unless the service's
// task-creation and task-status replies hint otherwise ("poll_interval_ms",
// "download_stagger_ms" in "data"). The settings keys win over both. Every
// value is held within bounds, so neither a hint nor a hand-edited setting
// can make the client hammer a service or stall a run. Thread-safe: the
// run's tasks read it and take hints from their own threads.
class ServicePacing final {
public:
    static constexpr int kDefaultPollMs = 3000;
    static constexpr int kDefaultStaggerMs = 1000;
    static constexpr int kMinPollMs = 100;
    static constexpr int kMaxMs = 60000;

    static inline const QString kPollIntervalKey = QStringLiteral("service/pollIntervalMs");
    static inline const QString kDownloadStaggerKey = QStringLiteral("service/downloadStaggerMs");

    // The pace before any hint: the defaults, each replaced by its setting
    // when that is a number (an unusable setting is ignored).
    ServicePacing(int defaultPollMs, int defaultStaggerMs, const QVariant &pollSetting, const QVariant &staggerSetting);
    // The same with the settings read from the preference store.
    static std::shared_ptr<ServicePacing> fromSettings(int defaultPollMs);

    // Takes the hint of a reply's "data" object; values the settings fixed stay.
    // Returns the poll wait that reply asked for (0 for none, or when the
    // settings fix the pace), for the task it concerns.
    int takeHint(const QVariantMap &data);

    int pollIntervalMs() const { return mPollMs; }
    // The wait before a task's next poll: the task's own hint, the one its
    // latest reply gave, where there is one. A service aims each task's hint
    // at that task's likely end; a queued task's is longer than a running one's.
    int pollIntervalMs(int taskHintMs) const { return taskHintMs > 0 ? taskHintMs : mPollMs.load(); }
    int downloadStaggerMs() const { return mStaggerMs; }

    // A hinted or configured value in milliseconds, clamped to [minimum, kMaxMs];
    // nothing for a value that is no number.
    static std::optional<int> boundedMilliseconds(const QVariant &value, int minimum);

private:
    std::atomic<int> mPollMs;
    std::atomic<int> mStaggerMs;
    bool mPollFixed = false;
    bool mStaggerFixed = false;
};
