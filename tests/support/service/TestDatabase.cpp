#include "support/service/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>

TestDatabase::TestDatabase() = default;
TestDatabase::~TestDatabase() = default;

bool TestDatabase::start(QString *error)
{
    const QByteArray wanted = qgetenv("MIRELUNE_TEST_DATABASE").toLower();
    if (wanted.isEmpty() || wanted == "sqlite")
        return true;
    if (wanted != "postgresql") {
        *error =
            QStringLiteral("MIRELUNE_TEST_DATABASE: sqlite or postgresql, not %1").arg(QString::fromLatin1(wanted));
        return false;
    }
    mCluster = std::make_unique<PostgresCluster>();
    return mCluster->start(error);
}

QString TestDatabase::databaseOf(const QString &dataFolder)
{
    const QString folder = QDir::cleanPath(dataFolder);
    if (!mDatabases.contains(folder)) {
        const QString name = QStringLiteral("records_%1").arg(mDatabases.size() + 1);
        mCluster->createDatabase(name);
        mDatabases.insert(folder, name);
    }
    return mDatabases.value(folder);
}

QStringList TestDatabase::serviceArguments(const QString &dataFolder)
{
    if (!mCluster)
        return {};
    return {QStringLiteral("--database"), mCluster->url(databaseOf(dataFolder)), QStringLiteral("--node-id"),
            QString::fromLatin1(kNodeId)};
}

QString TestDatabase::nodeFolder(const QString &dataFolder) const
{
    return mCluster ? dataFolder + QStringLiteral("/nodes/") + QString::fromLatin1(kNodeId) : dataFolder;
}

bool TestDatabase::exec(const QString &dataFolder, const QString &statement)
{
    if (mCluster)
        return mCluster->exec(databaseOf(dataFolder), statement);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("test"));
        db.setDatabaseName(dataFolder + QStringLiteral("/service.sqlite"));
        ok = db.open() && QSqlQuery(db).exec(statement);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("test"));
    return ok;
}

QByteArray TestDatabase::storedBytes(const QString &dataFolder)
{
    QByteArray stored;
    if (!mCluster) {
        const QStringList files = QDir(dataFolder).entryList({QStringLiteral("service.sqlite*")});
        for (const QString &file : files) {
            QFile content(dataFolder + QLatin1Char('/') + file);
            if (content.open(QIODevice::ReadOnly))
                stored += content.readAll();
        }
        return stored;
    }
    const QString database = databaseOf(dataFolder);
    const QList<QVariantList> tables = mCluster->rows(
        database, QStringLiteral("SELECT table_name FROM information_schema.tables WHERE table_schema = 'public'"));
    for (const QVariantList &table : tables) {
        const QList<QVariantList> rows = mCluster->rows(
            database, QStringLiteral("SELECT row_to_json(t)::text FROM \"%1\" t").arg(table.value(0).toString()));
        for (const QVariantList &row : rows)
            stored += row.value(0).toString().toUtf8() + '\n';
    }
    return stored;
}
