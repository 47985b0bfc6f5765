#include "frameworks/CommAppInfo.h"
#include "frameworks/CommLang.h"
#include "frameworks/CommProductInfo.h"
#include "frameworks/CommSettings.h"
#include "frameworks/CommUtils.h"
#include "frameworks/VAZevediZeziz.h"

#include "support/TestMain.h"

#include <QRegularExpression>
#include <QThread>

#include <atomic>

class TestFrameworks : public QObject {
    Q_OBJECT

private slots:
    void languageList()
    {
        const QList<CommLangInfo> infos = CommLang::GetAppLangInfos();
        QVERIFY(!infos.isEmpty());
        QCOMPARE(infos.first().langName, QStringLiteral("English"));
        QCOMPARE(infos.first().langCode, QStringLiteral("en"));
    }

    void parseLangInfosSkipsIncompleteEntries()
    {
        const QByteArray json = R"([{"langName":"German","langDisplayName":"Deutsch","code":"de"},
                                    {"langName":"","langDisplayName":"x","code":"x"},
                                    {"langName":"French"}, 7])";
        const QList<CommLangInfo> infos = CommLang::parseLangInfos(json);
        QCOMPARE(infos.size(), 1);
        QCOMPARE(infos.first().langDisplayName, QStringLiteral("Deutsch"));
        QVERIFY(CommLang::parseLangInfos("not json").isEmpty());
    }

    void systemLanguageMatching_data()
    {
        QTest::addColumn<QStringList>("uiLanguages");
        QTest::addColumn<QString>("expected");
        QTest::newRow("exact region") << QStringList{QStringLiteral("zh-TW")} << QStringLiteral("ChineseTraditional");
        QTest::newRow("underscore form") << QStringList{QStringLiteral("zh_CN")} << QStringLiteral("ChineseSimplified");
        QTest::newRow("language only") << QStringList{QStringLiteral("de-AT")} << QStringLiteral("German");
        QTest::newRow("user order wins") << QStringList{QStringLiteral("fr-FR"), QStringLiteral("de-DE")}
                                         << QStringLiteral("French");
        QTest::newRow("unknown falls through")
            << QStringList{QStringLiteral("ko-KR"), QStringLiteral("de")} << QStringLiteral("German");
        QTest::newRow("nothing known") << QStringList{QStringLiteral("ko-KR")} << QStringLiteral("English");
        QTest::newRow("empty") << QStringList{} << QStringLiteral("English");
    }

    void systemLanguageMatching()
    {
        QFETCH(QStringList, uiLanguages);
        QFETCH(QString, expected);
        const QList<CommLangInfo> infos = {
            {QStringLiteral("English"), QStringLiteral("English"), QStringLiteral("en")},
            {QStringLiteral("ChineseSimplified"), QStringLiteral("简体中文"), QStringLiteral("zh-CN")},
            {QStringLiteral("ChineseTraditional"), QStringLiteral("繁體中文"), QStringLiteral("zh-TW")},
            {QStringLiteral("German"), QStringLiteral("Deutsch"), QStringLiteral("de")},
            {QStringLiteral("French"), QStringLiteral("Français"), QStringLiteral("fr")},
        };
        QCOMPARE(CommLang::languageForUiLanguages(uiLanguages, infos), expected);
    }

    void textsByKey()
    {
        const QString english = QStringLiteral("English");
        QCOMPARE(CommLang::GetAppLang(QStringLiteral("StartConvert"), english), QStringLiteral("Start"));
        QCOMPARE(CommLang::GetAppLang(QStringLiteral("PasswordError"), english), QStringLiteral("Wrong password"));
        // An unknown language reads English; an unknown key reads as itself.
        QCOMPARE(CommLang::GetAppLang(QStringLiteral("Cancel"), QStringLiteral("Klingon")), QStringLiteral("Cancel"));
        QCOMPARE(CommLang::GetAppLang(QStringLiteral("NoSuchKey"), english), QStringLiteral("NoSuchKey"));
        // Every listed language has its own texts, not English ones.
        for (const CommLangInfo &info : CommLang::GetAppLangInfos()) {
            if (info.langName != english)
                QVERIFY2(CommLang::GetAppLang(QStringLiteral("AddFiles"), info.langName) !=
                             CommLang::GetAppLang(QStringLiteral("AddFiles"), english),
                         qPrintable(info.langName));
        }
        QCOMPARE(CommLang::GetAppLangInfos().size(), 7);
    }

    void textsFollowTheCurrentRecord()
    {
        CommAppInfo info;
        info.setAppLang(QStringLiteral("English"));
        VAZevediZeziz::setAppInfo(info);
        QCOMPARE(CommLang::GetAppLang(QStringLiteral("OpenFolder")), QStringLiteral("Open Folder"));
        QCOMPARE(VAZevediZeziz::appInfo().get_lang_code(), QStringLiteral("en"));
        info.setAppLang(QStringLiteral("Unknown"));
        QCOMPARE(info.get_lang_code(), QStringLiteral("en"));
    }

    void recordIsReplacedWhole()
    {
        // Readers on another thread see either the old or the new record,
        // never a mix of the two.
        CommAppInfo a;
        a.setAppName(QStringLiteral("a"));
        a.setAppVersion(QStringLiteral("a"));
        CommAppInfo b;
        b.setAppName(QStringLiteral("b"));
        b.setAppVersion(QStringLiteral("b"));
        VAZevediZeziz::setAppInfo(a);
        std::atomic<bool> mixed{false};
        std::atomic<bool> stop{false};
        QThread *reader = QThread::create([&] {
            while (!stop) {
                const CommAppInfo info = VAZevediZeziz::appInfo();
                if (info.appName() != info.appVersion())
                    mixed = true;
            }
        });
        reader->start();
        for (int i = 0; i < 20000; ++i)
            VAZevediZeziz::setAppInfo(i % 2 ? a : b);
        stop = true;
        reader->wait();
        delete reader;
        QVERIFY(!mixed);
    }

    void parentWindowIsNotKeptAlive()
    {
        auto *window = new QObject;
        VAZevediZeziz::initWithCommAppInfo(CommAppInfo(), window);
        QCOMPARE(VAZevediZeziz::parentWindow(), window);
        delete window;
        QCOMPARE(VAZevediZeziz::parentWindow(), nullptr);
    }

    void productCatalogue()
    {
        const CommProductInfo info =
            CommProductInfo::getInfoWithProductID(202, QStringLiteral("English"), QStringLiteral("vol-mirelune"));
        QVERIFY(!info.isEmpty());
        QVERIFY(info.copyright().contains(QStringLiteral("Orvanta")));
        QVERIFY(info.urlHome().startsWith(QStringLiteral("https://")));
        QCOMPARE(CommProductInfo::getAppIdentifyByID(202), info.identify());
        QVERIFY(
            CommProductInfo::getInfoWithProductID(202, QStringLiteral("English"), QStringLiteral("other")).isEmpty());
        QVERIFY(CommProductInfo::getInfoWithProductID(999, QStringLiteral("English"), QStringLiteral("vol-mirelune"))
                    .isEmpty());
        QVERIFY(CommProductInfo::getAppIdentifyByID(999).isEmpty());
    }

    void catalogueCopyrightPerLanguage()
    {
        const QByteArray json = R"({"products":{"7":{"identify":"x","appType":"t","urlHome":"u",
            "copyright":{"English":"en text","German":"de text"}}}})";
        QCOMPARE(CommProductInfo::infoFromCatalogue(json, 7, QStringLiteral("German"), QStringLiteral("t")).copyright(),
                 QStringLiteral("de text"));
        QCOMPARE(
            CommProductInfo::infoFromCatalogue(json, 7, QStringLiteral("Spanish"), QStringLiteral("t")).copyright(),
            QStringLiteral("en text"));
        QVERIFY(CommProductInfo::infoFromCatalogue("{", 7, QStringLiteral("German"), QStringLiteral("t")).isEmpty());
    }

    void versionText()
    {
        const QString version = CommSettings::getAppVersion(QStringLiteral("06/08/2020"));
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+ \\(06/08/2020\\)$")).match(version).hasMatch(),
                 qPrintable(version));
        QVERIFY(!CommSettings::getAppVersion(QString()).contains(QLatin1Char('(')));
    }

    void replaceFromString()
    {
        QCOMPARE(CommUtils::replaceFromString(QStringLiteral("Orvanta and Orvanta"), QStringLiteral("Orvanta"),
                                              QStringLiteral("Mirelune")),
                 QStringLiteral("Mirelune and Mirelune"));
        QCOMPARE(
            CommUtils::replaceFromString(QStringLiteral("orvanta"), QStringLiteral("Orvanta"), QStringLiteral("M")),
            QStringLiteral("orvanta"));
        QCOMPARE(CommUtils::replaceFromString(QStringLiteral("abc"), QString(), QStringLiteral("x")),
                 QStringLiteral("abc"));
    }
};

MIRELUNE_TEST_MAIN(TestFrameworks)
#include "tst_frameworks.moc"
