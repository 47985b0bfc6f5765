#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <optional>

// The wire format of the conversion service: request parameters, reply
// parsing and judging, and the masking that keeps secrets out of log lines.
// Pure functions, no network.
class ServiceProtocol final {
public:
    ServiceProtocol() = delete;

    // A reply body as a JSON object; nothing when it does not parse.
    static std::optional<QVariantMap> parseReply(const QByteArray &body);
    // The integer of a JSON number or of numeric text; 0 for anything else.
    static qint64 integerValue(const QVariant &value);
    // "status" read as an integer is exactly 1.
    static bool isSuccess(const std::optional<QVariantMap> &reply);
    // The value at a path of keys ("data", "user", "api_token"); invalid when absent.
    static QVariant valueAtPath(const QVariantMap &map, const QStringList &path);

    static QVariantMap tokenParameters(const QString &identityToken);
    static QVariantMap credentialParameters(const QString &fileName, const QString &apiToken);
    // A null serviceType leaves the "service_type" key out.
    static QVariantMap creationParameters(const QString &apiToken, const QString &serviceType,
                                          const QStringList &fileIds, const QVariantMap &args);
    static QVariantMap statusParameters(const QString &apiToken);

    // Keys whose values are secrets and never reach a log line or an error text.
    static const QStringList &secretKeys();
    // The first four characters and "…"; short or empty values reveal nothing.
    static QString maskSecret(const QString &secret);
    // The parameters with every secret value masked (recursively).
    static QVariantMap maskedParameters(const QVariantMap &parameters);
    // Compact JSON of the masked parameters, for log lines.
    static QString describeParameters(const QVariantMap &parameters);
    // Reply text with the value of every secret key masked, the rest unchanged;
    // works on text that is not valid JSON too.
    static QString maskSecretsInText(const QString &text);
};
