#pragma once

#include "frameworks/CommAppInfo.h"

#include <QPointer>

class QObject;

// The framework's holder of the current application-information record and of
// the window its own dialogs are parented to. Readers on worker threads get a
// consistent copy; the record is replaced as a whole after a language change.
class VAZevediZeziz final {
public:
    VAZevediZeziz() = delete;

    static void initWithCommAppInfo(const CommAppInfo &info, QObject *parentWindow);
    static CommAppInfo appInfo();
    static void setAppInfo(const CommAppInfo &info);
    static QObject *parentWindow();
};
