#include "support/FakeConversionService.h"
#include "support/PdfFixtures.h"
#include "support/TestCertificates.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <csignal>
#include <unistd.h>

// mirelune-cli as a user runs it, against the loopback service fake.
class TestCli : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeConversionService> mService;
    std::unique_ptr<QTemporaryDir> mDir;

    QString file(const QString &name)
    {
        const QString path = mDir->filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write("%PDF-1.4 cli test");
        return path;
    }

    QStringList serviceArguments() const
    {
        return {QStringLiteral("--service"),        mService->baseUrl(),
                QStringLiteral("--ca-file"),        TestCertificates::instance().caFile(),
                QStringLiteral("--identity-token"), QStringLiteral("cli-identity-token-01")};
    }

    struct Outcome {
        int exitCode = -1;
        QString out;
        QString err;
    };

    // Runs the CLI while this thread keeps serving the fake service.
    Outcome run(const QStringList &arguments, const std::function<void(QProcess &)> &whileRunning = {})
    {
        QProcess process;
        process.setProgram(qEnvironmentVariable("MIRELUNE_CLI"));
        process.setArguments(arguments);
        // A session of its own has no controlling terminal, so the CLI never
        // asks on the terminal of whoever runs the tests.
        process.setChildProcessModifier([] { ::setsid(); });
        QSignalSpy finished(&process, &QProcess::finished);
        process.start();
        if (!process.waitForStarted(10000))
            return {};
        if (whileRunning)
            whileRunning(process);
        finished.wait(60000);
        return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(TestCertificates::instance().isValid());
        QVERIFY(QFile::exists(qEnvironmentVariable("MIRELUNE_CLI")));
    }

    void init()
    {
        mService = std::make_unique<FakeConversionService>();
        QVERIFY(mService->listen());
        mService->progressScript = {100};
        mDir = std::make_unique<QTemporaryDir>();
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no path") << QStringList{};
        QTest::newRow("unknown mode") << QStringList{QStringLiteral("-m"), QStringLiteral("sideways"),
                                                     QStringLiteral("x.pdf")};
        QTest::newRow("pdf from pdf") << QStringList{QStringLiteral("-f"), QStringLiteral("pdf"),
                                                     QStringLiteral("x.pdf")};
        QTest::newRow("format for merge")
            << QStringList{QStringLiteral("-m"), QStringLiteral("merge"), QStringLiteral("-f"), QStringLiteral("docx"),
                           QStringLiteral("x.pdf")};
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--frobnicate"), QStringLiteral("x.pdf")};
        QTest::newRow("http service") << QStringList{QStringLiteral("--service"),
                                                     QStringLiteral("http://127.0.0.1:1/api"), QStringLiteral("x.pdf")};
    }

    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        const Outcome outcome = run(arguments);
        QCOMPARE(outcome.exitCode, 2);
        QVERIFY(!outcome.err.isEmpty());
        QVERIFY(outcome.out.isEmpty());
    }

    void nothingMatchesTheMode()
    {
        const Outcome outcome = run(serviceArguments() + QStringList{QStringLiteral("-m"), QStringLiteral("to-pdf"),
                                                                     file(QStringLiteral("a.pdf"))});
        QCOMPARE(outcome.exitCode, 2);
        QVERIFY(mService->server().requests().isEmpty());
    }

    void convertsAFolderWithOneFailure()
    {
        file(QStringLiteral("in/a.pdf"));
        file(QStringLiteral("in/sub/b.PDF"));
        file(QStringLiteral("in/notes.txt"));
        mService->failCreationFor.insert(QStringLiteral("b.PDF"));
        const QString out = mDir->filePath(QStringLiteral("out folder"));
        const Outcome outcome =
            run(serviceArguments() + QStringList{QStringLiteral("-f"), QStringLiteral("txt"), QStringLiteral("-o"), out,
                                                 mDir->filePath(QStringLiteral("in"))});
        QCOMPARE(outcome.exitCode, 1);
        QCOMPARE(outcome.out, QDir(out).filePath(QStringLiteral("a.docx")) + QLatin1Char('\n'));
        QVERIFY(outcome.err.contains(QStringLiteral("Finished ") + mDir->filePath(QStringLiteral("in/a.pdf"))));
        QVERIFY(outcome.err.contains(QStringLiteral("Failed ") + mDir->filePath(QStringLiteral("in/sub/b.PDF"))));
        QVERIFY(outcome.err.contains(QStringLiteral("progress 10\n")));
        QVERIFY(!outcome.err.contains(QStringLiteral("cli-identity-token-01")));
        QCOMPARE(mService->server()
                     .requestsTo(QStringLiteral("/api/tasks"))
                     .first()
                     .json()
                     .value(QStringLiteral("service_type"))
                     .toString(),
                 QStringLiteral("pdf-to-text"));
    }

    void mergesIntoTheOutputFolder()
    {
        mService->resultNameFor.insert(QStringLiteral("a.pdf"), QStringLiteral("a.pdf"));
        const QString a = file(QStringLiteral("a.pdf"));
        const QString b = file(QStringLiteral("b.pdf"));
        const Outcome outcome =
            run(serviceArguments() + QStringList{QStringLiteral("-q"), QStringLiteral("-m"), QStringLiteral("merge"), a,
                                                 b, a, QStringLiteral("-o"), mDir->path()});
        QCOMPARE(outcome.exitCode, 0);
        // The folder already holds the input a.pdf, so the result takes the next free name.
        QCOMPARE(outcome.out, mDir->filePath(QStringLiteral("a(1).pdf")) + QLatin1Char('\n'));
        QCOMPARE(mService->createdTasks(), (QList<QStringList>{{QStringLiteral("a.pdf"), QStringLiteral("b.pdf")}}));
        QVERIFY(!outcome.err.contains(QStringLiteral("progress")));
    }

    void failedRunExitsWith3()
    {
        mService->failCredentialsFor.insert(QStringLiteral("a.pdf"));
        const Outcome outcome = run(serviceArguments() + QStringList{file(QStringLiteral("a.pdf"))});
        QCOMPARE(outcome.exitCode, 3);
        QVERIFY(outcome.err.contains(QStringLiteral("获取令牌失败")));
        QVERIFY(outcome.err.contains(QStringLiteral("Failed ")));
    }

    void missingFilesAreReported()
    {
        const Outcome outcome = run(serviceArguments() + QStringList{file(QStringLiteral("a.pdf")),
                                                                     mDir->filePath(QStringLiteral("gone.pdf"))});
        QCOMPARE(outcome.exitCode, 1);
        QVERIFY(outcome.err.contains(QStringLiteral("skipped: ") + mDir->filePath(QStringLiteral("gone.pdf"))));
    }

    void protectedPdfWithPassword()
    {
        const QString locked = mDir->filePath(QStringLiteral("locked report.pdf"));
        QVERIFY(PdfFixtures::write(locked, PdfFixtures::aes256NothingForbidden()));
        const QString stillLocked = mDir->filePath(QStringLiteral("second.pdf"));
        QVERIFY(PdfFixtures::write(stillLocked, PdfFixtures::aes256NothingForbidden()));
        mService->resultNameFor.insert(QStringLiteral("locked report_unlocked.pdf"), QStringLiteral("r.docx"));

        // With the password: converted from the unlocked copy beside the file.
        const Outcome withPassword =
            run(serviceArguments() + QStringList{QStringLiteral("--password"), PdfFixtures::kUserPassword, locked,
                                                 QStringLiteral("-o"), mDir->path()});
        QCOMPARE(withPassword.exitCode, 0);
        QVERIFY(QFile::exists(mDir->filePath(QStringLiteral("locked report_unlocked.pdf"))));
        QCOMPARE(mService->uploadedNames(), QStringList{QStringLiteral("locked report_unlocked.pdf")});
        QVERIFY(!withPassword.err.contains(PdfFixtures::kUserPassword));

        // Without a terminal and without --password the file is skipped.
        const Outcome without = run(serviceArguments() + QStringList{stillLocked, file(QStringLiteral("plain.pdf"))});
        QCOMPARE(without.exitCode, 1);
        QVERIFY(without.err.contains(QStringLiteral("skipped: %1 (protected, no password)").arg(stillLocked)));
        QVERIFY(!QFile::exists(mDir->filePath(QStringLiteral("second_unlocked.pdf"))));
    }

    void interruptCancels()
    {
        mService->progressScript = {40};
        const Outcome outcome =
            run(serviceArguments() + QStringList{file(QStringLiteral("a.pdf"))}, [this](QProcess &process) {
                QTRY_VERIFY_WITH_TIMEOUT(!mService->createdTasks().isEmpty(), 20000);
                ::kill(pid_t(process.processId()), SIGINT);
            });
        QCOMPARE(outcome.exitCode, 130);
        QVERIFY(outcome.out.isEmpty());
    }
};

MIRELUNE_TEST_MAIN(TestCli)
#include "tst_cli.moc"
