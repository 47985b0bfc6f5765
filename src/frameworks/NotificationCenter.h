#pragma once

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <vector>

// In-process notifications by name. Observers are called synchronously on
// the posting thread, in the order they registered; an observer whose owner
// object has been destroyed is dropped.
class NotificationCenter final {
public:
    using Handler = std::function<void(const QString &name, const QVariantMap &userInfo)>;

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter &) = delete;
    NotificationCenter &operator=(const NotificationCenter &) = delete;

    static NotificationCenter &defaultCenter();

    // Registers handler for name, owned by observer (which must not be null).
    // Returns a token for removeObserver(token).
    quint64 addObserver(QObject *observer, const QString &name, Handler handler);
    void removeObserver(quint64 token);
    // Removes every registration of observer (all names).
    void removeObserver(const QObject *observer);
    void postNotificationName(const QString &name, const QVariantMap &userInfo = {});

    int observerCount(const QString &name) const;

private:
    struct Registration {
        quint64 token = 0;
        QPointer<QObject> observer;
        const QObject *observerKey = nullptr;
        QString name;
        Handler handler;
    };

    mutable QMutex mMutex;
    std::vector<Registration> mRegistrations;
    quint64 mNextToken = 1;
};
