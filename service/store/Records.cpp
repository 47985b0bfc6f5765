#include "store/Records.h"

#include "store/SchemaMigrations.h"
#include "store/Secrets.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <cstdio>

namespace {

QString newId()
{
    return QString::fromLatin1(Secrets::randomHex(12));
}

QByteArray inputsJson(const QList<TaskInput> &inputs)
{
    QJsonArray array;
    for (const TaskInput &input : inputs)
        array.append(
            QJsonObject{{QStringLiteral("file_id"), input.fileId}, {QStringLiteral("password"), input.password}});
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

QList<TaskInput> inputsFromJson(const QByteArray &json)
{
    QList<TaskInput> inputs;
    const QJsonArray array = QJsonDocument::fromJson(json).array();
    for (const QJsonValue &value : array) {
        const QJsonObject object = value.toObject();
        inputs.append(
            {object.value(QStringLiteral("file_id")).toString(), object.value(QStringLiteral("password")).toString()});
    }
    return inputs;
}

} // namespace

Records::Records()
    : mConnection(QStringLiteral("records-") + newId()), mClock([] { return QDateTime::currentSecsSinceEpoch(); })
{
}

Records::~Records()
{
    {
        QSqlDatabase db = QSqlDatabase::database(mConnection, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(mConnection);
}

bool Records::open(const DatabaseUrl &url, QString *error)
{
    mUrl = url;
    QString problem;
    if (!connect(&problem)) {
        if (error)
            *error = QStringLiteral("Cannot open the records %1: %2").arg(url.displayName(), problem);
        return false;
    }
    QSqlDatabase db = QSqlDatabase::database(mConnection);
    if (!url.isShared()) {
        QSqlQuery pragma(db);
        pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    }
    if (!SchemaMigrations::apply(db, SchemaMigrations::steps(), &problem)) {
        if (error)
            *error = QStringLiteral("Cannot set up the records: %1").arg(problem);
        return false;
    }
    return true;
}

bool Records::connect(QString *error)
{
    const bool shared = mUrl.isShared();
    QSqlDatabase db =
        QSqlDatabase::contains(mConnection)
            ? QSqlDatabase::database(mConnection, false)
            : QSqlDatabase::addDatabase(shared ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), mConnection);
    if (!db.isValid()) {
        *error = QStringLiteral("the Qt SQL driver for this database is missing");
        return false;
    }
    if (shared) {
        db.setHostName(mUrl.host());
        db.setPort(mUrl.port());
        db.setUserName(mUrl.user());
        db.setPassword(mUrl.password());
        db.setDatabaseName(mUrl.database());
        // Without a time-out a lost database server would hold the main thread.
        QString options = mUrl.connectOptions();
        if (!options.contains(QStringLiteral("connect_timeout=")))
            options += (options.isEmpty() ? QString() : QStringLiteral(";")) + QStringLiteral("connect_timeout=5");
        db.setConnectOptions(options);
    } else {
        db.setDatabaseName(mUrl.path());
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    }
    if (db.open())
        return true;
    *error = db.lastError().text();
    return false;
}

bool Records::ping(QString *error)
{
    {
        QSqlQuery probe(QSqlDatabase::database(mConnection, false));
        if (probe.exec(QStringLiteral("SELECT 1")))
            return true;
    }
    // A PostgreSQL connection does not come back by itself after the server
    // restarted or the network dropped it.
    QSqlDatabase::database(mConnection, false).close();
    QString problem;
    if (connect(&problem)) {
        QSqlQuery probe(QSqlDatabase::database(mConnection, false));
        if (probe.exec(QStringLiteral("SELECT 1")))
            return true;
        problem = probe.lastError().text();
    }
    if (error)
        *error = problem;
    return false;
}

void Records::setNode(const QString &nodeId, qint64 leaseSeconds)
{
    mNodeId = nodeId;
    mLeaseSeconds = leaseSeconds;
}

bool Records::run(QSqlQuery &query) const
{
    if (query.exec())
        return true;
    std::fprintf(stderr, "mirelune-service: records: %s\n", qPrintable(query.lastError().text()));
    return false;
}

QByteArray Records::issueApiToken(const QByteArray &identityToken)
{
    const QByteArray identity = Secrets::sha256Hex(identityToken);
    QSqlQuery remember(QSqlDatabase::database(mConnection));
    remember.prepare(QStringLiteral("INSERT INTO identities (hash, created) VALUES (?, ?) ON CONFLICT DO NOTHING"));
    remember.addBindValue(QString::fromLatin1(identity));
    remember.addBindValue(now());
    run(remember);
    const QByteArray token = Secrets::randomHex(32);
    QSqlQuery insert(QSqlDatabase::database(mConnection));
    insert.prepare(QStringLiteral("INSERT INTO api_tokens (hash, identity, expires) VALUES (?, ?, ?)"));
    insert.addBindValue(QString::fromLatin1(Secrets::sha256Hex(token)));
    insert.addBindValue(QString::fromLatin1(identity));
    insert.addBindValue(now() + kApiTokenSeconds);
    return run(insert) ? token : QByteArray();
}

QByteArray Records::ownerOf(const QByteArray &apiToken) const
{
    if (apiToken.isEmpty())
        return {};
    const QByteArray hash = Secrets::sha256Hex(apiToken);
    QSqlQuery query(QSqlDatabase::database(mConnection));
    query.prepare(QStringLiteral("SELECT hash FROM api_tokens WHERE hash = ? AND expires > ?"));
    query.addBindValue(QString::fromLatin1(hash));
    query.addBindValue(now());
    return run(query) && query.next() ? hash : QByteArray();
}

UploadGrant Records::grantUpload(const QByteArray &owner, const QString &bucket, const QStringList &names)
{
    UploadGrant grant;
    grant.accessId = "STS." + Secrets::randomHex(12).toUpper();
    grant.accessSecret = Secrets::randomHex(24);
    grant.securityToken = Secrets::randomHex(32);
    grant.expires = now() + kCredentialSeconds;
    QSqlDatabase db = QSqlDatabase::database(mConnection);
    db.transaction();
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT INTO credentials (access_id, secret, token_hash, owner, expires)"
                                  " VALUES (?, ?, ?, ?, ?)"));
    insert.addBindValue(QString::fromLatin1(grant.accessId));
    insert.addBindValue(QString::fromLatin1(grant.accessSecret));
    insert.addBindValue(QString::fromLatin1(Secrets::sha256Hex(grant.securityToken)));
    insert.addBindValue(QString::fromLatin1(owner));
    insert.addBindValue(grant.expires);
    bool ok = run(insert);
    for (const QString &name : names) {
        // The key is random: nothing of the client's file name reaches a path.
        const QString key = QStringLiteral("uploads/") + QString::fromLatin1(Secrets::randomHex(16));
        QSqlQuery slot(db);
        slot.prepare(QStringLiteral("INSERT INTO object_slots (bucket, object_key, access_id, name, owner, expires)"
                                    " VALUES (?, ?, ?, ?, ?, ?)"));
        slot.addBindValue(bucket);
        slot.addBindValue(key);
        slot.addBindValue(QString::fromLatin1(grant.accessId));
        slot.addBindValue(name);
        slot.addBindValue(QString::fromLatin1(owner));
        slot.addBindValue(grant.expires);
        ok = run(slot) && ok;
        grant.objects.insert(name, key);
    }
    if (!ok) {
        db.rollback();
        return {};
    }
    db.commit();
    return grant;
}

std::optional<Credential> Records::credential(const QByteArray &accessId) const
{
    QSqlQuery query(QSqlDatabase::database(mConnection));
    query.prepare(QStringLiteral("SELECT secret, token_hash, owner, expires FROM credentials WHERE access_id = ?"));
    query.addBindValue(QString::fromLatin1(accessId));
    if (!run(query) || !query.next())
        return std::nullopt;
    return Credential{accessId, query.value(0).toString().toLatin1(), query.value(1).toString().toLatin1(),
                      query.value(2).toString().toLatin1(), query.value(3).toLongLong()};
}

std::optional<ObjectSlot> Records::objectSlot(const QString &bucket, const QString &key) const
{
    QSqlQuery query(QSqlDatabase::database(mConnection));
    query.prepare(QStringLiteral("SELECT access_id, name, owner, file_id FROM object_slots"
                                 " WHERE bucket = ? AND object_key = ?"));
    query.addBindValue(bucket);
    query.addBindValue(key);
    if (!run(query) || !query.next())
        return std::nullopt;
    return ObjectSlot{bucket,
                      key,
                      query.value(0).toString().toLatin1(),
                      query.value(1).toString(),
                      query.value(2).toString().toLatin1(),
                      query.value(3).toString()};
}

QString Records::recordUpload(const ObjectSlot &slot, qint64 size, const QString &mimeType, qint64 keepSeconds)
{
    const QString id = newId();
    QSqlDatabase db = QSqlDatabase::database(mConnection);
    db.transaction();
    QSqlQuery mark(db);
    mark.prepare(QStringLiteral("UPDATE object_slots SET file_id = ? WHERE bucket = ? AND object_key = ?"
                                " AND file_id IS NULL"));
    mark.addBindValue(id);
    mark.addBindValue(slot.bucket);
    mark.addBindValue(slot.key);
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT INTO files (id, owner, name, object_key, size, mime, expires)"
                                  " VALUES (?, ?, ?, ?, ?, ?, ?)"));
    insert.addBindValue(id);
    insert.addBindValue(QString::fromLatin1(slot.owner));
    insert.addBindValue(slot.name);
    insert.addBindValue(slot.key);
    insert.addBindValue(size);
    insert.addBindValue(mimeType);
    insert.addBindValue(now() + keepSeconds);
    if (!run(mark) || mark.numRowsAffected() != 1 || !run(insert)) {
        db.rollback();
        return {};
    }
    db.commit();
    return id;
}

std::optional<StoredFile> Records::file(const QString &id) const
{
    QSqlQuery query(QSqlDatabase::database(mConnection));
    query.prepare(QStringLiteral("SELECT owner, name, object_key, size, mime FROM files WHERE id = ? AND expires > ?"));
    query.addBindValue(id);
    query.addBindValue(now());
    if (!run(query) || !query.next())
        return std::nullopt;
    return StoredFile{id,
                      query.value(0).toString().toLatin1(),
                      query.value(1).toString(),
                      query.value(2).toString(),
                      query.value(3).toLongLong(),
                      query.value(4).toString()};
}

QString Records::createTask(const QByteArray &owner, const QString &serviceType, const QJsonObject &args,
                            const QList<TaskInput> &inputs, qint64 keepSeconds)
{
    const QString id = newId();
    QSqlDatabase db = QSqlDatabase::database(mConnection);
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT INTO tasks (id, owner, service_type, args, inputs, state, progress, seq,"
                                  " expires) VALUES (?, ?, ?, ?, ?, 0, 0,"
                                  " (SELECT COALESCE(MAX(seq), 0) + 1 FROM tasks), ?)"));
    insert.addBindValue(id);
    insert.addBindValue(QString::fromLatin1(owner));
    insert.addBindValue(serviceType);
    insert.addBindValue(QString::fromUtf8(QJsonDocument(args).toJson(QJsonDocument::Compact)));
    insert.addBindValue(QString::fromUtf8(inputsJson(inputs)));
    insert.addBindValue(now() + keepSeconds);
    return run(insert) ? id : QString();
}

TaskRecord Records::taskFromQuery(const QSqlQuery &query) const
{
    TaskRecord task;
    task.id = query.value(0).toString();
    task.owner = query.value(1).toString().toLatin1();
    task.serviceType = query.value(2).toString();
    task.args = QJsonDocument::fromJson(query.value(3).toString().toUtf8()).object();
    task.inputs = inputsFromJson(query.value(4).toString().toUtf8());
    task.state = TaskState(query.value(5).toInt());
    task.progress = query.value(6).toInt();
    task.errors = query.value(7).toString();
    task.resultName = query.value(8).toString();
    task.resultPath = query.value(9).toString();
    task.downloadToken = query.value(10).toString().toLatin1();
    task.attempt = query.value(11).toInt();
    return task;
}

std::optional<TaskRecord> Records::taskWhere(const QString &column, const QVariant &value) const
{
    QSqlQuery query(QSqlDatabase::database(mConnection));
    query.prepare(QStringLiteral("SELECT id, owner, service_type, args, inputs, state, progress, errors, result_name,"
                                 " result_path, download_token, attempts FROM tasks WHERE ") +
                  column + QStringLiteral(" = ?"));
    query.addBindValue(value);
    if (!run(query) || !query.next())
        return std::nullopt;
    return taskFromQuery(query);
}

std::optional<TaskRecord> Records::task(const QString &id) const
{
    return taskWhere(QStringLiteral("id"), id);
}

std::optional<TaskRecord> Records::taskByDownloadToken(const QByteArray &token) const
{
    if (token.isEmpty())
        return std::nullopt;
    std::optional<TaskRecord> found = taskWhere(QStringLiteral("download_token"), QString::fromLatin1(token));
    if (found && found->state != TaskState::Finished)
        return std::nullopt;
    return found;
}

std::optional<TaskRecord> Records::claimNextTask()
{
    // One statement picks and leases the task. On PostgreSQL the row lock
    // keeps two nodes off one task, and SKIP LOCKED sends the second node to
    // the next task instead of making it wait; SQLite has one writer anyway.
    const QString claimable = QStringLiteral("(state = 0 OR (state = 1 AND lease_expires < ?))");
    const QString lockRow = mUrl.isShared() ? QStringLiteral(" FOR UPDATE SKIP LOCKED") : QString();
    QSqlQuery claim(QSqlDatabase::database(mConnection));
    claim.prepare(QStringLiteral("UPDATE tasks SET state = 1, progress = 0, lease_owner = ?, lease_expires = ?,"
                                 " attempts = attempts + 1 WHERE id = (SELECT id FROM tasks WHERE %1 ORDER BY seq"
                                 " LIMIT 1%2) AND %1 RETURNING id")
                      .arg(claimable, lockRow));
    const qint64 at = now();
    claim.addBindValue(mNodeId);
    claim.addBindValue(at + mLeaseSeconds);
    claim.addBindValue(at);
    claim.addBindValue(at);
    if (!run(claim) || !claim.next())
        return std::nullopt;
    const QString id = claim.value(0).toString();
    claim.finish();
    return task(id);
}

void Records::bindClaim(QSqlQuery &query, const TaskClaim &claim) const
{
    query.addBindValue(claim.taskId);
    query.addBindValue(mNodeId);
    query.addBindValue(claim.attempt);
}

bool Records::updateClaimed(const QString &assignments, const QVariantList &values, const TaskClaim &claim)
{
    QSqlQuery query(QSqlDatabase::database(mConnection));
    query.prepare(QStringLiteral("UPDATE tasks SET ") + assignments +
                  QStringLiteral(" WHERE id = ? AND state = 1 AND lease_owner = ? AND attempts = ?"));
    for (const QVariant &value : values)
        query.addBindValue(value);
    bindClaim(query, claim);
    return run(query) && query.numRowsAffected() == 1;
}

bool Records::renewLease(const TaskClaim &claim)
{
    QSqlQuery query(QSqlDatabase::database(mConnection));
    query.prepare(QStringLiteral("UPDATE tasks SET lease_expires = ?"
                                 " WHERE id = ? AND state = 1 AND lease_owner = ? AND attempts = ?"));
    query.addBindValue(now() + mLeaseSeconds);
    bindClaim(query, claim);
    // A database that does not answer says nothing about the lease: the work
    // goes on, and the conditional finish decides in the end.
    return !run(query) || query.numRowsAffected() == 1;
}

bool Records::setTaskProgress(const TaskClaim &claim, int progress)
{
    return updateClaimed(QStringLiteral("progress = ?"), {qBound(0, progress, 99)}, claim);
}

bool Records::finishTask(const TaskClaim &claim, const QString &resultPath, const QString &resultName)
{
    // The conditional update is the one place a result is accepted: of two
    // nodes that ran the task, only the holder of the latest claim gets here.
    if (!updateClaimed(QStringLiteral("state = 2, progress = 100, result_path = ?, result_name = ?,"
                                      " download_token = ?, lease_owner = NULL"),
                       {resultPath, resultName, QString::fromLatin1(Secrets::randomHex(32))}, claim))
        return false;
    forgetPasswords(claim.taskId);
    return true;
}

bool Records::failTask(const TaskClaim &claim, const QString &errors)
{
    if (!updateClaimed(QStringLiteral("state = -1, errors = ?, lease_owner = NULL"), {errors}, claim))
        return false;
    forgetPasswords(claim.taskId);
    return true;
}

void Records::forgetPasswords(const QString &id)
{
    std::optional<TaskRecord> record = task(id);
    if (!record)
        return;
    for (TaskInput &input : record->inputs)
        input.password.clear();
    QSqlQuery query(QSqlDatabase::database(mConnection));
    query.prepare(QStringLiteral("UPDATE tasks SET inputs = ? WHERE id = ?"));
    query.addBindValue(QString::fromUtf8(inputsJson(record->inputs)));
    query.addBindValue(id);
    run(query);
}

bool Records::requeueTask(const TaskClaim &claim)
{
    return updateClaimed(QStringLiteral("state = 0, progress = 0, lease_owner = NULL, lease_expires = 0"), {}, claim);
}

int Records::requeueRunningTasks()
{
    QSqlQuery query(QSqlDatabase::database(mConnection));
    const QString requeue = QStringLiteral(
        "UPDATE tasks SET state = 0, progress = 0, lease_owner = NULL, lease_expires = 0 WHERE state = 1");
    if (mUrl.isShared()) {
        query.prepare(requeue + QStringLiteral(" AND lease_owner = ?"));
        query.addBindValue(mNodeId);
    } else {
        query.prepare(requeue);
    }
    return run(query) ? query.numRowsAffected() : 0;
}

std::optional<int> Records::queuedAhead(const QString &taskId) const
{
    // No row at all when the task is not queued.
    QSqlQuery query(QSqlDatabase::database(mConnection));
    query.prepare(QStringLiteral("SELECT (SELECT COUNT(*) FROM tasks WHERE state = 0 AND seq < mine.seq)"
                                 " FROM tasks AS mine WHERE mine.id = ? AND mine.state = 0"));
    query.addBindValue(taskId);
    if (!run(query) || !query.next())
        return std::nullopt;
    return query.value(0).toInt();
}

int Records::unfinishedTaskCount() const
{
    QSqlQuery query(QSqlDatabase::database(mConnection));
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM tasks WHERE state IN (0, 1)"));
    return run(query) && query.next() ? query.value(0).toInt() : 0;
}

ExpiredItems Records::expire(qint64 at)
{
    ExpiredItems expired;
    QSqlDatabase db = QSqlDatabase::database(mConnection);
    // An upload that began while its credential was valid may still be running
    // after it expired; its slot stays for a day.
    const qint64 slotsBefore = at - kUploadGraceSeconds;
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT object_key FROM files WHERE expires <= ?"
                                 " UNION SELECT object_key FROM object_slots WHERE expires <= ? AND file_id IS NULL"));
    query.addBindValue(at);
    query.addBindValue(slotsBefore);
    if (run(query)) {
        while (query.next())
            expired.objectKeys.append(query.value(0).toString());
    }
    QSqlQuery tasks(db);
    tasks.prepare(QStringLiteral("SELECT id FROM tasks WHERE expires <= ? AND state IN (2, -1)"));
    tasks.addBindValue(at);
    if (run(tasks)) {
        while (tasks.next())
            expired.taskIds.append(tasks.value(0).toString());
    }
    const QList<QPair<QString, qint64>> deletions = {
        {QStringLiteral("DELETE FROM files WHERE expires <= ?"), at},
        {QStringLiteral("DELETE FROM object_slots WHERE (file_id IS NULL AND expires <= ?) OR (file_id IS NOT NULL"
                        " AND file_id NOT IN (SELECT id FROM files))"),
         slotsBefore},
        {QStringLiteral("DELETE FROM credentials WHERE expires <= ?"), at},
        {QStringLiteral("DELETE FROM api_tokens WHERE expires <= ?"), at},
        {QStringLiteral("DELETE FROM tasks WHERE expires <= ? AND state IN (2, -1)"), at},
    };
    for (const auto &[statement, before] : deletions) {
        QSqlQuery deletion(db);
        deletion.prepare(statement);
        deletion.addBindValue(before);
        run(deletion);
    }
    return expired;
}
