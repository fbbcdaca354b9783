// The labels of the chart's axes and legend without a chart: which values a
// logarithmic axis labels.
#include "app/LogTicks.h"

#include <QtTest>

class TestChartLabels : public QObject
{
    Q_OBJECT
private slots:
    void logAxisLabels_data();
    void logAxisLabels();
};

void TestChartLabels::logAxisLabels_data()
{
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<double>("length"); // pixels
    QTest::addColumn<QStringList>("labels");
    // Labels 20 pixels apart at the least.
    QTest::newRow("1..100") << 1.0 << 100.0 << 400.0
                            << QStringList{"1", "2", "5", "10", "20", "50", "100"};
    QTest::newRow("1..1000") << 1.0 << 1000.0 << 400.0
                             << QStringList{"1", "2", "5", "10", "20", "50", "100", "200", "500", "1000"};
    QTest::newRow("3..8, inside one decade") << 3.0 << 8.0 << 400.0
                                             << QStringList{"3", "4", "5", "6", "7", "8"};
    QTest::newRow("20..60") << 20.0 << 60.0 << 400.0 << QStringList{"20", "30", "40", "50", "60"};
    QTest::newRow("1..20000") << 1.0 << 20000.0 << 400.0
                              << QStringList{"1", "2", "5", "10", "20", "50", "100", "200", "500",
                                             "1000", "2000", "5000", "10000", "20000"};
    QTest::newRow("1..20000, short") << 1.0 << 20000.0 << 120.0
                                     << QStringList{"1", "10", "100", "1000", "10000"};
    QTest::newRow("1..1e6, no room for every power") << 1.0 << 1e6 << 100.0
                                                      << QStringList{"1", "100", "10000", "1000000"};
    QTest::newRow("3..3.5, a deep zoom") << 3.0 << 3.5 << 400.0 << QStringList{"3", "3.2", "3.4"};
    QTest::newRow("0.2..3") << 0.2 << 3.0 << 400.0 << QStringList{"0.2", "0.5", "1", "2"};
    QTest::newRow("0.013..0.017") << 0.013 << 0.017 << 400.0
                                  << QStringList{"0.013", "0.014", "0.015", "0.016", "0.017"};
}

void TestChartLabels::logAxisLabels()
{
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(double, length);
    QFETCH(QStringList, labels);
    QStringList written;
    for (const LogTick &tick : LogAxisTicks(low, high, length, 20)) {
        written << tick.label;
        QCOMPARE(tick.value, tick.label.toDouble());
    }
    QCOMPARE(written, labels);
}

QTEST_MAIN(TestChartLabels)
#include "test_chartlabels.moc"
