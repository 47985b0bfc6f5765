#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>

// Request signing of the object store (signature version 1).
class OssSignature final {
public:
    OssSignature() = delete;

    // VERB \n Content-MD5 \n Content-Type \n Date \n CanonicalizedOSSHeaders CanonicalizedResource,
    // where the x-oss-* headers are lower-cased, sorted and written "name:value\n".
    static QString stringToSign(const QString &verb, const QString &contentMd5, const QString &contentType,
                                const QString &date, const QMap<QString, QString> &headers,
                                const QString &canonicalizedResource);
    // Base64 of HMAC-SHA1(secret, text).
    static QString sign(const QString &accessSecret, const QString &stringToSign);
    // "/BUCKET/KEY", the key as it is (not encoded).
    static QString canonicalizedResource(const QString &bucket, const QString &objectKey);
    // RFC 1123 date in GMT with English names.
    static QString httpDate(const QDateTime &time);
    // The key percent-encoded as UTF-8, keeping A-Z a-z 0-9 - . _ ~ /.
    static QByteArray encodeObjectKey(const QString &objectKey);
};
