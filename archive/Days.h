// Calendar days as whole numbers: days since 1970-01-01 in the proleptic
// Gregorian calendar, as the archive stores them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct CivilDate {
    int year;
    int month; // 1 to 12
    int day; // 1 to 31
};

[[nodiscard]] int32_t DayNumber(CivilDate date);
[[nodiscard]] CivilDate DateOfDay(int32_t day);

// "YYYY-MM-DD" at the start of text, a real calendar date with a year from
// 1 to 9999; nothing when it is not one.
[[nodiscard]] std::optional<int32_t> LeadingIsoDay(std::string_view text);
// True when text starts with "YYYY-MM-DD" digits, a calendar date or not.
[[nodiscard]] bool StartsLikeIsoDay(std::string_view text);

[[nodiscard]] std::string IsoDay(int32_t day); // "2016-10-12"
[[nodiscard]] std::string CompactDay(int32_t day); // "20161012"
void AppendCompactDay(std::string &out, int32_t day); // CompactDay's text onto out
