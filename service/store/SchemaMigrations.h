#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The records' schema as numbered steps. A database remembers in
// schema_version which steps it has had; each missing step runs once, in
// its own transaction, in ascending order, on SQLite and PostgreSQL alike.
class SchemaMigrations final {
public:
    struct Step {
        int version = 0;
        QString description;
        QStringList statements;
    };

    // The steps of this release, oldest first.
    static const QList<Step> &steps();
    static int latestVersion();

    // Brings `db` up to the last of `steps`; false (and the database as it was
    // before the failing step) when a step fails or the steps are out of order.
    static bool apply(QSqlDatabase &db, const QList<Step> &steps, QString *error);
    // The highest step recorded; 0 for a new database.
    static int currentVersion(QSqlDatabase &db);

private:
    static bool ordered(const QList<Step> &steps);
    static bool applyStep(QSqlDatabase &db, const Step &step, QString *error);
    static bool lock(QSqlDatabase &db, bool locked);
};
