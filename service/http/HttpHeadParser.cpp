#include "http/HttpHeadParser.h"

#include <QUrl>

namespace {

HttpHeadParser::Error malformed()
{
    return {400, QStringLiteral("Malformed request")};
}

bool isTokenChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        if (!isTokenChar(c))
            return false;
    }
    return true;
}

// Visible ASCII only: no space, no control character, nothing above 0x7E.
bool isTargetText(QByteArrayView text)
{
    for (const char c : text) {
        if (uchar(c) < 0x21 || uchar(c) > 0x7e)
            return false;
    }
    return true;
}

// Field values may hold tabs, visible ASCII and bytes above 0x7F; never a
// control character (NUL, CR, LF ...) that another parser might cut at.
bool isFieldValueText(QByteArrayView text)
{
    for (const char c : text) {
        const uchar u = uchar(c);
        if ((u < 0x20 && u != '\t') || u == 0x7f)
            return false;
    }
    return true;
}

QByteArray trimmedWhitespace(const QByteArray &value)
{
    qsizetype first = 0;
    qsizetype last = value.size();
    while (first < last && (value[first] == ' ' || value[first] == '\t'))
        ++first;
    while (last > first && (value[last - 1] == ' ' || value[last - 1] == '\t'))
        --last;
    return value.mid(first, last - first);
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

HttpHeadParser::Result HttpHeadParser::parse(const QByteArray &head, qint64 maxHeadBytes)
{
    if (head.size() > maxHeadBytes)
        return Error{431, QStringLiteral("The request head is too large")};
    const QList<QByteArray> lines = head.split('\n');
    if (lines.size() - 1 > kMaxHeaderCount)
        return Error{431, QStringLiteral("The request head is too large")};
    HttpRequest request;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        // Every line but the last ends in CRLF; a bare LF or CR is refused.
        const bool last = i == lines.size() - 1;
        if (!last && !lines[i].endsWith('\r'))
            return malformed();
        const QByteArray line = last ? lines[i] : lines[i].chopped(1);
        const std::optional<Error> error = i == 0 ? parseRequestLine(line, &request) : parseHeaderLine(line, &request);
        if (error)
            return *error;
    }
    if (const std::optional<Error> error = checkFraming(&request))
        return *error;
    return request;
}

std::optional<HttpHeadParser::Error> HttpHeadParser::parseRequestLine(const QByteArray &line, HttpRequest *request)
{
    // method SP target SP version, with exactly one space between them.
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 3 || !isToken(parts[0]) || !parts[1].startsWith('/') || !isTargetText(parts[1]))
        return malformed();
    const QByteArray &version = parts[2];
    if (version.size() != 8 || !version.startsWith("HTTP/") || !isDigit(version[5]) || version[6] != '.' ||
        !isDigit(version[7]))
        return malformed();
    if (version[5] != '1')
        return Error{505, QStringLiteral("HTTP version not supported")};
    request->method = parts[0];
    request->target = parts[1];
    request->version = version;
    if (!splitTarget(request))
        return malformed();
    return std::nullopt;
}

bool HttpHeadParser::splitTarget(HttpRequest *request)
{
    const qsizetype question = request->target.indexOf('?');
    const QByteArray rawPath = question < 0 ? request->target : request->target.left(question);
    request->path = QUrl::fromPercentEncoding(rawPath);
    // An encoded control character would reach the handlers as a raw one.
    for (const QChar c : std::as_const(request->path)) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    }
    if (question >= 0)
        request->query = QUrlQuery(QString::fromLatin1(request->target.mid(question + 1)));
    return true;
}

std::optional<HttpHeadParser::Error> HttpHeadParser::parseHeaderLine(const QByteArray &line, HttpRequest *request)
{
    // A line starting with white space continues the previous one (obsolete
    // folding); the name also ends right at the colon, no space before it.
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0 || !isToken(QByteArrayView(line).first(colon)))
        return malformed();
    const QByteArray value = trimmedWhitespace(line.mid(colon + 1));
    if (!isFieldValueText(value))
        return malformed();
    request->headers.append({line.left(colon), value});
    return std::nullopt;
}

std::optional<HttpHeadParser::Error> HttpHeadParser::checkFraming(HttpRequest *request)
{
    // Only Content-Length bodies are read; a chunked body would otherwise be
    // taken for the next request.
    if (request->hasHeader("Transfer-Encoding"))
        return malformed();
    int hosts = 0;
    bool haveLength = false;
    for (const auto &[key, value] : std::as_const(request->headers)) {
        if (key.compare("Host", Qt::CaseInsensitive) == 0 && ++hosts > 1)
            return malformed();
        if (key.compare("Content-Length", Qt::CaseInsensitive) != 0)
            continue;
        qint64 length = 0;
        if (!HttpRequest::parseDecimal(value, &length) || (haveLength && length != request->contentLength))
            return malformed();
        request->contentLength = length;
        haveLength = true;
    }
    return std::nullopt;
}
