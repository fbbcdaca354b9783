// Opening an archive file: an SQLite database marked by its application ID
// and a layout number (ArchiveFormat.h, docs/archive-format.md). A file that
// is not an archive, or an archive of a later layout, is refused before
// anything is written.
#pragma once

#include "archive/ArchiveFormat.h"
#include "archive/Sqlite.h"

#include <memory>
#include <string>

enum class ArchiveAccess {
    Import, // created when absent or empty, written in WAL mode
    Read, // must exist; opened read-only, read while an import may write
};

// Throws ArchiveError with a message that names the file.
[[nodiscard]] std::unique_ptr<Database> OpenArchive(const std::string &path, ArchiveAccess access);
