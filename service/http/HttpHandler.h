#pragma once

#include "http/HttpBodySink.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"

#include <functional>
#include <memory>

// What the server does with a request once its head has arrived: answer at
// once (the body, if any, is never read), read a small body and then answer,
// or stream the body into a sink.
struct HttpRoute {
    enum class Kind { Respond, Buffer, Stream };
    using BufferedHandler = std::function<HttpResponse(const HttpRequest &request)>;

    Kind kind = Kind::Respond;
    HttpResponse response;
    BufferedHandler handler;
    std::unique_ptr<HttpBodySink> sink;

    static HttpRoute respond(HttpResponse response)
    {
        HttpRoute route;
        route.response = std::move(response);
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
