#pragma once

#include <QString>

// The object keys the service hands out ("uploads/" and 32 hex digits) and
// where the bytes of each are kept.
class ObjectKeys final {
public:
    ObjectKeys() = delete;

    // The file of `key` inside `folder`; empty for a key the service never issues.
    static QString pathIn(const QString &folder, const QString &key);
};
