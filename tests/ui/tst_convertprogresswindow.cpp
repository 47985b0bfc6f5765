#include "frameworks/NotificationCenter.h"
#include "frameworks/widgets/KDHoverButton.h"
#include "frameworks/widgets/KDViewSlider.h"
#include "ui/ConvertProgressWindow.h"

#include "support/TestMain.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QtTest>

#include <algorithm>
#include <limits>

namespace {

// Stands in for the main window: the sheet's parent that receives Cancel.
class SheetParent : public KDWindow {
    Q_OBJECT
public:
    QList<QObject *> cancelSenders;

public slots:
    void actionForCancelConvert(QObject *sender) { cancelSenders.append(sender); }
};

constexpr int kNoStatus = std::numeric_limits<int>::min();

void post(int status, int percentage)
{
    QVariantMap userInfo{{ConvertProgressWindow::kProgressKey, percentage}};
    if (status != kNoStatus)
        userInfo.insert(ConvertProgressWindow::kStatusKey, status);
    NotificationCenter::defaultCenter().postNotificationName(ConvertProgressWindow::kProgressNotification, userInfo);
}

const QColor kBlue(34, 170, 254);
const QColor kRed(255, 59, 48);

} // namespace

class TestConvertProgressWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startsWithTheConvertingLook();
    void statusesSetTextBarAndColour_data();
    void statusesSetTextBarAndColour();
    void shownProgressNeverGoesBack();
    void cancelGoesToTheSheetParentOnly();
    void stopsListeningWhenDestroyed();

private:
    SheetParent *mParent = nullptr;
    QPointer<ConvertProgressWindow> mSheet;
};

void TestConvertProgressWindow::init()
{
    mParent = new SheetParent;
    mParent->setGeometry(100, 100, 800, 600);
    mParent->show();
    mSheet = KDWindow::loadForNib<ConvertProgressWindow>();
}

void TestConvertProgressWindow::cleanup()
{
    delete mSheet.data();
    delete mParent;
}

void TestConvertProgressWindow::startsWithTheConvertingLook()
{
    QCOMPARE(mSheet->convertLabel()->text(), QStringLiteral("Converting..."));
    QCOMPARE(mSheet->btnCancel()->title(), QStringLiteral("Cancel"));
    QCOMPARE(mSheet->backgroundColor(), QColor(Qt::white));
    KDViewSlider *slider = mSheet->progressSlider();
    QCOMPARE(slider->progress(), 0.0);
    QCOMPARE(slider->bgColor(), QColor(238, 238, 238));
    QCOMPARE(slider->progressColor(), kBlue);
    QVERIFY(slider->isRound());
    QCOMPARE(slider->lineWith(), 6.0);
}

void TestConvertProgressWindow::statusesSetTextBarAndColour_data()
{
    QTest::addColumn<int>("firstStatus");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("percentage");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("progress");
    QTest::addColumn<QColor>("colour");

    // firstStatus -1: no earlier notification.
    QTest::newRow("converting") << -1 << 1 << 45 << "Converting...45%" << 0.45 << kBlue;
    QTest::newRow("finished") << 1 << 2 << 100 << "Finished" << 1.0 << kBlue;
    QTest::newRow("failed after converting") << 1 << 0 << 100 << "Conversion failed" << 1.0 << kRed;
    QTest::newRow("converting after failed turns blue") << 0 << 1 << 20 << "Converting...20%" << 0.2 << kBlue;
    QTest::newRow("unknown status moves only the bar") << 1 << 7 << 60 << "Converting...45%" << 0.6 << kBlue;
    QTest::newRow("unknown status keeps the red") << 0 << 7 << 30 << "Conversion failed" << 0.3 << kRed;
    QTest::newRow("missing status is not a failure") << 1 << kNoStatus << 60 << "Converting...45%" << 0.6 << kBlue;
}

void TestConvertProgressWindow::statusesSetTextBarAndColour()
{
    QFETCH(int, firstStatus);
    QFETCH(int, status);
    QFETCH(int, percentage);
    QFETCH(QString, text);
    QFETCH(double, progress);
    QFETCH(QColor, colour);

    mParent->beginSheet(mSheet);
    if (firstStatus >= 0)
        post(firstStatus, 45);
    post(status, percentage);

    QCOMPARE(mSheet->convertLabel()->text(), text);
    QCOMPARE(mSheet->progressSlider()->progressColor(), colour);
    QCOMPARE(mSheet->progressSlider()->progress(), double(float(percentage) / 100.0f));
    QTRY_COMPARE(mSheet->progressSlider()->displayedProgress(), double(float(progress)));
}

void TestConvertProgressWindow::shownProgressNeverGoesBack()
{
    mParent->beginSheet(mSheet);
    // Three files whose credential replies and first uploads interleave.
    const QList<int> reported{10, 13, 23, 16, 36, 19, 49, 58, 52, 99};
    QList<double> bar;
    int highest = 0;
    for (const int percentage : reported) {
        post(1, percentage);
        highest = std::max(highest, percentage);
        bar.append(mSheet->progressSlider()->progress());
        QCOMPARE(mSheet->convertLabel()->text(), QStringLiteral("Converting...%1%").arg(highest));
    }
    QVERIFY2(std::is_sorted(bar.cbegin(), bar.cend()), qPrintable(QDebug::toString(bar)));
    QCOMPARE(bar.last(), double(0.99f));
    // A payload without a status is no exception.
    post(kNoStatus, 40);
    QCOMPARE(mSheet->progressSlider()->progress(), double(0.99f));

    // The end shows its own figure; the next run starts again from 0.
    post(0, 100);
    QCOMPARE(mSheet->convertLabel()->text(), QStringLiteral("Conversion failed"));
    post(1, 10);
    QCOMPARE(mSheet->progressSlider()->progress(), double(0.1f));
    QCOMPARE(mSheet->convertLabel()->text(), QStringLiteral("Converting...10%"));
}

void TestConvertProgressWindow::cancelGoesToTheSheetParentOnly()
{
    QTest::mouseClick(mSheet->btnCancel(), Qt::LeftButton);
    QVERIFY(mParent->cancelSenders.isEmpty());

    QVERIFY(mParent->beginSheet(mSheet));
    QCOMPARE(mSheet->sheetParent(), mParent);
    QTest::mouseClick(mSheet->btnCancel(), Qt::LeftButton);
    QCOMPARE(mParent->cancelSenders, QList<QObject *>{nullptr});

    mParent->endSheet(mSheet);
    mSheet->actionForCancelConvert();
    QCOMPARE(mParent->cancelSenders.size(), 1);
}

void TestConvertProgressWindow::stopsListeningWhenDestroyed()
{
    const int observers =
        NotificationCenter::defaultCenter().observerCount(ConvertProgressWindow::kProgressNotification);
    delete mSheet.data();
    QCOMPARE(NotificationCenter::defaultCenter().observerCount(ConvertProgressWindow::kProgressNotification),
             observers - 1);
    post(1, 10);
}

MIRELUNE_TEST_MAIN_WITH_APP(QApplication, TestConvertProgressWindow)
#include "tst_convertprogresswindow.moc"
