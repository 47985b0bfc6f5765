#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include <optional>

// General helpers of the framework that the application calls.
class CommUtils final {
public:
    CommUtils() = delete;

    // Every occurrence of fromString replaced by toString (case-sensitive).
    static QString replaceFromString(const QString &string, const QString &fromString, const QString &toString);

    // The operating-system version text.
    static QString GetOSversion();
    // A stable identifier of this machine: a hash of the machine id, never the
    // id itself, formatted like a GUID. Stable across runs and users.
    static QString GetGuid();
    // The identifier derived from a given machine id (empty id → empty text).
    static QString guidFromMachineId(const QByteArray &machineId);

    // The JSON object in text; nothing for absent text, invalid JSON or JSON
    // that is not an object.
    static std::optional<QVariantMap> JsonToDictionary(const QString &json);
    static std::optional<QVariantMap> JsonToDictionary(const QByteArray &json);
};
