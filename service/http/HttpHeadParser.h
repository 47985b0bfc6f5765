#pragma once

#include "http/HttpRequest.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <variant>

// Turns a request head (the request line and the header lines, without the
// blank line that ends them) into a request, or into the status that refuses
// it. Strict on purpose: whatever two parsers could read differently (a
// folded line, a stray CR, two lengths) is refused rather than guessed at.
class HttpHeadParser final {
public:
    HttpHeadParser() = delete;

    struct Error {
        int status = 400; // 400 malformed, 431 too large, 505 not HTTP/1.x
        QString message;
    };
    using Result = std::variant<HttpRequest, Error>;

    static constexpr int kMaxHeaderCount = 100;

    static Result parse(const QByteArray &head, qint64 maxHeadBytes);

private:
    static std::optional<Error> parseRequestLine(const QByteArray &line, HttpRequest *request);
    static std::optional<Error> parseHeaderLine(const QByteArray &line, HttpRequest *request);
    static std::optional<Error> checkFraming(HttpRequest *request);
    static bool splitTarget(HttpRequest *request);
};
