#include "plot/SeriesBuilder.h"

#include "service/u_Function.h"

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
    // In arrival order; the chart's series keeps its points in date order.
    m_points.push_back({ int(DateToDays(*date)), y });
}
