#include "support/TestMain.h"
#include "support/TestTiming.h"
#include "support/service/PostgresCluster.h"
#include "support/service/ServiceClient.h"
#include "support/service/ServiceProcess.h"
#include "support/service/TestDocuments.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <csignal>
#include <memory>
#include <vector>

// Two service nodes on one PostgreSQL database and one data folder, as behind
// a load balancer: any node answers any request, and a node killed in the
// middle of a batch loses nothing. The other node takes its task over when the
// lease runs out, and every task finishes exactly once.
class TestServiceNodes : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void nodesStartTogetherOnOneSetOfKeys();
    void anyNodeAnswersAnyRequest();
    void pausedNodeCannotFinishATaskTakenOver();
    void killedNodeLosesNoTask();
    void healthReportsALostDatabase();
    void cleanupTestCase();

private:
    struct Node {
        std::unique_ptr<ServiceProcess> process;
        std::unique_ptr<ServiceClient> client;
        QString id;
    };
    struct Conversion {
        QString taskId;
        QByteArray marker;
    };

    // Finished-task lines of all nodes' logs, by task id.
    QHash<QString, int> finishedLines();
    // Stops the node at a moment it holds a task; what it holds then.
    QList<QVariantList> stopWhileHolding(Node &node, const QString &finishedTasks, const QString &holds);
    bool databaseSettled();
    QList<QVariantList> rows(const QString &query) { return mCluster.rows(QString::fromLatin1(kDatabase), query); }

    static constexpr const char *kDatabase = "records";
    static constexpr int kTasks = 40;
    static constexpr int kLeaseSeconds = 4;
    // Where a load balancer in front of the nodes would listen; the nodes hand
    // out URLs of it, and take each other's upload callbacks for their own.
    static constexpr int kBalancerPort = 44300;

    QTemporaryDir mDir;
    PostgresCluster mCluster;
    std::vector<Node> mNodes;
    QString mToken;
    QByteArray mLogs;
};

void TestServiceNodes::initTestCase()
{
    QVERIFY(mDir.isValid());
    QString error;
    QVERIFY2(mCluster.start(&error), qPrintable(error));
    QVERIFY2(mCluster.createDatabase(QString::fromLatin1(kDatabase), &error), qPrintable(error));
    // Both nodes start at once on a fresh folder: keys, certificates and the
    // schema are made by one of them, while the other waits.
    for (const QString &id : {QStringLiteral("node-a"), QStringLiteral("node-b")}) {
        Node node{std::make_unique<ServiceProcess>(mDir.filePath(QStringLiteral("shared"))), nullptr, id};
        QVERIFY(node.process->begin({QStringLiteral("--database"), mCluster.url(QString::fromLatin1(kDatabase)),
                                     QStringLiteral("--node-id"), id, QStringLiteral("--workers"), QStringLiteral("1"),
                                     QStringLiteral("--task-lease"), QString::number(kLeaseSeconds),
                                     QStringLiteral("--public-url"),
                                     QStringLiteral("https://localhost:%1").arg(kBalancerPort)}));
        mNodes.push_back(std::move(node));
    }
    for (Node &node : mNodes) {
        QVERIFY2(node.process->waitUntilReady(), node.process->errorOutput().constData());
        node.client = std::make_unique<ServiceClient>(*node.process);
    }
    mToken = mNodes[0].client->apiToken();
    QVERIFY(!mToken.isEmpty());
}

void TestServiceNodes::nodesStartTogetherOnOneSetOfKeys()
{
    const ServiceProcess &a = *mNodes[0].process;
    const ServiceProcess &b = *mNodes[1].process;
    QCOMPARE(a.identityToken(), b.identityToken());
    QCOMPARE(a.caFile(), b.caFile());
    QVERIFY(a.port() != b.port());
    QCOMPARE(TestDocuments::read(a.dataFolder() + QStringLiteral("/identity_tokens")).trimmed(), a.identityToken());
    // Each node keeps its lock and ready file in a folder of its own.
    for (const Node &node : std::as_const(mNodes)) {
        const QString own = node.process->dataFolder() + QStringLiteral("/nodes/") + node.id;
        QVERIFY(TestDocuments::read(own + QStringLiteral("/ready.json")).contains(node.process->baseUrl().toUtf8()));
    }
    const QList<QVariantList> version = rows(QStringLiteral("SELECT COUNT(*), MAX(version) FROM schema_version"));
    QCOMPARE(version.value(0).value(0).toInt(), version.value(0).value(1).toInt());
}

void TestServiceNodes::anyNodeAnswersAnyRequest()
{
    ServiceClient &a = *mNodes[0].client;
    ServiceClient &b = *mNodes[1].client;
    // A token issued by one node, credentials by the other, the upload and the
    // task on alternate nodes, the download from either.
    const QJsonObject grant = b.authorize(mToken, QStringLiteral("cross.pdf"));
    QVERIFY(!grant.isEmpty());
    const ServiceClient::Reply put =
        a.send(a.putFor(grant, QStringLiteral("cross.pdf")), TestDocuments::pdf({{QStringLiteral("Across nodes")}}));
    QCOMPARE(put.status, 200);
    const QString file = put.json().value(QStringLiteral("data")).toObject().value(QStringLiteral("id")).toString();
    QVERIFY(!file.isEmpty());
    const QString task = b.taskId(b.createTask(mToken, QStringLiteral("pdf-to-text"), {file}));
    QVERIFY(!task.isEmpty());
    const QJsonObject done = a.waitForTask(mToken, task, 60000);
    QCOMPARE(done.value(QStringLiteral("status")).toInt(), 2);
    QUrl url(done.value(QStringLiteral("target_file")).toObject().value(QStringLiteral("url")).toString());
    QCOMPARE(url.host(), QStringLiteral("localhost"));
    QCOMPARE(url.port(), kBalancerPort);
    QCOMPARE(grant.value(QStringLiteral("endpoint")).toString(), QStringLiteral("localhost:%1").arg(kBalancerPort));
    url.setPort(mNodes[0].process->port());
    QVERIFY(a.get(url).body.contains("Across nodes"));
    url.setPort(mNodes[1].process->port());
    QVERIFY(b.get(url).body.contains("Across nodes"));
    for (const Node &node : std::as_const(mNodes)) {
        const QJsonObject health = node.client->get(QUrl(node.process->baseUrl() + QStringLiteral("/health")))
                                       .json()
                                       .value(QStringLiteral("data"))
                                       .toObject();
        QCOMPARE(health.value(QStringLiteral("node")).toString(), node.id);
        QCOMPARE(health.value(QStringLiteral("database")).toString(), QStringLiteral("ok"));
    }
}

void TestServiceNodes::pausedNodeCannotFinishATaskTakenOver()
{
    // Node a stops (as a paused VM or a long GC would stop it) while it runs a
    // long task; b takes the task over when the lease runs out and finishes it.
    // When a wakes up, its result must not replace b's or count a second time.
    ServiceClient &a = *mNodes[0].client;
    QList<QStringList> pages;
    for (int page = 1; page <= 60; ++page)
        pages.append({QStringLiteral("Long document page %1").arg(page)});
    const QString file = a.upload(mToken, QStringLiteral("long.pdf"), TestDocuments::pdf(pages));
    const QString task = a.taskId(a.createTask(mToken, QStringLiteral("pdf-to-image"), {file},
                                               {{QStringLiteral("format"), QStringLiteral("png")}}));
    QVERIFY(!task.isEmpty());
    // Usually a, which took the request, runs it; b may claim it first.
    const QString owner = QStringLiteral("SELECT lease_owner FROM tasks WHERE id = '%1' AND state = 1").arg(task);
    QString holderId;
    QTRY_VERIFY_WITH_TIMEOUT(!(holderId = rows(owner).value(0).value(0).toString()).isEmpty(), scaledMs(30000));
    Node &paused = holderId == mNodes[0].id ? mNodes[0] : mNodes[1];
    Node &survivor = &paused == &mNodes[0] ? mNodes[1] : mNodes[0];
    const pid_t pausedPid = pid_t(paused.process->pid());
    QCOMPARE(::kill(pausedPid, SIGSTOP), 0);
    QVERIFY(databaseSettled());
    QCOMPARE(rows(owner).value(0).value(0).toString(), paused.id);
    ServiceClient &b = *survivor.client;
    const QJsonObject done = b.waitForTask(mToken, task, 120000);
    ::kill(pausedPid, SIGCONT);
    QCOMPARE(done.value(QStringLiteral("status")).toInt(), 2);
    const QString finishedBySecondClaim =
        QStringLiteral("SELECT attempts FROM tasks WHERE id = '%1' AND state = 2 AND lease_owner IS NULL").arg(task);
    QCOMPARE(rows(finishedBySecondClaim).value(0).value(0).toInt(), 2);
    // Awake, the paused node notices at its next renewal (or when its run ends) and drops its run.
    const QByteArray lost = QByteArray(task.toLatin1()).append(": the lease went to");
    const QByteArray refused = QByteArray(task.toLatin1()).append(" was taken over");
    QTRY_VERIFY_WITH_TIMEOUT(
        paused.process->errorOutput().contains(lost) || paused.process->errorOutput().contains(refused), 30000);
    // Its result folder goes before its run stops counting.
    const QUrl health(paused.process->baseUrl() + QStringLiteral("/health"));
    QTRY_COMPARE_WITH_TIMEOUT(paused.client->get(health)
                                  .json()
                                  .value(QStringLiteral("data"))
                                  .toObject()
                                  .value(QStringLiteral("running_tasks")),
                              QJsonValue(0), scaledMs(30000));
    QCOMPARE(QDir(paused.process->dataFolder() + QStringLiteral("/results/") + task)
                 .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                 .size(),
             1);
    QCOMPARE(finishedLines().value(task), 1);
    QUrl url(done.value(QStringLiteral("target_file")).toObject().value(QStringLiteral("url")).toString());
    url.setPort(survivor.process->port());
    QCOMPARE(b.get(url).status, 200);
}

bool TestServiceNodes::databaseSettled()
{
    // A stopped node's last statement may still run in the database; once no
    // session but this one is busy, what the stopped node holds cannot change.
    const QString busy = QStringLiteral("SELECT pid FROM pg_stat_activity WHERE backend_type = 'client backend'"
                                        " AND state = 'active' AND pid <> pg_backend_pid()");
    const QDeadlineTimer deadline(scaledMs(10000));
    while (!deadline.hasExpired()) {
        if (rows(busy).isEmpty())
            return true;
        QTest::qWait(5);
    }
    return false;
}

QHash<QString, int> TestServiceNodes::finishedLines()
{
    // Each process keeps all it wrote, a killed one included.
    mLogs.clear();
    for (Node &node : mNodes)
        mLogs += node.process->errorOutput();
    QHash<QString, int> finished;
    static const QRegularExpression line(QStringLiteral("task ([0-9a-f]+) finished\\n"));
    auto matches = line.globalMatch(QString::fromUtf8(mLogs));
    while (matches.hasNext())
        ++finished[matches.next().captured(1)];
    return finished;
}

QList<QVariantList> TestServiceNodes::stopWhileHolding(Node &node, const QString &finishedTasks, const QString &holds)
{
    const pid_t pid = pid_t(node.process->pid());
    const QDeadlineTimer deadline(scaledMs(60000));
    while (!deadline.hasExpired()) {
        if (rows(finishedTasks).size() >= kTasks / 4 && !rows(holds).isEmpty()) {
            ::kill(pid, SIGSTOP);
            const QList<QVariantList> held = databaseSettled() ? rows(holds) : QList<QVariantList>();
            if (!held.isEmpty())
                return held;
            ::kill(pid, SIGCONT);
        }
        QTest::qWait(20);
    }
    return {};
}

void TestServiceNodes::killedNodeLosesNoTask()
{
    QElapsedTimer clock;
    clock.start();
    // Uploads and tasks spread over both nodes, each task on the node that did
    // not take its upload. All files go up first, so the tasks come at once
    // and leave a queue behind for the kill.
    QList<Conversion> batch;
    QStringList files;
    for (int i = 0; i < kTasks; ++i) {
        ServiceClient &uploader = *mNodes[i % 2].client;
        const QByteArray marker = "Batch document " + QByteArray::number(i);
        QList<QStringList> pages;
        for (int page = 0; page < 8; ++page)
            pages.append({QString::fromLatin1(marker), QStringLiteral("page %1").arg(page + 1)});
        files.append(uploader.upload(mToken, QStringLiteral("batch-%1.pdf").arg(i), TestDocuments::pdf(pages)));
        QVERIFY(!files.last().isEmpty());
        batch.append({QString(), marker});
    }
    for (int i = 0; i < kTasks; ++i) {
        ServiceClient &creator = *mNodes[(i + 1) % 2].client;
        batch[i].taskId = creator.taskId(creator.createTask(mToken, QStringLiteral("pdf-to-text"), {files.at(i)}));
        QVERIFY(!batch[i].taskId.isEmpty());
    }
    const qint64 createdMs = clock.elapsed();

    // Kill node a while it holds a task, with work left for the other. A task
    // takes node a a moment, so it is stopped first and checked while it
    // cannot finish what it holds.
    const QString holdsA = QStringLiteral("SELECT id FROM tasks WHERE state = 1 AND lease_owner = 'node-a'");
    const QString finishedTasks = QStringLiteral("SELECT id FROM tasks WHERE state = 2");
    // What the dead node still holds (its leases have not run out yet) must run again elsewhere.
    const QList<QVariantList> held = stopWhileHolding(mNodes[0], finishedTasks, holdsA);
    QVERIFY(!held.isEmpty());
    mNodes[0].process->kill();
    QVERIFY(!mNodes[0].process->isRunning());
    const int finishedBeforeKill = int(rows(finishedTasks).size());
    QVERIFY2(finishedBeforeKill < kTasks, "the batch ended before the kill: nothing was tested");

    ServiceClient &survivor = *mNodes[1].client;
    for (const Conversion &conversion : std::as_const(batch)) {
        const QJsonObject done = survivor.waitForTask(mToken, conversion.taskId, 90000);
        QCOMPARE(done.value(QStringLiteral("status")).toInt(), 2);
        QUrl url(done.value(QStringLiteral("target_file")).toObject().value(QStringLiteral("url")).toString());
        QCOMPARE(url.port(), kBalancerPort);
        url.setPort(mNodes[1].process->port());
        const ServiceClient::Reply download = survivor.get(url);
        QCOMPARE(download.status, 200);
        QVERIFY2(download.body.contains(conversion.marker), conversion.marker.constData());
    }
    const qint64 doneMs = clock.elapsed();

    // Exactly once: one committed finish per task across both nodes' logs.
    const QHash<QString, int> finished = finishedLines();
    for (const Conversion &conversion : std::as_const(batch))
        QCOMPARE(finished.value(conversion.taskId), 1);
    const QList<QVariantList> allReruns = rows(QStringLiteral("SELECT id FROM tasks WHERE attempts > 1"));
    for (const QVariantList &task : std::as_const(held))
        QVERIFY(allReruns.contains(task));
    qsizetype reruns = 0;
    for (const Conversion &conversion : std::as_const(batch))
        reruns += allReruns.contains(QVariantList{conversion.taskId}) ? 1 : 0;
    QVERIFY(!QString::fromUtf8(mLogs).contains(mToken));
    qInfo("%d tasks: created in %lld ms, all done %lld ms after the start; node a killed with %d finished;"
          " %lld task(s) ran again",
          kTasks, createdMs, doneMs, finishedBeforeKill, qint64(reruns));
}

void TestServiceNodes::healthReportsALostDatabase()
{
    Node &survivor = mNodes[1];
    const QUrl health(survivor.process->baseUrl() + QStringLiteral("/health"));
    QCOMPARE(survivor.client->get(health).status, 200);
    mCluster.stop();
    const ServiceClient::Reply reply = survivor.client->get(health);
    QCOMPARE(reply.status, 503);
    const QJsonObject data = reply.json().value(QStringLiteral("data")).toObject();
    QCOMPARE(data.value(QStringLiteral("database")).toString(), QStringLiteral("unavailable"));
    QCOMPARE(data.value(QStringLiteral("node")).toString(), survivor.id);
}

void TestServiceNodes::cleanupTestCase()
{
    for (Node &node : mNodes)
        node.process->kill();
    mNodes.clear();
    mCluster.stop();
}

MIRELUNE_TEST_MAIN(TestServiceNodes)
#include "tst_service_nodes.moc"
