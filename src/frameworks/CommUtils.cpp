#include "frameworks/CommUtils.h"

#include "tools/ToolString.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>

namespace {

QByteArray readMachineId()
{
    for (const char *path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
        QFile file(QString::fromLatin1(path));
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray id = file.readAll().trimmed();
            if (!id.isEmpty())
                return id;
        }
    }
    return {};
}

} // namespace

QString CommUtils::replaceFromString(const QString &string, const QString &fromString, const QString &toString)
{
    if (fromString.isEmpty())
        return string;
    return QString(string).replace(fromString, toString, Qt::CaseSensitive);
}

QString CommUtils::GetOSversion()
{
    return ToolString::getOSversion();
}

QString CommUtils::GetGuid()
{
    static const QString guid = [] {
        const QString derived = guidFromMachineId(readMachineId());
        // Without a machine id the host name is the most stable thing left.
        return derived.isEmpty() ? guidFromMachineId(QSysInfo::machineHostName().toUtf8()) : derived;
    }();
    return guid;
}

QString CommUtils::guidFromMachineId(const QByteArray &machineId)
{
    if (machineId.isEmpty())
        return {};
    // Salted so the value cannot be matched against the raw machine id that
    // other programs may send.
    const QByteArray salted = QByteArray("mirelune-client-id:") + machineId;
    const QByteArray hex = QCryptographicHash::hash(salted, QCryptographicHash::Sha256).toHex().toUpper().left(32);
    return QString::fromLatin1(hex.mid(0, 8) + '-' + hex.mid(8, 4) + '-' + hex.mid(12, 4) + '-' + hex.mid(16, 4) + '-' +
                               hex.mid(20, 12));
}

std::optional<QVariantMap> CommUtils::JsonToDictionary(const QString &json)
{
    if (json.isNull())
        return std::nullopt;
    return JsonToDictionary(json.toUtf8());
}

std::optional<QVariantMap> CommUtils::JsonToDictionary(const QByteArray &json)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object().toVariantMap();
}
