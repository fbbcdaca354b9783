#include "app/CalendarTicks.h"

#include <algorithm>

namespace {

// QDate reaches millions of years either way; no step need be coarser.
constexpr int MaxYearStep = 1000000;

// The first boundary of the step at or after date.
QDate firstBoundary(QDate date, TickStep step)
{
    switch (step.unit) {
    case TickUnit::Day:
        return date;
    case TickUnit::Week:
        return date.addDays((8 - date.dayOfWeek()) % 7); // the next Monday
    case TickUnit::Month:
    case TickUnit::Quarter: {
        const int months = step.unit == TickUnit::Quarter ? 3 : 1;
        QDate boundary(date.year(), (date.month() - 1) / months * months + 1, 1);
        return boundary < date ? boundary.addMonths(months) : boundary;
    }
    case TickUnit::Year: {
        // Every count-th year: the years divisible by count.
        const int year = date.year() + (date.month() == 1 && date.day() == 1 ? 0 : 1);
        const int remainder = ((year % step.count) + step.count) % step.count;
        return QDate(remainder == 0 ? year : year + step.count - remainder, 1, 1);
    }
    }
    return date;
}

QDate next(QDate date, TickStep step)
{
    switch (step.unit) {
    case TickUnit::Day:
        return date.addDays(step.count);
    case TickUnit::Week:
        return date.addDays(7 * step.count);
    case TickUnit::Month:
        return date.addMonths(step.count);
    case TickUnit::Quarter:
        return date.addMonths(3 * step.count);
    case TickUnit::Year:
        return date.addYears(step.count);
    }
    return date;
}

} // namespace

std::optional<QList<QDate>> TickDates(QDate first, QDate last, TickStep step, int limit)
{
    QList<QDate> dates;
    if (!first.isValid() || !last.isValid())
        return dates;
    for (QDate date = firstBoundary(first, step); date.isValid() && date <= last;
         date = next(date, step)) {
        if (dates.size() == limit)
            return std::nullopt;
        dates << date;
    }
    return dates;
}

TickStep CalendarTickStep(QDate first, QDate last, int maxTicks)
{
    maxTicks = std::max(maxTicks, 1);
    for (const TickStep step : {TickStep{TickUnit::Day, 1}, TickStep{TickUnit::Week, 1},
                                TickStep{TickUnit::Month, 1}, TickStep{TickUnit::Quarter, 1}}) {
        if (TickDates(first, last, step, maxTicks))
            return step;
    }
    // Every 1, 2, 5, 10, 20, 50, ... years, until the dates fit: a year's
    // worth of days has far fewer years than the calendar holds.
    TickStep step{TickUnit::Year, 1};
    for (int years = 1;; years *= 10) {
        for (const int factor : {1, 2, 5}) {
            step.count = years * factor;
            if (TickDates(first, last, step, maxTicks) || step.count >= MaxYearStep)
                return step;
        }
    }
}

QList<QDate> CalendarTicks(QDate first, QDate last, int maxTicks)
{
    maxTicks = std::max(maxTicks, 1);
    return TickDates(first, last, CalendarTickStep(first, last, maxTicks), maxTicks)
        .value_or(QList<QDate>());
}
