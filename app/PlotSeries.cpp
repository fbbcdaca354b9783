#include "app/PlotSeries.h"

#include "app/PlotChart.h"

#include <QChart>
#include <QLineSeries>
#include <algorithm>
#include <iterator>
#include <limits>
#include <utility>

// Colours a series gets when the program sets none, in order of preference.
static const QColor Palette[] = {
    QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28), QColor(0x2c, 0xa0, 0x2c),
    QColor(0xff, 0x7f, 0x0e), QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
    QColor(0xe3, 0x77, 0xc2), QColor(0x7f, 0x7f, 0x7f), QColor(0xbc, 0xbd, 0x22),
    QColor(0x17, 0xbe, 0xcf), QColor(0x00, 0x00, 0x80), QColor(0x80, 0x00, 0x00),
};

QColor ColorFromValue(ColorValue value)
{
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

QColor UnusedPaletteColor(const QList<PlotSeries *> &others, const PlotSeries *series)
{
    const QColor *best = std::begin(Palette);
    qsizetype bestUses = std::numeric_limits<qsizetype>::max();
    for (const QColor &color : Palette) {
        const qsizetype uses = std::count_if(others.begin(), others.end(), [&](const PlotSeries *s) {
            return s != series && s->color() == color;
        });
        if (uses < bestUses) {
            best = &color;
            bestUses = uses;
        }
    }
    return *best;
}

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
    if (m_chart) {
        m_chart->m_readout.clear();
        m_chart->m_cursor.refresh(); // without the hidden line, or with the shown one
    }
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
    // A hidden line's legend entry stays, greyed, so that a click shows the
    // line again.
    m_line->setVisible(m_shown);
    m_chart->legendEntryChanged(this);
}
