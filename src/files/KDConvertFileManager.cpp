#include "KDConvertFileManager.h"

#include "NotificationCenter.h"
#include "ToolFile.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QObject>

KDConvertFileManager &KDConvertFileManager::defaultManager()
{
    static KDConvertFileManager manager;
    return manager;
}

void KDConvertFileManager::setAppMainWindow(QObject *mainWindow)
{
    mMainWindow = mainWindow;
}

const KDConvertFileList &KDConvertFileManager::getFileDatasWithConvertMode(quint64 mode) const
{
    static const KDConvertFileList empty;
    switch (mode) {
    case ConvertFromPdf:
        return _pdfToOtherDatas;
    case ConvertToPdf:
        return _otherToPdfDatas;
    case MergePdf:
        return _mergePdfDatas;
    default:
        return empty;
    }
}

KDConvertFileList *KDConvertFileManager::mutableList(quint64 mode)
{
    switch (mode) {
    case ConvertFromPdf:
        return &_pdfToOtherDatas;
    case ConvertToPdf:
        return &_otherToPdfDatas;
    case MergePdf:
        return &_mergePdfDatas;
    default:
        return nullptr;
    }
}

void KDConvertFileManager::removeFileMetaDatas(const KDConvertFileList &records, quint64 withConvertMode)
{
    // Copied first: the caller may pass the mode's own list.
    const KDConvertFileList doomed = records;
    if (KDConvertFileList *list = mutableList(withConvertMode)) {
        list->removeIf([&doomed](const KDConvertFileRecord &record) { return doomed.contains(record); });
    }
    postRefreshNotification();
}

bool KDConvertFileManager::appendFileMetaDatas(const KDConvertFileList &records, quint64 withConvertMode)
{
    KDConvertFileList *list = mutableList(withConvertMode);
    if (!list)
        return false;
    list->append(records);
    return true;
}

bool KDConvertFileManager::containsFilePath(const QString &path, quint64 withConvertMode) const
{
    const KDConvertFileList &list = getFileDatasWithConvertMode(withConvertMode);
    return std::any_of(list.cbegin(), list.cend(), [&path](const KDConvertFileRecord &record) {
        return record->filePath() == path || record->sourcePath() == path;
    });
}

void KDConvertFileManager::postRefreshNotification()
{
    NotificationCenter::defaultCenter().postNotificationName(kRefreshNotification);
}

QStringList KDConvertFileManager::matchFileTypesWithConvertMode(quint64 mode)
{
    if (mode == ConvertToPdf)
        return {QStringLiteral("doc"), QStringLiteral("docx"), QStringLiteral("ppt"), QStringLiteral("pptx"),
                QStringLiteral("xls"), QStringLiteral("xlsx"), QStringLiteral("jpg"), QStringLiteral("bmp"),
                QStringLiteral("png")};
    return {QStringLiteral("pdf")};
}

QStringList KDConvertFileManager::matchFiles(const QStringList &files, const QStringList &forNeedFileTypes)
{
    const auto matches = [&forNeedFileTypes](const QString &path) {
        return forNeedFileTypes.contains(ToolFile::fileExtensionAtPath(path).toLower());
    };
    QStringList result;
    for (const QString &path : files) {
        if (!QFileInfo(path).isDir()) {
            if (matches(path))
                result.append(path);
            continue;
        }
        // A folder that cannot be listed yields no entries and so contributes nothing.
        QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo entry = it.nextFileInfo();
            if (!entry.isDir() && matches(entry.filePath()))
                result.append(entry.filePath());
        }
    }
    return result;
}

QString KDConvertFileManager::getFileTypeIconWithFileExtension(const QString &extension)
{
    const QString ext = extension.toLower();
    if (ext == QLatin1String("pdf"))
        return QStringLiteral("file_pdf");
    if (ext == QLatin1String("doc") || ext == QLatin1String("docx"))
        return QStringLiteral("file_word");
    if (ext == QLatin1String("ppt") || ext == QLatin1String("pptx"))
        return QStringLiteral("file_ppt");
    if (ext == QLatin1String("xls") || ext == QLatin1String("xlsx"))
        return QStringLiteral("file_excel");
    if (ext == QLatin1String("png") || ext == QLatin1String("jpg") || ext == QLatin1String("jpeg") ||
        ext == QLatin1String("bmp"))
        return QStringLiteral("file_ps");
    return QStringLiteral("pdf_file");
}
