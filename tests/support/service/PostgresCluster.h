#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantList>

#include <memory>

// A throw-away PostgreSQL server for a test: a fresh cluster in a temporary
// folder, listening on 127.0.0.1 only, on a free port, with its sockets in
// that folder. The server runs as the postgres system user when the test runs
// as root (the server refuses root). Stopped and removed with the object, also
// when the test failed.
class PostgresCluster final {
public:
    PostgresCluster();
    ~PostgresCluster();
    PostgresCluster(const PostgresCluster &) = delete;
    PostgresCluster &operator=(const PostgresCluster &) = delete;

    // False, with the reason, when the server binaries are missing or the
    // server does not come up in time.
    bool start(QString *error);
    void stop();

    bool createDatabase(const QString &name, QString *error = nullptr);
    // postgresql://postgres@127.0.0.1:PORT/NAME
    QString url(const QString &database) const;
    quint16 port() const { return mPort; }

    // Statements and queries of the test itself, on one of the cluster's databases.
    bool exec(const QString &database, const QString &statement, QString *error = nullptr);
    QList<QVariantList> rows(const QString &database, const QString &query);

    // The newest /usr/lib/postgresql/N/bin, or empty.
    static QString binaries();

private:
    bool run(const QString &program, const QStringList &arguments, int timeoutMs, QString *output) const;
    bool configure(QString *error) const;
    QString connectionFor(const QString &database);

    std::unique_ptr<QTemporaryDir> mDir;
    QString mBin;
    quint16 mPort = 0;
    bool mRunning = false;
    QStringList mConnections;
};
