#pragma once

#include "http/HttpResponse.h"
#include "store/Records.h"

#include <optional>

struct HttpRequest;

// Serves finished results at /download/TOKEN/NAME: the token is the only key,
// with Content-Length, Content-Disposition and single byte ranges for resuming.
class DownloadHandler final {
public:
    struct Range {
        qint64 first = 0;
        qint64 length = 0;
    };

    explicit DownloadHandler(Records &records);

    HttpResponse serve(const HttpRequest &head) const;

    static QString urlPath(const QByteArray &token, const QString &fileName);
    // A "bytes=" range against a file of `size` bytes: nothing for the whole
    // file, a range, or an unsatisfiable range (length 0).
    static std::optional<Range> parseRange(const QByteArray &header, qint64 size);
    static QByteArray contentDisposition(const QString &fileName);

private:
    Records &mRecords;
};
