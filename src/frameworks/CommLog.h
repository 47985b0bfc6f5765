#pragma once

#include <QString>

// Information and error lines of the conversion client, through the log
// facility ("I: ..." and "E: ...").
class CommLog final {
public:
    CommLog() = delete;

    static void I(const QString &message);
    static void E(const QString &message);
};
