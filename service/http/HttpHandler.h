#pragma once

#include "http/HttpBodySink.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"

#include <functional>
#include <memory>

// What the server does with a request once its head has arrived: answer at
// once (the body, if any, is never read), answer later without reading the
// body either, read a small body and then answer, or stream the body into a
// sink.
struct HttpRoute {
    enum class Kind { Respond, Later, Buffer, Stream };
    using BufferedHandler = std::function<HttpResponse(const HttpRequest &request)>;
    // Sends the answer to a request routed `later`, on the server's thread.
    // Only the first call counts; one for a peer that has gone is dropped.
    using Responder = std::function<void(HttpResponse response)>;
    using LaterHandler = std::function<void(Responder respond)>;

    Kind kind = Kind::Respond;
    HttpResponse response;
    BufferedHandler handler;
    LaterHandler laterHandler;
    std::unique_ptr<HttpBodySink> sink;

    static HttpRoute respond(HttpResponse response)
    {
        HttpRoute route;
        route.response = std::move(response);
        return route;
    }
    // The connection takes no further request until the handler's responder
    // is called; the handler bounds how long that takes.
    static HttpRoute later(LaterHandler handler)
    {
        HttpRoute route;
        route.kind = Kind::Later;
        route.laterHandler = std::move(handler);
        return route;
    }
    static HttpRoute buffer(BufferedHandler handler)
    {
        HttpRoute route;
        route.kind = Kind::Buffer;
        route.handler = std::move(handler);
        return route;
    }
    static HttpRoute stream(std::unique_ptr<HttpBodySink> sink)
    {
        HttpRoute route;
        route.kind = Kind::Stream;
        route.sink = std::move(sink);
        return route;
    }
};

class HttpHandler {
public:
    virtual ~HttpHandler() = default;
    virtual HttpRoute route(const HttpRequest &head) = 0;
};
