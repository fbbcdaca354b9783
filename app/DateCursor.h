// The arithmetic of the chart's date cursor: each game's value at a day or,
// without a drawn point that day, its last value before it; the change
// between two days, positive when the line climbed; the games in the order
// their axis shows them; and the cells of the cursor's box.
#pragma once

#include "plot/SeriesBuilder.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// A series as the cursor reads it.
struct CursorSeries {
    const std::vector<SeriesPoint> *points = nullptr; // in ascending days
    bool rightAxis = false;
    bool inverted = false;    // its axis
    bool logarithmic = false; // its axis: only values above zero are drawn
};

// The point whose value the chart shows at a day: the day's last point the
// axis draws, else the last one drawn before it; nothing before the first.
// A binary search: the cursor asks for every series at every move.
[[nodiscard]] std::optional<SeriesPoint> ValueAsOf(const std::vector<SeriesPoint> &points, int day,
                                                   bool logarithmic);

// The change from the earlier day's value to the later's, positive when the
// line climbed: on an inverted axis (ranks, rank 1 at the top) the places
// gained, on a normal one the difference; without the binary tail below the
// values' twelfth digit.
[[nodiscard]] double CursorChange(double earlier, double later, bool inverted);

struct CursorRow {
    int series = -1;                   // index in the series offered
    std::optional<SeriesPoint> at;     // at the cursor's day
    std::optional<SeriesPoint> pinned; // at the pinned day, when a day is pinned
};

// A row for every series with a value at the cursor's day, or, with a day
// pinned, at either day. The left axis' rows come first, then the right's,
// each in its axis' direction by the value at the cursor's day, the top of
// the axis first (rank 1 first on an inverted axis); rows without a value
// there come last; equals keep the series' order.
[[nodiscard]] std::vector<CursorRow> CursorRows(const std::vector<CursorSeries> &series, int day,
                                                std::optional<int> pinnedDay);

// The box's first row: the cursor's day; with a day pinned, the earlier and
// the later day and "change". Dates read "dd/MM/yyyy", as the read-out's.
[[nodiscard]] QStringList CursorHeader(int day, std::optional<int> pinnedDay);
// A row's cells: the title and the value (as the read-out shows it, with
// "(as of dd/MM/yyyy)" when it is an earlier day's); with a day pinned, the
// title, the earlier day's value, the later's and the change ("+3", "-0.2",
// "0"; "-" for a missing value, and then no change).
[[nodiscard]] QStringList CursorCells(const QString &title, const CursorRow &row, int day,
                                      std::optional<int> pinnedDay, bool inverted);
