#include "frameworks/widgets/KDAction.h"
#include "frameworks/widgets/KDChildWindows.h"
#include "frameworks/widgets/KDCompositing.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "frameworks/widgets/KDMenu.h"
#include "frameworks/widgets/KDMenuSeparatorItem.h"
#include "frameworks/widgets/KDTitleOnlyMenuItem.h"
#include "frameworks/widgets/KDUnderlinedButton.h"
#include "frameworks/widgets/KDViewSlider.h"
#include "frameworks/widgets/KDWindow.h"

#include "support/TestMain.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QWindow>
#include <QtTest>

#include <cmath>

namespace {

// A target for actions, recording who sent what.
class Target : public QObject {
    Q_OBJECT
public:
    QStringList calls;
    QList<QObject *> senders;

public slots:
    void withSender(QObject *sender)
    {
        calls.append(QStringLiteral("withSender"));
        senders.append(sender);
    }
    void withoutSender() { calls.append(QStringLiteral("withoutSender")); }
};

QColor pixelAt(QWidget *widget, const QPoint &pos)
{
    return widget->grab().toImage().pixelColor(pos);
}

} // namespace

class TestWidgetKit : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void hoverButtonPaintsItsState_data();
    void hoverButtonPaintsItsState();
    void sliderClampsAndFills_data();
    void sliderClampsAndFills();
    void underlinedButtonColourPerState();
    void actionsReachTheirTarget_data();
    void actionsReachTheirTarget();
    void menuFrame_data();
    void menuFrame();
    void menuChoosesRows();
    void windowOutline_data();
    void windowOutline();
    void titleBarFollowsTheWindow();
    void escapeClosesSmallWindows();
    void titleBarDragMovesTheWindow();
    void sheetHangsUnderTheTitleBar();
    void childWindowsFollowTheirParent();
};

void TestWidgetKit::cleanup()
{
    KDCompositing::clearOverride();
}

void TestWidgetKit::hoverButtonPaintsItsState_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("normal") << "normal" << QColor(215, 215, 215);
    QTest::newRow("hover") << "hover" << QColor(100, 150, 200);
    QTest::newRow("pressed") << "pressed" << QColor(200, 200, 200);
}

void TestWidgetKit::hoverButtonPaintsItsState()
{
    QFETCH(QString, state);
    QFETCH(QColor, colour);
    QWidget host;
    host.resize(200, 100);
    auto *button = new KDHoverButton(&host);
    button->setTitle(QStringLiteral("Add"));
    button->setNormalBgColor(QColor(215, 215, 215));
    button->setHoverBgColor(QColor(100, 150, 200));
    button->setPressedBgColor(QColor(200, 200, 200));
    button->setGeometry(50, 30, 100, 40);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));

    const QPoint inside(5, 5);
    if (state == QLatin1String("hover"))
        QTest::mouseMove(host.windowHandle(), button->geometry().topLeft() + inside);
    else if (state == QLatin1String("pressed"))
        QTest::mousePress(button, Qt::LeftButton, {}, inside);
    QTRY_COMPARE(pixelAt(button, inside), colour);
    QVERIFY(button->textFiled()->isVisible());
    QVERIFY(button->imageView()->isHidden());
    if (state == QLatin1String("pressed"))
        QTest::mouseRelease(button, Qt::LeftButton, {}, inside);
}

void TestWidgetKit::sliderClampsAndFills_data()
{
    QTest::addColumn<double>("requested");
    QTest::addColumn<double>("progress");
    QTest::newRow("inside") << 0.45 << 0.45;
    QTest::newRow("below") << -0.5 << 0.0;
    QTest::newRow("above") << 1.7 << 1.0;
    QTest::newRow("not a number") << std::nan("") << 0.0;
}

void TestWidgetKit::sliderClampsAndFills()
{
    QFETCH(double, requested);
    QFETCH(double, progress);
    KDViewSlider slider;
    slider.resize(200, 12);
    slider.setLineWith(6.0);
    slider.setRound(true);
    slider.show();
    QVERIFY(QTest::qWaitForWindowExposed(&slider));

    slider.setProgress(requested, true);
    QCOMPARE(slider.progress(), progress);
    QTRY_COMPARE(slider.displayedProgress(), progress);
    // Sample just inside and just outside the filled part, on the middle line.
    const int edge = int(200 * progress);
    if (edge > 8)
        QCOMPARE(pixelAt(&slider, QPoint(edge - 5, 6)), slider.progressColor());
    if (edge < 192)
        QCOMPARE(pixelAt(&slider, QPoint(edge + 5, 6)), slider.bgColor());
}

void TestWidgetKit::underlinedButtonColourPerState()
{
    KDUnderlinedButton link;
    link.setTitle(QStringLiteral("https://example.org/"));
    link.setTitleColor(Qt::blue, KDUnderlinedButton::Normal);
    link.setTitleColor(Qt::red, KDUnderlinedButton::Highlighted);
    QCOMPARE(link.titleColor(KDUnderlinedButton::Disabled), QColor(Qt::blue));
    QCOMPARE(link.currentState(), KDUnderlinedButton::Normal);
    link.setDown(true);
    QCOMPARE(link.currentState(), KDUnderlinedButton::Highlighted);
    link.setDown(false);
    link.setEnabled(false);
    QCOMPARE(link.currentState(), KDUnderlinedButton::Disabled);

    link.setEnabled(true);
    link.setUnderlineColor(Qt::green);
    link.sizeToFit();
    const QImage image = link.grab().toImage();
    bool underlined = false;
    for (int y = image.height() / 2; y < image.height(); ++y)
        underlined = underlined || image.pixelColor(image.width() / 2, y) == QColor(Qt::green);
    QVERIFY(underlined);
}

void TestWidgetKit::actionsReachTheirTarget_data()
{
    QTest::addColumn<QByteArray>("action");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<QString>("call");
    QTest::newRow("with sender") << QByteArray("withSender") << true << "withSender";
    QTest::newRow("without sender") << QByteArray("withoutSender") << true << "withoutSender";
    QTest::newRow("unknown") << QByteArray("missing") << false << QString();
}

void TestWidgetKit::actionsReachTheirTarget()
{
    QFETCH(QByteArray, action);
    QFETCH(bool, sent);
    QFETCH(QString, call);
    Target target;
    QCOMPARE(KDAction::send(&target, action.constData(), this), sent);
    QCOMPARE(target.calls, call.isEmpty() ? QStringList() : QStringList{call});
    QVERIFY(!KDAction::send(nullptr, action.constData(), this));
}

void TestWidgetKit::menuFrame_data()
{
    QTest::addColumn<QRect>("anchor");
    QTest::addColumn<int>("join");
    QTest::addColumn<int>("alignment");
    QTest::addColumn<QRect>("expected");
    const QSize menu(120, 80);
    // Screen: (0, 0, 1000, 700).
    QTest::newRow("below, left edges") << QRect(100, 50, 60, 24) << 1 << 0 << QRect(QPoint(100, 74), menu);
    QTest::newRow("below, centred") << QRect(100, 50, 60, 24) << 1 << 1 << QRect(QPoint(70, 74), menu);
    QTest::newRow("below, right edges") << QRect(100, 50, 60, 24) << 1 << 2 << QRect(QPoint(40, 74), menu);
    QTest::newRow("above") << QRect(100, 300, 60, 24) << 0 << 0 << QRect(QPoint(100, 220), menu);
    QTest::newRow("no room below: flipped") << QRect(100, 650, 60, 24) << 1 << 0 << QRect(QPoint(100, 570), menu);
    QTest::newRow("no room above: flipped") << QRect(100, 10, 60, 24) << 0 << 0 << QRect(QPoint(100, 34), menu);
    QTest::newRow("right screen edge") << QRect(950, 50, 40, 24) << 1 << 0 << QRect(QPoint(880, 74), menu);
    QTest::newRow("left screen edge") << QRect(0, 50, 40, 24) << 1 << 2 << QRect(QPoint(0, 74), menu);
}

void TestWidgetKit::menuFrame()
{
    QFETCH(QRect, anchor);
    QFETCH(int, join);
    QFETCH(int, alignment);
    QFETCH(QRect, expected);
    const QRect frame = KDMenu::popupFrame(anchor, QSize(120, 80), QPoint(0, 0), KDMenu::JoinDirection(join),
                                           KDMenu::Alignment(alignment), QRect(0, 0, 1000, 700));
    QCOMPARE(frame, expected);
}

void TestWidgetKit::menuChoosesRows()
{
    QWidget anchor;
    anchor.setGeometry(100, 100, 80, 24);
    anchor.show();
    Target target;
    QPointer<KDMenu> menu = new KDMenu;
    auto *first = new KDTitleOnlyMenuItem(QStringLiteral("Support"));
    auto *separator = new KDMenuSeparatorItem;
    auto *last = new KDTitleOnlyMenuItem(QStringLiteral("About..."));
    last->setIsSelected(true);
    last->setTarget(&target);
    last->setAction("withSender");
    for (KDMenuItem *item :
         {static_cast<KDMenuItem *>(first), static_cast<KDMenuItem *>(separator), static_cast<KDMenuItem *>(last)})
        menu->addItem(item);
    QSignalSpy firstTriggered(first, &KDTitleOnlyMenuItem::triggered);
    menu->popMenuToView(&anchor, QPoint(0, 0), KDMenu::JoinBelow, KDMenu::AlignLeftEdges);
    QVERIFY(menu->isVisible());
    QCOMPARE(menu->geometry().topLeft(), anchor.mapToGlobal(QPoint(0, anchor.height())));

    // A separator is not a choice.
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->rowRect(1).center().toPoint());
    QVERIFY(menu->isVisible());
    QVERIFY(target.calls.isEmpty());

    // Keys: down twice skips the separator.
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Down);
    QCOMPARE(menu->hoveredIndex(), 2);
    QTest::keyClick(menu, Qt::Key_Return);
    QCOMPARE(target.senders, QList<QObject *>{last});
    QCOMPARE(firstTriggered.count(), 0);
    QTRY_VERIFY(menu.isNull());
}

void TestWidgetKit::windowOutline_data()
{
    QTest::addColumn<bool>("composited");
    QTest::newRow("compositor: translucent corners") << true;
    QTest::newRow("no compositor: shaped window") << false;
}

void TestWidgetKit::windowOutline()
{
    QFETCH(bool, composited);
    KDCompositing::setOverride(composited);
    KDWindow window;
    window.resize(300, 200);
    window.setBackgroundColor(Qt::white);
    window.contextView()->setBgColor(Qt::white);
    window.setBorderRadius(8.0f);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(window.mask().isEmpty(), composited);
    if (!composited) {
        QVERIFY(!window.mask().contains(QPoint(0, 0)));
        QVERIFY(!window.mask().contains(QPoint(299, 199)));
        QVERIFY(window.mask().contains(QPoint(150, 100)));
    }
    // Corners stay clear, also under the coloured content area.
    const QImage image = window.grab().toImage();
    QCOMPARE(image.pixelColor(1, 199 - 1).alpha(), 0);
    QCOMPARE(image.pixelColor(150, 100), QColor(Qt::white));

    window.setBorderRadius(0.0f);
    QVERIFY(window.mask().isEmpty());
}

void TestWidgetKit::titleBarFollowsTheWindow()
{
    KDWindow window;
    window.setWindowTitle(QStringLiteral("Mirelune"));
    QCOMPARE(window.winTitle()->text(), QStringLiteral("Mirelune"));
    window.minButton()->hide();
    window.resize(400, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!window.minButton()->isVisible());
    QVERIFY(window.zoomButton()->isVisible());

    // The zoom button offers to restore a maximised window.
    const auto shows = [&window](const char *icon) {
        const QLabel *image = window.zoomButton()->imageView();
        return image->pixmap().toImage() == QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(icon)))
                                                .pixmap(window.zoomButton()->imageSize(), image->devicePixelRatioF())
                                                .toImage();
    };
    QVERIFY(shows("window_zoom"));
    QTest::mouseClick(window.zoomButton(), Qt::LeftButton);
    QTRY_VERIFY(window.isMaximized());
    QTRY_VERIFY(shows("window_restore"));
    QTest::mouseClick(window.zoomButton(), Qt::LeftButton);
    QTRY_VERIFY(!window.isMaximized());
    QTRY_VERIFY(shows("window_zoom"));
    QTest::mouseClick(window.closeButton(), Qt::LeftButton);
    QVERIFY(!window.isVisible());
}

// Escape closes a small window, and only a window set up to close by it.
void TestWidgetKit::escapeClosesSmallWindows()
{
    KDWindow plain;
    plain.show();
    QVERIFY(QTest::qWaitForWindowActive(&plain));
    QTest::keyClick(&plain, Qt::Key_Escape);
    QVERIFY(plain.isVisible());
    QPointer<KDWindow> small = new KDWindow;
    small->setUpAsSmallWindow(8.0f);
    QVERIFY(small->closesOnEscape());
    small->show();
    QVERIFY(QTest::qWaitForWindowActive(small));
    QTest::keyClick(small, Qt::Key_Escape, Qt::ShiftModifier);
    QVERIFY(small->isVisible());
    QTest::keyClick(small, Qt::Key_Escape);
    QTRY_VERIFY(small.isNull()); // closed, and deleted as small windows are
}

void TestWidgetKit::titleBarDragMovesTheWindow()
{
    KDWindow window;
    window.setGeometry(100, 100, 400, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPoint grip(60, window.titleBarHeight() / 2);
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, grip);
    QTest::mouseMove(window.windowHandle(), grip + QPoint(30, 40));
    QTRY_COMPARE(window.pos(), QPoint(130, 140));
    // The window moved with the pointer, which is over the grip again.
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, grip);
    QCOMPARE(window.pos(), QPoint(130, 140));

    // The content area moves the window only when asked to.
    const QPoint content(200, 200);
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, content);
    QTest::mouseMove(window.windowHandle(), content + QPoint(10, 10));
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, content + QPoint(10, 10));
    QCOMPARE(window.pos(), QPoint(130, 140));
}

void TestWidgetKit::sheetHangsUnderTheTitleBar()
{
    KDWindow parent;
    parent.setGeometry(100, 100, 800, 600);
    parent.show();
    auto *sheet = new KDWindow;
    sheet->resize(420, 104);
    int completions = 0;
    QVERIFY(parent.beginSheet(sheet, [&completions] { ++completions; }));
    QCOMPARE(sheet->geometry(), QRect(100 + 190, 100 + parent.titleBarHeight(), 420, 104));
    QCOMPARE(sheet->sheetParent(), &parent);
    QCOMPARE(parent.attachedSheet(), sheet);
    QCOMPARE(sheet->windowModality(), Qt::WindowModal);
    QVERIFY(sheet->isVisible());

    KDWindow second;
    QVERIFY(!parent.beginSheet(&second));

    parent.endSheet(sheet);
    QCOMPARE(completions, 1);
    QVERIFY(!sheet->isVisible());
    QVERIFY(!sheet->sheetParent());
    QVERIFY(!parent.attachedSheet());
    QVERIFY(parent.beginSheet(&second));
    parent.endSheet(&second);
}

void TestWidgetKit::childWindowsFollowTheirParent()
{
    KDWindow parent;
    parent.setGeometry(100, 100, 800, 600);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    auto *child = new KDWindow(&parent);
    child->setGeometry(300, 300, 200, 100);
    KDChildWindows::addChildWindow(&parent, child);
    child->show();
    QVERIFY(child->isWindow());
    QVERIFY(child->windowFlags().testFlag(Qt::Tool));
    QCOMPARE(KDChildWindows::childWindows(&parent), QList<QWidget *>{child});

    parent.move(150, 80);
    QTRY_COMPARE(child->pos(), QPoint(350, 280));
    delete child;
    QVERIFY(KDChildWindows::childWindows(&parent).isEmpty());
}

MIRELUNE_TEST_MAIN_WITH_APP(QApplication, TestWidgetKit)
#include "tst_widgetkit.moc"
