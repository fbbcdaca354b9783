// The two packed forms of records inside the archive:
//  - a day: one snapshot's rows, sorted by game ID, with names and years;
//  - a block: up to BlockRecords records of one game in day order, each
//    value coded as its change from the record before (decimals as integer
//    mantissa and digit count, so their text comes back exactly).
#pragma once

#include "archive/ByteCodec.h"
#include "archive/SnapshotReader.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

// Records a block holds; every block of a game but its last is full, so a
// history page of this many records is one block.
inline constexpr int BlockRecords = 100;

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
