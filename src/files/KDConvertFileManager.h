#pragma once

#include "files/ConvertTypes.h"
#include "files/KDConvertFileMetaData.h"
#include "files/PasswordPrompt.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class PdfDocument;
class QObject;

using KDConvertFileList = QList<KDConvertFileRecord>;

// The store of the three per-mode file lists. Lists live as long as the
// store and change only in place, so a reference taken once always shows the
// current list. Main thread only.
class KDConvertFileManager final {
public:
    KDConvertFileManager() = default;
    KDConvertFileManager(const KDConvertFileManager &) = delete;
    KDConvertFileManager &operator=(const KDConvertFileManager &) = delete;

    static KDConvertFileManager &defaultManager();

    void setAppMainWindow(QObject *mainWindow);
    QObject *appMainWindow() const { return mMainWindow.data(); }
    // How the intake asks for the passwords of a locked PDF. Without a
    // factory, locked PDFs are skipped as if their prompt had been cancelled.
    void setPasswordPromptFactory(PasswordPromptFactory factory);

    // The mode's live list; for a value outside the three modes an empty list
    // that never changes.
    const KDConvertFileList &getFileDatasWithConvertMode(quint64 mode) const;
    // Removes every given record (by identity) from the mode's list, then
    // posts "notification.refresh.fileContentData" even when nothing went.
    void removeFileMetaDatas(const KDConvertFileList &records, quint64 withConvertMode);
    // Appends records at the end of the mode's list (no notification: the
    // intake posts one for the whole pass). False for an unknown mode.
    bool appendFileMetaDatas(const KDConvertFileList &records, quint64 withConvertMode);
    // Puts the mode's list into the given order, which must hold exactly the
    // list's records; anything else changes nothing. Posts the refresh
    // notification when the order changed; true then.
    bool reorderFileMetaDatas(const KDConvertFileList &order, quint64 withConvertMode);
    // Moves the given records of the mode's list, keeping their order among
    // themselves, in front of the record at beforeRow (the list's size: to the
    // end). Rows count in the list as it is before the move.
    bool moveFileMetaDatas(const KDConvertFileList &records, quint64 withConvertMode, qsizetype beforeRow);
    // Moves each given record one place up (step < 0) or down (step > 0); a
    // block of given records moves as a whole and stops at the list's ends.
    bool shiftFileMetaDatas(const KDConvertFileList &records, quint64 withConvertMode, int step);
    // True when a record of the mode's list has exactly this filePath, or was
    // made from this path as an unlocked copy.
    bool containsFilePath(const QString &path, quint64 withConvertMode) const;

    // Appends a record to the mode's list for every path that exists, is not
    // listed yet and, for a locked PDF, was unlocked into a copy beside it;
    // posts one refresh notification when anything was appended.
    void parseInputFiles(const QStringList &paths, quint64 withConvertMode);

    static void postRefreshNotification();

    // Accepted extensions per mode, lower case.
    static QStringList matchFileTypesWithConvertMode(quint64 mode);
    // The given files that match and the matching files below given folders,
    // in order, repeats kept. A folder gives its own files first, then those
    // of its subfolders, each in natural order ("doc2" before "doc10").
    static QStringList matchFiles(const QStringList &files, const QStringList &forNeedFileTypes);
    // The image name of a file type.
    static QString getFileTypeIconWithFileExtension(const QString &extension);
    // True when the document forbids assembly, changes or form filling.
    static bool isLockedWithEditPermission(const PdfDocument *document);
    // "/docs/Report.PDF" -> "/docs/Report_unlocked.PDF".
    static QString unlockedCopyPathForPath(const QString &path);

    static inline const QString kRefreshNotification = QStringLiteral("notification.refresh.fileContentData");

private:
    KDConvertFileList *mutableList(quint64 mode);
    static void appendMatchesBelow(const QString &folder, const QStringList &fileTypes, QStringList &result);
    // Prompts for the passwords and writes the unlocked copy; its path, or
    // nothing when the file is to be skipped.
    std::optional<QString> unlockToCopy(const QString &path, const std::shared_ptr<PdfDocument> &document);

    KDConvertFileList _pdfToOtherDatas;
    KDConvertFileList _otherToPdfDatas;
    KDConvertFileList _mergePdfDatas;
    QPointer<QObject> mMainWindow;
    PasswordPromptFactory mPasswordPromptFactory;
};
