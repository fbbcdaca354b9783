// The archive's format in code, for the writer and the reader alike: its
// identity and tables, the two packed forms of records, the rule that merges
// staged days into a game's folded history, and what counts as a game.
// docs/archive-format.md describes each; a change to any of them is a new
// layout.
//
// The packed forms:
//  - a day: one snapshot's rows, sorted by game ID, with names and years;
//  - a block: up to BlockRecords records of one game in day order, each
//    value coded as its change from the record before (decimals as integer
//    mantissa and digit count, so their text comes back exactly).
#pragma once

#include "archive/ByteCodec.h"
#include "archive/SnapshotReader.h"
#include "archive/Sqlite.h"
#include "archive/StagedDayRows.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// PRAGMA application_id ("PlWA") and PRAGMA user_version of an archive.
inline constexpr int ArchiveApplicationId = 0x506C5741;
inline constexpr int ArchiveLayout = 3;
// The tables of a new archive.
extern const char ArchiveSchema[];

// The generation, in the state table: counted up by every transaction that
// changes what a reader sees, so that readers know when what they hold in
// memory is stale.
inline constexpr char GenerationQuery[] = "SELECT value FROM state WHERE key = 'generation'";
void CountGenerationUp(Database &db);

// Records a block holds; every block of a game but its last is full. The
// full ones are rows of the blocks table, the last when it is not full the
// game's row of open_blocks.
inline constexpr int BlockRecords = 100;
// So page n of a game's history is its block n, while no staged day falls
// among its folded ones.
inline constexpr int PageRecords = BlockRecords;

[[nodiscard]] std::string PackDay(std::span<const SnapshotRow> rows);
// False when the bytes are not a packed day; rows gets the given day, and
// names that point into bytes.
[[nodiscard]] bool UnpackDay(std::string_view bytes, int32_t day, std::vector<SnapshotRow> &rows);

// The longest packed day row: its numbers and the longest name, every byte
// of which CleanName may have made three.
inline constexpr size_t MaxPackedDayRow = 128 + 3 * MaxNameBytes;
// Reads a packed day's row count, then its rows one by one, each after the
// row before (game: the previous row's ID, 0 before the first); false when
// the bytes do not read.
[[nodiscard]] bool ReadDayCount(ByteReader &in, uint64_t &count);
[[nodiscard]] bool ReadDayRow(ByteReader &in, uint32_t game, int32_t day, SnapshotRow &row);

[[nodiscard]] std::string PackBlock(std::span<const Record> records);
// Appends the block's records; false when the bytes are not a block.
[[nodiscard]] bool UnpackBlock(std::string_view bytes, std::vector<Record> &records);
// The same from a block of the archive: throws ArchiveError when it does not read.
void ReadBlock(std::string_view bytes, std::vector<Record> &records);
[[noreturn]] void ThrowDamagedDay(int32_t day);

// The staged days of an archive, in day order. A day's rows never change
// once read, so the sets read at two generations may share them.
struct StagedDays {
    std::vector<int32_t> days;
    std::vector<int64_t> digests; // beside days: the digests of their packed bytes
    std::vector<std::shared_ptr<const StagedDayRows>> rows; // beside days
};
// Throws ArchiveError when a day does not read. previous: the staged days
// read before from the same archive; a day with the same digest there
// shares its rows instead of being read again.
[[nodiscard]] StagedDays ReadStagedDays(Database &db, const StagedDays *previous = nullptr);

// The merge rule. stagedDays: every staged day of the archive, in order;
// lastDay: the last day of the game's blocks, nothing without blocks.
// True: the game's staged records simply follow its blocks. False: a staged
// day may stand for one in the blocks, and MergeStaged makes the history.
[[nodiscard]] bool StagedAfterBlocks(std::span<const int32_t> stagedDays, std::optional<int32_t> lastDay);
// folded: a game's records from some block to its last, in day order;
// staged: its staged records, in day order. The records of staged days
// leave folded and the staged ones join them, in day order.
void MergeStaged(std::vector<Record> &folded, std::span<const Record> staged,
    std::span<const int32_t> stagedDays);
// Whether the title of a game's latest staged day stands over the one in
// its games row, taken on nameDay (nothing: the game has no row).
[[nodiscard]] bool StagedTitleStands(int32_t stagedDay, std::optional<int32_t> nameDay);

// The games of an archive: its games rows and the games only in staged days.
[[nodiscard]] int64_t CountGames(Database &db, const StagedDays &staged);
