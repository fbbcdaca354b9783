#include "app/ChartRefresh.h"

#include "app/PlotChart.h"

ChartRefresh::ChartRefresh(PlotChart *chart)
    : m_chart(chart)
{
    m_chart->hold();
    m_sinceRefresh.start();
}

ChartRefresh::~ChartRefresh()
{
    m_chart->release();
}

void ChartRefresh::gameAdded()
{
    if (m_sinceRefresh.elapsed() < IntervalMs)
        return;
    m_chart->flush();
    m_sinceRefresh.restart();
}
