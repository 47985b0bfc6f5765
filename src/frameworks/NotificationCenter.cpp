#include "frameworks/NotificationCenter.h"

#include <QMutexLocker>

#include <algorithm>

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

quint64 NotificationCenter::addObserver(QObject *observer, const QString &name, Handler handler)
{
    Q_ASSERT(observer);
    QMutexLocker lock(&mMutex);
    const quint64 token = mNextToken++;
    mRegistrations.push_back({token, observer, observer, name, std::move(handler)});
    return token;
}

void NotificationCenter::removeObserver(quint64 token)
{
    QMutexLocker lock(&mMutex);
    std::erase_if(mRegistrations, [token](const Registration &r) { return r.token == token; });
}

void NotificationCenter::removeObserver(const QObject *observer)
{
    QMutexLocker lock(&mMutex);
    std::erase_if(mRegistrations, [observer](const Registration &r) { return r.observerKey == observer; });
}

void NotificationCenter::postNotificationName(const QString &name, const QVariantMap &userInfo)
{
    // Handlers run without the lock so that they may post or (un)register.
    std::vector<std::pair<quint64, Handler>> handlers;
    {
        QMutexLocker lock(&mMutex);
        std::erase_if(mRegistrations, [](const Registration &r) { return r.observer.isNull(); });
        for (const Registration &r : mRegistrations) {
            if (r.name == name)
                handlers.emplace_back(r.token, r.handler);
        }
    }
    for (const auto &[token, handler] : handlers) {
        bool stillRegistered = false;
        {
            QMutexLocker lock(&mMutex);
            stillRegistered =
                std::any_of(mRegistrations.begin(), mRegistrations.end(), [token = token](const Registration &r) {
                    return r.token == token && !r.observer.isNull();
                });
        }
        if (stillRegistered)
            handler(name, userInfo);
    }
}

int NotificationCenter::observerCount(const QString &name) const
{
    QMutexLocker lock(&mMutex);
    return int(std::count_if(mRegistrations.begin(), mRegistrations.end(),
                             [&name](const Registration &r) { return r.name == name && !r.observer.isNull(); }));
}
