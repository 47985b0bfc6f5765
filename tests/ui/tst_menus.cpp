#include "frameworks/CommLang.h"
#include "frameworks/NotificationCenter.h"
#include "frameworks/VAZevediZeziz.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "frameworks/widgets/KDMenu.h"
#include "frameworks/widgets/KDMenuSeparatorItem.h"
#include "frameworks/widgets/KDTitleOnlyMenuItem.h"
#include "product/AppSettings.h"
#include "ui/MainWindow.h"

#include "support/TestMain.h"

#include <QApplication>
#include <QLabel>
#include <QtTest>

// The title-bar menus and switching the interface language, driven through
// the title-bar buttons and the rows of the menus they pop up.
class TestMenus : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    // Runs first: nothing is stored yet, so the system language is marked.
    void systemLanguageIsMarkedWhenNoneIsStored();
    void menuItemsInOrder_data();
    void menuItemsInOrder();
    void menuLook();
    void choosingGermanRelabelsAndStores();
    void storedLanguageIsMarked();
    void choosingTheCurrentLanguagePostsAgain();

private:
    KDMenu *popMenu(const char *button);
    static QStringList titles(const KDMenu *menu);
    static QStringList selectedTitles(const KDMenu *menu);
    void chooseInMenu(KDMenu *menu, const QString &title);
    static QString displayNameOf(const QString &langName);

    MainWindow *mWindow = nullptr;
};

void TestMenus::initTestCase()
{
    mWindow = KDWindow::loadForNib<MainWindow>();
    VAZevediZeziz::initWithCommAppInfo(AppSettings::GetAppInfo(), mWindow);
    mWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(mWindow));
    NotificationCenter::defaultCenter().postNotificationName(MainWindow::kLangDidChangeNotification);
}

void TestMenus::cleanupTestCase()
{
    delete mWindow;
}

KDMenu *TestMenus::popMenu(const char *button)
{
    auto *anchor = mWindow->findChild<KDHoverButton *>(QLatin1String(button));
    if (!anchor)
        return nullptr;
    QTest::mouseClick(anchor, Qt::LeftButton);
    KDMenu *menu = mWindow->lastPoppedMenu();
    return menu && menu->isVisible() ? menu : nullptr;
}

QStringList TestMenus::titles(const KDMenu *menu)
{
    QStringList result;
    for (const KDMenuItem *item : menu->items()) {
        if (const auto *titled = qobject_cast<const KDTitleOnlyMenuItem *>(item))
            result.append(titled->title());
        else if (qobject_cast<const KDMenuSeparatorItem *>(item))
            result.append(QStringLiteral("---"));
    }
    return result;
}

QStringList TestMenus::selectedTitles(const KDMenu *menu)
{
    QStringList result;
    for (const KDMenuItem *item : menu->items()) {
        const auto *titled = qobject_cast<const KDTitleOnlyMenuItem *>(item);
        if (titled && titled->isSelected())
            result.append(titled->title());
    }
    return result;
}

void TestMenus::chooseInMenu(KDMenu *menu, const QString &title)
{
    const QStringList all = titles(menu);
    const int index = static_cast<int>(all.indexOf(title));
    QVERIFY2(index >= 0, qPrintable(title));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->rowRect(index).center().toPoint());
}

QString TestMenus::displayNameOf(const QString &langName)
{
    return CommLang::langInfoForName(langName).langDisplayName;
}

void TestMenus::systemLanguageIsMarkedWhenNoneIsStored()
{
    // The test environment makes the system language French, so a menu
    // marking the first or the English entry is caught.
    const QString system = CommLang::GetSystemLanguage();
    QCOMPARE(system, QStringLiteral("French"));
    KDMenu *menu = popMenu("mBtnTitlebarLang");
    QVERIFY(menu);
    QCOMPARE(selectedTitles(menu), QStringList{displayNameOf(system)});
    menu->close();
}

void TestMenus::menuItemsInOrder_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("files") << QByteArray("mBtnTitlebarFiles") << QStringLiteral("fileMenu")
                           << QStringList{CommLang::GetAppLang(QStringLiteral("AddFiles")),
                                          CommLang::GetAppLang(QStringLiteral("AddFolder"))};
    QTest::newRow("help") << QByteArray("mBtnTitlebarHelp") << QStringLiteral("HelpMenu")
                          << QStringList{CommLang::GetAppLang(QStringLiteral("Support")),
                                         CommLang::GetAppLang(QStringLiteral("Feedback")),
                                         QStringLiteral("---"),
                                         CommLang::GetAppLang(QStringLiteral("CheckUpdate")),
                                         CommLang::GetAppLang(QStringLiteral("About")) + QStringLiteral("..."),
                                         CommLang::GetAppLang(QStringLiteral("Account")) + QStringLiteral("...")};
    QStringList languages;
    for (const CommLangInfo &info : CommLang::GetAppLangInfos())
        languages.append(info.langDisplayName);
    QTest::newRow("language") << QByteArray("mBtnTitlebarLang") << QStringLiteral("LanguageMenu") << languages;
}

void TestMenus::menuItemsInOrder()
{
    QFETCH(QByteArray, button);
    QFETCH(QString, objectName);
    QFETCH(QStringList, expected);
    QCOMPARE(expected.size() >= 2, true);
    // Localised texts, not keys, in the rows.
    QVERIFY(!expected.contains(QStringLiteral("AddFiles")));
    KDMenu *menu = popMenu(button.constData());
    QVERIFY(menu);
    QCOMPARE(menu->objectName(), objectName);
    QCOMPARE(titles(menu), expected);
    // Adding a folder and opening the output folder are told apart in every language.
    for (const CommLangInfo &info : CommLang::GetAppLangInfos())
        QVERIFY(CommLang::GetAppLang(QStringLiteral("AddFolder"), info.langName) !=
                CommLang::GetAppLang(QStringLiteral("OpenFolder"), info.langName));
    // Every row sends its action to the main window.
    for (const KDMenuItem *item : menu->items()) {
        if (const auto *titled = qobject_cast<const KDTitleOnlyMenuItem *>(item))
            QCOMPARE(titled->target(), mWindow);
    }
    menu->close();
}

void TestMenus::menuLook()
{
    KDMenu *menu = popMenu("mBtnTitlebarHelp");
    QVERIFY(menu);
    QCOMPARE(menu->bgColor(), QColor(Qt::white));
    QCOMPARE(menu->rowHeight(), 22.0);
    QCOMPARE(menu->hoverColor(), QColor(225, 225, 225));
    auto *separator = qobject_cast<KDMenuSeparatorItem *>(menu->items().at(2));
    QVERIFY(separator);
    QCOMPARE(separator->lineColor(), QColor(200, 200, 200));
    QCOMPARE(separator->lineWidth(), 1.0);
    // Attached under the pressed button, left edges lined up.
    auto *anchor = mWindow->findChild<KDHoverButton *>(QStringLiteral("mBtnTitlebarHelp"));
    const QPoint below = anchor->mapToGlobal(QPoint(0, anchor->height()));
    QCOMPARE(menu->geometry().topLeft(), below);
    menu->close();
}

void TestMenus::choosingGermanRelabelsAndStores()
{
    auto *start = mWindow->findChild<KDHoverButton *>(QStringLiteral("mBtnStartConvert"));
    auto *caption = mWindow->findChild<QLabel *>(QStringLiteral("mLabelOuputFormat"));
    auto *files = mWindow->findChild<KDHoverButton *>(QStringLiteral("mBtnTitlebarFiles"));
    auto *lang = mWindow->findChild<KDHoverButton *>(QStringLiteral("mBtnTitlebarLang"));
    const QString german = QStringLiteral("German");
    QVERIFY(start->title() != CommLang::GetAppLang(QStringLiteral("StartConvert"), german));

    KDMenu *menu = popMenu("mBtnTitlebarLang");
    QVERIFY(menu);
    chooseInMenu(menu, displayNameOf(german));
    QVERIFY(!menu->isVisible());

    QCOMPARE(AppSettings::AppLanguageName(), german);
    QCOMPARE(VAZevediZeziz::appInfo().appLang(), german);
    QCOMPARE(start->title(), CommLang::GetAppLang(QStringLiteral("StartConvert"), german));
    QCOMPARE(caption->text(), CommLang::GetAppLang(QStringLiteral("OutputFormat"), german) + QStringLiteral(":"));
    QCOMPARE(files->title(), CommLang::GetAppLang(QStringLiteral("MenuFile"), german));
    // The title-bar buttons are refitted to the new texts, 10 points apart.
    QCOMPARE(lang->x(), files->x() + files->width() + 10);
    QVERIFY(files->width() >= files->fontMetrics().horizontalAdvance(files->title()));
}

void TestMenus::storedLanguageIsMarked()
{
    KDMenu *menu = popMenu("mBtnTitlebarLang");
    QVERIFY(menu);
    QCOMPARE(selectedTitles(menu), QStringList{displayNameOf(QStringLiteral("German"))});
    menu->close();
    // The File menu is built in the new language too.
    menu = popMenu("mBtnTitlebarFiles");
    QVERIFY(menu);
    QCOMPARE(titles(menu).constFirst(), CommLang::GetAppLang(QStringLiteral("AddFiles"), QStringLiteral("German")));
    menu->close();
}

void TestMenus::choosingTheCurrentLanguagePostsAgain()
{
    QObject observer;
    int posts = 0;
    NotificationCenter::defaultCenter().addObserver(&observer, MainWindow::kLangDidChangeNotification,
                                                    [&posts](const QString &, const QVariantMap &) { ++posts; });
    KDMenu *menu = popMenu("mBtnTitlebarLang");
    QVERIFY(menu);
    chooseInMenu(menu, displayNameOf(AppSettings::AppLanguageName()));
    QCOMPARE(posts, 1);
    QCOMPARE(AppSettings::AppLanguageName(), QStringLiteral("German"));
}

MIRELUNE_TEST_MAIN_WITH_APP(QApplication, TestMenus)
#include "tst_menus.moc"
