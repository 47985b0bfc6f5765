#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrlQuery>

// One request as the connection parsed it. The body is filled only for routes
// that buffer it; streamed uploads never pass through here whole.
struct HttpRequest {
    QByteArray method;
    QByteArray target;  // as sent: path and query, still percent-encoded
    QByteArray version; // "HTTP/1.1"
    QString path;       // decoded path without the query
    QUrlQuery query;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    qint64 contentLength = 0;
    QHostAddress peer;

    QByteArray header(const QByteArray &name) const; // case-insensitive, trimmed; empty when absent
    bool hasHeader(const QByteArray &name) const;
    bool wantsClose() const;
    // Query parameters merged with a JSON object or form-encoded body; the body wins.
    QJsonObject parameters() const;
    // The Host header's name without the port, lower-cased.
    QString hostName() const;

    // A header number: plain decimal digits only (no sign, no spaces), at
    // most 18 of them so it fits in 64 bits.
    static bool parseDecimal(const QByteArray &text, qint64 *value);
};
