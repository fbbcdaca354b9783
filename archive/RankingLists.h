// The ranking lists (the best games of a day, the movers between two days)
// as the CSV text the command line and the service answer, worked out from
// the days' rankings alone: no archive, no widgets.
#pragma once

#include "archive/DayIndex.h"
#include "archive/Record.h"

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

// What a list is worked out from: the day index and the games' titles and
// records (ArchiveListSource.h reads them from an archive).
class ListSource
{
public:
    virtual ~ListSource() = default;
    // Every imported day, in day order.
    virtual std::vector<DaySummary> days() = 0;
    // The day's ranked games in rank order, ties by game ID; limit 0: all.
    virtual std::vector<DayRank> ranking(int32_t day, size_t limit) = 0;
    // The games' latest names and years, beside games.
    virtual std::vector<GameTitle> titles(std::span<const uint32_t> games) = 0;
    // Their years alone, beside games: a year's list looks at every ranked game.
    virtual std::vector<int32_t> years(std::span<const uint32_t> games)
    {
        std::vector<int32_t> years;
        for (const GameTitle &title : titles(games))
            years.push_back(title.year);
        return years;
    }
    // The games' records of the day, beside games (each is ranked that day).
    virtual std::vector<Record> records(int32_t day, std::span<const uint32_t> games) = 0;
};

// A list that cannot be given, with a one-line reason.
class ListError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct TopQuery {
    std::optional<int32_t> day; // nothing: the last imported day
    size_t count = 100; // 0: all
    std::optional<int32_t> year;
};

struct MoversQuery {
    int32_t from = 0;
    int32_t to = 0;
    size_t top = 100; // 0: every ranked game
    size_t count = 0; // 0: all
    std::optional<int32_t> year;
};

// The day a list uses for the day asked: that day when imported, else the
// latest imported day before it. Throws ListError when there is none.
[[nodiscard]] DaySummary ChooseListDay(std::span<const DaySummary> days, int32_t asked);

// "day,rank,id,name,year,average,bayes_average,users_rated" and a row per game.
[[nodiscard]] std::string TopList(ListSource &source, const TopQuery &query);

// "from,to,id,name,year,rank_from,rank_to,change,status" and a row per game
// ranked within the top N of either day.
[[nodiscard]] std::string MoversList(ListSource &source, const MoversQuery &query);

// "first,YYYY-MM-DD", "last,YYYY-MM-DD", then "missing,FROM,TO" per range of
// days between them the archive lacks, a line each; empty when it holds none.
[[nodiscard]] std::string ListDaysText(std::span<const DaySummary> days);

// The field as it stands, or quoted as RFC 4180 says when it holds a comma, a
// double quote or a line break.
[[nodiscard]] std::string CsvText(std::string_view field);
