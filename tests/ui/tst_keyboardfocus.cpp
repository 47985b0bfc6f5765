#include "frameworks/NotificationCenter.h"
#include "frameworks/VAZevediZeziz.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "product/AppSettings.h"
#include "ui/ConvertProgressWindow.h"
#include "ui/DEVavuzAze.h"
#include "ui/KDAboutWindow.h"
#include "ui/KDInputPDFPasswordAlertWindow.h"
#include "ui/KDNoticeWindow.h"
#include "ui/KDUpdateWindow.h"
#include "ui/MainWindow.h"

#include "support/TestMain.h"
#include "support/ui/UiFixtures.h"

#include <QApplication>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

// Where the keyboard is can be seen: every control that Tab reaches looks
// different with the focus than without it, in every window. Escape closes
// every small window.
class TestKeyboardFocus : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void everyFocusableControlShowsItsFocus_data();
    void everyFocusableControlShowsItsFocus();
    void clickedButtonShowsNoRing();
    void escapeClosesSmallWindows_data();
    void escapeClosesSmallWindows();

private:
    QWidget *openWindow(const QString &window);
    QImage around(QWidget *control) const;

    QTemporaryDir mDir;
    QList<QPointer<QWidget>> mOpened;
};

void TestKeyboardFocus::initTestCase()
{
    VAZevediZeziz::setAppInfo(AppSettings::GetAppInfo());
    KDConvertFileManager::defaultManager().parseInputFiles(
        {UiFixtures::writeFile(mDir.path(), QStringLiteral("a.pdf"))}, ConvertFromPdf);
}

void TestKeyboardFocus::cleanup()
{
    for (const QPointer<QWidget> &window : std::as_const(mOpened))
        delete window.data();
    mOpened.clear();
}

QWidget *TestKeyboardFocus::openWindow(const QString &window)
{
    QWidget *shown = nullptr;
    if (window == QLatin1String("main")) {
        shown = KDWindow::loadForNib<MainWindow>();
        NotificationCenter::defaultCenter().postNotificationName(MainWindow::kLangDidChangeNotification);
    } else if (window == QLatin1String("about")) {
        shown = KDAboutWindow::LoadFromNib();
    } else if (window == QLatin1String("update")) {
        auto *update = KDUpdateWindow::LoadFromNib();
        UpdateChecker::Result result;
        result.outcome = UpdateChecker::Outcome::NewerVersion;
        result.latestVersion = QStringLiteral("2.4.1");
        result.downloadUrl = QStringLiteral("https://www.mirelune.com/download/");
        update->showResult(result, QStringLiteral("2.3.0"));
        shown = update;
    } else if (window == QLatin1String("account")) {
        shown = DEVavuzAze::LoadFromNib();
    } else if (window == QLatin1String("sheet")) {
        shown = KDWindow::loadForNib<ConvertProgressWindow>();
    } else {
        auto *parent = new KDWindow;
        mOpened.append(parent);
        parent->setGeometry(60, 60, 900, 640);
        parent->show();
        if (window == QLatin1String("password")) {
            auto *dialog =
                KDInputPDFPasswordAlertWindow::windowWithSuperWindowWithSuperWindow<KDInputPDFPasswordAlertWindow>(
                    parent, QRect(QPoint(0, 0), KDInputPDFPasswordAlertWindow::kDialogSize));
            dialog->showWithFileName(QStringLiteral("a.pdf"), nullptr, true);
            shown = dialog;
        } else {
            shown = KDNoticeWindow::showOver(parent, QStringLiteral("No program could open this folder."),
                                             QStringLiteral("/home/someone/Documents"));
        }
    }
    mOpened.append(shown);
    shown->show();
    shown->activateWindow();
    return shown;
}

// The control and a few pixels around it, where a ring or frame would be.
QImage TestKeyboardFocus::around(QWidget *control) const
{
    QWidget *window = control->window();
    const QRect area(control->mapTo(window, QPoint(-3, -3)), control->size() + QSize(6, 6));
    return window->grab(area.intersected(window->rect())).toImage();
}

void TestKeyboardFocus::everyFocusableControlShowsItsFocus_data()
{
    QTest::addColumn<QString>("window");
    for (const char *window : {"main", "sheet", "password", "notice", "about", "update", "account"})
        QTest::newRow(window) << QString::fromLatin1(window);
}

// Tab walks the window's controls as a user does (so the style knows the
// focus came from the keyboard); each control it reaches must look
// different than it did a moment before, without the focus.
void TestKeyboardFocus::everyFocusableControlShowsItsFocus()
{
    QFETCH(QString, window);
    QWidget *shown = openWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(shown));
    QList<QWidget *> controls;
    for (QWidget *child : shown->findChildren<QWidget *>()) {
        if ((child->focusPolicy() & Qt::TabFocus) && child->isVisible() && child->isEnabled() && !child->focusProxy())
            controls.append(child);
    }
    QVERIFY(!controls.isEmpty());
    if (QWidget *focused = QApplication::focusWidget())
        focused->clearFocus();
    QSet<QWidget *> reached;
    // Bounded: twice round the chain is more than enough to meet every control.
    for (qsizetype step = 0; step < 2 * controls.size() + 2 && reached.size() < controls.size(); ++step) {
        QHash<QWidget *, QImage> before;
        for (QWidget *control : std::as_const(controls)) {
            if (!control->hasFocus())
                before.insert(control, around(control));
        }
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : shown, Qt::Key_Tab);
        QWidget *focused = QApplication::focusWidget();
        QVERIFY(focused);
        if (!controls.contains(focused) || !before.contains(focused))
            continue;
        QVERIFY2(around(focused) != before.value(focused),
                 qPrintable(QStringLiteral("%1 (%2) shows no focus")
                                .arg(focused->objectName(), QLatin1String(focused->metaObject()->className()))));
        reached.insert(focused);
    }
    for (QWidget *control : std::as_const(controls))
        QVERIFY2(reached.contains(control),
                 qPrintable(control->objectName() + QStringLiteral(" is not reached by Tab")));
}

// A click focuses a hover button without a ring; the keyboard shows one.
void TestKeyboardFocus::clickedButtonShowsNoRing()
{
    QWidget *shown = openWindow(QStringLiteral("main"));
    QVERIFY(QTest::qWaitForWindowActive(shown));
    auto *openFolder = shown->findChild<KDHoverButton *>(QStringLiteral("mBtnSelectFolder"));
    openFolder->setFocus(Qt::MouseFocusReason);
    QVERIFY(openFolder->hasFocus() && !openFolder->showsFocusRing());
    // The window going and coming back leaves it so.
    openFolder->clearFocus();
    openFolder->setFocus(Qt::ActiveWindowFocusReason);
    QVERIFY(!openFolder->showsFocusRing());
    openFolder->clearFocus();
    openFolder->setFocus(Qt::TabFocusReason);
    QVERIFY(openFolder->showsFocusRing());
    openFolder->clearFocus();
    openFolder->setFocus(Qt::ActiveWindowFocusReason);
    QVERIFY(openFolder->showsFocusRing());
}

void TestKeyboardFocus::escapeClosesSmallWindows_data()
{
    QTest::addColumn<QString>("window");
    for (const char *window : {"notice", "about", "update", "account"})
        QTest::newRow(window) << QString::fromLatin1(window);
}

void TestKeyboardFocus::escapeClosesSmallWindows()
{
    QFETCH(QString, window);
    QPointer<QWidget> shown = openWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(shown));
    QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : shown.data();
    QTest::keyClick(target, Qt::Key_Escape);
    QTRY_VERIFY(!shown || !shown->isVisible());
}

MIRELUNE_TEST_MAIN_WITH_APP(QApplication, TestKeyboardFocus)
#include "tst_keyboardfocus.moc"
