#include "convert/ServicePacing.h"

#include "protocol/WireFields.h"
#include "settings/UserDefaults.h"

#include <algorithm>
#include <cmath>

ServicePacing::ServicePacing(int defaultPollMs, int defaultStaggerMs, const QVariant &pollSetting,
                             const QVariant &staggerSetting)
    : mPollMs(defaultPollMs), mStaggerMs(defaultStaggerMs)
{
    if (const std::optional<int> poll = boundedMilliseconds(pollSetting, kMinPollMs)) {
        mPollMs = *poll;
        mPollFixed = true;
    }
    if (const std::optional<int> stagger = boundedMilliseconds(staggerSetting, 0)) {
        mStaggerMs = *stagger;
        mStaggerFixed = true;
    }
}

std::shared_ptr<ServicePacing> ServicePacing::fromSettings(int defaultPollMs)
{
    return std::make_shared<ServicePacing>(defaultPollMs, kDefaultStaggerMs,
                                           objectFromUserDefaults(kPollIntervalKey, QVariant()),
                                           objectFromUserDefaults(kDownloadStaggerKey, QVariant()));
}

int ServicePacing::takeHint(const QVariantMap &data)
{
    int taskHint = 0;
    if (!mPollFixed) {
        if (const std::optional<int> poll = boundedMilliseconds(data.value(WireFields::kPollIntervalMs), kMinPollMs)) {
            mPollMs = *poll;
            taskHint = *poll;
        }
    }
    if (!mStaggerFixed) {
        if (const std::optional<int> stagger = boundedMilliseconds(data.value(WireFields::kDownloadStaggerMs), 0))
            mStaggerMs = *stagger;
    }
    return taskHint;
}

std::optional<int> ServicePacing::boundedMilliseconds(const QVariant &value, int minimum)
{
    double number = 0;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        number = value.toDouble();
        break;
    case QMetaType::QString: {
        bool ok = false;
        number = value.toString().trimmed().toDouble(&ok);
        if (!ok)
            return std::nullopt;
        break;
    }
    default:
        return std::nullopt; // absent, null, true/false, lists and objects
    }
    if (std::isnan(number))
        return std::nullopt;
    return int(std::clamp(number, double(minimum), double(kMaxMs)));
}
