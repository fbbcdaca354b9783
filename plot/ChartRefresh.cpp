#include "plot/ChartRefresh.h"

#include <QWidget>

ChartRefresh::ChartRefresh(QWidget *chart) : m_chart(chart), m_wasEnabled(chart->updatesEnabled())
{
    m_chart->setUpdatesEnabled(false);
    m_sinceRepaint.start();
}

ChartRefresh::~ChartRefresh()
{
    m_chart->setUpdatesEnabled(m_wasEnabled);
}

void ChartRefresh::gameAdded()
{
    if (m_sinceRepaint.elapsed() < IntervalMs)
        return;
    repaint();
    m_sinceRepaint.restart();
}

void ChartRefresh::repaint()
{
    m_chart->setUpdatesEnabled(true);
    m_chart->repaint();
    m_chart->setUpdatesEnabled(false);
}
