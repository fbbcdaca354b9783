// The chart component: point order, days as local calendar days, axis
// switching with series on them, logarithmic axes and values at or below zero,
// the palette rule, clearing, zooming, saving and printing. Run under several
// time zones.
#include "app/ChartLegend.h"
#include "app/ChartOutput.h"
#include "app/PlotChart.h"
#include "service/PlotwiseError.h"
#include "service/u_Function.h"
#include "support/TestSupport.h"

#include <QCategoryAxis>
#include <QFile>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QLegend>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QMenu>
#include <QPrinter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QValueAxis>
#include <QtTest>
#include <ctime>
#include <set>

namespace {

int day(int y, int m, int d)
{
    return int(DateToDays(QDate(y, m, d)));
}

QList<double> yValues(const PlotSeries &series)
{
    QList<double> ys;
    for (const QPointF &p : series.lineSeries()->points())
        ys << p.y();
    return ys;
}

PlotSeries *seriesWith(PlotChart &chart, QObject *owner, const QList<double> &ys, int firstDay = 40000)
{
    PlotSeries *series = chart.createSeries(owner);
    for (int i = 0; i < ys.size(); ++i)
        series->addPoint(firstDay + i, ys[i]);
    return series;
}

bool containsColor(const QImage &image, const QColor &color)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == color)
                return true;
    return false;
}

// The drawings of lines in the chart's scene.
qsizetype lineDrawings(const PlotChart &chart)
{
    return std::ranges::count_if(chart.scene()->items(), [](QGraphicsItem *item) {
        const QGraphicsObject *object = item->toGraphicsObject();
        return object && object->inherits("LineChartItem");
    });
}

// Where the legend is drawn, in the chart's pixels.
QRect legendArea(const PlotChart &chart)
{
    return chart.legend()->sceneBoundingRect().toRect();
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

// Whether the lowest and the highest point of every pixel column of the plot
// area are among the points the chart draws, and the first and last of all.
bool drawsEveryColumnsExtremes(const PlotChart &chart, const PlotSeries &series)
{
    const double origin = double(chart.bottomMin().toMSecsSinceEpoch());
    const double span = double(chart.bottomMax().toMSecsSinceEpoch()) - origin;
    const double columnWidth = span / chart.chart()->plotArea().width();
    std::set<std::pair<double, double>> drawn;
    for (const QPointF &p : series.lineSeries()->points())
        drawn.insert({ p.x(), p.y() });
    std::map<double, std::pair<QPointF, QPointF>> extremes; // column: lowest, highest
    for (const SeriesPoint &point : series.points()) {
        const QPointF p(double(PlotChart::dayToMSecs(point.day)), point.y);
        const auto [it, added] = extremes.insert({ std::floor((p.x() - origin) / columnWidth), { p, p } });
        if (p.y() < it->second.first.y())
            it->second.first = p;
        if (p.y() > it->second.second.y())
            it->second.second = p;
    }
    const auto isDrawn = [&](const QPointF &p) { return drawn.count({ p.x(), p.y() }) == 1; };
    for (const auto &[column, lowHigh] : extremes) {
        if (!isDrawn(lowHigh.first) || !isDrawn(lowHigh.second))
            return false;
    }
    const SeriesPoint &first = series.points().front();
    const SeriesPoint &last = series.points().back();
    return isDrawn(QPointF(double(PlotChart::dayToMSecs(first.day)), first.y))
        && isDrawn(QPointF(double(PlotChart::dayToMSecs(last.day)), last.y));
}

// Counts how often the view draws it: spread over the whole scene, it is
// drawn at every repaint of the chart's pixels, as a line is.
class PaintCounter : public QGraphicsRectItem
{
public:
    using QGraphicsRectItem::QGraphicsRectItem;
    void paint(QPainter *, const QStyleOptionGraphicsItem *, QWidget *) override { ++paints; }
    int paints = 0;
};

} // namespace

class TestChart : public QObject
{
    Q_OBJECT
private slots:
    void pointsKeepAscendingDaysNewAfterEqual();
    void daysAreLocalCalendarDays_data();
    void daysAreLocalCalendarDays();
    void dayToMSecsIsQtsLocalMidnight_data();
    void dayToMSecsIsQtsLocalMidnight();
    void axesScaleToTheData();
    void logarithmicAxisDrawsOnlyPositivePoints();
    void logarithmicAxisLabelsEveryDecadeAndWithinOne_data();
    void logarithmicAxisLabelsEveryDecadeAndWithinOne();
    void switchingKeepsSeriesOnTheirAxis();
    void invertedSurvivesSwitchingToLogarithmic();
    void paletteGivesFirstUnusedColour();
    void clearingFreesTheSeries();
    void legendShowsNamesAsWritten_data();
    void legendShowsNamesAsWritten();
    void pointsAddedToAnAttachedSeriesReachTheChartInOneCall();
    void dragZoomsAndUndoes();
    void zoomBackReturnsStepByStep();
    void dateTicksFollowAZoomAtOnce_data();
    void dateTicksFollowAZoomAtOnce();
    void denseLinesAreThinnedOnlyWhereDrawn();
    void saveChoosesTheFormatByExtension_data();
    void saveChoosesTheFormatByExtension();
    void savedImageShowsTheCurrentState();
    void aSaveThatFailsHalfWayKeepsTheOldImage();
    void dateLabelsShowOnAChartShownBeforeItHadSeries();
    void printToTitlesTheJob();
    void dateCursorMovesDrawNoLineAgain_data();
    void dateCursorMovesDrawNoLineAgain();
};

void TestChart::pointsKeepAscendingDaysNewAfterEqual()
{
    PlotChart chart;
    PlotSeries *s = chart.createSeries(&chart);
    const QList<std::pair<int, double>> added{{5, 1}, {3, 2}, {5, 3}, {4, 4}, {3, 5}, {9, 6}, {1, 7}};
    for (auto [d, y] : added)
        s->addPoint(d, y);
    QList<std::pair<int, double>> got;
    for (const SeriesPoint &p : s->points())
        got << std::pair(p.day, p.y);
    const QList<std::pair<int, double>> expected{{1, 7}, {3, 2}, {3, 5}, {4, 4}, {5, 1}, {5, 3}, {9, 6}};
    QCOMPARE(got, expected);
    QCOMPARE(s->pointCount(), 7);
}

void TestChart::daysAreLocalCalendarDays_data()
{
    QTest::addColumn<QDate>("date");
    QTest::newRow("leap day") << QDate(2020, 2, 29);
    QTest::newRow("US spring forward") << QDate(2020, 3, 8);
    QTest::newRow("US fall back") << QDate(2020, 11, 1);
    QTest::newRow("NZ spring forward") << QDate(2020, 9, 27);
    QTest::newRow("NZ fall back") << QDate(2020, 4, 5);
    QTest::newRow("new year") << QDate(2021, 1, 1);
}

void TestChart::dayToMSecsIsQtsLocalMidnight_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::newRow("changes at 2:00") << QByteArray("America/New_York");
    QTest::newRow("southern summer") << QByteArray("Pacific/Auckland");
    QTest::newRow("midnight skipped") << QByteArray("America/Sao_Paulo");
    QTest::newRow("midnight twice") << QByteArray("America/Havana");
    QTest::newRow("changes at 0:00") << QByteArray("Asia/Beirut");
}

void TestChart::dayToMSecsIsQtsLocalMidnight()
{
    // Every day of twelve years, days next to a change of offset included.
    QFETCH(QByteArray, zone);
    const QByteArray oldZone = qgetenv("TZ");
    qputenv("TZ", zone);
    tzset();
    QList<QDate> differing;
    for (QDate date(2009, 1, 1); date.year() <= 2020; date = date.addDays(1)) {
        if (PlotChart::dayToMSecs(day(date.year(), date.month(), date.day()))
            != date.startOfDay().toMSecsSinceEpoch())
            differing << date;
    }
    qputenv("TZ", oldZone);
    tzset();
    QCOMPARE(differing, QList<QDate>());
}

void TestChart::daysAreLocalCalendarDays()
{
    QFETCH(QDate, date);
    const QDateTime shown = QDateTime::fromMSecsSinceEpoch(PlotChart::dayToMSecs(day(date.year(), date.month(), date.day())));
    QCOMPARE(shown.date(), date);
    QCOMPARE(shown.time(), QTime(0, 0));

    // The date axis starts at that very day when it is the series' first.
    PlotChart chart;
    PlotSeries *s = chart.createSeries(&chart);
    s->addPoint(int(DateToDays(date)), 1);
    s->addPoint(int(DateToDays(date)) + 30, 2);
    chart.attachSeries(s);
    chart.repaintNow();
    QCOMPARE(chart.bottomMin().date(), date);
    QCOMPARE(chart.bottomMax().date(), date.addDays(30));
}

void TestChart::axesScaleToTheData()
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

void TestChart::logarithmicAxisDrawsOnlyPositivePoints()
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

void TestChart::logarithmicAxisLabelsEveryDecadeAndWithinOne_data()
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

void TestChart::logarithmicAxisLabelsEveryDecadeAndWithinOne()
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

void TestChart::switchingKeepsSeriesOnTheirAxis()
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

void TestChart::invertedSurvivesSwitchingToLogarithmic()
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

void TestChart::paletteGivesFirstUnusedColour()
{
    PlotChart chart;
    PlotSeries *a = seriesWith(chart, &chart, {1});
    PlotSeries *b = seriesWith(chart, &chart, {1});
    chart.attachSeries(a);
    chart.attachSeries(b);
    QVERIFY(!a->colorSet() && !b->colorSet());
    QVERIFY(a->color() != b->color());
    const QColor second = b->color();

    b->setColor(Qt::red); // b no longer uses its palette colour
    QCOMPARE(b->lineSeries()->color(), QColor(Qt::red));
    PlotSeries *c = seriesWith(chart, &chart, {1});
    chart.attachSeries(c);
    QCOMPARE(c->color(), second);
    QCOMPARE(c->lineSeries()->pen().color(), second);

    // A series with a colour of its own keeps it.
    PlotSeries *d = seriesWith(chart, &chart, {1});
    d->setColor(ColorFromValue(0x00FF00)); // green in the chart's colour value layout
    chart.attachSeries(d);
    QCOMPARE(d->lineSeries()->color(), QColor(0, 255, 0));
    QCOMPARE(ColorFromValue(0x0000FF), QColor(255, 0, 0));
    QCOMPARE(ColorFromValue(0xFF0000), QColor(0, 0, 255));

    // Once every palette colour is taken, colours are shared, never missing.
    QSet<QRgb> colours;
    for (int i = 0; i < 30; ++i) {
        PlotSeries *s = seriesWith(chart, &chart, {1});
        chart.attachSeries(s);
        QVERIFY(s->color().isValid());
        colours << s->color().rgb();
    }
    QVERIFY(colours.size() > 5);
}

void TestChart::clearingFreesTheSeries()
{
    QObject owner;
    PlotChart chart;
    chart.setAxisLogarithmic(VertAxis::Right, true);
    chart.setAxisInverted(VertAxis::Left, true);
    chart.setLegendVisible(false);
    QPointer<PlotSeries> s = seriesWith(chart, &owner, {1, 2});
    s->setTitle(QStringLiteral("Game"));
    chart.attachSeries(s);
    chart.repaintNow();
    QCOMPARE(QTextDocumentFragment::fromHtml(s->lineSeries()->name()).toPlainText(), QStringLiteral("Game"));
    QCOMPARE(lineDrawings(chart), 1);
    chart.clearSeriesList();
    // Its drawing goes too, with no event loop running (a script, a
    // headless run).
    QCOMPARE(lineDrawings(chart), 0);
    chart.repaintNow();
    QCOMPARE(chart.seriesCount(), 0);
    QVERIFY(chart.chart()->series().isEmpty());
    QVERIFY(!s); // freed, not left to its owner until the program ends
    QVERIFY(owner.children().isEmpty());
    QVERIFY(chart.axisLogarithmic(VertAxis::Right));
    QVERIFY(chart.axisInverted(VertAxis::Left));
    QVERIFY(!chart.legendVisible());

    // A series deleted while on the chart leaves it cleanly.
    PlotSeries *t = seriesWith(chart, &owner, {1, 2});
    chart.attachSeries(t);
    chart.repaintNow();
    QCOMPARE(t->lineSeries()->count(), 2);
    delete t;
    QCOMPARE(chart.seriesCount(), 0);
    QVERIFY(chart.chart()->series().isEmpty());
}

// A name is shown in the legend as it is written, never read as markup, and
// so is the whole of a shortened one in its tooltip.
void TestChart::legendShowsNamesAsWritten_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("shortened");
    QTest::newRow("a tag") << "<b>Bold</b> Moves" << false;
    QTest::newRow("angle brackets, ampersands") << "a < b > c & Fish &amp; Chips" << false;
    QTest::newRow("quotes") << R"("Quoted" start, 'end')" << false;
    QTest::newRow("a long name, shortened") << QString(R"(Fish &amp; "Chips" )").repeated(12).trimmed() << true;
}

void TestChart::legendShowsNamesAsWritten()
{
    QFETCH(QString, name);
    QFETCH(bool, shortened);
    PlotChart chart;
    chart.resize(600, 400);
    chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart));
    PlotSeries *s = seriesWith(chart, &chart, {1, 2});
    s->setTitle(name);
    chart.attachSeries(s);
    chart.repaintNow();
    const QList<QGraphicsSimpleTextItem *> texts = chart.legend()->texts();
    QCOMPARE(texts.size(), 1);
    const QString shown = texts[0]->text();
    if (!shortened) {
        QCOMPARE(shown, name);
        return;
    }
    QVERIFY2(shown.endsWith(QChar(0x2026)) && name.startsWith(shown.chopped(1)), qPrintable(shown));
    // A tooltip is shown as rich text only when Qt guesses it is.
    const QString tip = texts[0]->parentItem()->toolTip();
    QVERIFY(Qt::mightBeRichText(tip));
    QCOMPARE(QTextDocumentFragment::fromHtml(tip).toPlainText(), name);
}

void TestChart::pointsAddedToAnAttachedSeriesReachTheChartInOneCall()
{
    PlotChart chart;
    PlotSeries *s = seriesWith(chart, &chart, {1});
    chart.attachSeries(s);
    chart.repaintNow();
    QSignalSpy replaced(s->lineSeries(), &QXYSeries::pointsReplaced);
    QSignalSpy added(s->lineSeries(), &QXYSeries::pointAdded);
    for (int i = 1; i <= 5500; ++i)
        s->addPoint(40000 + i, i);
    QCOMPARE(s->lineSeries()->count(), 1); // nothing per point
    QCoreApplication::processEvents();
    QCOMPARE(s->lineSeries()->count(), 5501);
    QCOMPARE(replaced.size(), 1);
    QCOMPARE(added.size(), 0);
    QCOMPARE(chart.bottomMax().date(), DaysToDate(45500));
}

void TestChart::dragZoomsAndUndoes()
{
    PlotChart chart;
    chart.resize(600, 400);
    chart.show();
    chart.attachSeries(seriesWith(chart, &chart, {1, 5, 2, 8, 3, 9, 4}));
    chart.repaintNow();
    const QDateTime fullMin = chart.bottomMin();
    const QDateTime fullMax = chart.bottomMax();
    const QRectF area = chart.chart()->plotArea();
    const QPoint from = chart.mapFromScene(chart.chart()->mapToScene(area.center() - QPointF(60, 40)));
    const QPoint to = from + QPoint(120, 80);

    QTest::mousePress(chart.viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(chart.viewport(), to);
    QTest::mouseRelease(chart.viewport(), Qt::LeftButton, {}, to);
    QVERIFY(chart.bottomMin() > fullMin);
    QVERIFY(chart.bottomMax() < fullMax);

    // Dragging towards the upper left undoes the zoom.
    QTest::mousePress(chart.viewport(), Qt::LeftButton, {}, to);
    QTest::mouseMove(chart.viewport(), from);
    QTest::mouseRelease(chart.viewport(), Qt::LeftButton, {}, from);
    chart.repaintNow();
    QCOMPARE(chart.bottomMin(), fullMin);
    QCOMPARE(chart.bottomMax(), fullMax);

    // Dragging with the right button scrolls: the content follows the mouse.
    QTest::mousePress(chart.viewport(), Qt::RightButton, {}, from);
    QTest::mouseMove(chart.viewport(), from + QPoint(100, 0));
    QTest::mouseRelease(chart.viewport(), Qt::RightButton, {}, from + QPoint(100, 0));
    QVERIFY(chart.bottomMin() < fullMin);
}

void TestChart::zoomBackReturnsStepByStep()
{
    PlotChart chart;
    chart.resize(600, 400);
    chart.show();
    PlotSeries *right = seriesWith(chart, &chart, {3, 1, 4, 1, 5});
    right->setAxis(VertAxis::Right);
    chart.attachSeries(seriesWith(chart, &chart, {1, 5, 2, 8, 3, 9, 4}));
    chart.attachSeries(right);
    chart.repaintNow();
    using View = QList<double>;
    const auto view = [&] {
        const auto *left = static_cast<QValueAxis *>(chart.verticalAxis(VertAxis::Left));
        const auto *rightAxis = static_cast<QValueAxis *>(chart.verticalAxis(VertAxis::Right));
        return View{chart.bottomAxis()->min(), chart.bottomAxis()->max(), left->min(), left->max(),
                    rightAxis->min(), rightAxis->max()};
    };
    QWidget *viewport = chart.viewport();
    const QPoint middle = chart.mapFromScene(chart.chart()->mapToScene(chart.chart()->plotArea().center()));
    const auto zoom = [&] {
        QTest::mousePress(viewport, Qt::LeftButton, {}, middle - QPoint(50, 40));
        QTest::mouseMove(viewport, middle + QPoint(50, 40));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, middle + QPoint(50, 40));
    };
    const View full = view();
    zoom();
    const View once = view();
    zoom();
    const View twice = view();
    QTest::mousePress(viewport, Qt::RightButton, {}, middle);
    QTest::mouseMove(viewport, middle + QPoint(30, 0));
    QTest::mouseMove(viewport, middle + QPoint(60, 10));
    QTest::mouseRelease(viewport, Qt::RightButton, {}, middle + QPoint(60, 10));
    QVERIFY(view() != twice);
    QCOMPARE(chart.zoomBackSteps(), 3); // one step for the whole scroll

    // Backspace, the mouse's back button and the menu each go one step back.
    chart.setFocus();
    QTest::keyClick(&chart, Qt::Key_Backspace);
    QCOMPARE(view(), twice);
    QTest::mouseClick(viewport, Qt::BackButton, {}, middle);
    QCOMPARE(view(), once);
    QMenu *menu = chart.contextMenu();
    // Whether the menu's action was enabled when it opened; triggers it if so.
    const auto menuAction = [&](const char *name) -> bool {
        QTest::mouseClick(viewport, Qt::RightButton, {}, middle);
        if (!QTest::qWaitFor([&] { return menu->isVisible(); }))
            return false;
        QAction *action = menu->findChild<QAction *>(QLatin1String(name));
        const bool enabled = action->isEnabled();
        if (enabled)
            action->trigger();
        menu->close();
        return enabled;
    };
    QVERIFY(menuAction("actZoomBack"));
    QCOMPARE(view(), full);
    QVERIFY(!menuAction("actZoomBack")); // nothing left to go back to
    QTest::keyClick(&chart, Qt::Key_Backspace);
    QCOMPARE(view(), full);

    // Reset zoom ends the zoom and forgets the way back.
    zoom();
    zoom();
    QVERIFY(menuAction("actResetZoom"));
    chart.repaintNow();
    QCOMPARE(view(), full);
    QCOMPARE(chart.zoomBackSteps(), 0);
}

void TestChart::dateTicksFollowAZoomAtOnce_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("band") << QStringLiteral("band");
    QTest::newRow("scroll") << QStringLiteral("scroll");
    QTest::newRow("zoom back") << QStringLiteral("back");
    QTest::newRow("reset") << QStringLiteral("reset");
}

void TestChart::dateTicksFollowAZoomAtOnce()
{
    QFETCH(QString, how);
    PlotChart chart;
    chart.resize(600, 400);
    chart.show();
    // Three years: quarters or years in full, months once zoomed.
    chart.attachSeries(seriesWith(chart, &chart, QList<double>(1100, 5.0), day(2019, 1, 1)));
    chart.repaintNow();
    QWidget *viewport = chart.viewport();
    const QPoint middle = chart.mapFromScene(chart.chart()->mapToScene(chart.chart()->plotArea().center()));
    const auto band = [&] {
        QTest::mousePress(viewport, Qt::LeftButton, {}, middle - QPoint(40, 40));
        QTest::mouseMove(viewport, middle + QPoint(40, 40));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, middle + QPoint(40, 40));
    };
    if (how == QLatin1String("band")) {
        band();
    } else if (how == QLatin1String("scroll")) {
        band();
        chart.repaintNow();
        QTest::mousePress(viewport, Qt::RightButton, {}, middle);
        QTest::mouseMove(viewport, middle + QPoint(150, 0));
        QTest::mouseRelease(viewport, Qt::RightButton, {}, middle + QPoint(150, 0));
    } else {
        band();
        chart.repaintNow();
        band();
        chart.repaintNow();
        if (how == QLatin1String("back"))
            QVERIFY(chart.zoomBack());
        else
            chart.undoZoom();
    }
    // Right after the zoom, without a pass of the event loop: every label
    // lies within the range shown and they are those the settled chart shows.
    const QList<QDate> now = chart.tickDates();
    QVERIFY(!now.isEmpty());
    for (const QDate &date : now) {
        const qint64 x = PlotChart::dayToMSecs(int(DateToDays(date)));
        QVERIFY2(x >= chart.bottomMin().toMSecsSinceEpoch() && x <= chart.bottomMax().toMSecsSinceEpoch(),
                 qPrintable(date.toString(Qt::ISODate)));
    }
    const QStringList labels = chart.bottomAxis()->categoriesLabels();
    QCoreApplication::processEvents();
    chart.repaintNow();
    QCOMPARE(chart.tickDates(), now);
    QCOMPARE(chart.bottomAxis()->categoriesLabels(), labels);
}

void TestChart::denseLinesAreThinnedOnlyWhereDrawn()
{
    QTemporaryDir dir;
    PlotChart chart;
    chart.resize(600, 400);
    chart.show();
    PlotSeries *dense = chart.createSeries(&chart);
    dense->setMarksVisible(false);
    quint32 seed = 1;
    for (int i = 0; i < 5500; ++i) {
        seed = seed * 1664525u + 1013904223u;
        dense->addPoint(40000 + i, double(seed >> 16));
    }
    chart.attachSeries(dense);
    PlotSeries *marked = seriesWith(chart, &chart, QList<double>(3000, 1.0));
    chart.attachSeries(marked);
    chart.repaintNow();

    // A few hundred pixel columns of about ten points each: at most four
    // drawn per column, its lowest and highest among them.
    const auto drawnPoints = [&] { return dense->lineSeries()->count(); };
    QVERIFY(drawnPoints() < 2500);
    QVERIFY(drawsEveryColumnsExtremes(chart, *dense));
    // Marks show every value: every point is drawn.
    QCOMPARE(marked->lineSeries()->count(), 3000);
    // The model and what is written from it keep every point.
    QCOMPARE(dense->pointCount(), 5500);
    const QString csv = dir.filePath(QStringLiteral("points.csv"));
    WriteChartCsv(chart, csv);
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count('\n'), 1 + 5500 + 3000);

    // Zoomed in, the lines are thinned for the columns of the new range.
    const qsizetype before = drawnPoints();
    const QRectF area = chart.chart()->plotArea();
    chart.chart()->zoomIn(QRectF(area.topLeft(), QSizeF(area.width() / 10, area.height())));
    chart.repaintNow();
    QVERIFY(drawnPoints() > before);
    QVERIFY(drawsEveryColumnsExtremes(chart, *dense));

    // So are they for a plot area of another size, and back.
    chart.undoZoom();
    chart.resize(300, 400);
    chart.repaintNow();
    QVERIFY(drawnPoints() < before);
    QVERIFY(drawsEveryColumnsExtremes(chart, *dense));
}

void TestChart::saveChoosesTheFormatByExtension_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("magic");
    QTest::newRow("bmp") << QStringLiteral("graph.bmp") << QByteArray("BM");
    QTest::newRow("png") << QStringLiteral("graph.png") << QByteArray("\x89PNG");
    QTest::newRow("jpeg") << QStringLiteral("graph.JPEG") << QByteArray("\xff\xd8");
    QTest::newRow("other extension") << QStringLiteral("graph.txt") << QByteArray("BM");
}

void TestChart::saveChoosesTheFormatByExtension()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, magic);
    QTemporaryDir dir;
    PlotChart chart;
    chart.resize(400, 300);
    chart.show();
    PlotSeries *s = seriesWith(chart, &chart, {1, 5, 2, 8});
    s->setColor(QColor(255, 0, 0));
    s->setLineWidth(2);
    chart.attachSeries(s);
    const QString path = dir.filePath(name);
    SaveGraphImage(chart, path);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.read(magic.size()) == magic);
    file.close();
    const QImage image(path, magic == "BM" ? "BMP" : nullptr);
    QCOMPARE(image.size(), QSize(400, 300));
    QCOMPARE(image.pixelColor(1, 1), QColor(Qt::white));
    if (!magic.startsWith('\xff')) { // JPEG shifts colours
        // The image shows the chart as laid out now: the series and its
        // legend entry below the plot area.
        QVERIFY(containsColor(image, QColor(255, 0, 0)));
        QVERIFY(containsColor(image.copy(legendArea(chart)), QColor(255, 0, 0)));
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList(name)); // no temporary left
}

void TestChart::savedImageShowsTheCurrentState()
{
    // Regression: the image was drawn before Qt Charts had laid out changes
    // made just before the save, so the right axis and the legend were missing.
    QTemporaryDir dir;
    PlotChart chart;
    chart.resize(400, 300);
    chart.show();
    PlotSeries *rising = seriesWith(chart, &chart, {1, 2, 3, 4, 5, 6, 7, 8});
    rising->setColor(QColor(255, 0, 0));
    rising->setLineWidth(3);
    chart.attachSeries(rising);
    PlotSeries *right = seriesWith(chart, &chart, {5, 3});
    right->setAxis(VertAxis::Right);
    right->setColor(QColor(0, 0, 255));
    chart.attachSeries(right);
    chart.setBottomLabelAngle(90);
    chart.setAxisInverted(VertAxis::Left, true);
    const QString path = dir.filePath(QStringLiteral("graph.png"));
    SaveGraphImage(chart, path);
    const QImage image(path);
    const QRect area = chart.chart()->plotArea().toRect();
    const QSize quarter = area.size() / 4;
    const QRect topLeft(area.topLeft(), quarter);
    const QRect bottomLeft(QPoint(area.left(), area.bottom() - quarter.height()), quarter);
    QVERIFY(containsColor(image.copy(topLeft), QColor(255, 0, 0)));
    QVERIFY(!containsColor(image.copy(bottomLeft), QColor(255, 0, 0)));
    QVERIFY(containsColor(image.copy(legendArea(chart)), QColor(0, 0, 255)));
}

void TestChart::aSaveThatFailsHalfWayKeepsTheOldImage()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("graph.png"));
    const QByteArray old = "an older image";
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    PlotChart chart;
    chart.resize(400, 300);
    chart.attachSeries(seriesWith(chart, &chart, {1, 5, 2, 8}));

    QString message;
    try {
        const FileSizeLimit fullDisk(512);
        SaveGraphImage(chart, path);
    } catch (const PlotwiseError &e) {
        message = e.message();
    }

    QVERIFY2(message.startsWith(QStringLiteral("Cannot create file")), qPrintable(message));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList(QStringLiteral("graph.png")));
}

void TestChart::dateLabelsShowOnAChartShownBeforeItHadSeries()
{
    // Regression: Qt Charts left the date labels and grid out when the range
    // was the only thing that changed since the chart was first shown.
    QTemporaryDir dir;
    PlotChart chart;
    chart.resize(440, 600); // five date labels: the count it starts with
    chart.show();
    QCoreApplication::processEvents();
    PlotSeries *years = chart.createSeries(&chart);
    years->addPoint(40000, 1);
    years->addPoint(43000, 2);
    chart.attachSeries(years);
    QCoreApplication::processEvents();
    const QString path = dir.filePath(QStringLiteral("graph.png"));
    SaveGraphImage(chart, path);
    const QImage image(path);
    const QRect area = chart.chart()->plotArea().toRect();
    const QImage below = image.copy(area.left(), area.bottom() + 6, area.width(), image.height() - area.bottom() - 6);
    bool drawn = false;
    for (int y = 0; y < below.height() && !drawn; ++y)
        for (int x = 0; x < below.width() && !drawn; ++x)
            drawn = qGray(below.pixel(x, y)) < 128;
    QVERIFY(drawn);
}

void TestChart::printToTitlesTheJob()
{
    QTemporaryDir dir;
    PlotChart chart;
    chart.setObjectName(QStringLiteral("chaMain"));
    chart.resize(400, 300);
    chart.attachSeries(seriesWith(chart, &chart, {1, 2}));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("out.pdf")));
    chart.printTo(printer);
    QCOMPARE(printer.docName(), QStringLiteral("chaMain"));
    QFile pdf(printer.outputFileName());
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QVERIFY(pdf.readAll().startsWith("%PDF"));
}

QTEST_MAIN(TestChart)
void TestChart::dateCursorMovesDrawNoLineAgain_data()
{
    QTest::addColumn<QString>("between");
    QTest::addColumn<bool>("drawn");
    QTest::newRow("nothing") << QString() << false;
    QTest::newRow("the scene") << QStringLiteral("scene") << true;
    QTest::newRow("a line hidden") << QStringLiteral("hide") << true;
    QTest::newRow("an axis inverted") << QStringLiteral("invert") << true;
    QTest::newRow("the size") << QStringLiteral("resize") << true;
}

void TestChart::dateCursorMovesDrawNoLineAgain()
{
    QFETCH(QString, between);
    QFETCH(bool, drawn);
    PlotChart chart;
    chart.resize(600, 400);
    chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart));
    PlotSeries *s = seriesWith(chart, &chart, {1, 5, 2, 8, 3, 9, 4, 7, 6, 10});
    chart.attachSeries(s);
    chart.attachSeries(seriesWith(chart, &chart, {3, 3, 4, 4, 5, 5, 6, 6, 7, 7}));
    auto *counter = new PaintCounter(chart.scene()->sceneRect());
    chart.scene()->addItem(counter);
    chart.repaintNow();
    const QRectF area = chart.chart()->plotArea();
    const auto move = [&](double share) {
        const QPoint pos = chart.mapFromScene(chart.chart()->mapToScene(
            QPointF(area.left() + area.width() * share, area.center().y())));
        QMouseEvent event(QEvent::MouseMove, pos, chart.viewport()->mapToGlobal(pos), Qt::NoButton,
                          Qt::NoButton, Qt::ShiftModifier);
        QCoreApplication::sendEvent(chart.viewport(), &event);
        QCoreApplication::processEvents();
    };
    move(0.2);
    QVERIFY(chart.dateCursor().visible());
    if (between == u"scene")
        counter->setBrush(Qt::red);
    else if (between == u"hide")
        s->setShown(false);
    else if (between == u"invert")
        chart.setAxisInverted(VertAxis::Left, true);
    else if (between == u"resize")
        chart.resize(620, 400);
    QCoreApplication::processEvents();
    counter->paints = 0;
    for (const double share : {0.3, 0.5, 0.7})
        move(share);
    QVERIFY(chart.dateCursor().visible());
    // Drawn anew once the chart changed, else copied from the last drawing.
    QCOMPARE(counter->paints > 0, drawn);
}

#include "test_chart.moc"
