#include "api/UploadCallback.h"

#include "protocol/WireFields.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>
#include <QUrlQuery>

namespace {

const QString kJsonType = QStringLiteral("application/json");

QJsonObject failure(const QString &message)
{
    return {{WireFields::kStatus, 0}, {QStringLiteral("message"), message}};
}

QByteArray jsonValue(const QJsonValue &value)
{
    // A one-element array is the simplest way to get a lone value encoded.
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

} // namespace

UploadCallback::UploadCallback(Records &records, qint64 keepSeconds) : mRecords(records), mKeepSeconds(keepSeconds)
{
}

QJsonObject UploadCallback::parametersFor(const QString &origin)
{
    return {
        {QStringLiteral("callbackUrl"), QString(origin + QLatin1String(kPath))},
        {QStringLiteral("callbackBody"),
         QStringLiteral("{\"bucket\":${bucket},\"object\":${object},\"size\":${size},\"mimeType\":${mimeType},"
                        "\"etag\":${etag}}")},
        {QStringLiteral("callbackBodyType"), kJsonType},
    };
}

std::optional<UploadCallback::Parameters> UploadCallback::decode(const QByteArray &header, QString *error)
{
    const auto decoded = QByteArray::fromBase64Encoding(header, QByteArray::AbortOnBase64DecodingErrors);
    const QJsonDocument document = decoded ? QJsonDocument::fromJson(*decoded) : QJsonDocument();
    const QJsonObject object = document.object();
    const QString url = object.value(QStringLiteral("callbackUrl")).toString();
    const QString body = object.value(QStringLiteral("callbackBody")).toString();
    if (!document.isObject() || url.isEmpty() || body.isEmpty()) {
        if (error)
            *error = QStringLiteral("The callback configuration is not valid JSON with callbackUrl and callbackBody.");
        return std::nullopt;
    }
    QString type = object.value(QStringLiteral("callbackBodyType")).toString();
    if (type.isEmpty())
        type = QStringLiteral("application/x-www-form-urlencoded");
    return Parameters{url, body, type};
}

QByteArray UploadCallback::substitute(const Parameters &parameters, const Facts &facts)
{
    const bool json = parameters.bodyType.startsWith(kJsonType);
    const auto encode = [json](const QJsonValue &value) -> QByteArray {
        if (json)
            return jsonValue(value);
        const QString text = value.isDouble() ? QString::number(qint64(value.toDouble())) : value.toString();
        return QUrl::toPercentEncoding(text);
    };
    const QList<QPair<QByteArray, QByteArray>> values = {
        {"${bucket}", encode(facts.bucket)},     {"${object}", encode(facts.object)},
        {"${size}", encode(double(facts.size))}, {"${mimeType}", encode(facts.mimeType)},
        {"${etag}", encode(facts.etag)},
    };
    // One pass, so that a substituted value is never scanned again.
    const QByteArray body = parameters.body.toUtf8();
    QByteArray out;
    qsizetype at = 0;
    while (at < body.size()) {
        bool replaced = false;
        for (const auto &[name, value] : values) {
            if (body.mid(at, name.size()) == name) {
                out += value;
                at += name.size();
                replaced = true;
                break;
            }
        }
        if (!replaced)
            out += body.at(at++);
    }
    return out;
}

UploadCallback::Reply UploadCallback::invoke(const Parameters &parameters, const Facts &facts,
                                             const QStringList &ownHosts, const QList<quint16> &ports)
{
    if (!isOwnUrl(parameters.url, ownHosts, ports))
        return {false, {}, QStringLiteral("The callback URL is not this service's upload callback.")};
    const QJsonObject fields = bodyFields(parameters, substitute(parameters, facts));
    return record(fields, facts);
}

bool UploadCallback::isOwnUrl(const QString &text, const QStringList &ownHosts, const QList<quint16> &ports)
{
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && url.scheme() == QLatin1String("https") && ports.contains(quint16(url.port(443))) &&
           url.path() == QLatin1String(kPath) && ownHosts.contains(url.host().toLower()) && url.userInfo().isEmpty();
}

QJsonObject UploadCallback::bodyFields(const Parameters &parameters, const QByteArray &body)
{
    if (parameters.bodyType.startsWith(kJsonType))
        return QJsonDocument::fromJson(body).object();
    QJsonObject fields;
    const auto items = QUrlQuery(QString::fromLatin1(body)).queryItems(QUrl::FullyDecoded);
    for (const auto &[key, value] : items)
        fields.insert(key, value);
    return fields;
}

UploadCallback::Reply UploadCallback::record(const QJsonObject &fields, const Facts &facts)
{
    Reply reply;
    // The callback answers for the object that was just stored and no other.
    if (fields.value(QStringLiteral("bucket")).toString() != facts.bucket ||
        fields.value(QStringLiteral("object")).toString() != facts.object) {
        reply.body = QJsonDocument(failure(QStringLiteral("The callback body does not name the uploaded object")))
                         .toJson(QJsonDocument::Compact);
        reply.error = QStringLiteral("The callback rejected the upload: it does not name the uploaded object.");
        return reply;
    }
    const std::optional<ObjectSlot> slot = mRecords.objectSlot(facts.bucket, facts.object);
    const QString id = slot ? mRecords.recordUpload(*slot, facts.size, facts.mimeType, mKeepSeconds) : QString();
    if (id.isEmpty()) {
        reply.error = QStringLiteral("The callback could not record the upload.");
        reply.body = QJsonDocument(failure(reply.error)).toJson(QJsonDocument::Compact);
        return reply;
    }
    reply.ok = true;
    reply.body =
        QJsonDocument(QJsonObject{{WireFields::kStatus, 1}, {WireFields::kData, QJsonObject{{WireFields::kId, id}}}})
            .toJson(QJsonDocument::Compact);
    return reply;
}
