#pragma once

#include "store/RecordTypes.h"

#include <QString>

#include <optional>

class QSqlQuery;

// Identities, api tokens (hashed), upload credentials, uploaded files, tasks
// and results in one SQLite file. Used from one thread only: the service's
// main thread; workers report through it.
class Records final {
public:
    Records();
    ~Records();
    Records(const Records &) = delete;
    Records &operator=(const Records &) = delete;

    bool open(const QString &path, QString *error);

    static constexpr qint64 kApiTokenSeconds = 30LL * 24 * 3600;
    static constexpr qint64 kCredentialSeconds = 15LL * 60;
    static constexpr qint64 kUploadGraceSeconds = 24LL * 3600;

    // Api tokens; the owner of everything uploaded under a token is its hash.
    QByteArray issueApiToken(const QByteArray &identityToken);
    QByteArray ownerOf(const QByteArray &apiToken) const;

    UploadGrant grantUpload(const QByteArray &owner, const QString &bucket, const QStringList &names);
    std::optional<Credential> credential(const QByteArray &accessId) const;
    std::optional<ObjectSlot> objectSlot(const QString &bucket, const QString &key) const;
    // Marks the slot used and records the file; the id of the new file.
    QString recordUpload(const ObjectSlot &slot, qint64 size, const QString &mimeType, qint64 keepSeconds);
    std::optional<StoredFile> file(const QString &id) const;

    QString createTask(const QByteArray &owner, const QString &serviceType, const QJsonObject &args,
                       const QList<TaskInput> &inputs, qint64 keepSeconds);
    std::optional<TaskRecord> task(const QString &id) const;
    std::optional<TaskRecord> taskByDownloadToken(const QByteArray &token) const;
    std::optional<TaskRecord> claimNextTask();
    void setTaskProgress(const QString &id, int progress);
    void finishTask(const QString &id, const QString &resultPath, const QString &resultName);
    void failTask(const QString &id, const QString &errors);
    void requeueTask(const QString &id);
    int requeueRunningTasks();
    int unfinishedTaskCount() const;

    ExpiredItems expire(qint64 now);

private:
    bool createSchema(QString *error);
    bool run(QSqlQuery &query) const;
    TaskRecord taskFromQuery(const QSqlQuery &query) const;
    std::optional<TaskRecord> taskWhere(const QString &column, const QVariant &value) const;
    void forgetPasswords(const QString &id);

    QString mConnection;
};
