#pragma once

#include <QString>

// An OOXML package seen through its zip central directory (libzip): whether
// it holds the main part of a document kind. Nothing is extracted.
class OfficePackage final {
public:
    OfficePackage() = delete;

    // True when `path` is a zip archive with `mainPart` ("word/document.xml"),
    // or whose package relationships name a main document inside
    // `folder` ("word/") that the archive holds. Part names ignore case.
    static bool hasMainPart(const QString &path, const QString &mainPart, const QString &folder);
};
