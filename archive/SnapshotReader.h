// Reads one ranking snapshot file: CSV (RFC 4180 quoting within a line, a
// BOM tolerated, any line ends, the last line with or without one) whose
// header names the columns ID, Name, Year, Rank, Average, Bayes average and
// Users rated, in any order among others.
#pragma once

#include "archive/Record.h"

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Names longer than this are not a game's name but a damaged row.
inline constexpr size_t MaxNameBytes = 4096;

// One game's row of a snapshot, or of a packed day. The name is a view into
// the bytes it was read from: they must outlive the row.
struct SnapshotRow {
    uint32_t game = 0;
    Record record; // its day is left 0 in a snapshot: the file name gives it
    int32_t year = 0;
    std::string_view name;
};

struct Snapshot {
    std::string error; // why the file is refused; empty when it is read
    std::vector<SnapshotRow> rows; // sorted by game ID; an ID's first row wins
    // Rows that are not records (a value that does not read, too few fields,
    // a line end inside quotes).
    int skipped = 0;
    int firstSkippedLine = 0; // the first one's line, counting from 1
    int duplicates = 0; // later rows of an ID already read
    // The names that CleanName changed, which rows point to (a deque: its
    // strings stay where they are as it grows and when it moves).
    std::deque<std::string> cleanedNames;
};

// Reads the file's bytes; quoted fields are undone in place, so bytes changes.
// The rows' names point into bytes, which must outlive the snapshot's use.
// Refused: an empty or binary file, a header without one of the seven
// columns, a file without one record. A row whose ID, rank, users or
// averages do not read is skipped and counted; a year that does not read is 0.
[[nodiscard]] Snapshot ReadSnapshot(std::string &bytes);

// The day a snapshot file's name starts with ("2016-10-12.csv",
// "2016-10-12T00-30-40.csv"); nothing when the name does not start with one.
[[nodiscard]] std::optional<int32_t> SnapshotDay(std::string_view fileName);

// A name as XML can carry it: invalid UTF-8, control characters and the
// non-characters U+FFFE and U+FFFF become U+FFFD, a tab or line end a blank.
[[nodiscard]] std::string CleanName(std::string_view name);
