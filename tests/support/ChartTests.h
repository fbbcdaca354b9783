// What the chart's test programs share: a day by its date, and a series of
// values on consecutive days.
#pragma once

#include <QList>

class PlotChart;
class PlotSeries;
class QObject;

// The day number of a date.
int day(int y, int m, int d);

// A series of owner with ys on consecutive days from firstDay, not yet on
// the chart.
PlotSeries *seriesWith(PlotChart &chart, QObject *owner, const QList<double> &ys, int firstDay = 40000);
