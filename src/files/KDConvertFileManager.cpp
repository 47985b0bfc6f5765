#include "files/KDConvertFileManager.h"

#include "files/pdf/PdfDocument.h"
#include "frameworks/CommLog.h"
#include "frameworks/NotificationCenter.h"
#include "tools/ToolFile.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QObject>

namespace {

const QString kLogLocked = QStringLiteral("文件被加密，需要解锁");
const QString kLogCanceled = QStringLiteral("用户取消了输入密码，文件解锁失败");
const QString kLogUnlocked = QStringLiteral("文件解锁完成");
const QString kLogCopyWritten = QStringLiteral("文件解锁完成，可以正常进行转换");
const QString kLogCopyFailed = QStringLiteral("解锁完成，但重新写入文件失败");

} // namespace

KDConvertFileManager &KDConvertFileManager::defaultManager()
{
    static KDConvertFileManager manager;
    return manager;
}

void KDConvertFileManager::setAppMainWindow(QObject *mainWindow)
{
    mMainWindow = mainWindow;
}

void KDConvertFileManager::setPasswordPromptFactory(PasswordPromptFactory factory)
{
    mPasswordPromptFactory = std::move(factory);
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

void KDConvertFileManager::parseInputFiles(const QStringList &paths, quint64 withConvertMode)
{
    KDConvertFileList *list = mutableList(withConvertMode);
    if (!list)
        return;
    bool appended = false;
    for (const QString &path : paths) {
        // A folder is nothing to convert; callers expand folders beforehand.
        const QFileInfo info(path);
        if (!info.exists() || info.isDir())
            continue;
        // Tested before opening the file, so that a protected file whose
        // unlocked copy is listed already is not prompted for again.
        if (containsFilePath(path, withConvertMode))
            continue;
        auto record = std::make_shared<KDConvertFileMetaData>(path);
        if (const auto document = PdfDocument::openWithPath(path); document && document->isLocked()) {
            const std::optional<QString> copyPath = unlockToCopy(path, document);
            if (!copyPath || containsFilePath(*copyPath, withConvertMode))
                continue;
            record->setFilePath(*copyPath);
            record->setSourcePath(path);
        }
        list->append(record);
        appended = true;
    }
    if (appended)
        postRefreshNotification();
}

std::optional<QString> KDConvertFileManager::unlockToCopy(const QString &path,
                                                          const std::shared_ptr<PdfDocument> &document)
{
    CommLog::E(kLogLocked);
    const bool needEditPassword = isLockedWithEditPermission(document.get());
    const std::unique_ptr<PasswordPrompt> prompt =
        mPasswordPromptFactory ? mPasswordPromptFactory(appMainWindow()) : nullptr;
    if (prompt) {
        prompt->showWithFileName(QFileInfo(path).fileName(), document, needEditPassword);
        prompt->runModal();
    }
    if (!prompt || prompt->isCanceled()) {
        CommLog::E(kLogCanceled);
        return std::nullopt;
    }
    CommLog::E(kLogUnlocked);
    const QString copyPath = unlockedCopyPathForPath(path);
    if (!document->writeToFile(copyPath)) {
        CommLog::E(kLogCopyFailed);
        return std::nullopt;
    }
    CommLog::E(kLogCopyWritten);
    return copyPath;
}

void KDConvertFileManager::postRefreshNotification()
{
    NotificationCenter::defaultCenter().postNotificationName(kRefreshNotification);
}

QStringList KDConvertFileManager::matchFileTypesWithConvertMode(quint64 mode)
{
    if (mode == ConvertToPdf)
        return {QStringLiteral("doc"),  QStringLiteral("docx"), QStringLiteral("ppt"),
                QStringLiteral("pptx"), QStringLiteral("xls"),  QStringLiteral("xlsx"),
                QStringLiteral("jpg"),  QStringLiteral("bmp"),  QStringLiteral("png")};
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

bool KDConvertFileManager::isLockedWithEditPermission(const PdfDocument *document)
{
    if (!document)
        return false;
    return !(document->allowsDocumentAssembly() && document->allowsDocumentChanges() &&
             document->allowsFormFieldEntry());
}

QString KDConvertFileManager::unlockedCopyPathForPath(const QString &path)
{
    // The name keeps its extension, in its own case, after the suffix.
    const QString name = QFileInfo(path).fileName();
    const QString stem = ToolFile::fileNameAtPath(name);
    return path.left(path.size() - name.size()) + stem + QStringLiteral("_unlocked") + name.mid(stem.size());
}
