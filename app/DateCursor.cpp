#include "app/DateCursor.h"

#include "app/ChartScale.h"
#include "app/Readout.h"

#include <algorithm>
#include <cmath>

std::optional<SeriesPoint> ValueAsOf(const std::vector<SeriesPoint> &points, int day, bool logarithmic)
{
    // The first point after the day, then back to the last one drawn.
    auto it = std::upper_bound(points.begin(), points.end(), day,
                               [](int d, const SeriesPoint &p) { return d < p.day; });
    while (it != points.begin()) {
        --it;
        if (DrawableValue(it->y, logarithmic))
            return *it;
    }
    return std::nullopt;
}

double CursorChange(double earlier, double later, bool inverted)
{
    const double change = inverted ? earlier - later : later - earlier;
    // Rounded to the last of the twelve digits the values are shown with:
    // 6.53568 - 6.53478 reads 0.0009, not 0.000900000000001.
    const double magnitude = std::max({std::abs(earlier), std::abs(later), 1.0});
    const double unit = std::pow(10.0, std::floor(std::log10(magnitude)) - 11);
    return std::round(change / unit) * unit + 0.0; // never "-0"
}

std::vector<CursorRow> CursorRows(const std::vector<CursorSeries> &series, int day,
                                  std::optional<int> pinnedDay)
{
    std::vector<CursorRow> rows;
    rows.reserve(series.size());
    for (int i = 0; i < int(series.size()); ++i) {
        const CursorSeries &s = series[size_t(i)];
        CursorRow row;
        row.series = i;
        row.at = ValueAsOf(*s.points, day, s.logarithmic);
        if (pinnedDay)
            row.pinned = ValueAsOf(*s.points, *pinnedDay, s.logarithmic);
        if (row.at || row.pinned)
            rows.push_back(row);
    }
    // The order the rows' lines stand in on their axis, top first.
    const auto before = [&series](const CursorRow &a, const CursorRow &b) {
        const CursorSeries &sa = series[size_t(a.series)];
        const CursorSeries &sb = series[size_t(b.series)];
        if (sa.rightAxis != sb.rightAxis)
            return sb.rightAxis;
        if (!a.at || !b.at)
            return a.at.has_value() && !b.at;
        return sa.inverted ? a.at->y < b.at->y : a.at->y > b.at->y;
    };
    std::stable_sort(rows.begin(), rows.end(), before);
    return rows;
}

QStringList CursorHeader(int day, std::optional<int> pinnedDay)
{
    if (!pinnedDay)
        return {QString(), ReadoutDate(day)};
    const auto [earlier, later] = std::minmax(day, *pinnedDay);
    return {QString(), ReadoutDate(earlier), ReadoutDate(later), QStringLiteral("change")};
}

// The value as the read-out shows it, marked with its day when that is not
// the day asked for.
static QString valueCell(const std::optional<SeriesPoint> &point, int day)
{
    if (!point)
        return QStringLiteral("-");
    QString text = ReadoutValue(point->y);
    if (point->day != day)
        text += QStringLiteral(" (as of ") + ReadoutDate(point->day) + QLatin1Char(')');
    return text;
}

QStringList CursorCells(const QString &title, const CursorRow &row, int day, std::optional<int> pinnedDay,
                        bool inverted)
{
    if (!pinnedDay)
        return {title, valueCell(row.at, day)};
    const bool pinnedFirst = *pinnedDay <= day;
    const std::optional<SeriesPoint> &earlier = pinnedFirst ? row.pinned : row.at;
    const std::optional<SeriesPoint> &later = pinnedFirst ? row.at : row.pinned;
    QString change = QStringLiteral("-");
    if (earlier && later) {
        const double by = CursorChange(earlier->y, later->y, inverted);
        change = (by > 0 ? QStringLiteral("+") : QString()) + ReadoutValue(by);
    }
    return {title, valueCell(earlier, std::min(day, *pinnedDay)), valueCell(later, std::max(day, *pinnedDay)),
            change};
}
