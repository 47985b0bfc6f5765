#include "convert/oss/OssClient.h"

#include "frameworks/DIRADoduredode.h"
#include "protocol/OssSignature.h"

#include <QDateTime>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeDatabase>
#include <QRegularExpression>

OssClient::OssClient(DIRADoduredode &http, QString endpoint, OssStsTokenCredentialProvider credentialProvider)
    : mHttp(http), mEndpoint(std::move(endpoint)), mCredentials(std::move(credentialProvider))
{
}

QUrl OssClient::objectUrl(const QString &endpoint, const QString &bucket, const QString &objectKey)
{
    QString host = endpoint.trimmed();
    if (host.startsWith(QLatin1String("https://")))
        host = host.mid(8);
    while (host.endsWith(QLatin1Char('/')))
        host.chop(1);
    const QUrl probe(QStringLiteral("https://") + host);
    const QString hostName = probe.host();
    const bool pathStyle = hostName == QLatin1String("localhost") || !QHostAddress(hostName).isNull();
    const QByteArray key = OssSignature::encodeObjectKey(objectKey);
    const QByteArray url = pathStyle ? "https://" + host.toUtf8() + '/' + QUrl::toPercentEncoding(bucket) + '/' + key
                                     : "https://" + QUrl::toPercentEncoding(bucket) + '.' + host.toUtf8() + '/' + key;
    return QUrl::fromEncoded(url, QUrl::StrictMode);
}

QString OssClient::callbackHeader(const QVariant &callbackParam)
{
    if (callbackParam.typeId() == QMetaType::QVariantMap) {
        const QByteArray json =
            QJsonDocument(QJsonObject::fromVariantMap(callbackParam.toMap())).toJson(QJsonDocument::Compact);
        return QString::fromLatin1(json.toBase64());
    }
    return callbackParam.toString();
}

QString OssClient::contentTypeForFile(const QString &path)
{
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    return type.isValid() && !type.isDefault() ? type.name() : QStringLiteral("application/octet-stream");
}

QVariantMap OssClient::signedHeaders(const OssStsTokenCredentialProvider &credentials,
                                     const OssPutObjectRequest &request, const QString &contentType,
                                     const QString &date)
{
    OssSignature::Headers signedPart{{"Content-Type", contentType.toUtf8()}, {"Date", date.toUtf8()}};
    if (!credentials.securityToken.isEmpty())
        signedPart.append({"x-oss-security-token", credentials.securityToken.toUtf8()});
    const QString callback = callbackHeader(request.callbackParam);
    if (!callback.isEmpty())
        signedPart.append({"x-oss-callback", callback.toUtf8()});
    const QByteArray toSign = OssSignature::stringToSign("PUT", signedPart, request.bucketName, request.objectKey);
    QVariantMap headers;
    for (const auto &[name, value] : signedPart)
        headers.insert(QString::fromLatin1(name), QString::fromUtf8(value));
    headers.insert(QStringLiteral("Authorization"),
                   QStringLiteral("OSS %1:%2")
                       .arg(credentials.accessKeyId,
                            QString::fromLatin1(OssSignature::sign(credentials.secretKeyId.toUtf8(), toSign))));
    return headers;
}

OssPutObjectResult OssClient::resultFor(int httpStatus, const QByteArray &reason, const QByteArray &body,
                                        const QString &transportError)
{
    OssPutObjectResult result;
    result.httpStatus = httpStatus;
    // 203 means the object was stored but the service's callback failed.
    if (httpStatus >= 200 && httpStatus < 300 && httpStatus != 203) {
        result.completed = true;
        result.serverReturnJsonString = QString::fromUtf8(body);
        return result;
    }
    static const QRegularExpression message(QStringLiteral("<Message>([^<]*)</Message>"));
    const QRegularExpressionMatch match = message.match(QString::fromUtf8(body));
    if (match.hasMatch())
        result.errorDescription = match.captured(1).trimmed();
    else if (httpStatus != 0)
        result.errorDescription =
            reason.isEmpty() ? QStringLiteral("HTTP %1").arg(httpStatus) : QString::fromUtf8(reason);
    else
        result.errorDescription = transportError;
    return result;
}

void OssClient::putObject(const OssPutObjectRequest &request,
                          std::function<void(const OssPutObjectResult &)> completion)
{
    const QString contentType = contentTypeForFile(request.uploadingFilePath);
    const QVariantMap headers =
        signedHeaders(mCredentials, request, contentType, OssSignature::httpDate(QDateTime::currentDateTimeUtc()));
    const auto progress = request.uploadProgress ? request.uploadProgress : [](qint64, qint64, qint64) {};
    mHttp.PUTFileWithUrl(
        objectUrl(mEndpoint, request.bucketName, request.objectKey), request.uploadingFilePath, headers, progress,
        [completion](const ToolError &error, int status, const QByteArray &reason, const QByteArray &body) {
            completion(resultFor(status, reason, body, error.localizedDescription()));
        });
}
