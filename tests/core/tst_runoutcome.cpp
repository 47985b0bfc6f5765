#include "convert/PDFConvertTask.h"
#include "convert/RunOutcome.h"
#include "frameworks/CommLang.h"

#include "support/TestMain.h"

#include <QtTest>

namespace {

using Tasks = QList<std::shared_ptr<PDFConvertTask>>;

// A task that got as far as the letters say: u uploaded, c created,
// v converted, d downloaded; detail is what the service said.
std::shared_ptr<PDFConvertTask> task(const QString &name, const QString &steps, const QString &detail = {})
{
    auto made = std::make_shared<PDFConvertTask>();
    made->setLocalPath(QStringLiteral("/in/") + name);
    if (steps.contains(QLatin1Char('u')))
        made->setUploadFileId(QStringLiteral("file-") + name);
    if (steps.contains(QLatin1Char('c')))
        made->setTaskId(QStringLiteral("task-") + name);
    if (steps.contains(QLatin1Char('v'))) {
        made->setDownloadURL(QStringLiteral("https://127.0.0.1/download/") + name);
        made->setDownloadFileName(name);
    }
    if (steps.contains(QLatin1Char('d')))
        made->setDownloadLocalPath(QStringLiteral("/out/") + name);
    made->setFailureDetail(detail);
    return made;
}

QString text(const char *key, const QString &language = QStringLiteral("English"))
{
    return CommLang::GetAppLang(QLatin1String(key), language);
}

} // namespace

// What an ended run made of each file, as the window and the command line
// tell it: the result, or the reason by the step the file got to.
class TestRunOutcome : public QObject {
    Q_OBJECT

private slots:
    void reasonFollowsTheStepReached_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not uploaded") << ""
                                      << "upload refused" << text("ReasonUpload") + QStringLiteral(": upload refused");
        QTest::newRow("not created") << "u"
                                     << "" << text("ReasonCreate");
        QTest::newRow("not converted") << "uc"
                                       << "The PDF is damaged"
                                       << text("ReasonConvert") + QStringLiteral(": The PDF is damaged");
        QTest::newRow("not downloaded") << "ucv"
                                        << "" << text("ReasonDownload");
        QTest::newRow("converted") << "ucvd"
                                   << ""
                                   << "";
    }

    void reasonFollowsTheStepReached()
    {
        QFETCH(QString, steps);
        QFETCH(QString, detail);
        QFETCH(QString, reason);
        const QList<RunOutcome::File> files =
            RunOutcome::files(reason.isEmpty() ? 1 : -5, {}, QStringLiteral("log text"),
                              {task(QStringLiteral("a.pdf"), steps, detail)}, false, QStringLiteral("English"));
        QCOMPARE(files.size(), 1);
        QCOMPARE(files.first().inputPath, QStringLiteral("/in/a.pdf"));
        QCOMPARE(files.first().failureReason, reason);
        QCOMPARE(files.first().converted(), reason.isEmpty());
        QCOMPARE(files.first().resultPath, reason.isEmpty() ? QStringLiteral("/out/a.pdf") : QString());
    }

    // Our words in the interface language; the service's as they came.
    void reasonsInTheInterfaceLanguage()
    {
        const QString german = QStringLiteral("German");
        const QList<RunOutcome::File> files = RunOutcome::files(
            -5, {}, {}, {task(QStringLiteral("a.pdf"), QStringLiteral("uc"), QStringLiteral("damaged"))}, false,
            german);
        QCOMPARE(files.first().failureReason, text("ReasonConvert", german) + QStringLiteral(": damaged"));
        QVERIFY(text("ReasonConvert", german) != text("ReasonConvert"));
        QCOMPARE(RunOutcome::summary(12, 2, german), QStringLiteral("12 konvertiert, 2 fehlgeschlagen"));
    }

    void wholeRunFailures_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("merge");
        QTest::addColumn<QString>("reason"); // of every file; empty: each its own
        QTest::newRow("no token") << -1 << false << text("ReasonService");
        QTest::newRow("no credentials") << -2 << false << text("ReasonCredentials");
        QTest::newRow("no merge task") << -3 << true << text("ReasonMerge");
        QTest::newRow("merge task failed") << -4 << true << text("ReasonMerge") + QStringLiteral(": not a PDF");
        QTest::newRow("nothing merged") << -5 << true << text("ReasonMerge") + QStringLiteral(": not a PDF");
        QTest::newRow("nothing converted") << -5 << false << QString();
    }

    void wholeRunFailures()
    {
        QFETCH(int, status);
        QFETCH(bool, merge);
        QFETCH(QString, reason);
        const Tasks tasks{task(QStringLiteral("a.pdf"), QStringLiteral("uc"), QStringLiteral("not a PDF")),
                          task(QStringLiteral("b.pdf"), QStringLiteral("u"))};
        const QList<RunOutcome::File> files =
            RunOutcome::files(status, {}, {}, tasks, merge, QStringLiteral("English"));
        QCOMPARE(files.size(), 2);
        if (reason.isEmpty()) {
            QCOMPARE(files[0].failureReason, text("ReasonConvert") + QStringLiteral(": not a PDF"));
            QCOMPARE(files[1].failureReason, text("ReasonCreate"));
        } else {
            for (const RunOutcome::File &file : files)
                QCOMPARE(file.failureReason, reason);
        }
        QCOMPARE(RunOutcome::summary(files, QStringLiteral("English")), QStringLiteral("0 converted, 2 failed"));
    }

    // A merge takes what reached the service; a file that did not is failed.
    void mergeLeavesOutWhatWasNotUploaded()
    {
        const Tasks tasks{task(QStringLiteral("a.pdf"), QStringLiteral("ucv")),
                          task(QStringLiteral("b.pdf"), QString(), QStringLiteral("refused")),
                          task(QStringLiteral("c.pdf"), QStringLiteral("u"))};
        const QList<RunOutcome::File> files =
            RunOutcome::files(1, {QStringLiteral("/out/a.pdf")}, {}, tasks, true, QStringLiteral("English"));
        QCOMPARE(files[0].resultPath, QStringLiteral("/out/a.pdf"));
        QCOMPARE(files[2].resultPath, QStringLiteral("/out/a.pdf"));
        QVERIFY(!files[1].converted());
        QCOMPARE(files[1].failureReason, text("ReasonUpload") + QStringLiteral(": refused"));
        QCOMPARE(RunOutcome::summary(files, QStringLiteral("English")), QStringLiteral("2 converted, 1 failed"));
        QVERIFY(RunOutcome::isTaskDone(*tasks[2], true));
        QVERIFY(!RunOutcome::isTaskDone(*tasks[2], false));
    }

    void summaryCountsBoth_data()
    {
        QTest::addColumn<int>("converted");
        QTest::addColumn<int>("failed");
        QTest::addColumn<QString>("summary");
        QTest::newRow("all converted") << 12 << 0 << "12 converted";
        QTest::newRow("some failed") << 12 << 2 << "12 converted, 2 failed";
        QTest::newRow("all failed") << 0 << 3 << "0 converted, 3 failed";
    }

    void summaryCountsBoth()
    {
        QFETCH(int, converted);
        QFETCH(int, failed);
        QFETCH(QString, summary);
        QCOMPARE(RunOutcome::summary(converted, failed, QStringLiteral("English")), summary);
    }
};

MIRELUNE_TEST_MAIN(TestRunOutcome)
#include "tst_runoutcome.moc"
