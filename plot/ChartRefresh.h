// Holds the chart's repainting while a Load adds series, and lets it through
// at most a few times a second: drawing every series again after every game
// would cost more than reading the pages.
#pragma once

#include <QElapsedTimer>

class QWidget;

class ChartRefresh
{
public:
    explicit ChartRefresh(QWidget *chart);
    ~ChartRefresh();
    ChartRefresh(const ChartRefresh &) = delete;
    ChartRefresh &operator=(const ChartRefresh &) = delete;

    // After a game: repaints now when the last repaint is long enough ago.
    void gameAdded();

private:
    static constexpr int IntervalMs = 300;
    void repaint();

    QWidget *m_chart;
    bool m_wasEnabled;
    QElapsedTimer m_sinceRepaint;
};
