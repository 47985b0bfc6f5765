#include "support/IsolatedHome.h"

#include <QDir>

#include <cstdio>
#include <cstdlib>

IsolatedHome::IsolatedHome() : mDir(QDir::tempPath() + QStringLiteral("/mirelune-test-XXXXXX"))
{
    if (!mDir.isValid()) {
        std::fprintf(stderr, "cannot create a temporary home folder\n");
        std::abort();
    }
    const QByteArray home = QFile::encodeName(mDir.path());
    qputenv("HOME", home);
    qputenv("XDG_CONFIG_HOME", home + "/.config");
    qputenv("XDG_CACHE_HOME", home + "/.cache");
    qputenv("XDG_DATA_HOME", home + "/.local/share");
    qputenv("XDG_RUNTIME_DIR", home + "/.runtime");
    qunsetenv("XDG_DOCUMENTS_DIR");
    QDir().mkpath(mDir.path() + QStringLiteral("/.runtime"));
    QFile::setPermissions(mDir.path() + QStringLiteral("/.runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
