// The labels of the chart's axes and legend without a chart: which values a
// logarithmic axis labels, and the rows and columns of the legend.
#include "app/LegendGrid.h"
#include "app/LogTicks.h"

#include <QtTest>

class TestChartLabels : public QObject
{
    Q_OBJECT
private slots:
    void logAxisLabels_data();
    void logAxisLabels();
    void legendGrid_data();
    void legendGrid();
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

using Widths = QList<int>;

void TestChartLabels::legendGrid_data()
{
    // Entries take 30 pixels beside their names.
    QTest::addColumn<Widths>("names");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("maxRows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");
    QTest::addColumn<Widths>("room"); // for the names of each column
    QTest::newRow("four in one row") << Widths{60, 80, 70, 90} << 600 << 3 << 4 << 1 << Widths{60, 80, 70, 90};
    QTest::newRow("six in two rows of three") << Widths(6, 100) << 400 << 3 << 3 << 2 << Widths(3, 100);
    QTest::newRow("thirteen in four columns") << Widths(13, 100) << 560 << 5 << 4 << 4 << Widths(4, 100);
    Widths twenty(20, 100);
    twenty[0] = twenty[6] = 300;
    QTest::newRow("twenty in four rows, the long names shortened")
        << twenty << 700 << 4 << 5 << 4 << Widths{125, 125, 100, 100, 100};
    QTest::newRow("twenty in four rows, every name shortened")
        << twenty << 560 << 4 << 5 << 4 << Widths(5, 82);
    QTest::newRow("a name wider than the chart") << Widths{1000} << 400 << 3 << 1 << 1 << Widths{370};
}

void TestChartLabels::legendGrid()
{
    QFETCH(Widths, names);
    QFETCH(int, width);
    QFETCH(int, maxRows);
    QFETCH(int, columns);
    QFETCH(int, rows);
    QFETCH(Widths, room);
    const LegendGrid grid = ChooseLegendGrid(std::vector<double>(names.begin(), names.end()), 30, width, maxRows);
    QCOMPARE(grid.columns, columns);
    QCOMPARE(grid.rows, rows);
    Widths rounded;
    for (double w : grid.textWidths)
        rounded << int(std::lround(w));
    QCOMPARE(rounded, room);
}

QTEST_MAIN(TestChartLabels)
#include "test_chartlabels.moc"
