// The chart's axes: a date axis below, a left and a right vertical axis of
// either kind, their scales around the data, and the date ticks.
#include "app/PlotChart.h"

#include "app/CalendarTicks.h"
#include "app/LogTicks.h"

#include <QCategoryAxis>
#include <QChart>
#include <QDateTime>
#include <QFontMetricsF>
#include <QLogValueAxis>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <utility>

// Ticks of a linear axis before nice numbers adjust them.
static constexpr int DefaultValueTicks = 5;

// Date labels stand turned on end; this much plot width per label keeps them
// apart and readable.
static constexpr int PixelsPerDateTick = 40;

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
            linear->setLabelFormat(QStringLiteral("%.%1f").arg(TickLabelDecimals(step)));
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

void PlotChart::placeAxes()
{
    // Ticks at chosen dates, labelled "dd/MM/yyyy" (see updateDateTicks).
    m_axisX = new QCategoryAxis;
    m_axisX->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    chart()->addAxis(m_axisX, Qt::AlignBottom);
    for (VertAxis axis : {VertAxis::Left, VertAxis::Right}) {
        m_axisY[axisIndex(axis)] = makeVerticalAxis(false, false);
        chart()->addAxis(m_axisY[axisIndex(axis)], alignmentOf(axis));
    }
    showVerticalAxis(1, false);
}

void PlotChart::setAxisInverted(VertAxis axis, bool inverted)
{
    const int i = axisIndex(axis);
    m_inverted[i] = inverted;
    m_axisY[i]->setReverse(inverted);
    if (m_logLabels[i])
        m_logLabels[i]->setReverse(inverted);
}

void PlotChart::showVerticalAxis(int i, bool shown)
{
    m_axisShown[i] = shown;
    // A logarithmic axis is drawn by its labels' axis (see updateLogLabels).
    m_axisY[i]->setVisible(shown && !m_logLabels[i]);
    if (m_logLabels[i])
        m_logLabels[i]->setVisible(shown);
}

// Qt's logarithmic axis labels only the powers of its base: none at all after
// a zoom within one decade. It scales the lines but is not drawn; beside it a
// linear axis over the logarithms of its range draws the labels LogAxisTicks
// chooses, and their grid lines, at the logarithms of their values.
void PlotChart::updateLogLabels(int i)
{
    QCategoryAxis *labels = m_logLabels[i];
    if (!labels)
        return;
    const auto *log = static_cast<const QLogValueAxis *>(m_axisY[i]);
    const double low = log->min();
    const double high = log->max();
    if (!(low > 0) || !(high > low))
        return;
    // Labels a line and a half apart.
    const double spacing = QFontMetricsF(labels->labelsFont()).height() * 1.5;
    const std::vector<LogTick> ticks = LogAxisTicks(low, high, chart()->plotArea().height(), spacing);
    labels->setRange(std::log10(low), std::log10(high));
    labels->setStartValue(std::log10(low));
    QStringList texts;
    for (const LogTick &tick : ticks)
        texts << tick.label;
    if (texts == labels->categoriesLabels())
        return;
    for (const QString &label : labels->categoriesLabels())
        labels->remove(label);
    for (const LogTick &tick : ticks)
        labels->append(tick.label, std::log10(tick.value));
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
    if (logarithmic) {
        m_logLabels[i] = new QCategoryAxis;
        m_logLabels[i]->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        m_logLabels[i]->setReverse(m_inverted[i]);
        chart()->addAxis(m_logLabels[i], alignmentOf(axis));
        connect(static_cast<QLogValueAxis *>(m_axisY[i]), &QLogValueAxis::rangeChanged, this,
                [this, i] { updateLogLabels(i); });
    } else if (m_logLabels[i]) {
        chart()->removeAxis(m_logLabels[i]);
        delete std::exchange(m_logLabels[i], nullptr);
    }
    showVerticalAxis(i, m_axisShown[i]);
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
    return DrawableValue(y, m_logarithmic[axisIndex(axis)]);
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

// Every axis scales to the points it draws: the date axis to the first and
// last day, a linear axis to rounded limits around the values, a logarithmic
// one to the powers of ten around its positive values.
void PlotChart::rescale()
{
    chart()->setAnimationOptions(QChart::NoAnimation);
    m_views.clear(); // views of other data
    ValueExtent days;
    ValueExtent values[2];
    bool used[2] = {false, false};
    for (const PlotSeries *series : std::as_const(m_series)) {
        const int i = axisIndex(series->m_axis);
        used[i] = true;
        for (const SeriesPoint &p : series->m_points) {
            if (!DrawableValue(p.y, m_logarithmic[i]))
                continue;
            days.take(p.day);
            values[i].take(p.y);
        }
    }
    if (days.any) {
        const auto [first, last] = DayLimits(int(days.low), int(days.high));
        m_axisX->setRange(double(midnight(first)), double(midnight(last)));
    }
    for (int i = 0; i < 2; ++i) {
        if (!values[i].any)
            continue;
        if (m_logarithmic[i]) {
            const auto [from, to] = LogAxisLimits(values[i].low, values[i].high);
            m_axisY[i]->setRange(from, to);
        } else {
            const auto [from, to] = LinearAxisLimits(values[i].low, values[i].high);
            auto *axis = static_cast<QValueAxis *>(m_axisY[i]);
            // Nice numbers change the tick count too; starting from the same
            // count every time keeps the scale of the same data the same.
            axis->setTickCount(DefaultValueTicks);
            axis->setRange(from, to);
            axis->applyNiceNumbers();
        }
    }
    showVerticalAxis(1, used[1]);
    showVerticalAxis(0, used[0] || !used[1]);
}

// The range of a vertical axis of either kind.
static std::pair<double, double> rangeOf(const QAbstractAxis *axis)
{
    if (const auto *linear = qobject_cast<const QValueAxis *>(axis))
        return {linear->min(), linear->max()};
    const auto *log = static_cast<const QLogValueAxis *>(axis);
    return {log->min(), log->max()};
}

PlotChart::AxisRanges PlotChart::axisRanges() const
{
    return {{m_axisX->min(), m_axisX->max()}, {rangeOf(m_axisY[0]), rangeOf(m_axisY[1])}};
}

void PlotChart::pushView()
{
    m_views.push_back(axisRanges());
}

bool PlotChart::zoomBack()
{
    if (m_views.empty())
        return false;
    const AxisRanges view = m_views.back();
    m_views.pop_back();
    chart()->setAnimationOptions(QChart::NoAnimation);
    m_axisX->setRange(view.x.first, view.x.second);
    for (int i = 0; i < 2; ++i)
        m_axisY[i]->setRange(view.y[i].first, view.y[i].second);
    return true;
}

bool PlotChart::updateDateTicks()
{
    const double from = m_axisX->min();
    const double to = m_axisX->max();
    const auto [first, last] = DaysWithin(from, to, m_midnights);
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

