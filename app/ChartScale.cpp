#include "app/ChartScale.h"

#include "service/u_Function.h"

#include <QDate>
#include <QDateTime>
#include <cmath>
#include <ctime>
#include <optional>

qint64 LocalMidnight(int day)
{
    const QDate date = DaysToDate(day);
    // Qt converts local times through the C library, which looks at the zone
    // settings again for every conversion (a file check each time when TZ is
    // unset): the days of a Load cost more than drawing it. Away from a change
    // of offset, midnight is the day's UTC midnight less the offset the C
    // library gives without that check; a day with a change of offset within
    // 14 hours (the largest offset there is) of its UTC midnight takes Qt's way.
    constexpr qint64 Window = 14 * 3600;
    constexpr qint64 UnixEpochJulianDay = 2440588;
    const qint64 utcMidnight = (date.toJulianDay() - UnixEpochJulianDay) * 86400;
    const auto offsetAt = [](qint64 secs) -> std::optional<long> {
        const std::time_t time = std::time_t(secs);
        std::tm parts{};
        if (!localtime_r(&time, &parts))
            return std::nullopt;
        return parts.tm_gmtoff;
    };
    const std::optional<long> before = offsetAt(utcMidnight - Window);
    const std::optional<long> after = offsetAt(utcMidnight + Window);
    if (before && after && *before == *after)
        return (utcMidnight - *before) * 1000;
    return date.startOfDay().toMSecsSinceEpoch();
}

qint64 MidnightCache::at(int day)
{
    // Local time conversions cost microseconds each (the C library may look
    // at the zone file every time).
    auto known = m_midnights.constFind(day);
    if (known == m_midnights.constEnd())
        known = m_midnights.insert(day, LocalMidnight(day));
    return *known;
}

std::pair<QDate, QDate> DaysWithin(double from, double to, MidnightCache &midnights)
{
    QDate first = QDateTime::fromMSecsSinceEpoch(qint64(std::ceil(from))).date();
    if (first.isValid() && double(midnights.at(int(DateToDays(first)))) < from)
        first = first.addDays(1);
    const QDate last = QDateTime::fromMSecsSinceEpoch(qint64(std::floor(to))).date();
    return {first, last};
}

bool DrawableValue(double y, bool logarithmic)
{
    return std::isfinite(y) && (!logarithmic || y > 0);
}

std::pair<int, int> DayLimits(int first, int last)
{
    if (first == last)
        return {first - 1, last + 1};
    return {first, last};
}

std::pair<double, double> LogAxisLimits(double low, double high)
{
    const double from = std::pow(10.0, std::floor(std::log10(low)));
    double to = std::pow(10.0, std::ceil(std::log10(high)));
    if (to <= from)
        to = from * 10;
    return {from, to};
}

std::pair<double, double> LinearAxisLimits(double low, double high)
{
    if (low == high)
        return {low - 1, high + 1};
    return {low, high};
}

int TickLabelDecimals(double step)
{
    if (!(step > 0) || !std::isfinite(step))
        return 0;
    const int enough = std::clamp(int(1 - std::floor(std::log10(step))), 0, 15);
    for (int decimals = 0; decimals < enough; ++decimals) {
        const double scaled = step * std::pow(10.0, decimals);
        if (std::abs(scaled - std::round(scaled)) < 1e-6 * scaled)
            return decimals;
    }
    return enough;
}
