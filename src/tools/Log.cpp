#include "tools/Log.h"

#include "tools/ToolError.h"
#include "tools/ToolFile.h"
#include "tools/ToolString.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

#include <cxxabi.h>
#include <syslog.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <typeinfo>

namespace {

// The log path is written by logFileOpen() and read by every line, from any
// thread: a mutex keeps the QString copy race-free.
std::mutex &logPathMutex()
{
    static std::mutex mutex;
    return mutex;
}

QString &logPathStorage()
{
    static QString path;
    return path;
}

void setLogPath(const QString &path)
{
    const std::lock_guard<std::mutex> lock(logPathMutex());
    logPathStorage() = path;
}

QString currentStamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[64] = {};
    const std::size_t length = std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    return QString::fromLatin1(buffer, qsizetype(length));
}

// "%@" of an absent object.
QString objectText(const QString &text)
{
    return text.isNull() ? QStringLiteral("(null)") : text;
}

QString userInfoText(const QVariantMap &userInfo)
{
    return QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(userInfo)).toJson(QJsonDocument::Compact));
}

QString demangledName(const std::type_info &type)
{
    int status = 0;
    std::unique_ptr<char, void (*)(void *)> name(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                                 std::free);
    if (status == 0 && name)
        return QString::fromUtf8(name.get());
    return QString::fromUtf8(type.name());
}

// "name" with its extension, if any, replaced by "log" (the platform's
// deletingPathExtension + appendingPathExtension on the last component).
QString nameWithLogExtension(const QString &name)
{
    QString base = name;
    while (base.size() > 1 && base.endsWith(QLatin1Char('/')))
        base.chop(1);
    const qsizetype slash = base.lastIndexOf(QLatin1Char('/'));
    const QString component = base.mid(slash + 1);
    const QString stem = ToolFile::fileNameAtPath(component);
    return base.left(slash + 1) + stem + QStringLiteral(".log");
}

} // namespace

QString logFilePathForName(const QString &name)
{
    return ToolString::getTempDir() + QLatin1Char('/') + nameWithLogExtension(name);
}

void logFileOpen(const QString &name)
{
    const QString path = logFilePathForName(name);
    if (ToolFile::isFileExistsAtPath(path)) {
        const std::optional<QVariantMap> attributes = ToolFile::getFileAttributesAtPath(path);
        if (attributes && attributes->value(QStringLiteral("fileSize")).toLongLong() >= 1048577)
            ToolFile::writeData(QByteArray(), path, false);
    } else {
        ToolFile::createFileAtPath(path);
    }
    setLogPath(path);
}

QString logFilePath()
{
    const std::lock_guard<std::mutex> lock(logPathMutex());
    return logPathStorage();
}

void logSystem(const QString &message)
{
    static std::once_flag opened;
    std::call_once(opened, [] { openlog("mirelune", LOG_PID, LOG_USER); });
    const QByteArray utf8 = message.toUtf8();
    syslog(LOG_INFO, "%s", utf8.constData());
}

void logBanner()
{
    const QString path = logFilePath();
    if (path.isNull())
        return;
    const QString banner = QStringLiteral("\n================") +
                           ToolString::stringFromDateWithLocalization(QDateTime::currentDateTime()) +
                           QStringLiteral("================\n");
    ToolFile::writeData(banner.toUtf8(), path, true);
}

QString logLineForMessage(const QString &stamp, const QString &message)
{
    // A message ending in "\n" (the error record) thus ends in an empty line.
    return QLatin1Char('[') + stamp + QStringLiteral("] ") + message + QLatin1Char('\n');
}

void logWrite(const QString &message)
{
    const QString line = logLineForMessage(currentStamp(), message);
    logSystem(line);
    const QString path = logFilePath();
    if (!path.isNull())
        ToolFile::writeData(line.toUtf8(), path, true);
}

void logException(const QString &name, const QString &reason)
{
    logWrite(QStringLiteral("*NSException*\n ") + objectText(name) + QStringLiteral(" -> ") + objectText(reason));
}

void logException(const std::exception &exception)
{
    logException(demangledName(typeid(exception)), QString::fromUtf8(exception.what()));
}

void logError(const ToolError &error)
{
    logWrite(QStringLiteral("*NSError*\n  domain:") + objectText(error.domain()) + QStringLiteral("\n  code:") +
             QString::number(error.code()) + QStringLiteral("\n  userInfo:") + userInfoText(error.userInfo()) +
             QStringLiteral("\n  description:") + objectText(error.localizedDescription()) +
             QStringLiteral("\n  resaon:") + objectText(error.localizedFailureReason()) + QLatin1Char('\n'));
}
