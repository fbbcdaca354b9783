// The chart's scale arithmetic without a chart: the x value of a day (its
// local midnight), which values an axis can draw, the limits an axis scales
// to around its data, and the decimals of a linear axis' tick labels.
#pragma once

#include <QDate>
#include <QHash>
#include <QtGlobal>
#include <algorithm>
#include <utility>

// The x value the chart draws for a day: local midnight of that day (or the
// first moment of the day where midnight falls in a daylight-saving gap), in
// milliseconds since the epoch. Equal to Qt's startOfDay, without Qt's cost
// of a zone lookup for every day away from a change of offset.
[[nodiscard]] qint64 LocalMidnight(int day);

// LocalMidnight, remembered per day: every series of a Load repeats the same
// days. Cleared when the time zone may have changed.
class MidnightCache
{
public:
    [[nodiscard]] qint64 at(int day);
    void clear() { m_midnights.clear(); }

private:
    QHash<int, qint64> m_midnights;
};

// The first and the last day whose midnights lie in from..to (x values);
// the first comes after the last when there is none.
[[nodiscard]] std::pair<QDate, QDate> DaysWithin(double from, double to, MidnightCache &midnights);

// Whether an axis of that kind draws a value: a finite one, and on a
// logarithmic axis one above zero.
[[nodiscard]] bool DrawableValue(double y, bool logarithmic);

// The lowest and highest of the values offered.
struct ValueExtent {
    bool any = false;
    double low = 0;
    double high = 0;

    void take(double y)
    {
        low = any ? std::min(low, y) : y;
        high = any ? std::max(high, y) : y;
        any = true;
    }
};

// The days a date axis spans: the first to the last, a day to either side of
// a single day.
[[nodiscard]] std::pair<int, int> DayLimits(int first, int last);

// A logarithmic axis: the powers of ten around low..high (both above zero),
// at least one decade.
[[nodiscard]] std::pair<double, double> LogAxisLimits(double low, double high);

// A linear axis before nice numbers round it: low..high, widened by one to
// either side when they are equal.
[[nodiscard]] std::pair<double, double> LinearAxisLimits(double low, double high);

// The decimals a linear axis' labels need for ticks step apart: as few as
// show the step exactly (5000 reads 5000, not 5000.0; 0.25 reads 0.25), but
// no more than one below the step's first digit, as after a zoom to an odd
// range.
[[nodiscard]] int TickLabelDecimals(double step);
