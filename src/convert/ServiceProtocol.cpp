#include "convert/ServiceProtocol.h"

#include "frameworks/CommUtils.h"
#include "protocol/WireFields.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>

std::optional<QVariantMap> ServiceProtocol::parseReply(const QByteArray &body)
{
    return CommUtils::JsonToDictionary(QString::fromUtf8(body));
}

qint64 ServiceProtocol::integerValue(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return value.toLongLong();
    case QMetaType::Double: {
        const double d = value.toDouble();
        return std::isfinite(d) && std::fabs(d) < 9.0e18 ? qint64(d) : 0;
    }
    case QMetaType::QString: {
        bool ok = false;
        const QString text = value.toString().trimmed();
        const qint64 integer = text.toLongLong(&ok);
        if (ok)
            return integer;
        const double d = text.toDouble(&ok);
        return ok && std::isfinite(d) && std::fabs(d) < 9.0e18 ? qint64(d) : 0;
    }
    default:
        return 0;
    }
}

bool ServiceProtocol::isSuccess(const std::optional<QVariantMap> &reply)
{
    return reply && integerValue(reply->value(WireFields::kStatus)) == 1;
}

QVariant ServiceProtocol::valueAtPath(const QVariantMap &map, const QStringList &path)
{
    QVariant current = map;
    for (const QString &key : path) {
        if (current.typeId() != QMetaType::QVariantMap)
            return {};
        const QVariantMap level = current.toMap();
        const auto it = level.constFind(key);
        if (it == level.constEnd())
            return {};
        current = it.value();
    }
    return current;
}

QVariantMap ServiceProtocol::tokenParameters(const QString &identityToken)
{
    return {{WireFields::kIdentityToken, identityToken}};
}

QVariantMap ServiceProtocol::credentialParameters(const QString &fileName, const QString &apiToken)
{
    return {{WireFields::kFiles, QVariantList{fileName}},
            {WireFields::kApiToken, apiToken},
            {QStringLiteral("Cli-Os"), QStringLiteral("mac")}};
}

QVariantMap ServiceProtocol::creationParameters(const QString &apiToken, const QString &serviceType,
                                                const QStringList &fileIds, const QVariantMap &args)
{
    QVariantList files;
    for (const QString &fileId : fileIds)
        files.append(QVariantMap{{WireFields::kFileId, fileId}, {WireFields::kPassword, QString()}});
    QVariantMap parameters{{WireFields::kAutostart, QStringLiteral("1")},
                           {WireFields::kApiToken, apiToken},
                           {QStringLiteral("Cli-Os"), QStringLiteral("mac")},
                           {QStringLiteral("product_id"), QStringLiteral("202")},
                           {WireFields::kFiles, files},
                           {WireFields::kArgs, args}};
    if (!serviceType.isNull())
        parameters.insert(WireFields::kServiceType, serviceType);
    return parameters;
}

QVariantMap ServiceProtocol::statusParameters(const QString &apiToken)
{
    return {{WireFields::kApiToken, apiToken}, {QStringLiteral("Cli-Os"), QStringLiteral("mac")}};
}

const QStringList &ServiceProtocol::secretKeys()
{
    static const QStringList keys{WireFields::kIdentityToken, WireFields::kApiToken, WireFields::kAccessSecret,
                                  WireFields::kSecurityToken};
    return keys;
}

QString ServiceProtocol::maskSecret(const QString &secret)
{
    if (secret.isEmpty())
        return secret;
    // Short values would be shown whole by a four-character prefix.
    if (secret.size() <= 8)
        return QStringLiteral("…");
    return secret.left(4) + QStringLiteral("…");
}

QVariantMap ServiceProtocol::maskedParameters(const QVariantMap &parameters)
{
    QVariantMap masked;
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it) {
        if (secretKeys().contains(it.key()))
            masked.insert(it.key(), maskSecret(it.value().toString()));
        else if (it.value().typeId() == QMetaType::QVariantMap)
            masked.insert(it.key(), maskedParameters(it.value().toMap()));
        else if (it.value().typeId() == QMetaType::QVariantList) {
            QVariantList list;
            for (const QVariant &item : it.value().toList())
                list.append(item.typeId() == QMetaType::QVariantMap ? QVariant(maskedParameters(item.toMap())) : item);
            masked.insert(it.key(), list);
        } else
            masked.insert(it.key(), it.value());
    }
    return masked;
}

QString ServiceProtocol::describeParameters(const QVariantMap &parameters)
{
    return QString::fromUtf8(
        QJsonDocument(QJsonObject::fromVariantMap(maskedParameters(parameters))).toJson(QJsonDocument::Compact));
}

QString ServiceProtocol::maskSecretsInText(const QString &text)
{
    // Built from secretKeys() so that the logged parameters and the logged replies hide the same fields.
    static const QRegularExpression secretValue(QStringLiteral("(\"(?:") + secretKeys().join(QLatin1Char('|')) +
                                                QStringLiteral(")\"\\s*:\\s*\")((?:[^\"\\\\]|\\\\.)*)(\")"));
    QString result;
    qsizetype last = 0;
    QRegularExpressionMatchIterator it = secretValue.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        result += text.mid(last, match.capturedStart(2) - last);
        result += maskSecret(match.captured(2));
        last = match.capturedEnd(2);
    }
    result += text.mid(last);
    return result;
}
