#pragma once

#include "convert/RunProgress.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class PDFConvertTask;
class SerialQueue;
class ServicePacing;

// One conversion run: its tasks, its closures and its progress. Events of a
// run that is no longer the current one (a newer run has started) report
// nothing, so they can never touch the newer run.
class ConvertRun final : public std::enable_shared_from_this<ConvertRun> {
public:
    using ProgressBlock = std::function<void(qint32 percent)>;
    using CompletedBlock = std::function<void(qint32 status, const QStringList &paths, const QString &message)>;
    using TaskList = QList<std::shared_ptr<PDFConvertTask>>;

    ConvertRun(quint64 generation, const QStringList &inputFiles, const QString &ouputFileType,
               const QString &outputFolder, ProgressBlock progressBlock, CompletedBlock completedBlock);
    ~ConvertRun();

    void start();
    void cancel();
    TaskList tasks() const { return mTasks; }
    bool isMerge() const { return mIsMerge; }
    quint64 generation() const { return mGeneration; }

    void startConvertWithGetAuthentication();
    void startConvertWithCreateTask();
    void startConvertWithDownloadFiles();
    void _startConvertWithDownloadFileWithTask(const std::shared_ptr<PDFConvertTask> &task);
    // The three aggregation steps; each figure is taken from the tasks when
    // their event happens and applied on the progress queue in that order.
    void updateCurrentUploadProgress();
    void updateQueryProgress();
    void updateDownloadProgress();

private:
    bool isCurrent() const;
    void report(int percent);
    void finish(qint32 status, const QStringList &paths, const QString &message);
    void finishOnce(qint32 status, const QStringList &paths, const QString &message);
    // The same, delivered behind the progress figures already queued, so that
    // the last of them is shown before the run ends.
    void finishOnceAfterProgress(qint32 status, const QStringList &paths);
    // Sets the task completed and tells whether every task now is, in one step.
    bool completeAndCheckAll(PDFConvertTask *task);
    void handleCredentialReply(const std::shared_ptr<PDFConvertTask> &task, bool ok, const QVariantMap &data);
    void createMergeTask(const TaskList &uploaded);
    void createConversionTasks(const TaskList &uploaded);
    void downloadEnded(PDFConvertTask *task);
    void renameResult(PDFConvertTask *task);
    enum class Step { Upload, Query, Download };
    std::pair<qint64, qint64> stepSum(Step step) const;
    void taskProgressed(PDFConvertTask *task, qint32 percent, Step step);
    void applyStep(Step step, qint64 sum, qint64 total);

    const quint64 mGeneration;
    TaskList mTasks;
    QStringList mInputFiles;
    bool mIsMerge = true;
    ProgressBlock mProgressBlock;
    CompletedBlock mCompletedBlock;
    std::mutex mLock; // the progress lock: base, reports, completion flags
    RunProgress mProgress;
    std::atomic<bool> mCreationStarted{false};
    std::atomic<bool> mDownloadStarted{false};
    std::atomic<bool> mFinished{false};
    std::unique_ptr<SerialQueue> mDownloadQueue;
    std::shared_ptr<ServicePacing> mPacing; // shared with the tasks
    std::mutex mResultsLock;                // names are chosen and taken in one step
    QStringList mPlacedResults;             // results of this run already in the output folder
};
