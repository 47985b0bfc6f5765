#include "api/DownloadHandler.h"

#include "http/HttpRequest.h"
#include "protocol/WireFields.h"

#include <QDateTime>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QUrl>

namespace {

HttpResponse notFound()
{
    return HttpResponse::json({{WireFields::kStatus, 0}, {QStringLiteral("message"), QStringLiteral("No such file")}},
                              404);
}

} // namespace

DownloadHandler::DownloadHandler(Records &records) : mRecords(records)
{
}

QString DownloadHandler::urlPath(const QByteArray &token, const QString &fileName)
{
    return QStringLiteral("/download/") + QString::fromLatin1(token) + QLatin1Char('/') +
           QString::fromLatin1(QUrl::toPercentEncoding(fileName));
}

std::optional<DownloadHandler::Range> DownloadHandler::parseRange(const QByteArray &header, qint64 size)
{
    const QByteArray value = header.trimmed();
    // Anything but one plain byte range is answered with the whole file, as HTTP allows.
    if (!value.startsWith("bytes=") || value.contains(','))
        return std::nullopt;
    const QByteArray bounds = value.mid(6).trimmed();
    const qsizetype dash = bounds.indexOf('-');
    if (dash < 0)
        return std::nullopt;
    const QByteArray from = bounds.left(dash).trimmed();
    const QByteArray to = bounds.mid(dash + 1).trimmed();
    qint64 first = 0;
    qint64 last = size - 1;
    if (from.isEmpty()) {
        qint64 suffix = 0;
        if (!HttpRequest::parseDecimal(to, &suffix))
            return std::nullopt;
        if (suffix == 0 || size == 0)
            return Range{0, 0};
        first = qMax<qint64>(0, size - suffix);
    } else {
        if (!HttpRequest::parseDecimal(from, &first) || (!to.isEmpty() && !HttpRequest::parseDecimal(to, &last)))
            return std::nullopt;
        if (first >= size)
            return Range{0, 0};
        if (last < first)
            return std::nullopt;
        last = qMin(last, size - 1);
    }
    return Range{first, last - first + 1};
}

QByteArray DownloadHandler::contentDisposition(const QString &fileName)
{
    QByteArray fallback;
    for (const QChar c : fileName) {
        const bool plain = c.unicode() >= 0x20 && c.unicode() < 0x7f && c != QLatin1Char('"') && c != QLatin1Char('\\');
        fallback += plain ? char(c.unicode()) : '_';
    }
    return "attachment; filename=\"" + fallback + "\"; filename*=UTF-8''" + QUrl::toPercentEncoding(fileName);
}

HttpResponse DownloadHandler::serve(const HttpRequest &head) const
{
    if (head.method != "GET" && head.method != "HEAD")
        return HttpResponse::text(405, QStringLiteral("Method not allowed"));
    const QString token = head.path.section(QLatin1Char('/'), 2, 2);
    const std::optional<TaskRecord> task = mRecords.taskByDownloadToken(token.toLatin1());
    const QFileInfo info(task ? task->resultPath : QString());
    if (!task || !info.isFile())
        return notFound();
    const qint64 size = info.size();
    const QByteArray etag = '"' + QByteArray::number(size, 16) + '-' +
                            QByteArray::number(info.lastModified().toMSecsSinceEpoch(), 16) + '"';
    const QByteArray type =
        QMimeDatabase().mimeTypeForFile(task->resultName, QMimeDatabase::MatchExtension).name().toLatin1();
    std::optional<Range> range;
    const QByteArray ifRange = head.header("If-Range");
    if (head.hasHeader("Range") && (ifRange.isEmpty() || ifRange == etag))
        range = parseRange(head.header("Range"), size);
    HttpResponse response;
    if (range && range->length == 0) {
        response = HttpResponse::text(416, QStringLiteral("Range not satisfiable"));
        response.setHeader("Content-Range", "bytes */" + QByteArray::number(size));
        return response;
    }
    if (range) {
        response = HttpResponse::file(206, info.filePath(), range->first, range->length, type);
        response.setHeader("Content-Range", "bytes " + QByteArray::number(range->first) + '-' +
                                                QByteArray::number(range->first + range->length - 1) + '/' +
                                                QByteArray::number(size));
    } else {
        response = HttpResponse::file(200, info.filePath(), 0, size, type);
    }
    response.setHeader("Accept-Ranges", "bytes");
    response.setHeader("ETag", etag);
    response.setHeader("Content-Disposition", contentDisposition(task->resultName));
    return response;
}
