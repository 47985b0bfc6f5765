#include "core/SignalWatcher.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int gSockets[2] = {-1, -1};

void onSignal(int number)
{
    const char byte = char(number);
    [[maybe_unused]] const auto written = ::write(gSockets[0], &byte, 1);
}

} // namespace

SignalWatcher::SignalWatcher(QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, gSockets) != 0)
        return;
    mNotifier = new QSocketNotifier(gSockets[1], QSocketNotifier::Read, this);
    connect(mNotifier, &QSocketNotifier::activated, this, &SignalWatcher::onReadable);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(number, &action, nullptr);
    // A client that drops a connection must not kill the service.
    ::signal(SIGPIPE, SIG_IGN);
}

SignalWatcher::~SignalWatcher()
{
    for (const int number : {SIGTERM, SIGINT, SIGHUP})
        ::signal(number, SIG_DFL);
    delete mNotifier;
    for (int &socket : gSockets) {
        if (socket >= 0)
            ::close(socket);
        socket = -1;
    }
}

void SignalWatcher::onReadable()
{
    char byte = 0;
    if (::read(gSockets[1], &byte, 1) == 1)
        emit stopRequested(int(byte));
}
