// The reader's connections and snapshots, and its history pages, name
// searches and summary; the list reads are in ArchiveReaderLists.cpp.
#include "archive/ArchiveReader.h"

#include "archive/ArchiveFormat.h"
#include "archive/ArchiveReaderConnection.h"

#include <QString>

#include <sqlite3.h>

#include <algorithm>
#include <exception>
#include <map>

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
    std::shared_ptr<const Staged> previous;
    {
        const std::lock_guard lock(m_mutex);
        if (m_staged && m_staged->generation == generation)
            return m_staged;
        previous = m_staged;
    }
    // An import changes a day or two a generation: the days whose digest
    // stands are taken from the set held, of whichever generation, rather
    // than read again.
    auto staged = std::make_shared<Staged>();
    static_cast<StagedDays &>(*staged) = ReadStagedDays(*connection.db, previous.get());
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
    std::optional<SnapshotRow> latest;
    for (const auto &rows : staged->rows) {
        if (const auto found = rows->find(game)) {
            fresh.push_back(found->record);
            latest = found;
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
        for (const SnapshotRow &row : *rows) {
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
