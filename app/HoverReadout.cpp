#include "app/HoverReadout.h"

#include "app/PlotView.h"
#include "app/Readout.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRegion>
#include <QWidget>

// The pointer reaches points this many pixels to either side along the date axis.
static constexpr double Reach = 6;
static constexpr double MarkRadius = 4;
// Room between the mark and the box, and between the box's frame and its text.
static constexpr int Gap = 10;
static constexpr int Padding = 4;

bool HoverReadout::track(QPoint pos)
{
    const QPointF inChart = m_view.toChart(pos);
    if (!m_view.plotArea().contains(inChart)) {
        clear();
        return false;
    }
    const QList<PlotSeries *> &series = m_view.series();
    if (series.isEmpty()) {
        clear();
        return true;
    }
    // The date under the pointer, as the date axis scales it.
    const double x = m_view.xAt(inChart);
    ReadoutChoice choice(inChart, Reach);
    for (int i = 0; i < series.size(); ++i) {
        const PlotSeries *s = series[i];
        if (!s->shown())
            continue;
        const std::vector<SeriesPoint> &points = s->points();
        const std::optional<std::ptrdiff_t> nearest = NearestIndex(
            std::ptrdiff_t(points.size()), x,
            [&](std::ptrdiff_t p) { return double(m_view.midnight(points[size_t(p)].day)); });
        if (!nearest)
            continue;
        const SeriesPoint &point = points[size_t(*nearest)];
        if (!m_view.drawsValue(s->axis(), point.y))
            continue;
        const QPointF at = m_view.positionOf(*s, double(m_view.midnight(point.day)), point.y);
        choice.offer(i, *nearest, at);
    }
    if (!choice.hit()) {
        clear();
        return true;
    }
    const ReadoutHit &hit = *choice.hit();
    const PlotSeries *s = series[hit.series];
    const SeriesPoint &point = s->points()[size_t(hit.point)];
    show(m_view.fromChart(hit.at), s->color(),
         ReadoutText(s->title(), point.day, point.y));
    return true;
}

void HoverReadout::show(QPointF at, const QColor &color, const QString &text)
{
    if (m_visible && at == m_at && color == m_color && text == m_text)
        return;
    const QRect before = m_visible ? area() : QRect();
    m_visible = true;
    m_at = at;
    m_color = color;
    m_text = text;
    m_view.overlayChanged(before.united(area()));
}

void HoverReadout::clear()
{
    if (!m_visible)
        return;
    m_visible = false;
    m_view.overlayChanged(area());
}

QRect HoverReadout::boxRect() const
{
    const QFontMetrics metrics(m_view.surface()->font());
    const QSize textSize = metrics.size(0, m_text);
    const QSize size = textSize + QSize(2 * Padding, 2 * Padding);
    // Above and to the right of the mark, or on whichever side has room.
    const QRect view = m_view.surface()->rect();
    const QPoint mark = m_at.toPoint();
    int left = mark.x() + Gap;
    if (left + size.width() > view.right())
        left = mark.x() - Gap - size.width();
    int top = mark.y() - Gap - size.height();
    if (top < view.top())
        top = mark.y() + Gap;
    return QRect(QPoint(left, top), size);
}

QRect HoverReadout::area() const
{
    const int r = int(MarkRadius) + 3;
    const QRect mark(m_at.toPoint() - QPoint(r, r), QSize(2 * r + 1, 2 * r + 1));
    return mark.united(boxRect()).adjusted(-1, -1, 1, 1);
}

void HoverReadout::paint(QPainter &painter) const
{
    if (!m_visible)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // A ring in the series' colour, dark-edged so that it stands out on
    // its own line.
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(m_color);
    painter.drawEllipse(m_at, MarkRadius + 1, MarkRadius + 1);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(m_at, MarkRadius - 2, MarkRadius - 2);
    const QRect box = boxRect();
    painter.setPen(QPen(m_color, 1));
    painter.setBrush(QColor(255, 255, 255, 235));
    painter.drawRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5));
    painter.setPen(Qt::black);
    painter.setFont(m_view.surface()->font());
    painter.drawText(box.adjusted(Padding, Padding, -Padding, -Padding), Qt::AlignLeft | Qt::AlignTop,
                     m_text);
    painter.restore();
}
