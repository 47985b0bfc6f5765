#include "http/HttpResponse.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QLocale>

HttpResponse::HttpResponse(int status, const QByteArray &body, const QByteArray &contentType)
    : mStatus(status), mBody(body)
{
    if (!contentType.isEmpty())
        setHeader("Content-Type", contentType);
}

HttpResponse HttpResponse::json(const QJsonObject &object, int status)
{
    return HttpResponse(status, QJsonDocument(object).toJson(QJsonDocument::Compact),
                        "application/json; charset=utf-8");
}

HttpResponse HttpResponse::text(int status, const QString &text)
{
    return HttpResponse(status, text.toUtf8() + '\n', "text/plain; charset=utf-8");
}

HttpResponse HttpResponse::file(int status, const QString &path, qint64 offset, qint64 length,
                                const QByteArray &contentType)
{
    HttpResponse response(status, QByteArray(), contentType);
    response.mFilePath = path;
    response.mFileOffset = offset;
    response.mFileLength = length;
    return response;
}

qint64 HttpResponse::bodyLength() const
{
    return hasFileBody() ? mFileLength : mBody.size();
}

HttpResponse &HttpResponse::setHeader(const QByteArray &name, const QByteArray &value)
{
    for (auto &entry : mHeaders) {
        if (entry.first.compare(name, Qt::CaseInsensitive) == 0) {
            entry.second = value;
            return *this;
        }
    }
    mHeaders.append({name, value});
    return *this;
}

QByteArray HttpResponse::head(bool keepAlive) const
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(mStatus) + ' ' + reasonPhrase(mStatus) + "\r\n";
    const QString date =
        QLocale::c().toString(QDateTime::currentDateTimeUtc(), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"));
    out += "Date: " + date.toLatin1() + "\r\n";
    out += "Server: mirelune-service\r\n";
    for (const auto &[key, value] : mHeaders)
        out += key + ": " + value + "\r\n";
    out += "Content-Length: " + QByteArray::number(bodyLength()) + "\r\n";
    out += keepAlive ? QByteArray("Connection: keep-alive\r\n") : QByteArray("Connection: close\r\n");
    out += "\r\n";
    return out;
}

QByteArray HttpResponse::reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 203:
        return "Non-Authoritative Information";
    case 206:
        return "Partial Content";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 411:
        return "Length Required";
    case 413:
        return "Payload Too Large";
    case 416:
        return "Range Not Satisfiable";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 503:
        return "Service Unavailable";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Status";
    }
}
