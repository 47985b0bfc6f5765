#pragma once

#include "store/DatabaseUrl.h"
#include "store/RecordTypes.h"

#include <QString>

#include <functional>
#include <optional>

class QSqlQuery;

// Identities, api tokens (hashed), upload credentials, uploaded files, tasks
// and results, in a SQLite file or in a PostgreSQL database several nodes
// share. Used from one thread only: the service's main thread; workers report
// through it. A running task is leased to one node, which renews the lease
// while it works; when the lease runs out, any node may claim the task again.
class Records final {
public:
    Records();
    ~Records();
    Records(const Records &) = delete;
    Records &operator=(const Records &) = delete;

    bool open(const DatabaseUrl &url, QString *error);
    bool open(const QString &sqlitePath, QString *error) { return open(DatabaseUrl::sqlite(sqlitePath), error); }
    // Whether the connection works (reconnecting once if it broke); the reason when not.
    bool ping(QString *error);

    // This node's name in leases, and how long a lease lasts without renewal.
    void setNode(const QString &nodeId, qint64 leaseSeconds);
    // Seconds since the epoch; tests move time on.
    void setClock(std::function<qint64()> clock) { mClock = std::move(clock); }

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
    // The oldest queued task, or one whose lease ran out, leased to this node.
    std::optional<TaskRecord> claimNextTask();
    // How many queued tasks will be claimed before this queued one; nothing
    // when the task is not queued (or the database does not answer).
    std::optional<int> queuedAhead(const QString &taskId) const;
    // Each of these is made only while `claim` is the task's latest claim and
    // held by this node; false when it is not (the lease went to another node).
    // (A renewal the database could not answer counts as held.)
    bool renewLease(const TaskClaim &claim);
    bool setTaskProgress(const TaskClaim &claim, int progress);
    bool finishTask(const TaskClaim &claim, const QString &resultPath, const QString &resultName);
    bool failTask(const TaskClaim &claim, const QString &errors);
    bool requeueTask(const TaskClaim &claim);
    // At start-up: tasks this node was running when it ended, back to the
    // queue (on SQLite, every running task: only one service uses the file).
    int requeueRunningTasks();
    int unfinishedTaskCount() const;

    ExpiredItems expire(qint64 now);

private:
    qint64 now() const { return mClock(); }
    bool connect(QString *error);
    bool run(QSqlQuery &query) const;
    // Binds the claim's columns after the statement's own values.
    void bindClaim(QSqlQuery &query, const TaskClaim &claim) const;
    bool updateClaimed(const QString &assignments, const QVariantList &values, const TaskClaim &claim);
    TaskRecord taskFromQuery(const QSqlQuery &query) const;
    std::optional<TaskRecord> taskWhere(const QString &column, const QVariant &value) const;
    void forgetPasswords(const QString &id);

    QString mConnection;
    DatabaseUrl mUrl;
    QString mNodeId = QStringLiteral("local");
    qint64 mLeaseSeconds = 30;
    std::function<qint64()> mClock;
};
