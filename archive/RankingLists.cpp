#include "archive/RankingLists.h"

#include "archive/Days.h"

#include <algorithm>
#include <unordered_map>

namespace {

std::string Number(int64_t value)
{
    return std::to_string(value);
}

std::string OptionalNumber(const std::optional<uint32_t> &value)
{
    return value ? Number(*value) : std::string();
}

} // namespace

std::string CsvText(std::string_view field)
{
    if (field.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(field);
    std::string quoted = "\"";
    for (const char c : field) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + '"';
}

DaySummary ChooseListDay(std::span<const DaySummary> days, int32_t asked)
{
    const auto after = std::upper_bound(days.begin(), days.end(), asked,
        [](int32_t day, const DaySummary &d) { return day < d.day; });
    if (after == days.begin())
        throw ListError("no day imported at or before " + IsoDay(asked));
    return *(after - 1);
}

std::string TopList(ListSource &source, const TopQuery &query)
{
    const std::vector<DaySummary> days = source.days();
    if (days.empty())
        throw ListError("the archive holds no days");
    const DaySummary day = query.day ? ChooseListDay(days, *query.day) : days.back();

    std::vector<uint32_t> games;
    if (!query.year) {
        for (const DayRank &ranked : source.ranking(day.day, query.count))
            games.push_back(ranked.game);
    } else {
        // Every ranked game's year is needed to find the best of one year.
        std::vector<uint32_t> ranked;
        for (const DayRank &r : source.ranking(day.day, 0))
            ranked.push_back(r.game);
        const std::vector<int32_t> years = source.years(ranked);
        for (size_t i = 0; i < ranked.size() && (query.count == 0 || games.size() < query.count); ++i) {
            if (years[i] == *query.year)
                games.push_back(ranked[i]);
        }
    }
    const std::vector<GameTitle> titles = source.titles(games);
    const std::vector<Record> records = source.records(day.day, games);

    std::string csv = "day,rank,id,name,year,average,bayes_average,users_rated\n";
    const std::string dayText = IsoDay(day.day);
    for (size_t i = 0; i < games.size(); ++i) {
        const Record &record = records[i];
        csv += dayText + ',' + Number(record.rank) + ',' + Number(games[i]) + ','
            + CsvText(titles[i].name) + ',' + Number(titles[i].year) + ','
            + DecimalText(record.average) + ',' + DecimalText(record.bayesAverage) + ','
            + Number(record.usersRated) + '\n';
    }
    return csv;
}

std::string MoversList(ListSource &source, const MoversQuery &query)
{
    const std::vector<DaySummary> days = source.days();
    const DaySummary from = ChooseListDay(days, query.from), to = ChooseListDay(days, query.to);
    const std::vector<DayRank> fromRanking = source.ranking(from.day, 0);
    const std::vector<DayRank> toRanking
        = from.day == to.day ? fromRanking : source.ranking(to.day, 0);

    struct Mover {
        uint32_t game;
        std::optional<uint32_t> rankFrom, rankTo;
        bool topFrom = false, topTo = false;
        std::optional<int64_t> change;
        const char *status = "";
    };
    std::vector<Mover> movers;
    std::unordered_map<uint32_t, size_t> where; // game -> index in movers

    // With a year, only that year's games count towards the top N of a day.
    const auto yearsOf = [&](const std::vector<DayRank> &ranking) {
        if (!query.year)
            return std::vector<int32_t>();
        std::vector<uint32_t> games;
        games.reserve(ranking.size());
        for (const DayRank &ranked : ranking)
            games.push_back(ranked.game);
        return source.years(games);
    };
    const auto takeTop = [&](const std::vector<DayRank> &ranking, bool Mover::*inTop) {
        const std::vector<int32_t> years = yearsOf(ranking);
        size_t taken = 0;
        for (size_t i = 0; i < ranking.size() && (query.top == 0 || taken < query.top); ++i) {
            if (query.year && years[i] != *query.year)
                continue;
            ++taken;
            const auto [at, fresh] = where.try_emplace(ranking[i].game, movers.size());
            if (fresh)
                movers.push_back({ ranking[i].game });
            movers[at->second].*inTop = true;
        }
    };
    takeTop(fromRanking, &Mover::topFrom);
    takeTop(toRanking, &Mover::topTo);
    // Each day's whole ranking is looked through for the few chosen games: a
    // bit per low 16 bits of an ID passes over nearly every other game at once.
    std::vector<bool> maybeChosen(1 << 16);
    for (const Mover &m : movers)
        maybeChosen[m.game & 0xFFFF] = true;
    const auto takeRanks = [&](const std::vector<DayRank> &ranking,
                               std::optional<uint32_t> Mover::*rank) {
        for (const DayRank &ranked : ranking) {
            if (!maybeChosen[ranked.game & 0xFFFF])
                continue;
            if (const auto at = where.find(ranked.game); at != where.end())
                movers[at->second].*rank = ranked.rank;
        }
    };
    takeRanks(fromRanking, &Mover::rankFrom);
    takeRanks(toRanking, &Mover::rankTo);
    for (Mover &m : movers) {
        if (m.rankFrom && m.rankTo)
            m.change = int64_t(*m.rankFrom) - int64_t(*m.rankTo);
        if (m.topFrom && m.topTo)
            m.status = *m.change > 0 ? "up" : *m.change < 0 ? "down" : "same";
        else if (m.topTo) // a day whose scrape stopped short of the game's rank says nothing of it
            m.status = !m.rankFrom && from.deepestRank < *m.rankTo ? "not listed" : "entered";
        else
            m.status = !m.rankTo && to.deepestRank < *m.rankFrom ? "not listed" : "left";
    }
    // Missing ranks sort last.
    const auto key = [](const std::optional<uint32_t> &rank) {
        return rank ? int64_t(*rank) : INT64_MAX;
    };
    std::sort(movers.begin(), movers.end(), [&](const Mover &a, const Mover &b) {
        if (a.change.has_value() != b.change.has_value())
            return a.change.has_value();
        if (a.change != b.change)
            return *a.change > *b.change;
        if (key(a.rankTo) != key(b.rankTo))
            return key(a.rankTo) < key(b.rankTo);
        if (key(a.rankFrom) != key(b.rankFrom))
            return key(a.rankFrom) < key(b.rankFrom);
        return a.game < b.game;
    });
    if (query.count > 0 && movers.size() > query.count)
        movers.resize(query.count);

    std::vector<uint32_t> printed;
    printed.reserve(movers.size());
    for (const Mover &m : movers)
        printed.push_back(m.game);
    const std::vector<GameTitle> titles = source.titles(printed);

    std::string csv = "from,to,id,name,year,rank_from,rank_to,change,status\n";
    const std::string dayFields = IsoDay(from.day) + ',' + IsoDay(to.day) + ',';
    for (size_t i = 0; i < movers.size(); ++i) {
        const Mover &m = movers[i];
        const GameTitle &title = titles[i];
        csv += dayFields + Number(m.game) + ',' + CsvText(title.name) + ',' + Number(title.year) + ','
            + OptionalNumber(m.rankFrom) + ',' + OptionalNumber(m.rankTo) + ','
            + (m.change ? Number(*m.change) : std::string()) + ',' + m.status + '\n';
    }
    return csv;
}

std::string ListDaysText(std::span<const DaySummary> days)
{
    if (days.empty())
        return {};
    std::string text = "first," + IsoDay(days.front().day) + "\nlast," + IsoDay(days.back().day) + '\n';
    for (size_t i = 1; i < days.size(); ++i) {
        if (days[i].day - days[i - 1].day > 1)
            text += "missing," + IsoDay(days[i - 1].day + 1) + ',' + IsoDay(days[i].day - 1) + '\n';
    }
    return text;
}
