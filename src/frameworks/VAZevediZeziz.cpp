#include "frameworks/VAZevediZeziz.h"

#include <QMutex>
#include <QMutexLocker>
#include <QObject>

namespace {

struct State {
    QMutex mutex;
    CommAppInfo info;
    QPointer<QObject> parentWindow;
};

State &state()
{
    static State s;
    return s;
}

} // namespace

void VAZevediZeziz::initWithCommAppInfo(const CommAppInfo &info, QObject *parentWindow)
{
    QMutexLocker lock(&state().mutex);
    state().info = info;
    state().parentWindow = parentWindow;
}

CommAppInfo VAZevediZeziz::appInfo()
{
    QMutexLocker lock(&state().mutex);
    return state().info;
}

void VAZevediZeziz::setAppInfo(const CommAppInfo &info)
{
    QMutexLocker lock(&state().mutex);
    state().info = info;
}

QObject *VAZevediZeziz::parentWindow()
{
    QMutexLocker lock(&state().mutex);
    return state().parentWindow.data();
}
