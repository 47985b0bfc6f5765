#include "http/HttpListener.h"

void HttpListener::incomingConnection(qintptr descriptor)
{
    // Nothing is queued here: Qt's pending-connection limit would count
    // sockets the server no longer tracks.
    emit accepted(descriptor);
}
