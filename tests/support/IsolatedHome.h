#pragma once

#include <QString>
#include <QTemporaryDir>

// Points HOME and the XDG folders at a fresh temporary folder for the life of
// the object, so that a test never reads or writes the real user's settings,
// caches or Documents. Must be created before the Qt application object.
class IsolatedHome final {
public:
    IsolatedHome();
    IsolatedHome(const IsolatedHome &) = delete;
    IsolatedHome &operator=(const IsolatedHome &) = delete;

    QString path() const { return mDir.path(); }

private:
    QTemporaryDir mDir;
};
