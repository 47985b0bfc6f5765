#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include <optional>

class ToolError;

// File checks and operations, name parts, size text, revealing and opening
// files. Error out-parameters are optional (nullptr).
class ToolFile final {
public:
    ToolFile() = delete;

    static bool writeData(const QByteArray &data, const QString &toFile, bool append);
    static bool writeImage(const QImage &image, const QString &toFile);

    static bool showFileInFinder(const QString &path);
    // False when neither the file manager nor any program could show them.
    static bool showMultipleFilesInFinder(const QList<QUrl> &fileUrls);
    static bool openFileAtURL(const QUrl &url);
    static bool openFileAtURL(const QString &filePath, const QString &withApplication);

    static bool isFileExistsAtPath(const QString &path);
    static bool isFolderExistsAtPath(const QString &path);
    static bool createFileAtPath(const QString &path);
    static bool createFolderAtPath(const QString &path);
    static bool moveFileFromPath(const QString &path, const QString &toPath, ToolError *error = nullptr);
    static bool copyFileFormPath(const QString &path, const QString &toPath, ToolError *error = nullptr);
    static bool removeFileAtPath(const QString &path, ToolError *error = nullptr);

    static QStringList subFileNamesWithFolderPath(const QString &folder);
    static QStringList subFilePathsWithFolderPath(const QString &folder);

    // Keys: "fileSize" (qint64), "fileType" ("NSFileTypeRegular", "NSFileTypeDirectory",
    // "NSFileTypeSymbolicLink", "NSFileTypeUnknown"), "fileCreationDate",
    // "fileModificationDate" (QDateTime), "filePosixPermissions" (int).
    static std::optional<QVariantMap> getFileAttributesAtPath(const QString &path, ToolError *error = nullptr);
    static std::optional<QDateTime> fileCreateDateAtPath(const QString &path, ToolError *error = nullptr);
    static std::optional<QDateTime> fileModificationDateAtPath(const QString &path, ToolError *error = nullptr);
    static qint64 fileSizeAtPath(const QString &path, ToolError *error = nullptr);
    static QString fileSizeFormatterToString(qint64 bytes);

    static QString fileExtensionAtPath(const QString &path);
    static QString fileNameAtPath(const QString &path);
    static QString fileTypeIdentifierAtURL(const QUrl &url);

    // Plays the resource ":/sounds/<name>.wav" once; nothing when it is missing.
    static void playSoundWithName(const QString &name);
};
