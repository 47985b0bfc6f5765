#include "frameworks/CommLang.h"
#include "product/AppSettings.h"
#include "settings/UserDefaults.h"

#include "support/TestMain.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

// Receives the URLs the settings ask the desktop to open, instead of a real
// file manager.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class TestAppSettings : public QObject {
    Q_OBJECT

    QString documentsFolder() const { return QDir::homePath() + QStringLiteral("/Documents/Quorvex"); }

private slots:
    void init()
    {
        saveObjectToUserDefaults(QVariant(), AppSettings::kLanguageKey);
        saveObjectToUserDefaults(QVariant(), AppSettings::kOutputFolderKey);
        QDir(documentsFolder()).removeRecursively();
        QFile::remove(documentsFolder());
    }

    void productFacts()
    {
        QCOMPARE(AppSettings::AppID(), 202);
        QCOMPARE(AppSettings::AppType(), QStringLiteral("vol-mirelune"));
        // What a person reads names no other platform.
        QCOMPARE(AppSettings::AppName(), QStringLiteral("Mirelune PDF Converter"));
        QVERIFY(AppSettings::AppVersion().endsWith(QStringLiteral("(06/08/2020)")));
        QVERIFY(QUrl(AppSettings::ProductLink()).scheme() == QLatin1String("https"));
        QVERIFY(!AppSettings::AppIdentify().isEmpty());
    }

    void copyrightNamesMirelune()
    {
        const QString copyright = AppSettings::AppCopyright();
        QVERIFY2(copyright.contains(QStringLiteral("Mirelune")), qPrintable(copyright));
        QVERIFY(!copyright.contains(QStringLiteral("Orvanta")));
    }

    void freshInstallation()
    {
        QCOMPARE(AppSettings::AppLanguageName(), CommLang::GetSystemLanguage());
        QVERIFY(!QFileInfo::exists(documentsFolder()));
        QCOMPARE(AppSettings::ConvertOuputFolderPath(), documentsFolder());
        QVERIFY(QFileInfo(documentsFolder()).isDir());
    }

    void languageIsStored()
    {
        AppSettings::setAppLanguageName(QStringLiteral("German"));
        QCOMPARE(AppSettings::AppLanguageName(), QStringLiteral("German"));
        QCOMPARE(objectFromUserDefaults(AppSettings::kLanguageKey, QVariant()).toString(), QStringLiteral("German"));
    }

    void appInfoCarriesTheStoredLanguage()
    {
        AppSettings::setAppLanguageName(QStringLiteral("English"));
        CommAppInfo info = AppSettings::GetAppInfo();
        QCOMPARE(info.appLang(), QStringLiteral("English"));
        QCOMPARE(info.appID(), 202);
        QCOMPARE(info.appLocalizedName(), QStringLiteral("Mirelune PDF Converter"));
        QCOMPARE(info.appName(), AppSettings::AppIdentify());
        QCOMPARE(info.urlProduct(), AppSettings::ProductLink());
        QVERIFY(!info.urlHome().isEmpty());
        QVERIFY(!info.appImage().isNull());
        AppSettings::setAppLanguageName(QStringLiteral("French"));
        QCOMPARE(AppSettings::GetAppInfo().appLang(), QStringLiteral("French"));
    }

    void storedFolderInUse()
    {
        QTemporaryDir chosen;
        AppSettings::SetConvertOutputFolderPath(chosen.path());
        QCOMPARE(AppSettings::ConvertOuputFolderPath(), chosen.path());
        // The default folder is created on every read, whatever is stored.
        QVERIFY(QFileInfo(documentsFolder()).isDir());
    }

    void deletedFolderFallsBackAndKeepsThePreference()
    {
        QString gone;
        {
            QTemporaryDir chosen;
            gone = chosen.path();
            AppSettings::SetConvertOutputFolderPath(gone);
        }
        QDir(documentsFolder()).removeRecursively();
        QCOMPARE(AppSettings::ConvertOuputFolderPath(), documentsFolder());
        QVERIFY(QFileInfo(documentsFolder()).isDir());
        QCOMPARE(objectFromUserDefaults(AppSettings::kOutputFolderKey, QVariant()).toString(), gone);
    }

    // The window shows and writes into the chosen folder, even after it was
    // deleted; Start makes it again.
    void chosenFolderIsKeptAndMadeAgain()
    {
        QTemporaryDir dir;
        const QString chosen = dir.filePath(QStringLiteral("results/today"));
        QCOMPARE(AppSettings::chosenConvertOutputFolderPath(), documentsFolder());
        AppSettings::SetConvertOutputFolderPath(chosen);
        QCOMPARE(AppSettings::chosenConvertOutputFolderPath(), chosen);
        QCOMPARE(AppSettings::ConvertOuputFolderPath(), documentsFolder());
        QVERIFY(AppSettings::prepareConvertOutputFolder(chosen));
        QVERIFY(QFileInfo(chosen).isDir());
        QCOMPARE(AppSettings::ConvertOuputFolderPath(), chosen);
        QVERIFY(AppSettings::prepareConvertOutputFolder(chosen)); // there already
    }

    void folderThatCannotBeMade_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::newRow("below a plain file") << QStringLiteral("plain/out");
        QTest::newRow("a plain file") << QStringLiteral("plain");
        QTest::newRow("name too long") << QString(300, QLatin1Char('n'));
        QTest::newRow("nothing") << QString();
    }

    void folderThatCannotBeMade()
    {
        QFETCH(QString, relative);
        QTemporaryDir dir;
        QFile plain(dir.filePath(QStringLiteral("plain")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        const QString path = relative.isEmpty() ? QString() : dir.filePath(relative);
        QVERIFY(!AppSettings::prepareConvertOutputFolder(path));
        QVERIFY(QFileInfo(plain.fileName()).isFile());
    }

    void plainFileIsNoFolder()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("not a folder.pdf"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        AppSettings::SetConvertOutputFolderPath(file);
        QCOMPARE(AppSettings::ConvertOuputFolderPath(), documentsFolder());
    }

    void defaultPathTakenByAFile()
    {
        QDir().mkpath(QDir::homePath() + QStringLiteral("/Documents"));
        QFile f(documentsFolder());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        // Still the path, and the file is left alone.
        QCOMPARE(AppSettings::defaultConvertOutputFolderPath(), documentsFolder());
        QVERIFY(QFileInfo(documentsFolder()).isFile());
        QCOMPARE(AppSettings::ConvertOuputFolderPath(), documentsFolder());
    }

    void nonAsciiFolder()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("Ausgabe Ordner ä 输出"));
        QVERIFY(QDir().mkpath(folder));
        AppSettings::SetConvertOutputFolderPath(folder);
        QCOMPARE(AppSettings::ConvertOuputFolderPath(), folder);
    }

    void openingTheFolderAsksForAFileUrl()
    {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
        QTemporaryDir chosen;
        AppSettings::SetConvertOutputFolderPath(chosen.path());
        AppSettings::openConverOutputFolderPath();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(catcher.urls, QList<QUrl>{QUrl::fromLocalFile(chosen.path())});
    }
};

MIRELUNE_TEST_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
