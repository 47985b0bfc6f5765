#include "convert/RunOutcome.h"

#include "convert/PDFConvertTask.h"
#include "frameworks/CommLang.h"

#include <algorithm>

namespace {

QString text(const char *key, const QString &langName)
{
    return CommLang::GetAppLang(QLatin1String(key), langName);
}

// Our sentence, then what the service or the transfer said, if anything.
QString withDetail(const QString &reason, const QString &detail)
{
    return detail.isEmpty() ? reason : reason + QStringLiteral(": ") + detail;
}

// What the service said about the run's merge task (the one with a task id).
QString mergeTaskDetail(const QList<std::shared_ptr<PDFConvertTask>> &tasks)
{
    for (const auto &task : tasks) {
        if (!task->taskId().isEmpty())
            return task->failureDetail();
    }
    return {};
}

// The run's completion codes (see ConvertRun): -1 no token, -2 no upload
// credentials, -3 no merge task, -4 the merge task failed, -5 nothing made.
constexpr qint32 kNoToken = -1;
constexpr qint32 kNoCredentials = -2;
constexpr qint32 kNoMergeTask = -3;
constexpr qint32 kNothingMade = -5;

} // namespace

bool RunOutcome::isTaskDone(const PDFConvertTask &task, bool merge)
{
    return merge ? !task.uploadFileId().isEmpty() : !task.downloadLocalPath().isEmpty();
}

QString RunOutcome::taskFailureReason(const PDFConvertTask &task, const QString &langName)
{
    const char *key = "ReasonDownload";
    if (task.uploadFileId().isEmpty())
        key = "ReasonUpload";
    else if (task.taskId().isEmpty())
        key = "ReasonCreate";
    else if (task.downloadURL().isEmpty())
        key = "ReasonConvert";
    return withDetail(text(key, langName), task.failureDetail());
}

QString RunOutcome::runFailureReason(qint32 status, bool merge, const QString &langName)
{
    if (status >= 0 || (status == kNothingMade && !merge))
        return {};
    switch (status) {
    case kNoToken:
        return text("ReasonService", langName);
    case kNoCredentials:
        return text("ReasonCredentials", langName);
    default:
        return merge ? text("ReasonMerge", langName) : text("ConvertFailed", langName);
    }
}

QList<RunOutcome::File> RunOutcome::files(qint32 status, const QStringList &paths, const QString &message,
                                          const QList<std::shared_ptr<PDFConvertTask>> &tasks, bool merge,
                                          const QString &langName)
{
    Q_UNUSED(message) // a log text; the reasons shown are our own
    // A merge whose task failed: that task says why.
    const QString runFailure = runFailureReason(status, merge, langName);
    const bool mergeTaskFailed = merge && !runFailure.isEmpty() && status < kNoMergeTask;
    const QString runReason = mergeTaskFailed ? withDetail(runFailure, mergeTaskDetail(tasks)) : runFailure;
    const QString merged = merge && status >= 0 && !paths.isEmpty() ? paths.constFirst() : QString();
    QList<File> files;
    for (const auto &task : tasks) {
        File file;
        file.inputPath = task->localPath();
        if (!runReason.isEmpty())
            file.failureReason = runReason;
        else if (merge)
            // A file that never reached the service is left out of the merge.
            file.resultPath = isTaskDone(*task, true) ? merged : QString();
        else
            file.resultPath = task->downloadLocalPath();
        if (file.resultPath.isEmpty() && file.failureReason.isEmpty())
            file.failureReason = merge && merged.isEmpty()
                                     ? withDetail(text("ReasonMerge", langName), mergeTaskDetail(tasks))
                                     : taskFailureReason(*task, langName);
        files.append(file);
    }
    return files;
}

QString RunOutcome::summary(qsizetype converted, qsizetype failed, const QString &langName)
{
    QString line = text("SummaryConverted", langName).arg(converted);
    if (failed > 0)
        line += QStringLiteral(", ") + text("SummaryFailed", langName).arg(failed);
    return line;
}

QString RunOutcome::summary(const QList<File> &files, const QString &langName)
{
    const qsizetype converted =
        std::count_if(files.cbegin(), files.cend(), [](const File &f) { return f.converted(); });
    return summary(converted, files.size() - converted, langName);
}
