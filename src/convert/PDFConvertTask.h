#pragma once

#include <QMutex>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class OssClient;
class SerialQueue;
class ServicePacing;

// One server-side conversion job for one input file. Every field is read and
// written as a whole value from several threads; each access is atomic on
// its own, there is no lock over several fields.
class PDFConvertTask final : public std::enable_shared_from_this<PDFConvertTask> {
public:
    using ProgressBlock = std::function<void(PDFConvertTask *task, qint32 percent)>;
    using CompletedBlock = std::function<void(PDFConvertTask *task, bool success, const QString &message)>;

    PDFConvertTask();
    ~PDFConvertTask();
    PDFConvertTask(const PDFConvertTask &) = delete;
    PDFConvertTask &operator=(const PDFConvertTask &) = delete;

    // Uploads the file on a pool worker; returns at once.
    void startUploadWithProgressBlock(ProgressBlock progressBlock, CompletedBlock completedProgressBlock);
    // Polls the server task on the task's own serial queue; returns at once.
    void startQueryConvertWithProgressBlock(ProgressBlock progressBlock, CompletedBlock completedProgressBlock);
    // Fetches the result into a temporary file of the output folder; returns at once.
    void startDownloadWithProgressBlock(ProgressBlock progressBlock, CompletedBlock completedProgressBlock);

    QString localPath() const { return get(mLocalPath); }
    void setLocalPath(const QString &value) { set(mLocalPath, value); }
    QVariantMap uploadConfigDict() const { return get(mUploadConfigDict); }
    void setUploadConfigDict(const QVariantMap &value) { set(mUploadConfigDict, value); }
    bool isCompleted() const { return get(mIsCompleted); }
    void setIsCompleted(bool value) { set(mIsCompleted, value); }
    qint32 progressPercent() const { return get(mProgressPercent); }
    void setProgressPercent(qint32 value) { set(mProgressPercent, value); }
    bool isCanceled() const { return get(mIsCanceled); }
    void setIsCanceled(bool value) { set(mIsCanceled, value); }
    QString uploadFileId() const { return get(mUploadFileId); }
    void setUploadFileId(const QString &value) { set(mUploadFileId, value); }
    QString taskId() const { return get(mTaskId); }
    void setTaskId(const QString &value) { set(mTaskId, value); }
    QString serviceTypeName() const { return get(mServiceTypeName); }
    void setServiceTypeName(const QString &value) { set(mServiceTypeName, value); }
    QString downloadURL() const { return get(mDownloadURL); }
    void setDownloadURL(const QString &value) { set(mDownloadURL, value); }
    QString downloadFileName() const { return get(mDownloadFileName); }
    void setDownloadFileName(const QString &value) { set(mDownloadFileName, value); }
    QString downloadLocalPath() const { return get(mDownloadLocalPath); }
    void setDownloadLocalPath(const QString &value) { set(mDownloadLocalPath, value); }
    // What the service or the transfer said when the task failed, in their
    // own words (secrets masked); empty while it has not failed, or when
    // nothing was said.
    QString failureDetail() const { return get(mFailureDetail); }
    void setFailureDetail(const QString &value) { set(mFailureDetail, value); }

    void cancel() { setIsCanceled(true); }

    // The folder results are downloaded into (the run's output folder).
    QString outputFolder() const { return get(mOutputFolder); }
    void setOutputFolder(const QString &value) { set(mOutputFolder, value); }
    std::shared_ptr<OssClient> client() const { return get(mClient); }

    // The run's pace: status replies pass their hint to it, and the wait
    // between two polls is taken from it (the task's own latest hint first).
    // Without one, queryInterval() holds.
    std::shared_ptr<ServicePacing> pacing() const { return get(mPacing); }
    void setPacing(const std::shared_ptr<ServicePacing> &value) { set(mPacing, value); }
    // Passes a creation or status reply's hint to the run's pace and keeps
    // the poll wait it names for this task's next poll.
    void takePacingHint(const QVariantMap &data);

    // The wait between two status polls when neither the service nor the
    // settings set one (3 s; shorter in tests).
    static void setQueryInterval(int milliseconds);
    static int queryInterval();
    // Unparseable status replies in a row before the task gives up.
    static constexpr int kMaxUnparseableReplies = 5;

private:
    void upload(const ProgressBlock &progressBlock, const CompletedBlock &completedBlock);
    // One poll: at once, or after waitMs.
    void startQuery(int waitMs, const ProgressBlock &progressBlock, const CompletedBlock &completedBlock);
    void poll(const ProgressBlock &progressBlock, const CompletedBlock &completedBlock);
    void handleStatusReply(const std::optional<QVariantMap> &reply, const ProgressBlock &progressBlock,
                           const CompletedBlock &completedBlock);
    void scheduleNextPoll(const ProgressBlock &progressBlock, const CompletedBlock &completedBlock);
    void handleDownloadEvent(const QString &destination, float fraction, bool finished, const QString &error,
                             const ProgressBlock &progressBlock, const CompletedBlock &completedBlock);
    SerialQueue &queryQueue();

private:
    template <typename T> T get(const T &field) const
    {
        QMutexLocker lock(&mMutex);
        return field;
    }
    template <typename T> void set(T &field, const T &value)
    {
        QMutexLocker lock(&mMutex);
        field = value;
    }

    mutable QMutex mMutex;
    QString mLocalPath;
    QVariantMap mUploadConfigDict;
    bool mIsCompleted = false;
    qint32 mProgressPercent = 0;
    bool mIsCanceled = false;
    QString mUploadFileId;
    QString mTaskId;
    QString mServiceTypeName;
    QString mDownloadURL;
    QString mDownloadFileName;
    QString mDownloadLocalPath;
    QString mFailureDetail;
    QString mOutputFolder;
    std::shared_ptr<OssClient> mClient;
    std::shared_ptr<ServicePacing> mPacing;
    std::unique_ptr<SerialQueue> mQueryQueue;
    int mUnparseableReplies = 0;
    std::atomic<int> mPollHintMs{0};
};
