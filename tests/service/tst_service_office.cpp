#include "formats/ZipWriter.h"
#include "support/TestMain.h"
#include "support/TestTiming.h"
#include "support/service/ServiceClient.h"
#include "support/service/ServiceProcess.h"
#include "support/service/TestDocuments.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <memory>

#include <csignal>
#include <unistd.h>

// A worker's warm LibreOffice through the ends of a conversion that go
// wrong: the office dying under a job, a job running into its time-out, and
// the temporary files both leave behind, also across a restart.
class TestServiceOffice : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void officeDeathFailsTheJobAtOnce();
    void timedOutJobLeavesNoTemporaryFiles();
    void startEmptiesTemporaryFolders();

private:
    // Uploads a document and starts a word-to-pdf task; its id.
    QString startConversion(ServiceClient &client, const QString &token, const QString &name,
                            const QByteArray &document);
    // Waits until the task's office conversion is under way.
    bool waitUntilConverting(ServiceClient &client, const QString &token, const QString &task);
    static QStringList filesBelow(const QString &folder);
    // Waits until the process has used this much CPU time (it is at work).
    static bool busyFor(qint64 pid, int cpuMs);

    QTemporaryDir mDir;
    QByteArray mLongDocument;
    QByteArray mShortDocument;
};

namespace {

// A Word document of `paragraphs` paragraphs, written here rather than by
// LibreOffice: a few thousand pages keep an office busy for many seconds.
QByteArray wordDocument(const QString &path, int paragraphs)
{
    QByteArray body;
    for (int i = 0; i < paragraphs; ++i) {
        body += "<w:p><w:r><w:t>Paragraph " + QByteArray::number(i) +
                " of a long report about the harbour, its lighthouses, tides and the ships that call there."
                "</w:t></w:r></w:p>";
    }
    ZipWriter zip(path);
    const bool written =
        zip.open() &&
        zip.addData(
            QStringLiteral("[Content_Types].xml"),
            R"(<?xml version="1.0" encoding="UTF-8"?>)"
            R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
            R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
            R"(<Default Extension="xml" ContentType="application/xml"/>)"
            R"(<Override PartName="/word/document.xml" )"
            R"(ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/>)"
            R"(</Types>)") &&
        zip.addData(QStringLiteral("_rels/.rels"),
                    R"(<?xml version="1.0" encoding="UTF-8"?>)"
                    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
                    R"(<Relationship Id="rId1" Target="word/document.xml" )"
                    R"(Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument"/>)"
                    R"(</Relationships>)") &&
        zip.addData(QStringLiteral("word/document.xml"),
                    R"(<?xml version="1.0" encoding="UTF-8"?>)"
                    R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>)" +
                        body + "</w:body></w:document>") &&
        zip.close();
    return written ? TestDocuments::read(path) : QByteArray();
}

QString taskState(const QJsonObject &data)
{
    return data.value(QStringLiteral("errors")).toString() + QStringLiteral(" (status %1, progress %2)")
                                                                 .arg(data.value(QStringLiteral("status")).toInt())
                                                                 .arg(data.value(QStringLiteral("progress")).toInt());
}

} // namespace

void TestServiceOffice::initTestCase()
{
    QVERIFY(mDir.isValid());
    // 60 000 paragraphs once converted in just under the 25-second time-out
    // the tests below rely on; three times as many never do.
    mLongDocument = wordDocument(mDir.filePath(QStringLiteral("long.docx")), 180000);
    mShortDocument = wordDocument(mDir.filePath(QStringLiteral("short.docx")), 3);
    QVERIFY(!mLongDocument.isEmpty() && !mShortDocument.isEmpty());
}

QString TestServiceOffice::startConversion(ServiceClient &client, const QString &token, const QString &name,
                                           const QByteArray &document)
{
    const QString file = client.upload(token, name, document);
    return file.isEmpty() ? QString() : client.taskId(client.createTask(token, QStringLiteral("word-to-pdf"), {file}));
}

bool TestServiceOffice::waitUntilConverting(ServiceClient &client, const QString &token, const QString &task)
{
    // 30 is where the office route hands the document to LibreOffice.
    const QDeadlineTimer deadline(120000);
    while (!deadline.hasExpired()) {
        const QJsonObject data = client.taskStatus(token, task).value(QStringLiteral("data")).toObject();
        if (data.value(QStringLiteral("status")).toInt() != 1 && data.value(QStringLiteral("status")).toInt() != 0)
            return false;
        if (data.value(QStringLiteral("progress")).toInt() >= 30)
            return true;
        QTest::qWait(100);
    }
    return false;
}

bool TestServiceOffice::busyFor(qint64 pid, int cpuMs)
{
    // User and system time of the process, fields 14 and 15 of its stat line
    // (counted after the command name, which may hold spaces).
    const auto cpuTicks = [pid] {
        const QByteArray stat = TestDocuments::read(QStringLiteral("/proc/%1/stat").arg(pid));
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        return fields.size() > 12 ? fields.at(11).toLongLong() + fields.at(12).toLongLong() : -1;
    };
    const qint64 ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    const qint64 start = cpuTicks();
    const QDeadlineTimer deadline(scaledMs(60000));
    while (start >= 0 && !deadline.hasExpired()) {
        const qint64 now = cpuTicks();
        if (now < 0)
            return false;
        if ((now - start) * 1000 >= cpuMs * ticksPerSecond)
            return true;
        QTest::qWait(50);
    }
    return false;
}

QStringList TestServiceOffice::filesBelow(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next().mid(folder.size() + 1);
    return files;
}

void TestServiceOffice::officeDeathFailsTheJobAtOnce()
{
    ServiceProcess service(mDir.filePath(QStringLiteral("crash")));
    QVERIFY(service.start({QStringLiteral("--workers"), QStringLiteral("1")}));
    ServiceClient client(service);
    const QString token = client.apiToken();
    // A first conversion leaves the worker with a warm office.
    const QString warm = startConversion(client, token, QStringLiteral("warm.docx"), mShortDocument);
    QCOMPARE(client.waitForTask(token, warm, 240000).value(QStringLiteral("progress")).toInt(), 100);

    const QString task = startConversion(client, token, QStringLiteral("long.docx"), mLongDocument);
    QVERIFY(waitUntilConverting(client, token, task));
    const QString profile = service.dataFolder() + QStringLiteral("/profiles/worker-0/profile");
    const QList<qint64> offices = TestDocuments::processes({"soffice.bin", profile.toUtf8()});
    QVERIFY(!offices.isEmpty());
    // Killed only once it works on the long document: a death before the
    // document reached it is retried on a fresh office, not a failure.
    QVERIFY(busyFor(offices.first(), 1000));
    for (const qint64 pid : offices)
        ::kill(pid_t(pid), SIGKILL);
    QElapsedTimer noticed;
    noticed.start();
    const QJsonObject failed = client.waitForTask(token, task, 120000);
    const qint64 elapsed = noticed.elapsed();
    QCOMPARE(failed.value(QStringLiteral("status")).toInt(), -1);
    QVERIFY2(failed.value(QStringLiteral("errors")).toString().contains(QStringLiteral("The converter crashed")),
             qPrintable(taskState(failed)));
    // Well inside the 300-second time-out: the worker noticed the death itself.
    QVERIFY2(elapsed < scaledMs(10000), qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
    qInfo("the job failed %lld ms after its office was killed", elapsed);

    // The worker starts a new office for the next job.
    const QString next = startConversion(client, token, QStringLiteral("after.docx"), mShortDocument);
    const QJsonObject done = client.waitForTask(token, next, 240000);
    QVERIFY2(done.value(QStringLiteral("progress")).toInt() == 100, qPrintable(taskState(done)));
    QVERIFY(service.stop());
}

void TestServiceOffice::timedOutJobLeavesNoTemporaryFiles()
{
    ServiceProcess service(mDir.filePath(QStringLiteral("timeout")));
    QVERIFY(service.start(
        {QStringLiteral("--workers"), QStringLiteral("1"), QStringLiteral("--job-timeout"), QStringLiteral("25")}));
    ServiceClient client(service);
    const QString token = client.apiToken();
    const QString temporary = service.dataFolder() + QStringLiteral("/profiles/worker-0/tmp");
    const QString task = startConversion(client, token, QStringLiteral("long.docx"), mLongDocument);
    QVERIFY(!task.isEmpty());
    // The office works in its worker's temporary folder...
    QTRY_VERIFY_WITH_TIMEOUT(!filesBelow(temporary).isEmpty(), 60000);
    const QJsonObject failed = client.waitForTask(token, task, 120000);
    QCOMPARE(failed.value(QStringLiteral("status")).toInt(), -1);
    QVERIFY2(failed.value(QStringLiteral("errors")).toString().contains(QStringLiteral("longer than 25 seconds")),
             qPrintable(taskState(failed)));
    // ...and nothing of it stays once the time-out killed it.
    QVERIFY2(filesBelow(temporary).isEmpty(), qPrintable(filesBelow(temporary).join(QLatin1Char(' '))));
    QVERIFY(filesBelow(service.dataFolder() + QStringLiteral("/jobs")).isEmpty());
    QVERIFY(service.stop());
}

void TestServiceOffice::startEmptiesTemporaryFolders()
{
    const QString data = mDir.filePath(QStringLiteral("leftovers"));
    auto service = std::make_unique<ServiceProcess>(data);
    QVERIFY(service->start({QStringLiteral("--workers"), QStringLiteral("0")}));
    QVERIFY(service->stop());
    // What a killed service's offices left, also for a worker the next start no longer has.
    const QStringList leftovers = {QStringLiteral("/profiles/worker-0/tmp/lu1234.tmp/big.tmp"),
                                   QStringLiteral("/profiles/worker-5/tmp/stale")};
    for (const QString &leftover : leftovers) {
        QVERIFY(QDir().mkpath(QFileInfo(data + leftover).path()));
        QVERIFY(TestDocuments::write(data + leftover, QByteArray(4096, 'x')));
    }
    const QString profileFile = data + QStringLiteral("/profiles/worker-0/profile/user/registrymodifications.xcu");
    QVERIFY(QDir().mkpath(QFileInfo(profileFile).path()));
    QVERIFY(TestDocuments::write(profileFile, "<items/>"));

    service = std::make_unique<ServiceProcess>(data);
    QVERIFY(service->start({QStringLiteral("--workers"), QStringLiteral("1")}));
    for (const QString &leftover : leftovers)
        QVERIFY2(!QFileInfo::exists(data + leftover), qPrintable(leftover));
    QVERIFY(filesBelow(data + QStringLiteral("/profiles/worker-0/tmp")).isEmpty());
    // The profile itself is kept: it is no temporary space.
    QVERIFY(QFileInfo::exists(profileFile));
    QVERIFY(service->stop());
}

MIRELUNE_TEST_MAIN(TestServiceOffice)
#include "tst_service_office.moc"
