#include "plot/SeriesBuilder.h"

#include "service/u_Function.h"

#include <algorithm>

std::optional<QDate> RecordDate(QStringView dateText)
{
    const auto year = WholeNumber(dateText.mid(0, 4));
    if (!year)
        return std::nullopt;
    const auto month = WholeNumber(dateText.mid(4, 2));
    if (!month)
        return std::nullopt;
    const auto day = WholeNumber(dateText.mid(6, 2));
    if (!day)
        return std::nullopt;
    // QDate accepts years before 1 and beyond 9999; the date values do not.
    if (*year < 1 || *year > 9999)
        return std::nullopt;
    const QDate date(*year, *month, *day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

void SeriesBuilder::AddPoint(QStringView dateText, double value, const SeriesOptions &options)
{
    const std::optional<QDate> date = RecordDate(dateText);
    if (!date)
        return;
    if (options.useDateRange && (*date < options.from || *date > options.to))
        return;
    double y = value;
    if (options.delta) {
        if (m_previous != NoPrevious)
            y = value - m_previous;
        m_previous = value;
    }
    const SeriesPoint point{int(DateToDays(*date)), y};
    // Pages arrive in date order, so this is nearly always an append; an
    // earlier date goes after every point of an equal or smaller day.
    if (m_points.empty() || m_points.back().day <= point.day) {
        m_points.push_back(point);
        return;
    }
    const auto at = std::upper_bound(
        m_points.begin(), m_points.end(), point.day,
        [](int day, const SeriesPoint &p) { return day < p.day; });
    m_points.insert(at, point);
}
