#include "app/ChartCursor.h"

#include "app/DateCursor.h"
#include "app/PlotView.h"
#include "service/u_Function.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QPainter>
#include <QRegion>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <numeric>

// Room between the line and the box, the box's frame and its text, and
// between the box's columns; the colour square before each game.
static constexpr int Gap = 10;
static constexpr int Padding = 5;
static constexpr int ColumnGap = 12;
static constexpr int Swatch = 10;
static constexpr int MarkRadius = 3;
// A long title is cut to this share of the view's width.
static constexpr double TitleShare = 0.3;

static const QColor LineColor(70, 70, 70);
static const QColor PinColor(120, 120, 120);

bool ChartCursor::track(QPoint pos)
{
    const QPointF inChart = m_view.toChart(pos);
    const bool over = m_view.plotArea().contains(inChart);
    if (!over || m_view.series().isEmpty()) {
        clear();
        return over;
    }
    const int day = dayAt(m_view.xAt(inChart));
    m_pos = pos;
    if (m_visible && day == m_day)
        return true;
    const QRegion before = m_visible ? area() : QRegion();
    m_day = day;
    m_visible = true;
    lay();
    m_view.overlayChanged(before.united(area()));
    return true;
}

void ChartCursor::clear()
{
    if (!m_visible)
        return;
    m_visible = false;
    m_view.overlayChanged(area());
}

void ChartCursor::refresh()
{
    if (!m_visible)
        return;
    // Where the cursor stood: the day under the pointer is worked out anew.
    clear();
    track(m_pos);
}

void ChartCursor::click()
{
    if (!m_visible)
        return;
    const QRegion before = area();
    if (m_pinned)
        m_pinned.reset();
    else
        m_pinned = m_day;
    lay();
    m_view.overlayChanged(before.united(area()));
}

bool ChartCursor::unpin()
{
    if (!m_pinned)
        return false;
    if (!m_visible) {
        m_pinned.reset();
        return true;
    }
    const QRegion before = area();
    m_pinned.reset();
    lay();
    m_view.overlayChanged(before.united(area()));
    return true;
}

QString ChartCursor::text() const
{
    if (!m_visible)
        return {};
    QStringList lines;
    for (const QStringList &row : m_rows)
        lines << row.join(u'\t');
    return lines.join(u'\n');
}

int ChartCursor::dayAt(double x)
{
    // The local day x falls in, or the next when its midnight is nearer.
    int day = int(DateToDays(QDateTime::fromMSecsSinceEpoch(qint64(std::floor(x))).date()));
    if (double(m_view.midnight(day + 1)) - x < x - double(m_view.midnight(day)))
        ++day;
    // A day whose midnight lies past either end of the axis is not drawn there.
    const QRectF plot = m_view.plotArea();
    if (double(m_view.midnight(day)) < m_view.xAt(plot.topLeft()))
        ++day;
    else if (double(m_view.midnight(day)) > m_view.xAt(plot.topRight()))
        --day;
    return day;
}

double ChartCursor::pixelOf(int day)
{
    const QRectF plot = m_view.plotArea();
    const double from = m_view.xAt(plot.topLeft());
    const double to = m_view.xAt(plot.topRight());
    const double x = plot.left() + (double(m_view.midnight(day)) - from) / (to - from) * plot.width();
    return m_view.fromChart(QPointF(x, plot.top())).x();
}

void ChartCursor::lay()
{
    // Every shown game, as its axis draws it.
    std::vector<CursorSeries> offered;
    std::vector<const PlotSeries *> owners;
    for (const PlotSeries *s : m_view.series()) {
        if (!s->shown())
            continue;
        offered.push_back({&s->points(), s->axis() == VertAxis::Right, m_view.axisInverted(s->axis()),
                           m_view.axisLogarithmic(s->axis())});
        owners.push_back(s);
    }
    m_rows.clear();
    m_colors.clear();
    m_rightAxis.clear();
    m_marks.clear();
    m_rows.push_back(CursorHeader(m_day, m_pinned));
    const QRectF plot = m_view.plotArea();
    const QRect plotPixels = QRect(m_view.fromChart(plot.topLeft()), m_view.fromChart(plot.bottomRight()))
                                 .normalized()
                                 .adjusted(-1, -1, 1, 1);
    for (const CursorRow &row : CursorRows(offered, m_day, m_pinned)) {
        const PlotSeries *s = owners[size_t(row.series)];
        m_rows.push_back(CursorCells(s->title(), row, m_day, m_pinned, offered[size_t(row.series)].inverted));
        m_colors.push_back(s->color());
        m_rightAxis.push_back(s->axis() == VertAxis::Right);
        if (!row.at) // a point before a zoomed range's start is not marked
            continue;
        const QPoint at = m_view.fromChart(m_view.positionOf(*s, double(m_view.midnight(row.at->day)), row.at->y));
        if (plotPixels.contains(at))
            m_marks.push_back({at, s->color()});
    }

    m_lineX = pixelOf(m_day);
    m_pinX.reset();
    if (m_pinned) {
        const double x = pixelOf(*m_pinned);
        const double left = m_view.fromChart(plot.topLeft()).x();
        const double right = m_view.fromChart(plot.topRight()).x();
        if (x >= left - 0.5 && x <= right + 0.5)
            m_pinX = x;
    }
    m_top = m_view.fromChart(plot.topLeft()).y();
    m_bottom = m_view.fromChart(plot.bottomLeft()).y();

    const QWidget *surface = m_view.surface();
    const QFontMetrics metrics(surface->font());
    const int titleLimit = int(surface->width() * TitleShare);
    m_columns.assign(m_rows.front().size(), 0);
    for (const QStringList &row : m_rows) {
        for (qsizetype i = 0; i < row.size() && size_t(i) < m_columns.size(); ++i)
            m_columns[size_t(i)] = std::max(m_columns[size_t(i)], metrics.horizontalAdvance(row[i]));
    }
    m_columns[0] = std::min(m_columns[0], titleLimit);
    const int width = 2 * Padding + Swatch + ColumnGap
        + std::accumulate(m_columns.begin(), m_columns.end(), 0) + ColumnGap * int(m_columns.size() - 1);
    // The right axis' games stand apart from the left's, below a rule.
    const bool twoAxes = !m_rightAxis.empty() && m_rightAxis.front() != m_rightAxis.back();
    const int ruleGap = twoAxes ? metrics.lineSpacing() / 2 : 0;
    const int height = 2 * Padding + metrics.lineSpacing() * int(m_rows.size()) + ruleGap;
    // Right of the line, or left of it where the view has no room; from the
    // plot's top, or higher where the view is too short for it.
    const QRect view = surface->rect();
    int left = int(std::lround(m_lineX)) + Gap;
    if (left + width > view.right())
        left = std::max(view.left(), int(std::lround(m_lineX)) - Gap - width);
    int top = m_top + Gap;
    if (top + height > view.bottom())
        top = std::max(view.top(), view.bottom() - height);
    m_box = QRect(left, top, width, height);

    // Each cell's text where it is drawn: a title from the left of its
    // column (cut only where longer than the column may be), a value from
    // the right of its own.
    m_texts.clear();
    m_swatches.clear();
    m_rule.reset();
    const int line = metrics.lineSpacing();
    int y = m_box.top() + Padding;
    for (size_t r = 0; r < m_rows.size(); ++r, y += line) {
        if (twoAxes && r > 1 && m_rightAxis[r - 1] && !m_rightAxis[r - 2]) {
            m_rule = y + ruleGap / 2;
            y += ruleGap;
        }
        int x = m_box.left() + Padding;
        if (r > 0)
            m_swatches.push_back({QRect(x, y + (line - Swatch) / 2, Swatch, Swatch), m_colors[r - 1]});
        x += Swatch + ColumnGap;
        const QStringList &row = m_rows[r];
        for (qsizetype c = 0; c < row.size() && size_t(c) < m_columns.size(); ++c) {
            const int w = m_columns[size_t(c)];
            const int advance = metrics.horizontalAdvance(row[c]);
            const int baseline = y + metrics.ascent();
            if (c == 0 && advance > w)
                m_texts.push_back({QPoint(x, baseline), metrics.elidedText(row[c], Qt::ElideRight, w), r == 0});
            else if (c == 0)
                m_texts.push_back({QPoint(x, baseline), row[c], r == 0});
            else
                m_texts.push_back({QPoint(x + w - advance, baseline), row[c], r == 0});
            x += w + ColumnGap;
        }
    }
}

QRegion ChartCursor::area() const
{
    const auto lineRect = [this](double x) {
        return QRect(int(std::floor(x)) - 2, m_top - 1, 5, m_bottom - m_top + 3);
    };
    // The pieces, not the rectangle around them: the view redraws what the
    // cursor covered, and less of it costs less.
    QRegion covered = QRegion(m_box.adjusted(-1, -1, 1, 1)) + lineRect(m_lineX);
    if (m_pinX)
        covered += lineRect(*m_pinX);
    const int r = MarkRadius + 3;
    for (const auto &[at, color] : m_marks)
        covered += QRect(at - QPoint(r, r), QSize(2 * r + 1, 2 * r + 1));
    return covered;
}

void ChartCursor::paint(QPainter &painter) const
{
    if (!m_visible)
        return;
    painter.save();
    if (m_pinX) {
        painter.setPen(QPen(PinColor, 1, Qt::DashLine));
        painter.drawLine(QPointF(*m_pinX, m_top), QPointF(*m_pinX, m_bottom));
    }
    painter.setPen(QPen(LineColor, 1));
    painter.drawLine(QPointF(m_lineX, m_top), QPointF(m_lineX, m_bottom));
    // Each game's point at the day (or the last before it), as the read-out marks one.
    painter.setRenderHint(QPainter::Antialiasing);
    for (const auto &[at, color] : m_marks) {
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(color);
        painter.drawEllipse(QPointF(at), MarkRadius, MarkRadius);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);

    painter.setPen(QPen(LineColor, 1));
    painter.setBrush(QColor(255, 255, 255, 235));
    painter.drawRect(QRectF(m_box).adjusted(0.5, 0.5, -0.5, -0.5));
    if (m_rule) {
        painter.setPen(QPen(PinColor, 1));
        painter.drawLine(m_box.left() + Padding, *m_rule, m_box.right() - Padding, *m_rule);
    }
    painter.setPen(Qt::NoPen);
    for (const auto &[rect, color] : m_swatches) {
        painter.setBrush(color);
        painter.drawRect(rect);
    }
    painter.setFont(m_view.surface()->font());
    for (const PlacedText &text : m_texts) {
        painter.setPen(text.header ? PinColor : QColor(Qt::black));
        painter.drawText(text.at, text.text);
    }
    painter.restore();
}
