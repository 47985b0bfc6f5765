#include "frameworks/NotificationCenter.h"
#include "frameworks/VAZevediZeziz.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "product/AppSettings.h"
#include "ui/FilesContentView.h"
#include "ui/MainWindow.h"

#include "support/TestMain.h"
#include "support/ui/UiFixtures.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

// The main window on a screen as the test is told (MIRELUNE_SCREEN, in
// logical pixels, with the offscreen platform's screen and QT_SCALE_FACTOR
// set to match): it fits, and at its minimum size every control is whole,
// inside the window and clear of the others, in the longer languages too.
class TestWindowFit : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void screenIsAsConfigured();
    void windowFitsTheScreen_data();
    void windowFitsTheScreen();
    void minimumSizeKeepsEveryControl_data();
    void minimumSizeKeepsEveryControl();

private:
    void addLanguages();
    void openIn(const QString &language);
    QList<QWidget *> controlsOf(QWidget *parent) const;

    QTemporaryDir mDir;
    std::unique_ptr<MainWindow> mWindow;
};

void TestWindowFit::initTestCase()
{
    KDConvertFileManager::defaultManager().parseInputFiles(
        {UiFixtures::writeFile(mDir.path(), QStringLiteral("a fairly long file name for the list.pdf"))},
        ConvertFromPdf);
}

void TestWindowFit::cleanup()
{
    mWindow.reset();
}

void TestWindowFit::screenIsAsConfigured()
{
    const QStringList size = qEnvironmentVariable("MIRELUNE_SCREEN").split(QLatin1Char('x'));
    QCOMPARE(size.size(), 2);
    QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), QSize(size[0].toInt(), size[1].toInt()));
}

void TestWindowFit::addLanguages()
{
    QTest::addColumn<QString>("language");
    for (const char *language : {"English", "German", "French", "Japanese"})
        QTest::newRow(language) << QString::fromLatin1(language);
}

void TestWindowFit::openIn(const QString &language)
{
    AppSettings::setAppLanguageName(language);
    VAZevediZeziz::setAppInfo(AppSettings::GetAppInfo());
    // As the application starts it.
    mWindow.reset(KDWindow::loadForNib<MainWindow>());
    NotificationCenter::defaultCenter().postNotificationName(MainWindow::kLangDidChangeNotification);
    mWindow->makeKeyAndOrderFront();
    QVERIFY(QTest::qWaitForWindowExposed(mWindow.get()));
}

// The visible controls placed directly in parent; the title label spans
// the title bar and is checked by its text instead.
QList<QWidget *> TestWindowFit::controlsOf(QWidget *parent) const
{
    QList<QWidget *> controls;
    for (QWidget *child : parent->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->isVisible() && child != mWindow->winTitle() && !child->isWindow())
            controls.append(child);
    }
    return controls;
}

void TestWindowFit::windowFitsTheScreen_data()
{
    addLanguages();
}

void TestWindowFit::windowFitsTheScreen()
{
    QFETCH(QString, language);
    openIn(language);
    const QRect screen = mWindow->screen()->availableGeometry();
    QVERIFY2(screen.contains(mWindow->frameGeometry()),
             qPrintable(
                 QStringLiteral("%1 on %2").arg(QDebug::toString(mWindow->frameGeometry()), QDebug::toString(screen))));
    for (const char *name : {"mBtnStartConvert", "closeButton", "zoomButton", "minButton", "mBtnOpenFolder"}) {
        auto *control = mWindow->findChild<QWidget *>(QLatin1String(name));
        QVERIFY(control && control->isVisible());
        const QRect global(control->mapToGlobal(QPoint(0, 0)), control->size());
        QVERIFY2(screen.contains(global), name);
    }
}

void TestWindowFit::minimumSizeKeepsEveryControl_data()
{
    addLanguages();
}

void TestWindowFit::minimumSizeKeepsEveryControl()
{
    QFETCH(QString, language);
    openIn(language);
    QVERIFY(mWindow->minimumWidth() <= 640 && mWindow->minimumHeight() <= 440);
    mWindow->resize(mWindow->minimumSize());
    QTRY_COMPARE(mWindow->size(), mWindow->minimumSize());
    QTRY_COMPARE(mWindow->contextView()->width(), mWindow->width());

    QWidget *box = mWindow->findChild<QWidget *>(QStringLiteral("mBoxListOperate"));
    QVERIFY(box->isVisible());
    for (QWidget *parent :
         {static_cast<QWidget *>(mWindow->titleBar()), static_cast<QWidget *>(mWindow->contextView()), box}) {
        const QList<QWidget *> controls = controlsOf(parent);
        for (QWidget *control : controls) {
            QVERIFY2(parent->rect().contains(control->geometry()), qPrintable(control->objectName()));
            QVERIFY2(control->width() > 0 && control->height() > 0, qPrintable(control->objectName()));
            for (QWidget *other : controls) {
                if (other != control && control->geometry().intersects(other->geometry()))
                    QFAIL(qPrintable(control->objectName() + QStringLiteral(" overlaps ") + other->objectName()));
            }
        }
    }
    // The title's text stays clear of the window buttons.
    QLabel *title = mWindow->winTitle();
    const int textWidth = title->fontMetrics().horizontalAdvance(title->text());
    const QRect text((title->width() - textWidth) / 2, 0, textWidth, mWindow->titleBarHeight() / 2);
    QVERIFY(!text.intersects(mWindow->minButton()->geometry()));
    // The list keeps room for rows.
    QVERIFY(mWindow->filesContentView()->height() >= 2 * FilesContentView::kRowHeight);
    auto *combo = mWindow->findChild<QComboBox *>(QStringLiteral("mComboBoxOuputFormat"));
    QVERIFY(combo->width() >= combo->minimumSizeHint().width());
}

MIRELUNE_TEST_MAIN_WITH_APP(QApplication, TestWindowFit)
#include "tst_windowfit.moc"
