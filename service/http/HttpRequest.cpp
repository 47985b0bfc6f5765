#include "http/HttpRequest.h"

#include <QJsonDocument>
#include <QUrl>

QByteArray HttpRequest::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

bool HttpRequest::hasHeader(const QByteArray &name) const
{
    for (const auto &entry : headers) {
        if (entry.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool HttpRequest::wantsClose() const
{
    const QByteArray connection = header("Connection").toLower();
    if (version == "HTTP/1.0")
        return !connection.contains("keep-alive");
    return connection.contains("close");
}

QJsonObject HttpRequest::parameters() const
{
    QJsonObject merged;
    const auto items = query.queryItems(QUrl::FullyDecoded);
    for (const auto &[key, value] : items)
        merged.insert(key, value);
    const QByteArray type = header("Content-Type").toLower();
    if (type.startsWith("application/x-www-form-urlencoded")) {
        QByteArray plus = body;
        plus.replace('+', ' ');
        const auto formItems = QUrlQuery(QString::fromUtf8(plus)).queryItems(QUrl::FullyDecoded);
        for (const auto &[key, value] : formItems)
            merged.insert(key, value);
        return merged;
    }
    const QJsonDocument document = QJsonDocument::fromJson(body);
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it)
        merged.insert(it.key(), it.value());
    return merged;
}

QString HttpRequest::hostName() const
{
    QString host = QString::fromLatin1(header("Host")).toLower();
    if (host.startsWith(QLatin1Char('['))) {
        const qsizetype end = host.indexOf(QLatin1Char(']'));
        return end > 0 ? host.mid(1, end - 1) : host;
    }
    const qsizetype colon = host.lastIndexOf(QLatin1Char(':'));
    return colon >= 0 ? host.left(colon) : host;
}

bool HttpRequest::parseDecimal(const QByteArray &text, qint64 *value)
{
    if (text.isEmpty() || text.size() > 18)
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    *value = text.toLongLong();
    return true;
}
