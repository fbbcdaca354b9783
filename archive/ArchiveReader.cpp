#include "archive/ArchiveReader.h"

#include "archive/ArchiveFile.h"
#include "archive/ArchiveFormat.h"
#include "archive/ArchiveUpgrade.h"
#include "archive/Days.h"

#include <QString>

#include <sqlite3.h>

#include <algorithm>
#include <exception>
#include <map>

struct ArchiveReader::Staged : StagedDays {
    int64_t generation = -1;
};

struct ArchiveReader::HeldDays {
    int64_t generation = -1;
    std::vector<DaySummary> days;
};

struct ArchiveReader::Names {
    int64_t generation = -1;
    std::vector<Match> games; // by ID
    std::vector<std::string> folded; // beside games
};

class ArchiveReader::Connection
{
public:
    explicit Connection(const std::string &path)
        : db(OpenArchive(path, ArchiveAccess::Read))
        , generation(db->handle(), GenerationQuery)
        , game(db->handle(),
              "SELECT name, year, name_day, blocks, records, last_day FROM games WHERE game = ?")
        , block(db->handle(),
              "SELECT data FROM blocks WHERE game = ? ORDER BY first_day LIMIT 1 OFFSET ?")
        , blocks(db->handle(), "SELECT data FROM blocks WHERE game = ? ORDER BY first_day")
        , layout(db->handle(), "PRAGMA user_version")
    {
        // A list looks up a block per game it shows: 8 MB keeps the inner
        // pages of the blocks and the games' rows at hand (2 MB did not).
        db->exec("PRAGMA cache_size=-8000");
    }

    // Read in each transaction: an import may upgrade the archive meanwhile.
    int64_t currentLayout()
    {
        layout.step();
        const int64_t value = layout.integer(0);
        layout.reset();
        return value;
    }

    // Appends the game's open block, where the archive keeps them apart.
    void readOpenBlock(uint32_t game, std::vector<Record> &records)
    {
        if (!openBlock)
            openBlock.emplace(db->handle(), "SELECT data FROM open_blocks WHERE game = ?");
        openBlock->bind(1, game);
        if (openBlock->step()) {
            ReadBlock(openBlock->blob(0), records);
            openBlock->reset();
        }
    }

    int64_t currentGeneration()
    {
        generation.step();
        const int64_t value = generation.integer(0);
        generation.reset();
        return value;
    }

    std::unique_ptr<Database> db;
    Statement generation, game, block, blocks, layout;
    std::optional<Statement> dayRanks; // made where the archive has a day index
    std::optional<Statement> blockOfDay; // made by the first list that needs it
    std::optional<Statement> openBlock; // made where it keeps open blocks apart

};

// A connection for one call: owned when borrowed from the idle ones, or the
// open snapshot's, which stays with the snapshot.
class ArchiveReader::Lease
{
public:
    Lease(std::unique_ptr<Connection> owned, Connection *shared)
        : m_owned(std::move(owned))
        , m_connection(m_owned ? m_owned.get() : shared)
    {
    }
    Connection *operator->() const { return m_connection; }
    Connection &operator*() const { return *m_connection; }
    std::unique_ptr<Connection> release() { return std::move(m_owned); }

private:
    std::unique_ptr<Connection> m_owned;
    Connection *m_connection;
};

thread_local ArchiveReader::Snapshot *ArchiveReader::s_open = nullptr;

ArchiveReader::Snapshot::Snapshot(ArchiveReader &reader)
    : m_reader(reader)
    , m_exceptions(std::uncaught_exceptions())
{
    for (Snapshot *open = s_open; open; open = open->m_outer) {
        if (&open->m_reader == &reader)
            return;
    }
    m_connection = reader.borrow().release();
    m_connection->db->exec("BEGIN");
    m_outer = s_open;
    s_open = this;
}

// A read transaction has nothing to keep: it ends by rolling back. After a
// failure the connection is dropped, as a call drops its own.
ArchiveReader::Snapshot::~Snapshot()
{
    if (!m_connection)
        return;
    s_open = m_outer;
    sqlite3_exec(m_connection->db->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    if (std::uncaught_exceptions() == m_exceptions)
        m_reader.giveBack(std::move(m_connection));
}

std::string FoldedForSearch(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size())).toCaseFolded().toStdString();
}

ArchiveReader::ArchiveReader(std::string path)
    : m_path(std::move(path))
{
    giveBack(std::make_unique<Connection>(m_path));
}

ArchiveReader::~ArchiveReader() = default;

ArchiveReader::Lease ArchiveReader::borrow()
{
    for (Snapshot *open = s_open; open; open = open->m_outer) {
        if (&open->m_reader == this)
            return Lease(nullptr, open->m_connection.get());
    }
    {
        const std::lock_guard lock(m_mutex);
        if (!m_idle.empty()) {
            auto connection = std::move(m_idle.back());
            m_idle.pop_back();
            return Lease(std::move(connection), nullptr);
        }
    }
    return Lease(std::make_unique<Connection>(m_path), nullptr);
}

void ArchiveReader::giveBack(Lease connection)
{
    if (auto owned = connection.release())
        giveBack(std::move(owned));
}

void ArchiveReader::giveBack(std::unique_ptr<Connection> connection)
{
    const std::lock_guard lock(m_mutex);
    m_idle.push_back(std::move(connection));
}

std::shared_ptr<const ArchiveReader::Staged> ArchiveReader::stagedFor(
    Connection &connection, int64_t generation)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_staged && m_staged->generation == generation)
            return m_staged;
    }
    auto staged = std::make_shared<Staged>();
    static_cast<StagedDays &>(*staged) = ReadStagedDays(*connection.db);
    staged->generation = generation;
    const std::lock_guard lock(m_mutex);
    if (!m_staged || m_staged->generation < generation)
        m_staged = staged;
    return staged;
}

// Below, page n of the blocks is read as block n alone.
static_assert(PageRecords == BlockRecords);

std::optional<ArchiveReader::HistoryPage> ArchiveReader::page(uint32_t game, int64_t page)
{
    auto connection = borrow();
    Transaction transaction(*connection->db);
    const auto staged = stagedFor(*connection, connection->currentGeneration());

    // The game's staged records and its latest staged title.
    std::vector<Record> fresh;
    const SnapshotRow *latest = nullptr;
    for (const auto &rows : staged->rows) {
        const auto found = std::lower_bound(rows.begin(), rows.end(), game,
            [](const SnapshotRow &row, uint32_t id) { return row.game < id; });
        if (found != rows.end() && found->game == game) {
            fresh.push_back(found->record);
            latest = &*found;
        }
    }

    Statement &row = connection->game;
    row.bind(1, game);
    const bool known = row.step();
    if (!known && !latest) {
        giveBack(std::move(connection));
        return std::nullopt;
    }
    HistoryPage result;
    int64_t blockCount = 0, blockRecords = 0;
    int32_t lastDay = 0;
    if (known) {
        result.title = { std::string(row.text(0)), int32_t(row.integer(1)) };
        if (latest && StagedTitleStands(latest->record.day, int32_t(row.integer(2))))
            result.title = { std::string(latest->name), latest->year };
        blockCount = row.integer(3);
        blockRecords = row.integer(4);
        lastDay = int32_t(row.integer(5));
        row.reset();
    } else {
        result.title = { std::string(latest->name), latest->year };
    }

    // Up to layout 2 the blocks table holds a game's last block too.
    const bool openApart = connection->currentLayout() >= 3;
    const int64_t tableBlocks = openApart ? blockRecords / BlockRecords : blockCount;
    const int64_t total = blockRecords + int64_t(fresh.size());
    const int64_t first = page >= 1 && page <= total / PageRecords + 1 ? (page - 1) * PageRecords : -1;
    if (first < 0) {
        // past the last page
    } else if (StagedAfterBlocks(staged->days, known ? std::optional(lastDay) : std::nullopt)) {
        // The blocks, then the staged days after them: page n starts in block n.
        const int64_t index = page - 1;
        if (index < tableBlocks) {
            connection->block.bind(1, game).bind(2, index);
            if (connection->block.step()) {
                ReadBlock(connection->block.blob(0), result.records);
                connection->block.reset();
            }
        } else if (index < blockCount) {
            connection->readOpenBlock(game, result.records);
        }
        const int64_t from = first + int64_t(result.records.size()) - blockRecords;
        for (int64_t i = std::max<int64_t>(from, 0);
             i < int64_t(fresh.size()) && int64_t(result.records.size()) < PageRecords; ++i)
            result.records.push_back(fresh[size_t(i)]);
    } else {
        // A staged day inside the game's history: merge the whole history.
        std::vector<Record> all;
        connection->blocks.bind(1, game);
        while (connection->blocks.step())
            ReadBlock(connection->blocks.blob(0), all);
        if (openApart && tableBlocks < blockCount)
            connection->readOpenBlock(game, all);
        MergeStaged(all, fresh, staged->days);
        if (first < int64_t(all.size()))
            result.records.assign(all.begin() + first,
                all.begin() + std::min<int64_t>(first + PageRecords, int64_t(all.size())));
    }
    transaction.commit();
    giveBack(std::move(connection));
    return result;
}

std::shared_ptr<const ArchiveReader::Names> ArchiveReader::heldNames(int64_t generation)
{
    const std::lock_guard lock(m_mutex);
    return m_names && m_names->generation == generation ? m_names : nullptr;
}

std::shared_ptr<const ArchiveReader::Names> ArchiveReader::namesFor(
    Connection &connection, int64_t generation)
{
    if (auto names = heldNames(generation))
        return names;
    const auto staged = stagedFor(connection, generation);
    // Each game's title and the day it is from: its games row's, then
    // the staged days' in day order as the merge rule lets them stand.
    std::map<uint32_t, std::pair<GameTitle, std::optional<int32_t>>> latest;
    Statement games(connection.db->handle(), "SELECT game, name, year, name_day FROM games");
    while (games.step())
        latest[uint32_t(games.integer(0))]
            = { { std::string(games.text(1)), int32_t(games.integer(2)) }, int32_t(games.integer(3)) };
    for (const auto &rows : staged->rows) {
        for (const SnapshotRow &row : rows) {
            auto &entry = latest[row.game];
            if (StagedTitleStands(row.record.day, entry.second))
                entry = { { std::string(row.name), row.year }, row.record.day };
        }
    }
    auto built = std::make_shared<Names>();
    built->generation = generation;
    for (auto &[game, entry] : latest) {
        built->folded.push_back(FoldedForSearch(entry.first.name));
        built->games.push_back({ game, std::move(entry.first) });
    }
    const std::lock_guard lock(m_mutex);
    if (!m_names || m_names->generation < generation)
        m_names = built;
    return built;
}

std::vector<ArchiveReader::Match> ArchiveReader::search(const std::vector<std::string> &words)
{
    auto connection = borrow();
    Transaction transaction(*connection->db);
    const auto names = namesFor(*connection, connection->currentGeneration());
    transaction.commit();
    giveBack(std::move(connection));

    std::vector<Match> matches;
    if (words.empty())
        return matches;
    for (size_t i = 0; i < names->games.size(); ++i) {
        const std::string &name = names->folded[i];
        if (std::all_of(words.begin(), words.end(),
                [&](const std::string &w) { return name.find(w) != std::string::npos; }))
            matches.push_back(names->games[i]);
    }
    return matches;
}

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
                const auto found = std::lower_bound(rows.begin(), rows.end(), game,
                    [](const SnapshotRow &r, uint32_t id) { return r.game < id; });
                if (found != rows.end() && found->game == game
                    && StagedTitleStands(found->record.day, nameDay)) {
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

ArchiveReader::Info ArchiveReader::readInfo()
{
    auto connection = borrow();
    Database &db = *connection->db;
    Transaction transaction(db);
    Info info;
    Statement days(db.handle(), "SELECT day, records FROM days ORDER BY day");
    while (days.step()) {
        info.days.push_back(int32_t(days.integer(0)));
        info.dayRecords.push_back(days.integer(1));
        info.records += days.integer(1);
    }
    info.games = CountGames(db, *stagedFor(*connection, connection->currentGeneration()));
    transaction.commit();
    giveBack(std::move(connection));
    return info;
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
        const auto &rows = staged->rows[size_t(stagedDay - staged->days.begin())];
        for (const uint32_t game : games) {
            const auto found = std::lower_bound(rows.begin(), rows.end(), game,
                [](const SnapshotRow &r, uint32_t id) { return r.game < id; });
            if (found == rows.end() || found->game != game)
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
