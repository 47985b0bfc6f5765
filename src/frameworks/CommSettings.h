#pragma once

#include <QString>

// Version facts of the running build.
class CommSettings final {
public:
    CommSettings() = delete;

    // "<project version> (<release date>)", e.g. "1.0.0 (06/08/2020)".
    static QString getAppVersion(const QString &releaseDate);
};
