#include "files/KDConvertFileManager.h"

#include "files/pdf/PdfDocument.h"
#include "frameworks/CommLog.h"
#include "frameworks/NotificationCenter.h"
#include "tools/ToolFile.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QObject>
#include <QSet>

#include <algorithm>
#include <cstdlib>

namespace {

const QString kLogLocked = QStringLiteral("文件被加密，需要解锁");
const QString kLogCanceled = QStringLiteral("用户取消了输入密码，文件解锁失败");
const QString kLogUnlocked = QStringLiteral("文件解锁完成");
const QString kLogCopyWritten = QStringLiteral("文件解锁完成，可以正常进行转换");
const QString kLogCopyFailed = QStringLiteral("解锁完成，但重新写入文件失败");

bool hasFileType(const QString &path, const QStringList &fileTypes)
{
    return fileTypes.contains(ToolFile::fileExtensionAtPath(path).toLower());
}

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

bool KDConvertFileManager::reorderFileMetaDatas(const KDConvertFileList &order, quint64 withConvertMode)
{
    KDConvertFileList *list = mutableList(withConvertMode);
    if (!list || order.size() != list->size() || order == *list)
        return false;
    // Same records, each once: a permutation and nothing else.
    const QSet<KDConvertFileMetaData *> listed = [list] {
        QSet<KDConvertFileMetaData *> set;
        for (const KDConvertFileRecord &record : std::as_const(*list))
            set.insert(record.get());
        return set;
    }();
    QSet<KDConvertFileMetaData *> seen;
    for (const KDConvertFileRecord &record : order) {
        if (!listed.contains(record.get()) || seen.contains(record.get()))
            return false;
        seen.insert(record.get());
    }
    *list = order;
    postRefreshNotification();
    return true;
}

bool KDConvertFileManager::moveFileMetaDatas(const KDConvertFileList &records, quint64 withConvertMode,
                                             qsizetype beforeRow)
{
    const KDConvertFileList &list = getFileDatasWithConvertMode(withConvertMode);
    beforeRow = std::clamp<qsizetype>(beforeRow, 0, list.size());
    KDConvertFileList moved;
    KDConvertFileList order;
    qsizetype insertAt = 0;
    for (qsizetype row = 0; row < list.size(); ++row) {
        const KDConvertFileRecord &record = list.at(row);
        if (records.contains(record)) {
            moved.append(record);
            continue;
        }
        if (row < beforeRow)
            ++insertAt;
        order.append(record);
    }
    if (moved.isEmpty())
        return false;
    for (qsizetype i = 0; i < moved.size(); ++i)
        order.insert(insertAt + i, moved.at(i));
    return reorderFileMetaDatas(order, withConvertMode);
}

bool KDConvertFileManager::shiftFileMetaDatas(const KDConvertFileList &records, quint64 withConvertMode, int step)
{
    if (step == 0)
        return false;
    KDConvertFileList order = getFileDatasWithConvertMode(withConvertMode);
    const qsizetype count = order.size();
    const qsizetype direction = step < 0 ? -1 : 1;
    for (int moves = std::abs(step); moves > 0; --moves) {
        // Walk towards the moving direction first, so a block moves as one and
        // a record at the edge holds back the records behind it.
        for (qsizetype i = 0; i < count; ++i) {
            const qsizetype row = direction < 0 ? i : count - 1 - i;
            const qsizetype target = row + direction;
            if (target < 0 || target >= count || !records.contains(order.at(row)) || records.contains(order.at(target)))
                continue;
            order.swapItemsAt(row, target);
        }
    }
    return reorderFileMetaDatas(order, withConvertMode);
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
    QStringList result;
    for (const QString &path : files) {
        if (QFileInfo(path).isDir())
            appendMatchesBelow(path, forNeedFileTypes, result);
        else if (hasFileType(path, forNeedFileTypes))
            result.append(path);
    }
    return result;
}

// Symbolic links to folders are not followed: a link back up the tree would
// never end. A folder that cannot be listed contributes nothing.
void KDConvertFileManager::appendMatchesBelow(const QString &folder, const QStringList &fileTypes, QStringList &result)
{
    // The C locale collates code point by code point and ignores numeric mode.
    const QLocale system;
    QCollator collator(system.language() == QLocale::C ? QLocale(QLocale::English) : system);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const auto naturally = [&collator](const QFileInfo &a, const QFileInfo &b) {
        const int order = collator.compare(a.fileName(), b.fileName());
        return order != 0 ? order < 0 : a.fileName() < b.fileName();
    };
    const QDir dir(folder);
    QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    std::sort(entries.begin(), entries.end(), naturally);
    QFileInfoList subfolders;
    for (const QFileInfo &entry : std::as_const(entries)) {
        if (entry.isDir()) {
            if (!entry.isSymLink())
                subfolders.append(entry);
        } else if (hasFileType(entry.filePath(), fileTypes)) {
            result.append(entry.filePath());
        }
    }
    for (const QFileInfo &subfolder : std::as_const(subfolders))
        appendMatchesBelow(subfolder.filePath(), fileTypes, result);
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
