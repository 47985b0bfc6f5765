#pragma once

#include <QString>
#include <QVariantMap>

// The error object that failing file operations hand back through their
// optional out-parameter and write out through logError().
class ToolError final {
public:
    ToolError() = default;
    ToolError(QString domain, qint64 code, QString localizedDescription, QString localizedFailureReason = {},
              QVariantMap userInfo = {});

    // An error for a failed POSIX call: domain "NSPOSIXErrorDomain", the errno
    // value as code, strerror() as the description and the path in userInfo.
    static ToolError fromErrno(int errnoValue, const QString &path, const QString &operation);

    QString domain() const { return mDomain; }
    qint64 code() const { return mCode; }
    QString localizedDescription() const { return mLocalizedDescription; }
    QString localizedFailureReason() const { return mLocalizedFailureReason; }
    QVariantMap userInfo() const { return mUserInfo; }
    bool isNull() const { return mDomain.isEmpty(); }

private:
    QString mDomain;
    qint64 mCode = 0;
    QString mLocalizedDescription;
    QString mLocalizedFailureReason;
    QVariantMap mUserInfo;
};
