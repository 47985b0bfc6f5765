#include "files/KDConvertFileManager.h"
#include "files/PasswordConfirmation.h"
#include "files/pdf/PdfDocument.h"

#include "support/PdfFixtures.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include <unistd.h>

#include <sys/stat.h>

using Recipe = PdfFixtures::Recipe;
using Outcome = PasswordConfirmation::Outcome;
using Permissions = PdfDocument::Permissions;

Q_DECLARE_METATYPE(Recipe)
Q_DECLARE_METATYPE(Outcome)
Q_DECLARE_METATYPE(Permissions)

char *toString(const Outcome &outcome)
{
    return qstrdup(QStringLiteral("unlocked %1, look error %2, edit error %3")
                       .arg(outcome.unlocked)
                       .arg(outcome.lookPasswordError)
                       .arg(outcome.editPasswordError)
                       .toUtf8()
                       .constData());
}

char *toString(const Permissions &permissions)
{
    return qstrdup(QStringLiteral("assembly %1, changes %2, form filling %3")
                       .arg(permissions.assembly)
                       .arg(permissions.changes)
                       .arg(permissions.formFilling)
                       .toUtf8()
                       .constData());
}

namespace {

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString kUser = PdfFixtures::kUserPassword;
const QString kOwner = PdfFixtures::kOwnerPassword;
constexpr Permissions kNone{false, false, false};
constexpr Permissions kAll{true, true, true};

} // namespace

class TestPdfDocument final : public QObject {
    Q_OBJECT

    QTemporaryDir mDir;

    QString fixture(const QString &name, const Recipe &recipe)
    {
        const QString path = mDir.filePath(name);
        if (!PdfFixtures::write(path, recipe))
            qFatal("cannot write the fixture %s", qPrintable(path));
        return path;
    }

private slots:
    void opensEachKindOfProtection_data()
    {
        QTest::addColumn<Recipe>("recipe");
        QTest::addColumn<bool>("encrypted");
        QTest::addColumn<bool>("locked");
        QTest::addColumn<Permissions>("permissions");
        QTest::newRow("plain") << PdfFixtures::plain() << false << false << kAll;
        QTest::newRow("aes256 all forbidden") << PdfFixtures::aes256AllForbidden() << true << true << kNone;
        QTest::newRow("aes256 nothing forbidden") << PdfFixtures::aes256NothingForbidden() << true << true << kAll;
        QTest::newRow("user password only") << PdfFixtures::userPasswordOnly() << true << true << kNone;
        QTest::newRow("owner password only") << PdfFixtures::ownerPasswordOnly() << true << false << kNone;
        QTest::newRow("rc4 r3") << PdfFixtures::rc4AllForbidden() << true << true << kNone;
        QTest::newRow("form filling forbidden")
            << PdfFixtures::formFillingForbidden() << true << true << Permissions{true, true, false};
    }
    void opensEachKindOfProtection()
    {
        QFETCH(Recipe, recipe);
        QFETCH(bool, encrypted);
        QFETCH(bool, locked);
        QFETCH(Permissions, permissions);
        const auto document = PdfDocument::openWithPath(fixture(QStringLiteral("kind.pdf"), recipe));
        QVERIFY(document);
        QCOMPARE(document->isEncrypted(), encrypted);
        QCOMPARE(document->isLocked(), locked);
        QCOMPARE(document->permissions(), permissions);
        QCOMPARE(KDConvertFileManager::isLockedWithEditPermission(document.get()), permissions != kAll);
        QCOMPARE(document->pageCount(), locked ? 0 : recipe.pageCount);
    }

    void permissionsFollowTheRevision_data()
    {
        QTest::addColumn<int>("revision");
        QTest::addColumn<int>("flags");
        QTest::addColumn<Permissions>("permissions");
        // Bits 4 (modify), 6 (annotate/form), 9 (fill forms), 11 (assemble).
        QTest::newRow("r2 modify only") << 2 << 0b1000 << Permissions{true, true, false};
        QTest::newRow("r2 annotate only") << 2 << 0b100000 << Permissions{false, false, true};
        QTest::newRow("r3 assemble only") << 3 << (1 << 10) << Permissions{true, false, false};
        QTest::newRow("r3 fill forms only") << 3 << (1 << 8) << Permissions{false, false, true};
        QTest::newRow("r6 all bits") << 6 << -4 << kAll;
        QTest::newRow("r6 no bits") << 6 << 0 << kNone;
    }
    void permissionsFollowTheRevision()
    {
        QFETCH(int, revision);
        QFETCH(int, flags);
        QFETCH(Permissions, permissions);
        QCOMPARE(PdfDocument::permissionsForRevision(revision, flags), permissions);
    }

    // The flags read from a locked file must agree with what the reader
    // reports for the same file once it is open.
    void lockedPermissionsMatchTheOpenedOnes()
    {
        const auto document =
            PdfDocument::openWithPath(fixture(QStringLiteral("form.pdf"), PdfFixtures::formFillingForbidden()));
        QVERIFY(document && document->isLocked());
        const Permissions locked = document->permissions();
        QVERIFY(document->unlockWithPassword(kUser));
        QVERIFY(!document->hasOwnerRights());
        QCOMPARE(document->permissions(), locked);
    }

    void confirmationOutcomes_data()
    {
        QTest::addColumn<Recipe>("recipe");
        QTest::addColumn<QString>("look");
        QTest::addColumn<QString>("edit");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<bool>("lockedAfter");
        const Recipe allForbidden = PdfFixtures::aes256AllForbidden();
        QTest::newRow("right open password, empty edit, editing forbidden")
            << allForbidden << kUser << QString() << Outcome{false, false, true} << false;
        QTest::newRow("wrong open password")
            << allForbidden << QStringLiteral("nope") << QString() << Outcome{false, true, true} << true;
        QTest::newRow("right open and permissions passwords")
            << allForbidden << kUser << kOwner << Outcome{true} << false;
        QTest::newRow("right open, wrong permissions password")
            << allForbidden << kUser << QStringLiteral("nope") << Outcome{false, false, true} << false;
        QTest::newRow("owner password alone opens with all rights")
            << allForbidden << kOwner << QString() << Outcome{true} << false;
        // The second attempt opens the file with the owner password, but the
        // open-password field itself was wrong.
        QTest::newRow("owner password in the edit field only")
            << allForbidden << QString() << kOwner << Outcome{false, true, false} << false;
        QTest::newRow("no restrictions, right open password")
            << PdfFixtures::aes256NothingForbidden() << kUser << QString() << Outcome{true} << false;
        QTest::newRow("user password that is also the owner's")
            << PdfFixtures::userPasswordOnly() << kUser << QString() << Outcome{true} << false;
        QTest::newRow("owner-only file without the owner password")
            << PdfFixtures::ownerPasswordOnly() << QString() << QString() << Outcome{false, false, true} << false;
        QTest::newRow("owner-only file with the owner password")
            << PdfFixtures::ownerPasswordOnly() << QString() << kOwner << Outcome{true} << false;
        QTest::newRow("rc4, Latin-1 password typed as text")
            << PdfFixtures::rc4AllForbidden() << PdfFixtures::kRc4UserPassword << QString()
            << Outcome{false, false, true} << false;
        QTest::newRow("rc4, both passwords")
            << PdfFixtures::rc4AllForbidden() << PdfFixtures::kRc4UserPassword << kOwner << Outcome{true} << false;
        QTest::newRow("form filling forbidden, open password only")
            << PdfFixtures::formFillingForbidden() << kUser << QString() << Outcome{false, false, true} << false;
        QTest::newRow("form filling forbidden, both passwords")
            << PdfFixtures::formFillingForbidden() << kUser << kOwner << Outcome{true} << false;
    }
    void confirmationOutcomes()
    {
        QFETCH(Recipe, recipe);
        QFETCH(QString, look);
        QFETCH(QString, edit);
        QFETCH(Outcome, outcome);
        QFETCH(bool, lockedAfter);
        const auto document = PdfDocument::openWithPath(fixture(QStringLiteral("confirm.pdf"), recipe));
        QVERIFY(document);
        const bool need = KDConvertFileManager::isLockedWithEditPermission(document.get());
        QCOMPARE(PasswordConfirmation::confirm(document.get(), look, edit, need), outcome);
        QCOMPARE(document->isLocked(), lockedAfter);
    }

    void editErrorOnlyForAShownEditField()
    {
        const auto document =
            PdfDocument::openWithPath(fixture(QStringLiteral("hidden.pdf"), PdfFixtures::aes256AllForbidden()));
        QCOMPARE(PasswordConfirmation::confirm(document.get(), QStringLiteral("nope"), QString(), false),
                 (Outcome{false, true, false}));
        QCOMPARE(PasswordConfirmation::confirm(nullptr, kUser, kOwner, true), (Outcome{false, true, true}));
    }

    void laterAttemptsSucceedAndCanGainOwnerRights()
    {
        const auto document =
            PdfDocument::openWithPath(fixture(QStringLiteral("again.pdf"), PdfFixtures::aes256AllForbidden()));
        QVERIFY(!document->unlockWithPassword(QStringLiteral("nope")));
        QVERIFY(document->isLocked());
        QVERIFY(document->unlockWithPassword(kUser));
        QVERIFY(document->unlockWithPassword(QStringLiteral("anything")));
        QVERIFY(!document->hasOwnerRights());
        QCOMPARE(document->permissions(), kNone);
        QVERIFY(document->unlockWithPassword(kOwner));
        QVERIFY(document->hasOwnerRights());
        QCOMPARE(document->permissions(), kAll);
        QCOMPARE(document->pageCount(), 3);
    }

    void writesAnUnencryptedCopy_data()
    {
        QTest::addColumn<Recipe>("recipe");
        QTest::addColumn<QString>("password");
        QTest::newRow("aes256") << PdfFixtures::aes256AllForbidden() << kUser;
        QTest::newRow("rc4") << PdfFixtures::rc4AllForbidden() << PdfFixtures::kRc4UserPassword;
        QTest::newRow("plain") << PdfFixtures::plain() << QString();
    }
    void writesAnUnencryptedCopy()
    {
        QFETCH(Recipe, recipe);
        QFETCH(QString, password);
        recipe.pageCount = 5;
        const QString source = fixture(QStringLiteral("Année fiscale 报告.pdf"), recipe);
        const QByteArray original = readBytes(source);
        const auto document = PdfDocument::openWithPath(source);
        QVERIFY(document->unlockWithPassword(password));
        const QString target = mDir.filePath(QStringLiteral("copie déverrouillée.pdf"));
        QVERIFY(writeBytes(target, "stale content"));
        QVERIFY(document->writeToFile(target));
        const auto copy = PdfDocument::openWithPath(target);
        QVERIFY(copy);
        QVERIFY(!copy->isEncrypted());
        QCOMPARE(copy->pageCount(), 5);
        QCOMPARE(readBytes(source), original);
    }

    void failedWritesLeaveNothing()
    {
        const QString source = fixture(QStringLiteral("w.pdf"), PdfFixtures::aes256AllForbidden());
        const auto document = PdfDocument::openWithPath(source);
        const QString lockedTarget = mDir.filePath(QStringLiteral("locked-copy.pdf"));
        QVERIFY(!document->writeToFile(lockedTarget));
        QVERIFY(!QFileInfo::exists(lockedTarget));

        QVERIFY(document->unlockWithPassword(kUser));
        QVERIFY(!document->writeToFile(source + QStringLiteral("/below-a-file.pdf")));
        QVERIFY(!document->writeToFile(mDir.filePath(QString(300, QLatin1Char('n')) + QStringLiteral(".pdf"))));
        const QString folderTarget = mDir.filePath(QStringLiteral("folder.pdf"));
        QVERIFY(QDir().mkpath(folderTarget));
        const QStringList before = QDir(mDir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        QVERIFY(!document->writeToFile(folderTarget));
        QCOMPARE(QDir(mDir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        QVERIFY(QFileInfo(folderTarget).isDir());
    }

    void sniffsOnlyTheFirstKilobyte_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("looksLikePdf");
        QTest::newRow("header first") << QByteArray("%PDF-1.7\n") << true;
        QTest::newRow("header ends at byte 1024") << QByteArray(1019, ' ') + "%PDF-" << true;
        QTest::newRow("header crosses byte 1024") << QByteArray(1020, ' ') + "%PDF-" << false;
        QTest::newRow("no header") << QByteArray("PK\x03\x04 a word file") << false;
        QTest::newRow("empty") << QByteArray() << false;
    }
    void sniffsOnlyTheFirstKilobyte()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, looksLikePdf);
        const QString path = mDir.filePath(QStringLiteral("sniff.pdf"));
        QVERIFY(writeBytes(path, bytes));
        QCOMPARE(PdfDocument::looksLikePdf(path), looksLikePdf);
    }

    void badInputYieldsNoDocument_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("zero bytes") << QStringLiteral("empty");
        QTest::newRow("truncated pdf") << QStringLiteral("truncated");
        QTest::newRow("header only") << QStringLiteral("header");
        QTest::newRow("directory named x.pdf") << QStringLiteral("directory");
        QTest::newRow("fifo named x.pdf") << QStringLiteral("fifo");
        QTest::newRow("missing file") << QStringLiteral("missing");
    }
    void badInputYieldsNoDocument()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("x.pdf"));
        if (kind == QLatin1String("empty")) {
            QVERIFY(writeBytes(path, {}));
        } else if (kind == QLatin1String("truncated")) {
            const QString whole = fixture(QStringLiteral("whole.pdf"), PdfFixtures::plain());
            QVERIFY(writeBytes(path, readBytes(whole).left(120)));
        } else if (kind == QLatin1String("header")) {
            QVERIFY(writeBytes(path, "%PDF-1.4\n%garbage\n"));
        } else if (kind == QLatin1String("directory")) {
            QVERIFY(QDir().mkpath(path));
        } else if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
        QVERIFY(!PdfDocument::openWithPath(path));
    }

    // A damaged file the reader can repair opens, and its warnings stay off stderr.
    void repairsQuietly()
    {
        const QString path = fixture(QStringLiteral("damaged.pdf"), PdfFixtures::plain());
        QByteArray bytes = readBytes(path);
        const qsizetype at = bytes.lastIndexOf("startxref\n");
        QVERIFY(at > 0);
        bytes = bytes.left(at) + "startxref\n12\n%%EOF\n";
        QVERIFY(writeBytes(path, bytes));

        QTemporaryFile captured;
        QVERIFY(captured.open());
        fflush(stderr);
        const int savedStderr = ::dup(STDERR_FILENO);
        ::dup2(captured.handle(), STDERR_FILENO);
        const auto document = PdfDocument::openWithPath(path);
        const int pages = document ? document->pageCount() : -1;
        fflush(stderr);
        ::dup2(savedStderr, STDERR_FILENO);
        ::close(savedStderr);
        QCOMPARE(pages, 3);
        QCOMPARE(readBytes(captured.fileName()), QByteArray());
    }
};

MIRELUNE_TEST_MAIN(TestPdfDocument)
#include "tst_pdfdocument.moc"
