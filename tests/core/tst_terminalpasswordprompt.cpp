#include "cli/TerminalPasswordPrompt.h"

#include "files/KDConvertFileManager.h"
#include "files/pdf/PdfDocument.h"

#include "support/PdfFixtures.h"
#include "support/TestMain.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using Recipe = PdfFixtures::Recipe;
using Preset = std::optional<QString>;
Q_DECLARE_METATYPE(Recipe)
Q_DECLARE_METATYPE(Preset)

namespace {

const QString kUser = PdfFixtures::kUserPassword;
const QString kOwner = PdfFixtures::kOwnerPassword;

QByteArray lines(const QStringList &answers)
{
    return answers.isEmpty() ? QByteArray() : (answers.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

} // namespace

class TestTerminalPasswordPrompt final : public QObject {
    Q_OBJECT

    QTemporaryDir mDir;

    std::shared_ptr<PdfDocument> open(const Recipe &recipe)
    {
        const QString path = mDir.filePath(QStringLiteral("Année 报告.pdf"));
        if (!PdfFixtures::write(path, recipe))
            qFatal("cannot write the fixture");
        return PdfDocument::openWithPath(path);
    }

private slots:
    void asksOnTheTerminal_data()
    {
        QTest::addColumn<Recipe>("recipe");
        QTest::addColumn<Preset>("password");
        QTest::addColumn<Preset>("editPassword");
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<bool>("canceled");
        // Questions and complaints in the order they were written: P = open
        // password, E = permissions password, W = wrong password, WE = wrong
        // permissions password, G = the given password failed.
        QTest::addColumn<QString>("dialogue");
        const Recipe restricted = PdfFixtures::aes256AllForbidden();
        const Recipe open = PdfFixtures::aes256NothingForbidden();
        QTest::newRow("both passwords") << restricted << Preset() << Preset() << true << lines({kUser, kOwner}) << false
                                        << QStringLiteral("P E");
        QTest::newRow("wrong, then right")
            << restricted << Preset() << Preset() << true << lines({QStringLiteral("no"), kUser, kOwner}) << false
            << QStringLiteral("P W P E");
        QTest::newRow("wrong permissions password, then right")
            << restricted << Preset() << Preset() << true << lines({kUser, QStringLiteral("no"), kOwner}) << false
            << QStringLiteral("P E WE E");
        QTest::newRow("owner password opens everything")
            << restricted << Preset() << Preset() << true << lines({kOwner}) << false << QStringLiteral("P");
        QTest::newRow("no restrictions: open password only")
            << open << Preset() << Preset() << true << lines({kUser}) << false << QStringLiteral("P");
        QTest::newRow("CRLF line end") << open << Preset() << Preset() << true << QByteArray("open sesame\r\n") << false
                                       << QStringLiteral("P");
        QTest::newRow("empty line gives up")
            << restricted << Preset() << Preset() << true << QByteArray("\n") << true << QStringLiteral("P");
        QTest::newRow("end of input gives up")
            << restricted << Preset() << Preset() << true << QByteArray() << true << QStringLiteral("P");
        QTest::newRow("no permissions password gives up")
            << restricted << Preset() << Preset() << true << lines({kUser, QString()}) << true << QStringLiteral("P E");
        QTest::newRow("presets, no terminal")
            << restricted << Preset(kUser) << Preset(kOwner) << false << QByteArray() << false << QString();
        QTest::newRow("wrong preset, no terminal")
            << restricted << Preset(QStringLiteral("no")) << Preset() << false << QByteArray() << true << QString();
        QTest::newRow("nothing, no terminal")
            << open << Preset() << Preset() << false << QByteArray() << true << QString();
        QTest::newRow("wrong preset, then the terminal") << open << Preset(QStringLiteral("no")) << Preset() << true
                                                         << lines({kUser}) << false << QStringLiteral("G P");
        QTest::newRow("open preset, permissions asked")
            << restricted << Preset(kUser) << Preset() << true << lines({kOwner}) << false << QStringLiteral("G E");
        QTest::newRow("permissions preset kept while the password is asked")
            << restricted << Preset() << Preset(kOwner) << true << lines({kUser}) << false << QStringLiteral("G P");
    }
    void asksOnTheTerminal()
    {
        QFETCH(Recipe, recipe);
        QFETCH(Preset, password);
        QFETCH(Preset, editPassword);
        QFETCH(bool, terminal);
        QFETCH(QByteArray, input);
        QFETCH(bool, canceled);
        QFETCH(QString, dialogue);
        const auto document = open(recipe);
        QBuffer in(&input);
        QBuffer out;
        QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
        TerminalPasswordPrompt prompt(terminal ? &in : nullptr, terminal ? &out : nullptr, password, editPassword);
        prompt.showWithFileName(QStringLiteral("Année 报告.pdf"), document,
                                KDConvertFileManager::isLockedWithEditPermission(document.get()));
        prompt.runModal();

        QCOMPARE(prompt.isCanceled(), canceled);
        if (!canceled)
            QVERIFY(!document->isLocked());
        const QString written = QString::fromLocal8Bit(out.data());
        QStringList seen;
        for (const QString &line : written.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            for (const QString &part : line.split(QStringLiteral(": "), Qt::SkipEmptyParts)) {
                if (part.startsWith(QStringLiteral("Password for Année 报告.pdf")))
                    seen << QStringLiteral("P");
                else if (part.startsWith(QStringLiteral("Année 报告.pdf forbids editing. Permissions password")))
                    seen << QStringLiteral("E");
                else if (part == QLatin1String("Wrong password."))
                    seen << QStringLiteral("W");
                else if (part == QLatin1String("Wrong permissions password."))
                    seen << QStringLiteral("WE");
                else if (part == QStringLiteral("The given password does not unlock Année 报告.pdf."))
                    seen << QStringLiteral("G");
                else
                    seen << QStringLiteral("?") + part;
            }
        }
        QCOMPARE(seen.join(QLatin1Char(' ')), dialogue);
    }

    // The command line's wiring: presets through the store's factory.
    void unlocksThroughTheIntake()
    {
        const QString source = mDir.filePath(QStringLiteral("cli.pdf"));
        QVERIFY(PdfFixtures::write(source, PdfFixtures::aes256AllForbidden()));
        KDConvertFileManager manager;
        manager.setPasswordPromptFactory(
            [](QObject *) { return std::make_unique<TerminalPasswordPrompt>(nullptr, nullptr, kUser, kOwner); });
        manager.parseInputFiles({source}, ConvertFromPdf);
        const KDConvertFileList &list = manager.getFileDatasWithConvertMode(ConvertFromPdf);
        QCOMPARE(list.size(), 1);
        QCOMPARE(list.first()->filePath(), mDir.filePath(QStringLiteral("cli_unlocked.pdf")));
    }
};

MIRELUNE_TEST_MAIN(TestTerminalPasswordPrompt)
#include "tst_terminalpasswordprompt.moc"
