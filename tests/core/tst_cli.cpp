#include "support/FakeConversionService.h"
#include "support/PdfFixtures.h"
#include "support/TestCertificates.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <unistd.h>

namespace {

const QJsonObject kQuickPace{{QStringLiteral("poll_interval_ms"), 200}, {QStringLiteral("download_stagger_ms"), 0}};

} // namespace

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

    // Each failed input's line says why; the last line counts both kinds.
    void failuresCarryTheirReasons_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("said"); // what the service or the transfer said, after the reason
        const QString upload = QStringLiteral("Could not be uploaded to the conversion service");
        QTest::newRow("upload") << "upload"
                                << "from-pdf" << 1 << upload << ": upload refused for b.pdf";
        QTest::newRow("creation") << "creation"
                                  << "from-pdf" << 1 << "The conversion service did not accept the file"
                                  << "";
        QTest::newRow("conversion") << "task"
                                    << "from-pdf" << 1 << "The conversion service could not convert the file"
                                    << ": cannot convert b.pdf";
        QTest::newRow("download") << "download"
                                  << "from-pdf" << 1 << "The result could not be downloaded into the output folder"
                                  << ": The server replied 404";
        QTest::newRow("left out of a merge") << "upload"
                                             << "merge" << 1 << upload << ": upload refused for b.pdf";
        QTest::newRow("the whole run") << "credentials"
                                       << "from-pdf" << 3 << "The conversion service refused the upload"
                                       << "";
    }

    void failuresCarryTheirReasons()
    {
        QFETCH(QString, failing);
        QFETCH(QString, mode);
        QFETCH(int, exitCode);
        QFETCH(QString, reason);
        QFETCH(QString, said);
        const QString bad = QStringLiteral("b.pdf");
        QSet<QString> *script = failing == QLatin1String("upload")     ? &mService->failUploadFor
                                : failing == QLatin1String("creation") ? &mService->failCreationFor
                                : failing == QLatin1String("task")     ? &mService->failTaskFor
                                : failing == QLatin1String("download") ? &mService->failDownloadFor
                                                                       : &mService->failCredentialsFor;
        script->insert(bad);
        const QString a = file(QStringLiteral("a.pdf"));
        const QString b = file(bad);
        const Outcome outcome = run(serviceArguments() + QStringList{QStringLiteral("-q"), QStringLiteral("-m"), mode,
                                                                     QStringLiteral("-o"), mDir->path(), a, b});
        QCOMPARE(outcome.exitCode, exitCode);
        const QStringList lines = outcome.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        const auto failed = std::find_if(lines.cbegin(), lines.cend(), [&b](const QString &line) {
            return line.startsWith(QStringLiteral("Failed ") + b);
        });
        QVERIFY2(failed != lines.cend(), qPrintable(outcome.err));
        const QString expected = QStringLiteral("Failed %1: %2%3").arg(b, reason, said);
        QVERIFY2(said.isEmpty() ? *failed == expected : failed->startsWith(expected), qPrintable(*failed));
        const bool wholeRun = exitCode == 3;
        QCOMPARE(outcome.err.contains(QStringLiteral("Finished ") + a), !wholeRun);
        QCOMPARE(lines.last(),
                 wholeRun ? QStringLiteral("0 converted, 2 failed") : QStringLiteral("1 converted, 1 failed"));
    }

    void missingFilesAreReported()
    {
        const Outcome outcome = run(serviceArguments() + QStringList{file(QStringLiteral("a.pdf")),
                                                                     mDir->filePath(QStringLiteral("gone.pdf"))});
        QCOMPARE(outcome.exitCode, 1);
        QVERIFY(outcome.err.contains(QStringLiteral("skipped: ") + mDir->filePath(QStringLiteral("gone.pdf"))));
        QVERIFY(outcome.err.contains(
            QStringLiteral("Failed %1: not found\n").arg(mDir->filePath(QStringLiteral("gone.pdf")))));
        QVERIFY(outcome.err.endsWith(QStringLiteral("1 converted, 1 failed\n")));
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

    void shownProgressNeverGoesBack()
    {
        // a's upload ends before b's credential reply, b's before c's: the
        // run's own figure goes 10, 13, 23, 16, 36, 19, 49.
        mService->credentialDelayFor.insert(QStringLiteral("b.pdf"), 1500);
        mService->credentialDelayFor.insert(QStringLiteral("c.pdf"), 3000);
        mService->statusPacingHint = kQuickPace;
        const Outcome outcome =
            run(serviceArguments() + QStringList{QStringLiteral("-f"), QStringLiteral("txt"), QStringLiteral("-o"),
                                                 mDir->filePath(QStringLiteral("out")), file(QStringLiteral("a.pdf")),
                                                 file(QStringLiteral("b.pdf")), file(QStringLiteral("c.pdf"))});
        QCOMPARE(outcome.exitCode, 0);
        QList<int> shown;
        for (const QString &line : outcome.err.split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("progress ")))
                shown.append(line.mid(9).toInt());
        }
        // Which figures appear depends on how the replies interleave on a busy
        // machine; that the shown figure never drops does not.
        QVERIFY2(shown.size() >= 3, qPrintable(outcome.err));
        QVERIFY2(std::is_sorted(shown.cbegin(), shown.cend()), qPrintable(outcome.err));
        QVERIFY2(shown.last() == 99, qPrintable(outcome.err));
    }

    void sameStemGivesTwoResults()
    {
        mService->statusPacingHint = kQuickPace;
        const QString out = mDir->filePath(QStringLiteral("out"));
        const QString lower = file(QStringLiteral("sales.pdf"));
        const QString upper = file(QStringLiteral("sales.PDF"));
        const Outcome outcome =
            run(serviceArguments() + QStringList{QStringLiteral("-q"), QStringLiteral("-o"), out, lower, upper});
        QCOMPARE(outcome.exitCode, 0);
        QStringList results = outcome.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        results.sort();
        QCOMPARE(results, (QStringList{QDir(out).filePath(QStringLiteral("sales(1).docx")),
                                       QDir(out).filePath(QStringLiteral("sales.docx"))}));
        QVERIFY(outcome.err.contains(QStringLiteral("Finished ") + lower));
        QVERIFY(outcome.err.contains(QStringLiteral("Finished ") + upper));
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
