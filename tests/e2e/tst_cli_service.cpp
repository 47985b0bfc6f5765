#include "support/PdfFixtures.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>
#include <unistd.h>

// mirelune-cli with nothing configured: it starts the self-hosted service on
// loopback and converts real documents through it.
class TestCliService : public QObject {
    Q_OBJECT

    QTemporaryDir mDir;

    static QString serviceData()
    {
        return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
               QStringLiteral("/Mirelune/service");
    }

    struct Outcome {
        int exitCode = -1;
        QString out;
        QString err;
    };

    static Outcome cli(const QStringList &arguments)
    {
        QProcess process;
        process.setChildProcessModifier([] { ::setsid(); });
        process.start(qEnvironmentVariable("MIRELUNE_CLI"), QStringList{QStringLiteral("-q")} + arguments);
        process.waitForFinished(240000);
        return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }

    static QString run(const QString &program, const QStringList &arguments)
    {
        QProcess process;
        process.start(program, arguments);
        process.waitForFinished(120000);
        return QString::fromLocal8Bit(process.readAllStandardOutput());
    }

private slots:
    void initTestCase()
    {
        qunsetenv("MIRELUNE_SERVICE_URL");
        QVERIFY(mDir.isValid());
    }

    void cleanupTestCase()
    {
        // The service would otherwise wait out its idle time.
        QFile ready(serviceData() + QStringLiteral("/ready.json"));
        if (ready.open(QIODevice::ReadOnly)) {
            const qint64 pid =
                QJsonDocument::fromJson(ready.readAll()).object().value(QStringLiteral("pid")).toInteger();
            if (pid > 0)
                ::kill(pid_t(pid), SIGTERM);
        }
    }

    void wordToPdfAndBack()
    {
        QFile text(mDir.filePath(QStringLiteral("memo.txt")));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("Quarterly memo about blue elephants\n");
        text.close();
        run(QStringLiteral("soffice"),
            {QStringLiteral("--headless"), QStringLiteral("--norestore"),
             QStringLiteral("-env:UserInstallation=file://") + mDir.filePath(QStringLiteral("profile")),
             QStringLiteral("--convert-to"), QStringLiteral("docx"), QStringLiteral("--outdir"), mDir.path(),
             text.fileName()});
        const QString docx = mDir.filePath(QStringLiteral("memo.docx"));
        QVERIFY(QFile::exists(docx));

        const QString out = mDir.filePath(QStringLiteral("out"));
        const Outcome toPdf = cli({QStringLiteral("-m"), QStringLiteral("to-pdf"), QStringLiteral("-o"), out, docx});
        QVERIFY2(toPdf.exitCode == 0, qPrintable(toPdf.err));
        const QString pdf = QDir(out).filePath(QStringLiteral("memo.pdf"));
        QCOMPARE(toPdf.out.trimmed(), pdf);
        QVERIFY(
            run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}).contains(QStringLiteral("blue elephants")));
        QVERIFY(QFile::exists(serviceData() + QStringLiteral("/ready.json")));

        const Outcome toText = cli({QStringLiteral("-f"), QStringLiteral("txt"), QStringLiteral("-o"), out, pdf});
        QVERIFY2(toText.exitCode == 0, qPrintable(toText.err));
        QFile result(QDir(out).filePath(QStringLiteral("memo.txt")));
        QVERIFY(result.open(QIODevice::ReadOnly));
        QVERIFY(result.readAll().contains("blue elephants"));
    }

    void protectedPdfMerged()
    {
        const QString locked = mDir.filePath(QStringLiteral("locked.pdf"));
        QVERIFY(PdfFixtures::write(locked, PdfFixtures::aes256AllForbidden()));
        const QString plain = mDir.filePath(QStringLiteral("plain.pdf"));
        QVERIFY(PdfFixtures::write(plain, PdfFixtures::plain()));
        const QString out = mDir.filePath(QStringLiteral("merged"));
        const Outcome merged = cli({QStringLiteral("-m"), QStringLiteral("merge"), QStringLiteral("--password"),
                                    PdfFixtures::kUserPassword, QStringLiteral("--edit-password"),
                                    PdfFixtures::kOwnerPassword, QStringLiteral("-o"), out, locked, plain});
        QVERIFY2(merged.exitCode == 0, qPrintable(merged.err));
        const QString result = merged.out.trimmed();
        QVERIFY(run(QStringLiteral("pdfinfo"), {result}).contains(QRegularExpression(QStringLiteral("Pages:\\s+6"))));
        QVERIFY(QFile::exists(mDir.filePath(QStringLiteral("locked_unlocked.pdf"))));
    }
};

MIRELUNE_TEST_MAIN(TestCliService)
#include "tst_cli_service.moc"
