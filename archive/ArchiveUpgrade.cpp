#include "archive/ArchiveUpgrade.h"

#include "archive/ArchiveFormat.h"

#include <algorithm>
#include <string>

namespace {

// Calls f(game, record) for each record of the days from..to.
void ForEachRecord(Database &db, int32_t from, int32_t to,
    const std::function<void(uint32_t, const Record &)> &f)
{
    const StagedDays staged = ReadStagedDays(db);
    Statement blocks(db.handle(), "SELECT game, data FROM blocks WHERE last_day >= ? AND first_day <= ?");
    blocks.bind(1, from).bind(2, to);
    std::vector<Record> records;
    while (blocks.step()) {
        records.clear();
        ReadBlock(blocks.blob(1), records);
        const auto game = uint32_t(blocks.integer(0));
        for (const Record &r : records) {
            if (r.day >= from && r.day <= to
                && !std::binary_search(staged.days.begin(), staged.days.end(), r.day))
                f(game, r);
        }
    }
    for (size_t i = 0; i < staged.days.size(); ++i) {
        if (staged.days[i] < from || staged.days[i] > to)
            continue;
        for (const SnapshotRow &row : *staged.rows[i])
            f(row.game, row.record);
    }
}

} // namespace

std::map<int32_t, std::vector<DayRank>> RanksFromRecords(Database &db, int32_t from, int32_t to)
{
    std::map<int32_t, std::vector<DayRank>> days;
    ForEachRecord(db, from, to,
        [&](uint32_t game, const Record &r) { days[r.day].push_back({ game, r.rank }); });
    for (auto &[day, ranks] : days)
        SortByRank(ranks);
    return days;
}

std::map<int32_t, uint32_t> DeepestFromRecords(Database &db)
{
    std::map<int32_t, uint32_t> deepest;
    ForEachRecord(db, INT32_MIN, INT32_MAX, [&](uint32_t, const Record &r) {
        uint32_t &d = deepest[r.day];
        d = std::max(d, r.rank);
    });
    return deepest;
}

namespace {

// Layout 1 to 2: the days' deepest ranks and the day index, from the days
// the archive holds.
void AddDayIndex(Database &db)
{
    db.exec("ALTER TABLE days ADD COLUMN deepest INTEGER NOT NULL DEFAULT 0;"
            " CREATE TABLE day_ranks(day INTEGER PRIMARY KEY, data BLOB NOT NULL)");
    std::vector<int32_t> days;
    {
        Statement all(db.handle(), "SELECT day FROM days ORDER BY day");
        while (all.step())
            days.push_back(int32_t(all.integer(0)));
    }
    // A window of days at a time: each reads the blocks once and holds the
    // window's rankings, a few MB, in memory.
    constexpr size_t Window = 64;
    Statement putRanks(db.handle(), "INSERT INTO day_ranks VALUES(?, ?)");
    Statement putDeepest(db.handle(), "UPDATE days SET deepest = ? WHERE day = ?");
    for (size_t at = 0; at < days.size(); at += Window) {
        const int32_t to = days[std::min(at + Window, days.size()) - 1];
        const auto ranks = RanksFromRecords(db, days[at], to);
        for (size_t i = at; i < std::min(at + Window, days.size()); ++i) {
            const auto found = ranks.find(days[i]);
            const std::vector<DayRank> none;
            const std::vector<DayRank> &day = found == ranks.end() ? none : found->second;
            putRanks.bind(1, days[i]).bindBlob(2, PackDayRanks(day)).run();
            putRanks.reset();
            putDeepest.bind(1, int64_t(day.empty() ? 0 : day.back().rank)).bind(2, days[i]).run();
            putDeepest.reset();
        }
    }
}

// Layout 2 to 3: each game's last block, when not full, moves to
// open_blocks; the full ones go to a blocks table in the order written.
void KeepOpenBlocksApart(Database &db)
{
    const std::string full = std::to_string(BlockRecords);
    // A game's last block is open when its records do not fill it.
    const std::string open = "g.records % " + full
        + " != 0 AND b.first_day = (SELECT max(first_day) FROM blocks_before WHERE game = b.game)";
    db.exec("ALTER TABLE blocks RENAME TO blocks_before;"
            " CREATE TABLE blocks(game INTEGER NOT NULL, first_day INTEGER NOT NULL,"
            " last_day INTEGER NOT NULL, data BLOB NOT NULL);"
            " CREATE TABLE open_blocks(game INTEGER PRIMARY KEY, data BLOB NOT NULL)");
    db.exec(("INSERT INTO open_blocks SELECT b.game, b.data FROM blocks_before b"
             " JOIN games g ON g.game = b.game WHERE " + open + " ORDER BY b.game")
                .c_str());
    db.exec(("INSERT INTO blocks(game, first_day, last_day, data) SELECT b.game, b.first_day,"
             " b.last_day, b.data FROM blocks_before b JOIN games g ON g.game = b.game"
             " WHERE NOT (" + open + ") ORDER BY b.game, b.first_day")
                .c_str());
    // Made after the rows went in: one sort instead of an insert a row.
    db.exec("DROP TABLE blocks_before;"
            " CREATE UNIQUE INDEX blocks_by_game ON blocks(game, first_day)");
}

} // namespace

void UpgradeArchive(Database &db)
{
    Transaction transaction(db, "BEGIN IMMEDIATE");
    const int64_t layout = db.number("PRAGMA user_version");
    if (layout >= ArchiveLayout)
        return;
    if (layout < 2)
        AddDayIndex(db);
    if (layout < 3)
        KeepOpenBlocksApart(db);
    db.exec(("PRAGMA user_version=" + std::to_string(ArchiveLayout)).c_str());
    CountGenerationUp(db);
    transaction.commit();
}
