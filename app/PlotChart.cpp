#include "app/PlotChart.h"

#include "app/ChartLegend.h"
#include "app/ChartMouse.h"
#include "app/ChartOutput.h"
#include "plot/LineThinning.h"

#include <QCategoryAxis>
#include <QChart>
#include <QCoreApplication>
#include <QGraphicsScene>
#include <QKeyEvent>
#include <QLegend>
#include <QLineSeries>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <ctime>
#include <utility>

PlotChart::PlotChart(QWidget *parent) : QChartView(new QChart, parent)
{
    QChart *c = chart();
    c->setBackgroundBrush(Qt::white);
    c->setBackgroundRoundness(0);
    c->setPlotAreaBackgroundVisible(false);
    c->setAnimationOptions(QChart::NoAnimation);
    // Qt Charts' legend puts every entry in one row, shortening the names to
    // a few letters once there are more than a handful: the chart draws its
    // own (ChartLegend), in the font the theme gives legends.
    c->legend()->setVisible(false);
    m_legend = new ChartLegend(c->legend()->font(), c);

    placeAxes();

    setFrameShape(QFrame::NoFrame);
    setBackgroundBrush(Qt::white);
    setRenderHint(QPainter::Antialiasing);
    m_mouse = std::make_unique<ChartMouse>(*this);
    connect(m_legend, &ChartLegend::clicked, this, [this](PlotSeries *series) { m_mouse->legendClicked(series); });

    connect(scene(), &QGraphicsScene::changed, this, [this] { m_drawingValid = false; });
    connect(m_axisX, &QValueAxis::rangeChanged, this, &PlotChart::bottomRangeChanged);
    connect(c, &QChart::plotAreaChanged, this, [this] {
        if (!m_filling)
            scheduleFill();
    });
}

PlotChart::~PlotChart()
{
    // The Qt series die with the chart; the series objects live on.
    for (PlotSeries *series : std::as_const(m_series)) {
        series->m_chart = nullptr;
        series->m_line = nullptr;
    }
}

void PlotChart::undoZoom()
{
    chart()->zoomReset();
    m_views.clear();
    scheduleUpdate();
}

void PlotChart::setBottomLabelAngle(int degrees)
{
    m_axisX->setLabelsAngle(degrees);
}

PlotSeries *PlotChart::createSeries(QObject *owner)
{
    return new PlotSeries(owner);
}

QPointF PlotChart::toChart(QPoint pos) const
{
    return chart()->mapFromScene(mapToScene(pos));
}

QPoint PlotChart::fromChart(QPointF at) const
{
    return mapFromScene(chart()->mapToScene(at));
}

QRectF PlotChart::plotArea() const
{
    return chart()->plotArea();
}

double PlotChart::xAt(QPointF at) const
{
    return chart()->mapToValue(at, m_series.front()->lineSeries()).x();
}

QPointF PlotChart::positionOf(const PlotSeries &series, double x, double y) const
{
    return chart()->mapToPosition(QPointF(x, y), series.lineSeries());
}

void PlotChart::attachSeries(PlotSeries *series)
{
    if (series->m_chart == this)
        return;
    if (!series->m_colorSet)
        series->m_color = UnusedPaletteColor(m_series, series);
    series->m_chart = this;
    m_series << series;
    // While the chart is held, the line and its legend entry wait for the
    // next flush: every entry added lays the whole legend out again, which
    // after each game of a Load costs more than its pages.
    if (m_holdDepth == 0)
        placeLine(series);
    scheduleUpdate(); // its points follow once the axes have their new scales
}

void PlotChart::placeLine(PlotSeries *series)
{
    series->m_line = new QLineSeries;
    chart()->addSeries(series->m_line);
    series->applyStyle(); // after addSeries, which gives the series the theme's look
    series->m_line->attachAxis(m_axisX);
    series->m_line->attachAxis(m_axisY[axisIndex(series->m_axis)]);
}

void PlotChart::placeOnAxis(PlotSeries *series)
{
    // Emptied while it changes axes: a series holding a value at or below zero
    // on a logarithmic axis, even for a moment, is not drawn at all.
    QLineSeries *line = series->m_line;
    if (!line) // placed on its axis when it is placed
        return;
    line->clear();
    for (QAbstractAxis *axis : line->attachedAxes()) {
        if (axis != m_axisX)
            line->detachAxis(axis);
    }
    line->attachAxis(m_axisY[axisIndex(series->m_axis)]);
    fillLine(series);
}

void PlotChart::fillLine(PlotSeries *series)
{
    const bool logarithmic = m_logarithmic[axisIndex(series->m_axis)];
    QList<QPointF> points;
    points.reserve(qsizetype(series->m_points.size()));
    for (const SeriesPoint &p : series->m_points) {
        if (DrawableValue(p.y, logarithmic))
            points.append(QPointF(double(midnight(p.day)), p.y));
    }
    // Marks show the value of every point: all of them are drawn then.
    if (!series->m_marksVisible)
        ThinToColumns(points, m_axisX->min(), columnWidth());
    series->m_line->replace(points);
}

double PlotChart::columnWidth() const
{
    const double columns = chart()->plotArea().width() * m_detail * devicePixelRatioF();
    const double span = m_axisX->max() - m_axisX->min();
    return columns >= 1 && span > 0 ? span / columns : 0;
}

void PlotChart::setDrawingDetail(double columnsPerPixel)
{
    if (m_detail == columnsPerPixel)
        return;
    m_detail = columnsPerPixel;
    scheduleFill();
}

void PlotChart::bottomRangeChanged()
{
    if (m_filling)
        return;
    // The date labels follow the new range at once: labels of the old range
    // past the new end would otherwise pile up at the axis' end until the
    // next pass.
    updateDateTicks();
    // A zoom is animated from the lines as they are; they are thinned for
    // the new range once it has run.
    if (chart()->animationOptions().testFlag(QChart::SeriesAnimations))
        QTimer::singleShot(chart()->animationDuration(), this, &PlotChart::scheduleFill);
    else
        scheduleFill();
}

void PlotChart::detach(PlotSeries *series)
{
    m_series.removeAll(series);
    removeLine(series);
    series->m_chart = nullptr;
    scheduleUpdate();
}

void PlotChart::removeLine(PlotSeries *series)
{
    if (!series->m_line)
        return;
    chart()->removeSeries(series->m_line);
    delete series->m_line;
    series->m_line = nullptr;
}

void PlotChart::scheduleUpdate()
{
    m_rescalePending = true;
    scheduleFill();
}

void PlotChart::scheduleFill()
{
    if (m_updateQueued)
        return;
    m_updateQueued = true;
    QMetaObject::invokeMethod(this, &PlotChart::applyPendingChanges, Qt::QueuedConnection);
}

void PlotChart::applyPendingChanges()
{
    if (m_holdDepth == 0)
        flush();
}

void PlotChart::hold()
{
    ++m_holdDepth;
    m_readout.clear();
    m_cursor.clear();
    m_cursor.unpin();
}

void PlotChart::release()
{
    if (--m_holdDepth == 0)
        flush();
}

void PlotChart::flush()
{
    if (!m_updateQueued)
        return;
    m_updateQueued = false;
    m_filling = true;
    for (PlotSeries *series : std::as_const(m_series)) {
        if (!series->m_line)
            placeLine(series);
    }
    if (std::exchange(m_rescalePending, false)) {
        // Qt Charts lays a line out again at every change of a range it is
        // drawn against: the lines are emptied while the axes take their new
        // scales, and filled once afterwards, thinned for them.
        for (PlotSeries *series : std::as_const(m_series))
            series->m_line->clear();
        rescale();
    }
    // New scales, series and legend entries change the plot area once Qt
    // Charts lays the chart out: that is done first, so the lines are thinned
    // for the plot area they are drawn in, and once.
    layOutChart();
    if (layOutLegend())
        layOutChart();
    if (updateDateTicks())
        layOutChart(); // the labels' room below the plot may have changed
    for (int i = 0; i < 2; ++i)
        updateLogLabels(i); // for the plot area's height
    for (PlotSeries *series : std::as_const(m_series))
        fillLine(series);
    m_filling = false;
    m_readout.clear(); // the points under the pointer may have moved
    m_cursor.refresh(); // the day under it too
}

void PlotChart::layOutChart()
{
    for (QObject *receiver : std::initializer_list<QObject *>{chart(), chart()->legend()})
        QCoreApplication::sendPostedEvents(receiver);
}

void PlotChart::layOutNow()
{
    layOutChart();
    QCoreApplication::sendPostedEvents(scene());
}

void PlotChart::overlayChanged(const QRegion &region)
{
    m_overlayDirty += region;
    viewport()->update(region);
}

void PlotChart::paintEvent(QPaintEvent *event)
{
    const QRegion overlay = std::exchange(m_overlayDirty, QRegion());
    if (event->region().subtracted(overlay).isEmpty()) {
        if (!m_drawingValid || m_drawing.deviceIndependentSize() != QSizeF(viewport()->size())) {
            const qreal ratio = viewport()->devicePixelRatioF();
            m_drawing = QPixmap(viewport()->size() * ratio);
            m_drawing.setDevicePixelRatio(ratio);
            QPainter painter(&m_drawing);
            painter.setRenderHints(renderHints());
            render(&painter, QRectF(), viewport()->rect(), Qt::IgnoreAspectRatio);
            m_drawingValid = true;
        }
        QPainter painter(viewport());
        painter.drawPixmap(0, 0, m_drawing);
    } else {
        m_drawingValid = false;
        QChartView::paintEvent(event);
    }
    m_drawn = true;
    // Over the view only: images of the chart are made from its scene.
    if (m_readout.visible() || m_cursor.visible()) {
        QPainter painter(viewport());
        m_cursor.paint(painter);
        m_readout.paint(painter);
    }
}

void PlotChart::clearSeriesList()
{
    // The series are freed with their lines: a long session of script runs,
    // each of which clears the chart first, would otherwise keep every
    // series it ever drew.
    const QList<PlotSeries *> cleared = std::exchange(m_series, {});
    for (PlotSeries *series : cleared) {
        removeLine(series);
        series->m_chart = nullptr;
        delete series;
    }
    // Qt Charts hands the removed lines' drawings to deleteLater, which only
    // an event loop returning to its caller runs: a script or a headless run
    // clearing the chart between Loads would keep every drawing till its end.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_cursor.unpin();
    m_midnights.clear(); // a time zone changed since is taken from here on
    m_tickDates.clear();
    tzset();
    scheduleUpdate();
}

void PlotChart::repaintNow()
{
    // Qt Charts lays the chart out (axes, legend, reversed scales) in posted
    // events; they run first so that what is drawn is the current state. The
    // scene's own events draw what changed at once: the view is drawn here
    // only when they did not.
    flush();
    m_drawn = false;
    layOutNow();
    if (m_updateQueued) { // a plot area of another size: the lines thinned for it
        flush();
        m_drawn = false;
        layOutNow();
    }
    if (!m_drawn)
        viewport()->repaint();
}

void PlotChart::printTo(QPrinter &printer)
{
    PrintChartTo(*this, printer);
}

void PlotChart::resizeEvent(QResizeEvent *event)
{
    m_drawingValid = false;
    applyMargins();
    QChartView::resizeEvent(event);
}

QMenu *PlotChart::contextMenu() const
{
    return m_mouse->menu();
}

void PlotChart::mousePressEvent(QMouseEvent *event)
{
    if (!m_mouse->press(event))
        QChartView::mousePressEvent(event);
}

void PlotChart::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_mouse->move(event))
        QChartView::mouseMoveEvent(event);
}

void PlotChart::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_mouse->release(event))
        QChartView::mouseReleaseEvent(event);
}

void PlotChart::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (!m_mouse->doubleClick(event))
        QChartView::mouseDoubleClickEvent(event);
}

void PlotChart::showOnly(PlotSeries *series)
{
    const bool alone = series->shown() && std::ranges::none_of(m_series, [series](const PlotSeries *s) {
        return s != series && s->shown();
    });
    for (PlotSeries *s : std::as_const(m_series))
        s->setShown(alone || s == series);
}

void PlotChart::leaveEvent(QEvent *event)
{
    m_readout.clear();
    m_cursor.clear();
    QChartView::leaveEvent(event);
}

void PlotChart::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        emit copyRequested();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Backspace && event->modifiers() == Qt::NoModifier) {
        zoomBack();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape && m_cursor.unpin()) {
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Shift)
        m_mouse->pointAgain(event->modifiers());
    QChartView::keyPressEvent(event);
}

void PlotChart::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Shift)
        m_mouse->pointAgain(event->modifiers());
    QChartView::keyReleaseEvent(event);
}
