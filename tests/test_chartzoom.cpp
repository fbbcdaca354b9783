// Zooming and scrolling the chart with the mouse, the way back step by step,
// date ticks that follow a zoom at once, and a date cursor that moves
// without drawing the lines again. Run under several time zones.
#include "app/PlotChart.h"
#include "service/u_Function.h"
#include "support/ChartTests.h"

#include <QCategoryAxis>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QMenu>
#include <QValueAxis>
#include <QtTest>

namespace {

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

class TestChartZoom : public QObject
{
    Q_OBJECT
private slots:
    void dragZoomsAndUndoes();
    void zoomBackReturnsStepByStep();
    void dateTicksFollowAZoomAtOnce_data();
    void dateTicksFollowAZoomAtOnce();
    void dateCursorMovesDrawNoLineAgain_data();
    void dateCursorMovesDrawNoLineAgain();
};

void TestChartZoom::dragZoomsAndUndoes()
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

void TestChartZoom::zoomBackReturnsStepByStep()
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

void TestChartZoom::dateTicksFollowAZoomAtOnce_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("band") << QStringLiteral("band");
    QTest::newRow("scroll") << QStringLiteral("scroll");
    QTest::newRow("zoom back") << QStringLiteral("back");
    QTest::newRow("reset") << QStringLiteral("reset");
}

void TestChartZoom::dateTicksFollowAZoomAtOnce()
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

void TestChartZoom::dateCursorMovesDrawNoLineAgain_data()
{
    QTest::addColumn<QString>("between");
    QTest::addColumn<bool>("drawn");
    QTest::newRow("nothing") << QString() << false;
    QTest::newRow("the scene") << QStringLiteral("scene") << true;
    QTest::newRow("a line hidden") << QStringLiteral("hide") << true;
    QTest::newRow("an axis inverted") << QStringLiteral("invert") << true;
    QTest::newRow("the size") << QStringLiteral("resize") << true;
}

void TestChartZoom::dateCursorMovesDrawNoLineAgain()
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

QTEST_MAIN(TestChartZoom)
#include "test_chartzoom.moc"
