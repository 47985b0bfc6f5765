#include "files/KDConvertFileManager.h"
#include "files/PasswordConfirmation.h"
#include "files/pdf/PdfDocument.h"
#include "frameworks/CommLog.h"
#include "frameworks/NotificationCenter.h"
#include "tools/Log.h"

#include "support/PdfFixtures.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QQueue>
#include <QTemporaryDir>
#include <QtTest>

using Recipe = PdfFixtures::Recipe;
Q_DECLARE_METATYPE(Recipe)

namespace {

const QString kLocked = QStringLiteral("E: 文件被加密，需要解锁");
const QString kCanceled = QStringLiteral("E: 用户取消了输入密码，文件解锁失败");
const QString kUnlocked = QStringLiteral("E: 文件解锁完成");
const QString kWritten = QStringLiteral("E: 文件解锁完成，可以正常进行转换");
const QString kWriteFailed = QStringLiteral("E: 解锁完成，但重新写入文件失败");

QString promptLine(const QString &fileName, bool needEdit)
{
    return QStringLiteral("I: prompt %1%2").arg(fileName, needEdit ? QStringLiteral(" +edit") : QString());
}

struct Attempt {
    QString look;
    QString edit;
};
using Script = QList<Attempt>;

// Plays the user: tries each attempt in turn, as if pressing OK, and cancels
// when the script runs out. Notes itself in the log so that the order of
// prompts and log lines can be checked.
class ScriptedPrompt final : public PasswordPrompt {
public:
    explicit ScriptedPrompt(Script script) : mScript(std::move(script)) {}

    void showWithFileName(const QString &fileName, const std::shared_ptr<PdfDocument> &document,
                          bool needEditPassword) override
    {
        mFileName = fileName;
        mDocument = document;
        mNeed = needEditPassword;
    }
    void runModal() override
    {
        CommLog::I(promptLine(mFileName, mNeed).mid(3));
        for (const Attempt &attempt : mScript) {
            if (PasswordConfirmation::confirm(mDocument.get(), attempt.look, attempt.edit, mNeed).unlocked) {
                mCanceled = false;
                return;
            }
        }
    }
    bool isCanceled() const override { return mCanceled; }

private:
    Script mScript;
    QString mFileName;
    std::shared_ptr<PdfDocument> mDocument;
    bool mNeed = false;
    bool mCanceled = true;
};

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

QStringList listedPaths(const KDConvertFileManager &manager, quint64 mode)
{
    QStringList paths;
    for (const KDConvertFileRecord &record : manager.getFileDatasWithConvertMode(mode))
        paths.append(record->filePath());
    return paths;
}

const Script kRightPasswords{{PdfFixtures::kUserPassword, PdfFixtures::kOwnerPassword}};

} // namespace

Q_DECLARE_METATYPE(Script)

class TestFileIntake final : public QObject {
    Q_OBJECT

    QTemporaryDir mDir;
    QObject mObserver;
    int mNotifications = 0;
    QStringList mLog;
    QQueue<Script> mScripts;
    QObject *mFactoryParent = nullptr;

    QString path(const QString &name) const { return mDir.filePath(name); }

    QString fixture(const QString &name, const Recipe &recipe = PdfFixtures::aes256AllForbidden())
    {
        if (!PdfFixtures::write(path(name), recipe))
            qFatal("cannot write %s", qPrintable(name));
        return path(name);
    }

    void withScriptedPrompts(KDConvertFileManager &manager, QList<Script> scripts)
    {
        mScripts.clear();
        for (const Script &script : scripts)
            mScripts.enqueue(script);
        manager.setPasswordPromptFactory([this](QObject *parent) {
            mFactoryParent = parent;
            return std::make_unique<ScriptedPrompt>(mScripts.isEmpty() ? Script() : mScripts.dequeue());
        });
    }

    // Runs one intake; mLog gets the log lines it wrote (without time stamps)
    // and mNotifications the number of refresh notifications.
    void intake(KDConvertFileManager &manager, const QStringList &paths, quint64 mode = ConvertFromPdf)
    {
        const qsizetype offset = readBytes(logFilePath()).size();
        mNotifications = 0;
        manager.parseInputFiles(paths, mode);
        mLog.clear();
        const QString written = QString::fromUtf8(readBytes(logFilePath()).mid(offset));
        for (const QString &line : written.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            mLog.append(line.mid(line.indexOf(QStringLiteral("] ")) + 2));
    }

private slots:
    void initTestCase()
    {
        logFileOpen(QStringLiteral("tst_fileintake"));
        NotificationCenter::defaultCenter().addObserver(
            &mObserver, KDConvertFileManager::kRefreshNotification,
            [this](const QString &, const QVariantMap &) { ++mNotifications; });
    }

    void extensionsPerMode()
    {
        const QStringList pdf{QStringLiteral("pdf")};
        QCOMPARE(KDConvertFileManager::matchFileTypesWithConvertMode(ConvertFromPdf), pdf);
        QCOMPARE(KDConvertFileManager::matchFileTypesWithConvertMode(MergePdf), pdf);
        QCOMPARE(KDConvertFileManager::matchFileTypesWithConvertMode(ConvertToPdf).join(QLatin1Char(',')),
                 QStringLiteral("doc,docx,ppt,pptx,xls,xlsx,jpg,bmp,png"));
        const QStringList given{QStringLiteral("/n/a.DOCX"), QStringLiteral("/n/b.jpeg"), QStringLiteral("/n/c.png"),
                                QStringLiteral("/n/d.pdf"), QStringLiteral("/n/e.tif")};
        QCOMPARE(
            KDConvertFileManager::matchFiles(given, KDConvertFileManager::matchFileTypesWithConvertMode(ConvertToPdf)),
            (QStringList{QStringLiteral("/n/a.DOCX"), QStringLiteral("/n/c.png")}));
    }

    void foldersAreExpanded()
    {
        QTemporaryDir tree;
        const QString root = tree.path();
        for (const QString &folder :
             {QStringLiteral("sub"), QStringLiteral("archive.pdf/deep"), QStringLiteral("empty")})
            QVERIFY(QDir(root).mkpath(folder));
        for (const QString &file : {QStringLiteral("x.pdf"), QStringLiteral("sub/y.PDF"), QStringLiteral("sub/z.txt"),
                                    QStringLiteral("archive.pdf/deep/inner.pdf")})
            QVERIFY(writeBytes(root + QLatin1Char('/') + file, "x"));
        const QString x = root + QStringLiteral("/x.pdf");
        const QString missing = root + QStringLiteral("/gone.pdf");
        QStringList result = KDConvertFileManager::matchFiles({x, root, missing}, {QStringLiteral("pdf")});
        QCOMPARE(result.mid(0, 1), QStringList{x});
        QCOMPARE(result.last(), missing);
        result = result.mid(1, result.size() - 2);
        result.sort();
        QCOMPARE(result, (QStringList{root + QStringLiteral("/archive.pdf/deep/inner.pdf"),
                                      root + QStringLiteral("/sub/y.PDF"), x}));
        QVERIFY(KDConvertFileManager::matchFiles({root + QStringLiteral("/empty")}, {QStringLiteral("pdf")}).isEmpty());
    }

    // A folder gives its own files in natural order, then each subfolder's,
    // also in natural order; a link to a folder is not followed.
    void foldersExpandInNaturalOrder()
    {
        QTemporaryDir tree;
        const QString root = tree.path();
        for (const QString &file : {QStringLiteral("doc10.pdf"), QStringLiteral("doc2.pdf"), QStringLiteral("Doc1.pdf"),
                                    QStringLiteral("b/inner.pdf"), QStringLiteral("a10/x.pdf"),
                                    QStringLiteral("a9/y.pdf"), QStringLiteral("notes.txt")}) {
            QVERIFY(QDir(root).mkpath(QFileInfo(root + QLatin1Char('/') + file).path()));
            QVERIFY(writeBytes(root + QLatin1Char('/') + file, "x"));
        }
        QVERIFY(QFile::link(root, root + QStringLiteral("/loop")));
        QStringList expected;
        for (const char *name : {"Doc1.pdf", "doc2.pdf", "doc10.pdf", "a9/y.pdf", "a10/x.pdf", "b/inner.pdf"})
            expected.append(root + QLatin1Char('/') + QLatin1String(name));
        QCOMPARE(KDConvertFileManager::matchFiles({root}, {QStringLiteral("pdf")}), expected);
    }

    // The list of A..E after one move; rows name the records given.
    void reorderingTheList_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<int>("argument");
        QTest::addColumn<QString>("expected");
        QTest::newRow("move two to the top") << "move" << QList<int>{1, 3} << 0 << "BDACE";
        QTest::newRow("move the first to the end") << "move" << QList<int>{0} << 5 << "BCDEA";
        QTest::newRow("move onto their own place") << "move" << QList<int>{1, 2} << 3 << "ABCDE";
        QTest::newRow("move the ends inwards") << "move" << QList<int>{0, 4} << 2 << "BAECD";
        QTest::newRow("move past the end stops there") << "move" << QList<int>{1} << 99 << "ACDEB";
        QTest::newRow("move nothing") << "move" << QList<int>{} << 0 << "ABCDE";
        QTest::newRow("up, two apart") << "shift" << QList<int>{1, 3} << -1 << "BADCE";
        QTest::newRow("up, a block at the top stays") << "shift" << QList<int>{0, 1} << -1 << "ABCDE";
        QTest::newRow("up, the top holds only itself") << "shift" << QList<int>{0, 2, 3} << -1 << "ACDBE";
        QTest::newRow("down, a block at the bottom stays") << "shift" << QList<int>{3, 4} << 1 << "ABCDE";
        QTest::newRow("down, two apart") << "shift" << QList<int>{0, 2} << 1 << "BADCE";
        QTest::newRow("down by two") << "shift" << QList<int>{0} << 2 << "BCADE";
        QTest::newRow("reorder with a stranger") << "stranger" << QList<int>{} << 0 << "ABCDE";
        QTest::newRow("reorder with a repeat") << "repeat" << QList<int>{} << 0 << "ABCDE";
    }

    void reorderingTheList()
    {
        QFETCH(QString, operation);
        QFETCH(QList<int>, rows);
        QFETCH(int, argument);
        QFETCH(QString, expected);
        KDConvertFileManager manager;
        KDConvertFileList records;
        for (const char *name : {"A", "B", "C", "D", "E"})
            records.append(std::make_shared<KDConvertFileMetaData>(QLatin1String(name)));
        QVERIFY(manager.appendFileMetaDatas(records, MergePdf));
        KDConvertFileList picked;
        for (int row : std::as_const(rows))
            picked.append(records.at(row));
        mNotifications = 0;

        bool changed = false;
        if (operation == QLatin1String("move")) {
            changed = manager.moveFileMetaDatas(picked, MergePdf, argument);
        } else if (operation == QLatin1String("shift")) {
            changed = manager.shiftFileMetaDatas(picked, MergePdf, argument);
        } else {
            KDConvertFileList order = records;
            order.last() = operation == QLatin1String("repeat")
                               ? records.first()
                               : std::make_shared<KDConvertFileMetaData>(QStringLiteral("E"));
            changed = manager.reorderFileMetaDatas(order, MergePdf);
        }

        QCOMPARE(listedPaths(manager, MergePdf).join(QString()), expected);
        QCOMPARE(changed, expected != QLatin1String("ABCDE"));
        QCOMPARE(mNotifications, changed ? 1 : 0);
        QVERIFY(listedPaths(manager, ConvertFromPdf).isEmpty());
    }

    void iconPerExtension_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("icon");
        const QList<std::pair<const char *, const char *>> rows{
            {"pdf", "file_pdf"}, {"PDF", "file_pdf"},  {"doc", "file_word"},  {"DOCX", "file_word"},
            {"ppt", "file_ppt"}, {"pptx", "file_ppt"}, {"xls", "file_excel"}, {"xlsx", "file_excel"},
            {"png", "file_ps"},  {"jpg", "file_ps"},   {"JPEG", "file_ps"},   {"bmp", "file_ps"},
            {"txt", "pdf_file"}, {"tif", "pdf_file"},  {"", "pdf_file"}};
        for (const auto &[extension, icon] : rows)
            QTest::newRow(*extension ? extension : "empty")
                << QString::fromLatin1(extension) << QString::fromLatin1(icon);
    }
    void iconPerExtension()
    {
        QFETCH(QString, extension);
        QFETCH(QString, icon);
        QCOMPARE(KDConvertFileManager::getFileTypeIconWithFileExtension(extension), icon);
    }

    void unlockedCopyPath_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("copy");
        QTest::newRow("extension keeps its case")
            << QStringLiteral("/docs/Report.PDF") << QStringLiteral("/docs/Report_unlocked.PDF");
        QTest::newRow("last extension only")
            << QStringLiteral("/a/archive.tar.pdf") << QStringLiteral("/a/archive.tar_unlocked.pdf");
        QTest::newRow("dotted folder, no extension")
            << QStringLiteral("/a/b.c/name") << QStringLiteral("/a/b.c/name_unlocked");
        QTest::newRow("hidden file") << QStringLiteral("/a/.pdf") << QStringLiteral("/a/.pdf_unlocked");
        QTest::newRow("relative") << QStringLiteral("Report.pdf") << QStringLiteral("Report_unlocked.pdf");
        QTest::newRow("spaces and non-ASCII")
            << QStringLiteral("/d/Année fiscale 报告.Pdf") << QStringLiteral("/d/Année fiscale 报告_unlocked.Pdf");
    }
    void unlockedCopyPath()
    {
        QFETCH(QString, source);
        QFETCH(QString, copy);
        QCOMPARE(KDConvertFileManager::unlockedCopyPathForPath(source), copy);
    }

    void listedPathsAreNotAddedAgain()
    {
        KDConvertFileManager manager;
        const QString a = fixture(QStringLiteral("a.pdf"), PdfFixtures::plain());
        const QString b = fixture(QStringLiteral("b.pdf"), PdfFixtures::plain());
        const QString c = path(QStringLiteral("c.docx"));
        const QString d = path(QStringLiteral("d.png"));
        QVERIFY(writeBytes(c, "word") && writeBytes(d, "png"));
        intake(manager, {a, a});
        QCOMPARE(listedPaths(manager, ConvertFromPdf), QStringList{a});
        QCOMPARE(mNotifications, 1);
        intake(manager, {a});
        QCOMPARE(listedPaths(manager, ConvertFromPdf), QStringList{a});
        QCOMPARE(mNotifications, 0);
        intake(manager, {c, a, d, b});
        QCOMPARE(listedPaths(manager, ConvertFromPdf), (QStringList{a, c, d, b}));
        QCOMPARE(mNotifications, 1);
        QVERIFY(manager.getFileDatasWithConvertMode(MergePdf).isEmpty());
        QCOMPARE(manager.getFileDatasWithConvertMode(ConvertFromPdf).first()->convertStatus(), qint32(Waiting));
        QVERIFY(mLog.isEmpty());
    }

    void lockedFileIsReplacedByItsCopy_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Recipe>("recipe");
        QTest::addColumn<Script>("script");
        QTest::addColumn<QString>("copyName");
        QTest::addColumn<bool>("needEdit");
        const Script wrongFirst{{QStringLiteral("wrong"), QString()}, kRightPasswords.first()};
        QTest::newRow("aes256, both passwords") << QStringLiteral("Report.PDF") << PdfFixtures::aes256AllForbidden()
                                                << kRightPasswords << QStringLiteral("Report_unlocked.PDF") << true;
        QTest::newRow("wrong password first") << QStringLiteral("w.pdf") << PdfFixtures::aes256AllForbidden()
                                              << wrongFirst << QStringLiteral("w_unlocked.pdf") << true;
        QTest::newRow("nothing forbidden, open password")
            << QStringLiteral("n.pdf") << PdfFixtures::aes256NothingForbidden()
            << Script{{PdfFixtures::kUserPassword, QString()}} << QStringLiteral("n_unlocked.pdf") << false;
        QTest::newRow("user password only")
            << QStringLiteral("u.pdf") << PdfFixtures::userPasswordOnly()
            << Script{{PdfFixtures::kUserPassword, QString()}} << QStringLiteral("u_unlocked.pdf") << true;
        QTest::newRow("rc4") << QStringLiteral("r.pdf") << PdfFixtures::rc4AllForbidden()
                             << Script{{PdfFixtures::kRc4UserPassword, PdfFixtures::kOwnerPassword}}
                             << QStringLiteral("r_unlocked.pdf") << true;
        QTest::newRow("form filling forbidden") << QStringLiteral("f.pdf") << PdfFixtures::formFillingForbidden()
                                                << kRightPasswords << QStringLiteral("f_unlocked.pdf") << true;
        QTest::newRow("spaces and non-ASCII")
            << QStringLiteral("Année fiscale 报告.pdf") << PdfFixtures::aes256AllForbidden() << kRightPasswords
            << QStringLiteral("Année fiscale 报告_unlocked.pdf") << true;
    }
    void lockedFileIsReplacedByItsCopy()
    {
        QFETCH(QString, name);
        QFETCH(Recipe, recipe);
        QFETCH(Script, script);
        QFETCH(QString, copyName);
        QFETCH(bool, needEdit);
        KDConvertFileManager manager;
        QObject mainWindow;
        manager.setAppMainWindow(&mainWindow);
        withScriptedPrompts(manager, {script});
        QTemporaryDir dir;
        const QString source = dir.filePath(name);
        recipe.pageCount = 4;
        QVERIFY(PdfFixtures::write(source, recipe));
        const QByteArray original = readBytes(source);
        QVERIFY(writeBytes(dir.filePath(copyName), "a stale copy is replaced"));

        intake(manager, {source}, MergePdf);

        QCOMPARE(mLog, (QStringList{kLocked, promptLine(name, needEdit), kUnlocked, kWritten}));
        QCOMPARE(mFactoryParent, &mainWindow);
        const KDConvertFileList &list = manager.getFileDatasWithConvertMode(MergePdf);
        QCOMPARE(list.size(), 1);
        QCOMPARE(list.first()->filePath(), dir.filePath(copyName));
        QCOMPARE(list.first()->fileName(), copyName);
        QCOMPARE(list.first()->sourcePath(), source);
        QCOMPARE(mNotifications, 1);
        const auto copy = PdfDocument::openWithPath(dir.filePath(copyName));
        QVERIFY(copy && !copy->isEncrypted());
        QCOMPARE(copy->pageCount(), 4);
        QCOMPARE(readBytes(source), original);

        // Added again: recognised through its copy, no prompt, nothing appended.
        intake(manager, {source}, MergePdf);
        QVERIFY(mLog.isEmpty());
        QCOMPARE(list.size(), 1);
        QCOMPARE(mNotifications, 0);
    }

    void lockedFileIsSkipped_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("log");
        const QString prompt = promptLine(QStringLiteral("s.pdf"), true);
        QTest::newRow("cancelled") << QStringLiteral("cancel") << QStringList{kLocked, prompt, kCanceled};
        QTest::newRow("wrong password, then cancelled")
            << QStringLiteral("wrong") << QStringList{kLocked, prompt, kCanceled};
        QTest::newRow("open password only, editing stays forbidden")
            << QStringLiteral("openOnly") << QStringList{kLocked, prompt, kCanceled};
        QTest::newRow("no prompt factory") << QStringLiteral("noFactory") << QStringList{kLocked, kCanceled};
        QTest::newRow("factory without prompt") << QStringLiteral("nullPrompt") << QStringList{kLocked, kCanceled};
        QTest::newRow("copy cannot be written")
            << QStringLiteral("unwritable")
            << QStringList{kLocked, promptLine(QString(), true), kUnlocked, kWriteFailed};
    }
    void lockedFileIsSkipped()
    {
        QFETCH(QString, how);
        QFETCH(QStringList, log);
        KDConvertFileManager manager;
        QTemporaryDir dir;
        // Root ignores permissions, so a copy name over the 255-byte limit stands
        // in for a folder that cannot be written.
        const QString name = how == QLatin1String("unwritable")
                                 ? QString(247, QLatin1Char('s')) + QStringLiteral(".pdf")
                                 : QStringLiteral("s.pdf");
        const QString source = dir.filePath(name);
        QVERIFY(PdfFixtures::write(source, PdfFixtures::aes256AllForbidden()));
        if (how == QLatin1String("wrong"))
            withScriptedPrompts(manager, {{{QStringLiteral("wrong"), PdfFixtures::kOwnerPassword}}});
        else if (how == QLatin1String("openOnly"))
            withScriptedPrompts(manager, {{{PdfFixtures::kUserPassword, QString()}}});
        else if (how == QLatin1String("unwritable"))
            withScriptedPrompts(manager, {kRightPasswords});
        else if (how == QLatin1String("nullPrompt"))
            manager.setPasswordPromptFactory([](QObject *) { return nullptr; });
        else if (how != QLatin1String("noFactory"))
            withScriptedPrompts(manager, {});
        if (how == QLatin1String("unwritable"))
            log[1] = promptLine(name, true);

        intake(manager, {source});

        QCOMPARE(mLog, log);
        QVERIFY(manager.getFileDatasWithConvertMode(ConvertFromPdf).isEmpty());
        QCOMPARE(mNotifications, 0);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{name});
    }

    void promptsFollowOneAnother()
    {
        KDConvertFileManager manager;
        withScriptedPrompts(manager, {{}, kRightPasswords});
        const QString first = fixture(QStringLiteral("first.pdf"));
        const QString plain = fixture(QStringLiteral("plain.pdf"), PdfFixtures::plain());
        const QString second = fixture(QStringLiteral("second.pdf"));
        const QString restricted = fixture(QStringLiteral("restricted.pdf"), PdfFixtures::ownerPasswordOnly());
        intake(manager, {first, plain, second, restricted});
        QCOMPARE(mLog, (QStringList{kLocked, promptLine(QStringLiteral("first.pdf"), true), kCanceled, kLocked,
                                    promptLine(QStringLiteral("second.pdf"), true), kUnlocked, kWritten}));
        QCOMPARE(listedPaths(manager, ConvertFromPdf),
                 (QStringList{plain, path(QStringLiteral("second_unlocked.pdf")), restricted}));
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("first_unlocked.pdf"))));
        QCOMPARE(mNotifications, 1);
    }

    // A copy path already in the list (added by hand) is rewritten, not listed twice.
    void listedCopyIsNotAddedTwice()
    {
        KDConvertFileManager manager;
        withScriptedPrompts(manager, {kRightPasswords});
        const QString source = fixture(QStringLiteral("twice.pdf"));
        const QString copy = fixture(QStringLiteral("twice_unlocked.pdf"), PdfFixtures::plain());
        intake(manager, {copy, source});
        QCOMPARE(listedPaths(manager, ConvertFromPdf), QStringList{copy});
        QCOMPARE(mLog.last(), kWritten);
        QCOMPARE(mNotifications, 1);
    }

    void badInput_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("appended");
        QTest::newRow("zero-byte file") << QStringLiteral("empty") << true;
        QTest::newRow("truncated pdf") << QStringLiteral("truncated") << true;
        QTest::newRow("not a pdf inside") << QStringLiteral("word") << true;
        QTest::newRow("directory named x.pdf") << QStringLiteral("directory") << false;
        QTest::newRow("vanished after listing") << QStringLiteral("vanished") << false;
    }
    void badInput()
    {
        QFETCH(QString, kind);
        QFETCH(bool, appended);
        KDConvertFileManager manager;
        withScriptedPrompts(manager, {});
        QTemporaryDir dir;
        const QString x = dir.filePath(QStringLiteral("x.pdf"));
        if (kind == QLatin1String("empty") || kind == QLatin1String("vanished"))
            QVERIFY(writeBytes(x, {}));
        else if (kind == QLatin1String("word"))
            QVERIFY(writeBytes(x, "PK\x03\x04 a word document"));
        else if (kind == QLatin1String("directory"))
            QVERIFY(QDir().mkpath(x));
        else
            QVERIFY(writeBytes(x, readBytes(fixture(QStringLiteral("whole.pdf"))).left(700)));
        const QStringList listed = KDConvertFileManager::matchFiles({x}, {QStringLiteral("pdf")});
        if (kind == QLatin1String("vanished"))
            QVERIFY(QFile::remove(x));

        intake(manager, kind == QLatin1String("directory") ? QStringList{x} : listed);

        QCOMPARE(listedPaths(manager, ConvertFromPdf), appended ? QStringList{x} : QStringList());
        QCOMPARE(mNotifications, appended ? 1 : 0);
        QVERIFY(mLog.isEmpty());
    }
};

MIRELUNE_TEST_MAIN(TestFileIntake)
#include "tst_fileintake.moc"
