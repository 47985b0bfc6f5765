#include "core/ServiceOptions.h"
#include "store/DatabaseUrl.h"
#include "store/Records.h"
#include "store/SchemaMigrations.h"
#include "store/Secrets.h"
#include "support/TestMain.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

// The records on their own: schema steps (old files, failing and unknown
// steps), task leases between two nodes, and the options that name the
// database, the node and its public address.
class TestServiceRecords : public QObject {
    Q_OBJECT

private slots:
    void init();
    void oldFileIsUpgradedWithItsData();
    void failedStepLeavesTheDatabaseAsItWas();
    void stepsOutOfOrderOrFromANewerReleaseAreRefused();
    void leaseKeepsATaskWithOneNode();
    void expiredLeaseGoesToAnotherNodeAndOnlyItFinishes();
    void restartOnSqliteRequeuesEveryRunningTask();
    void databaseUrl_data();
    void databaseUrl();
    void publicUrl_data();
    void publicUrl();
    void nodeOptions_data();
    void nodeOptions();

private:
    QString databasePath() const { return mDir->filePath(QStringLiteral("service.sqlite")); }
    QString addTask(Records &records);

    std::unique_ptr<QTemporaryDir> mDir;
    qint64 mNow = 1'800'000'000;
};

namespace {

// What a service before versioned schema steps made.
const char *const kOldSchema[] = {
    "CREATE TABLE identities (hash TEXT PRIMARY KEY, created INTEGER NOT NULL)",
    "CREATE TABLE api_tokens (hash TEXT PRIMARY KEY, identity TEXT NOT NULL, expires INTEGER NOT NULL)",
    "CREATE TABLE credentials (access_id TEXT PRIMARY KEY, secret TEXT NOT NULL, token_hash TEXT NOT NULL,"
    " owner TEXT NOT NULL, expires INTEGER NOT NULL)",
    "CREATE TABLE object_slots (bucket TEXT NOT NULL, object_key TEXT NOT NULL, access_id TEXT NOT NULL,"
    " name TEXT NOT NULL, owner TEXT NOT NULL, expires INTEGER NOT NULL, file_id TEXT, PRIMARY KEY (bucket, "
    "object_key))",
    "CREATE TABLE files (id TEXT PRIMARY KEY, owner TEXT NOT NULL, name TEXT NOT NULL, object_key TEXT NOT NULL,"
    " size INTEGER NOT NULL, mime TEXT NOT NULL, expires INTEGER NOT NULL)",
    "CREATE TABLE tasks (id TEXT PRIMARY KEY, owner TEXT NOT NULL, service_type TEXT NOT NULL, args TEXT NOT NULL,"
    " inputs TEXT NOT NULL, state INTEGER NOT NULL, progress INTEGER NOT NULL, errors TEXT, result_name TEXT,"
    " result_path TEXT, download_token TEXT UNIQUE, seq INTEGER NOT NULL, expires INTEGER NOT NULL)",
    "CREATE INDEX tasks_state ON tasks (state, seq)",
    "INSERT INTO api_tokens VALUES ('"
    "2f0b4b3b1c9b0b4a2f3b0e0d4e4e6d0c7f0b2c0a3b5c0d6e7f8091a2b3c4d5e6', 'id', 4000000000)",
    "INSERT INTO tasks VALUES ('done', 'owner', 'pdf-to-text', '{}', '[]', 2, 100, NULL, 'a.txt', '/r/a.txt',"
    " 'token', 1, 4000000000)",
    "INSERT INTO tasks VALUES ('waiting', 'owner', 'pdf-to-text', '{}', '[]', 0, 0, NULL, NULL, NULL, NULL, 2,"
    " 4000000000)",
};

QStringList tables(QSqlDatabase &db)
{
    QStringList names = db.tables();
    names.sort();
    return names;
}

// A connection of the test's own to a SQLite file, closed with the object.
struct SqliteFile {
    explicit SqliteFile(const QString &path)
        : name(QStringLiteral("check-") + QString::fromLatin1(Secrets::randomHex(4)))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.open();
    }
    ~SqliteFile() { QSqlDatabase::removeDatabase(name); }
    QSqlDatabase db() const { return QSqlDatabase::database(name); }
    QString name;
};

} // namespace

void TestServiceRecords::init()
{
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
}

QString TestServiceRecords::addTask(Records &records)
{
    return records.createTask("owner", QStringLiteral("pdf-to-text"), {}, {{QStringLiteral("f"), QStringLiteral("pw")}},
                              3600);
}

void TestServiceRecords::oldFileIsUpgradedWithItsData()
{
    {
        SqliteFile old(databasePath());
        QSqlDatabase db = old.db();
        for (const char *statement : kOldSchema)
            QVERIFY2(QSqlQuery(db).exec(QString::fromLatin1(statement)), statement);
    }
    QString error;
    for (int opening = 0; opening < 2; ++opening) {
        Records records;
        QVERIFY2(records.open(databasePath(), &error), qPrintable(error));
        const std::optional<TaskRecord> done = records.task(QStringLiteral("done"));
        QVERIFY(done);
        QCOMPARE(done->state, TaskState::Finished);
        QCOMPARE(done->resultPath, QStringLiteral("/r/a.txt"));
        QVERIFY(records.taskByDownloadToken("token"));
    }
    SqliteFile upgraded(databasePath());
    QSqlDatabase db = upgraded.db();
    QCOMPARE(SchemaMigrations::currentVersion(db), SchemaMigrations::latestVersion());
    QSqlQuery steps(db);
    QVERIFY(steps.exec(QStringLiteral("SELECT COUNT(*) FROM schema_version")) && steps.next());
    QCOMPARE(steps.value(0).toInt(), SchemaMigrations::latestVersion()); // each step once, over two openings
    QSqlQuery kept(db);
    QVERIFY(kept.exec(QStringLiteral("SELECT COUNT(*) FROM api_tokens")) && kept.next());
    QCOMPARE(kept.value(0).toInt(), 1);

    // The queued task of the old file is leased like a new one.
    Records records;
    QVERIFY(records.open(databasePath(), &error));
    const std::optional<TaskRecord> claimed = records.claimNextTask();
    QVERIFY(claimed);
    QCOMPARE(claimed->id, QStringLiteral("waiting"));
    QCOMPARE(claimed->attempt, 1);
}

void TestServiceRecords::failedStepLeavesTheDatabaseAsItWas()
{
    SqliteFile file(databasePath());
    QSqlDatabase db = file.db();
    const QList<SchemaMigrations::Step> steps = {
        {1, QStringLiteral("first"), {QStringLiteral("CREATE TABLE first (a TEXT)")}},
        {2,
         QStringLiteral("second, broken half-way"),
         {QStringLiteral("CREATE TABLE second (b TEXT)"), QStringLiteral("ALTER TABLE nowhere ADD COLUMN c TEXT")}},
    };
    QString error;
    QVERIFY(!SchemaMigrations::apply(db, steps, &error));
    QVERIFY2(error.contains(QStringLiteral("step 2")), qPrintable(error));
    QCOMPARE(SchemaMigrations::currentVersion(db), 1);
    QCOMPARE(tables(db), (QStringList{QStringLiteral("first"), QStringLiteral("schema_version")}));

    // Mended, the step runs on the next start.
    QList<SchemaMigrations::Step> mended = steps;
    mended[1].statements.removeLast();
    QVERIFY2(SchemaMigrations::apply(db, mended, &error), qPrintable(error));
    QCOMPARE(SchemaMigrations::currentVersion(db), 2);
    QVERIFY(tables(db).contains(QStringLiteral("second")));
}

void TestServiceRecords::stepsOutOfOrderOrFromANewerReleaseAreRefused()
{
    SqliteFile file(databasePath());
    QSqlDatabase db = file.db();
    const SchemaMigrations::Step one{1, QStringLiteral("one"), {QStringLiteral("CREATE TABLE one (a TEXT)")}};
    const SchemaMigrations::Step two{2, QStringLiteral("two"), {QStringLiteral("CREATE TABLE two (a TEXT)")}};
    const SchemaMigrations::Step three{3, QStringLiteral("three"), {QStringLiteral("CREATE TABLE three (a TEXT)")}};
    QString error;
    QVERIFY(!SchemaMigrations::apply(db, {one, three}, &error));
    QVERIFY(!SchemaMigrations::apply(db, {two, one}, &error));
    QCOMPARE(SchemaMigrations::currentVersion(db), 0);
    QVERIFY(SchemaMigrations::apply(db, {one, two}, &error));
    QVERIFY(!SchemaMigrations::apply(db, {one}, &error));
    QVERIFY2(error.contains(QStringLiteral("newer")), qPrintable(error));
    QVERIFY(SchemaMigrations::latestVersion() >= 2);
}

void TestServiceRecords::leaseKeepsATaskWithOneNode()
{
    QString error;
    Records a;
    Records b;
    for (Records *node : {&a, &b}) {
        QVERIFY2(node->open(databasePath(), &error), qPrintable(error));
        node->setClock([this] { return mNow; });
    }
    a.setNode(QStringLiteral("a"), 30);
    b.setNode(QStringLiteral("b"), 30);
    const QString first = addTask(a);
    const QString second = addTask(a);
    QCOMPARE(b.queuedAhead(first), 0);
    QCOMPARE(b.queuedAhead(second), 1);
    const std::optional<TaskRecord> claimed = a.claimNextTask();
    QVERIFY(claimed);
    QCOMPARE(claimed->id, first); // oldest first
    // A claimed task waits behind nothing; an unknown one is not queued at all.
    QCOMPARE(b.queuedAhead(second), 0);
    QCOMPARE(b.queuedAhead(first), std::nullopt);
    QCOMPARE(b.queuedAhead(QStringLiteral("no-such-task")), std::nullopt);
    const TaskClaim mine{first, claimed->attempt};
    // Renewed in time, the lease never runs out: the other node gets the next task only.
    for (int i = 0; i < 5; ++i) {
        mNow += 20;
        QVERIFY(a.renewLease(mine));
    }
    const std::optional<TaskRecord> other = b.claimNextTask();
    QVERIFY(other);
    QCOMPARE(other->id, second);
    QVERIFY(!b.claimNextTask());
    QVERIFY(a.setTaskProgress(mine, 50));
    QVERIFY(!b.setTaskProgress({first, claimed->attempt}, 60)); // not b's to report
    QVERIFY(!b.finishTask({first, claimed->attempt}, QStringLiteral("/x"), QStringLiteral("x.txt")));
    QVERIFY(a.finishTask(mine, QStringLiteral("/r/result.txt"), QStringLiteral("in.txt")));
    QCOMPARE(a.task(first)->state, TaskState::Finished);
    QVERIFY(a.task(first)->inputs.first().password.isEmpty());
}

void TestServiceRecords::expiredLeaseGoesToAnotherNodeAndOnlyItFinishes()
{
    QString error;
    Records a;
    Records b;
    for (Records *node : {&a, &b}) {
        QVERIFY2(node->open(databasePath(), &error), qPrintable(error));
        node->setClock([this] { return mNow; });
    }
    a.setNode(QStringLiteral("a"), 30);
    b.setNode(QStringLiteral("b"), 30);
    const QString id = addTask(a);
    const TaskClaim first{id, a.claimNextTask()->attempt};
    mNow += 29;
    QVERIFY(!b.claimNextTask()); // not yet run out
    mNow += 2;
    const std::optional<TaskRecord> again = b.claimNextTask();
    QVERIFY(again);
    QCOMPARE(again->id, id);
    const TaskClaim second{id, again->attempt};
    QCOMPARE(second.attempt, first.attempt + 1);
    // The first node wakes up: its lease, its progress and its result are refused.
    QVERIFY(!a.renewLease(first));
    QVERIFY(!a.setTaskProgress(first, 80));
    QVERIFY(!a.finishTask(first, QStringLiteral("/a/result.txt"), QStringLiteral("a.txt")));
    QVERIFY(!a.failTask(first, QStringLiteral("late")));
    QVERIFY(!a.requeueTask(first));
    QVERIFY(b.finishTask(second, QStringLiteral("/b/result.txt"), QStringLiteral("b.txt")));
    // Finished once: the winner cannot finish it a second time either.
    QVERIFY(!b.finishTask(second, QStringLiteral("/b/other.txt"), QStringLiteral("b.txt")));
    const std::optional<TaskRecord> done = a.task(id);
    QCOMPARE(done->state, TaskState::Finished);
    QCOMPARE(done->resultPath, QStringLiteral("/b/result.txt"));
    mNow += 1000;
    QVERIFY(!a.claimNextTask()); // a finished task has no lease to run out
}

void TestServiceRecords::restartOnSqliteRequeuesEveryRunningTask()
{
    // On SQLite only one service uses the file: every running task is its own.
    QString error;
    Records a;
    QVERIFY(a.open(databasePath(), &error));
    a.setNode(QStringLiteral("a"), 30);
    addTask(a);
    const TaskClaim claim{a.claimNextTask()->id, 1};
    Records restarted;
    QVERIFY(restarted.open(databasePath(), &error));
    restarted.setNode(QStringLiteral("a-2"), 30);
    QCOMPARE(restarted.requeueRunningTasks(), 1);
    QCOMPARE(restarted.task(claim.taskId)->state, TaskState::Queued);
    QVERIFY(!a.finishTask(claim, QStringLiteral("/x"), QStringLiteral("x"))); // handed back, no longer a's
    QCOMPARE(restarted.claimNextTask()->attempt, 2);
}

void TestServiceRecords::databaseUrl_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("options");
    QTest::newRow("plain") << QStringLiteral("postgresql://mirelune@db.internal/records") << true
                           << QStringLiteral("db.internal") << 5432 << QStringLiteral("records") << QStringLiteral("");
    QTest::newRow("port") << QStringLiteral("postgresql://mirelune@10.0.0.5:6543/records") << true
                          << QStringLiteral("10.0.0.5") << 6543 << QStringLiteral("records") << QStringLiteral("");
    QTest::newRow("short scheme, options")
        << QStringLiteral("postgres://mirelune:s3cret@db/records?sslmode=verify-full&connect_timeout=5") << true
        << QStringLiteral("db") << 5432 << QStringLiteral("records")
        << QStringLiteral("sslmode=verify-full;connect_timeout=5");
    QTest::newRow("no user") << QStringLiteral("postgresql://db/records") << false << QStringLiteral("") << 0
                             << QStringLiteral("") << QStringLiteral("");
    QTest::newRow("no database") << QStringLiteral("postgresql://mirelune@db/") << false << QStringLiteral("") << 0
                                 << QStringLiteral("") << QStringLiteral("");
    QTest::newRow("other scheme") << QStringLiteral("mysql://mirelune@db/records") << false << QStringLiteral("") << 0
                                  << QStringLiteral("") << QStringLiteral("");
    QTest::newRow("option breaking out") << QStringLiteral("postgresql://mirelune@db/records?sslmode=require;host=evil")
                                         << false << QStringLiteral("") << 0 << QStringLiteral("")
                                         << QStringLiteral("");
    QTest::newRow("bad port") << QStringLiteral("postgresql://mirelune:s3cret@db:99999/records") << false
                              << QStringLiteral("") << 0 << QStringLiteral("") << QStringLiteral("");
}

void TestServiceRecords::databaseUrl()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QString error;
    const std::optional<DatabaseUrl> url = DatabaseUrl::parse(text, &error);
    QCOMPARE(bool(url), valid);
    QVERIFY(!error.contains(QStringLiteral("s3cret")));
    if (!url)
        return;
    QTEST(url->host(), "host");
    QTEST(url->port(), "port");
    QTEST(url->database(), "database");
    QTEST(url->connectOptions(), "options");
    QCOMPARE(url->user(), QStringLiteral("mirelune"));
    QVERIFY(url->isShared());
    QVERIFY(!url->displayName().contains(QStringLiteral("s3cret")));
    QVERIFY(url->displayName().contains(url->host()));
}

void TestServiceRecords::publicUrl_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("origin"); // empty: refused
    QTest::newRow("host") << QStringLiteral("https://convert.example.org")
                          << QStringLiteral("https://convert.example.org:443");
    QTest::newRow("host, port, slash") << QStringLiteral("https://Convert.Example.org:8443/")
                                       << QStringLiteral("https://convert.example.org:8443");
    QTest::newRow("IPv6") << QStringLiteral("https://[2001:db8::1]:9000")
                          << QStringLiteral("https://[2001:db8::1]:9000");
    QTest::newRow("plain http") << QStringLiteral("http://convert.example.org") << QStringLiteral("");
    QTest::newRow("path") << QStringLiteral("https://convert.example.org/api") << QStringLiteral("");
    QTest::newRow("user") << QStringLiteral("https://me:pw@convert.example.org") << QStringLiteral("");
    QTest::newRow("query") << QStringLiteral("https://convert.example.org/?a=b") << QStringLiteral("");
    QTest::newRow("no host") << QStringLiteral("https://:443") << QStringLiteral("");
}

void TestServiceRecords::publicUrl()
{
    QFETCH(QString, text);
    QFETCH(QString, origin);
    const std::optional<QUrl> url = ServiceOptions::parsePublicUrl(text);
    QCOMPARE(url ? url->toString() : QString(), origin);
}

void TestServiceRecords::nodeOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("node");
    QTest::addColumn<int>("lease");
    QTest::newRow("defaults") << QStringList{} << true << QStringLiteral("") << 30;
    QTest::newRow("cluster") << QStringList{QStringLiteral("--database"),   QStringLiteral("postgresql://m@db/r"),
                                            QStringLiteral("--node-id"),    QStringLiteral("web-1.eu"),
                                            QStringLiteral("--task-lease"), QStringLiteral("12")}
                             << true << QStringLiteral("web-1.eu") << 12;
    QTest::newRow("node id with a slash")
        << QStringList{QStringLiteral("--node-id"), QStringLiteral("../other")} << false << QStringLiteral("") << 0;
    QTest::newRow("node id with a dot first")
        << QStringList{QStringLiteral("--node-id"), QStringLiteral(".hidden")} << false << QStringLiteral("") << 0;
    QTest::newRow("node id too long") << QStringList{QStringLiteral("--node-id"), QString(65, QLatin1Char('n'))}
                                      << false << QStringLiteral("") << 0;
    QTest::newRow("lease too short") << QStringList{QStringLiteral("--task-lease"), QStringLiteral("2")} << false
                                     << QStringLiteral("") << 0;
    QTest::newRow("bad database") << QStringList{QStringLiteral("--database"),
                                                 QStringLiteral("/var/lib/records.sqlite")}
                                  << false << QStringLiteral("") << 0;
}

void TestServiceRecords::nodeOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, valid);
    QFETCH(QString, node);
    QString message;
    int exitCode = 0;
    const std::optional<ServiceOptions> options =
        ServiceOptions::parse(QStringList{QStringLiteral("mirelune-service")} + arguments, &message, &exitCode);
    QCOMPARE(bool(options), valid);
    if (!options)
        return;
    QVERIFY(ServiceOptions::validNodeId(options->nodeId));
    if (!node.isEmpty())
        QCOMPARE(options->nodeId, node);
    QTEST(options->leaseSeconds, "lease");
    QCOMPARE(bool(options->database), arguments.contains(QStringLiteral("--database")));
}

MIRELUNE_TEST_MAIN(TestServiceRecords)
#include "tst_service_records.moc"
