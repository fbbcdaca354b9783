// Holds the chart while a Load adds series and brings it up to date at most
// once a second: laying out and drawing every series again after every game
// would cost more than reading the pages.
#pragma once

#include <QElapsedTimer>

class PlotChart;

class ChartRefresh
{
public:
    explicit ChartRefresh(PlotChart *chart);
    ~ChartRefresh();
    ChartRefresh(const ChartRefresh &) = delete;
    ChartRefresh &operator=(const ChartRefresh &) = delete;

    // After a game: brings the chart up to date when the last time is long
    // enough ago.
    void gameAdded();

private:
    static constexpr int IntervalMs = 1000;

    PlotChart *m_chart;
    QElapsedTimer m_sinceRefresh;
};
