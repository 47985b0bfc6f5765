#include "api/ObjectStore.h"

#include "api/UploadSink.h"
#include "protocol/OssSignature.h"
#include "store/ObjectKeys.h"
#include "store/Secrets.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

namespace {

// RFC 1123 ("Thu, 17 Nov 2005 18:49:58 GMT"), or RFC 2822 with a numeric zone.
QDateTime parseHttpDate(const QByteArray &text)
{
    QDateTime when =
        QLocale::c().toDateTime(QString::fromLatin1(text), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"));
    if (when.isValid()) {
        when.setTimeSpec(Qt::UTC);
        return when;
    }
    return QDateTime::fromString(QString::fromLatin1(text), Qt::RFC2822Date);
}

QByteArray xmlEscape(const QString &text)
{
    return text.toHtmlEscaped().toUtf8();
}

} // namespace

ObjectStore::ObjectStore(Records &records, UploadCallback &callback, Settings settings)
    : mRecords(records), mCallback(callback), mSettings(std::move(settings))
{
}

QString ObjectStore::objectPath(const QString &key) const
{
    return ObjectKeys::pathIn(mSettings.folder, key);
}

bool ObjectStore::isVirtualHosted(const HttpRequest &head) const
{
    return head.hostName().startsWith(mSettings.bucket + QLatin1Char('.'));
}

ObjectStore::Target ObjectStore::target(const HttpRequest &head) const
{
    if (isVirtualHosted(head))
        return {mSettings.bucket, head.path.mid(1)};
    const QString path = head.path.mid(1);
    const qsizetype slash = path.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return {path, QString()};
    return {path.left(slash), path.mid(slash + 1)};
}

HttpResponse ObjectStore::error(int status, const QByteArray &code, const QString &message, const QString &resource)
{
    QByteArray body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Error>\n  <Code>" + code + "</Code>\n  <Message>" +
                      xmlEscape(message) + "</Message>\n  <RequestId>" + Secrets::randomHex(12).toUpper() +
                      "</RequestId>\n";
    if (!resource.isEmpty())
        body += "  <Resource>" + xmlEscape(resource) + "</Resource>\n";
    body += "</Error>\n";
    return HttpResponse(status, body, "application/xml");
}

HttpRoute ObjectStore::route(const HttpRequest &head, const QStringList &ownHosts, const QList<quint16> &ports)
{
    const Target where = target(head);
    if (std::optional<HttpResponse> refused = checkRequest(head, where))
        return HttpRoute::respond(std::move(*refused));
    ObjectSlot slot;
    if (std::optional<HttpResponse> refused = checkCredential(head, where, &slot))
        return HttpRoute::respond(std::move(*refused));
    if (head.contentLength > mSettings.maxUpload) {
        return HttpRoute::respond(error(400, "EntityTooLarge",
                                        QStringLiteral("Your proposed upload exceeds the maximum allowed size."),
                                        where.key));
    }
    std::optional<UploadCallback::Parameters> callback;
    if (head.hasHeader("x-oss-callback")) {
        QString problem;
        callback = UploadCallback::decode(head.header("x-oss-callback"), &problem);
        if (!callback)
            return HttpRoute::respond(error(400, "InvalidArgument", problem));
    }
    if (std::optional<HttpResponse> refused = checkSlotFree(slot))
        return HttpRoute::respond(std::move(*refused));
    // The claim ends with the sink: a failed upload frees the slot again, a
    // stored one leaves its object behind, which keeps the slot taken.
    mUploading.insert(slot.key);
    UploadSink::Upload upload{slot,
                              objectPath(where.key),
                              head.contentLength,
                              QString::fromLatin1(head.header("Content-Type")),
                              head.header("Content-MD5"),
                              callback,
                              ownHosts,
                              ports,
                              [this, key = slot.key] { mUploading.remove(key); }};
    return HttpRoute::stream(std::make_unique<UploadSink>(std::move(upload), mCallback));
}

std::optional<HttpResponse> ObjectStore::checkRequest(const HttpRequest &head, const Target &where) const
{
    if (where.bucket != mSettings.bucket)
        return error(404, "NoSuchBucket", QStringLiteral("The specified bucket does not exist."), where.bucket);
    if (head.method != "PUT")
        return error(405, "MethodNotAllowed",
                     QStringLiteral("The specified method is not allowed against this resource."));
    if (where.key.isEmpty())
        return error(400, "InvalidObjectName", QStringLiteral("The specified object name is not valid."));
    if (!head.hasHeader("Content-Length"))
        return error(411, "MissingContentLength", QStringLiteral("You must provide the Content-Length HTTP header."));
    return std::nullopt;
}

std::optional<HttpResponse> ObjectStore::checkDate(const HttpRequest &head, qint64 maxSkew)
{
    const QByteArray date = OssSignature::signedDate(head.headers);
    if (date.isEmpty())
        return error(403, "AccessDenied", QStringLiteral("The request carries no Date header."));
    const QDateTime when = parseHttpDate(date);
    if (!when.isValid())
        return error(403, "AccessDenied", QStringLiteral("The Date header is not an RFC 1123 date."));
    if (qAbs(when.secsTo(QDateTime::currentDateTimeUtc())) > maxSkew) {
        return error(403, "RequestTimeTooSkewed",
                     QStringLiteral("The difference between the request time and the current time is too large."));
    }
    return std::nullopt;
}

std::optional<HttpResponse> ObjectStore::checkCredential(const HttpRequest &head, const Target &where,
                                                         ObjectSlot *slot) const
{
    QByteArray accessId;
    QByteArray signature;
    if (!OssSignature::parseAuthorization(head.header("Authorization"), &accessId, &signature))
        return error(403, "AccessDenied", QStringLiteral("Anonymous access is forbidden for this operation."));
    if (std::optional<HttpResponse> refused = checkDate(head, mSettings.maxClockSkewSeconds))
        return refused;
    const std::optional<Credential> credential = mRecords.credential(accessId);
    if (!credential) {
        return error(403, "InvalidAccessKeyId",
                     QStringLiteral("The OSS Access Key Id you provided does not exist in our records."));
    }
    const QByteArray expected = OssSignature::sign(
        credential->accessSecret, OssSignature::stringToSign(head.method, head.headers, where.bucket, where.key));
    if (!Secrets::equal(expected, signature)) {
        return error(403, "SignatureDoesNotMatch",
                     QStringLiteral("The request signature we calculated does not match the signature you provided."));
    }
    if (credential->expires <= QDateTime::currentSecsSinceEpoch())
        return error(403, "SecurityTokenExpired", QStringLiteral("The security token you provided has expired."));
    if (!Secrets::equal(Secrets::sha256Hex(head.header("x-oss-security-token")), credential->securityTokenHash))
        return error(403, "InvalidSecurityToken", QStringLiteral("The security token you provided is not valid."));
    const std::optional<ObjectSlot> found = mRecords.objectSlot(where.bucket, where.key);
    if (!found || found->accessId != credential->accessId || objectPath(where.key).isEmpty()) {
        return error(403, "AccessDenied", QStringLiteral("The credentials do not grant access to this object."),
                     where.key);
    }
    *slot = *found;
    return std::nullopt;
}

std::optional<HttpResponse> ObjectStore::checkSlotFree(const ObjectSlot &slot) const
{
    // A slot holds one object: recorded by its callback, or stored without one.
    if (!slot.fileId.isEmpty() || QFileInfo::exists(objectPath(slot.key)))
        return error(403, "AccessDenied", QStringLiteral("The object has already been uploaded."), slot.key);
    if (mUploading.contains(slot.key)) {
        return error(409, "UploadInProgress",
                     QStringLiteral("Another upload of this object is in progress; each object is uploaded once."),
                     slot.key);
    }
    return std::nullopt;
}
