#pragma once

#include "support/service/PostgresCluster.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>

// The records' database behind a test's services: SQLite in each data folder
// (the default), or, with MIRELUNE_TEST_DATABASE=postgresql, one database per
// data folder on a throw-away PostgreSQL cluster. Lets one suite of tests run
// against both.
class TestDatabase final {
public:
    TestDatabase();
    ~TestDatabase();

    // Starts the cluster when PostgreSQL is asked for; false with the reason.
    bool start(QString *error);
    bool isPostgres() const { return mCluster != nullptr; }
    QString name() const { return isPostgres() ? QStringLiteral("PostgreSQL") : QStringLiteral("SQLite"); }

    // What a service of `dataFolder` is started with besides its own options.
    QStringList serviceArguments(const QString &dataFolder);
    // Where the node's own files (ready.json, jobs/, profiles/) are.
    QString nodeFolder(const QString &dataFolder) const;
    bool exec(const QString &dataFolder, const QString &statement);
    // Everything the records of `dataFolder` hold, as bytes to search for secrets.
    QByteArray storedBytes(const QString &dataFolder);

    static constexpr const char *kNodeId = "node-a";

private:
    QString databaseOf(const QString &dataFolder);

    std::unique_ptr<PostgresCluster> mCluster;
    QHash<QString, QString> mDatabases; // data folder -> database
};
