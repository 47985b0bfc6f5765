#include "tools/ToolError.h"

#include <cstring>
#include <utility>

namespace {

// strerror_r comes in two flavours: the GNU one returns the text (which may
// or may not live in the buffer), the XSI one fills the buffer and returns 0.
[[maybe_unused]] const char *strerrorText(int result, const char *buffer)
{
    return result == 0 ? buffer : nullptr;
}

[[maybe_unused]] const char *strerrorText(const char *result, const char *)
{
    return result;
}

QString errnoDescription(int errnoValue)
{
    char buffer[256] = {};
    const char *text = strerrorText(strerror_r(errnoValue, buffer, sizeof buffer), buffer);
    if (!text || !*text)
        return QStringLiteral("Unknown error %1").arg(errnoValue);
    return QString::fromLocal8Bit(text);
}

} // namespace

ToolError::ToolError(QString domain, qint64 code, QString localizedDescription, QString localizedFailureReason,
                     QVariantMap userInfo)
    : mDomain(std::move(domain)), mCode(code), mLocalizedDescription(std::move(localizedDescription)),
      mLocalizedFailureReason(std::move(localizedFailureReason)), mUserInfo(std::move(userInfo))
{
}

ToolError ToolError::fromErrno(int errnoValue, const QString &path, const QString &operation)
{
    const QString description = errnoDescription(errnoValue);
    // e.g. 'move "/a/b.pdf" to "/c/b.pdf": File exists'
    const QString reason = operation + QStringLiteral(" \"") + path + QStringLiteral("\": ") + description;
    QVariantMap userInfo;
    userInfo.insert(QStringLiteral("NSFilePath"), path);
    return ToolError(QStringLiteral("NSPOSIXErrorDomain"), errnoValue, description, reason, userInfo);
}
