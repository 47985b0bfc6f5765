#include "converters/ProcessRunner.h"

#include "support/TestMain.h"

#include <QDir>
#include <QTemporaryDir>

#include <memory>

// The job's tools run with their output and their warnings kept apart, since
// the output is parsed and a warning is what a failure is explained by.
class TestProcessRunner : public QObject {
    Q_OBJECT

private slots:
    void init();
    void outputIsParsedWithoutWarningsInIt();
    void failureIsExplainedByTheLastWarning();

private:
    std::unique_ptr<QTemporaryDir> mJob;
    std::unique_ptr<ProcessRunner> mRunner;
};

void TestProcessRunner::init()
{
    mJob = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir(mJob->path()).mkpath(QStringLiteral("tmp")));
    mRunner = std::make_unique<ProcessRunner>(mJob->path(), QDeadlineTimer(60000), nullptr);
}

void TestProcessRunner::outputIsParsedWithoutWarningsInIt()
{
    // awk, like the PDF tools, buffers what it prints and writes its warnings
    // at once: merged, a warning would land in the middle of a line.
    const ProcessRunner::Result result = mRunner->run(
        QStringLiteral("awk"), {QStringLiteral("BEGIN { for (i = 0; i < 3000; i++) { print \"line \" i; "
                                               "if (i % 100 == 0) print \"warning \" i > \"/dev/stderr\" } }")});
    QVERIFY(result.succeeded());
    const QStringList lines = QString::fromUtf8(mRunner->lastOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3000);
    for (int i = 0; i < lines.size(); ++i)
        QCOMPARE(lines[i], QStringLiteral("line %1").arg(i));
    QVERIFY(result.output.endsWith(QStringLiteral("line 2999")));
    QVERIFY(result.errors.endsWith(QStringLiteral("warning 2900")));
    QCOMPARE(result.lastLine(), QStringLiteral("warning 2900"));
}

void TestProcessRunner::failureIsExplainedByTheLastWarning()
{
    ProcessRunner::Result result = mRunner->run(
        QStringLiteral("awk"),
        {QStringLiteral("BEGIN { print \"1 page\"; print \"bad input\" > \"/dev/stderr\"; print \"done\"; exit 2 }")});
    QVERIFY(!result.succeeded());
    QVERIFY(result.succeeded(2));
    QCOMPARE(mRunner->describe(QStringLiteral("awk"), result), QStringLiteral("awk failed: bad input"));

    // Silent on its errors, a tool is explained by its output's last line.
    result = mRunner->run(QStringLiteral("awk"), {QStringLiteral("BEGIN { print \"cannot go on\"; exit 1 }")});
    QCOMPARE(mRunner->describe(QStringLiteral("awk"), result), QStringLiteral("awk failed: cannot go on"));
    result = mRunner->run(QStringLiteral("awk"), {QStringLiteral("BEGIN { exit 3 }")});
    QCOMPARE(mRunner->describe(QStringLiteral("awk"), result), QStringLiteral("awk failed with exit code 3"));
}

MIRELUNE_TEST_MAIN(TestProcessRunner)
#include "tst_process_runner.moc"
