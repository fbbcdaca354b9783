#include "archive/ArchiveWriter.h"

#include "archive/ArchiveFormat.h"
#include "archive/DayIndex.h"
#include "archive/GameFolder.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

uint64_t Digest(std::string_view bytes)
{
    uint64_t hash = 14695981039346656037ULL; // FNV-1a
    for (const char c : bytes)
        hash = (hash ^ uint8_t(c)) * 1099511628211ULL;
    return hash;
}

// One staged day's rows in ID order, read straight from the archive a window
// of bytes at a time: a fold holds a few windows, not whole days.
class StagedDay
{
public:
    StagedDay(Database &db, int32_t day)
        : m_blob(db.handle(), "days", "staged", day)
        , m_day(day)
    {
        fill();
        ByteReader in(window());
        if (!ReadDayCount(in, m_left))
            damaged();
        m_at += in.used();
        next();
    }

    [[nodiscard]] int32_t day() const { return m_day; }
    // The current row; nothing past the last.
    [[nodiscard]] const SnapshotRow *row() const { return m_row ? &*m_row : nullptr; }

    void next()
    {
        if (m_left == 0) {
            if (m_offset - int64_t(m_buffer.size() - m_at) != m_blob.size())
                damaged(); // bytes after the last row
            m_row.reset();
            return;
        }
        fill();
        ByteReader in(window());
        SnapshotRow row;
        if (!ReadDayRow(in, m_row ? m_row->game : 0, m_day, row))
            damaged();
        m_row = row;
        m_at += in.used();
        --m_left;
    }

private:
    static constexpr size_t Window = 4 * MaxPackedDayRow;

    std::string_view window() const { return std::string_view(m_buffer).substr(m_at); }

    // Keeps at least a whole row's bytes ahead, where the day has them.
    void fill()
    {
        if (m_buffer.size() - m_at >= MaxPackedDayRow)
            return;
        m_buffer.erase(0, m_at);
        m_at = 0;
        const size_t before = m_buffer.size();
        m_blob.read(m_offset, m_buffer, Window);
        m_offset += int64_t(m_buffer.size() - before);
    }

    [[noreturn]] void damaged() const { ThrowDamagedDay(m_day); }

    BlobReader m_blob;
    int32_t m_day;
    std::string m_buffer;
    size_t m_at = 0; // the next row's first byte in m_buffer
    int64_t m_offset = 0; // the blob's bytes read into m_buffer so far
    uint64_t m_left = 0; // rows not yet read
    std::optional<SnapshotRow> m_row;
};

} // namespace

int64_t FreeBytes(const std::string &path)
{
    if (const char *hook = std::getenv("PLOTWISE_ARCHIVE_FREE_BYTES"))
        return std::atoll(hook);
    const fs::path folder = fs::absolute(fs::path(path)).parent_path();
    struct statvfs disk {};
    if (::statvfs(folder.c_str(), &disk) != 0)
        return INT64_MAX; // unknown: taken as room enough
    return int64_t(disk.f_bavail) * int64_t(disk.f_frsize);
}

bool CheckpointFirst(int64_t freeBytes, int64_t logBytes, int64_t nextBytes, int64_t checkpointBytes)
{
    return logBytes > 0 && freeBytes < std::max<int64_t>(checkpointBytes - logBytes, 0) + nextBytes;
}

// Beside the bytes themselves, a page of each index on the way.
constexpr int64_t WriteSlack = 65536;

// A fold's pages take room twice: in the log, and where the archive grows
// as the log is copied in, before the log is emptied.
bool FoldFirst(int64_t freeBytes, int64_t dayBytes, int64_t foldBytes)
{
    return freeBytes < 2 * (dayBytes + WriteSlack) + 2 * foldBytes;
}

int64_t RoomNeeded(int64_t dayBytes, int64_t foldBytes)
{
    return 2 * (dayBytes + WriteSlack) + 2 * foldBytes + (1 << 20);
}

ArchiveWriter::ArchiveWriter(Database &db)
    : m_db(db)
    , m_path(sqlite3_db_filename(db.handle(), "main"))
    , m_pageSize(db.number("PRAGMA page_size"))
    , m_checkpointBytes(db.number("PRAGMA wal_autocheckpoint") * m_pageSize)
    , m_stagedBytes(db.number("SELECT coalesce(sum(length(staged)), 0) FROM days"))
{
    // Before a fold of its own, a block of each game's, at the archive's
    // bytes per block: about what the games' open blocks take. The blocks
    // are counted from the games rows: counting the blocks' rows reads the
    // whole archive, from the disk after a while.
    const int64_t blocks = db.number("SELECT coalesce(sum(blocks), 0) FROM games");
    if (blocks > 0)
        m_foldBytes = (db.number("PRAGMA page_count") - db.number("PRAGMA freelist_count"))
            * m_pageSize / blocks * db.number("SELECT count(*) FROM games");
}

void ArchiveWriter::makeRoom(int64_t nextBytes)
{
    struct stat log {};
    if (::stat(sqlite3_filename_wal(sqlite3_db_filename(m_db.handle(), "main")), &log) != 0)
        return;
    if (CheckpointFirst(FreeBytes(m_path), int64_t(log.st_size), nextBytes, m_checkpointBytes))
        m_db.exec("PRAGMA wal_checkpoint(TRUNCATE)");
}

ArchiveWriter::~ArchiveWriter()
{
    if (m_log >= 0)
        ::close(m_log);
}

void ArchiveWriter::startLogWrites()
{
    // SQLite locks the archive and the shared-memory file, never the log, so
    // a descriptor of our own on the log takes none of its locks when closed.
    if (m_log < 0)
        m_log = ::open(sqlite3_filename_wal(sqlite3_db_filename(m_db.handle(), "main")),
            O_RDONLY | O_CLOEXEC);
    if (m_log >= 0)
        ::sync_file_range(m_log, 0, 0, SYNC_FILE_RANGE_WRITE);
}

PackedDay PackSnapshot(const Snapshot &snapshot)
{
    PackedDay packed;
    packed.bytes = PackDay(snapshot.rows);
    packed.digest = int64_t(Digest(packed.bytes));
    packed.records = int64_t(snapshot.rows.size());
    packed.skipped = snapshot.skipped;
    packed.firstSkippedLine = snapshot.firstSkippedLine;
    packed.duplicates = snapshot.duplicates;
    const std::vector<DayRank> ranks = RanksOf(snapshot.rows);
    packed.ranks = PackDayRanks(ranks);
    packed.deepestRank = ranks.empty() ? 0 : ranks.back().rank;
    return packed;
}

ArchiveWriter::Outcome ArchiveWriter::putDay(
    int32_t day, const std::string &fileName, const PackedDay &packed)
{
    makeRoom(int64_t(packed.bytes.size()) + WriteSlack);
    Transaction transaction(m_db, "BEGIN IMMEDIATE");
    Statement find(m_db.handle(), "SELECT digest, staged IS NULL OR replaces FROM days WHERE day = ?");
    find.bind(1, day);
    const bool exists = find.step();
    if (exists && find.integer(0) == packed.digest) {
        find.reset();
        return Outcome::Unchanged; // the transaction rolls back: nothing changed
    }
    const bool replaces = exists && find.integer(1) != 0;
    find.reset();
    Statement put(m_db.handle(),
        "INSERT OR REPLACE INTO days(day, file, records, skipped, digest, staged, replaces, deepest)"
        " VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
    put.bind(1, day).bind(2, fileName).bind(3, packed.records).bind(4, packed.skipped);
    put.bind(5, packed.digest).bindBlob(6, packed.bytes).bind(7, replaces ? 1 : 0);
    put.bind(8, int64_t(packed.deepestRank)).run();
    Statement ranks(m_db.handle(), "INSERT OR REPLACE INTO day_ranks VALUES(?, ?)");
    ranks.bind(1, day).bindBlob(2, packed.ranks).run();
    CountGenerationUp(m_db);
    if (beforeCommit)
        beforeCommit();
    transaction.commit();
    m_stagedBytes += int64_t(packed.bytes.size());
    startLogWrites();
    return exists ? Outcome::Replaced : Outcome::Added;
}

int64_t ArchiveWriter::stagedDays()
{
    return m_db.number("SELECT count(*) FROM days WHERE staged IS NOT NULL");
}

int64_t ArchiveWriter::foldEvery()
{
    // Records in the blocks per staged day gathered: 40,000 folds every 32
    // days up to about 1.3 million records and every 128 days from 5
    // million on (at 1,458 days of 20,000 games a fold's share of writing
    // the 20,000 open blocks, about 0.25 s, is then 2 ms a day).
    constexpr int64_t RecordsPerDay = 40'000;
    const int64_t records = m_db.number("SELECT coalesce(sum(records), 0) FROM games");
    return std::clamp(records / RecordsPerDay, MinFoldEvery, MaxFoldEvery);
}

int64_t ArchiveWriter::foldBytes() const
{
    return m_foldBytes + m_stagedBytes;
}

void ArchiveWriter::compact()
{
    makeRoom(foldBytes() + WriteSlack);
    // The pages the fold writes to the log, counted from here.
    int pages = 0, highest = 0;
    sqlite3_db_status(m_db.handle(), SQLITE_DBSTATUS_CACHE_WRITE, &pages, &highest, 1);
    Transaction transaction(m_db, "BEGIN IMMEDIATE");
    std::vector<int32_t> days;
    bool replaces = false;
    {
        Statement staged(m_db.handle(),
            "SELECT day, replaces FROM days WHERE staged IS NOT NULL ORDER BY day");
        while (staged.step()) {
            days.push_back(int32_t(staged.integer(0)));
            replaces = replaces || staged.integer(1) != 0;
        }
    }
    if (days.empty())
        return;
    std::vector<std::unique_ptr<StagedDay>> streams;
    for (const int32_t day : days)
        streams.push_back(std::make_unique<StagedDay>(m_db, day));

    // Where a staged day replaces one already folded in, every game that may
    // hold that day changes too, staged in it or not.
    std::vector<uint32_t> overlapping;
    if (replaces) {
        Statement games(m_db.handle(),
            "SELECT game FROM games WHERE last_day >= ? AND first_day <= ? ORDER BY game");
        games.bind(1, days.front()).bind(2, days.back());
        while (games.step())
            overlapping.push_back(uint32_t(games.integer(0)));
    }

    // The games in ID order, merged from the staged days (each sorted by
    // ID) and the overlapping games: one game's records in memory at a time.
    GameFolder folder(m_db, days);
    std::vector<Record> staged;
    GameTitle title;
    auto nextOverlapping = overlapping.begin();
    for (;;) {
        std::optional<uint32_t> game;
        if (nextOverlapping != overlapping.end())
            game = *nextOverlapping;
        for (const auto &stream : streams) {
            if (stream->row() && (!game || stream->row()->game < *game))
                game = stream->row()->game;
        }
        if (!game)
            break;
        if (nextOverlapping != overlapping.end() && *nextOverlapping == *game)
            ++nextOverlapping;
        staged.clear();
        const StagedDay *latest = nullptr;
        for (const auto &stream : streams) {
            if (stream->row() && stream->row()->game == *game) {
                staged.push_back(stream->row()->record);
                latest = stream.get();
            }
        }
        if (latest) {
            title.name = latest->row()->name;
            title.year = latest->row()->year;
        }
        folder.fold(*game, staged, latest ? &title : nullptr, latest ? latest->day() : 0);
        for (const auto &stream : streams) {
            if (stream->row() && stream->row()->game == *game)
                stream->next();
        }
    }
    streams.clear();
    // Each folded day's row is written anew without its staged bytes: an
    // update in place would leave the small row alone on the page that held
    // the bytes' first part, a page a day. Day by day: a statement that
    // changes one row needs no statement journal, which would copy the
    // staged days' pages aside.
    Statement read(m_db.handle(), "SELECT file, records, skipped, digest, deepest FROM days WHERE day = ?");
    Statement drop(m_db.handle(), "DELETE FROM days WHERE day = ?");
    Statement put(m_db.handle(),
        "INSERT INTO days(day, file, records, skipped, digest, staged, replaces, deepest)"
        " VALUES(?, ?, ?, ?, ?, NULL, 0, ?)");
    for (const int32_t day : days) {
        read.bind(1, day);
        if (!read.step())
            ThrowDamagedDay(day);
        put.bind(1, day).bind(2, read.text(0)).bind(3, read.integer(1)).bind(4, read.integer(2));
        put.bind(5, read.integer(3)).bind(6, read.integer(4));
        read.reset();
        drop.bind(1, day).run();
        drop.reset();
        put.run();
        put.reset();
    }
    CountGenerationUp(m_db);
    transaction.commit();
    sqlite3_db_status(m_db.handle(), SQLITE_DBSTATUS_CACHE_WRITE, &pages, &highest, 1);
    m_foldBytes = int64_t(pages) * m_pageSize;
    m_stagedBytes = 0;
    startLogWrites();
}

void ArchiveWriter::finish()
{
    compact();
    giveBackFreePages();
    checkpoint();
}

void ArchiveWriter::giveBackFreePages()
{
    // A slice at a time: the pages moved pass through the log, which a short
    // disk has emptied between slices.
    constexpr int64_t Slice = 1024;
    for (int64_t left = m_db.number("PRAGMA freelist_count"); left > 0;) {
        makeRoom(Slice * m_pageSize + WriteSlack);
        m_db.exec(("PRAGMA incremental_vacuum(" + std::to_string(Slice) + ")").c_str());
        const int64_t now = m_db.number("PRAGMA freelist_count");
        if (now >= left)
            break;
        left = now;
    }
}

void ArchiveWriter::checkpoint()
{
    m_db.exec("PRAGMA wal_checkpoint(PASSIVE)");
}

ArchiveTotals ReadTotals(Database &db)
{
    Transaction transaction(db);
    Statement days(db.handle(),
        "SELECT count(*), min(day), max(day), sum(records), sum(skipped) FROM days");
    ArchiveTotals totals;
    if (days.step()) {
        totals.days = days.integer(0);
        totals.firstDay = int32_t(days.integer(1));
        totals.lastDay = int32_t(days.integer(2));
        totals.records = days.integer(3);
        totals.skipped = days.integer(4);
        days.reset();
    }
    totals.games = CountGames(db, ReadStagedDays(db));
    transaction.commit();
    return totals;
}
