// The chart's series: point order, days as local calendar days, the palette
// rule, clearing, names in the legend, points added at once, a held chart
// catching up in one go, and dense lines thinned where drawn. Run under
// several time zones.
#include "app/ChartLegend.h"
#include "app/ChartOutput.h"
#include "app/PlotChart.h"
#include "service/u_Function.h"
#include "support/ChartTests.h"

#include <QFile>
#include <QGraphicsScene>
#include <QLegend>
#include <QLineSeries>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QValueAxis>
#include <QtTest>
#include <ctime>
#include <map>
#include <set>

namespace {

// The drawings of lines in the chart's scene.
qsizetype lineDrawings(const PlotChart &chart)
{
    return std::ranges::count_if(chart.scene()->items(), [](QGraphicsItem *item) {
        const QGraphicsObject *object = item->toGraphicsObject();
        return object && object->inherits("LineChartItem");
    });
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

} // namespace

class TestChartSeries : public QObject
{
    Q_OBJECT
private slots:
    void pointsKeepAscendingDaysNewAfterEqual();
    void daysAreLocalCalendarDays_data();
    void daysAreLocalCalendarDays();
    void dayToMSecsIsQtsLocalMidnight_data();
    void dayToMSecsIsQtsLocalMidnight();
    void paletteGivesFirstUnusedColour();
    void clearingFreesTheSeries();
    void legendShowsNamesAsWritten_data();
    void legendShowsNamesAsWritten();
    void pointsAddedToAnAttachedSeriesReachTheChartInOneCall();
    void heldChartCatchesUpInOneGo();
    void denseLinesAreThinnedOnlyWhereDrawn();
};

void TestChartSeries::pointsKeepAscendingDaysNewAfterEqual()
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

void TestChartSeries::daysAreLocalCalendarDays_data()
{
    QTest::addColumn<QDate>("date");
    QTest::newRow("leap day") << QDate(2020, 2, 29);
    QTest::newRow("US spring forward") << QDate(2020, 3, 8);
    QTest::newRow("US fall back") << QDate(2020, 11, 1);
    QTest::newRow("NZ spring forward") << QDate(2020, 9, 27);
    QTest::newRow("NZ fall back") << QDate(2020, 4, 5);
    QTest::newRow("new year") << QDate(2021, 1, 1);
}

void TestChartSeries::daysAreLocalCalendarDays()
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

void TestChartSeries::dayToMSecsIsQtsLocalMidnight_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::newRow("changes at 2:00") << QByteArray("America/New_York");
    QTest::newRow("southern summer") << QByteArray("Pacific/Auckland");
    QTest::newRow("midnight skipped") << QByteArray("America/Sao_Paulo");
    QTest::newRow("midnight twice") << QByteArray("America/Havana");
    QTest::newRow("changes at 0:00") << QByteArray("Asia/Beirut");
}

void TestChartSeries::dayToMSecsIsQtsLocalMidnight()
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

void TestChartSeries::paletteGivesFirstUnusedColour()
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

void TestChartSeries::clearingFreesTheSeries()
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
void TestChartSeries::legendShowsNamesAsWritten_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("shortened");
    QTest::newRow("a tag") << "<b>Bold</b> Moves" << false;
    QTest::newRow("angle brackets, ampersands") << "a < b > c & Fish &amp; Chips" << false;
    QTest::newRow("quotes") << R"("Quoted" start, 'end')" << false;
    QTest::newRow("a long name, shortened") << QString(R"(Fish &amp; "Chips" )").repeated(12).trimmed() << true;
}

void TestChartSeries::legendShowsNamesAsWritten()
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

void TestChartSeries::pointsAddedToAnAttachedSeriesReachTheChartInOneCall()
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

void TestChartSeries::heldChartCatchesUpInOneGo()
{
    PlotChart chart;
    QObject owner;
    const auto attach = [&](std::initializer_list<double> values) {
        PlotSeries *s = chart.createSeries(&owner);
        int day = 40000;
        for (double v : values)
            s->addPoint(day++, v);
        chart.attachSeries(s);
        return s;
    };
    // Idle passes leave a held chart alone; holds nest. A series attached
    // meanwhile gets its line and legend entry only then: each entry added
    // lays the whole legend out again.
    const auto entries = [&] { return chart.chart()->legend()->markers().size(); };
    chart.hold();
    chart.hold();
    PlotSeries *a = attach({ 5, 6, 7 });
    PlotSeries *gone = attach({ 8 });
    delete gone;
    QCoreApplication::processEvents();
    QCOMPARE(chart.seriesCount(), 1);
    QVERIFY(!a->lineSeries());
    chart.release();
    QCoreApplication::processEvents();
    QVERIFY(!a->lineSeries());
    QCOMPARE(entries(), 0);

    // A flush brings it up to date while the hold goes on, with what was
    // changed while it waited.
    a->setAxis(VertAxis::Right);
    a->setColor(Qt::red);
    chart.flush();
    QCOMPARE(a->lineSeries()->count(), 3);
    QCOMPARE(entries(), 1);
    QVERIFY(a->lineSeries()->attachedAxes().contains(chart.verticalAxis(VertAxis::Right)));
    QCOMPARE(a->lineSeries()->color(), QColor(Qt::red));
    PlotSeries *b = attach({ 1, 2 });
    QCoreApplication::processEvents();
    QVERIFY(!b->lineSeries());

    // The end of the last hold applies everything, scales included.
    chart.release();
    QCOMPARE(b->lineSeries()->count(), 2);
    QCOMPARE(entries(), 2);
    const auto *left = static_cast<QValueAxis *>(chart.verticalAxis(VertAxis::Left));
    QVERIFY(left->min() <= 1 && left->max() >= 2);

    // Without a hold the next idle pass does it, as before.
    PlotSeries *c = attach({ 9 });
    QCoreApplication::processEvents();
    QCOMPARE(c->lineSeries()->count(), 1);
}

void TestChartSeries::denseLinesAreThinnedOnlyWhereDrawn()
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

QTEST_MAIN(TestChartSeries)
#include "test_chartseries.moc"
