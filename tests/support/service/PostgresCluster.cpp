#include "support/service/PostgresCluster.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTcpServer>

#include <pwd.h>
#include <unistd.h>

namespace {

constexpr int kStepMs = 60000;
const QString kSystemUser = QStringLiteral("postgres");

quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

bool giveToSystemUser(const QString &path)
{
    if (::geteuid() != 0)
        return true;
    const passwd *user = ::getpwnam(kSystemUser.toLatin1().constData());
    return user && ::chown(QFile::encodeName(path).constData(), user->pw_uid, user->pw_gid) == 0;
}

} // namespace

PostgresCluster::PostgresCluster() = default;

PostgresCluster::~PostgresCluster()
{
    stop();
}

QString PostgresCluster::binaries()
{
    QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(versions.begin(), versions.end(), numeric);
    for (auto it = versions.crbegin(); it != versions.crend(); ++it) {
        const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(*it);
        if (QFileInfo(bin + QStringLiteral("/initdb")).isExecutable() &&
            QFileInfo(bin + QStringLiteral("/pg_ctl")).isExecutable())
            return bin;
    }
    return {};
}

bool PostgresCluster::run(const QString &program, const QStringList &arguments, int timeoutMs, QString *output) const
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(mDir->path());
    const QString tool = mBin + QLatin1Char('/') + program;
    if (::geteuid() == 0)
        process.start(QStringLiteral("runuser"),
                      QStringList{QStringLiteral("-u"), kSystemUser, QStringLiteral("--"), tool} + arguments);
    else
        process.start(tool, arguments);
    const bool finished = process.waitForStarted(10000) && process.waitForFinished(timeoutMs);
    if (!finished) {
        process.kill();
        process.waitForFinished(5000);
    }
    if (output)
        *output = QString::fromLocal8Bit(process.readAll()).trimmed().right(2000);
    return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool PostgresCluster::configure(QString *error) const
{
    // Settings go into the configuration file rather than the command line:
    // no option string passes through a shell.
    QFile conf(mDir->path() + QStringLiteral("/data/postgresql.conf"));
    const QByteArray settings = "\nlisten_addresses = '127.0.0.1'\nport = " + QByteArray::number(mPort) +
                                "\nunix_socket_directories = '" + QFile::encodeName(mDir->path()) +
                                "'\nfsync = off\nsynchronous_commit = off\nfull_page_writes = off\n"
                                "max_connections = 60\n";
    if (conf.open(QIODevice::Append) && conf.write(settings) == settings.size())
        return true;
    *error = QStringLiteral("Cannot configure the test cluster: %1").arg(conf.errorString());
    return false;
}

bool PostgresCluster::start(QString *error)
{
    mBin = binaries();
    if (mBin.isEmpty()) {
        *error = QStringLiteral("The PostgreSQL server (initdb, pg_ctl under /usr/lib/postgresql/N/bin) is missing:"
                                " run scripts/install-deps.sh");
        return false;
    }
    mDir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/mirelune-pg-XXXXXX"));
    if (!mDir->isValid() || !giveToSystemUser(mDir->path())) {
        *error = QStringLiteral("Cannot make a folder the postgres user owns for the test cluster");
        return false;
    }
    QString output;
    const QString data = mDir->path() + QStringLiteral("/data");
    if (!run(QStringLiteral("initdb"),
             {QStringLiteral("-D"), data, QStringLiteral("-U"), QStringLiteral("postgres"),
              QStringLiteral("--auth=trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
              QStringLiteral("--no-sync")},
             kStepMs, &output)) {
        *error = QStringLiteral("initdb failed: %1").arg(output);
        return false;
    }
    // A port found free may be taken before the server binds it: a few tries.
    for (int attempt = 0; attempt < 3 && !mRunning; ++attempt) {
        mPort = freePort();
        if (mPort == 0 || !configure(error))
            return false;
        mRunning = run(QStringLiteral("pg_ctl"),
                       {QStringLiteral("-D"), data, QStringLiteral("-l"), mDir->path() + QStringLiteral("/server.log"),
                        QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("30"), QStringLiteral("start")},
                       kStepMs, &output);
    }
    if (!mRunning)
        *error = QStringLiteral("The test cluster did not start: %1").arg(output);
    return mRunning;
}

void PostgresCluster::stop()
{
    for (const QString &name : std::as_const(mConnections))
        QSqlDatabase::removeDatabase(name);
    mConnections.clear();
    if (!mRunning)
        return;
    mRunning = false;
    run(QStringLiteral("pg_ctl"),
        {QStringLiteral("-D"), mDir->path() + QStringLiteral("/data"), QStringLiteral("-m"),
         QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("30"),
         QStringLiteral("stop")},
        kStepMs, nullptr);
}

QString PostgresCluster::url(const QString &database) const
{
    return QStringLiteral("postgresql://postgres@127.0.0.1:%1/%2").arg(mPort).arg(database);
}

QString PostgresCluster::connectionFor(const QString &database)
{
    const QString name = QStringLiteral("cluster-") + database;
    if (!QSqlDatabase::contains(name)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(QStringLiteral("127.0.0.1"));
        db.setPort(mPort);
        db.setUserName(QStringLiteral("postgres"));
        db.setDatabaseName(database);
        mConnections << name;
    }
    return name;
}

bool PostgresCluster::createDatabase(const QString &name, QString *error)
{
    return exec(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE \"%1\"").arg(name), error);
}

bool PostgresCluster::exec(const QString &database, const QString &statement, QString *error)
{
    QSqlQuery query(QSqlDatabase::database(connectionFor(database)));
    if (query.exec(statement))
        return true;
    if (error)
        *error = query.lastError().text();
    return false;
}

QList<QVariantList> PostgresCluster::rows(const QString &database, const QString &statement)
{
    QList<QVariantList> rows;
    QSqlQuery query(QSqlDatabase::database(connectionFor(database)));
    if (!query.exec(statement))
        return rows;
    while (query.next()) {
        QVariantList row;
        for (int column = 0; column < query.record().count(); ++column)
            row << query.value(column);
        rows << row;
    }
    return rows;
}
