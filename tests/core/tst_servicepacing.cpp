#include "convert/ServicePacing.h"

#include "support/TestMain.h"

#include <QVariantList>

#include <limits>

// The pace of a run: hints and settings held within bounds, settings ahead
// of hints. The pace of real runs is measured in tst_conversionrun.
class TestServicePacing : public QObject {
    Q_OBJECT

private slots:
    void boundedMilliseconds_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("expected"); // -1: no value
        QTest::newRow("integer") << QVariant(200) << 100 << 200;
        QTest::newRow("zero stagger") << QVariant(0) << 0 << 0;
        QTest::newRow("below the floor") << QVariant(5) << 100 << 100;
        QTest::newRow("negative") << QVariant(-50) << 0 << 0;
        QTest::newRow("above the ceiling") << QVariant(qint64(1) << 40) << 100 << ServicePacing::kMaxMs;
        QTest::newRow("largest unsigned")
            << QVariant(std::numeric_limits<quint64>::max()) << 100 << ServicePacing::kMaxMs;
        QTest::newRow("fraction") << QVariant(250.7) << 100 << 250;
        QTest::newRow("infinity") << QVariant(std::numeric_limits<double>::infinity()) << 100 << ServicePacing::kMaxMs;
        QTest::newRow("not a number") << QVariant(std::numeric_limits<double>::quiet_NaN()) << 100 << -1;
        QTest::newRow("numeric text") << QVariant(QStringLiteral(" 300 ")) << 100 << 300;
        QTest::newRow("other text") << QVariant(QStringLiteral("fast")) << 100 << -1;
        QTest::newRow("boolean") << QVariant(true) << 0 << -1;
        QTest::newRow("null") << QVariant::fromValue(nullptr) << 0 << -1;
        QTest::newRow("absent") << QVariant() << 0 << -1;
        QTest::newRow("list") << QVariant(QVariantList{200}) << 0 << -1;
    }

    void boundedMilliseconds()
    {
        QFETCH(QVariant, value);
        QFETCH(int, minimum);
        QFETCH(int, expected);
        QCOMPARE(ServicePacing::boundedMilliseconds(value, minimum).value_or(-1), expected);
    }

    void hintsReplaceTheDefaults()
    {
        ServicePacing pacing(3000, 1000, QVariant(), QVariant());
        pacing.takeHint({});
        QCOMPARE(pacing.pollIntervalMs(), 3000);
        QCOMPARE(pacing.downloadStaggerMs(), 1000);
        pacing.takeHint({{QStringLiteral("poll_interval_ms"), 200}, {QStringLiteral("download_stagger_ms"), 0}});
        QCOMPARE(pacing.pollIntervalMs(), 200);
        QCOMPARE(pacing.downloadStaggerMs(), 0);
        // A later reply without a usable hint keeps the pace it set.
        pacing.takeHint({{QStringLiteral("poll_interval_ms"), QStringLiteral("soon")}});
        QCOMPARE(pacing.pollIntervalMs(), 200);
        QCOMPARE(pacing.downloadStaggerMs(), 0);
    }

    void settingsWinOverHints()
    {
        ServicePacing pacing(3000, 1000, QVariant(700), QVariant(QStringLiteral("250")));
        QCOMPARE(pacing.pollIntervalMs(), 700);
        QCOMPARE(pacing.downloadStaggerMs(), 250);
        pacing.takeHint({{QStringLiteral("poll_interval_ms"), 200}, {QStringLiteral("download_stagger_ms"), 0}});
        QCOMPARE(pacing.pollIntervalMs(), 700);
        QCOMPARE(pacing.downloadStaggerMs(), 250);
    }

    void unusableSettingsLeaveHintsFree()
    {
        // A setting below the floor counts as the floor; one that is no number is ignored.
        ServicePacing pacing(3000, 1000, QVariant(10), QVariant(QStringLiteral("none")));
        QCOMPARE(pacing.pollIntervalMs(), ServicePacing::kMinPollMs);
        pacing.takeHint({{QStringLiteral("poll_interval_ms"), 200}, {QStringLiteral("download_stagger_ms"), 0}});
        QCOMPARE(pacing.pollIntervalMs(), ServicePacing::kMinPollMs);
        QCOMPARE(pacing.downloadStaggerMs(), 0);
    }
};

MIRELUNE_TEST_MAIN(TestServicePacing)
#include "tst_servicepacing.moc"
