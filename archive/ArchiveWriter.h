// Writes snapshots into an archive. Each day goes in whole in a transaction
// of its own, packed as one staged row; compact() then folds the staged days
// into the games' blocks, also in one transaction. An interruption at any
// point leaves whole days: staged ones that the next compact() folds in.
#pragma once

#include "archive/Sqlite.h"
#include "archive/SnapshotReader.h"

#include <functional>
#include <string>

// A snapshot's rows packed as the archive stages them, ready for putDay;
// made on any thread.
struct PackedDay {
    std::string bytes;
    int64_t digest = 0; // tells an unchanged day again
    int64_t records = 0;
    int skipped = 0; // rows that do not read
    int firstSkippedLine = 0;
    int duplicates = 0; // rows of an ID met before in the file
    std::string ranks; // the day's games in rank order, packed (DayIndex.h)
    uint32_t deepestRank = 0;
};
[[nodiscard]] PackedDay PackSnapshot(const Snapshot &snapshot);

class ArchiveWriter
{
public:
    explicit ArchiveWriter(Database &db);
    ~ArchiveWriter();
    ArchiveWriter(const ArchiveWriter &) = delete;
    ArchiveWriter &operator=(const ArchiveWriter &) = delete;

    enum class Outcome { Added, Replaced, Unchanged };
    Outcome putDay(int32_t day, const std::string &fileName, const PackedDay &packed);
    // Called with a changed day written and not yet committed (a test hook).
    std::function<void()> beforeCommit;

    // Days staged and not yet folded into blocks.
    [[nodiscard]] int64_t stagedDays();
    // Staged days to gather before the next fold. A fold writes every
    // game's open block anew, a cost per fold that grows with the games;
    // folding less often as the archive grows keeps a day's share of it
    // small. Bounded: the service holds the staged days in memory (about
    // 1.5 MB a day of 20,000 games).
    [[nodiscard]] int64_t foldEvery();
    static constexpr int64_t MinFoldEvery = 32, MaxFoldEvery = 128;
    // About the bytes a fold's log would take: it writes the games' open
    // blocks again, as the last fold did, and the staged records.
    [[nodiscard]] int64_t foldBytes() const;
    void compact();
    // Folds what is staged and gives the pages freed on the way back to the disk.
    void finish();
    // finish() in its steps, for an import that times them.
    void giveBackFreePages();
    void checkpoint();

private:
    // Has the disk start writing the log while the import goes on, so that
    // the sync before a checkpoint finds little left to write.
    void startLogWrites();
    // Copies the log into the archive and empties it first when the disk
    // would not hold the log's growth up to its own checkpoint.
    void makeRoom(int64_t nextBytes);

    Database &m_db;
    std::string m_path; // the archive file
    int64_t m_pageSize = 0;
    int64_t m_checkpointBytes = 0; // the log's size at which SQLite copies it in
    int64_t m_stagedBytes = 0; // the staged days' bytes
    int64_t m_foldBytes = 0; // the last fold's log
    int m_log = -1; // the log file, opened to start its writes
};

// Free bytes on the disk that holds path, for this user; a test hook,
// PLOTWISE_ARCHIVE_FREE_BYTES, stands in for the disk's answer.
[[nodiscard]] int64_t FreeBytes(const std::string &path);

// Whether to copy the log in before a write of about nextBytes: when the
// free bytes would not hold the log's growth to its checkpoint at
// checkpointBytes and the write, emptying the log now makes its room free.
// An empty log has nothing to give.
[[nodiscard]] bool CheckpointFirst(
    int64_t freeBytes, int64_t logBytes, int64_t nextBytes, int64_t checkpointBytes);
// Whether to fold the staged days before staging another of dayBytes: when
// the free bytes would not hold that day and then a fold whose log takes
// foldBytes.
[[nodiscard]] bool FoldFirst(int64_t freeBytes, int64_t dayBytes, int64_t foldBytes);
// The free room an import needs on the archive's disk besides the archive,
// as it folds early when room is short: a day staged, another, and a fold.
[[nodiscard]] int64_t RoomNeeded(int64_t dayBytes, int64_t foldBytes);

// What an archive holds, for the import summary and "info".
struct ArchiveTotals {
    int64_t days = 0;
    int32_t firstDay = 0;
    int32_t lastDay = 0;
    int64_t records = 0;
    int64_t skipped = 0;
    int64_t games = 0; // as CountGames counts them
};
[[nodiscard]] ArchiveTotals ReadTotals(Database &db);
