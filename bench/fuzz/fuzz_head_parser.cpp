// libFuzzer target for the service's request-head parser. Any bytes must be
// refused or accepted without a crash, and an accepted head must hold what
// the connection relies on: no control character in a value, one body
// length, no Transfer-Encoding, and the same reading when written out again.
#include "http/HttpHeadParser.h"

#include <cstdint>
#include <cstdlib>

namespace {

constexpr qint64 kMaxHead = 16 * 1024;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

bool hasControl(const QByteArray &text)
{
    for (const char c : text) {
        if ((uchar(c) < 0x20 && c != '\t') || uchar(c) == 0x7f)
            return true;
    }
    return false;
}

QByteArray writtenOut(const HttpRequest &request)
{
    QByteArray head = request.method + ' ' + request.target + ' ' + request.version;
    for (const auto &[name, value] : request.headers)
        head += "\r\n" + name + ": " + value;
    return head;
}

void checkAccepted(const HttpRequest &request)
{
    require(!request.method.isEmpty() && request.target.startsWith('/') && request.version.startsWith("HTTP/1."));
    require(request.contentLength >= 0 && !request.hasHeader("Transfer-Encoding"));
    for (const auto &[name, value] : request.headers) {
        require(!name.isEmpty() && !hasControl(name) && !name.contains(':') && !name.contains(' '));
        require(!hasControl(value) && !value.startsWith(' ') && !value.endsWith(' '));
        if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
            require(value.toLongLong() == request.contentLength);
    }
    for (const QChar c : request.path)
        require(c.unicode() >= 0x20 && c.unicode() != 0x7f);
    // The helpers the handlers call must cope with whatever was accepted.
    (void)request.hostName();
    (void)request.wantsClose();
    (void)request.parameters();

    const HttpHeadParser::Result again = HttpHeadParser::parse(writtenOut(request), kMaxHead * 2);
    const auto *reread = std::get_if<HttpRequest>(&again);
    require(reread && reread->method == request.method && reread->target == request.target &&
            reread->headers == request.headers && reread->contentLength == request.contentLength);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray head(reinterpret_cast<const char *>(data), qsizetype(size));
    const HttpHeadParser::Result result = HttpHeadParser::parse(head, kMaxHead);
    if (const auto *request = std::get_if<HttpRequest>(&result)) {
        checkAccepted(*request);
    } else {
        const int status = std::get<HttpHeadParser::Error>(result).status;
        require(status == 400 || status == 431 || status == 505);
    }
    return 0;
}
