#pragma once

#include <QString>
#include <QStringList>

// Where a downloaded result goes: the service's file name made safe, the
// temporary name it is fetched under, and its final name after the input.
class ResultNames final {
public:
    ResultNames() = delete;

    // One plain file name: no folders, no "..", no control characters, at
    // most 255 bytes; "result" when nothing usable is left.
    static QString safeFileName(const QString &serviceFileName);
    // A hidden, unique name in the output folder with the result's extension.
    static QString temporaryDownloadName(const QString &serviceFileName);
    // <folder>/<input's base name>.<extension of the service's file name>.
    static QString finalPath(const QString &folder, const QString &inputPath, const QString &serviceFileName);
    // The path itself, or the first free "name(n).ext" when the path is one of
    // the claimed paths: the run's own inputs and the results it has already
    // placed, which a result must never replace. Free: neither claimed nor on
    // disk. A file of an earlier run under the path itself is not claimed.
    static QString avoidingClaimed(const QString &path, const QStringList &claimedPaths);
};
