#include "tools/Log.h"
#include "tools/ToolError.h"
#include "tools/ToolString.h"

#include "support/TestMain.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

const QString kStamp = u"\\[\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\] "_s;

// The text appended to a file by a call.
template <typename Call> QString appendedBy(const QString &path, Call call)
{
    const qint64 offset = QFileInfo(path).size();
    call();
    return QString::fromUtf8(readFile(path).mid(offset));
}

// The appended text with its leading "[stamp] " checked and cut off.
QString withoutStamp(const QString &line)
{
    const QRegularExpressionMatch match = QRegularExpression(QRegularExpression::anchoredPattern(kStamp + u"(.*)"_s),
                                                             QRegularExpression::DotMatchesEverythingOption)
                                              .match(line);
    return match.hasMatch() ? match.captured(1) : u"<no stamp: %1>"_s.arg(line);
}

} // namespace

class TestLog final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void linesBeforeOpenReachNoFile();
    void pathForName_data();
    void pathForName();
    void openCreatesFile();
    void lineForMessage_data();
    void lineForMessage();
    void writeLine();
    void errorRecord();
    void errorRecordOfAbsentTexts();
    void exceptionRecord();
    void banner();
    void systemLogOnly();
    void sizeCap();
    void reopenReplacesPath();
    void fileGoneIsNotRecreated();
    void concurrentLines();
};

void TestLog::initTestCase()
{
    QVERIFY(logFilePath().isNull());
}

void TestLog::linesBeforeOpenReachNoFile()
{
    logWrite(u"avant l'ouverture"_s);
    logBanner();
    logError(ToolError(u"NSPOSIXErrorDomain"_s, 2, u"No such file or directory"_s));
    logException(u"Name"_s, u"reason"_s);
    QVERIFY(logFilePath().isNull());
    const QDir caches(ToolString::getTempDir());
    QVERIFY(caches.entryList(QDir::Files | QDir::Hidden).isEmpty());
}

void TestLog::pathForName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("plain") << u"mirelune"_s << u"mirelune.log"_s;
    QTest::newRow("extension replaced") << u"app.txt"_s << u"app.log"_s;
    QTest::newRow("last extension only") << u"archive.tar.gz"_s << u"archive.tar.log"_s;
    QTest::newRow("already log") << u"app.log"_s << u"app.log"_s;
    QTest::newRow("hidden") << u".hidden"_s << u".hidden.log"_s;
    QTest::newRow("spaces and accents") << u"journal été 2"_s << u"journal été 2.log"_s;
}

void TestLog::pathForName()
{
    QFETCH(QString, name);
    QFETCH(QString, fileName);
    const QString caches = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + u"/Mirelune"_s;
    QCOMPARE(ToolString::getTempDir(), caches);
    QCOMPARE(logFilePathForName(name), caches + u"/"_s + fileName);
}

void TestLog::openCreatesFile()
{
    const QString path = logFilePathForName(u"journal été"_s);
    QVERIFY(!QFile::exists(path));
    logFileOpen(u"journal été"_s);
    QCOMPARE(logFilePath(), path);
    QVERIFY(QFile::exists(path));
    QCOMPARE(QFileInfo(path).size(), 0);
    // Lines written before the log was open are not in it.
    QVERIFY(!readFile(path).contains("avant"));
}

void TestLog::lineForMessage_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("line");
    QTest::newRow("plain") << u"hello"_s << u"[2026-01-02 03:04:05] hello\n"_s;
    QTest::newRow("empty") << u""_s << u"[2026-01-02 03:04:05] \n"_s;
    QTest::newRow("ends in line feed") << u"record\n"_s << u"[2026-01-02 03:04:05] record\n\n"_s;
    QTest::newRow("several lines") << u"a\n b"_s << u"[2026-01-02 03:04:05] a\n b\n"_s;
    QTest::newRow("accents") << u"créé ✓"_s << u"[2026-01-02 03:04:05] créé ✓\n"_s;
}

void TestLog::lineForMessage()
{
    QFETCH(QString, message);
    QFETCH(QString, line);
    QCOMPARE(logLineForMessage(u"2026-01-02 03:04:05"_s, message), line);
}

void TestLog::writeLine()
{
    const QString path = logFilePath();
    const QDateTime before = QDateTime::currentDateTime();
    const QString line = appendedBy(path, [] { logWrite(u"bonjour wörld ✓"_s); });
    const QDateTime after = QDateTime::currentDateTime();
    QVERIFY2(
        QRegularExpression(QRegularExpression::anchoredPattern(kStamp + u"bonjour wörld ✓\n"_s)).match(line).hasMatch(),
        qPrintable(line));
    const QDateTime stamp = QDateTime::fromString(line.mid(1, 19), u"yyyy-MM-dd HH:mm:ss"_s);
    QVERIFY(stamp.isValid());
    // Whole seconds, from a clock that may lag the precise one by a tick.
    QVERIFY2(stamp.toSecsSinceEpoch() >= before.toSecsSinceEpoch() - 1 && stamp <= after, qPrintable(line));
    // The file holds UTF-8.
    QVERIFY(readFile(path).endsWith("bonjour w\xc3\xb6rld \xe2\x9c\x93\n"));
}

void TestLog::errorRecord()
{
    const QVariantMap userInfo{{u"NSFilePath"_s, u"/tmp/dossier é/a b.pdf"_s}};
    const ToolError error(u"NSPOSIXErrorDomain"_s, 2, u"No such file or directory"_s,
                          u"remove \"/tmp/dossier é/a b.pdf\": No such file or directory"_s, userInfo);
    const QString record = appendedBy(logFilePath(), [&error] { logError(error); });
    QCOMPARE(withoutStamp(record), u"*NSError*\n"
                                   u"  domain:NSPOSIXErrorDomain\n"
                                   u"  code:2\n"
                                   u"  userInfo:{\"NSFilePath\":\"/tmp/dossier é/a b.pdf\"}\n"
                                   u"  description:No such file or directory\n"
                                   u"  resaon:remove \"/tmp/dossier é/a b.pdf\": No such file or directory\n"
                                   u"\n"_s);
    QVERIFY(record.startsWith(u"["_s));
    QVERIFY(record.endsWith(u"No such file or directory\n\n"_s));

    // The code is a long.
    const QString big =
        appendedBy(logFilePath(), [] { logError(ToolError(u"Domain"_s, -9000000000LL, u"d"_s, u"r"_s)); });
    QCOMPARE(withoutStamp(big),
             u"*NSError*\n  domain:Domain\n  code:-9000000000\n  userInfo:{}\n  description:d\n  resaon:r\n\n"_s);
}

void TestLog::errorRecordOfAbsentTexts()
{
    const QString record = appendedBy(logFilePath(), [] { logError(ToolError()); });
    QCOMPARE(withoutStamp(record),
             u"*NSError*\n  domain:(null)\n  code:0\n  userInfo:{}\n  description:(null)\n  resaon:(null)\n\n"_s);
}

void TestLog::exceptionRecord()
{
    QString record =
        appendedBy(logFilePath(), [] { logException(u"NSInvalidArgumentException"_s, u"argument é invalide"_s); });
    QCOMPARE(withoutStamp(record), u"*NSException*\n NSInvalidArgumentException -> argument é invalide\n"_s);

    record = appendedBy(logFilePath(), [] { logException(std::runtime_error("boom")); });
    QCOMPARE(withoutStamp(record), u"*NSException*\n std::runtime_error -> boom\n"_s);
}

void TestLog::banner()
{
    const QDateTime before = QDateTime::currentDateTime();
    const QString banner = appendedBy(logFilePath(), [] { logBanner(); });
    const QDateTime after = QDateTime::currentDateTime();
    QStringList candidates;
    for (const QDateTime &time : {before, after}) {
        candidates.append(u"\n================"_s + ToolString::stringFromDateWithLocalization(time) +
                          u"================\n"_s);
    }
    QVERIFY2(candidates.contains(banner), qPrintable(banner));
}

void TestLog::systemLogOnly()
{
    const QString appended = appendedBy(logFilePath(), [] { logSystem(u"seulement le journal système"_s); });
    QVERIFY(appended.isEmpty());
}

void TestLog::sizeCap()
{
    const QString keep = logFilePathForName(u"cap keep"_s);
    const QString empty = logFilePathForName(u"cap empty"_s);
    QVERIFY(writeFile(keep, QByteArray(1048576, 'k')));
    QVERIFY(writeFile(empty, QByteArray(1048577, 'e')));

    logFileOpen(u"cap keep"_s);
    QCOMPARE(logFilePath(), keep);
    QCOMPARE(QFileInfo(keep).size(), 1048576);

    logFileOpen(u"cap empty"_s);
    QCOMPARE(logFilePath(), empty);
    QVERIFY(QFile::exists(empty));
    QCOMPARE(QFileInfo(empty).size(), 0);
}

void TestLog::reopenReplacesPath()
{
    const QString first = logFilePathForName(u"premier"_s);
    const QString second = logFilePathForName(u"second"_s);
    logFileOpen(u"premier"_s);
    QCOMPARE(logFilePath(), first);
    logWrite(u"au premier"_s);
    logFileOpen(u"second"_s);
    QCOMPARE(logFilePath(), second);
    logWrite(u"au second"_s);

    const QString firstText = QString::fromUtf8(readFile(first));
    const QString secondText = QString::fromUtf8(readFile(second));
    QVERIFY(firstText.contains(u"au premier"_s));
    QVERIFY(!firstText.contains(u"au second"_s));
    QVERIFY(secondText.contains(u"au second"_s));
    QVERIFY(!secondText.contains(u"au premier"_s));

    // Reopening an existing log below the cap keeps its lines.
    logFileOpen(u"premier"_s);
    QVERIFY(QString::fromUtf8(readFile(first)).contains(u"au premier"_s));
}

void TestLog::fileGoneIsNotRecreated()
{
    logFileOpen(u"disparu"_s);
    const QString path = logFilePath();
    QVERIFY(QFile::remove(path));
    logWrite(u"nulle part"_s);
    logBanner();
    QVERIFY(!QFile::exists(path));
    QCOMPARE(logFilePath(), path);
}

void TestLog::concurrentLines()
{
    logFileOpen(u"fils"_s);
    const QString path = logFilePath();
    constexpr int kThreads = 4;
    constexpr int kLines = 200;
    std::atomic<bool> done{false};
    std::vector<std::unique_ptr<QThread>> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back(QThread::create([t] {
            for (int i = 0; i < kLines; ++i)
                logWrite(u"fil %1 ligne %2 é"_s.arg(t).arg(i));
        }));
        writers.back()->start();
    }
    // Meanwhile the path is read and set again (same log) on this thread.
    std::unique_ptr<QThread> reopener(QThread::create([&done] {
        while (!done.load())
            logFileOpen(u"fils"_s);
    }));
    reopener->start();
    for (auto &writer : writers)
        QVERIFY(writer->wait(60000));
    done = true;
    QVERIFY(reopener->wait(60000));

    QCOMPARE(logFilePath(), path);
    const QStringList lines = QString::fromUtf8(readFile(path)).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), kThreads * kLines);
    const QRegularExpression pattern(QRegularExpression::anchoredPattern(kStamp + u"fil \\d ligne \\d+ é"_s));
    for (const QString &line : lines)
        QVERIFY2(pattern.match(line).hasMatch(), qPrintable(line));
}

MIRELUNE_TEST_MAIN(TestLog)

#include "tst_log.moc"
