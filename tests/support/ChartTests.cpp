#include "support/ChartTests.h"

#include "app/PlotChart.h"
#include "service/u_Function.h"

#include <QDate>

int day(int y, int m, int d)
{
    return int(DateToDays(QDate(y, m, d)));
}

PlotSeries *seriesWith(PlotChart &chart, QObject *owner, const QList<double> &ys, int firstDay)
{
    PlotSeries *series = chart.createSeries(owner);
    for (int i = 0; i < ys.size(); ++i)
        series->addPoint(firstDay + i, ys[i]);
    return series;
}
