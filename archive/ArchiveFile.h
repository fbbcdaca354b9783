// Opening an archive file: an SQLite database marked by its application ID
// and a layout number, with the tables below. A file that is not an archive,
// or an archive of a later layout, is refused before anything is written.
//
//   days    one row per imported day: the file it came from, its record
//           count and content digest, and while staged the packed day;
//   games   one row per game: its latest name and year, and where its
//           blocks stand (count, records, first and last day);
//   blocks  a game's records in day order, BlockRecords to a block;
//   state   the generation, counted up by every change, so that readers
//           know when what they hold in memory is stale.
#pragma once

#include "archive/Sqlite.h"

#include <memory>
#include <string>

inline constexpr int ArchiveLayout = 1;

enum class ArchiveAccess {
    Import, // created when absent or empty, written in WAL mode
    Read, // must exist; opened read-only, read while an import may write
};

// Throws ArchiveError with a message that names the file.
[[nodiscard]] std::unique_ptr<Database> OpenArchive(const std::string &path, ArchiveAccess access);
