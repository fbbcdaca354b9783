#include "app/PlotChart.h"

#include "app/CalendarTicks.h"
#include "plot/LineThinning.h"
#include "service/PlotwiseError.h"

#include <QCategoryAxis>
#include <QChart>
#include <QCoreApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRubberBand>
#include <QTimer>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>
#include <optional>
#include <utility>

// Colours a series gets when the program sets none, in order of preference.
static const QColor Palette[] = {
    QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28), QColor(0x2c, 0xa0, 0x2c),
    QColor(0xff, 0x7f, 0x0e), QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
    QColor(0xe3, 0x77, 0xc2), QColor(0x7f, 0x7f, 0x7f), QColor(0xbc, 0xbd, 0x22),
    QColor(0x17, 0xbe, 0xcf), QColor(0x00, 0x00, 0x80), QColor(0x80, 0x00, 0x00),
};

// Ticks of a linear axis before nice numbers adjust them.
static constexpr int DefaultValueTicks = 5;

// A dragged rectangle smaller than this is a click, not a zoom.
static constexpr int MinZoomDrag = 4;

// Date labels stand turned on end; this much plot width per label keeps them
// apart and readable.
static constexpr int PixelsPerDateTick = 40;

// A hidden series' legend entry.
static const QColor HiddenGrey(170, 170, 170);

QColor ColorFromValue(ColorValue value)
{
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

// --- PlotSeries ---------------------------------------------------------

PlotSeries::PlotSeries(QObject *owner) : QObject(owner) {}

PlotSeries::~PlotSeries()
{
    if (m_chart)
        m_chart->detach(this);
}

void PlotSeries::setTitle(const QString &title)
{
    m_title = title;
    applyStyle();
}

void PlotSeries::setLineWidth(int width)
{
    m_lineWidth = width;
    applyStyle();
}

void PlotSeries::setColor(const QColor &color)
{
    m_color = color;
    m_colorSet = true;
    applyStyle();
}

void PlotSeries::setAxis(VertAxis axis)
{
    if (m_axis == axis)
        return;
    m_axis = axis;
    if (m_chart) {
        m_chart->placeOnAxis(this);
        m_chart->scheduleUpdate();
    }
}

void PlotSeries::addPoint(int day, double y)
{
    if (m_points.empty() || m_points.back().day <= day) {
        m_points.push_back({day, y});
    } else {
        const auto after = std::upper_bound(m_points.begin(), m_points.end(), day,
                                            [](int d, const SeriesPoint &p) { return d < p.day; });
        m_points.insert(after, {day, y});
    }
    if (m_chart)
        m_chart->scheduleUpdate();
}

void PlotSeries::setPoints(std::vector<SeriesPoint> points)
{
    std::stable_sort(points.begin(), points.end(),
        [](const SeriesPoint &a, const SeriesPoint &b) { return a.day < b.day; });
    m_points = std::move(points);
    if (m_chart)
        m_chart->scheduleUpdate();
}

void PlotSeries::setShown(bool shown)
{
    if (m_shown == shown)
        return;
    m_shown = shown;
    applyStyle();
    if (m_chart)
        m_chart->m_readout.clear();
}

void PlotSeries::applyStyle()
{
    if (!m_line)
        return;
    m_line->setName(m_title);
    QPen pen(m_color);
    pen.setWidth(m_lineWidth);
    m_line->setPen(pen);
    m_line->setPointLabelsFormat(QStringLiteral("@yPoint"));
    m_line->setPointLabelsVisible(m_marksVisible);
    // Hiding a line hides its legend entry too; the entry stays, greyed, so
    // that a click shows the line again.
    m_line->setVisible(m_shown);
    for (QLegendMarker *marker : m_chart->chart()->legend()->markers(m_line)) {
        marker->setVisible(true);
        marker->setLabelBrush(m_shown ? QBrush(Qt::black) : QBrush(HiddenGrey));
        marker->setBrush(m_shown ? m_color : HiddenGrey);
        marker->setPen(m_shown ? QPen(m_color) : QPen(HiddenGrey));
    }
}

// --- PlotChart ----------------------------------------------------------

// The decimals a linear axis' labels need for ticks step apart: as few as
// show the step exactly (5000 reads 5000, not 5000.0; 0.25 reads 0.25), but
// no more than one below the step's first digit, as after a zoom to an odd
// range.
static int tickLabelDecimals(double step)
{
    if (!(step > 0) || !std::isfinite(step))
        return 0;
    const int enough = std::clamp(int(1 - std::floor(std::log10(step))), 0, 15);
    for (int decimals = 0; decimals < enough; ++decimals) {
        const double scaled = step * std::pow(10.0, decimals);
        if (std::abs(scaled - std::round(scaled)) < 1e-6 * scaled)
            return decimals;
    }
    return enough;
}

static QAbstractAxis *makeVerticalAxis(bool logarithmic, bool inverted)
{
    QAbstractAxis *axis = nullptr;
    if (logarithmic) {
        auto *log = new QLogValueAxis;
        log->setBase(10);
        log->setLabelFormat(QStringLiteral("%g"));
        axis = log;
    } else {
        auto *linear = new QValueAxis;
        const auto updateLabels = [linear] {
            const double step = (linear->max() - linear->min()) / std::max(linear->tickCount() - 1, 1);
            linear->setLabelFormat(QStringLiteral("%.%1f").arg(tickLabelDecimals(step)));
        };
        QObject::connect(linear, &QValueAxis::rangeChanged, linear, updateLabels);
        QObject::connect(linear, &QValueAxis::tickCountChanged, linear, updateLabels);
        axis = linear;
    }
    axis->setReverse(inverted);
    return axis;
}

static Qt::Alignment alignmentOf(VertAxis axis)
{
    return axis == VertAxis::Left ? Qt::AlignLeft : Qt::AlignRight;
}

// Whether the chart can draw a value on an axis of that kind.
static bool drawable(double y, bool logarithmic)
{
    return std::isfinite(y) && (!logarithmic || y > 0);
}

PlotChart::PlotChart(QWidget *parent) : QChartView(new QChart, parent)
{
    QChart *c = chart();
    c->setBackgroundBrush(Qt::white);
    c->setBackgroundRoundness(0);
    c->setPlotAreaBackgroundVisible(false);
    c->setAnimationOptions(QChart::NoAnimation);
    // Below the plot, the plot keeps the chart's width; names too long for
    // the row are shortened, with the whole name as the entry's tooltip.
    c->legend()->setAlignment(Qt::AlignBottom);
    c->legend()->setShowToolTips(true);
    c->legend()->setVisible(true);

    // Ticks at chosen dates, labelled "dd/MM/yyyy" (see updateDateTicks).
    m_axisX = new QCategoryAxis;
    m_axisX->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    c->addAxis(m_axisX, Qt::AlignBottom);
    for (VertAxis axis : {VertAxis::Left, VertAxis::Right}) {
        m_axisY[axisIndex(axis)] = makeVerticalAxis(false, false);
        c->addAxis(m_axisY[axisIndex(axis)], alignmentOf(axis));
    }
    m_axisY[1]->setVisible(false);

    setFrameShape(QFrame::NoFrame);
    setBackgroundBrush(Qt::white);
    setRenderHint(QPainter::Antialiasing);
    m_band = new QRubberBand(QRubberBand::Rectangle, viewport());
    m_band->hide();
    viewport()->setMouseTracking(true);
    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("mnuChart"));
    QAction *copy = m_menu->addAction(QStringLiteral("Copy"));
    copy->setObjectName(QStringLiteral("actCopy"));
    copy->setShortcut(QKeySequence::Copy);
    connect(copy, &QAction::triggered, this, &PlotChart::copyRequested);

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

qint64 PlotChart::dayToMSecs(int day)
{
    // Local midnight (or the first moment of the day where midnight falls in a
    // daylight-saving gap): the date axis labels in local time.
    const QDate date = DaysToDate(day);
    // Qt converts local times through the C library, which looks at the zone
    // settings again for every conversion (a file check each time when TZ is
    // unset): the days of a Load cost more than drawing it. Away from a change
    // of offset, midnight is the day's UTC midnight less the offset the C
    // library gives without that check; a day with a change of offset within
    // 14 hours (the largest offset there is) of its UTC midnight takes Qt's way.
    constexpr qint64 Window = 14 * 3600;
    constexpr qint64 UnixEpochJulianDay = 2440588;
    const qint64 utcMidnight = (date.toJulianDay() - UnixEpochJulianDay) * 86400;
    const auto offsetAt = [](qint64 secs) -> std::optional<long> {
        const std::time_t time = std::time_t(secs);
        std::tm parts{};
        if (!localtime_r(&time, &parts))
            return std::nullopt;
        return parts.tm_gmtoff;
    };
    const std::optional<long> before = offsetAt(utcMidnight - Window);
    const std::optional<long> after = offsetAt(utcMidnight + Window);
    if (before && after && *before == *after)
        return (utcMidnight - *before) * 1000;
    return date.startOfDay().toMSecsSinceEpoch();
}

qint64 PlotChart::midnight(int day)
{
    // Local time conversions cost microseconds each (the C library may look
    // at the zone file every time), and every series of a Load repeats the
    // same days.
    auto known = m_midnights.constFind(day);
    if (known == m_midnights.constEnd())
        known = m_midnights.insert(day, dayToMSecs(day));
    return *known;
}

void PlotChart::undoZoom()
{
    chart()->zoomReset();
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

void PlotChart::setAxisInverted(VertAxis axis, bool inverted)
{
    m_inverted[axisIndex(axis)] = inverted;
    m_axisY[axisIndex(axis)]->setReverse(inverted);
}

void PlotChart::setAxisLogarithmic(VertAxis axis, bool logarithmic)
{
    const int i = axisIndex(axis);
    if (m_logarithmic[i] == logarithmic)
        return;
    m_logarithmic[i] = logarithmic;
    QAbstractAxis *old = m_axisY[i];
    m_axisY[i] = makeVerticalAxis(logarithmic, m_inverted[i]);
    chart()->addAxis(m_axisY[i], alignmentOf(axis));
    for (PlotSeries *series : std::as_const(m_series)) {
        if (series->m_axis == axis)
            placeOnAxis(series);
    }
    chart()->removeAxis(old);
    delete old;
    scheduleUpdate();
}

QDateTime PlotChart::bottomMin() const
{
    return QDateTime::fromMSecsSinceEpoch(qint64(std::llround(m_axisX->min())));
}

QDateTime PlotChart::bottomMax() const
{
    return QDateTime::fromMSecsSinceEpoch(qint64(std::llround(m_axisX->max())));
}

bool PlotChart::drawsValue(VertAxis axis, double y) const
{
    return drawable(y, m_logarithmic[axisIndex(axis)]);
}

bool PlotChart::axisInverted(VertAxis axis) const
{
    return m_inverted[axisIndex(axis)];
}

bool PlotChart::axisLogarithmic(VertAxis axis) const
{
    return m_logarithmic[axisIndex(axis)];
}

QAbstractAxis *PlotChart::verticalAxis(VertAxis axis) const
{
    return m_axisY[axisIndex(axis)];
}

QColor PlotChart::unusedPaletteColor(const PlotSeries *series) const
{
    // The first palette colour used by the fewest other series: an unused
    // one while there is one.
    const QColor *best = std::begin(Palette);
    qsizetype bestUses = std::numeric_limits<qsizetype>::max();
    for (const QColor &color : Palette) {
        const qsizetype uses = std::count_if(m_series.begin(), m_series.end(), [&](const PlotSeries *s) {
            return s != series && s->m_color == color;
        });
        if (uses < bestUses) {
            best = &color;
            bestUses = uses;
        }
    }
    return *best;
}

void PlotChart::attachSeries(PlotSeries *series)
{
    if (series->m_chart == this)
        return;
    if (!series->m_colorSet)
        series->m_color = unusedPaletteColor(series);
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
    for (QLegendMarker *marker : chart()->legend()->markers(series->m_line))
        connect(marker, &QLegendMarker::clicked, series, [series] { series->setShown(!series->shown()); });
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
        if (drawable(p.y, logarithmic))
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
    if (updateDateTicks())
        layOutChart(); // the labels' room below the plot may have changed
    for (PlotSeries *series : std::as_const(m_series))
        fillLine(series);
    m_filling = false;
    m_readout.clear(); // the points under the pointer may have moved
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

void PlotChart::paintEvent(QPaintEvent *event)
{
    QChartView::paintEvent(event);
    m_drawn = true;
    // Over the view only: images of the chart are made from its scene.
    if (m_readout.visible()) {
        QPainter painter(viewport());
        m_readout.paint(painter);
    }
}

// Every axis scales to the points it draws: the date axis to the first and
// last day, a linear axis to rounded limits around the values, a logarithmic
// one to the powers of ten around its positive values.
void PlotChart::rescale()
{
    chart()->setAnimationOptions(QChart::NoAnimation);
    bool anyDay = false;
    int firstDay = 0;
    int lastDay = 0;
    bool anyValue[2] = {false, false};
    double low[2] = {0, 0};
    double high[2] = {0, 0};
    bool used[2] = {false, false};
    for (const PlotSeries *series : std::as_const(m_series)) {
        const int i = axisIndex(series->m_axis);
        used[i] = true;
        for (const SeriesPoint &p : series->m_points) {
            if (!drawable(p.y, m_logarithmic[i]))
                continue;
            firstDay = anyDay ? std::min(firstDay, p.day) : p.day;
            lastDay = anyDay ? std::max(lastDay, p.day) : p.day;
            low[i] = anyValue[i] ? std::min(low[i], p.y) : p.y;
            high[i] = anyValue[i] ? std::max(high[i], p.y) : p.y;
            anyDay = anyValue[i] = true;
        }
    }
    if (anyDay) {
        if (firstDay == lastDay) {
            --firstDay;
            ++lastDay;
        }
        m_axisX->setRange(double(midnight(firstDay)), double(midnight(lastDay)));
    }
    for (int i = 0; i < 2; ++i) {
        if (!anyValue[i])
            continue;
        if (m_logarithmic[i]) {
            double from = std::pow(10.0, std::floor(std::log10(low[i])));
            double to = std::pow(10.0, std::ceil(std::log10(high[i])));
            if (to <= from)
                to = from * 10;
            m_axisY[i]->setRange(from, to);
        } else {
            auto *axis = static_cast<QValueAxis *>(m_axisY[i]);
            if (low[i] == high[i]) {
                low[i] -= 1;
                high[i] += 1;
            }
            // Nice numbers change the tick count too; starting from the same
            // count every time keeps the scale of the same data the same.
            axis->setTickCount(DefaultValueTicks);
            axis->setRange(low[i], high[i]);
            axis->applyNiceNumbers();
        }
    }
    m_axisY[1]->setVisible(used[1]);
    m_axisY[0]->setVisible(used[0] || !used[1]);
}

bool PlotChart::updateDateTicks()
{
    // The days whose midnights lie in the range shown.
    const double from = m_axisX->min();
    const double to = m_axisX->max();
    QDate first = QDateTime::fromMSecsSinceEpoch(qint64(std::ceil(from))).date();
    if (first.isValid() && double(midnight(int(DateToDays(first)))) < from)
        first = first.addDays(1);
    const QDate last = QDateTime::fromMSecsSinceEpoch(qint64(std::floor(to))).date();
    const int room = int(chart()->plotArea().width()) / PixelsPerDateTick;
    QList<QDate> dates = CalendarTicks(first, last, room);
    if (dates == m_tickDates)
        return false;
    m_tickDates = std::move(dates);
    for (const QString &label : m_axisX->categoriesLabels())
        m_axisX->remove(label);
    m_axisX->setStartValue(from);
    for (const QDate &date : std::as_const(m_tickDates)) {
        m_axisX->append(date.toString(QStringLiteral("dd/MM/yyyy")),
                        double(midnight(int(DateToDays(date)))));
    }
    return true;
}

void PlotChart::setLegendVisible(bool visible)
{
    chart()->legend()->setVisible(visible);
}

bool PlotChart::legendVisible() const
{
    return chart()->legend()->isVisible();
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

void PlotChart::print()
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        throw PlotwiseError(QStringLiteral("There is no default printer currently selected"));
    QPrinter printer(info, QPrinter::HighResolution);
    printTo(printer);
}

void PlotChart::printTo(QPrinter &printer)
{
    printer.setDocName(objectName());
    QPainter painter;
    if (!painter.begin(&printer)) {
        printer.abort();
        throw PlotwiseError(QStringLiteral("The print job could not be started"));
    }
    // The chart as drawn, scaled to fit the page with its proportions kept,
    // its lines as fine as the page shows them.
    const QRectF page(painter.viewport());
    setDrawingDetail(std::min(page.width() / std::max(1, viewport()->width()),
                              page.height() / std::max(1, viewport()->height())));
    flush();
    QGraphicsView::render(&painter, page, viewport()->rect(), Qt::KeepAspectRatio);
    setDrawingDetail(1);
    if (!painter.end() || printer.printerState() == QPrinter::Error) {
        printer.abort();
        throw PlotwiseError(QStringLiteral("Printing failed"));
    }
}

void PlotChart::resizeEvent(QResizeEvent *event)
{
    // Margins in percent of the chart's size: top 1, left 1, right 0, bottom 0.
    chart()->setMargins(QMargins(width() / 100, height() / 100, 0, 0));
    QChartView::resizeEvent(event);
}

// The mouse: dragging a rectangle with the left button towards the lower
// right zooms into it (animated); dragging towards the upper left undoes the
// zoom; dragging with the right button scrolls, and a right click without a
// drag opens the menu. A click on a legend entry goes to the legend, which
// hides or shows the entry's series. Between drags, the read-out follows the
// pointer.
bool PlotChart::onLegend(QPoint pos) const
{
    const QLegend *legend = chart()->legend();
    return legend->isVisible() && legend->sceneBoundingRect().contains(mapToScene(pos));
}

void PlotChart::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    m_readout.clear();
    if (event->button() == Qt::LeftButton && onLegend(pos)) {
        m_legendPress = true;
        QChartView::mousePressEvent(event);
        return;
    }
    if (event->button() == Qt::LeftButton) {
        m_zooming = true;
        m_pressPos = pos;
        m_band->setGeometry(QRect(pos, QSize()));
        m_band->show();
    } else if (event->button() == Qt::RightButton) {
        m_scrolling = true;
        m_pressPos = pos;
        m_lastScrollPos = pos;
    } else {
        QChartView::mousePressEvent(event);
        return;
    }
    event->accept();
}

void PlotChart::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (m_zooming)
        m_band->setGeometry(QRect(m_pressPos, pos).normalized());
    if (m_scrolling) {
        const QPoint delta = pos - m_lastScrollPos;
        chart()->scroll(-delta.x(), delta.y());
        m_lastScrollPos = pos;
    }
    if (m_zooming || m_scrolling)
        return;
    // Over the plot area the read-out is all a move does: Qt Charts' own
    // handling there tests the pointer against the shape of every line,
    // which costs milliseconds with long lines, for hover signals unused here.
    const bool overPlot = m_holdDepth == 0 && !m_legendPress && m_readout.track(pos);
    if (!overPlot)
        QChartView::mouseMoveEvent(event);
}

void PlotChart::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton && m_legendPress) {
        m_legendPress = false;
        QChartView::mouseReleaseEvent(event);
        return;
    }
    if (event->button() == Qt::LeftButton && m_zooming) {
        m_zooming = false;
        m_band->hide();
        const QRect dragged = QRect(m_pressPos, pos).normalized();
        if (pos.x() < m_pressPos.x() && pos.y() < m_pressPos.y()) {
            undoZoom();
        } else if (dragged.width() >= MinZoomDrag && dragged.height() >= MinZoomDrag) {
            const QRectF inScene = mapToScene(dragged).boundingRect();
            const QRectF inChart = chart()->mapFromScene(inScene).boundingRect();
            chart()->setAnimationOptions(QChart::SeriesAnimations);
            chart()->zoomIn(inChart.intersected(chart()->plotArea()));
        }
    } else if (event->button() == Qt::RightButton && m_scrolling) {
        m_scrolling = false;
        if ((pos - m_pressPos).manhattanLength() < MinZoomDrag)
            m_menu->popup(event->globalPosition().toPoint());
    } else {
        QChartView::mouseReleaseEvent(event);
        return;
    }
    event->accept();
}

void PlotChart::leaveEvent(QEvent *event)
{
    m_readout.clear();
    QChartView::leaveEvent(event);
}

void PlotChart::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        emit copyRequested();
        event->accept();
        return;
    }
    QChartView::keyPressEvent(event);
}
