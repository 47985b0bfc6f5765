#pragma once

#include <QMutex>
#include <QObject>
#include <QString>
#include <QVariantMap>

// One server-side conversion job for one input file. Every field is read and
// written as a whole value from several threads; each access is atomic on
// its own, there is no lock over several fields.
class PDFConvertTask final : public QObject {
    Q_OBJECT
public:
    PDFConvertTask() = default;

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

    void cancel() { setIsCanceled(true); }

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
};
