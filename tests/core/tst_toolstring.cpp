#include "tools/ToolString.h"

#include "support/TestMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include <cmath>
#include <limits>

#include <net/if.h>

namespace {

QString absentString()
{
    return QString();
}

QString emptyString()
{
    return QStringLiteral("");
}

bool makeFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("x") == 1;
}

bool makeFolder(const QString &path)
{
    return QDir().mkpath(path);
}

} // namespace

class TestToolString final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    // JSON
    void dictionaryToJson();
    void dictionaryToJsonUnrepresentable();
    void dictionaryWithJsonString_data();
    void dictionaryWithJsonString();

    // Text
    void smartURLForString_data();
    void smartURLForString();
    void isSuperString_data();
    void isSuperString();
    void replaceString_data();
    void replaceString();
    void isEqualIgnoreCase_data();
    void isEqualIgnoreCase();
    void isEqual_data();
    void isEqual();
    void trim_data();
    void trim();
    void trimWithCustomCharacterSet_data();
    void trimWithCustomCharacterSet();
    void substring_data();
    void substring();

    // Dates and durations
    void stringFromDate();
    void stringFromDateUsesLocalTime();
    void stringFromDateWithFormatter_data();
    void stringFromDateWithFormatter();
    void stringFromDateWithLocalization_data();
    void stringFromDateWithLocalization();
    void stringFromDuration_data();
    void stringFromDuration();
    void stringFromDurationWithMS_data();
    void stringFromDurationWithMS();
    void secondFromString_data();
    void secondFromString();

    // Unique renaming
    void renameFromFilePath();
    void renameFromFilePathSpacesAndNonAscii();
    void renameFromFilePathCounterTextInName();
    void renameFromFilePathRelative();
    void renameFromFilePathCallerCountNotZero();
    void renameFromDirectory();

    // Base64 and digest
    void base64Encode_data();
    void base64Encode();
    void base64EncodeLength();
    void base64Decode_data();
    void base64Decode();
    void base64RoundTrip_data();
    void base64RoundTrip();
    void md5_data();
    void md5();

    // Machine facts
    void getOSversion();
    void getOSLanguage();
    void getOSHash();
    void hashForHardwareAddress_data();
    void hashForHardwareAddress();

    // Sizes
    void formatSizeFromByte_data();
    void formatSizeFromByte();
    void formatSizeFromByteDefaultDecimals_data();
    void formatSizeFromByteDefaultDecimals();

    // Identifiers and folders
    void getGUID();
    void getTempDir();
    void getUniqeNameInTempDirWithExtenionName();

private:
    QTemporaryDir mDir;
};

void TestToolString::initTestCase()
{
    QVERIFY(mDir.isValid());
}

void TestToolString::cleanup()
{
    QLocale::setDefault(QLocale::system());
}

// --- JSON ----------------------------------------------------------------------

void TestToolString::dictionaryToJson()
{
    QVariantMap map;
    map.insert(QStringLiteral("name"), QStringLiteral("文档 a.pdf"));
    map.insert(QStringLiteral("count"), 3);
    map.insert(QStringLiteral("list"), QVariantList{1, QStringLiteral("two")});
    const QString json = ToolString::dictionaryToJson(map);
    QVERIFY(json.contains(QLatin1Char('\n')));            // pretty-printed
    QVERIFY(json.contains(QStringLiteral("文档 a.pdf"))); // decoded as UTF-8, not escaped
    QCOMPARE(ToolString::dictionaryWithJsonString(json).toMap(), map);

    const QVariantList list{QStringLiteral("a"), 2};
    QCOMPARE(ToolString::dictionaryWithJsonString(ToolString::dictionaryToJson(list)).toList(), list);
}

void TestToolString::dictionaryToJsonUnrepresentable()
{
    QCOMPARE(ToolString::dictionaryToJson(QVariant()), emptyString());
    QCOMPARE(ToolString::dictionaryToJson(QVariant(QStringLiteral("scalar"))), emptyString());
    QCOMPARE(ToolString::dictionaryToJson(QVariant(42)), emptyString());
}

void TestToolString::dictionaryWithJsonString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("expected");

    QVariantMap map;
    map.insert(QStringLiteral("a"), 1);
    map.insert(QStringLiteral("b"), QVariantMap{{QStringLiteral("c"), QStringLiteral("ü")}});
    QTest::newRow("object") << QStringLiteral("{\"a\": 1, \"b\": {\"c\": \"ü\"}}") << QVariant(map);
    QTest::newRow("array") << QStringLiteral("[1, \"x\", null]")
                           << QVariant(QVariantList{1, QStringLiteral("x"), QVariant::fromValue(nullptr)});
    QTest::newRow("absent") << absentString() << QVariant();
    QTest::newRow("empty") << emptyString() << QVariant();
    QTest::newRow("broken") << QStringLiteral("{\"a\": ") << QVariant();
    QTest::newRow("trailing garbage") << QStringLiteral("{} x") << QVariant();
    // Containers only at the top, as NSJSONSerialization without fragments.
    QTest::newRow("top-level number") << QStringLiteral("3") << QVariant();
}

void TestToolString::dictionaryWithJsonString()
{
    QFETCH(QString, text);
    QFETCH(QVariant, expected);
    const QVariant result = ToolString::dictionaryWithJsonString(text);
    QCOMPARE(result.isValid(), expected.isValid());
    if (expected.isValid()) {
        QCOMPARE(result, expected);
    }
}

// --- text ----------------------------------------------------------------------

void TestToolString::smartURLForString_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected"); // null: absent (invalid) URL

    QTest::newRow("bare host") << QStringLiteral("example.com") << QStringLiteral("http://example.com");
    QTest::newRow("blanks and tabs trimmed")
        << QStringLiteral(" \t example.com/a?b=1 \t") << QStringLiteral("http://example.com/a?b=1");
    QTest::newRow("http") << QStringLiteral("http://example.com/x") << QStringLiteral("http://example.com/x");
    QTest::newRow("https mixed case") << QStringLiteral("HtTpS://example.com") << QStringLiteral("https://example.com");
    QTest::newRow("ftp refused") << QStringLiteral("ftp://example.com") << absentString();
    QTest::newRow("file refused") << QStringLiteral("file:///etc/passwd") << absentString();
    QTest::newRow("empty scheme refused") << QStringLiteral("://example.com") << absentString();
    QTest::newRow("scheme before first ://") << QStringLiteral("x://http://example.com") << absentString();
    QTest::newRow("empty") << emptyString() << absentString();
    QTest::newRow("blanks only") << QStringLiteral(" \t  ") << absentString();
    QTest::newRow("unparsable host") << QStringLiteral("http://exa mple.com") << absentString();
}

void TestToolString::smartURLForString()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    const QUrl url = ToolString::smartURLForString(input);
    if (expected.isNull()) {
        QVERIFY2(!url.isValid(), qPrintable(url.toString()));
    } else {
        QVERIFY(url.isValid());
        QCOMPARE(url, QUrl(expected));
    }
}

void TestToolString::isSuperString_data()
{
    QTest::addColumn<QString>("string");
    QTest::addColumn<QString>("sub");
    QTest::addColumn<bool>("expected");

    QTest::newRow("contains") << QStringLiteral("hello world") << QStringLiteral("lo w") << true;
    QTest::newRow("equal") << QStringLiteral("abc") << QStringLiteral("abc") << true;
    QTest::newRow("case-sensitive") << QStringLiteral("Hello") << QStringLiteral("hello") << false;
    QTest::newRow("missing") << QStringLiteral("abc") << QStringLiteral("abd") << false;
    QTest::newRow("empty second") << QStringLiteral("abc") << emptyString() << false;
    QTest::newRow("absent second") << QStringLiteral("abc") << absentString() << false;
    QTest::newRow("absent first") << absentString() << QStringLiteral("a") << false;
    QTest::newRow("both empty") << emptyString() << emptyString() << false;
    QTest::newRow("non-ASCII") << QStringLiteral("Übersicht 文档") << QStringLiteral("文") << true;
}

void TestToolString::isSuperString()
{
    QFETCH(QString, string);
    QFETCH(QString, sub);
    QFETCH(bool, expected);
    QCOMPARE(ToolString::isSuperString(string, sub), expected);
}

void TestToolString::replaceString_data()
{
    QTest::addColumn<QString>("string");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("expected");

    QTest::newRow("every occurrence") << QStringLiteral("a-b-c") << QStringLiteral("-") << QStringLiteral("+")
                                      << QStringLiteral("a+b+c");
    QTest::newRow("left to right, no overlap")
        << QStringLiteral("aaa") << QStringLiteral("aa") << QStringLiteral("b") << QStringLiteral("ba");
    QTest::newRow("case-sensitive") << QStringLiteral("Aa") << QStringLiteral("a") << QStringLiteral("x")
                                    << QStringLiteral("Ax");
    QTest::newRow("to empty") << QStringLiteral("a(1)b") << QStringLiteral("(1)") << emptyString()
                              << QStringLiteral("ab");
    QTest::newRow("not found") << QStringLiteral("abc") << QStringLiteral("z") << QStringLiteral("y")
                               << QStringLiteral("abc");
    QTest::newRow("empty from changes nothing")
        << QStringLiteral("abc") << emptyString() << QStringLiteral("x") << QStringLiteral("abc");
    QTest::newRow("non-ASCII") << QStringLiteral("文档文档") << QStringLiteral("档") << QStringLiteral("件")
                               << QStringLiteral("文件文件");
}

void TestToolString::replaceString()
{
    QFETCH(QString, string);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, expected);
    QCOMPARE(ToolString::replaceString(string, from, to), expected);
}

void TestToolString::isEqualIgnoreCase_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("expected");

    QTest::newRow("same case") << QStringLiteral("abc") << QStringLiteral("abc") << true;
    QTest::newRow("other case") << QStringLiteral("PDF") << QStringLiteral("pdf") << true;
    QTest::newRow("non-ASCII") << QStringLiteral("ÄÖÜ") << QStringLiteral("äöü") << true;
    QTest::newRow("different") << QStringLiteral("abc") << QStringLiteral("abd") << false;
    QTest::newRow("empty both") << emptyString() << emptyString() << true;
    QTest::newRow("absent") << absentString() << emptyString() << false;
    QTest::newRow("both absent") << absentString() << absentString() << false;
}

void TestToolString::isEqualIgnoreCase()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, expected);
    QCOMPARE(ToolString::isEqualIgnoreCase(a, b), expected);
}

void TestToolString::isEqual_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("expected");

    QTest::newRow("equal") << QStringLiteral("abc") << QStringLiteral("abc") << true;
    QTest::newRow("case differs") << QStringLiteral("PDF") << QStringLiteral("pdf") << false;
    QTest::newRow("empty both") << emptyString() << emptyString() << true;
    QTest::newRow("absent and empty") << absentString() << emptyString() << false;
    QTest::newRow("both absent") << absentString() << absentString() << false;
    QTest::newRow("non-ASCII") << QStringLiteral("文档") << QStringLiteral("文档") << true;
}

void TestToolString::isEqual()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, expected);
    QCOMPARE(ToolString::isEqual(a, b), expected);
}

void TestToolString::trim_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("both ends") << QStringLiteral(" \t a b \r\n") << QStringLiteral("a b");
    QTest::newRow("inner kept") << QStringLiteral("a \n b") << QStringLiteral("a \n b");
    QTest::newRow("nothing to trim") << QStringLiteral("abc") << QStringLiteral("abc");
    QTest::newRow("only white space") << QStringLiteral(" \n\t ") << emptyString();
    QTest::newRow("empty") << emptyString() << emptyString();
    QTest::newRow("absent") << absentString() << absentString();
    QTest::newRow("no-break and ideographic space")
        << QStringLiteral("\u00A0\u3000文档\u2028") << QStringLiteral("文档");
}

void TestToolString::trim()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    const QString result = ToolString::trim(input);
    QCOMPARE(result, expected);
    QCOMPARE(result.isNull(), expected.isNull());
}

void TestToolString::trimWithCustomCharacterSet_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("set");
    QTest::addColumn<QString>("expected");

    QTest::newRow("set characters at both ends")
        << QStringLiteral("--a-b--") << QStringLiteral("-") << QStringLiteral("a-b");
    QTest::newRow("several characters") << QStringLiteral("xyhiyx") << QStringLiteral("xy") << QStringLiteral("hi");
    QTest::newRow("white space not in set") << QStringLiteral(" x ") << QStringLiteral("x") << QStringLiteral(" x ");
    QTest::newRow("everything removed") << QStringLiteral("xxx") << QStringLiteral("x") << emptyString();
    QTest::newRow("empty set") << QStringLiteral(" a ") << emptyString() << QStringLiteral(" a ");
    QTest::newRow("absent set is trim") << QStringLiteral(" \na\t") << absentString() << QStringLiteral("a");
    QTest::newRow("absent string") << absentString() << QStringLiteral("x") << absentString();
    QTest::newRow("non-BMP character") << QStringLiteral("😀文😀") << QStringLiteral("😀") << QStringLiteral("文");
    QTest::newRow("non-BMP pair kept whole") << QStringLiteral("😀a") << QStringLiteral("😁") << QStringLiteral("😀a");
}

void TestToolString::trimWithCustomCharacterSet()
{
    QFETCH(QString, input);
    QFETCH(QString, set);
    QFETCH(QString, expected);
    const QString result = ToolString::trim(input, set);
    QCOMPARE(result, expected);
    QCOMPARE(result.isNull(), expected.isNull());
}

void TestToolString::substring_data()
{
    QTest::addColumn<QString>("string");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("expected");

    QTest::newRow("middle") << QStringLiteral("hello") << 1 << 3 << QStringLiteral("ell");
    QTest::newRow("whole") << QStringLiteral("hello") << 0 << 5 << QStringLiteral("hello");
    QTest::newRow("empty at end") << QStringLiteral("hello") << 5 << 0 << emptyString();
    QTest::newRow("non-ASCII") << QStringLiteral("文档文件") << 2 << 2 << QStringLiteral("文件");
    QTest::newRow("past the end") << QStringLiteral("hello") << 3 << 5 << emptyString();
    QTest::newRow("negative index") << QStringLiteral("hello") << -1 << 2 << emptyString();
    QTest::newRow("negative length") << QStringLiteral("hello") << 1 << -2 << emptyString();
    QTest::newRow("huge length") << QStringLiteral("hello") << 1 << std::numeric_limits<int>::max() << emptyString();
}

void TestToolString::substring()
{
    QFETCH(QString, string);
    QFETCH(int, index);
    QFETCH(int, length);
    QFETCH(QString, expected);
    const QString result = ToolString::substring(string, index, length);
    QCOMPARE(result, expected);
    QVERIFY(!result.isNull());
}

// --- dates and durations ---------------------------------------------------------

void TestToolString::stringFromDate()
{
    const QDateTime local(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::LocalTime);
    QCOMPARE(ToolString::stringFromDate(local), QStringLiteral("2026-01-02 03:04:05"));
    const QDateTime evening(QDate(1999, 12, 31), QTime(23, 59, 59, 999), Qt::LocalTime);
    QCOMPARE(ToolString::stringFromDate(evening), QStringLiteral("1999-12-31 23:59:59"));
    QCOMPARE(ToolString::stringFromDate(QDateTime()), emptyString());
}

void TestToolString::stringFromDateUsesLocalTime()
{
    const QDateTime utc(QDate(2026, 6, 15), QTime(12, 0, 0), Qt::UTC);
    const QDateTime local = utc.toLocalTime();
    QCOMPARE(ToolString::stringFromDate(utc), local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    QCOMPARE(ToolString::stringFromDate(utc), ToolString::stringFromDate(local));
}

void TestToolString::stringFromDateWithFormatter_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("expected");

    // 2026-01-02 is a Friday; 03:04:05.678 local time, en_US.
    QTest::newRow("date") << QStringLiteral("yyyy-MM-dd") << QStringLiteral("2026-01-02");
    QTest::newRow("short fields") << QStringLiteral("d/M/yy") << QStringLiteral("2/1/26");
    QTest::newRow("milliseconds") << QStringLiteral("HH:mm:ss.SSS") << QStringLiteral("03:04:05.678");
    QTest::newRow("tenths") << QStringLiteral("s.S") << QStringLiteral("5.6");
    QTest::newRow("12-hour clock") << QStringLiteral("h:mm a") << QStringLiteral("3:04 AM");
    QTest::newRow("names") << QStringLiteral("EEE, d MMM yyyy") << QStringLiteral("Fri, 2 Jan 2026");
    QTest::newRow("long names") << QStringLiteral("EEEE, MMMM d") << QStringLiteral("Friday, January 2");
    QTest::newRow("quoted literal") << QStringLiteral("'at' HH 'o''clock'") << QStringLiteral("at 03 o'clock");
    QTest::newRow("day of year") << QStringLiteral("DDD") << QStringLiteral("002");
    QTest::newRow("quarter") << QStringLiteral("QQQ") << QStringLiteral("Q1");
    QTest::newRow("empty") << emptyString() << emptyString();
}

void TestToolString::stringFromDateWithFormatter()
{
    QFETCH(QString, pattern);
    QFETCH(QString, expected);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QDateTime date(QDate(2026, 1, 2), QTime(3, 4, 5, 678), Qt::LocalTime);
    QCOMPARE(ToolString::stringFromDate(date, pattern), expected);
}

void TestToolString::stringFromDateWithLocalization_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("expected");

    const QLocale german(QLocale::German, QLocale::Germany);
    QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates)
                           << QStringLiteral("Jan 2, 2026 03:04:05");
    // The weekday and its separator removed, the month name shortened.
    QTest::newRow("de_DE") << german
                           << QStringLiteral("2. ") + german.monthName(1, QLocale::ShortFormat) +
                                  QStringLiteral(" 2026 03:04:05");
    // The weekday at the end ("yyyy年M月d日dddd").
    QTest::newRow("zh_CN") << QLocale(QLocale::Chinese, QLocale::China) << QStringLiteral("2026年1月2日 03:04:05");
}

void TestToolString::stringFromDateWithLocalization()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, expected);
    QLocale::setDefault(locale);
    const QDateTime date(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::LocalTime);
    QCOMPARE(ToolString::stringFromDateWithLocalization(date), expected);
}

void TestToolString::stringFromDuration_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("expected");

    QTest::newRow("fraction truncated") << 3725.9 << QStringLiteral("01:02:05");
    QTest::newRow("zero") << 0.0 << QStringLiteral("00:00:00");
    QTest::newRow("negative") << -5.0 << QStringLiteral("00:00:00");
    QTest::newRow("not a number") << std::nan("") << QStringLiteral("00:00:00");
    QTest::newRow("under a second") << 0.4 << QStringLiteral("00:00:00");
    QTest::newRow("just under a minute") << 59.999 << QStringLiteral("00:00:59");
    QTest::newRow("one hour") << 3600.0 << QStringLiteral("01:00:00");
    QTest::newRow("hours not capped") << 360000.0 << QStringLiteral("100:00:00");
    QTest::newRow("large") << 1e12 << QStringLiteral("277777777:46:40");
}

void TestToolString::stringFromDuration()
{
    QFETCH(double, seconds);
    QFETCH(QString, expected);
    QCOMPARE(ToolString::stringFromDuration(seconds), expected);
}

void TestToolString::stringFromDurationWithMS_data()
{
    QTest::addColumn<double>("milliseconds");
    QTest::addColumn<QString>("expected");

    QTest::newRow("hours, minutes, seconds and ms") << 3723456.0 << QStringLiteral("01:02:03.456");
    QTest::newRow("zero") << 0.0 << QStringLiteral("00:00:00.000");
    QTest::newRow("negative") << -1.0 << QStringLiteral("00:00:00.000");
    QTest::newRow("not a number") << std::nan("") << QStringLiteral("00:00:00.000");
    QTest::newRow("under a second") << 999.0 << QStringLiteral("00:00:00.999");
    QTest::newRow("fraction of a millisecond") << 1000.5 << QStringLiteral("00:00:01.000");
    QTest::newRow("one millisecond") << 1.0 << QStringLiteral("00:00:00.001");
    QTest::newRow("hours not capped") << 360000007.0 << QStringLiteral("100:00:00.007");
}

void TestToolString::stringFromDurationWithMS()
{
    QFETCH(double, milliseconds);
    QFETCH(QString, expected);
    QCOMPARE(ToolString::stringFromDurationWithMS(milliseconds), expected);
}

void TestToolString::secondFromString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("expected");

    QTest::newRow("bare number") << QStringLiteral("45") << qint64(0);
    QTest::newRow("bare 90") << QStringLiteral("90") << qint64(0);
    QTest::newRow("00:00:45") << QStringLiteral("00:00:45") << qint64(45);
    QTest::newRow("1:02:03") << QStringLiteral("1:02:03") << qint64(3723);
    QTest::newRow("02:03") << QStringLiteral("02:03") << qint64(123);
    QTest::newRow("fraction ignored") << QStringLiteral("1:2:3.999") << qint64(3723);
    QTest::newRow("fraction .9") << QStringLiteral("1:2:3.9") << qint64(3723);
    QTest::newRow("four fields") << QStringLiteral("1:0:0:0") << qint64(216000);
    QTest::newRow("absent") << absentString() << qint64(0);
    QTest::newRow("empty") << emptyString() << qint64(0);
    QTest::newRow("colon only") << QStringLiteral(":") << qint64(0);
    QTest::newRow("empty middle field") << QStringLiteral("1::3") << qint64(3603);
    QTest::newRow("leading white space") << QStringLiteral(" 1: 2") << qint64(62);
    QTest::newRow("signs") << QStringLiteral("-1:30") << qint64(-30);
    QTest::newRow("plus sign") << QStringLiteral("+1:00") << qint64(60);
    QTest::newRow("no digits") << QStringLiteral("a:b") << qint64(0);
    QTest::newRow("trailing letters") << QStringLiteral("1x:2y") << qint64(62);
    QTest::newRow("dot before colon") << QStringLiteral(".5:3") << qint64(0);
    QTest::newRow("only before first dot") << QStringLiteral("1:2.3:4") << qint64(62);
    QTest::newRow("non-ASCII digits do not count") << QStringLiteral("١:2") << qint64(2);
    // Huge fields saturate at the 32-bit limits; the weighted product wraps in 32 bits.
    QTest::newRow("huge seconds") << QStringLiteral("0:99999999999") << qint64(2147483647);
    QTest::newRow("huge minutes wrap") << QStringLiteral("99999999999999999999:0") << qint64(-60);
    QTest::newRow("huge negative minutes wrap") << QStringLiteral("-99999999999:0") << qint64(0);
    QTest::newRow("huge both") << QStringLiteral("99999999999:99999999999") << qint64(2147483587);
    // The weight 60^6 itself wraps in 32 bits.
    QTest::newRow("weight beyond 32 bits") << QStringLiteral("1:0:0:0:0:0:0") << qint64(-588640256);
}

void TestToolString::secondFromString()
{
    QFETCH(QString, text);
    QFETCH(qint64, expected);
    QCOMPARE(ToolString::secondFromString(text), expected);
}

// --- unique renaming -------------------------------------------------------------

void TestToolString::renameFromFilePath()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString base = dir.path();
    const QString a = base + QStringLiteral("/a.pdf");

    // Count 0 on a free path returns it unchanged; an absent path stays absent.
    QCOMPARE(ToolString::renameFromFilePath(a, 0), a);
    QVERIFY(ToolString::renameFromFilePath(absentString(), 0).isNull());

    // A directory does not count as a file.
    QVERIFY(makeFolder(a));
    QCOMPARE(ToolString::renameFromFilePath(a, 0), a);
    QVERIFY(QDir(a).removeRecursively());

    QVERIFY(makeFile(a));
    QCOMPARE(ToolString::renameFromFilePath(a, 0), base + QStringLiteral("/a(1).pdf"));
    QVERIFY(makeFile(base + QStringLiteral("/a(1).pdf")));
    QCOMPARE(ToolString::renameFromFilePath(a, 0), base + QStringLiteral("/a(2).pdf"));
    QVERIFY(makeFile(base + QStringLiteral("/a(2).pdf")));
    QCOMPARE(ToolString::renameFromFilePath(a, 0), base + QStringLiteral("/a(3).pdf"));

    // A directory in the way of a candidate is not a file either.
    QVERIFY(makeFolder(base + QStringLiteral("/a(3).pdf")));
    QCOMPARE(ToolString::renameFromFilePath(a, 0), base + QStringLiteral("/a(3).pdf"));

    // A name without "." gets no extension; only the last extension moves.
    const QString readme = base + QStringLiteral("/README");
    QVERIFY(makeFile(readme));
    QCOMPARE(ToolString::renameFromFilePath(readme, 0), base + QStringLiteral("/README(1)"));
    const QString tarball = base + QStringLiteral("/b.tar.gz");
    QVERIFY(makeFile(tarball));
    QCOMPARE(ToolString::renameFromFilePath(tarball, 0), base + QStringLiteral("/b.tar(1).gz"));
}

void TestToolString::renameFromFilePathSpacesAndNonAscii()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.path() + QStringLiteral("/Ordner mit Ümlaut 文档");
    QVERIFY(makeFolder(folder));
    const QString wanted = folder + QStringLiteral("/my report 报告 é.pdf");
    QCOMPARE(ToolString::renameFromFilePath(wanted, 0), wanted);
    QVERIFY(makeFile(wanted));
    const QString first = folder + QStringLiteral("/my report 报告 é(1).pdf");
    QCOMPARE(ToolString::renameFromFilePath(wanted, 0), first);
    QVERIFY(makeFile(first));
    QCOMPARE(ToolString::renameFromFilePath(wanted, 0), folder + QStringLiteral("/my report 报告 é(2).pdf"));
}

void TestToolString::renameFromFilePathCounterTextInName()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString base = dir.path();
    // A counter text the name already holds takes part in the replacement.
    QVERIFY(makeFile(base + QStringLiteral("/b(1).pdf")));
    QCOMPARE(ToolString::renameFromFilePath(base + QStringLiteral("/b(1).pdf"), 0),
             base + QStringLiteral("/b(1)(1).pdf"));
    QVERIFY(makeFile(base + QStringLiteral("/b(1)(1).pdf")));
    QCOMPARE(ToolString::renameFromFilePath(base + QStringLiteral("/b(1).pdf"), 0),
             base + QStringLiteral("/b(2)(2).pdf"));
}

void TestToolString::renameFromFilePathRelative()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const bool made = makeFile(QStringLiteral("a.pdf"));
    const QString result = ToolString::renameFromFilePath(QStringLiteral("a.pdf"), 0);
    QDir::setCurrent(previous);
    QVERIFY(made);
    QCOMPARE(result, QStringLiteral("a(1).pdf"));
}

void TestToolString::renameFromFilePathCallerCountNotZero()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString b = dir.path() + QStringLiteral("/b.pdf");
    QVERIFY(makeFile(b));
    // A count other than 0 on a name without counter text never finds "(2)";
    // the walk restarts from 0 instead of looping for ever.
    QCOMPARE(ToolString::renameFromFilePath(b, 3), dir.path() + QStringLiteral("/b(1).pdf"));
    QCOMPARE(ToolString::renameFromFilePath(b, -4), dir.path() + QStringLiteral("/b(1).pdf"));
    // A free path is returned whatever the count.
    const QString freePath = dir.path() + QStringLiteral("/free.pdf");
    QCOMPARE(ToolString::renameFromFilePath(freePath, 7), freePath);
}

void TestToolString::renameFromDirectory()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString base = dir.path();
    const QString album = base + QStringLiteral("/album.2019");

    QCOMPARE(ToolString::renameFromDirectory(album, 0), album);
    // A file is not a directory.
    QVERIFY(makeFile(album));
    QCOMPARE(ToolString::renameFromDirectory(album, 0), album);
    QVERIFY(QFile::remove(album));

    QVERIFY(makeFolder(album));
    QCOMPARE(ToolString::renameFromDirectory(album, 0), base + QStringLiteral("/album(1)"));
    QVERIFY(makeFolder(base + QStringLiteral("/album(1)")));
    QCOMPARE(ToolString::renameFromDirectory(album, 0), base + QStringLiteral("/album(2)"));
    // A file in the way of a candidate does not count.
    QVERIFY(makeFile(base + QStringLiteral("/album(2)")));
    QCOMPARE(ToolString::renameFromDirectory(album, 0), base + QStringLiteral("/album(2)"));

    const QString photos = base + QStringLiteral("/Fotos 2024 Ü 照片");
    QVERIFY(makeFolder(photos));
    QCOMPARE(ToolString::renameFromDirectory(photos, 0), base + QStringLiteral("/Fotos 2024 Ü 照片(1)"));
}

// --- Base64 and digest -----------------------------------------------------------

void TestToolString::base64Encode_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("three bytes") << QStringLiteral("abc") << QStringLiteral("YWJj");
    QTest::newRow("two bytes") << QStringLiteral("ab") << QStringLiteral("YWI=");
    QTest::newRow("one byte") << QStringLiteral("a") << QStringLiteral("YQ==");
    QTest::newRow("empty") << emptyString() << emptyString();
    QTest::newRow("absent") << absentString() << emptyString();
    QTest::newRow("low and high alphabet") << QString(QChar(0x03)) + QStringLiteral("?>") << QStringLiteral("Az8+");
    QTest::newRow("slash") << QStringLiteral("???") << QStringLiteral("Pz8/");
    QTest::newRow("non-ASCII") << QStringLiteral("abé") << emptyString();
    QTest::newRow("CJK") << QStringLiteral("文档") << emptyString();
}

void TestToolString::base64Encode()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    const QString encoded = ToolString::base64Encode(input);
    QCOMPARE(encoded, expected);
    QVERIFY(!encoded.isNull());
    QCOMPARE(ToolString::base64String(input), expected);
}

void TestToolString::base64EncodeLength()
{
    for (int n = 0; n < 200; ++n) {
        const QString input(n, QLatin1Char('x'));
        const QString encoded = ToolString::base64Encode(input);
        QCOMPARE(encoded.size(), 4 * ((n + 2) / 3));
        QVERIFY(!encoded.contains(QLatin1Char('\n')));
        QVERIFY(!encoded.contains(QLatin1Char('\r')));
    }
}

void TestToolString::base64Decode_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected"); // null: absent

    QTest::newRow("padded") << QStringLiteral("YWI=") << QStringLiteral("ab");
    QTest::newRow("blank inside") << QStringLiteral("YW I=") << QStringLiteral("ab");
    QTest::newRow("all five white-space bytes") << QStringLiteral("\tY\nW\fI\r= ") << QStringLiteral("ab");
    QTest::newRow("no padding") << QStringLiteral("YWJj") << QStringLiteral("abc");
    QTest::newRow("double padding") << QStringLiteral("YQ==") << QStringLiteral("a");
    QTest::newRow("padding left out") << QStringLiteral("YQ") << QStringLiteral("a");
    QTest::newRow("leftover bits dropped") << QStringLiteral("Y") << emptyString();
    QTest::newRow("empty") << emptyString() << emptyString();
    QTest::newRow("padding after full group") << QStringLiteral("YWJj=") << QStringLiteral("abc");
    QTest::newRow("stream continues after padding") << QStringLiteral("YQ==YQ==") << QStringLiteral("a\u0006\u0010");
    QTest::newRow("UTF-8 text") << QStringLiteral("5pel5pys6Kqe") << QStringLiteral("日本語");
    QTest::newRow("two-byte UTF-8") << QStringLiteral("w6k=") << QStringLiteral("é");
    QTest::newRow("NUL byte kept") << QStringLiteral("YQBi")
                                   << QString(QStringLiteral("a") + QChar(0) + QStringLiteral("b"));

    QTest::newRow("remainder 1 before padding") << QStringLiteral("Y===") << absentString();
    QTest::newRow("remainder 1 after group") << QStringLiteral("YWJjZ=") << absentString();
    QTest::newRow("invalid byte") << QStringLiteral("Y*==") << absentString();
    QTest::newRow("vertical tab is not white space") << QStringLiteral("YW\vI=") << absentString();
    QTest::newRow("URL-safe alphabet refused") << QStringLiteral("_-==") << absentString();
    QTest::newRow("non-ASCII input") << QStringLiteral("YW€=") << absentString();
    QTest::newRow("absent") << absentString() << absentString();
    QTest::newRow("lone 0xFF byte") << QStringLiteral("/w==") << absentString();
    QTest::newRow("overlong encoding") << QStringLiteral("wK8=") << absentString();
    QTest::newRow("encoded surrogate") << QStringLiteral("7aCA") << absentString();
    QTest::newRow("truncated sequence") << QStringLiteral("4oI=") << absentString();
}

void TestToolString::base64Decode()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    const QString decoded = ToolString::base64Decode(input);
    QCOMPARE(decoded.isNull(), expected.isNull());
    QCOMPARE(decoded, expected);
}

void TestToolString::base64RoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("sentence") << QStringLiteral("Man is distinguished, not only by his reason.");
    QTest::newRow("control characters") << QStringLiteral("a\tb\nc\x01");
    QTest::newRow("long") << QString(1000, QLatin1Char('z'));
}

void TestToolString::base64RoundTrip()
{
    QFETCH(QString, text);
    QCOMPARE(ToolString::base64Decode(ToolString::base64Encode(text)), text);
}

void TestToolString::md5_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << emptyString() << QStringLiteral("d41d8cd98f00b204e9800998ecf8427e");
    QTest::newRow("absent") << absentString() << QStringLiteral("d41d8cd98f00b204e9800998ecf8427e");
    QTest::newRow("abc") << QStringLiteral("abc") << QStringLiteral("900150983cd24fb0d6963f7d28e17f72");
    QTest::newRow("fox") << QStringLiteral("The quick brown fox jumps over the lazy dog")
                         << QStringLiteral("9e107d9d372bb6826bd81d3542a419d6");
    QTest::newRow("UTF-8 bytes") << QStringLiteral("日本") << QStringLiteral("4dbed2e657457884e67137d3514119b3");
}

void TestToolString::md5()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(ToolString::md5(input), expected);
}

// --- machine facts ---------------------------------------------------------------

void TestToolString::getOSversion()
{
    const QString version = ToolString::getOSversion();
    QVERIFY(version.startsWith(QStringLiteral("Mac version: ")));
    QCOMPARE(version, QStringLiteral("Mac version: ") + QSysInfo::productVersion().section(QLatin1Char(' '), 0, 0));
}

void TestToolString::getOSLanguage()
{
    const QString language = ToolString::getOSLanguage();
    QVERIFY(!language.isEmpty());
    const QStringList languages = QLocale::system().uiLanguages();
    if (languages.isEmpty() || languages.first() == QLatin1String("C") || languages.first() == QLatin1String("POSIX")) {
        QCOMPARE(language, QStringLiteral("en"));
    } else {
        QCOMPARE(language, languages.first());
    }
}

void TestToolString::getOSHash()
{
    if (if_nametoindex("en0") != 0) {
        QSKIP("this machine has an interface named en0");
    }
    QCOMPARE(ToolString::getOSHash(), QStringLiteral("99999999999999999999"));
}

void TestToolString::hashForHardwareAddress_data()
{
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<QString>("expected");

    // md5 of "00:1A:2B:3C:4D:5E" (upper-case hex), first 20 characters.
    QTest::newRow("address") << QByteArray::fromHex("001a2b3c4d5e") << QStringLiteral("64ef59ed159b1cfd5605");
    QTest::newRow("too short") << QByteArray::fromHex("001a2b") << QStringLiteral("99999999999999999999");
    QTest::newRow("too long") << QByteArray::fromHex("001a2b3c4d5e6f") << QStringLiteral("99999999999999999999");
    QTest::newRow("empty") << QByteArray() << QStringLiteral("99999999999999999999");
}

void TestToolString::hashForHardwareAddress()
{
    QFETCH(QByteArray, address);
    QFETCH(QString, expected);
    const QString hash = ToolString::hashForHardwareAddress(address);
    QCOMPARE(hash, expected);
    QCOMPARE(hash.size(), 20);
}

// --- sizes ---------------------------------------------------------------------

void TestToolString::formatSizeFromByte_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("expected");

    QTest::newRow("0") << qint64(0) << 0 << QStringLiteral("   0 KB");
    QTest::newRow("1000") << qint64(1000) << 0 << QStringLiteral("   1 KB");
    QTest::newRow("1001 still KB") << qint64(1001) << 0 << QStringLiteral("   1 KB");
    QTest::newRow("999999") << qint64(999999) << 0 << QStringLiteral("1000 KB");
    QTest::newRow("1000000 still KB") << qint64(1000000) << 0 << QStringLiteral("1000 KB");
    QTest::newRow("1000001 is MB") << qint64(1000001) << 0 << QStringLiteral("   1 MB");
    QTest::newRow("printf ties to even, 0.5") << qint64(500) << 0 << QStringLiteral("   0 KB");
    QTest::newRow("printf ties to even, 2.5") << qint64(2500) << 0 << QStringLiteral("   2 KB");
    QTest::newRow("1.5 rounds up") << qint64(1500) << 0 << QStringLiteral("   2 KB");
    QTest::newRow("k=1") << qint64(1234567) << 1 << QStringLiteral(" 1.2 MB");
    QTest::newRow("k=2, 500") << qint64(500) << 2 << QStringLiteral("0.50 KB");
    QTest::newRow("k=2, 1234567") << qint64(1234567) << 2 << QStringLiteral("1.23 MB");
    QTest::newRow("k=2, 2000000000") << qint64(2000000000) << 2 << QStringLiteral("2.00 GB");
    QTest::newRow("k=3") << qint64(1234567) << 3 << QStringLiteral("1.235 MB");
    QTest::newRow("k=4") << qint64(1234567) << 4 << QStringLiteral("1.2346 MB");
    QTest::newRow("k=5 is 0 decimals") << qint64(1234567) << 5 << QStringLiteral("   1 MB");
    QTest::newRow("k=-1 is 0 decimals") << qint64(1234567) << -1 << QStringLiteral("   1 MB");
    QTest::newRow("TB") << qint64(3'000'000'000'000) << 0 << QStringLiteral("   3 TB");
    QTest::newRow("1000 TB") << qint64(1'000'000'000'000'000) << 0 << QStringLiteral("1000 TB");
    QTest::newRow("beyond TB is PB") << qint64(1'000'000'000'000'001) << 0 << QStringLiteral("   1 PB");
    QTest::newRow("EB") << qint64(2'000'000'000'000'000'000) << 2 << QStringLiteral("2.00 EB");
    QTest::newRow("largest 64-bit") << std::numeric_limits<qint64>::max() << 2 << QStringLiteral("9.22 EB");
    QTest::newRow("negative") << qint64(-1000) << 0 << QStringLiteral("  -1 KB");
    QTest::newRow("smallest 64-bit") << std::numeric_limits<qint64>::min() << 0
                                     << QStringLiteral("-9223372036854776 KB");
}

void TestToolString::formatSizeFromByte()
{
    QFETCH(qint64, bytes);
    QFETCH(int, decimals);
    QFETCH(QString, expected);
    QCOMPARE(ToolString::formatSizeFromByte(bytes, decimals), expected);
}

void TestToolString::formatSizeFromByteDefaultDecimals_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::newRow("0") << qint64(0);
    QTest::newRow("1000001") << qint64(1000001);
    QTest::newRow("1234567890") << qint64(1234567890);
    QTest::newRow("max") << std::numeric_limits<qint64>::max();
}

void TestToolString::formatSizeFromByteDefaultDecimals()
{
    QFETCH(qint64, bytes);
    QCOMPARE(ToolString::formatSizeFromByte(bytes), ToolString::formatSizeFromByte(bytes, 0));
}

// --- identifiers and folders -------------------------------------------------------

void TestToolString::getGUID()
{
    const QRegularExpression shape(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
    const QString first = ToolString::getGUID();
    const QString second = ToolString::getGUID();
    QVERIFY2(shape.match(first).hasMatch(), qPrintable(first));
    QVERIFY2(shape.match(second).hasMatch(), qPrintable(second));
    QVERIFY(first != second);
}

void TestToolString::getTempDir()
{
    const QString expected =
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Mirelune");
    const QString dir = ToolString::getTempDir();
    QCOMPARE(dir, expected);
    QVERIFY(QFileInfo(dir).isDir());
    // The test's own home folder, never the real user's.
    QVERIFY(dir.startsWith(QDir::homePath()));
    // Callers can write there.
    QVERIFY(makeFile(dir + QStringLiteral("/probe")));
    QVERIFY(QFile::remove(dir + QStringLiteral("/probe")));
}

void TestToolString::getUniqeNameInTempDirWithExtenionName()
{
    const QString dir = ToolString::getTempDir();
    const QString first = ToolString::getUniqeNameInTempDirWithExtenionName(QStringLiteral("pdf"));
    const QString second = ToolString::getUniqeNameInTempDirWithExtenionName(QStringLiteral("pdf"));
    QVERIFY(first != second);
    QVERIFY(first.startsWith(dir + QLatin1Char('/')));
    QVERIFY(first.endsWith(QStringLiteral(".pdf")));
    const QString guid = first.mid(dir.size() + 1).chopped(4);
    QVERIFY2(!QUuid::fromString(guid).isNull(), qPrintable(guid));
    QVERIFY(!QFile::exists(first));
    QCOMPARE(ToolString::getUniqeNameInTempDirWithExtenionName(QStringLiteral("docx")).right(5),
             QStringLiteral(".docx"));
}

MIRELUNE_TEST_MAIN_WITH_APP(QCoreApplication, TestToolString)

#include "tst_toolstring.moc"
