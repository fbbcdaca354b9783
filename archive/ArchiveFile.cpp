#include "archive/ArchiveFile.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

constexpr int ApplicationId = 0x506C5741; // "PlWA"

const char Schema[] = R"(
CREATE TABLE days(day INTEGER PRIMARY KEY, file TEXT NOT NULL, records INTEGER NOT NULL,
    skipped INTEGER NOT NULL, digest INTEGER NOT NULL, staged BLOB,
    replaces INTEGER NOT NULL DEFAULT 0);
CREATE TABLE games(game INTEGER PRIMARY KEY, name TEXT NOT NULL, year INTEGER NOT NULL,
    name_day INTEGER NOT NULL, blocks INTEGER NOT NULL, records INTEGER NOT NULL,
    first_day INTEGER NOT NULL, last_day INTEGER NOT NULL);
CREATE TABLE blocks(game INTEGER NOT NULL, first_day INTEGER NOT NULL,
    last_day INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(game, first_day)) WITHOUT ROWID;
CREATE TABLE state(key TEXT PRIMARY KEY, value INTEGER NOT NULL);
INSERT INTO state VALUES('generation', 0);
)";

std::string NotAnArchive(const std::string &path)
{
    return path + ": not a plotwise-archive archive (left as it is)";
}

bool StartsLikeSqlite(const std::string &path)
{
    char header[16] = {};
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    const size_t read = std::fread(header, 1, sizeof header, file);
    std::fclose(file);
    return read == sizeof header && std::memcmp(header, "SQLite format 3", 16) == 0;
}

} // namespace

std::unique_ptr<Database> OpenArchive(const std::string &path, ArchiveAccess access)
{
    struct stat info {};
    const bool exists = ::stat(path.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode))
        throw ArchiveError(path + ": not a file");
    if (!exists && access == ArchiveAccess::Read)
        throw ArchiveError(path + ": no such archive");
    const bool fresh = !exists || info.st_size == 0;
    if (!fresh && !StartsLikeSqlite(path))
        throw ArchiveError(NotAnArchive(path));

    std::unique_ptr<Database> db;
    try {
        db = std::make_unique<Database>(path,
            SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX
                | (access == ArchiveAccess::Import ? SQLITE_OPEN_CREATE : 0));
        if (!fresh) {
            if (db->number("PRAGMA application_id") != ApplicationId)
                throw ArchiveError(NotAnArchive(path));
            const int64_t layout = db->number("PRAGMA user_version");
            if (layout > ArchiveLayout)
                throw ArchiveError(path + ": made by a later plotwise-archive (layout "
                    + std::to_string(layout) + "; this one reads layout "
                    + std::to_string(ArchiveLayout) + ")");
        }
        if (access == ArchiveAccess::Read)
            return db;
        // Folding rewrites the games' last blocks; the pages they free are
        // given back at the end of an import (ArchiveWriter::finish). Set
        // before anything else writes the new file's header.
        if (fresh)
            db->exec("PRAGMA auto_vacuum=INCREMENTAL");
        // A checkpoint every 16,384 pages of log (64 MB) rather than every
        // thousand: a page written again in between (staged days come and
        // go) is copied once, and an import waits for the disk a few times,
        // not at every fold. After a checkpoint the log is cut back to 4 MB.
        // Freed pages are not overwritten with zeros (some builds of SQLite
        // do so by default): every folded day would be written once more.
        db->exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA cache_size=-16000;"
                 " PRAGMA wal_autocheckpoint=16384; PRAGMA journal_size_limit=4194304;"
                 " PRAGMA secure_delete=FAST");
        if (fresh) {
            Transaction transaction(*db, "BEGIN IMMEDIATE");
            if (db->number("PRAGMA user_version") == 0) {
                db->exec(Schema);
                db->exec(("PRAGMA application_id=" + std::to_string(ApplicationId)
                    + "; PRAGMA user_version=" + std::to_string(ArchiveLayout))
                             .c_str());
            }
            transaction.commit();
        }
    } catch (const ArchiveError &e) {
        const std::string message = e.what();
        throw ArchiveError(message.starts_with(path) ? message : path + ": " + message);
    }
    return db;
}
