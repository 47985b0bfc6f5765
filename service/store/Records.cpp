#include "store/Records.h"

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

qint64 now()
{
    return QDateTime::currentSecsSinceEpoch();
}

QString newId()
{
    return QString::fromLatin1(Secrets::randomHex(12));
}

const char *const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS identities (hash TEXT PRIMARY KEY, created INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS api_tokens (hash TEXT PRIMARY KEY, identity TEXT NOT NULL, expires INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS credentials (access_id TEXT PRIMARY KEY, secret TEXT NOT NULL,"
    " token_hash TEXT NOT NULL, owner TEXT NOT NULL, expires INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS object_slots (bucket TEXT NOT NULL, object_key TEXT NOT NULL,"
    " access_id TEXT NOT NULL, name TEXT NOT NULL, owner TEXT NOT NULL, expires INTEGER NOT NULL, file_id TEXT,"
    " PRIMARY KEY (bucket, object_key))",
    "CREATE TABLE IF NOT EXISTS files (id TEXT PRIMARY KEY, owner TEXT NOT NULL, name TEXT NOT NULL,"
    " object_key TEXT NOT NULL, size INTEGER NOT NULL, mime TEXT NOT NULL, expires INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS tasks (id TEXT PRIMARY KEY, owner TEXT NOT NULL, service_type TEXT NOT NULL,"
    " args TEXT NOT NULL, inputs TEXT NOT NULL, state INTEGER NOT NULL, progress INTEGER NOT NULL,"
    " errors TEXT, result_name TEXT, result_path TEXT, download_token TEXT UNIQUE, seq INTEGER NOT NULL,"
    " expires INTEGER NOT NULL)",
    "CREATE INDEX IF NOT EXISTS tasks_state ON tasks (state, seq)",
};

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

Records::Records() : mConnection(QStringLiteral("records-") + newId())
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

bool Records::open(const QString &path, QString *error)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), mConnection);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) {
        if (error)
            *error = QStringLiteral("Cannot open the records %1: %2").arg(path, db.lastError().text());
        return false;
    }
    QSqlQuery pragma(db);
    pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    return createSchema(error);
}

bool Records::createSchema(QString *error)
{
    QSqlQuery query(QSqlDatabase::database(mConnection));
    for (const char *statement : kSchema) {
        if (!query.exec(QString::fromLatin1(statement))) {
            if (error)
                *error = QStringLiteral("Cannot set up the records: %1").arg(query.lastError().text());
            return false;
        }
    }
    return true;
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
    remember.prepare(QStringLiteral("INSERT OR IGNORE INTO identities (hash, created) VALUES (?, ?)"));
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
    return task;
}

std::optional<TaskRecord> Records::taskWhere(const QString &column, const QVariant &value) const
{
    QSqlQuery query(QSqlDatabase::database(mConnection));
    query.prepare(QStringLiteral("SELECT id, owner, service_type, args, inputs, state, progress, errors, result_name,"
                                 " result_path, download_token FROM tasks WHERE ") +
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
    QSqlQuery next(QSqlDatabase::database(mConnection));
    next.prepare(QStringLiteral("SELECT id FROM tasks WHERE state = 0 ORDER BY seq LIMIT 1"));
    if (!run(next) || !next.next())
        return std::nullopt;
    const QString id = next.value(0).toString();
    QSqlQuery claim(QSqlDatabase::database(mConnection));
    claim.prepare(QStringLiteral("UPDATE tasks SET state = 1, progress = 0 WHERE id = ? AND state = 0"));
    claim.addBindValue(id);
    if (!run(claim) || claim.numRowsAffected() != 1)
        return std::nullopt;
    return task(id);
}

void Records::setTaskProgress(const QString &id, int progress)
{
    QSqlQuery query(QSqlDatabase::database(mConnection));
    query.prepare(QStringLiteral("UPDATE tasks SET progress = ? WHERE id = ? AND state = 1"));
    query.addBindValue(qBound(0, progress, 99));
    query.addBindValue(id);
    run(query);
}

void Records::finishTask(const QString &id, const QString &resultPath, const QString &resultName)
{
    QSqlQuery query(QSqlDatabase::database(mConnection));
    query.prepare(QStringLiteral("UPDATE tasks SET state = 2, progress = 100, result_path = ?, result_name = ?,"
                                 " download_token = ? WHERE id = ?"));
    query.addBindValue(resultPath);
    query.addBindValue(resultName);
    query.addBindValue(QString::fromLatin1(Secrets::randomHex(32)));
    query.addBindValue(id);
    run(query);
    forgetPasswords(id);
}

void Records::failTask(const QString &id, const QString &errors)
{
    QSqlQuery query(QSqlDatabase::database(mConnection));
    query.prepare(QStringLiteral("UPDATE tasks SET state = -1, errors = ? WHERE id = ?"));
    query.addBindValue(errors);
    query.addBindValue(id);
    run(query);
    forgetPasswords(id);
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

void Records::requeueTask(const QString &id)
{
    QSqlQuery query(QSqlDatabase::database(mConnection));
    query.prepare(QStringLiteral("UPDATE tasks SET state = 0, progress = 0 WHERE id = ? AND state = 1"));
    query.addBindValue(id);
    run(query);
}

int Records::requeueRunningTasks()
{
    QSqlQuery query(QSqlDatabase::database(mConnection));
    query.prepare(QStringLiteral("UPDATE tasks SET state = 0, progress = 0 WHERE state = 1"));
    return run(query) ? query.numRowsAffected() : 0;
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
