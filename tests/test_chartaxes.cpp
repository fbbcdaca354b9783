// The chart's axes: scaled to the data, logarithmic with values at or below
// zero and labels in every decade, switching with series on them, and
// inverted. Run under several time zones.
#include "app/PlotChart.h"
#include "support/ChartTests.h"

#include <QCategoryAxis>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QValueAxis>
#include <QtTest>
#include <cmath>

namespace {

QList<double> yValues(const PlotSeries &series)
{
    QList<double> ys;
    for (const QPointF &p : series.lineSeries()->points())
        ys << p.y();
    return ys;
}

// The values the left axis labels, of those within its range, as drawn by
// whichever visible axis on the left draws them.
QList<double> leftAxisLabels(const PlotChart &chart)
{
    QList<double> values;
    for (QAbstractAxis *axis : chart.chart()->axes(Qt::Vertical)) {
        if (!axis->isVisible() || !axis->labelsVisible() || axis->alignment() != Qt::AlignLeft)
            continue;
        if (auto *labels = qobject_cast<QCategoryAxis *>(axis)) {
            // Drawn over the logarithms of the values.
            for (const QString &label : labels->categoriesLabels()) {
                const double at = labels->endValue(label);
                if (at >= labels->min() - 1e-9 && at <= labels->max() + 1e-9)
                    values << std::pow(10.0, at);
            }
        } else if (const auto *log = qobject_cast<QLogValueAxis *>(axis)) {
            for (double v = std::pow(log->base(), std::ceil(std::log10(log->min()) - 1e-9)); v <= log->max() * (1 + 1e-9);
                 v *= log->base())
                values << v;
        }
    }
    return values;
}

} // namespace

class TestChartAxes : public QObject
{
    Q_OBJECT
private slots:
    void axesScaleToTheData();
    void logarithmicAxisDrawsOnlyPositivePoints();
    void logarithmicAxisLabelsEveryDecadeAndWithinOne_data();
    void logarithmicAxisLabelsEveryDecadeAndWithinOne();
    void switchingKeepsSeriesOnTheirAxis();
    void invertedSurvivesSwitchingToLogarithmic();
};

void TestChartAxes::axesScaleToTheData()
{
    PlotChart chart;
    chart.attachSeries(seriesWith(chart, &chart, {120, 80, 95}));
    chart.repaintNow();
    auto *left = qobject_cast<QValueAxis *>(chart.verticalAxis(VertAxis::Left));
    QVERIFY(left);
    QVERIFY(left->min() <= 80 && left->max() >= 120);
    QVERIFY(left->max() - left->min() < 200); // scaled to the data, not from zero
    QVERIFY(!chart.verticalAxis(VertAxis::Right)->isVisible());

    // The same data give the same scale however often the chart rescales.
    const auto scaleOf = [&] { return std::pair(left->min(), left->max()); };
    PlotSeries *wide = seriesWith(chart, &chart, {0, 249, 120});
    chart.attachSeries(wide);
    chart.repaintNow();
    const auto once = scaleOf();
    for (int i = 0; i < 3; ++i) {
        chart.undoZoom();
        chart.repaintNow();
    }
    QCOMPARE(scaleOf(), once);
    // Labels carry the decimals the tick step needs, and no more.
    QCOMPARE(left->labelFormat(), QStringLiteral("%.0f"));

    PlotSeries *right = seriesWith(chart, &chart, {5, 7});
    right->setAxis(VertAxis::Right);
    chart.attachSeries(right);
    QCoreApplication::processEvents(); // the chart catches up when idle
    auto *rightAxis = qobject_cast<QValueAxis *>(chart.verticalAxis(VertAxis::Right));
    QVERIFY(rightAxis->isVisible());
    QVERIFY(rightAxis->min() <= 5 && rightAxis->max() >= 7 && rightAxis->max() < 80);
    const double step = (rightAxis->max() - rightAxis->min()) / (rightAxis->tickCount() - 1);
    QCOMPARE(rightAxis->labelFormat(), step == 0.5 ? QStringLiteral("%.1f") : QStringLiteral("%.0f"));
}

void TestChartAxes::logarithmicAxisDrawsOnlyPositivePoints()
{
    PlotChart chart;
    PlotSeries *s = seriesWith(chart, &chart, {10, 0, -5, 100, 1e-3});
    chart.attachSeries(s);
    chart.repaintNow();
    QCOMPARE(yValues(*s), QList<double>({10, 0, -5, 100, 1e-3}));

    chart.setAxisLogarithmic(VertAxis::Left, true);
    chart.repaintNow();
    QCOMPARE(yValues(*s), QList<double>({10, 100, 1e-3}));
    auto *log = qobject_cast<QLogValueAxis *>(chart.verticalAxis(VertAxis::Left));
    QVERIFY(log);
    QVERIFY(s->lineSeries()->attachedAxes().contains(log));
    QVERIFY(log->min() > 0 && log->min() <= 1e-3 && log->max() >= 100);
    QCOMPARE(s->pointCount(), 5); // the model keeps every point

    // A series with nothing positive draws nothing and breaks nothing.
    PlotSeries *negative = seriesWith(chart, &chart, {-1, 0});
    chart.attachSeries(negative);
    chart.repaintNow();
    QCOMPARE(negative->lineSeries()->count(), 0);

    chart.setAxisLogarithmic(VertAxis::Left, false);
    QCOMPARE(yValues(*s), QList<double>({10, 0, -5, 100, 1e-3}));
    QVERIFY(qobject_cast<QValueAxis *>(chart.verticalAxis(VertAxis::Left)));
    QVERIFY(s->lineSeries()->attachedAxes().contains(chart.verticalAxis(VertAxis::Left)));
}

void TestChartAxes::logarithmicAxisLabelsEveryDecadeAndWithinOne_data()
{
    QTest::addColumn<bool>("inverted");
    QTest::addColumn<double>("zoomFrom"); // 0: not zoomed
    QTest::addColumn<double>("zoomTo");
    QTest::newRow("1..1000") << false << 0.0 << 0.0;
    QTest::newRow("1..1000 inverted") << true << 0.0 << 0.0;
    QTest::newRow("zoomed to 3..8") << false << 3.0 << 8.0;
    QTest::newRow("zoomed to 3..8, inverted") << true << 3.0 << 8.0;
    QTest::newRow("zoomed to 20..60") << false << 20.0 << 60.0;
}

void TestChartAxes::logarithmicAxisLabelsEveryDecadeAndWithinOne()
{
    QFETCH(bool, inverted);
    QFETCH(double, zoomFrom);
    QFETCH(double, zoomTo);
    PlotChart chart;
    chart.resize(600, 500);
    chart.show();
    PlotSeries *s = seriesWith(chart, &chart, {1, 4, 30, 200, 1000});
    chart.attachSeries(s);
    chart.setAxisInverted(VertAxis::Left, inverted);
    chart.setAxisLogarithmic(VertAxis::Left, true);
    chart.repaintNow();
    const auto *log = qobject_cast<QLogValueAxis *>(chart.verticalAxis(VertAxis::Left));
    if (zoomFrom > 0) {
        const QPointF a = chart.chart()->mapToPosition(QPointF(double(PlotChart::dayToMSecs(40000)), zoomFrom), s->lineSeries());
        const QPointF b = chart.chart()->mapToPosition(QPointF(double(PlotChart::dayToMSecs(40004)), zoomTo), s->lineSeries());
        chart.chart()->zoomIn(QRectF(a, b).normalized());
        QVERIFY(std::abs(log->min() - zoomFrom) < 0.01 * zoomFrom);
        QVERIFY(std::abs(log->max() - zoomTo) < 0.01 * zoomTo);
    }
    // At once, and as the settled chart shows them: at least three labels in
    // every decade shown and three in all, each within the range.
    for (int pass = 0; pass < 2; ++pass) {
        const QList<double> labels = leftAxisLabels(chart);
        const double decades = std::log10(log->max() / log->min());
        QVERIFY2(labels.size() >= 3 * std::max(1.0, std::floor(decades)), qPrintable(QString::number(labels.size())));
        for (double v : labels)
            QVERIFY(v >= log->min() * (1 - 1e-6) && v <= log->max() * (1 + 1e-6));
        chart.repaintNow();
    }
}

void TestChartAxes::switchingKeepsSeriesOnTheirAxis()
{
    PlotChart chart;
    PlotSeries *left = seriesWith(chart, &chart, {1, -2});
    PlotSeries *right = seriesWith(chart, &chart, {3, 4});
    right->setAxis(VertAxis::Right);
    chart.attachSeries(left);
    chart.attachSeries(right);
    chart.repaintNow();

    chart.setAxisLogarithmic(VertAxis::Right, true);
    QVERIFY(chart.axisLogarithmic(VertAxis::Right));
    QVERIFY(!chart.axisLogarithmic(VertAxis::Left));
    QCOMPARE(yValues(*left), QList<double>({1, -2})); // the left axis is untouched
    QVERIFY(right->lineSeries()->attachedAxes().contains(chart.verticalAxis(VertAxis::Right)));
    QVERIFY(left->lineSeries()->attachedAxes().contains(chart.verticalAxis(VertAxis::Left)));
    QVERIFY(right->lineSeries()->attachedAxes().contains(chart.bottomAxis()));

    // Moving a series to the logarithmic axis drops its non-positive points.
    left->setAxis(VertAxis::Right);
    QCOMPARE(yValues(*left), QList<double>({1}));
    QVERIFY(left->lineSeries()->attachedAxes().contains(chart.verticalAxis(VertAxis::Right)));
    QCOMPARE(left->lineSeries()->attachedAxes().size(), 2);
}

void TestChartAxes::invertedSurvivesSwitchingToLogarithmic()
{
    PlotChart chart;
    chart.setAxisInverted(VertAxis::Left, true);
    QVERIFY(chart.verticalAxis(VertAxis::Left)->isReverse());
    chart.setAxisLogarithmic(VertAxis::Left, true);
    QVERIFY(chart.axisInverted(VertAxis::Left));
    QVERIFY(chart.verticalAxis(VertAxis::Left)->isReverse());
    QVERIFY(!chart.verticalAxis(VertAxis::Right)->isReverse());
    chart.setAxisInverted(VertAxis::Left, false);
    QVERIFY(!chart.verticalAxis(VertAxis::Left)->isReverse());
}

QTEST_MAIN(TestChartAxes)
#include "test_chartaxes.moc"
