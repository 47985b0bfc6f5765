#include "convert/ConvertRun.h"

#include "convert/PDFConvert.h"
#include "convert/PDFConvertTask.h"
#include "convert/ResultNames.h"
#include "convert/ServicePacing.h"
#include "convert/TaskKinds.h"
#include "protocol/ServiceTypes.h"
#include "tools/SerialQueue.h"
#include "tools/ToolFile.h"

#include <QFile>
#include <QFileInfo>
#include <QThreadPool>

#include <algorithm>
#include <limits>

namespace {

SerialQueue &progressQueue()
{
    static SerialQueue queue(QStringLiteral("queue.convert.updateProgress"));
    return queue;
}

const QString kCreateMergeFailed = QStringLiteral("合并pdf时在服务端创建任务失败");

} // namespace

ConvertRun::ConvertRun(quint64 generation, const QStringList &inputFiles, const QString &ouputFileType,
                       const QString &outputFolder, ProgressBlock progressBlock, CompletedBlock completedBlock)
    : mGeneration(generation), mInputFiles(inputFiles), mProgressBlock(std::move(progressBlock)),
      mCompletedBlock(std::move(completedBlock)), mProgress(int(inputFiles.size())),
      mPacing(ServicePacing::fromSettings(PDFConvertTask::queryInterval()))
{
    for (const QString &path : inputFiles) {
        auto task = std::make_shared<PDFConvertTask>();
        task->setLocalPath(path);
        task->setOutputFolder(outputFolder);
        task->setPacing(mPacing);
        PDFConvert::setServiceTypeToTask(task.get(), ouputFileType);
        if (task->serviceTypeName() != ServiceTypes::kMergePdf)
            mIsMerge = false;
        mTasks.append(task);
    }
}

ConvertRun::~ConvertRun() = default;

bool ConvertRun::isCurrent() const
{
    return PDFConvert::currentRunGeneration() == mGeneration;
}

void ConvertRun::report(int percent)
{
    if (mProgressBlock && isCurrent())
        mProgressBlock(percent);
}

void ConvertRun::finish(qint32 status, const QStringList &paths, const QString &message)
{
    if (mCompletedBlock && isCurrent())
        mCompletedBlock(status, paths, message);
}

void ConvertRun::finishOnce(qint32 status, const QStringList &paths, const QString &message)
{
    if (!mFinished.exchange(true))
        finish(status, paths, message);
}

void ConvertRun::finishOnceAfterProgress(qint32 status, const QStringList &paths)
{
    if (!mFinished.exchange(true))
        progressQueue().async(
            [self = shared_from_this(), status, paths] { self->finish(status, paths, QString(QLatin1String(""))); });
}

void ConvertRun::start()
{
    QThreadPool::globalInstance()->start([self = shared_from_this()] {
        QString serviceError;
        if (!PDFConvert::prepareService(&serviceError)) {
            self->finishOnce(-1, {}, QStringLiteral("token 数据获取异常 %1").arg(serviceError));
            return;
        }
        PDFConvert::obtainApiToken(
            [self] {
                std::lock_guard lock(self->mLock);
                self->report(self->mProgress.tokenDone());
            },
            [self](bool ok, const QString &failureText) {
                if (ok)
                    self->startConvertWithGetAuthentication();
                else
                    self->finishOnce(-1, {}, failureText);
            });
    });
}

void ConvertRun::cancel()
{
    for (const auto &task : std::as_const(mTasks))
        task->cancel();
}

bool ConvertRun::completeAndCheckAll(PDFConvertTask *task)
{
    std::lock_guard lock(mLock);
    task->setIsCompleted(true);
    return std::all_of(mTasks.cbegin(), mTasks.cend(), [](const auto &t) { return t->isCompleted(); });
}

void ConvertRun::taskProgressed(PDFConvertTask *task, qint32 percent, Step step)
{
    // The sum is taken now, under the lock, so that a later change of the
    // tasks (the download step resetting them) cannot leak into this figure.
    std::lock_guard lock(mLock);
    task->setProgressPercent(percent);
    const auto [sum, total] = stepSum(step);
    progressQueue().async(
        [self = shared_from_this(), step, sum = sum, total = total] { self->applyStep(step, sum, total); });
}

void ConvertRun::applyStep(Step step, qint64 sum, qint64 total)
{
    std::lock_guard lock(mLock);
    switch (step) {
    case Step::Upload:
        report(mProgress.uploadStep(sum, total));
        break;
    case Step::Query:
        report(mProgress.queryStep(sum, total));
        break;
    case Step::Download:
        report(mProgress.downloadStep(sum, total));
        break;
    }
}

void ConvertRun::updateCurrentUploadProgress()
{
    const auto [sum, total] = [this] {
        std::lock_guard lock(mLock);
        return stepSum(Step::Upload);
    }();
    applyStep(Step::Upload, sum, total);
}

void ConvertRun::updateQueryProgress()
{
    const auto [sum, total] = [this] {
        std::lock_guard lock(mLock);
        return stepSum(Step::Query);
    }();
    applyStep(Step::Query, sum, total);
}

void ConvertRun::updateDownloadProgress()
{
    const auto [sum, total] = [this] {
        std::lock_guard lock(mLock);
        return stepSum(Step::Download);
    }();
    applyStep(Step::Download, sum, total);
}

// ---- credentials and uploads ----

void ConvertRun::startConvertWithGetAuthentication()
{
    if (mTasks.isEmpty()) {
        startConvertWithCreateTask();
        return;
    }
    for (const auto &task : std::as_const(mTasks)) {
        std::weak_ptr<ConvertRun> weak = weak_from_this();
        PDFConvert::requestUploadConfig(
            QFileInfo(task->localPath()).fileName(), [weak, task](const std::optional<QVariantMap> &data) {
                if (const auto self = weak.lock())
                    self->handleCredentialReply(task, data.has_value(), data.value_or(QVariantMap()));
            });
    }
}

void ConvertRun::handleCredentialReply(const std::shared_ptr<PDFConvertTask> &task, bool ok, const QVariantMap &data)
{
    {
        std::lock_guard lock(mLock);
        report(mProgress.credentialReply());
    }
    if (!ok) {
        finish(-2, {}, QStringLiteral("获取令牌失败"));
        return;
    }
    task->setUploadConfigDict(data);
    auto self = shared_from_this();
    task->startUploadWithProgressBlock(
        [self](PDFConvertTask *t, qint32 percent) { self->taskProgressed(t, percent, Step::Upload); },
        [self](PDFConvertTask *t, bool, const QString &) {
            if (self->completeAndCheckAll(t))
                self->startConvertWithCreateTask();
        });
}

// ---- server tasks ----

void ConvertRun::startConvertWithCreateTask()
{
    if (mCreationStarted.exchange(true))
        return;
    TaskList uploaded;
    for (const auto &task : std::as_const(mTasks)) {
        if (!task->uploadFileId().isEmpty())
            uploaded.append(task);
    }
    if (uploaded.isEmpty()) {
        // Nothing reached the service: end the run instead of waiting forever.
        if (mIsMerge)
            finishOnce(-3, {}, kCreateMergeFailed);
        else
            finishOnce(-5, {}, QString(QLatin1String("")));
        return;
    }
    if (mIsMerge)
        createMergeTask(uploaded);
    else
        createConversionTasks(uploaded);
}

void ConvertRun::createMergeTask(const TaskList &uploaded)
{
    const std::shared_ptr<PDFConvertTask> mergeTask = uploaded.first();
    QStringList fileIds;
    for (const auto &task : uploaded)
        fileIds.append(task->uploadFileId());
    auto self = shared_from_this();
    PDFConvert::requestCreateTask(
        ServiceTypes::kMergePdf, fileIds,
        PDFConvert::getServerTaskArgsWithServiceTypeName(ServiceTypes::kMergePdf, QString()),
        [self, mergeTask](const QString &taskId, const QVariantMap &data) {
            mergeTask->takePacingHint(data);
            mergeTask->setTaskId(taskId);
            if (taskId.isEmpty()) {
                self->finishOnce(-3, {}, kCreateMergeFailed);
                return;
            }
            mergeTask->startQueryConvertWithProgressBlock(
                [self](PDFConvertTask *t, qint32 percent) { self->taskProgressed(t, percent, Step::Query); },
                [self](PDFConvertTask *t, bool success, const QString &message) {
                    self->completeAndCheckAll(t);
                    if (success)
                        self->startConvertWithDownloadFiles();
                    else
                        self->finishOnce(-4, {}, QStringLiteral("合并pdf任务处理失败.error - %1").arg(message));
                });
        });
}

void ConvertRun::createConversionTasks(const TaskList &uploaded)
{
    {
        std::lock_guard lock(mLock);
        for (const auto &task : uploaded)
            task->setIsCompleted(false);
    }
    auto self = shared_from_this();
    const auto queryCompleted = [self](PDFConvertTask *t, bool, const QString &) {
        if (self->completeAndCheckAll(t))
            self->startConvertWithDownloadFiles();
    };
    for (const auto &task : uploaded) {
        const QString type = task->serviceTypeName();
        PDFConvert::requestCreateTask(
            type, {task->uploadFileId()},
            PDFConvert::getServerTaskArgsWithServiceTypeName(type, ToolFile::fileExtensionAtPath(task->localPath())),
            [self, task, queryCompleted](const QString &taskId, const QVariantMap &data) {
                // Taken before the first poll, which waits as the hint says.
                task->takePacingHint(data);
                task->setTaskId(taskId);
                if (taskId.isEmpty()) {
                    queryCompleted(task.get(), false, QString());
                    return;
                }
                task->startQueryConvertWithProgressBlock(
                    [self](PDFConvertTask *t, qint32 percent) { self->taskProgressed(t, percent, Step::Query); },
                    queryCompleted);
            });
    }
}

std::pair<qint64, qint64> ConvertRun::stepSum(Step step) const
{
    if (step == Step::Upload) {
        qint64 sum = 0;
        for (const auto &task : mTasks)
            sum += task->progressPercent();
        return {sum, 100 * qint64(mTasks.size())};
    }
    if (mIsMerge) {
        for (const auto &task : mTasks) {
            if (!task->taskId().isEmpty())
                return {task->progressPercent(), 100};
        }
        return {0, 100};
    }
    qint64 sum = 0;
    for (const auto &task : mTasks)
        sum += task->taskId().isEmpty() ? 100 : task->progressPercent();
    return {sum, 100 * qint64(mTasks.size())};
}

// ---- downloads ----

void ConvertRun::startConvertWithDownloadFiles()
{
    if (mDownloadStarted.exchange(true))
        return;
    if (mIsMerge) {
        for (const auto &task : std::as_const(mTasks)) {
            if (!task->taskId().isEmpty()) {
                _startConvertWithDownloadFileWithTask(task);
                return;
            }
        }
        finishOnce(-5, {}, QString(QLatin1String("")));
        return;
    }
    {
        std::lock_guard lock(mLock);
        for (const auto &task : std::as_const(mTasks)) {
            task->setIsCompleted(false);
            task->setProgressPercent(0);
        }
    }
    // Spaced as the run's pace says (one second apart by default), on
    // timers: no thread is blocked while waiting.
    const int stagger = mPacing->downloadStaggerMs();
    mDownloadQueue = std::make_unique<SerialQueue>(QStringLiteral("queue.convert.download"));
    for (qsizetype i = 0; i < mTasks.size(); ++i) {
        const int delay = int(std::min<qint64>(qint64(i + 1) * stagger, std::numeric_limits<int>::max()));
        mDownloadQueue->asyncAfter(delay, [self = shared_from_this(), task = mTasks.at(i)] {
            self->_startConvertWithDownloadFileWithTask(task);
        });
    }
}

void ConvertRun::_startConvertWithDownloadFileWithTask(const std::shared_ptr<PDFConvertTask> &task)
{
    task->setIsCompleted(false);
    auto self = shared_from_this();
    task->startDownloadWithProgressBlock(
        [self](PDFConvertTask *t, qint32 percent) { self->taskProgressed(t, percent, Step::Download); },
        [self](PDFConvertTask *t, bool, const QString &) { self->downloadEnded(t); });
}

void ConvertRun::renameResult(PDFConvertTask *task)
{
    const QString downloaded = task->downloadLocalPath();
    if (task->localPath().isEmpty() || task->downloadURL().isEmpty() || downloaded.isEmpty())
        return;
    std::lock_guard lock(mResultsLock);
    // Neither an input nor another result of this run is ever replaced.
    const QString target = ResultNames::avoidingClaimed(
        ResultNames::finalPath(QFileInfo(downloaded).path(), task->localPath(), task->downloadFileName()),
        mInputFiles + mPlacedResults);
    if (QFileInfo::exists(target))
        QFile::remove(target); // a result of an earlier run under this name is replaced
    if (QFile::rename(downloaded, target)) {
        mPlacedResults.append(target);
        task->setDownloadLocalPath(target);
        return;
    }
    // The result cannot take its name: drop it rather than leave a hidden file.
    QFile::remove(downloaded);
    task->setDownloadLocalPath(QString());
}

void ConvertRun::downloadEnded(PDFConvertTask *task)
{
    renameResult(task);
    const bool allDone = completeAndCheckAll(task);
    if (!mIsMerge && !allDone)
        return;
    QStringList paths;
    for (const auto &t : std::as_const(mTasks)) {
        const QString path = t->downloadLocalPath();
        if (!path.isEmpty())
            paths.append(path);
    }
    finishOnceAfterProgress(paths.isEmpty() ? -5 : 1, paths);
}
