#pragma once

#include "convert/oss/OssPutObjectRequest.h"
#include "convert/oss/OssPutObjectResult.h"

#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <functional>

class DIRADoduredode;

// Temporary credentials of one upload.
struct OssStsTokenCredentialProvider {
    QString accessKeyId;
    QString secretKeyId;
    QString securityToken;
};

// Uploads files to the object store with signed PUT requests, streaming the
// file from disk through the shared HTTP client.
class OssClient final {
public:
    // `http` must outlive every upload this client starts.
    OssClient(DIRADoduredode &http, QString endpoint, OssStsTokenCredentialProvider credentialProvider);

    // Completion on the HTTP client's thread, exactly once.
    void putObject(const OssPutObjectRequest &request, std::function<void(const OssPutObjectResult &)> completion);

    // Path-style for an IP address or localhost (with or without a port),
    // virtual-hosted for host names.
    static QUrl objectUrl(const QString &endpoint, const QString &bucket, const QString &objectKey);
    // The signed headers of a PUT.
    static QVariantMap signedHeaders(const OssStsTokenCredentialProvider &credentials,
                                     const OssPutObjectRequest &request, const QString &contentType,
                                     const QString &date);
    // The x-oss-callback value: Base64 of the compact JSON of an object, text as it is.
    static QString callbackHeader(const QVariant &callbackParam);
    static QString contentTypeForFile(const QString &path);
    // The result for a finished PUT.
    static OssPutObjectResult resultFor(int httpStatus, const QByteArray &reason, const QByteArray &body,
                                        const QString &transportError);

    QString endpoint() const { return mEndpoint; }

private:
    DIRADoduredode &mHttp;
    QString mEndpoint;
    OssStsTokenCredentialProvider mCredentials;
};
