#include "tools/Log.h"
#include "tools/ToolError.h"
#include "tools/ToolFile.h"

#include "support/TestMain.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QMutex>
#include <QMutexLocker>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

const QString kFileManager = u"org.freedesktop.FileManager1"_s;

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool makeSymlink(const QString &target, const QString &link)
{
    return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) == 0;
}

bool entryExists(const QString &path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// True when a real file manager answers on the session bus: the tests then
// never reach the folder fallback, and must not open real windows either.
bool fileManagerOnBus()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    if (bus.interface()->isServiceRegistered(kFileManager).value())
        return true;
    const QDBusMessage call = QDBusMessage::createMethodCall(u"org.freedesktop.DBus"_s, u"/org/freedesktop/DBus"_s,
                                                             u"org.freedesktop.DBus"_s, u"ListActivatableNames"_s);
    const QDBusMessage reply = bus.call(call, QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().toStringList().contains(kFileManager);
}

} // namespace

// Receives the URLs QDesktopServices::openUrl would hand to the desktop.
class UrlReceiver final : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void openUrl(const QUrl &url) { urls.append(url); }
};

// A stand-in for the desktop's file manager, living on its own thread so
// that it answers while the caller blocks on the D-Bus reply.
class FakeFileManager final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shownUris() const
    {
        const QMutexLocker locker(&mMutex);
        return mShownUris;
    }
public Q_SLOTS:
    void ShowItems(const QStringList &uris, const QString &startupId)
    {
        Q_UNUSED(startupId);
        const QMutexLocker locker(&mMutex);
        mShownUris += uris;
    }

private:
    mutable QMutex mMutex;
    QStringList mShownUris;
};

class TestToolFile final : public QObject {
    Q_OBJECT

private:
    // Spaces and non-ASCII letters in every path below.
    QTemporaryDir mDir{QDir::tempPath() + u"/tst toolfile ü-XXXXXX"_s};
    QString mLogPath;

    QString path(const QString &name) const { return mDir.filePath(name); }
    qint64 logSize() const { return QFileInfo(mLogPath).size(); }
    QString logSince(qint64 offset) const { return QString::fromUtf8(readFile(mLogPath).mid(offset)); }

private Q_SLOTS:
    void initTestCase();

    void existenceChecks();
    void writeDataNeverCreates();
    void writeDataAppendsAndReplaces();
    void createFile();
    void createFolder();
    void createFolderFailureWritesRecord();
    void removeFile();
    void removeDirectoryLeavesErrorUntouched();
    void moveFile();
    void moveMissingSourceIsQuiet();
    void moveNeverReplacesDestination();
    void moveWriteFailures();
    void moveAcrossFileSystems();
    void copyFile();
    void copyFailures();
    void errorFromErrno();
    void subFileNames();
    void attributes();
    void attributesOfNothingAndFailure();
    void datesAndSizes();
    void sizeText_data();
    void sizeText();
    void nameParts_data();
    void nameParts();
    void typeIdentifier();
    void writeImage();
    void revealFallsBackToFolders();
    void revealUsesFileManager1();
    void openUrl();
    void openWithApplication();
    void soundMissingResource();
};

void TestToolFile::initTestCase()
{
    QVERIFY(mDir.isValid());
    logFileOpen(u"tst_toolfile"_s);
    mLogPath = logFilePath();
    QVERIFY(QFile::exists(mLogPath));
}

void TestToolFile::existenceChecks()
{
    const QString file = path(u"fichier é.txt"_s);
    const QString folder = path(u"dossier ß"_s);
    QVERIFY(writeFile(file, "x"));
    QVERIFY(QDir().mkdir(folder));

    QVERIFY(ToolFile::isFileExistsAtPath(file));
    QVERIFY(!ToolFile::isFolderExistsAtPath(file));
    QVERIFY(!ToolFile::isFileExistsAtPath(folder));
    QVERIFY(ToolFile::isFolderExistsAtPath(folder));
    QVERIFY(!ToolFile::isFileExistsAtPath(path(u"nothing"_s)));
    QVERIFY(!ToolFile::isFolderExistsAtPath(path(u"nothing"_s)));
    QVERIFY(!ToolFile::isFileExistsAtPath(QString()));
    QVERIFY(!ToolFile::isFolderExistsAtPath(QString()));
    QVERIFY(!ToolFile::isFileExistsAtPath(file + u"/below"_s));

    // Links are followed: a link to a folder is a folder, a dangling link is nothing.
    QVERIFY(makeSymlink(file, path(u"lien fichier"_s)));
    QVERIFY(makeSymlink(folder, path(u"lien dossier"_s)));
    QVERIFY(makeSymlink(path(u"nothing"_s), path(u"lien cassé"_s)));
    QVERIFY(ToolFile::isFileExistsAtPath(path(u"lien fichier"_s)));
    QVERIFY(!ToolFile::isFolderExistsAtPath(path(u"lien fichier"_s)));
    QVERIFY(!ToolFile::isFileExistsAtPath(path(u"lien dossier"_s)));
    QVERIFY(ToolFile::isFolderExistsAtPath(path(u"lien dossier"_s)));
    QVERIFY(!ToolFile::isFileExistsAtPath(path(u"lien cassé"_s)));
    QVERIFY(!ToolFile::isFolderExistsAtPath(path(u"lien cassé"_s)));
}

void TestToolFile::writeDataNeverCreates()
{
    const QString missing = path(u"absent é.bin"_s);
    QVERIFY(!ToolFile::writeData("data", missing, true));
    QVERIFY(!entryExists(missing));
    QVERIFY(!ToolFile::writeData("data", missing, false));
    QVERIFY(!entryExists(missing));
    // A folder is no file to write into.
    QVERIFY(!ToolFile::writeData("data", mDir.path(), false));
    QVERIFY(!ToolFile::writeData("data", mDir.path(), true));
}

void TestToolFile::writeDataAppendsAndReplaces()
{
    const QString file = path(u"écrit 1.txt"_s);
    QVERIFY(writeFile(file, "début"));
    QVERIFY(::chmod(QFile::encodeName(file).constData(), 0640) == 0);

    QVERIFY(ToolFile::writeData(" + suite", file, true));
    QCOMPARE(readFile(file), QByteArray("début + suite"));
    QVERIFY(ToolFile::writeData(QByteArray(), file, true));
    QCOMPARE(readFile(file), QByteArray("début + suite"));

    QVERIFY(ToolFile::writeData("remplacé", file, false));
    QCOMPARE(readFile(file), QByteArray("remplacé"));
    // The atomic replacement keeps the file's permissions.
    QCOMPARE(ToolFile::getFileAttributesAtPath(file)->value(u"filePosixPermissions"_s).toInt(), 0640);

    QVERIFY(ToolFile::writeData(QByteArray(), file, false));
    QVERIFY(QFile::exists(file));
    QCOMPARE(QFileInfo(file).size(), 0);
    // No temporary file left behind.
    QCOMPARE(QDir(mDir.path()).entryList({u"écrit 1.txt*"_s}, QDir::Files | QDir::Hidden).size(), 1);
}

void TestToolFile::createFile()
{
    QVERIFY(!ToolFile::createFileAtPath(QString()));
    const QString file = path(u"créé.txt"_s);
    QVERIFY(ToolFile::createFileAtPath(file));
    QVERIFY(ToolFile::isFileExistsAtPath(file));
    QCOMPARE(QFileInfo(file).size(), 0);

    QVERIFY(writeFile(file, "contenu"));
    QVERIFY(ToolFile::createFileAtPath(file));
    QCOMPARE(QFileInfo(file).size(), 0);

    QVERIFY(!ToolFile::createFileAtPath(path(u"pas là/créé.txt"_s)));
    QVERIFY(!ToolFile::createFileAtPath(mDir.path()));
}

void TestToolFile::createFolder()
{
    QVERIFY(!ToolFile::createFolderAtPath(QString()));
    const QString nested = path(u"a b/ç d/é f"_s);
    const qint64 before = logSize();
    QVERIFY(ToolFile::createFolderAtPath(nested));
    QVERIFY(ToolFile::isFolderExistsAtPath(nested));
    QVERIFY(ToolFile::createFolderAtPath(nested));
    QVERIFY(ToolFile::createFolderAtPath(nested + u"/"_s));
    QCOMPARE(logSize(), before);
}

void TestToolFile::createFolderFailureWritesRecord()
{
    const QString file = path(u"un fichier"_s);
    QVERIFY(writeFile(file, "x"));
    qint64 before = logSize();
    QVERIFY(!ToolFile::createFolderAtPath(file + u"/sous dossier"_s));
    QString record = logSince(before);
    QVERIFY2(record.contains(u"*NSError*\n  domain:NSPOSIXErrorDomain\n  code:%1\n"_s.arg(ENOTDIR)),
             qPrintable(record));

    // A file where the folder should be.
    before = logSize();
    QVERIFY(!ToolFile::createFolderAtPath(file));
    record = logSince(before);
    QVERIFY2(record.contains(u"  code:%1\n"_s.arg(EEXIST)), qPrintable(record));
    QVERIFY(ToolFile::isFileExistsAtPath(file));

    const QString tooLong = path(QString(300, u'n'));
    QVERIFY(!ToolFile::createFolderAtPath(tooLong));
}

void TestToolFile::removeFile()
{
    const QString file = path(u"à supprimer.txt"_s);
    QVERIFY(writeFile(file, "x"));
    ToolError error;
    QVERIFY(ToolFile::removeFileAtPath(file, &error));
    QVERIFY(error.isNull());
    QVERIFY(!entryExists(file));

    // A link is removed, not its target.
    const QString target = path(u"cible.txt"_s);
    QVERIFY(writeFile(target, "x"));
    QVERIFY(makeSymlink(target, path(u"lien.txt"_s)));
    QVERIFY(ToolFile::removeFileAtPath(path(u"lien.txt"_s)));
    QVERIFY(!entryExists(path(u"lien.txt"_s)));
    QVERIFY(QFile::exists(target));

    const qint64 before = logSize();
    QVERIFY(!ToolFile::removeFileAtPath(path(u"nothing"_s), &error));
    QVERIFY(error.isNull());
    QVERIFY(!ToolFile::removeFileAtPath(QString()));
    QCOMPARE(logSize(), before);
}

void TestToolFile::removeDirectoryLeavesErrorUntouched()
{
    const QString folder = path(u"dossier à garder"_s);
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(makeSymlink(folder, path(u"lien vers dossier"_s)));
    ToolError error(u"Sentinel"_s, 42, u"untouched"_s);
    const qint64 before = logSize();
    QVERIFY(!ToolFile::removeFileAtPath(folder, &error));
    QVERIFY(!ToolFile::removeFileAtPath(path(u"lien vers dossier"_s), &error));
    QCOMPARE(error.domain(), u"Sentinel"_s);
    QCOMPARE(error.code(), 42);
    QCOMPARE(error.localizedDescription(), u"untouched"_s);
    QVERIFY(ToolFile::isFolderExistsAtPath(folder));
    QVERIFY(entryExists(path(u"lien vers dossier"_s)));
    QCOMPARE(logSize(), before);
}

void TestToolFile::moveFile()
{
    const QString source = path(u"source à déplacer.pdf"_s);
    const QString destination = path(u"destination déplacée.pdf"_s);
    QVERIFY(writeFile(source, "%PDF-1.4 contenu"));
    ToolError error;
    const qint64 before = logSize();
    QVERIFY(ToolFile::moveFileFromPath(source, destination, &error));
    QVERIFY(error.isNull());
    QVERIFY(!entryExists(source));
    QCOMPARE(readFile(destination), QByteArray("%PDF-1.4 contenu"));
    QCOMPARE(logSize(), before);
}

void TestToolFile::moveMissingSourceIsQuiet()
{
    ToolError error(u"Sentinel"_s, 1, u"untouched"_s);
    const qint64 before = logSize();
    QVERIFY(!ToolFile::moveFileFromPath(path(u"nothing"_s), path(u"anywhere"_s), &error));
    QVERIFY(!ToolFile::moveFileFromPath(mDir.path(), path(u"anywhere"_s), &error));
    QVERIFY(!ToolFile::moveFileFromPath(QString(), path(u"anywhere"_s), &error));
    QCOMPARE(error.domain(), u"Sentinel"_s);
    QVERIFY(!entryExists(path(u"anywhere"_s)));
    QCOMPARE(logSize(), before);
}

void TestToolFile::moveNeverReplacesDestination()
{
    const QString source = path(u"move src.txt"_s);
    const QString destination = path(u"move dst.txt"_s);
    QVERIFY(writeFile(source, "source"));
    QVERIFY(writeFile(destination, "destination"));
    ToolError error;
    const qint64 before = logSize();
    QVERIFY(!ToolFile::moveFileFromPath(source, destination, &error));
    QCOMPARE(error.domain(), u"NSPOSIXErrorDomain"_s);
    QCOMPARE(error.code(), EEXIST);
    QCOMPARE(error.userInfo().value(u"NSFilePath"_s).toString(), destination);
    QCOMPARE(readFile(source), QByteArray("source"));
    QCOMPARE(readFile(destination), QByteArray("destination"));
    const QString record = logSince(before);
    QVERIFY2(record.contains(u"*NSError*\n  domain:NSPOSIXErrorDomain\n  code:%1\n"_s.arg(EEXIST)), qPrintable(record));
    QVERIFY(record.contains(destination));

    // Onto itself: the destination exists.
    QVERIFY(!ToolFile::moveFileFromPath(source, source, &error));
    QCOMPARE(readFile(source), QByteArray("source"));
}

void TestToolFile::moveWriteFailures()
{
    const QString source = path(u"move fail.txt"_s);
    const QString blocker = path(u"bloqueur"_s);
    QVERIFY(writeFile(source, "source"));
    QVERIFY(writeFile(blocker, "x"));

    // Below a regular file.
    ToolError error;
    qint64 before = logSize();
    QVERIFY(!ToolFile::moveFileFromPath(source, blocker + u"/dest.txt"_s, &error));
    QCOMPARE(error.code(), ENOTDIR);
    QVERIFY(logSize() > before);
    QVERIFY(QFile::exists(source));

    // A name longer than 255 bytes.
    error = ToolError();
    before = logSize();
    QVERIFY(!ToolFile::moveFileFromPath(source, path(QString(256, u'é')), &error));
    QCOMPARE(error.code(), ENAMETOOLONG);
    QVERIFY(logSize() > before);
    QVERIFY(QFile::exists(source));

    // Into a missing folder; the error out-parameter is optional.
    before = logSize();
    QVERIFY(!ToolFile::moveFileFromPath(source, path(u"manquant/dest.txt"_s)));
    QVERIFY(logSize() > before);
    QVERIFY(QFile::exists(source));
}

void TestToolFile::moveAcrossFileSystems()
{
    QTemporaryDir other(u"/dev/shm/tst toolfile é-XXXXXX"_s);
    if (!other.isValid())
        QSKIP("no writable /dev/shm");
    struct stat here {
    }, there{};
    QVERIFY(::stat(QFile::encodeName(mDir.path()).constData(), &here) == 0);
    QVERIFY(::stat(QFile::encodeName(other.path()).constData(), &there) == 0);
    if (here.st_dev == there.st_dev)
        QSKIP("/dev/shm is on the same file system as the temporary folder");

    const QString source = other.filePath(u"voyageur é.pdf"_s);
    QVERIFY(writeFile(source, "traverse"));
    QVERIFY(::chmod(QFile::encodeName(source).constData(), 0604) == 0);
    const QDateTime stamp = QDateTime::currentDateTime().addDays(-3);
    {
        QFile file(source);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(stamp, QFileDevice::FileModificationTime));
    }
    const QString destination = path(u"arrivé.pdf"_s);
    ToolError error;
    QVERIFY(ToolFile::moveFileFromPath(source, destination, &error));
    QVERIFY(error.isNull());
    QVERIFY(!entryExists(source));
    QCOMPARE(readFile(destination), QByteArray("traverse"));
    QCOMPARE(ToolFile::getFileAttributesAtPath(destination)->value(u"filePosixPermissions"_s).toInt(), 0604);
    QCOMPARE(ToolFile::fileModificationDateAtPath(destination)->toSecsSinceEpoch(), stamp.toSecsSinceEpoch());

    // Across file systems too, an existing destination is kept and reported.
    QVERIFY(writeFile(source, "second"));
    QVERIFY(!ToolFile::moveFileFromPath(source, destination, &error));
    QCOMPARE(error.code(), EEXIST);
    QCOMPARE(readFile(source), QByteArray("second"));
    QCOMPARE(readFile(destination), QByteArray("traverse"));
}

void TestToolFile::copyFile()
{
    const QString source = path(u"copie source ü.txt"_s);
    const QString destination = path(u"copie destination ü.txt"_s);
    QVERIFY(writeFile(source, "à copier"));
    QVERIFY(::chmod(QFile::encodeName(source).constData(), 0750) == 0);
    ToolError error;
    const qint64 before = logSize();
    QVERIFY(ToolFile::copyFileFormPath(source, destination, &error));
    QVERIFY(error.isNull());
    QCOMPARE(readFile(source), QByteArray("à copier"));
    QCOMPARE(readFile(destination), QByteArray("à copier"));
    QCOMPARE(ToolFile::getFileAttributesAtPath(destination)->value(u"filePosixPermissions"_s).toInt(), 0750);
    QCOMPARE(logSize(), before);

    // A link is copied as a link.
    QVERIFY(makeSymlink(source, path(u"copie lien"_s)));
    QVERIFY(ToolFile::copyFileFormPath(path(u"copie lien"_s), path(u"copie du lien"_s)));
    QCOMPARE(QFileInfo(path(u"copie du lien"_s)).symLinkTarget(), source);
}

void TestToolFile::copyFailures()
{
    const QString source = path(u"copie échec.txt"_s);
    const QString existing = path(u"copie existante.txt"_s);
    QVERIFY(writeFile(source, "source"));
    QVERIFY(writeFile(existing, "existante"));

    ToolError error(u"Sentinel"_s, 7, u"untouched"_s);
    qint64 before = logSize();
    QVERIFY(!ToolFile::copyFileFormPath(path(u"nothing"_s), existing, &error));
    QVERIFY(!ToolFile::copyFileFormPath(mDir.path(), path(u"copie dossier"_s), &error));
    QCOMPARE(error.domain(), u"Sentinel"_s);
    QCOMPARE(logSize(), before);

    QVERIFY(!ToolFile::copyFileFormPath(source, existing, &error));
    QCOMPARE(error.domain(), u"NSPOSIXErrorDomain"_s);
    QCOMPARE(error.code(), EEXIST);
    QCOMPARE(readFile(existing), QByteArray("existante"));
    QVERIFY(logSize() > before);

    before = logSize();
    QVERIFY(!ToolFile::copyFileFormPath(source, existing + u"/dessous.txt"_s, &error));
    QCOMPARE(error.code(), ENOTDIR);
    QVERIFY(!ToolFile::copyFileFormPath(source, path(QString(300, u'x')), &error));
    QCOMPARE(error.code(), ENAMETOOLONG);
    QVERIFY(logSize() > before);
    QCOMPARE(readFile(source), QByteArray("source"));
}

void TestToolFile::errorFromErrno()
{
    const QString file = u"/tmp/dossier é/fichier.pdf"_s;
    const ToolError error = ToolError::fromErrno(ENOENT, file, u"remove"_s);
    QCOMPARE(error.domain(), u"NSPOSIXErrorDomain"_s);
    QCOMPARE(error.code(), ENOENT);
    QCOMPARE(error.localizedDescription(), QString::fromLocal8Bit(std::strerror(ENOENT)));
    QVERIFY(error.localizedFailureReason().contains(u"remove"_s));
    QVERIFY(error.localizedFailureReason().contains(file));
    QCOMPARE(error.userInfo(), (QVariantMap{{u"NSFilePath"_s, file}}));
    QVERIFY(!error.isNull());
    QVERIFY(ToolError().isNull());
}

void TestToolFile::subFileNames()
{
    QVERIFY(ToolFile::subFileNamesWithFolderPath(path(u"nothing"_s)).isEmpty());
    QVERIFY(ToolFile::subFileNamesWithFolderPath(QString()).isEmpty());
    const QString file = path(u"simple fichier"_s);
    QVERIFY(writeFile(file, "x"));
    QVERIFY(ToolFile::subFileNamesWithFolderPath(file).isEmpty());
    QVERIFY(ToolFile::subFilePathsWithFolderPath(file).isEmpty());

    const QString folder = path(u"arbre ä"_s);
    QVERIFY(QDir().mkpath(folder + u"/x"_s));
    QVERIFY(QDir().mkpath(folder + u"/.caché/vide"_s));
    QVERIFY(writeFile(folder + u"/x/y.pdf"_s, "x"));
    QVERIFY(writeFile(folder + u"/.caché/z é.txt"_s, "x"));
    QVERIFY(makeSymlink(path(u"nothing"_s), folder + u"/lien cassé"_s));

    QStringList names = ToolFile::subFileNamesWithFolderPath(folder);
    QStringList expected = {u"x"_s, u"x/y.pdf"_s, u".caché"_s, u".caché/vide"_s, u".caché/z é.txt"_s, u"lien cassé"_s};
    QCOMPARE(names.size(), expected.size());
    // A folder comes before its contents.
    QVERIFY(names.indexOf(u"x"_s) < names.indexOf(u"x/y.pdf"_s));
    names.sort();
    expected.sort();
    QCOMPARE(names, expected);

    QStringList paths = ToolFile::subFilePathsWithFolderPath(folder);
    QStringList expectedPaths;
    for (const QString &name : std::as_const(expected))
        expectedPaths.append(folder + u"/"_s + name);
    paths.sort();
    QCOMPARE(paths, expectedPaths);
    // A trailing "/" on the folder gives the same paths.
    paths = ToolFile::subFilePathsWithFolderPath(folder + u"/"_s);
    paths.sort();
    QCOMPARE(paths, expectedPaths);

    // Through a link to a folder, relative names stay relative.
    QVERIFY(makeSymlink(folder, path(u"lien arbre"_s)));
    names = ToolFile::subFileNamesWithFolderPath(path(u"lien arbre"_s));
    names.sort();
    QCOMPARE(names, expected);
}

void TestToolFile::attributes()
{
    const QString file = path(u"attributs é.bin"_s);
    const QDateTime before = QDateTime::currentDateTime().addSecs(-2);
    QVERIFY(writeFile(file, QByteArray(1234, 'a')));
    QVERIFY(::chmod(QFile::encodeName(file).constData(), 0640) == 0);
    const QDateTime after = QDateTime::currentDateTime().addSecs(2);

    ToolError error;
    const std::optional<QVariantMap> attributes = ToolFile::getFileAttributesAtPath(file, &error);
    QVERIFY(attributes);
    QVERIFY(error.isNull());
    QCOMPARE(attributes->value(u"fileSize"_s).toLongLong(), 1234);
    QCOMPARE(attributes->value(u"fileType"_s).toString(), u"NSFileTypeRegular"_s);
    QCOMPARE(attributes->value(u"filePosixPermissions"_s).toInt(), 0640);
    const QDateTime created = attributes->value(u"fileCreationDate"_s).toDateTime();
    const QDateTime modified = attributes->value(u"fileModificationDate"_s).toDateTime();
    QVERIFY(created.isValid());
    QVERIFY(modified.isValid());
    QVERIFY(created >= before && created <= after);
    QVERIFY(modified >= before && modified <= after);

    QCOMPARE(ToolFile::getFileAttributesAtPath(mDir.path())->value(u"fileType"_s).toString(), u"NSFileTypeDirectory"_s);
    // The entry itself: a link is not followed.
    QVERIFY(makeSymlink(file, path(u"attributs lien"_s)));
    QCOMPARE(ToolFile::getFileAttributesAtPath(path(u"attributs lien"_s))->value(u"fileType"_s).toString(),
             u"NSFileTypeSymbolicLink"_s);
    QVERIFY(::mkfifo(QFile::encodeName(path(u"attributs fifo"_s)).constData(), 0600) == 0);
    QCOMPARE(ToolFile::getFileAttributesAtPath(path(u"attributs fifo"_s))->value(u"fileType"_s).toString(),
             u"NSFileTypeUnknown"_s);
}

void TestToolFile::attributesOfNothingAndFailure()
{
    ToolError error(u"Sentinel"_s, 3, u"untouched"_s);
    const qint64 before = logSize();
    QVERIFY(!ToolFile::getFileAttributesAtPath(path(u"nothing"_s), &error));
    QVERIFY(!ToolFile::getFileAttributesAtPath(QString(), &error));
    QVERIFY(!ToolFile::fileCreateDateAtPath(path(u"nothing"_s), &error));
    QVERIFY(!ToolFile::fileModificationDateAtPath(path(u"nothing"_s), &error));
    QCOMPARE(ToolFile::fileSizeAtPath(path(u"nothing"_s), &error), 0);
    QCOMPARE(error.domain(), u"Sentinel"_s);
    QCOMPARE(logSize(), before);

    // A read failure: a name longer than 255 bytes.
    const QString tooLong = path(QString(300, u'z'));
    QVERIFY(!ToolFile::getFileAttributesAtPath(tooLong, &error));
    QCOMPARE(error.domain(), u"NSPOSIXErrorDomain"_s);
    QCOMPARE(error.code(), ENAMETOOLONG);
    QCOMPARE(error.userInfo().value(u"NSFilePath"_s).toString(), tooLong);
    QVERIFY(logSize() > before);

    // The error is passed on by the dates and the size.
    error = ToolError();
    QVERIFY(!ToolFile::fileModificationDateAtPath(tooLong, &error));
    QCOMPARE(error.code(), ENAMETOOLONG);
    error = ToolError();
    QCOMPARE(ToolFile::fileSizeAtPath(tooLong, &error), 0);
    QCOMPARE(error.code(), ENAMETOOLONG);
}

void TestToolFile::datesAndSizes()
{
    const QString file = path(u"daté é.txt"_s);
    const QDateTime before = QDateTime::currentDateTime().addSecs(-2);
    QVERIFY(writeFile(file, "0123456789"));
    const QDateTime stamp = QDateTime::fromSecsSinceEpoch(1700000000);
    {
        QFile handle(file);
        QVERIFY(handle.open(QIODevice::ReadWrite));
        QVERIFY(handle.setFileTime(stamp, QFileDevice::FileModificationTime));
    }
    QCOMPARE(ToolFile::fileModificationDateAtPath(file)->toSecsSinceEpoch(), stamp.toSecsSinceEpoch());
    // Birth time (or, without one, the metadata change time): now, not the stamp.
    const std::optional<QDateTime> created = ToolFile::fileCreateDateAtPath(file);
    QVERIFY(created);
    QVERIFY(*created >= before);
    QCOMPARE(ToolFile::fileSizeAtPath(file), 10);
    QCOMPARE(ToolFile::fileSizeAtPath(path(u"nothing"_s)), 0);
}

void TestToolFile::sizeText_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << qint64(0) << u"0.00 KB"_s;
    QTest::newRow("500") << qint64(500) << u"0.50 KB"_s;
    QTest::newRow("1000") << qint64(1000) << u"1.00 KB"_s;
    QTest::newRow("1000000") << qint64(1000000) << u"1000.00 KB"_s;
    QTest::newRow("1000001") << qint64(1000001) << u"1.00 MB"_s;
    QTest::newRow("1234567") << qint64(1234567) << u"1.23 MB"_s;
}

void TestToolFile::sizeText()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(ToolFile::fileSizeFormatterToString(bytes), text);
}

void TestToolFile::nameParts_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("name");
    QTest::newRow("double extension") << u"/a/b.tar.gz"_s << u"gz"_s << u"b.tar"_s;
    QTest::newRow("no extension") << u"/a/README"_s << u""_s << u"README"_s;
    QTest::newRow("hidden") << u".bashrc"_s << u""_s << u".bashrc"_s;
    QTest::newRow("hidden in folder") << u"/home/u/.bashrc"_s << u""_s << u".bashrc"_s;
    QTest::newRow("hidden with extension") << u"/a/.config.json"_s << u"json"_s << u".config"_s;
    QTest::newRow("trailing slash") << u"/a/b.d/"_s << u"d"_s << u"b"_s;
    QTest::newRow("dot in folder only") << u"/a.b/c"_s << u""_s << u"c"_s;
    QTest::newRow("trailing dot") << u"/a/c."_s << u""_s << u"c"_s;
    QTest::newRow("spaces and accents") << u"/dossier é/mon fichier é.PDF"_s << u"PDF"_s << u"mon fichier é"_s;
    QTest::newRow("relative") << u"b.pdf"_s << u"pdf"_s << u"b"_s;
    QTest::newRow("dot dot") << u"/a/.."_s << u""_s << u".."_s;
    QTest::newRow("root") << u"/"_s << u""_s << u"/"_s;
    QTest::newRow("empty") << u""_s << u""_s << u""_s;
}

void TestToolFile::nameParts()
{
    QFETCH(QString, path);
    QFETCH(QString, extension);
    QFETCH(QString, name);
    QCOMPARE(ToolFile::fileExtensionAtPath(path), extension);
    QCOMPARE(ToolFile::fileNameAtPath(path), name);
    QVERIFY(!ToolFile::fileExtensionAtPath(path).isNull());
}

void TestToolFile::typeIdentifier()
{
    const QString pdf = path(u"type é.pdf"_s);
    QVERIFY(writeFile(pdf, "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n"));
    QCOMPARE(ToolFile::fileTypeIdentifierAtURL(QUrl::fromLocalFile(pdf)), u"application/pdf"_s);
    QCOMPARE(ToolFile::fileTypeIdentifierAtURL(QUrl::fromLocalFile(mDir.path())), u"inode/directory"_s);

    const QString missing = ToolFile::fileTypeIdentifierAtURL(QUrl::fromLocalFile(path(u"nothing.pdf"_s)));
    QCOMPARE(missing, u""_s);
    QVERIFY(!missing.isNull());
    QCOMPARE(ToolFile::fileTypeIdentifierAtURL(QUrl(u"https://example.com/a.pdf"_s)), u""_s);
    QCOMPARE(ToolFile::fileTypeIdentifierAtURL(QUrl()), u""_s);
}

void TestToolFile::writeImage()
{
    QImage image(8, 4, QImage::Format_ARGB32);
    image.fill(Qt::red);
    const QString file = path(u"image é.png"_s);
    QVERIFY(ToolFile::writeImage(image, file));
    QImageReader reader(file);
    QCOMPARE(reader.format(), QByteArray("png"));
    const QImage back = reader.read();
    QCOMPARE(back.size(), QSize(8, 4));
    QCOMPARE(back.pixelColor(1, 1), QColor(Qt::red));

    QVERIFY(!ToolFile::writeImage(image, path(u"manquant/image.png"_s)));
    QVERIFY(!ToolFile::writeImage(QImage(), path(u"vide.png"_s)));
}

void TestToolFile::revealFallsBackToFolders()
{
    if (fileManagerOnBus())
        QSKIP("a file manager answers on the session bus; the folder fallback is not reached");

    const QString folderA = path(u"révéler A"_s);
    const QString folderB = path(u"révéler B"_s);
    QVERIFY(QDir().mkpath(folderA));
    QVERIFY(QDir().mkpath(folderB));
    QVERIFY(writeFile(folderA + u"/un.pdf"_s, "x"));
    QVERIFY(writeFile(folderA + u"/deux.pdf"_s, "x"));
    QVERIFY(writeFile(folderB + u"/trois é.docx"_s, "x"));

    UrlReceiver receiver;
    QDesktopServices::setUrlHandler(u"file"_s, &receiver, "openUrl");
    auto unset = qScopeGuard([] { QDesktopServices::unsetUrlHandler(u"file"_s); });

    QVERIFY(ToolFile::showFileInFinder(folderA + u"/un.pdf"_s));
    QCOMPARE(receiver.urls, (QList<QUrl>{QUrl::fromLocalFile(folderA)}));

    receiver.urls.clear();
    ToolFile::showMultipleFilesInFinder(
        {QUrl::fromLocalFile(folderA + u"/un.pdf"_s), QUrl::fromLocalFile(folderB + u"/trois é.docx"_s),
         QUrl::fromLocalFile(folderA + u"/deux.pdf"_s), QUrl(u"https://example.com/"_s)});
    QCOMPARE(receiver.urls, (QList<QUrl>{QUrl::fromLocalFile(folderA), QUrl::fromLocalFile(folderB)}));

    receiver.urls.clear();
    QVERIFY(!ToolFile::showFileInFinder(QString()));
    QVERIFY(!ToolFile::showFileInFinder(path(u"nothing"_s)));
    ToolFile::showMultipleFilesInFinder({});
    QVERIFY(receiver.urls.isEmpty());
}

void TestToolFile::revealUsesFileManager1()
{
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"tst_toolfile_fm"_s);
    auto disconnect = qScopeGuard([] { QDBusConnection::disconnectFromBus(u"tst_toolfile_fm"_s); });
    if (!bus.isConnected())
        QSKIP("no session bus: the D-Bus path cannot be exercised here");
    if (fileManagerOnBus())
        QSKIP("a real file manager owns org.freedesktop.FileManager1");

    QThread thread;
    FakeFileManager fake;
    fake.moveToThread(&thread);
    thread.start();
    auto stop = qScopeGuard([&thread] {
        thread.quit();
        thread.wait();
    });
    QVERIFY(bus.registerObject(u"/org/freedesktop/FileManager1"_s, &fake, QDBusConnection::ExportAllSlots));
    QVERIFY(bus.registerService(kFileManager));
    auto unregister = qScopeGuard([&bus] {
        bus.unregisterService(kFileManager);
        bus.unregisterObject(u"/org/freedesktop/FileManager1"_s);
    });

    const QString file = path(u"montré é.pdf"_s);
    QVERIFY(writeFile(file, "x"));
    UrlReceiver receiver;
    QDesktopServices::setUrlHandler(u"file"_s, &receiver, "openUrl");
    auto unset = qScopeGuard([] { QDesktopServices::unsetUrlHandler(u"file"_s); });

    QVERIFY(ToolFile::showFileInFinder(file));
    QCOMPARE(fake.shownUris(), QStringList{QString::fromUtf8(QUrl::fromLocalFile(file).toEncoded())});
    QVERIFY(receiver.urls.isEmpty());
}

void TestToolFile::openUrl()
{
    UrlReceiver receiver;
    QDesktopServices::setUrlHandler(u"mirelune-test"_s, &receiver, "openUrl");
    QDesktopServices::setUrlHandler(u"file"_s, &receiver, "openUrl");
    auto unset = qScopeGuard([] {
        QDesktopServices::unsetUrlHandler(u"mirelune-test"_s);
        QDesktopServices::unsetUrlHandler(u"file"_s);
    });
    const QUrl web(u"mirelune-test://example.com/page"_s);
    QVERIFY(ToolFile::openFileAtURL(web));
    const QUrl file = QUrl::fromLocalFile(path(u"ouvrir é.pdf"_s));
    QVERIFY(ToolFile::openFileAtURL(file));
    QCOMPARE(receiver.urls, (QList<QUrl>{web, file}));
    QVERIFY(!ToolFile::openFileAtURL(QUrl()));
}

void TestToolFile::openWithApplication()
{
    const QString file = path(u"ouvrir avec é.txt"_s);
    QVERIFY(writeFile(file, "x"));
    QVERIFY(!ToolFile::openFileAtURL(file, u"no-such-application-mirelune"_s));
    QVERIFY(!ToolFile::openFileAtURL(file, QString()));
    if (QStandardPaths::findExecutable(u"true"_s).isEmpty())
        QSKIP("no `true` executable to start");
    // `true` ignores its argument and exits: nothing is shown.
    QVERIFY(ToolFile::openFileAtURL(file, u"true"_s));
    QVERIFY(ToolFile::openFileAtURL(file, u"TRUE"_s)); // found under its lower-case name
}

void TestToolFile::soundMissingResource()
{
    auto soundEffects = [] {
        int count = 0;
        for (const QObject *child : qApp->children())
            count += qstrcmp(child->metaObject()->className(), "QSoundEffect") == 0 ? 1 : 0;
        return count;
    };
    ToolFile::playSoundWithName(u"no-such-sound"_s);
    ToolFile::playSoundWithName(QString());
    QThread *worker = QThread::create([] { ToolFile::playSoundWithName(u"no-such-sound"_s); });
    worker->start();
    QVERIFY(worker->wait(5000));
    delete worker;
    QCoreApplication::processEvents();
    QCOMPARE(soundEffects(), 0);
}

MIRELUNE_TEST_MAIN(TestToolFile)

#include "tst_toolfile.moc"
