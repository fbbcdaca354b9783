// The reads behind the ranking lists: the days, a day's ranking, the
// games' titles and years and their records of a day.
#include "archive/ArchiveReader.h"

#include "archive/ArchiveReaderConnection.h"
#include "archive/ArchiveUpgrade.h"
#include "archive/Days.h"

#include <algorithm>

// A few titles are read row by row; for many, every name is read once and
// kept for the generation, as the search does.
void ArchiveReader::forEachTitle(
    std::span<const uint32_t> games, const std::function<void(const GameTitle &)> &take)
{
    static constexpr size_t FewTitles = 1000;
    auto connection = borrow();
    Transaction transaction(*connection->db);
    const int64_t generation = connection->currentGeneration();
    std::shared_ptr<const Names> names = heldNames(generation);
    if (!names && games.size() > FewTitles)
        names = namesFor(*connection, generation);
    if (names) {
        for (const uint32_t game : games) {
            const auto found = std::lower_bound(names->games.begin(), names->games.end(), game,
                [](const Match &match, uint32_t id) { return match.game < id; });
            static const GameTitle none;
            take(found != names->games.end() && found->game == game ? found->title : none);
        }
    } else {
        const auto staged = stagedFor(*connection, generation);
        Statement &row = connection->game;
        for (const uint32_t game : games) {
            GameTitle title;
            std::optional<int32_t> nameDay;
            row.bind(1, game);
            if (row.step()) {
                title = { std::string(row.text(0)), int32_t(row.integer(1)) };
                nameDay = int32_t(row.integer(2));
                row.reset();
            }
            for (const auto &rows : staged->rows) {
                const auto found = rows->find(game);
                if (found && StagedTitleStands(found->record.day, nameDay)) {
                    title = { std::string(found->name), found->year };
                    nameDay = found->record.day;
                }
            }
            take(title);
        }
    }
    transaction.commit();
    giveBack(std::move(connection));
}

std::vector<GameTitle> ArchiveReader::titles(std::span<const uint32_t> games)
{
    std::vector<GameTitle> titles;
    titles.reserve(games.size());
    forEachTitle(games, [&](const GameTitle &title) { titles.push_back(title); });
    return titles;
}

std::vector<int32_t> ArchiveReader::years(std::span<const uint32_t> games)
{
    std::vector<int32_t> years;
    years.reserve(games.size());
    forEachTitle(games, [&](const GameTitle &title) { years.push_back(title.year); });
    return years;
}

// An archive of layout 1, read before an import upgrades it, has no day
// index: the rankings are worked out from the records, slower but alike.
// Every list asks for the days: they are read once per generation.
std::vector<DaySummary> ArchiveReader::daySummaries()
{
    auto connection = borrow();
    Database &db = *connection->db;
    Transaction transaction(db);
    const int64_t generation = connection->currentGeneration();
    std::shared_ptr<const HeldDays> held;
    {
        const std::lock_guard lock(m_mutex);
        if (m_days && m_days->generation == generation)
            held = m_days;
    }
    if (!held) {
        auto read = std::make_shared<HeldDays>();
        read->generation = generation;
        const bool indexed = db.number("PRAGMA user_version") >= 2;
        Statement rows(db.handle(),
            indexed ? "SELECT day, records, deepest FROM days ORDER BY day"
                    : "SELECT day, records, 0 FROM days ORDER BY day");
        while (rows.step())
            read->days.push_back({ int32_t(rows.integer(0)), rows.integer(1), uint32_t(rows.integer(2)) });
        if (!indexed) {
            const auto deepest = DeepestFromRecords(db);
            for (DaySummary &d : read->days) {
                const auto found = deepest.find(d.day);
                d.deepestRank = found == deepest.end() ? 0 : found->second;
            }
        }
        held = read;
        const std::lock_guard lock(m_mutex);
        if (!m_days || m_days->generation < generation)
            m_days = read;
    }
    transaction.commit();
    giveBack(std::move(connection));
    return held->days;
}

std::vector<DayRank> ArchiveReader::dayRanking(int32_t day, size_t limit)
{
    auto connection = borrow();
    Database &db = *connection->db;
    Transaction transaction(db);
    std::vector<DayRank> ranks;
    if (db.number("PRAGMA user_version") >= 2) {
        if (!connection->dayRanks)
            connection->dayRanks.emplace(db.handle(), "SELECT data FROM day_ranks WHERE day = ?");
        Statement &read = *connection->dayRanks;
        read.bind(1, day);
        if (read.step()) {
            if (!UnpackDayRanks(read.blob(0), limit, ranks))
                throw ArchiveError("the archive is damaged: the ranking of "
                    + std::to_string(day) + " does not read");
            read.reset();
        }
    } else {
        auto all = RanksFromRecords(db, day, day);
        ranks = std::move(all[day]);
        if (limit > 0 && ranks.size() > limit)
            ranks.resize(limit);
    }
    transaction.commit();
    giveBack(std::move(connection));
    return ranks;
}

// A day staged stands for the day whatever the blocks hold; a folded day's
// record is in the game's last block that starts on or before it, full or
// open.
std::vector<Record> ArchiveReader::dayRecords(int32_t day, std::span<const uint32_t> games)
{
    auto connection = borrow();
    Transaction transaction(*connection->db);
    const auto staged = stagedFor(*connection, connection->currentGeneration());
    const auto missing = [day](uint32_t game) {
        return ArchiveError("the archive holds no record of game " + std::to_string(game) + " on "
            + IsoDay(day));
    };
    std::vector<Record> records;
    records.reserve(games.size());
    const auto stagedDay = std::lower_bound(staged->days.begin(), staged->days.end(), day);
    if (stagedDay != staged->days.end() && *stagedDay == day) {
        const StagedDayRows &rows = *staged->rows[size_t(stagedDay - staged->days.begin())];
        for (const uint32_t game : games) {
            const auto found = rows.find(game);
            if (!found)
                throw missing(game);
            records.push_back(found->record);
        }
    } else {
        if (!connection->blockOfDay)
            connection->blockOfDay.emplace(connection->db->handle(),
                "SELECT data FROM blocks WHERE game = ? AND first_day <= ? "
                "ORDER BY first_day DESC LIMIT 1");
        Statement &block = *connection->blockOfDay;
        // From layout 3 a day after a game's full blocks is in its open block.
        const bool openApart = connection->currentLayout() >= 3;
        std::vector<Record> held;
        const auto find = [&]() -> const Record * {
            const auto found = std::lower_bound(held.begin(), held.end(), day,
                [](const Record &r, int32_t d) { return r.day < d; });
            return found == held.end() || found->day != day ? nullptr : &*found;
        };
        for (const uint32_t game : games) {
            held.clear();
            block.bind(1, game).bind(2, day);
            if (block.step()) {
                ReadBlock(block.blob(0), held);
                block.reset();
            }
            const Record *found = find();
            if (!found && openApart) {
                held.clear();
                connection->readOpenBlock(game, held);
                found = find();
            }
            if (!found)
                throw missing(game);
            records.push_back(*found);
        }
    }
    transaction.commit();
    giveBack(std::move(connection));
    return records;
}
