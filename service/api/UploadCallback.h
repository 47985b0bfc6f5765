#pragma once

#include "store/Records.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

// The object store's upload callback, performed in-process: the callback URL a
// client hands in must name this service's own callback, which is never
// fetched over the network.
class UploadCallback final {
public:
    struct Parameters {
        QString url;
        QString body;
        QString bodyType;
    };
    struct Facts {
        QString bucket;
        QString object;
        qint64 size = 0;
        QString mimeType;
        QString etag;
    };
    struct Reply {
        bool ok = false;
        QByteArray body;
        QString error;
    };

    static constexpr const char *kPath = "/api/upload-callback";

    UploadCallback(Records &records, qint64 keepSeconds);

    // The callback parameters handed to clients with their upload credentials.
    static QJsonObject parametersFor(const QString &origin);
    // Decodes the x-oss-callback header (Base64 of a JSON object).
    static std::optional<Parameters> decode(const QByteArray &header, QString *error);
    // Fills ${bucket}, ${object}, ${size}, ${mimeType} and ${etag} in, each
    // encoded for the body type, so a value can never break out of its field.
    static QByteArray substitute(const Parameters &parameters, const Facts &facts);

    // `ownHosts`: the host names under which this service is reachable.
    Reply invoke(const Parameters &parameters, const Facts &facts, const QStringList &ownHosts,
                 const QList<quint16> &ports);

private:
    static bool isOwnUrl(const QString &url, const QStringList &ownHosts, const QList<quint16> &ports);
    static QJsonObject bodyFields(const Parameters &parameters, const QByteArray &body);
    Reply record(const QJsonObject &fields, const Facts &facts);

    Records &mRecords;
    qint64 mKeepSeconds;
};
