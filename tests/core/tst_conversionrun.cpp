#include "convert/PDFConvert.h"
#include "convert/PDFConvertTask.h"
#include "convert/ServicePacing.h"
#include "frameworks/CommPassport.h"
#include "frameworks/DIRADoduredode.h"
#include "settings/UserDefaults.h"

#include "support/ClientProbe.h"
#include "support/FakeConversionService.h"
#include "support/TestCertificates.h"
#include "support/TestMain.h"
#include "support/TestTiming.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QMutex>
#include <QMutexLocker>
#include <QTemporaryDir>
#include <QThreadPool>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

// What one run reported, collected from background threads.
struct Recorder {
    QMutex mutex;
    QList<int> progress;
    QList<std::tuple<int, QStringList, QString>> completions;

    int completionCount()
    {
        QMutexLocker lock(&mutex);
        return int(completions.size());
    }
    QList<int> reports()
    {
        QMutexLocker lock(&mutex);
        return progress;
    }
    std::tuple<int, QStringList, QString> completion()
    {
        QMutexLocker lock(&mutex);
        return completions.value(0);
    }
};

// The pace a run keeps when neither the service nor the settings set one,
// for one test: the real default, so that a lost hint shows as a 3 s wait.
// The settings keys it sets are removed again.
struct PaceForOneTest {
    explicit PaceForOneTest(int defaultPollMs) : mKeptDefault(PDFConvertTask::queryInterval())
    {
        PDFConvertTask::setQueryInterval(defaultPollMs);
    }
    ~PaceForOneTest()
    {
        PDFConvertTask::setQueryInterval(mKeptDefault);
        saveObjectToUserDefaults(QVariant(), ServicePacing::kPollIntervalKey);
        saveObjectToUserDefaults(QVariant(), ServicePacing::kDownloadStaggerKey);
    }
    const int mKeptDefault;
};

QList<qint64> gaps(const QList<qint64> &times)
{
    QList<qint64> result;
    for (qsizetype i = 1; i < times.size(); ++i)
        result.append(times.at(i) - times.at(i - 1));
    return result;
}

bool allWithin(const QList<qint64> &values, qint64 low, qint64 high)
{
    return std::all_of(values.cbegin(), values.cend(), [=](qint64 v) { return v >= low && v <= high; });
}

// A wait of `ms` as the fake service sees it: a tenth less for the jitter of
// the request before it, more in slower builds.
qint64 atLeast(int ms)
{
    return ms - scaledMs(ms / 10);
}

const QJsonObject kQuickPace{{QStringLiteral("poll_interval_ms"), 200}, {QStringLiteral("download_stagger_ms"), 0}};

} // namespace

class TestConversionRun : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeConversionService> mService;
    std::unique_ptr<DIRADoduredode> mClient;
    std::unique_ptr<QTemporaryDir> mInputs;
    std::unique_ptr<QTemporaryDir> mOutputs;

    QString input(const QString &name, const QByteArray &content = "%PDF-1.4 test")
    {
        const QString path = mInputs->filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(content);
        return path;
    }

    std::shared_ptr<Recorder> start(const QStringList &paths, const QString &type)
    {
        auto recorder = std::make_shared<Recorder>();
        PDFConvert::startConvertPDFWithAction(
            0, paths, type,
            [recorder](qint32 percent) {
                QMutexLocker lock(&recorder->mutex);
                recorder->progress.append(percent);
            },
            [recorder](qint32 status, const QStringList &results, const QString &message) {
                QMutexLocker lock(&recorder->mutex);
                recorder->completions.append({status, results, message});
            });
        return recorder;
    }

    // Waits for the run's completion, then for a probe through the run's
    // client: a reply that had come in by the completion and would complete
    // the run again has been handled when the probe is answered.
    void waitForCompletion(const std::shared_ptr<Recorder> &recorder)
    {
        QTRY_VERIFY_WITH_TIMEOUT(recorder->completionCount() >= 1, 30000);
        QVERIFY(probeClient(*mClient, mService->server().origin()));
        QCOMPARE(recorder->completionCount(), 1);
    }

    static bool isNonDecreasing(const QList<int> &values) { return std::is_sorted(values.begin(), values.end()); }

    QByteArray read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(TestCertificates::instance().isValid());
        PDFConvertTask::setQueryInterval(50);
        CommPassport::setProcessIdentityToken(QStringLiteral("test-identity-token-000"));
    }

    void init()
    {
        mService = std::make_unique<FakeConversionService>();
        QVERIFY(mService->listen());
        mClient = std::make_unique<DIRADoduredode>();
        QVERIFY(mClient->addCaCertificatesFromFile(TestCertificates::instance().caFile()));
        mClient->setTransferTimeout(5000);
        PDFConvert::setHttpClient(mClient.get());
        PDFConvert::setServiceUrlOverride(mService->baseUrl());
        PDFConvert::clearToken();
        mInputs = std::make_unique<QTemporaryDir>();
        mOutputs = std::make_unique<QTemporaryDir>();
        PDFConvert::setOutputFolderOverride(mOutputs->path());
    }

    void cleanup()
    {
        // Whatever the finished test left running reports nothing any more.
        PDFConvert::abandonRun();
        PDFConvert::setHttpClient(nullptr);
        mClient.reset();
        mService.reset();
    }

    void oneFileEndToEnd()
    {
        const QString report = input(QStringLiteral("report.pdf"));
        auto recorder = start({report}, QStringLiteral("DOCX"));
        waitForCompletion(recorder);
        const auto [status, paths, message] = recorder->completion();
        QCOMPARE(status, 1);
        QCOMPARE(message, QString());
        const QString result = mOutputs->filePath(QStringLiteral("report.docx"));
        QCOMPARE(paths, QStringList{result});
        QCOMPARE(read(result), mService->resultContent(QStringLiteral("report.pdf")));
        QCOMPARE(QDir(mOutputs->path()).entryList(QDir::Files | QDir::Hidden).size(), 1); // no temporary left

        const QList<int> reports = recorder->reports();
        QVERIFY2(isNonDecreasing(reports), qPrintable(QDebug::toString(reports)));
        QCOMPARE(reports.value(0), 10);
        QCOMPARE(reports.value(1), 20);
        for (int figure : {50, 58, 70, 100}) // 35 and 85 need transfers big enough to report halfway
            QVERIFY2(reports.contains(figure), qPrintable(QDebug::toString(reports)));
        QCOMPARE(reports.last(), 100);
        QCOMPARE(mService->signatureFailures(), 0);

        const auto tasks = PDFConvert::convertTasks();
        QCOMPARE(tasks.size(), 1);
        QCOMPARE(tasks.first()->localPath(), report);
        QCOMPARE(tasks.first()->downloadLocalPath(), result);

        // The token is cached: a second run sends no token request.
        auto second = start({report}, QStringLiteral("docx"));
        waitForCompletion(second);
        QCOMPARE(mService->server().requestsTo(QStringLiteral("/api/sessions")).size(), 1);
        QCOMPARE(second->reports().value(0), 10);
    }

    void threeFilesEndAt99()
    {
        const QStringList paths{input(QStringLiteral("a.pdf")), input(QStringLiteral("b.pdf")),
                                input(QStringLiteral("c.pdf"))};
        auto recorder = start(paths, QStringLiteral("txt"));
        waitForCompletion(recorder);
        QCOMPARE(std::get<0>(recorder->completion()), 1);
        QCOMPARE(std::get<1>(recorder->completion()).size(), 3);
        const QList<int> reports = recorder->reports();
        // Credential replies add 3 points each; upload figures may come between them.
        QCOMPARE(reports.value(0), 10);
        const qsizetype at13 = reports.indexOf(13);
        QVERIFY(at13 > 0 && reports.indexOf(16) > at13 && reports.indexOf(19) > reports.indexOf(16));
        QVERIFY2(reports.last() == 99, qPrintable(QDebug::toString(reports)));
        QCOMPARE(mService->createdTasks().size(), 3);
        QCOMPARE(mService->server()
                     .requestsTo(QStringLiteral("/api/tasks"))
                     .first()
                     .json()
                     .value(QStringLiteral("service_type"))
                     .toString(),
                 QStringLiteral("pdf-to-text"));
    }

    void mergeOfThree()
    {
        mService->resultNameFor.insert(QStringLiteral("a.pdf"), QStringLiteral("merged.pdf"));
        const QStringList paths{input(QStringLiteral("a.pdf")), input(QStringLiteral("b.pdf")),
                                input(QStringLiteral("c.pdf"))};
        auto recorder = start(paths, QStringLiteral("pdf"));
        waitForCompletion(recorder);
        QCOMPARE(std::get<0>(recorder->completion()), 1);
        QCOMPARE(std::get<1>(recorder->completion()), QStringList{mOutputs->filePath(QStringLiteral("a.pdf"))});
        QCOMPARE(mService->createdTasks(),
                 (QList<QStringList>{{QStringLiteral("a.pdf"), QStringLiteral("b.pdf"), QStringLiteral("c.pdf")}}));
        QCOMPARE(mService->server()
                     .requestsTo(QStringLiteral("/api/tasks"))
                     .first()
                     .json()
                     .value(QStringLiteral("service_type"))
                     .toString(),
                 QStringLiteral("merge-pdf"));
        int downloads = 0;
        for (const RecordedRequest &request : mService->server().requests())
            downloads += request.path.startsWith(QLatin1String("/files/")) ? 1 : 0;
        QCOMPARE(downloads, 1);
        QVERIFY(PDFConvert::isMergeRun());
    }

    void mergeWithoutAFailedUpload()
    {
        mService->failUploadFor.insert(QStringLiteral("b.pdf"));
        auto recorder =
            start({input(QStringLiteral("a.pdf")), input(QStringLiteral("b.pdf")), input(QStringLiteral("c.pdf"))},
                  QStringLiteral("pdf"));
        waitForCompletion(recorder);
        QCOMPARE(std::get<0>(recorder->completion()), 1);
        QCOMPARE(mService->createdTasks(), (QList<QStringList>{{QStringLiteral("a.pdf"), QStringLiteral("c.pdf")}}));
    }

    void mergeNeverReplacesAnInput()
    {
        // Output folder = input folder, holding a.pdf; the service names the result a.pdf too.
        PDFConvert::setOutputFolderOverride(mInputs->path());
        mService->resultNameFor.insert(QStringLiteral("a.pdf"), QStringLiteral("a.pdf"));
        const QString a = input(QStringLiteral("a.pdf"), "%PDF-1.4 the user's a");
        const QString b = input(QStringLiteral("b.pdf"));
        auto recorder = start({a, b}, QStringLiteral("pdf"));
        waitForCompletion(recorder);
        QCOMPARE(read(a), QByteArray("%PDF-1.4 the user's a"));
        const QString merged = mInputs->filePath(QStringLiteral("a(1).pdf"));
        QCOMPARE(std::get<1>(recorder->completion()), QStringList{merged});
        QCOMPARE(read(merged), mService->resultContent(QStringLiteral("a.pdf")));
    }

    void serviceNamesStayInTheOutputFolder()
    {
        mService->resultNameFor.insert(QStringLiteral("x.pdf"), QStringLiteral("../../escape.docx"));
        auto recorder = start({input(QStringLiteral("x.pdf"))}, QStringLiteral("docx"));
        waitForCompletion(recorder);
        QCOMPARE(std::get<1>(recorder->completion()), QStringList{mOutputs->filePath(QStringLiteral("x.docx"))});
        QVERIFY(!QFile::exists(QDir(mOutputs->path()).filePath(QStringLiteral("../../escape.docx"))));
    }

    void earlierResultIsReplaced()
    {
        const QString earlier = mOutputs->filePath(QStringLiteral("r.docx"));
        QFile file(earlier);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("old result");
        file.close();
        auto recorder = start({input(QStringLiteral("r.pdf"))}, QStringLiteral("docx"));
        waitForCompletion(recorder);
        QCOMPARE(read(earlier), mService->resultContent(QStringLiteral("r.pdf")));
    }

    void oneCreationFailureOfTwo()
    {
        mService->failCreationFor.insert(QStringLiteral("b.pdf"));
        auto recorder = start({input(QStringLiteral("a.pdf")), input(QStringLiteral("b.pdf"))}, QStringLiteral("docx"));
        waitForCompletion(recorder);
        QCOMPARE(std::get<0>(recorder->completion()), 1);
        QCOMPARE(std::get<1>(recorder->completion()), QStringList{mOutputs->filePath(QStringLiteral("a.docx"))});
        const auto tasks = PDFConvert::convertTasks();
        QVERIFY(tasks.at(1)->downloadLocalPath().isEmpty());
        QVERIFY(tasks.at(1)->taskId().isEmpty());
    }

    void everyDownloadFails()
    {
        mService->failDownloadFor = {QStringLiteral("a.pdf"), QStringLiteral("b.pdf")};
        auto recorder = start({input(QStringLiteral("a.pdf")), input(QStringLiteral("b.pdf"))}, QStringLiteral("png"));
        waitForCompletion(recorder);
        QCOMPARE(recorder->completion(), std::make_tuple(-5, QStringList(), QString()));
        QVERIFY(QDir(mOutputs->path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    void serverTaskFailures()
    {
        mService->failTaskFor.insert(QStringLiteral("a.pdf"));
        auto merge = start({input(QStringLiteral("a.pdf")), input(QStringLiteral("b.pdf"))}, QStringLiteral("pdf"));
        waitForCompletion(merge);
        QCOMPARE(std::get<0>(merge->completion()), -4);
        QCOMPARE(std::get<2>(merge->completion()),
                 QStringLiteral("合并pdf任务处理失败.error - 服务端创建任务失败 - cannot convert a.pdf"));

        auto conversion =
            start({input(QStringLiteral("a.pdf")), input(QStringLiteral("b.pdf"))}, QStringLiteral("docx"));
        waitForCompletion(conversion);
        QCOMPARE(std::get<1>(conversion->completion()), QStringList{mOutputs->filePath(QStringLiteral("b.docx"))});
    }

    void mergeCreationFailure()
    {
        mService->failCreationFor.insert(QStringLiteral("a.pdf"));
        auto recorder = start({input(QStringLiteral("a.pdf")), input(QStringLiteral("b.pdf"))}, QStringLiteral("pdf"));
        waitForCompletion(recorder);
        QCOMPARE(recorder->completion(),
                 std::make_tuple(-3, QStringList(), QStringLiteral("合并pdf时在服务端创建任务失败")));
    }

    void credentialFailureReportsOnce()
    {
        mService->failCredentialsFor.insert(QStringLiteral("b.pdf"));
        mService->credentialDelayFor.insert(QStringLiteral("a.pdf"), 500); // b's failure comes first
        auto recorder = start({input(QStringLiteral("a.pdf")), input(QStringLiteral("b.pdf"))}, QStringLiteral("docx"));
        QTRY_COMPARE_WITH_TIMEOUT(recorder->completionCount(), 1, 15000);
        QCOMPARE(recorder->completion(), std::make_tuple(-2, QStringList(), QStringLiteral("获取令牌失败")));
        // The other file is still uploaded and its progress reported; nothing completes after.
        QTRY_COMPARE_WITH_TIMEOUT(mService->uploadedNames(), QStringList{QStringLiteral("a.pdf")}, 15000);
        QTRY_VERIFY2_WITH_TIMEOUT(recorder->reports().contains(35), qPrintable(QDebug::toString(recorder->reports())),
                                  15000);
        // The end of a's upload is the run's last event: a task creation or a
        // second completion would be set off from there.
        QTRY_VERIFY_WITH_TIMEOUT(PDFConvert::convertTasks().first()->isCompleted(), 15000);
        QVERIFY(probeClient(*mClient, mService->server().origin()));
        QCOMPARE(recorder->completionCount(), 1);
        QVERIFY(mService->createdTasks().isEmpty());
    }

    void tokenFailure()
    {
        CommPassport::setProcessIdentityToken(QString());
        CommPassport::signOut();
        auto recorder = start({input(QStringLiteral("a.pdf"))}, QStringLiteral("docx"));
        waitForCompletion(recorder);
        QCOMPARE(std::get<0>(recorder->completion()), -1);
        QVERIFY(std::get<2>(recorder->completion()).startsWith(QStringLiteral("token 数据获取异常")));
        QVERIFY(recorder->reports().isEmpty());
        CommPassport::setProcessIdentityToken(QStringLiteral("test-identity-token-000"));
    }

    void cancelSilencesTaskEvents()
    {
        mService->credentialDelayFor.insert(QStringLiteral("b.pdf"), 1500);
        auto recorder = start({input(QStringLiteral("a.pdf")), input(QStringLiteral("b.pdf"))}, QStringLiteral("docx"));
        PDFConvert::cancel();
        // Token and credential replies still move the base; uploads report nothing.
        QTRY_COMPARE_WITH_TIMEOUT(recorder->reports(), (QList<int>{10, 15, 20}), 15000);
        // Both uploads still go out; once the service has them and their
        // replies are handled, nothing is left that could report.
        QTRY_COMPARE_WITH_TIMEOUT(mService->uploadedNames(),
                                  (QStringList{QStringLiteral("a.pdf"), QStringLiteral("b.pdf")}), 15000);
        QVERIFY(probeClient(*mClient, mService->server().origin()));
        QCOMPARE(recorder->reports(), (QList<int>{10, 15, 20}));
        QCOMPARE(recorder->completionCount(), 0);
    }

    void staleRunTouchesNothingNew()
    {
        mService->progressScript = {40, 40, 40, 40, 100};
        auto first = start({input(QStringLiteral("old.pdf"))}, QStringLiteral("docx"));
        QTRY_VERIFY_WITH_TIMEOUT(!mService->createdTasks().isEmpty(), 15000);
        PDFConvert::cancel();
        const int firstReports = int(first->reports().size());
        auto second = start({input(QStringLiteral("new.pdf"))}, QStringLiteral("docx"));
        // The second run's completion is the later event: it takes a whole run,
        // a download delay included, while the first run, cancelled before the
        // second began, has at most one status poll left.
        waitForCompletion(second);
        QCOMPARE(std::get<1>(second->completion()), QStringList{mOutputs->filePath(QStringLiteral("new.docx"))});
        QCOMPARE(first->completionCount(), 0);
        QCOMPARE(int(first->reports().size()), firstReports);
        QCOMPARE(PDFConvert::convertTasks().size(), 1);
        QCOMPARE(PDFConvert::convertTasks().first()->localPath(), mInputs->filePath(QStringLiteral("new.pdf")));
    }

    void abandonedRunIsLetGo()
    {
        // A front end abandons its run on the way out: the run's tasks and
        // their queue threads must end then, not among the process's statics.
        auto recorder = start({input(QStringLiteral("left.pdf"))}, QStringLiteral("docx"));
        waitForCompletion(recorder);
        const std::weak_ptr<PDFConvertTask> task = PDFConvert::convertTasks().value(0);
        QVERIFY(!task.expired());
        PDFConvert::abandonRun();
        QVERIFY(PDFConvert::convertTasks().isEmpty());
        QVERIFY(task.expired());

        // Midway, with a status poll waiting for its turn: the wait ends it.
        mService->progressScript = {10, 10, 10, 10, 100};
        mService->statusPacingHint = {{QStringLiteral("poll_interval_ms"), 600}};
        auto midway = start({input(QStringLiteral("midway.pdf"))}, QStringLiteral("docx"));
        QTRY_VERIFY_WITH_TIMEOUT(mService->arrivalTimes("status", QStringLiteral("midway.pdf")).size() == 1, 15000);
        const std::weak_ptr<PDFConvertTask> waiting = PDFConvert::convertTasks().value(0);
        PDFConvert::abandonRun();
        QVERIFY(waiting.expired());
        QCOMPARE(midway->completionCount(), 0);
    }

    void unreadableStatusRepliesEndTheTask()
    {
        mService->garbageStatusReplies = true;
        auto recorder = start({input(QStringLiteral("a.pdf"))}, QStringLiteral("docx"));
        waitForCompletion(recorder);
        QCOMPARE(recorder->completion(), std::make_tuple(-5, QStringList(), QString()));
        int polls = 0;
        for (const RecordedRequest &request : mService->server().requests())
            polls += request.path.startsWith(QLatin1String("/api/tasks/")) ? 1 : 0;
        QCOMPARE(polls, PDFConvertTask::kMaxUnparseableReplies);
    }

    // ---- pacing ----

    void pacingWithoutHintIsTheDefault()
    {
        PaceForOneTest pace(ServicePacing::kDefaultPollMs);
        mService->progressScript = {40, 100};
        auto recorder = start({input(QStringLiteral("a.pdf")), input(QStringLiteral("b.pdf"))}, QStringLiteral("docx"));
        waitForCompletion(recorder);
        QCOMPARE(std::get<1>(recorder->completion()).size(), 2);
        const QList<qint64> polls = mService->arrivalTimes("status", QStringLiteral("a.pdf"));
        QCOMPARE(polls.size(), 2);
        QVERIFY2(gaps(polls).first() >= atLeast(3000), qPrintable(QDebug::toString(polls)));
        // Downloads one second apart, the first one second after the last status.
        const qint64 lastPoll =
            std::max(polls.last(), mService->arrivalTimes("status", QStringLiteral("b.pdf")).last());
        QList<qint64> downloads = mService->arrivalTimes("download", QStringLiteral("a.pdf")) +
                                  mService->arrivalTimes("download", QStringLiteral("b.pdf"));
        std::sort(downloads.begin(), downloads.end());
        QCOMPARE(downloads.size(), 2);
        QVERIFY2(downloads.first() - lastPoll >= atLeast(1000) && downloads.last() - downloads.first() >= atLeast(1000),
                 qPrintable(QDebug::toString(downloads)));
    }

    void pacingFollowsTheServiceHint_data()
    {
        QTest::addColumn<QJsonObject>("creationHint");
        QTest::addColumn<QJsonObject>("statusHint");
        QTest::addColumn<int>("pollMs");
        // The creation reply's hint already sets the wait before the first poll.
        QTest::newRow("creation replies") << kQuickPace << QJsonObject() << 200;
        QTest::newRow("status replies") << QJsonObject() << kQuickPace << 200;
        QTest::newRow("below the floor") << QJsonObject{{QStringLiteral("poll_interval_ms"), 1},
                                                        {QStringLiteral("download_stagger_ms"), -50}}
                                         << QJsonObject{{QStringLiteral("poll_interval_ms"), QStringLiteral("0")}}
                                         << 100;
    }

    void pacingFollowsTheServiceHint()
    {
        QFETCH(QJsonObject, creationHint);
        QFETCH(QJsonObject, statusHint);
        QFETCH(int, pollMs);
        PaceForOneTest pace(ServicePacing::kDefaultPollMs);
        mService->creationPacingHint = creationHint;
        mService->statusPacingHint = statusHint;
        mService->progressScript = {10, 40, 70, 100};
        const QStringList names{QStringLiteral("p.pdf"), QStringLiteral("q.pdf"), QStringLiteral("r.pdf")};
        QStringList paths;
        for (const QString &name : names)
            paths.append(input(name));
        auto recorder = start(paths, QStringLiteral("docx"));
        waitForCompletion(recorder);
        QCOMPARE(std::get<1>(recorder->completion()).size(), 3);
        qint64 lastPoll = 0;
        for (const QString &name : names) {
            const QList<qint64> polls = mService->arrivalTimes("status", name);
            QCOMPARE(polls.size(), 4);
            QVERIFY2(allWithin(gaps(polls), atLeast(pollMs), scaledMs(2500)), qPrintable(QDebug::toString(polls)));
            const QList<qint64> creation = mService->arrivalTimes("create", name);
            QCOMPARE(creation.size(), 1);
            if (!creationHint.isEmpty())
                QVERIFY2(polls.first() - creation.first() >= atLeast(pollMs), qPrintable(QDebug::toString(polls)));
            lastPoll = std::max(lastPoll, polls.last());
        }
        // No spacing: every download starts right after the last status.
        for (const QString &name : names) {
            const QList<qint64> downloads = mService->arrivalTimes("download", name);
            QCOMPARE(downloads.size(), 1);
            QVERIFY2(downloads.first() - lastPoll < scaledMs(900), qPrintable(QDebug::toString(downloads)));
        }
    }

    void eachTaskFollowsItsOwnHint()
    {
        // A service aims each task's hint at that task's likely end: one
        // queued behind the other is told to come back later, and must not
        // pass its wait on to the other, whichever reply came last.
        PaceForOneTest pace(ServicePacing::kDefaultPollMs);
        mService->pacingHintFor.insert(QStringLiteral("soon.pdf"), {{QStringLiteral("poll_interval_ms"), 150}});
        mService->pacingHintFor.insert(QStringLiteral("later.pdf"), {{QStringLiteral("poll_interval_ms"), 1500}});
        mService->progressScript = {40, 70, 100};
        auto recorder =
            start({input(QStringLiteral("soon.pdf")), input(QStringLiteral("later.pdf"))}, QStringLiteral("docx"));
        waitForCompletion(recorder);
        QCOMPARE(std::get<1>(recorder->completion()).size(), 2);
        for (const auto &[name, waitMs] :
             {std::pair{QStringLiteral("soon.pdf"), 150}, {QStringLiteral("later.pdf"), 1500}}) {
            const QList<qint64> polls = mService->arrivalTimes("status", name);
            QCOMPARE(polls.size(), 3);
            const QList<qint64> waits =
                QList<qint64>{polls.first() - mService->arrivalTimes("create", name).value(0)} + gaps(polls);
            QVERIFY2(allWithin(waits, atLeast(waitMs), waitMs + scaledMs(900)),
                     qPrintable(name + QDebug::toString(waits)));
        }
    }

    void settingsOverrideTheServiceHint()
    {
        PaceForOneTest pace(ServicePacing::kDefaultPollMs);
        QVERIFY(saveIntegerToUserDefaults(700, ServicePacing::kPollIntervalKey));
        QVERIFY(saveIntegerToUserDefaults(400, ServicePacing::kDownloadStaggerKey));
        mService->creationPacingHint = kQuickPace;
        mService->statusPacingHint = kQuickPace;
        mService->progressScript = {40, 70, 100};
        auto recorder = start({input(QStringLiteral("a.pdf")), input(QStringLiteral("b.pdf"))}, QStringLiteral("docx"));
        waitForCompletion(recorder);
        const QList<qint64> polls = mService->arrivalTimes("status", QStringLiteral("a.pdf"));
        QCOMPARE(polls.size(), 3);
        QVERIFY2(allWithin(gaps(polls), atLeast(700), scaledMs(2500)), qPrintable(QDebug::toString(polls)));
        const QList<qint64> a = mService->arrivalTimes("download", QStringLiteral("a.pdf"));
        const QList<qint64> b = mService->arrivalTimes("download", QStringLiteral("b.pdf"));
        QCOMPARE(a.size() + b.size(), 2);
        QVERIFY2(std::abs(b.first() - a.first()) >= atLeast(400), qPrintable(QDebug::toString(a + b)));
    }

    // ---- result names ----

    void sameStemInOneRunGivesTwoResults()
    {
        // writer.pdf from an earlier run is replaced; within the run, the
        // second result takes the next free name instead of the first's.
        const QString earlier = mOutputs->filePath(QStringLiteral("writer.pdf"));
        QFile old(earlier);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("an earlier run's result");
        old.close();
        mService->resultNameFor.insert(QStringLiteral("writer.png"), QStringLiteral("writer.pdf"));
        mService->resultNameFor.insert(QStringLiteral("writer.bmp"), QStringLiteral("writer.pdf"));
        const QString png = input(QStringLiteral("writer.png"), "png");
        const QString bmp = input(QStringLiteral("writer.bmp"), "bmp");
        auto recorder = start({png, bmp}, QStringLiteral("pdf"));
        waitForCompletion(recorder);
        QCOMPARE(std::get<0>(recorder->completion()), 1);
        const QStringList paths = std::get<1>(recorder->completion());
        const QString second = mOutputs->filePath(QStringLiteral("writer(1).pdf"));
        QCOMPARE(QSet<QString>(paths.cbegin(), paths.cend()), (QSet<QString>{earlier, second}));
        QCOMPARE(paths.size(), 2);
        QCOMPARE(QSet<QByteArray>({read(earlier), read(second)}),
                 QSet<QByteArray>({mService->resultContent(QStringLiteral("writer.png")),
                                   mService->resultContent(QStringLiteral("writer.bmp"))}));
        const auto tasks = PDFConvert::convertTasks();
        QVERIFY(tasks.at(0)->downloadLocalPath() != tasks.at(1)->downloadLocalPath());
        QCOMPARE(QDir(mOutputs->path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    // ---- cancel ----

    void incompleteCredentialFailsTheUpload()
    {
        mService->incompleteCredentialsFor.insert(QStringLiteral("a.pdf"));
        auto recorder = start({input(QStringLiteral("a.pdf"))}, QStringLiteral("docx"));
        waitForCompletion(recorder);
        QCOMPARE(recorder->completion(), std::make_tuple(-5, QStringList(), QString()));
        QVERIFY(mService->uploadedNames().isEmpty());
    }

    void cancelSilencesAnIncompleteCredential()
    {
        mService->incompleteCredentialsFor.insert(QStringLiteral("a.pdf"));
        mService->credentialDelayFor.insert(QStringLiteral("a.pdf"), 300);
        auto recorder = start({input(QStringLiteral("a.pdf"))}, QStringLiteral("docx"));
        PDFConvert::cancel();
        QTRY_COMPARE_WITH_TIMEOUT(recorder->reports(), (QList<int>{10, 20}), 15000);
        // The credential reply has been handled once the probe is answered;
        // the upload it set off runs on the pool and has ended after this.
        QVERIFY(probeClient(*mClient, mService->server().origin()));
        QVERIFY(QThreadPool::globalInstance()->waitForDone(15000));
        QCOMPARE(recorder->completionCount(), 0);
        QCOMPARE(recorder->reports(), (QList<int>{10, 20}));
    }

    // ---- progress ----

    void runFiguresStayAsComputedWhenRepliesInterleave()
    {
        // a's upload ends before b's credential reply, b's before c's.
        mService->credentialDelayFor.insert(QStringLiteral("b.pdf"), 1500);
        mService->credentialDelayFor.insert(QStringLiteral("c.pdf"), 3000);
        mService->progressScript = {100};
        auto recorder =
            start({input(QStringLiteral("a.pdf")), input(QStringLiteral("b.pdf")), input(QStringLiteral("c.pdf"))},
                  QStringLiteral("txt"));
        waitForCompletion(recorder);
        const QList<int> reports = recorder->reports();
        // The run's own figure dips; front ends show the highest so far.
        qsizetype at = 0;
        for (const int figure : {10, 13, 23, 16, 36, 19, 49}) {
            at = reports.indexOf(figure, at);
            QVERIFY2(at >= 0, qPrintable(QDebug::toString(reports)));
        }
        QCOMPARE(reports.last(), 99);
    }

    void emptyRunEnds()
    {
        auto recorder = start({}, QStringLiteral("docx"));
        waitForCompletion(recorder);
        QCOMPARE(std::get<0>(recorder->completion()), -3);
    }
};

MIRELUNE_TEST_MAIN(TestConversionRun)
#include "tst_conversionrun.moc"
