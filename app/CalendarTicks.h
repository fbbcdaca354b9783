// Where a date axis puts its ticks: on the first days of years, quarters,
// months or weeks, or on single days, whichever is the finest that leaves
// room between the labels.
#pragma once

#include <QDate>
#include <QList>
#include <optional>

enum class TickUnit { Day, Week, Month, Quarter, Year };

// One way of placing ticks: every `count` units, counted from the calendar's
// own boundaries (every fifth year falls on 2015, 2020, ...).
struct TickStep {
    TickUnit unit = TickUnit::Day;
    int count = 1;
};

// The dates of the finest step, in the order day, week (Mondays), month,
// quarter, year, then every 2, 5, 10, 20, 50, ... years, that gives no more
// than maxTicks dates from first to last (both included). A span with no
// boundary of any step in it, or an invalid one, gets no ticks.
[[nodiscard]] QList<QDate> CalendarTicks(QDate first, QDate last, int maxTicks);

// The step CalendarTicks chooses.
[[nodiscard]] TickStep CalendarTickStep(QDate first, QDate last, int maxTicks);

// The dates of one step from first to last, or nothing when there are more
// than limit of them.
[[nodiscard]] std::optional<QList<QDate>> TickDates(QDate first, QDate last, TickStep step,
                                                    int limit);
