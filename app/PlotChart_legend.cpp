// The chart's legend below the plot and the room it takes from the chart.
#include "app/PlotChart.h"

#include "app/ChartLegend.h"

#include <QChart>
#include <cmath>

void PlotChart::setLegendVisible(bool visible)
{
    m_legend->setVisible(visible);
    scheduleFill();
}

bool PlotChart::legendVisible() const
{
    return m_legend->isVisible();
}

bool PlotChart::layOutLegend()
{
    m_legend->setSeries(m_series);
    double room = 0;
    if (m_legend->isVisible() && !m_series.isEmpty()) {
        const QSizeF size = chart()->size();
        // What the chart takes besides the plot and the legend: margins, axes' labels.
        const double others = size.height() - chart()->plotArea().height() - m_legendRoom;
        const double pad = m_legend->rowHeight() / 2;
        const double side = std::ceil(size.width() / 100);
        const double height
            = m_legend->layOut(size.width() - 2 * side, (1 - MinPlotHeight) * size.height() - others - pad);
        room = height + pad;
        m_legend->setPos(side, size.height() - height - pad / 2);
    }
    if (room == m_legendRoom)
        return false;
    m_legendRoom = room;
    applyMargins();
    return true;
}

void PlotChart::applyMargins()
{
    // In percent of the chart's size: top 1, left 1, right 0; the legend's room below.
    chart()->setMargins(QMargins(width() / 100, height() / 100, 0, int(std::ceil(m_legendRoom))));
}

void PlotChart::legendEntryChanged(const PlotSeries *series)
{
    m_legend->restyle(series);
    scheduleFill(); // its name may need another room
}
