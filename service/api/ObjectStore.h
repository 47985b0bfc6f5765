#pragma once

#include "api/UploadCallback.h"
#include "http/HttpHandler.h"
#include "store/Records.h"

#include <QSet>
#include <QString>
#include <QStringList>

// The object store: signed PUT uploads of objects the service handed out
// credentials for, streamed to disk, followed by the upload callback. Each
// slot takes one object: a second upload to it is refused, also while the
// first is still under way. Lives on the main thread with its connections.
class ObjectStore final {
public:
    struct Settings {
        QString bucket;
        QString folder;
        qint64 maxUpload = 0;
        qint64 maxClockSkewSeconds = 15 * 60;
    };
    struct Target {
        QString bucket;
        QString key;
    };

    ObjectStore(Records &records, UploadCallback &callback, Settings settings);

    // Where the service keeps an object; empty for a key it never issues.
    QString objectPath(const QString &key) const;
    // Path-style "/BUCKET/KEY", or virtual-hosted "Host: BUCKET.host" with "/KEY".
    Target target(const HttpRequest &head) const;
    bool isVirtualHosted(const HttpRequest &head) const;

    // `ownHosts` and `ports` say which callback URLs are this service's own.
    HttpRoute route(const HttpRequest &head, const QStringList &ownHosts, const QList<quint16> &ports);

    static HttpResponse error(int status, const QByteArray &code, const QString &message, const QString &resource = {});

private:
    std::optional<HttpResponse> checkRequest(const HttpRequest &head, const Target &target) const;
    std::optional<HttpResponse> checkCredential(const HttpRequest &head, const Target &target, ObjectSlot *slot) const;
    std::optional<HttpResponse> checkSlotFree(const ObjectSlot &slot) const;
    static std::optional<HttpResponse> checkDate(const HttpRequest &head, qint64 maxSkew);

    Records &mRecords;
    UploadCallback &mCallback;
    Settings mSettings;
    QSet<QString> mUploading; // keys whose upload is under way
};
