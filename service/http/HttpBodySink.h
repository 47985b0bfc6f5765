#pragma once

#include "http/HttpResponse.h"

// Receives a request body piece by piece as it arrives, so that a large upload
// never sits in memory.
class HttpBodySink {
public:
    virtual ~HttpBodySink() = default;
    // False stops the transfer; finish() then reports why.
    virtual bool write(const char *data, qint64 size) = 0;
    // Called once the body has ended (or write() refused more).
    virtual HttpResponse finish() = 0;
    // The connection ended before the body did.
    virtual void abort() = 0;
};
