#include "archive/Days.h"

#include <cstdio>

// Civil-date conversions after Howard Hinnant's public-domain algorithms.
int32_t DayNumber(CivilDate date)
{
    const int y = date.year - (date.month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (date.month + (date.month > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

CivilDate DateOfDay(int32_t day)
{
    const int z = day + 719468;
    const int era = (z >= 0 ? z : z - 146096) / 146097;
    const int doe = z - era * 146097;
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    const int d = doy - (153 * mp + 2) / 5 + 1;
    const int m = mp < 10 ? mp + 3 : mp - 9;
    return { yoe + era * 400 + (m <= 2 ? 1 : 0), m, d };
}

bool StartsLikeIsoDay(std::string_view text)
{
    if (text.size() < 10 || text[4] != '-' || text[7] != '-')
        return false;
    for (const int i : { 0, 1, 2, 3, 5, 6, 8, 9 }) {
        if (text[size_t(i)] < '0' || text[size_t(i)] > '9')
            return false;
    }
    return true;
}

std::optional<int32_t> LeadingIsoDay(std::string_view text)
{
    if (!StartsLikeIsoDay(text))
        return std::nullopt;
    int parts[3] = {};
    const int starts[3] = { 0, 5, 8 }, sizes[3] = { 4, 2, 2 };
    for (int i = 0; i < 3; ++i) {
        for (int k = 0; k < sizes[i]; ++k)
            parts[i] = parts[i] * 10 + (text[size_t(starts[i] + k)] - '0');
    }
    const CivilDate date { parts[0], parts[1], parts[2] };
    if (date.year < 1 || date.month < 1 || date.month > 12 || date.day < 1 || date.day > 31)
        return std::nullopt;
    const int32_t day = DayNumber(date);
    const CivilDate back = DateOfDay(day);
    if (back.month != date.month || back.day != date.day) // 31 April, 29 February 2023
        return std::nullopt;
    return day;
}

std::string IsoDay(int32_t day)
{
    const CivilDate d = DateOfDay(day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

std::string CompactDay(int32_t day)
{
    std::string text;
    AppendCompactDay(text, day);
    return text;
}

// Every record of a history page writes its day: digits by hand, not printf.
void AppendCompactDay(std::string &out, int32_t day)
{
    const CivilDate d = DateOfDay(day);
    if (d.year < 0 || d.year > 9999) {
        char text[32];
        std::snprintf(text, sizeof text, "%04d%02d%02d", d.year, d.month, d.day);
        out += text;
        return;
    }
    const char text[8] = { char('0' + d.year / 1000), char('0' + d.year / 100 % 10), char('0' + d.year / 10 % 10),
        char('0' + d.year % 10), char('0' + d.month / 10), char('0' + d.month % 10), char('0' + d.day / 10),
        char('0' + d.day % 10) };
    out.append(text, sizeof text);
}
