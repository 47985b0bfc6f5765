#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// Version 1 request signatures of the object store: Base64(HMAC-SHA1(secret,
// StringToSign)).
class OssSignature final {
public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    // VERB \n Content-MD5 \n Content-Type \n Date \n every x-oss-* header
    // (lower-cased, sorted, "name:value\n") followed by "/BUCKET/KEY".
    static QByteArray stringToSign(const QByteArray &verb, const Headers &headers, const QString &bucket,
                                   const QString &key);
    static QByteArray sign(const QByteArray &secret, const QByteArray &stringToSign);
    // The access id and signature of "Authorization: OSS id:signature"; false when malformed.
    static bool parseAuthorization(const QByteArray &value, QByteArray *accessId, QByteArray *signature);
};
