// The day index: each day's games in rank order, packed compactly, so that a
// day's ranking is read without touching every game's blocks; and the rule
// that tells a shallow day (a scrape that stopped early) from its neighbours.
#pragma once

#include "archive/SnapshotReader.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct DayRank {
    uint32_t game;
    uint32_t rank;
    friend bool operator==(const DayRank &, const DayRank &) = default;
};

struct DaySummary {
    int32_t day;
    int64_t records;
    uint32_t deepestRank; // 0 for a day without records
    friend bool operator==(const DaySummary &, const DaySummary &) = default;
};

// Rank order: by rank, ties by game ID.
void SortByRank(std::vector<DayRank> &ranks);
[[nodiscard]] std::vector<DayRank> RanksOf(std::span<const SnapshotRow> rows);

// ranks in rank order (SortByRank). See docs/archive-format.md.
[[nodiscard]] std::string PackDayRanks(std::span<const DayRank> ranks);
// Appends the first limit entries (0: all); false when the bytes do not read.
[[nodiscard]] bool UnpackDayRanks(std::string_view bytes, size_t limit, std::vector<DayRank> &ranks);

struct ShallowDay {
    int32_t day;
    uint32_t deepestRank;
    uint32_t around; // the median of the deepest ranks of the days around it
};
// days in day order. A day is shallow when its deepest rank is less than half
// the median of the seven imported days centred on it (the seven nearest at
// either end of the archive; all of them when the archive holds fewer).
[[nodiscard]] std::vector<ShallowDay> ShallowDays(std::span<const DaySummary> days);
