#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

// Version 1 request signatures of the object store, for the client that signs
// uploads and the service that checks them: Base64(HMAC-SHA1(secret, StringToSign)).
class OssSignature final {
public:
    OssSignature() = delete;

    using Headers = QList<QPair<QByteArray, QByteArray>>;

    // VERB \n Content-MD5 \n Content-Type \n Date \n every x-oss-* header
    // (lower-cased, sorted, "name:value\n") followed by "/BUCKET/KEY", the key
    // as it is (not encoded). Header names are matched case-insensitively.
    // The Date position holds signedDate(), so a request dated only by
    // x-oss-date carries that value twice.
    static QByteArray stringToSign(const QByteArray &verb, const Headers &headers, const QString &bucket,
                                   const QString &key);
    // The request's date as signed and checked for skew: the Date header when
    // there is one, else x-oss-date (SDKs send that instead of Date).
    static QByteArray signedDate(const Headers &headers);
    static QByteArray sign(const QByteArray &secret, const QByteArray &stringToSign);
    // The access id and signature of "Authorization: OSS id:signature"; false when malformed.
    static bool parseAuthorization(const QByteArray &value, QByteArray *accessId, QByteArray *signature);
    // RFC 1123 date in GMT with English names.
    static QString httpDate(const QDateTime &time);
    // The key percent-encoded as UTF-8, keeping A-Z a-z 0-9 - . _ ~ /.
    static QByteArray encodeObjectKey(const QString &objectKey);
};
