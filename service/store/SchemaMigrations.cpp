#include "store/SchemaMigrations.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

bool isPostgres(const QSqlDatabase &db)
{
    return db.driverName() == QLatin1String("QPSQL");
}

// Any number: the key of PostgreSQL's advisory lock that keeps two nodes
// starting together from running the same step at once.
constexpr qint64 kMigrationLock = 0x6d69726c;

bool exec(QSqlDatabase &db, const QString &statement, QString *error)
{
    QSqlQuery query(db);
    if (query.exec(statement))
        return true;
    if (error)
        *error = query.lastError().text();
    return false;
}

} // namespace

const QList<SchemaMigrations::Step> &SchemaMigrations::steps()
{
    // Step 1 is the schema that services before versioned migrations made
    // ("IF NOT EXISTS" lets their files pass through it). BIGINT is a plain
    // integer to SQLite and 64 bits wide on PostgreSQL, as sizes and times need.
    static const QList<Step> all = {
        {1,
         QStringLiteral("identities, api tokens, credentials, object slots, files and tasks"),
         {
             QStringLiteral("CREATE TABLE IF NOT EXISTS identities (hash TEXT PRIMARY KEY, created BIGINT NOT NULL)"),
             QStringLiteral("CREATE TABLE IF NOT EXISTS api_tokens (hash TEXT PRIMARY KEY, identity TEXT NOT NULL,"
                            " expires BIGINT NOT NULL)"),
             QStringLiteral("CREATE TABLE IF NOT EXISTS credentials (access_id TEXT PRIMARY KEY, secret TEXT NOT NULL,"
                            " token_hash TEXT NOT NULL, owner TEXT NOT NULL, expires BIGINT NOT NULL)"),
             QStringLiteral("CREATE TABLE IF NOT EXISTS object_slots (bucket TEXT NOT NULL, object_key TEXT NOT NULL,"
                            " access_id TEXT NOT NULL, name TEXT NOT NULL, owner TEXT NOT NULL,"
                            " expires BIGINT NOT NULL, file_id TEXT, PRIMARY KEY (bucket, object_key))"),
             QStringLiteral("CREATE TABLE IF NOT EXISTS files (id TEXT PRIMARY KEY, owner TEXT NOT NULL,"
                            " name TEXT NOT NULL, object_key TEXT NOT NULL, size BIGINT NOT NULL, mime TEXT NOT NULL,"
                            " expires BIGINT NOT NULL)"),
             QStringLiteral("CREATE TABLE IF NOT EXISTS tasks (id TEXT PRIMARY KEY, owner TEXT NOT NULL,"
                            " service_type TEXT NOT NULL, args TEXT NOT NULL, inputs TEXT NOT NULL,"
                            " state INTEGER NOT NULL, progress INTEGER NOT NULL, errors TEXT, result_name TEXT,"
                            " result_path TEXT, download_token TEXT UNIQUE, seq BIGINT NOT NULL,"
                            " expires BIGINT NOT NULL)"),
             QStringLiteral("CREATE INDEX IF NOT EXISTS tasks_state ON tasks (state, seq)"),
         }},
        {2,
         QStringLiteral("task leases: the node running a task, until when, and how often it was claimed"),
         {
             QStringLiteral("ALTER TABLE tasks ADD COLUMN lease_owner TEXT"),
             QStringLiteral("ALTER TABLE tasks ADD COLUMN lease_expires BIGINT NOT NULL DEFAULT 0"),
             QStringLiteral("ALTER TABLE tasks ADD COLUMN attempts INTEGER NOT NULL DEFAULT 0"),
         }},
    };
    return all;
}

int SchemaMigrations::latestVersion()
{
    return steps().last().version;
}

bool SchemaMigrations::ordered(const QList<Step> &steps)
{
    for (qsizetype i = 0; i < steps.size(); ++i) {
        if (steps[i].version != int(i) + 1)
            return false;
    }
    return true;
}

int SchemaMigrations::currentVersion(QSqlDatabase &db)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) || !query.next())
        return 0;
    return query.value(0).toInt();
}

bool SchemaMigrations::lock(QSqlDatabase &db, bool locked)
{
    if (!isPostgres(db))
        return true; // one service per SQLite file: its lock file already says so
    const QString function = locked ? QStringLiteral("pg_advisory_lock") : QStringLiteral("pg_advisory_unlock");
    return exec(db, QStringLiteral("SELECT %1(%2)").arg(function).arg(kMigrationLock), nullptr);
}

bool SchemaMigrations::apply(QSqlDatabase &db, const QList<Step> &steps, QString *error)
{
    if (!ordered(steps)) {
        if (error)
            *error = QStringLiteral("the schema steps are not numbered 1, 2, 3...");
        return false;
    }
    if (!lock(db, true)) {
        if (error)
            *error = QStringLiteral("cannot take the migration lock");
        return false;
    }
    bool ok = exec(db,
                   QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER PRIMARY KEY,"
                                  " description TEXT NOT NULL, applied BIGINT NOT NULL)"),
                   error);
    const int current = ok ? currentVersion(db) : 0;
    if (ok && current > steps.size()) {
        ok = false;
        if (error)
            *error = QStringLiteral("the records are of a newer release (schema %1, this release knows %2)")
                         .arg(current)
                         .arg(steps.size());
    }
    for (qsizetype i = current; ok && i < steps.size(); ++i)
        ok = applyStep(db, steps[i], error);
    lock(db, false);
    return ok;
}

bool SchemaMigrations::applyStep(QSqlDatabase &db, const Step &step, QString *error)
{
    if (!db.transaction()) {
        if (error)
            *error = db.lastError().text();
        return false;
    }
    QString problem;
    bool ok = true;
    for (const QString &statement : step.statements)
        ok = ok && exec(db, statement, &problem);
    QSqlQuery record(db);
    record.prepare(QStringLiteral("INSERT INTO schema_version (version, description, applied) VALUES (?, ?, ?)"));
    record.addBindValue(step.version);
    record.addBindValue(step.description);
    record.addBindValue(QDateTime::currentSecsSinceEpoch());
    if (ok && !record.exec()) {
        ok = false;
        problem = record.lastError().text();
    }
    if (!ok || !db.commit()) {
        db.rollback();
        if (error)
            *error = QStringLiteral("schema step %1 failed: %2").arg(step.version).arg(problem);
        return false;
    }
    return true;
}
