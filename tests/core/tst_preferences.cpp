#include "settings/KDUserDefaultKit.h"
#include "settings/PreferenceStore.h"
#include "settings/UserDefaults.h"
#include "settings/ValueText.h"

#include "support/TestMain.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QRect>
#include <QRectF>
#include <QStandardPaths>
#include <QTimeZone>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QString kKey = u"test.value"_s;
constexpr qint64 kInt64Max = std::numeric_limits<qint64>::max();
constexpr qint64 kInt64Min = std::numeric_limits<qint64>::min();
constexpr double kInf = std::numeric_limits<double>::infinity();

QByteArray readStoreFile()
{
    QFile file(PreferenceStore::filePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The store file parsed independently of the store's own reader.
QJsonObject storeJson()
{
    return QJsonDocument::fromJson(readStoreFile()).object();
}

// The store file read with the format's read function, bypassing QSettings'
// per-file cache.
bool freshRead(QSettings::SettingsMap &map)
{
    QFile file(PreferenceStore::filePath());
    return file.open(QIODevice::ReadOnly) && PreferenceStore::readJson(file, map);
}

// Gives the store file a modification time it never had, so that the next
// QSettings handle re-reads it from disk instead of its in-process cache:
// what a restart of the application does.
bool forceReread()
{
    static int tick = 0;
    QFile file(PreferenceStore::filePath());
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return false;
    const QDateTime stamp = QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC).addSecs(++tick);
    return file.setFileTime(stamp, QFileDevice::FileModificationTime);
}

bool writeStoreFile(const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(PreferenceStore::filePath()).absolutePath());
    {
        QFile file(PreferenceStore::filePath());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            return false;
    }
    return forceReread();
}

QVariantMap sampleMap()
{
    return QVariantMap{{u"name"_s, u"Ünïcødé \"quoted\"\n"_s},
                       {u"count"_s, qlonglong(3)},
                       {u"ratio"_s, 0.25},
                       {u"on"_s, true},
                       {u"bytes"_s, QByteArray("\xff\x00\x80", 3)},
                       {u"inner"_s, QVariantList{qlonglong(1), QVariantList{u"deep"_s}, QVariantMap{}}}};
}

QVariant nestedLists(int depth)
{
    QVariant value = qlonglong(42);
    for (int i = 0; i < depth; ++i)
        value = QVariantList{value};
    return value;
}

// Empty when both hold the same value of the same type all the way down (NaN
// matching NaN, -0.0 not matching 0.0, dates with the same offset); otherwise
// where they first differ. QVariant's == alone takes 4 and 4.0 as equal.
QString typedDifference(const QVariant &actual, const QVariant &expected, const QString &path)
{
    if (actual.metaType() != expected.metaType()) {
        return path + u": type "_s + QString::fromLatin1(actual.metaType().name()) + u", expected "_s +
               QString::fromLatin1(expected.metaType().name());
    }
    switch (expected.metaType().id()) {
    case QMetaType::Double: {
        const double a = actual.toDouble();
        const double e = expected.toDouble();
        if ((std::isnan(a) && std::isnan(e)) || (a == e && std::signbit(a) == std::signbit(e)))
            return {};
        return path + u": "_s + QString::number(a) + u", expected "_s + QString::number(e);
    }
    case QMetaType::QDateTime: {
        const QDateTime a = actual.toDateTime();
        const QDateTime e = expected.toDateTime();
        if (a == e && a.offsetFromUtc() == e.offsetFromUtc())
            return {};
        return path + u": "_s + a.toString(Qt::ISODateWithMs) + u", expected "_s + e.toString(Qt::ISODateWithMs);
    }
    case QMetaType::QVariantList: {
        const QVariantList a = actual.toList();
        const QVariantList e = expected.toList();
        if (a.size() != e.size())
            return path + u": "_s + QString::number(a.size()) + u" items, expected "_s + QString::number(e.size());
        for (qsizetype i = 0; i < e.size(); ++i) {
            const QString difference = typedDifference(a.at(i), e.at(i), path + u'[' + QString::number(i) + u']');
            if (!difference.isEmpty())
                return difference;
        }
        return {};
    }
    case QMetaType::QVariantMap: {
        const QVariantMap a = actual.toMap();
        const QVariantMap e = expected.toMap();
        if (a.keys() != e.keys())
            return path + u": keys "_s + a.keys().join(u',') + u", expected "_s + e.keys().join(u',');
        for (auto it = e.cbegin(); it != e.cend(); ++it) {
            const QString difference = typedDifference(a.value(it.key()), it.value(), path + u'/' + it.key());
            if (!difference.isEmpty())
                return difference;
        }
        return {};
    }
    default:
        return actual == expected ? QString() : path + u": value differs"_s;
    }
}

} // namespace

class TestPreferences : public QObject {
    Q_OBJECT

private slots:
    void init();

    // The text rule of the class getters with a default.
    void integerWithDefault_data();
    void integerWithDefault();
    void boolWithDefault_data();
    void boolWithDefault();
    void doubleWithDefault_data();
    void doubleWithDefault();
    void stringWithDefault_data();
    void stringWithDefault();

    // The store's own readings (class getters without a default, plain readers).
    void integerReading_data();
    void integerReading();
    void boolReading_data();
    void boolReading();
    void doubleReading_data();
    void doubleReading();
    void storedObjectUnchanged();

    // Writers.
    void writersStoreTypedValues();
    void absentObjectRemovesKey();
    void emptyKeyIsRefused();
    void storeFileLocation();

    // Arrays, byte blocks, archives, rectangles.
    void arrayRoundTrip();
    void arrayDefault_data();
    void arrayDefault();
    void dataReading_data();
    void dataReading();
    void archiveRoundTrip_data();
    void archiveRoundTrip();
    void archiveRejectsOtherBytes_data();
    void archiveRejectsOtherBytes();
    void archivedObjectWriterAndReader();
    void rectRoundTrip();
    void rectDefault_data();
    void rectDefault();

    // Persistence and the file format.
    void typesSurviveRestart_data();
    void typesSurviveRestart();
    void fileHoldsTypedJson();
    void knownFileReadsTypedAndRewritesUnchanged();
    void restartReadsTheFile();
    void fileDecoding_data();
    void fileDecoding();
    void corruptStoreReadsAsDefaults_data();
    void corruptStoreReadsAsDefaults();
    void corruptStoreFirstWriteReplacesIt();

    // ValueText directly.
    void leadingInteger_data();
    void leadingInteger();
    void leadingDouble_data();
    void leadingDouble();
    void boolFromText_data();
    void boolFromText();
    void hugeNumericText();

    void concurrentWriters();
};

void TestPreferences::init()
{
    // A fresh store for every test. A missing file reads as empty; the next
    // handle notices the deletion, as the cached size no longer matches.
    QFile::remove(PreferenceStore::filePath());
    QVERIFY(!QFile::exists(PreferenceStore::filePath()));
    QVERIFY(PreferenceStore::open()->allKeys().isEmpty());
}

// ---------------------------------------------------------------------------
// Text rule

void TestPreferences::integerWithDefault_data()
{
    QTest::addColumn<QVariant>("stored"); // invalid: the key is absent
    QTest::addColumn<qint32>("defaultValue");
    QTest::addColumn<qint32>("expected");

    QTest::newRow("absent gives the default") << QVariant() << 7 << 7;
    QTest::newRow("'abc' gives 0, not the default") << QVariant(u"abc"_s) << 7 << 0;
    QTest::newRow("'42px' gives 42") << QVariant(u"42px"_s) << 7 << 42;
    QTest::newRow("true gives 1") << QVariant(true) << 7 << 1;
    QTest::newRow("false gives 0") << QVariant(false) << 7 << 0;
    QTest::newRow("number 5") << QVariant(qlonglong(5)) << 7 << 5;
    QTest::newRow("number 3.9 reads '3.9'") << QVariant(3.9) << 7 << 3;
    QTest::newRow("number 1e20 reads '1e+20'") << QVariant(1e20) << 7 << 1;
    QTest::newRow("white space and sign") << QVariant(u" \t-12 apples"_s) << 7 << -12;
    QTest::newRow("plus sign") << QVariant(u"+8"_s) << 7 << 8;
    QTest::newRow("empty string") << QVariant(u""_s) << 7 << 0;
    QTest::newRow("byte block '<0a>'") << QVariant(QByteArray("\x0a")) << 7 << 0;
    QTest::newRow("64-bit number wraps to 32 bits") << QVariant(qlonglong((qint64(1) << 32) + 5)) << 7 << 5;
    // '99999999999999999999999' saturates at INT64_MAX, whose low 32 bits are -1.
    QTest::newRow("huge text saturates, then wraps") << QVariant(u"99999999999999999999999"_s) << 7 << -1;
}

void TestPreferences::integerWithDefault()
{
    QFETCH(QVariant, stored);
    QFETCH(qint32, defaultValue);
    QFETCH(qint32, expected);
    QVERIFY(saveObjectToUserDefaults(stored, kKey));
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_Integer(kKey, defaultValue), expected);
}

void TestPreferences::boolWithDefault_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("defaultValue");
    QTest::addColumn<bool>("expected");

    QTest::newRow("absent, default true") << QVariant() << true << true;
    QTest::newRow("absent, default false") << QVariant() << false << false;
    QTest::newRow("'no' gives false") << QVariant(u"no"_s) << true << false;
    QTest::newRow("number 0 gives false") << QVariant(qlonglong(0)) << true << false;
    QTest::newRow("number 2") << QVariant(qlonglong(2)) << false << true;
    QTest::newRow("number 0.5 reads '0.5': false") << QVariant(0.5) << true << false;
    QTest::newRow("'yes'") << QVariant(u"yes"_s) << false << true;
    QTest::newRow("'YES'") << QVariant(u"YES"_s) << false << true;
    QTest::newRow("'true'") << QVariant(u"true"_s) << false << true;
    QTest::newRow("'True'") << QVariant(u"True"_s) << false << true;
    QTest::newRow("'false'") << QVariant(u"false"_s) << true << false;
    QTest::newRow("' -007'") << QVariant(u" -007"_s) << false << true;
    QTest::newRow("'000'") << QVariant(u"000"_s) << true << false;
    QTest::newRow("empty string") << QVariant(u""_s) << true << false;
    QTest::newRow("boolean true") << QVariant(true) << false << true;
    QTest::newRow("boolean false") << QVariant(false) << true << false;
    QTest::newRow("byte block") << QVariant(QByteArray("\x01")) << true << false;
}

void TestPreferences::boolWithDefault()
{
    QFETCH(QVariant, stored);
    QFETCH(bool, defaultValue);
    QFETCH(bool, expected);
    QVERIFY(saveObjectToUserDefaults(stored, kKey));
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_BOOL(kKey, defaultValue), expected);
}

void TestPreferences::doubleWithDefault_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<double>("defaultValue");
    QTest::addColumn<double>("expected");

    QTest::newRow("absent") << QVariant() << 2.5 << 2.5;
    QTest::newRow("'3.25kg'") << QVariant(u"3.25kg"_s) << 2.5 << 3.25;
    QTest::newRow("'abc' gives 0") << QVariant(u"abc"_s) << 2.5 << 0.0;
    QTest::newRow("true") << QVariant(true) << 2.5 << 1.0;
    QTest::newRow("number 7") << QVariant(qlonglong(7)) << 2.5 << 7.0;
    QTest::newRow("number 0.1") << QVariant(0.1) << 2.5 << 0.1;
    QTest::newRow("' -1e3x'") << QVariant(u" -1e3x"_s) << 2.5 << -1000.0;
    QTest::newRow("'.5'") << QVariant(u".5"_s) << 2.5 << 0.5;
    QTest::newRow("'1e400' overflows to infinity") << QVariant(u"1e400"_s) << 2.5 << kInf;
    QTest::newRow("'-1e400'") << QVariant(u"-1e400"_s) << 2.5 << -kInf;
    QTest::newRow("'1e-400' underflows to 0") << QVariant(u"1e-400"_s) << 2.5 << 0.0;
    QTest::newRow("comma is no decimal point") << QVariant(u"3,75"_s) << 2.5 << 3.0;
}

void TestPreferences::doubleWithDefault()
{
    QFETCH(QVariant, stored);
    QFETCH(double, defaultValue);
    QFETCH(double, expected);
    QVERIFY(saveObjectToUserDefaults(stored, kKey));
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_Double(kKey, defaultValue), expected);
}

void TestPreferences::stringWithDefault_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("expected");

    QTest::newRow("absent") << QVariant() << u"fallback"_s;
    QTest::newRow("number 3.5 gives '3.5'") << QVariant(3.5) << u"3.5"_s;
    QTest::newRow("double 3.0 gives '3'") << QVariant(3.0) << u"3"_s;
    QTest::newRow("number 5 gives '5'") << QVariant(qlonglong(5)) << u"5"_s;
    QTest::newRow("negative") << QVariant(qlonglong(-17)) << u"-17"_s;
    QTest::newRow("0.1 shortest") << QVariant(0.1) << u"0.1"_s;
    QTest::newRow("1e20") << QVariant(1e20) << u"1e+20"_s;
    QTest::newRow("true gives '1'") << QVariant(true) << u"1"_s;
    QTest::newRow("false gives '0'") << QVariant(false) << u"0"_s;
    QTest::newRow("string itself") << QVariant(u"héllo"_s) << u"héllo"_s;
    QTest::newRow("empty string") << QVariant(u""_s) << u""_s;
    QTest::newRow("byte block as hex") << QVariant(QByteArray("\x01\xab\xff", 3)) << u"<01abff>"_s;
    QTest::newRow("list") << QVariant(QVariantList{qlonglong(1), u"a"_s, true, 2.5}) << u"[1,\"a\",true,2.5]"_s;
    QTest::newRow("map") << QVariant(QVariantMap{{u"k"_s, qlonglong(2)}, {u"q"_s, u"x\"y"_s}})
                         << u"{\"k\":2,\"q\":\"x\\\"y\"}"_s;
}

void TestPreferences::stringWithDefault()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, expected);
    QVERIFY(saveObjectToUserDefaults(stored, kKey));
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_NSString(kKey, u"fallback"_s), expected);
}

// ---------------------------------------------------------------------------
// The store's readings

void TestPreferences::integerReading_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<qint32>("expected32");
    QTest::addColumn<qint64>("expected64"); // integerFromUserDefaults, default 99

    QTest::newRow("absent") << QVariant() << 0 << qint64(99);
    QTest::newRow("'abc'") << QVariant(u"abc"_s) << 0 << qint64(0);
    QTest::newRow("'42px'") << QVariant(u"42px"_s) << 42 << qint64(42);
    QTest::newRow("true") << QVariant(true) << 1 << qint64(1);
    QTest::newRow("3.9 truncates") << QVariant(3.9) << 3 << qint64(3);
    QTest::newRow("-3.9 truncates") << QVariant(-3.9) << -3 << qint64(-3);
    QTest::newRow("1e30 saturates") << QVariant(1e30) << -1 << kInt64Max;
    QTest::newRow("NaN gives 0") << QVariant(std::nan("")) << 0 << qint64(0);
    QTest::newRow("2^32 + 7 wraps") << QVariant(qlonglong((qint64(1) << 32) + 7)) << 7 << (qint64(1) << 32) + 7;
    QTest::newRow("2^31 wraps negative") << QVariant(qlonglong(qint64(1) << 31)) << std::numeric_limits<qint32>::min()
                                         << (qint64(1) << 31);
    QTest::newRow("byte block") << QVariant(QByteArray("42")) << 0 << qint64(0);
    QTest::newRow("list") << QVariant(QVariantList{qlonglong(4)}) << 0 << qint64(0);
}

void TestPreferences::integerReading()
{
    QFETCH(QVariant, stored);
    QFETCH(qint32, expected32);
    QFETCH(qint64, expected64);
    QVERIFY(saveObjectToUserDefaults(stored, kKey));
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_Integer(kKey), expected32);
    QCOMPARE(integerFromUserDefaults(kKey, 99), expected64);
}

void TestPreferences::boolReading_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("expected");
    QTest::addColumn<bool>("expectedPlain"); // boolFromUserDefaults, default true

    QTest::newRow("absent") << QVariant() << false << true;
    QTest::newRow("0.5 is non-zero") << QVariant(0.5) << true << true;
    QTest::newRow("0") << QVariant(qlonglong(0)) << false << false;
    QTest::newRow("'yes'") << QVariant(u"yes"_s) << true << true;
    QTest::newRow("'no'") << QVariant(u"no"_s) << false << false;
    QTest::newRow("false") << QVariant(false) << false << false;
    QTest::newRow("byte block") << QVariant(QByteArray("1")) << false << false;
}

void TestPreferences::boolReading()
{
    QFETCH(QVariant, stored);
    QFETCH(bool, expected);
    QFETCH(bool, expectedPlain);
    QVERIFY(saveObjectToUserDefaults(stored, kKey));
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_BOOL(kKey), expected);
    QCOMPARE(boolFromUserDefaults(kKey, true), expectedPlain);
}

void TestPreferences::doubleReading_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<double>("expected");
    QTest::addColumn<double>("expectedPlain"); // doubleFromUserDefaults, default -1

    QTest::newRow("absent") << QVariant() << 0.0 << -1.0;
    QTest::newRow("'2.5'") << QVariant(u"2.5"_s) << 2.5 << 2.5;
    QTest::newRow("42") << QVariant(qlonglong(42)) << 42.0 << 42.0;
    QTest::newRow("true") << QVariant(true) << 1.0 << 1.0;
    QTest::newRow("'abc'") << QVariant(u"abc"_s) << 0.0 << 0.0;
    QTest::newRow("byte block") << QVariant(QByteArray("2.5")) << 0.0 << 0.0;
}

void TestPreferences::doubleReading()
{
    QFETCH(QVariant, stored);
    QFETCH(double, expected);
    QFETCH(double, expectedPlain);
    QVERIFY(saveObjectToUserDefaults(stored, kKey));
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_Double(kKey), expected);
    QCOMPARE(doubleFromUserDefaults(kKey, -1.0), expectedPlain);
}

void TestPreferences::storedObjectUnchanged()
{
    QVERIFY(!KDUserDefaultKit::getFromUserDefaults_NSString(kKey).isValid());
    QVERIFY(!KDUserDefaultKit::getFromUserDefaults_Object(kKey).isValid());
    QCOMPARE(objectFromUserDefaults(kKey, u"dflt"_s), QVariant(u"dflt"_s));

    QVERIFY(saveObjectToUserDefaults(3.5, kKey));
    const QVariant asString = KDUserDefaultKit::getFromUserDefaults_NSString(kKey);
    QCOMPARE(asString.metaType().id(), QMetaType::Double);
    QCOMPARE(asString.toDouble(), 3.5);
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_Object(kKey), QVariant(3.5));
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_Array(kKey), QVariant(3.5));
    QCOMPARE(objectFromUserDefaults(kKey, u"dflt"_s), QVariant(3.5));
}

// ---------------------------------------------------------------------------
// Writers

void TestPreferences::writersStoreTypedValues()
{
    const auto typeOf = [](const QString &key) { return objectFromUserDefaults(key, {}).metaType().id(); };

    QVERIFY(saveIntegerToUserDefaults(qint64(1) << 40, u"w.int"_s));
    QCOMPARE(typeOf(u"w.int"_s), QMetaType::LongLong);
    QCOMPARE(integerFromUserDefaults(u"w.int"_s, 0), qint64(1) << 40);

    QVERIFY(saveBoolToUserDefaults(true, u"w.bool"_s));
    QCOMPARE(typeOf(u"w.bool"_s), QMetaType::Bool);

    QVERIFY(saveDoubleToUserDefaults(3.0, u"w.double"_s));
    QCOMPARE(typeOf(u"w.double"_s), QMetaType::Double);

    KDUserDefaultKit::saveToUserDefaultsForKeyIngeterValue(u"k.int"_s, -5);
    QCOMPARE(typeOf(u"k.int"_s), QMetaType::LongLong); // sign-extended to 64 bits
    QCOMPARE(objectFromUserDefaults(u"k.int"_s, {}).toLongLong(), qint64(-5));

    KDUserDefaultKit::saveToUserDefaultsForKeyBOOLValue(u"k.bool"_s, false);
    QCOMPARE(objectFromUserDefaults(u"k.bool"_s, {}), QVariant(false));

    KDUserDefaultKit::saveToUserDefaultsForKeyDoubleValue(u"k.double"_s, -0.125);
    QCOMPARE(objectFromUserDefaults(u"k.double"_s, {}), QVariant(-0.125));

    KDUserDefaultKit::saveToUserDefaultsForKeyNSStringValue(u"k.string"_s, u"text"_s);
    QCOMPARE(objectFromUserDefaults(u"k.string"_s, {}), QVariant(u"text"_s));
    KDUserDefaultKit::saveToUserDefaultsForKeyNSStringValue(u"k.null"_s, QString());
    QCOMPARE(objectFromUserDefaults(u"k.null"_s, u"dflt"_s), QVariant(u""_s));

    KDUserDefaultKit::saveToUserDefaultsForKeyObjectValue(u"k.object"_s, sampleMap());
    QCOMPARE(objectFromUserDefaults(u"k.object"_s, {}), QVariant(sampleMap()));

    // Every writer flushed: the file already holds all of them.
    QSettings::SettingsMap onDisk;
    QVERIFY(freshRead(onDisk));
    QCOMPARE(onDisk.size(), 9);
    QCOMPARE(onDisk.value(u"k.object"_s), QVariant(sampleMap()));
}

void TestPreferences::absentObjectRemovesKey()
{
    QVERIFY(saveObjectToUserDefaults(u"present"_s, kKey));
    QVERIFY(saveObjectToUserDefaults(u"other"_s, u"test.other"_s));
    QVERIFY(storeJson().contains(kKey));

    QVERIFY(saveObjectToUserDefaults(QVariant(), kKey));
    QCOMPARE(objectFromUserDefaults(kKey, u"dflt"_s), QVariant(u"dflt"_s));
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_Integer(kKey, 7), 7);
    QVERIFY(!storeJson().contains(kKey));
    QCOMPARE(objectFromUserDefaults(u"test.other"_s, {}), QVariant(u"other"_s));

    // The class writer too; removing an absent key is fine.
    KDUserDefaultKit::saveToUserDefaultsForKeyObjectValue(u"test.other"_s, QVariant());
    QVERIFY(!KDUserDefaultKit::getFromUserDefaults_Object(u"test.other"_s).isValid());
    QVERIFY(saveObjectToUserDefaults(QVariant(), kKey));
    QVERIFY(storeJson().isEmpty());
}

void TestPreferences::emptyKeyIsRefused()
{
    QVERIFY(!saveIntegerToUserDefaults(1, QString()));
    QVERIFY(!saveObjectToUserDefaults(u"x"_s, QString()));
    QCOMPARE(integerFromUserDefaults(QString(), 4), qint64(4));
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_Integer(QString(), 5), 5);
    QVERIFY(PreferenceStore::open()->allKeys().isEmpty());
}

void TestPreferences::storeFileLocation()
{
    const QString configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QCOMPARE(PreferenceStore::filePath(), configHome + u"/Mirelune/Mirelune.json"_s);
    QVERIFY(qEnvironmentVariable("XDG_CONFIG_HOME").startsWith(QDir::tempPath())); // never the real one

    // The folder is created on demand by the first write.
    QVERIFY(QDir(configHome + u"/Mirelune"_s).removeRecursively());
    QCOMPARE(integerFromUserDefaults(kKey, 3), qint64(3));
    QVERIFY(saveIntegerToUserDefaults(11, kKey));
    QVERIFY(QFile::exists(PreferenceStore::filePath()));
    QCOMPARE(PreferenceStore::open()->fileName(), PreferenceStore::filePath());
}

// ---------------------------------------------------------------------------
// Arrays, byte blocks, archives, rectangles

void TestPreferences::arrayRoundTrip()
{
    const QVariantList array{qlonglong(1), u"two"_s, 3.5, true, QByteArray("\x00\xff", 2), QVariantList{u"nested"_s},
                             sampleMap()};
    KDUserDefaultKit::saveToUserDefaultsForKeyArrayValue(kKey, array);

    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_Array(kKey, {u"dflt"_s}), QVariant(array));

    // Through the plain getter: the byte block holding the archive.
    const QVariant raw = KDUserDefaultKit::getFromUserDefaults_Array(kKey);
    QCOMPARE(raw.metaType().id(), QMetaType::QByteArray);
    QVERIFY(!raw.toByteArray().isEmpty());
    QCOMPARE(unarchiveObject(raw.toByteArray()), QVariant(array));
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_Data(kKey), raw.toByteArray());
    QCOMPARE(archivedObjectFromUserDefaults(kKey, {}), QVariant(array));

    // And after a restart.
    QVERIFY(forceReread());
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_Array(kKey, {}), QVariant(array));

    // An empty array is an archive too, not "nothing".
    KDUserDefaultKit::saveToUserDefaultsForKeyArrayValue(kKey, {});
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_Array(kKey, {u"dflt"_s}), QVariant(QVariantList()));
}

void TestPreferences::arrayDefault_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QVariant>("expected");

    const QVariantList dflt{u"dflt"_s};
    QTest::newRow("absent") << QVariant() << QVariant(dflt);
    QTest::newRow("a plain list is no byte block") << QVariant(QVariantList{qlonglong(1)}) << QVariant(dflt);
    QTest::newRow("a string") << QVariant(u"[1,2]"_s) << QVariant(dflt);
    QTest::newRow("an empty byte block") << QVariant(QByteArray("")) << QVariant(dflt);
    QTest::newRow("bytes that are no archive") << QVariant(QByteArray("\x89PNG\r\n")) << QVariant(dflt);
    QTest::newRow("an archived map comes back as it is")
        << QVariant(archiveObject(sampleMap())) << QVariant(sampleMap());
}

void TestPreferences::arrayDefault()
{
    QFETCH(QVariant, stored);
    QFETCH(QVariant, expected);
    QVERIFY(saveObjectToUserDefaults(stored, kKey));
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_Array(kKey, {u"dflt"_s}), expected);
}

void TestPreferences::dataReading_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("absent") << QVariant() << false << QByteArray();
    QTest::newRow("a string is not a byte block") << QVariant(u"abc"_s) << false << QByteArray();
    QTest::newRow("a number") << QVariant(qlonglong(3)) << false << QByteArray();
    QTest::newRow("ascii") << QVariant(QByteArray("hello")) << true << QByteArray("hello");
    const QByteArray notUtf8("\xff\xfe\x00\xc3\x28\x80\xed\xa0\x80\"\\", 11);
    QTest::newRow("not UTF-8, with NUL") << QVariant(notUtf8) << true << notUtf8;
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    QTest::newRow("every byte value") << QVariant(all) << true << all;
    QTest::newRow("empty block is present") << QVariant(QByteArray("")) << true << QByteArray("");
}

void TestPreferences::dataReading()
{
    QFETCH(QVariant, stored);
    QFETCH(bool, present);
    QFETCH(QByteArray, expected);
    QVERIFY(saveObjectToUserDefaults(stored, kKey));

    for (int pass = 0; pass < 2; ++pass) { // before and after a restart
        const QByteArray got = KDUserDefaultKit::getFromUserDefaults_Data(kKey);
        QCOMPARE(got, expected);
        QCOMPARE(got.isNull(), !present);
        QCOMPARE(dataFromUserDefaults(kKey, "dflt"), present ? expected : QByteArray("dflt"));
        if (present)
            QVERIFY(forceReread());
    }
}

void TestPreferences::archiveRoundTrip_data()
{
    QTest::addColumn<QVariant>("object");

    QTest::newRow("string") << QVariant(u"text"_s);
    QTest::newRow("integer") << QVariant(qlonglong(-7));
    QTest::newRow("list") << QVariant(QVariantList{qlonglong(1), u"two"_s});
    QTest::newRow("map") << QVariant(sampleMap());
    QTest::newRow("rect") << QVariant(QRectF(1, 2, 3, 4));
    QTest::newRow("date") << QVariant(QDateTime(QDate(2020, 6, 8), QTime(9, 30, 0, 250), Qt::UTC));
    QTest::newRow("bytes") << QVariant(QByteArray("\x00\x01", 2));
}

void TestPreferences::archiveRoundTrip()
{
    QFETCH(QVariant, object);
    const QByteArray archive = archiveObject(object);
    QVERIFY(!archive.isEmpty());
    const QVariant back = unarchiveObject(archive);
    QCOMPARE(back.metaType(), object.metaType());
    QCOMPARE(back, object);
}

void TestPreferences::archiveRejectsOtherBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");

    const QByteArray good = archiveObject(QVariant(QVariantList{u"a"_s, qlonglong(1)}));
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text") << QByteArray("hello, world, this is no archive");
    QTest::newRow("truncated") << good.left(good.size() - 1);
    QTest::newRow("header only") << good.left(14);
    QTest::newRow("trailing byte") << good + '\0';
    QByteArray flipped = good;
    flipped[flipped.size() - 1] = char(flipped.at(flipped.size() - 1) ^ 0x01);
    QTest::newRow("payload bit flipped") << flipped;
    // A raw QDataStream of a list claiming four billion items: the header
    // check keeps it from QDataStream, which would reserve for them.
    QByteArray raw;
    {
        QDataStream out(&raw, QIODevice::WriteOnly);
        out << quint32(QMetaType::QVariantList) << qint8(0) << quint32(0xFFFFFFF0);
    }
    QTest::newRow("raw datastream") << raw;
}

void TestPreferences::archiveRejectsOtherBytes()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(!unarchiveObject(bytes).isValid());
}

void TestPreferences::archivedObjectWriterAndReader()
{
    QVERIFY(archiveObject(QVariant()).isEmpty());

    // Archiving yields nothing: nothing stored, false.
    QVERIFY(saveObjectToUserDefaults(u"kept"_s, kKey));
    QVERIFY(!saveArchivedObjectToUserDefaults(QVariant(), kKey));
    QCOMPARE(objectFromUserDefaults(kKey, {}), QVariant(u"kept"_s));
    QCOMPARE(archivedObjectFromUserDefaults(kKey, u"dflt"_s), QVariant(u"dflt"_s)); // not a byte block

    QVERIFY(saveArchivedObjectToUserDefaults(sampleMap(), kKey));
    QCOMPARE(objectFromUserDefaults(kKey, {}).metaType().id(), QMetaType::QByteArray);
    QCOMPARE(archivedObjectFromUserDefaults(kKey, u"dflt"_s), QVariant(sampleMap()));

    QVERIFY(saveObjectToUserDefaults(QByteArray("junk"), kKey));
    QCOMPARE(archivedObjectFromUserDefaults(kKey, u"dflt"_s), QVariant(u"dflt"_s));
    QCOMPARE(archivedObjectFromUserDefaults(u"test.absent"_s, u"dflt"_s), QVariant(u"dflt"_s));
}

void TestPreferences::rectRoundTrip()
{
    const QRectF rect(12.5, -3.25, 640.125, 480.0);
    QVERIFY(saveRectToUserDefaults(rect, kKey));
    QCOMPARE(rectFromUserDefaults(kKey, QRectF(0, 0, 1, 1)), rect);
    QCOMPARE(objectFromUserDefaults(kKey, {}).metaType().id(), QMetaType::QByteArray);
    QCOMPARE(archivedObjectFromUserDefaults(kKey, {}), QVariant(rect));

    QVERIFY(forceReread());
    QCOMPARE(rectFromUserDefaults(kKey, QRectF(0, 0, 1, 1)), rect);

    QVERIFY(saveRectToUserDefaults(QRectF(), kKey)); // a null rectangle is a value too
    QCOMPARE(rectFromUserDefaults(kKey, QRectF(0, 0, 1, 1)), QRectF());
}

void TestPreferences::rectDefault_data()
{
    QTest::addColumn<QVariant>("stored");

    QTest::newRow("absent") << QVariant();
    QTest::newRow("bytes that are no archive") << QVariant(QByteArray("{{1,2},{3,4}}"));
    QTest::newRow("empty byte block") << QVariant(QByteArray(""));
    QTest::newRow("a string") << QVariant(u"1 2 3 4"_s);
    QTest::newRow("a rect stored directly") << QVariant(QRectF(1, 2, 3, 4)); // not a byte block
    QTest::newRow("archive of a string") << QVariant(archiveObject(u"rect"_s));
    QTest::newRow("archive of an integer QRect") << QVariant(archiveObject(QRect(1, 2, 3, 4)));
}

void TestPreferences::rectDefault()
{
    QFETCH(QVariant, stored);
    QVERIFY(saveObjectToUserDefaults(stored, kKey));
    const QRectF dflt(5, 6, 7, 8);
    QCOMPARE(rectFromUserDefaults(kKey, dflt), dflt);
}

// ---------------------------------------------------------------------------
// Persistence and the file format

void TestPreferences::typesSurviveRestart_data()
{
    QTest::addColumn<QVariant>("value");

    QTest::newRow("true") << QVariant(true);
    QTest::newRow("false") << QVariant(false);
    QTest::newRow("qint64 beyond 32 bits") << QVariant(qlonglong((qint64(1) << 40) + 3));
    QTest::newRow("qint64 max") << QVariant(qlonglong(kInt64Max));
    QTest::newRow("qint64 min") << QVariant(qlonglong(kInt64Min));
    QTest::newRow("double 2.5") << QVariant(2.5);
    QTest::newRow("integral double 3.0") << QVariant(3.0);
    QTest::newRow("double 0.1") << QVariant(0.1);
    QTest::newRow("double 1e300") << QVariant(1e300);
    QTest::newRow("double 1e17") << QVariant(1e17);
    QTest::newRow("double 2^63") << QVariant(9223372036854775808.0);
    QTest::newRow("double -2^63") << QVariant(-9223372036854775808.0);
    QTest::newRow("double -1.5e-300") << QVariant(-1.5e-300);
    QTest::newRow("double -0.0") << QVariant(-0.0);
    QTest::newRow("infinity") << QVariant(kInf);
    QTest::newRow("minus infinity") << QVariant(-kInf);
    QTest::newRow("string with escapes") << QVariant(u"tab\t\"q\" \\ nl\n \u0001 ü 😀"_s);
    QTest::newRow("empty string") << QVariant(u""_s);
    QTest::newRow("bytes, not UTF-8") << QVariant(QByteArray("\xff\xfe\x00\x80\xc0", 5));
    QTest::newRow("empty bytes") << QVariant(QByteArray(""));
    QTest::newRow("date with offset") << QVariant(
        QDateTime(QDate(2020, 6, 8), QTime(10, 11, 12, 345), Qt::OffsetFromUTC, 7200));
    QTest::newRow("utc date") << QVariant(QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59, 999), Qt::UTC));
    QTest::newRow("nested list") << QVariant(
        QVariantList{qlonglong(1), QVariantList{2.5, QVariantList{}}, QVariantMap{{u"a"_s, false}}, QVariant()});
    QTest::newRow("nested map") << QVariant(sampleMap());
    QTest::newRow("map with a $bytes key") << QVariant(QVariantMap{{u"$bytes"_s, u"not base64!"_s}});
    QTest::newRow("map with a $map key") << QVariant(QVariantMap{{u"$map"_s, QVariantMap{{u"$date"_s, 1.5}}}});
    QTest::newRow("map with two $ keys") << QVariant(QVariantMap{{u"$bytes"_s, u"AA=="_s}, {u"$x"_s, true}});
    QTest::newRow("list of tag-like maps")
        << QVariant(QVariantList{QVariantMap{{u"$double"_s, u"nan"_s}}, QVariantMap{{u"$variant"_s, u""_s}}});
    QTest::newRow("other type: QRectF") << QVariant(QRectF(1, 2, 3, 4));
    QTest::newRow("other type: QDate") << QVariant(QDate(2021, 2, 3));
    QTest::newRow("nesting deeper than the JSON limit") << nestedLists(1500);
}

void TestPreferences::typesSurviveRestart()
{
    QFETCH(QVariant, value);
    QVERIFY(saveObjectToUserDefaults(value, kKey));
    QCOMPARE(objectFromUserDefaults(kKey, {}), value);

    // The file on disk, read without QSettings.
    QSettings::SettingsMap onDisk;
    QVERIFY(freshRead(onDisk));
    QCOMPARE(onDisk.size(), 1);
    QCOMPARE(onDisk.value(kKey).metaType(), value.metaType());
    QCOMPARE(onDisk.value(kKey), value);
    if (value.metaType().id() == QMetaType::Double)
        QCOMPARE(std::signbit(onDisk.value(kKey).toDouble()), std::signbit(value.toDouble()));

    // Through the store after a restart.
    QVERIFY(forceReread());
    const QVariant back = objectFromUserDefaults(kKey, u"dflt"_s);
    QCOMPARE(back.metaType(), value.metaType());
    QCOMPARE(back, value);
    if (value.metaType().id() == QMetaType::Double)
        QCOMPARE(std::signbit(back.toDouble()), std::signbit(value.toDouble()));
}

void TestPreferences::fileHoldsTypedJson()
{
    QVERIFY(saveBoolToUserDefaults(true, u"t.bool"_s));
    QVERIFY(saveIntegerToUserDefaults((qint64(1) << 40) + 3, u"t.int"_s));
    QVERIFY(saveDoubleToUserDefaults(3.0, u"t.double"_s));
    QVERIFY(saveDoubleToUserDefaults(2.5, u"t.half"_s));
    QVERIFY(saveDoubleToUserDefaults(std::nan(""), u"t.nan"_s));
    QVERIFY(saveObjectToUserDefaults(u"s"_s, u"t.string"_s));
    QVERIFY(saveObjectToUserDefaults(QByteArray("\xff\x00", 2), u"t.bytes"_s));
    QVERIFY(saveObjectToUserDefaults(QVariantMap{{u"$bytes"_s, u"x"_s}}, u"t.tagmap"_s));
    QVERIFY(saveObjectToUserDefaults(QVariantList{qlonglong(1), u"a"_s}, u"t.list"_s));
    QVERIFY(saveObjectToUserDefaults(QDateTime(QDate(2020, 6, 8), QTime(10, 0, 0, 5), Qt::OffsetFromUTC, -3600),
                                     u"t.date"_s));

    const QByteArray text = readStoreFile();
    QJsonParseError error;
    const QJsonObject json = QJsonDocument::fromJson(text, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(json.size(), 10);
    QVERIFY(json.value(u"t.bool"_s).isBool());
    QCOMPARE(json.value(u"t.int"_s).toVariant().metaType().id(), QMetaType::LongLong);
    QCOMPARE(json.value(u"t.int"_s).toInteger(), (qint64(1) << 40) + 3);
    // Qt's reader would take a plain 3.0 for the integer 3: integral doubles are tagged.
    QCOMPARE(json.value(u"t.double"_s).toObject(), (QJsonObject{{u"$double"_s, u"3"_s}}));
    QCOMPARE(json.value(u"t.half"_s).toVariant().metaType().id(), QMetaType::Double);
    QVERIFY2(text.contains("\n    \"t.half\": 2.5,\n"), text.constData());
    QCOMPARE(json.value(u"t.nan"_s).toObject(), (QJsonObject{{u"$double"_s, u"nan"_s}}));
    QCOMPARE(json.value(u"t.string"_s).toString(), u"s"_s);
    QCOMPARE(json.value(u"t.bytes"_s).toObject(), (QJsonObject{{u"$bytes"_s, u"/wA="_s}}));
    QCOMPARE(json.value(u"t.tagmap"_s).toObject(), (QJsonObject{{u"$map"_s, QJsonObject{{u"$bytes"_s, u"x"_s}}}}));
    QVERIFY(json.value(u"t.list"_s).isArray());
    QCOMPARE(json.value(u"t.date"_s).toObject(), (QJsonObject{{u"$date"_s, u"2020-06-08T10:00:00.005-01:00"_s}}));

    QVERIFY(forceReread());
    QVERIFY(std::isnan(doubleFromUserDefaults(u"t.nan"_s, 0)));
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_Integer(u"t.int"_s), 3); // wrapped to 32 bits
    QCOMPARE(integerFromUserDefaults(u"t.int"_s, 0), (qint64(1) << 40) + 3);
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_BOOL(u"t.bool"_s, false), true);
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_NSString(u"t.double"_s, {}), u"3"_s);
}

void TestPreferences::knownFileReadsTypedAndRewritesUnchanged()
{
    // A store file exactly as this format lays it out: one key a line in
    // sorted order, compact values, tags where a type would otherwise be lost.
    const QByteArray rectArchive = archiveObject(QRectF(1, 2, 3, 4)).toBase64();
    QVERIFY(!rectArchive.isEmpty());
    const QByteArray file =
        "{\n"
        "    \"bool.off\": false,\n"
        "    \"bool.on\": true,\n"
        "    \"bytes\": {\"$bytes\":\"/wCAAQ==\"},\n"
        "    \"bytes.empty\": {\"$bytes\":\"\"},\n"
        "    \"date\": {\"$date\":\"2020-06-08T10:11:12.345+02:00\"},\n"
        "    \"double.big\": 1e+300,\n"
        "    \"double.fraction\": 2.5,\n"
        "    \"double.inf\": {\"$double\":\"inf\"},\n"
        "    \"double.nan\": {\"$double\":\"nan\"},\n"
        "    \"double.negzero\": {\"$double\":\"-0\"},\n"
        "    \"double.tiny\": -1.5e-300,\n"
        "    \"double.whole\": {\"$double\":\"3\"},\n"
        "    \"double.whole.big\": {\"$double\":\"1e+17\"},\n"
        "    \"int\": 42,\n"
        "    \"int.max\": 9223372036854775807,\n"
        "    \"int.min\": -9223372036854775808,\n"
        "    \"int.negative\": -7,\n"
        "    \"key \\\"quoted\\\"\\t\": \"k\",\n"
        "    \"list\": [1,\"two\",0.1,{\"$double\":\"4\"},null,[],{},[{\"$bytes\":\"aGk=\"}]],\n"
        "    \"map\": {\"flag\":true,\"inner\":{\"$bytes\":\"aGk=\"},\"name\":\"x\"},\n"
        "    \"map.tagged\": {\"$map\":{\"$bytes\":\"not base64\"}},\n"
        "    \"rect\": {\"$variant\":\"" +
        rectArchive +
        "\"},\n"
        "    \"string\": \"q\\\"b\\\\s/ \\b\\f\\n\\r\\t \\u0001\\u001f \xc3\xbc \xe2\x82\xac \xf0\x9f\x98\x80\",\n"
        "    \"string.empty\": \"\",\n"
        "    \"\xc3\x9cn\xc3\xafk\xc3\xa9y\": \"v\"\n"
        "}\n";

    const QVariantMap expected{
        {u"bool.off"_s, false},
        {u"bool.on"_s, true},
        {u"bytes"_s, QByteArray("\xff\x00\x80\x01", 4)},
        {u"bytes.empty"_s, QByteArray()},
        {u"date"_s, QDateTime(QDate(2020, 6, 8), QTime(10, 11, 12, 345), Qt::OffsetFromUTC, 7200)},
        {u"double.big"_s, 1e300},
        {u"double.fraction"_s, 2.5},
        {u"double.inf"_s, kInf},
        {u"double.nan"_s, std::numeric_limits<double>::quiet_NaN()},
        {u"double.negzero"_s, -0.0},
        {u"double.tiny"_s, -1.5e-300},
        {u"double.whole"_s, 3.0},
        {u"double.whole.big"_s, 1e17},
        {u"int"_s, qlonglong(42)},
        {u"int.max"_s, qlonglong(kInt64Max)},
        {u"int.min"_s, qlonglong(kInt64Min)},
        {u"int.negative"_s, qlonglong(-7)},
        {u"key \"quoted\"\t"_s, u"k"_s},
        {u"list"_s, QVariantList{qlonglong(1), u"two"_s, 0.1, 4.0, QVariant(), QVariantList{}, QVariantMap{},
                                 QVariantList{QByteArray("hi")}}},
        {u"map"_s, QVariantMap{{u"flag"_s, true}, {u"inner"_s, QByteArray("hi")}, {u"name"_s, u"x"_s}}},
        {u"map.tagged"_s, QVariantMap{{u"$bytes"_s, u"not base64"_s}}},
        {u"rect"_s, QRectF(1, 2, 3, 4)},
        {u"string"_s, u"q\"b\\s/ \b\f\n\r\t \u0001\u001f ü € 😀"_s},
        {u"string.empty"_s, u""_s},
        {u"Ünïkéy"_s, u"v"_s},
    };

    QSettings::SettingsMap read;
    {
        QBuffer buffer;
        buffer.setData(file);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        QVERIFY(PreferenceStore::readJson(buffer, read));
    }
    QCOMPARE(read.keys(), expected.keys());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const QString difference = typedDifference(read.value(it.key()), it.value(), it.key());
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }

    QBuffer rewritten;
    QVERIFY(rewritten.open(QIODevice::WriteOnly));
    QVERIFY(PreferenceStore::writeJson(rewritten, read));
    rewritten.close();

    QSettings::SettingsMap reread;
    QVERIFY(rewritten.open(QIODevice::ReadOnly));
    QVERIFY(PreferenceStore::readJson(rewritten, reread));
    const QString difference = typedDifference(reread, expected, u"rewritten"_s);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    // Files written before keep their exact bytes when the store rewrites them.
    QCOMPARE(rewritten.data(), file);
}

void TestPreferences::restartReadsTheFile()
{
    // The restart helper really makes the store read the file again: an edit
    // made behind its back shows up.
    QVERIFY(saveIntegerToUserDefaults(1, kKey));
    QVERIFY(writeStoreFile("{\"test.value\": 2, \"test.extra\": {\"$bytes\": \"aGk=\"}}"));
    QCOMPARE(integerFromUserDefaults(kKey, 0), qint64(2));
    QCOMPARE(dataFromUserDefaults(u"test.extra"_s, {}), QByteArray("hi"));

    // And the next write keeps the other keys of the edited file.
    QVERIFY(saveIntegerToUserDefaults(3, kKey));
    QSettings::SettingsMap onDisk;
    QVERIFY(freshRead(onDisk));
    QCOMPARE(onDisk.value(kKey), QVariant(qlonglong(3)));
    QCOMPARE(onDisk.value(u"test.extra"_s), QVariant(QByteArray("hi")));
}

void TestPreferences::fileDecoding_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("integer") << QByteArray("7") << QVariant(qlonglong(7));
    QTest::newRow("double") << QByteArray("7.5") << QVariant(7.5);
    QTest::newRow("exponent") << QByteArray("1.5e-2") << QVariant(0.015);
    // Qt's reader makes an integral number an integer however it is written.
    QTest::newRow("hand-written 7.0 is an integer") << QByteArray("7.0") << QVariant(qlonglong(7));
    QTest::newRow("tagged integral double") << QByteArray(R"({"$double":"7"})") << QVariant(7.0);
    QTest::newRow("tagged -0") << QByteArray(R"({"$double":"-0"})") << QVariant(-0.0);
    QTest::newRow("tagged non-number stays a map")
        << QByteArray(R"({"$double":"seven"})") << QVariant(QVariantMap{{u"$double"_s, u"seven"_s}});
    QTest::newRow("integer beyond 64 bits is a double") << QByteArray("99999999999999999999999") << QVariant(1e23);
    QTest::newRow("bytes") << QByteArray(R"({"$bytes":"AAH/"})") << QVariant(QByteArray("\x00\x01\xff", 3));
    QTest::newRow("malformed base64 stays a map")
        << QByteArray(R"({"$bytes":"!!"})") << QVariant(QVariantMap{{u"$bytes"_s, u"!!"_s}});
    QTest::newRow("unknown tag stays a map")
        << QByteArray(R"({"$foo":1})") << QVariant(QVariantMap{{u"$foo"_s, qlonglong(1)}});
    QTest::newRow("two members are never a tag")
        << QByteArray(R"({"$bytes":"AA==","b":1})")
        << QVariant(QVariantMap{{u"$bytes"_s, u"AA=="_s}, {u"b"_s, qlonglong(1)}});
    QTest::newRow("$map unwraps one level")
        << QByteArray(R"({"$map":{"$bytes":"AA=="}})") << QVariant(QVariantMap{{u"$bytes"_s, u"AA=="_s}});
    QTest::newRow("bad date stays a map")
        << QByteArray(R"({"$date":"yesterday"})") << QVariant(QVariantMap{{u"$date"_s, u"yesterday"_s}});
    QTest::newRow("bad archive stays a map")
        << QByteArray(R"({"$variant":"AAAA"})") << QVariant(QVariantMap{{u"$variant"_s, u"AAAA"_s}});
    QTest::newRow("null inside a list") << QByteArray("[1,null]") << QVariant(QVariantList{qlonglong(1), QVariant()});
}

void TestPreferences::fileDecoding()
{
    QFETCH(QByteArray, json);
    QFETCH(QVariant, expected);
    QVERIFY(writeStoreFile("{\"test.value\": " + json + ", \"test.null\": null}"));
    const QVariant value = objectFromUserDefaults(kKey, {});
    QCOMPARE(value.metaType(), expected.metaType());
    QCOMPARE(value, expected);
    // A top-level null is no value: the key is absent.
    QCOMPARE(objectFromUserDefaults(u"test.null"_s, u"dflt"_s), QVariant(u"dflt"_s));
}

void TestPreferences::corruptStoreReadsAsDefaults_data()
{
    QTest::addColumn<QByteArray>("garbage");

    QTest::newRow("binary garbage") << QByteArray("\x00\xff\xfe garbage \x80\x81", 14);
    QTest::newRow("truncated JSON") << QByteArray("{\"test.value\": 5, \"test.other\": ");
    QTest::newRow("JSON array") << QByteArray("[1, 2, 3]");
    QTest::newRow("JSON string") << QByteArray("\"test.value\"");
    QTest::newRow("INI text") << QByteArray("[General]\ntest.value=5\n");
    QTest::newRow("invalid UTF-8 in a string") << QByteArray("{\"test.value\": \"\xff\xfe\"}");
}

void TestPreferences::corruptStoreReadsAsDefaults()
{
    QFETCH(QByteArray, garbage);
    QVERIFY(saveIntegerToUserDefaults(5, kKey)); // overwritten by the garbage below
    QVERIFY(writeStoreFile(garbage));

    QCOMPARE(PreferenceStore::open()->status(), QSettings::FormatError);
    QCOMPARE(integerFromUserDefaults(kKey, 9), qint64(9));
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_Integer(kKey, 7), 7);
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_Integer(kKey), 0);
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_BOOL(kKey, true), true);
    QCOMPARE(objectFromUserDefaults(kKey, u"dflt"_s), QVariant(u"dflt"_s));
    QCOMPARE(rectFromUserDefaults(kKey, QRectF(1, 1, 1, 1)), QRectF(1, 1, 1, 1));
    QCOMPARE(readStoreFile(), garbage); // reading leaves the file alone

    // A later write replaces it with a clean file holding just the new value.
    QVERIFY(saveObjectToUserDefaults(u"fresh"_s, u"test.new"_s));
    QSettings::SettingsMap onDisk;
    QVERIFY(freshRead(onDisk));
    QCOMPARE(onDisk, (QSettings::SettingsMap{{u"test.new"_s, u"fresh"_s}}));
    QVERIFY(forceReread());
    QCOMPARE(PreferenceStore::open()->status(), QSettings::NoError);
    QCOMPARE(objectFromUserDefaults(u"test.new"_s, {}), QVariant(u"fresh"_s));
    QCOMPARE(integerFromUserDefaults(kKey, 9), qint64(9));
}

void TestPreferences::corruptStoreFirstWriteReplacesIt()
{
    // The writer's own handle is the first to meet the garbage (as in a new
    // process): QSettings keeps reporting FormatError on that handle even
    // though its sync() replaced the file, and the flush still reports success.
    QVERIFY(writeStoreFile("not json at all, and of its own length"));
    const auto settings = PreferenceStore::open();
    QCOMPARE(settings->status(), QSettings::FormatError);
    QVERIFY(!PreferenceStore::flush(*settings)); // nothing to write: the file stays unreadable
    settings->setValue(kKey, qlonglong(12));
    QVERIFY(PreferenceStore::flush(*settings));
    QCOMPARE(settings->status(), QSettings::FormatError);
    QCOMPARE(storeJson(), (QJsonObject{{kKey, 12}}));

    QVERIFY(writeStoreFile("garbage again, a little longer than the first"));
    QVERIFY(saveBoolToUserDefaults(true, u"test.flag"_s));
    QCOMPARE(storeJson(), (QJsonObject{{u"test.flag"_s, true}}));
}

// ---------------------------------------------------------------------------
// ValueText

void TestPreferences::leadingInteger_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("expected");

    QTest::newRow("empty") << u""_s << qint64(0);
    QTest::newRow("letters") << u"abc"_s << qint64(0);
    QTest::newRow("42px") << u"42px"_s << qint64(42);
    QTest::newRow("white space") << u" \t\n 17"_s << qint64(17);
    QTest::newRow("unicode space") << u"\u00a0\u2003 5"_s << qint64(5);
    QTest::newRow("minus") << u"-8"_s << qint64(-8);
    QTest::newRow("plus") << u"+8"_s << qint64(8);
    QTest::newRow("two signs") << u"+-8"_s << qint64(0);
    QTest::newRow("sign then space") << u"- 8"_s << qint64(0);
    QTest::newRow("decimal") << u"3.99"_s << qint64(3);
    QTest::newRow("leading zeros") << u"0007"_s << qint64(7);
    QTest::newRow("hex is not read") << u"0x1f"_s << qint64(0);
    QTest::newRow("arabic-indic digits are not read") << u"\u0661\u0662"_s << qint64(0);
    QTest::newRow("max") << u"9223372036854775807"_s << kInt64Max;
    QTest::newRow("max + 1 saturates") << u"9223372036854775808"_s << kInt64Max;
    QTest::newRow("min") << u"-9223372036854775808"_s << kInt64Min;
    QTest::newRow("min - 1 saturates") << u"-9223372036854775809"_s << kInt64Min;
    QTest::newRow("huge") << u"99999999999999999999999"_s << kInt64Max;
    QTest::newRow("huge negative") << u"-99999999999999999999999xyz"_s << kInt64Min;
    QTest::newRow("very long") << QString(5000, u'9') << kInt64Max;
}

void TestPreferences::leadingInteger()
{
    QFETCH(QString, text);
    QFETCH(qint64, expected);
    QCOMPARE(ValueText::leadingInteger(text), expected);
}

void TestPreferences::leadingDouble_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("empty") << u""_s << 0.0;
    QTest::newRow("letters") << u"abc"_s << 0.0;
    QTest::newRow("3.5") << u"3.5"_s << 3.5;
    QTest::newRow("trailing text") << u"3.25kg"_s << 3.25;
    QTest::newRow("white space, minus") << u"  -2.5"_s << -2.5;
    QTest::newRow("plus") << u"+2.5"_s << 2.5;
    QTest::newRow("two signs") << u"--2"_s << 0.0;
    QTest::newRow("exponent") << u"1.5e3"_s << 1500.0;
    QTest::newRow("dangling exponent") << u"2e"_s << 2.0;
    QTest::newRow("trailing point") << u"7."_s << 7.0;
    QTest::newRow("leading point") << u".25"_s << 0.25;
    QTest::newRow("lone point") << u"."_s << 0.0;
    QTest::newRow("comma") << u"1,5"_s << 1.0;
    QTest::newRow("non-ASCII after") << u"4.5€"_s << 4.5;
    QTest::newRow("huge integer text") << u"99999999999999999999999"_s << 1e23;
    QTest::newRow("overflow") << u"1e999"_s << kInf;
    QTest::newRow("overflow, many digits") << (QString(400, u'9') + u".5"_s) << kInf;
    QTest::newRow("underflow") << u"-1e-999"_s << -0.0;
    QTest::newRow("underflow, leading zeros") << (u"0."_s + QString(400, u'0') + u"1"_s) << 0.0;
    QTest::newRow("inf") << u"inf"_s << kInf;
    QTest::newRow("-Infinity") << u"-Infinity"_s << -kInf;
}

void TestPreferences::leadingDouble()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(ValueText::leadingDouble(text), expected);
}

void TestPreferences::boolFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");

    QTest::newRow("empty") << u""_s << false;
    QTest::newRow("Y") << u"Y"_s << true;
    QTest::newRow("y") << u"yes"_s << true;
    QTest::newRow("T") << u"TRUE"_s << true;
    QTest::newRow("t") << u"true"_s << true;
    QTest::newRow("n") << u"no"_s << false;
    QTest::newRow("f") << u"false"_s << false;
    QTest::newRow("1") << u"1"_s << true;
    QTest::newRow("9") << u"9"_s << true;
    QTest::newRow("0") << u"0"_s << false;
    QTest::newRow("zeros then digit") << u"0001"_s << true;
    QTest::newRow("zeros then point") << u"0.5"_s << false;
    QTest::newRow("space sign zeros") << u"  +00y"_s << true;
    QTest::newRow("minus one") << u"-1"_s << true;
    QTest::newRow("two signs") << u"--1"_s << false;
    QTest::newRow("space after sign") << u"- 1"_s << false;
    QTest::newRow("leading letter") << u"x1"_s << false;
}

void TestPreferences::boolFromText()
{
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(ValueText::boolFromText(text), expected);
}

void TestPreferences::hugeNumericText()
{
    const QString huge = u"99999999999999999999999"_s;
    QVERIFY(saveObjectToUserDefaults(huge, kKey));
    QCOMPARE(integerFromUserDefaults(kKey, 0), kInt64Max);
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_Integer(kKey), static_cast<qint32>(kInt64Max));
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_Integer(kKey, 7), static_cast<qint32>(kInt64Max));
    QCOMPARE(doubleFromUserDefaults(kKey, 0), 1e23);
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_Double(kKey, 0), 1e23);
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_BOOL(kKey, false), true);
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_NSString(kKey, {}), huge);

    QVERIFY(saveObjectToUserDefaults(QString(u"-"_s + huge), kKey));
    QCOMPARE(integerFromUserDefaults(kKey, 0), kInt64Min);
    QCOMPARE(KDUserDefaultKit::getFromUserDefaults_Integer(kKey), 0); // low 32 bits of INT64_MIN
}

void TestPreferences::concurrentWriters()
{
    constexpr int threads = 8;
    constexpr int perThread = 25;
    std::atomic<int> failures{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([t, &failures] {
            for (int i = 0; i < perThread; ++i) {
                const QString key = u"thread%1.key%2"_s.arg(t).arg(i);
                if (!saveIntegerToUserDefaults(t * 1000 + i, key) || integerFromUserDefaults(key, -1) != t * 1000 + i ||
                    KDUserDefaultKit::getFromUserDefaults_Integer(u"thread0.key0"_s, -1) == 12345)
                    ++failures;
            }
        });
    }
    for (auto &worker : workers)
        worker.join();
    QCOMPARE(failures.load(), 0);

    QSettings::SettingsMap onDisk;
    QVERIFY(freshRead(onDisk));
    QCOMPARE(onDisk.size(), threads * perThread);
    QCOMPARE(onDisk.value(u"thread7.key24"_s), QVariant(qlonglong(7024)));
}

MIRELUNE_TEST_MAIN(TestPreferences)
#include "tst_preferences.moc"
