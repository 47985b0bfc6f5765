#include "frameworks/widgets/KDMaskWindow.h"
#include "frameworks/widgets/KDWindow.h"
#include "ui/KDBaseWindow.h"

#include "support/TestMain.h"

#include "frameworks/widgets/KDHoverButton.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QWindow>
#include <QtTest>

namespace {

// A dialog class of its own, to see the constructors build the class they are
// called for and run its set-up once.
class TestDialog : public KDBaseWindow {
public:
    using KDBaseWindow::KDBaseWindow;
    int awakeCount = 0;

protected:
    void awakeFromNib() override
    {
        KDBaseWindow::awakeFromNib();
        ++awakeCount;
    }
};

} // namespace

class TestKDBaseWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void dialogIsCentredOnItsParent_data();
    void dialogIsCentredOnItsParent();
    void maskCoversTheParentAndTakesItsClicks();
    void closingTakesTheMaskDownAndFreesTheParent();
    void constructorsBuildTheCalledClass();
    void actionBlockIsKeptNotCalled();

private:
    // A parent with a button, to see whether the parent takes input.
    KDWindow *mParent = nullptr;
    QPushButton *mParentButton = nullptr;
};

void TestKDBaseWindow::init()
{
    mParent = new KDWindow;
    mParentButton = new QPushButton(QStringLiteral("Parent"), mParent->contextView());
    mParentButton->setGeometry(10, 10, 100, 30);
    mParent->setGeometry(100, 200, 1000, 700);
    mParent->show();
    QVERIFY(QTest::qWaitForWindowExposed(mParent));
}

void TestKDBaseWindow::cleanup()
{
    delete mParent;
}

void TestKDBaseWindow::dialogIsCentredOnItsParent_data()
{
    QTest::addColumn<QRect>("parentFrame");
    QTest::addColumn<QRect>("windowFrame");
    QTest::addColumn<QRect>("expected");

    QTest::newRow("origin ignored, half rounded up")
        << QRect(100, 200, 1000, 700) << QRect(0, 0, 400, 177) << QRect(400, 462, 400, 177);
    QTest::newRow("far origin") << QRect(100, 200, 1000, 700) << QRect(-750, 3000, 400, 177)
                                << QRect(400, 462, 400, 177);
    QTest::newRow("both halves") << QRect(0, 0, 801, 601) << QRect(0, 0, 400, 300) << QRect(201, 151, 400, 300);
    QTest::newRow("larger than parent") << QRect(50, 60, 300, 200) << QRect(0, 0, 400, 177) << QRect(0, 72, 400, 177);
}

void TestKDBaseWindow::dialogIsCentredOnItsParent()
{
    QFETCH(QRect, parentFrame);
    QFETCH(QRect, windowFrame);
    QFETCH(QRect, expected);

    QCOMPARE(KDBaseWindow::centredFrame(parentFrame, windowFrame.size()), expected);

    mParent->setGeometry(parentFrame);
    auto *dialog = KDBaseWindow::windowWithSuperWindowWithSuperWindow(mParent, windowFrame);
    QCOMPARE(dialog->geometry(), expected);
    QVERIFY(dialog->isVisible());
    QVERIFY(dialog->winTitle()->isHidden());
}

void TestKDBaseWindow::maskCoversTheParentAndTakesItsClicks()
{
    auto *dialog = KDBaseWindow::windowWithSuperWindowWithSuperWindow(mParent, QRect(0, 0, 400, 177));
    KDMaskWindow *mask = dialog->maskWindow();
    QVERIFY(mask);
    QVERIFY(mask->isVisible());
    QCOMPARE(mask->geometry(), mParent->frameGeometry());
    QCOMPARE(mask->maskColor(), QColor(0, 0, 0, 204));
    QVERIFY(!mask->ignoresMouseEvents());
    QCOMPARE(mask->parentWidget(), mParent);
    QCOMPARE(dialog->parentWidget(), mParent);

    QSignalSpy clicked(mParentButton, &QPushButton::clicked);
    QTest::mouseClick(mParent->windowHandle(), Qt::LeftButton, {},
                      mParentButton->mapTo(mParent, mParentButton->rect().center()));
    QCOMPARE(clicked.count(), 0);
}

void TestKDBaseWindow::closingTakesTheMaskDownAndFreesTheParent()
{
    auto *dialog = KDBaseWindow::windowWithSuperWindowWithSuperWindow(mParent, QRect(0, 0, 400, 177));
    KDMaskWindow *mask = dialog->maskWindow();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));

    // The title bar's close button is one of the ways to close.
    QTest::mouseClick(dialog->closeButton(), Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QVERIFY(!mask->isVisible());

    QSignalSpy clicked(mParentButton, &QPushButton::clicked);
    QTest::mouseClick(mParent->windowHandle(), Qt::LeftButton, {},
                      mParentButton->mapTo(mParent, mParentButton->rect().center()));
    QCOMPARE(clicked.count(), 1);

    delete dialog;
    QVERIFY(!mParent->findChild<KDMaskWindow *>());
}

void TestKDBaseWindow::constructorsBuildTheCalledClass()
{
    auto *fromWindow = KDBaseWindow::windowWithSuperWindowWithSuperWindow<TestDialog>(mParent, QRect(0, 0, 300, 100));
    QCOMPARE(fromWindow->awakeCount, 1);
    QCOMPARE(fromWindow->backgroundColor(), QColor(Qt::white));
    QVERIFY(fromWindow->isMovableByWindowBackground());
    fromWindow->close();

    auto *fromView = KDBaseWindow::windowWithSuperViewWithView<TestDialog>(mParentButton, QRect(0, 0, 300, 100));
    QCOMPARE(fromView->parentWidget(), mParent);
    QCOMPARE(fromView->geometry(), KDBaseWindow::centredFrame(mParent->frameGeometry(), QSize(300, 100)));
}

void TestKDBaseWindow::actionBlockIsKeptNotCalled()
{
    auto *without = KDBaseWindow::windowWithSuperWindowWithSuperWindow(mParent, QRect(0, 0, 400, 177));
    QVERIFY(!without->btnActionBlock());
    without->close();

    int calls = 0;
    auto *with =
        KDBaseWindow::windowWithSuperWindowWithSuperWindow(mParent, QRect(0, 0, 400, 177), [&calls] { ++calls; });
    QVERIFY(with->btnActionBlock());
    with->close();
    QCOMPARE(calls, 0);
    with->btnActionBlock()();
    QCOMPARE(calls, 1);
}

MIRELUNE_TEST_MAIN_WITH_APP(QApplication, TestKDBaseWindow)
#include "tst_kdbasewindow.moc"
