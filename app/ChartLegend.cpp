#include "app/ChartLegend.h"

#include "app/LegendGrid.h"
#include "app/PlotSeries.h"

#include <QFontMetricsF>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsSimpleTextItem>
#include <QPainter>
#include <algorithm>
#include <cmath>

// A hidden series' legend entry.
static const QColor HiddenGrey(170, 170, 170);

// An entry: the series' colour in a square, its name to the right.
class ChartLegend::Entry : public QGraphicsObject
{
public:
    Entry(ChartLegend &legend, PlotSeries *series)
        : QGraphicsObject(&legend), m_legend(legend), m_series(series)
    {
        m_text = new QGraphicsSimpleTextItem(this);
        m_text->setFont(legend.m_font);
        setAcceptedMouseButtons(Qt::LeftButton);
        restyle();
    }

    [[nodiscard]] PlotSeries *series() const { return m_series; }
    [[nodiscard]] QGraphicsSimpleTextItem *text() const { return m_text; }

    void restyle()
    {
        if (!m_series)
            return;
        m_color = m_series->shown() ? m_series->color() : HiddenGrey;
        m_text->setBrush(m_series->shown() ? QBrush(Qt::black) : QBrush(HiddenGrey));
        update();
    }

    // The name shortened to room (whole, and no tooltip, when it fits).
    void setRoom(double room)
    {
        const QString title = m_series ? m_series->title() : QString();
        const QFontMetricsF metrics(m_legend.m_font);
        const bool whole = metrics.horizontalAdvance(title) <= room + 0.5;
        m_text->setText(whole ? title : metrics.elidedText(title, Qt::ElideRight, room));
        // A tooltip is read as rich text when Qt guesses it is: it always is.
        setToolTip(whole ? QString() : QStringLiteral("<qt>") + title.toHtmlEscaped() + QStringLiteral("</qt>"));
        const double h = m_legend.rowHeight();
        m_text->setPos(markerSize() + gap(), (h - metrics.height()) / 2);
        prepareGeometryChange();
        m_bounds = QRectF(0, 0, markerSize() + gap() + m_text->boundingRect().width(), h);
    }

    [[nodiscard]] double markerSize() const { return QFontMetricsF(m_legend.m_font).height() * 0.6; }
    [[nodiscard]] double gap() const { return QFontMetricsF(m_legend.m_font).height() * 0.35; }

    [[nodiscard]] QRectF boundingRect() const override { return m_bounds; }

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *) override
    {
        const double size = markerSize();
        const QRectF square(0, (m_bounds.height() - size) / 2, size, size);
        painter->fillRect(square, m_color);
    }

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override
    {
        event->accept();
        if (m_series)
            emit m_legend.clicked(m_series);
    }

private:
    ChartLegend &m_legend;
    QPointer<PlotSeries> m_series;
    QGraphicsSimpleTextItem *m_text = nullptr;
    QColor m_color;
    QRectF m_bounds;
};

ChartLegend::ChartLegend(const QFont &font, QGraphicsItem *parent) : QGraphicsObject(parent), m_font(font)
{
    setZValue(10); // over the plot's grid and lines
}

void ChartLegend::setSeries(const QList<PlotSeries *> &series)
{
    qsizetype same = 0;
    while (same < m_entries.size() && same < series.size() && m_entries[same]->series() == series[same])
        ++same;
    while (m_entries.size() > same)
        delete m_entries.takeLast();
    for (qsizetype i = same; i < series.size(); ++i)
        m_entries << new Entry(*this, series[i]);
}

void ChartLegend::restyle(const PlotSeries *series)
{
    for (Entry *entry : std::as_const(m_entries)) {
        if (entry->series() == series)
            entry->restyle();
    }
}

double ChartLegend::rowHeight() const
{
    return std::ceil(QFontMetricsF(m_font).height() * 1.3);
}

double ChartLegend::layOut(double width, double maxHeight)
{
    prepareGeometryChange();
    if (m_entries.isEmpty()) {
        m_bounds = QRectF();
        return 0;
    }
    const QFontMetricsF metrics(m_font);
    // Beside its name an entry takes its square, the gap after it and the
    // room between columns.
    const double extra = metrics.height() * (0.6 + 0.35 + 1.0);
    std::vector<double> names;
    for (const Entry *entry : std::as_const(m_entries))
        names.push_back(entry->series() ? metrics.horizontalAdvance(entry->series()->title()) : 0);
    const double row = rowHeight();
    const LegendGrid grid = ChooseLegendGrid(names, extra, width, int(maxHeight / row));
    double used = 0;
    for (double room : grid.textWidths)
        used += room + extra;
    used -= metrics.height(); // no room after the last column
    double x = std::max(0.0, (width - used) / 2);
    std::vector<double> left;
    for (double room : grid.textWidths) {
        left.push_back(x);
        x += room + extra;
    }
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        const std::size_t column = std::size_t(i % grid.columns);
        m_entries[i]->setRoom(grid.textWidths[column]);
        m_entries[i]->setPos(left[column], double(i / grid.columns) * row);
    }
    m_bounds = QRectF(0, 0, width, grid.rows * row);
    return m_bounds.height();
}

QList<QGraphicsSimpleTextItem *> ChartLegend::texts() const
{
    QList<QGraphicsSimpleTextItem *> result;
    for (const Entry *entry : m_entries)
        result << entry->text();
    return result;
}
