#include "archive/ArchiveFile.h"

#include "archive/ArchiveUpgrade.h"

#include <sqlite3.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

namespace {

constexpr int64_t NewArchivePageSize = 16384;
constexpr int64_t CheckpointLogBytes = int64_t(64) << 20;

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

// The path as an SQLite "file:" URI, every byte but the plainest escaped.
std::string FileUri(const std::string &path)
{
    std::string uri = "file:";
    for (const char c : std::filesystem::absolute(path).string()) {
        if (std::isalnum(static_cast<unsigned char>(c)) || std::strchr("/-._~", c)) {
            uri += c;
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", unsigned(static_cast<unsigned char>(c)));
            uri += escaped;
        }
    }
    return uri;
}

// The result of the connection's first read, which opens the log's shared
// memory file: a reader that may not write the archive's folder cannot
// create it, and SQLite then calls the database read-only or unopenable.
int FirstRead(Database &db)
{
    sqlite3_stmt *statement = nullptr;
    int rc = sqlite3_prepare_v2(db.handle(), "PRAGMA application_id", -1, &statement, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(statement);
        if (rc == SQLITE_ROW)
            rc = SQLITE_OK;
    }
    sqlite3_finalize(statement);
    return rc & 0xFF;
}

// A reading connection: read-only, so that an archive the user may read but
// not write is served, and seeing each day an import commits. Where the
// folder is not the user's to write and no shared memory file exists, no
// import has the archive open: it is then read as an immutable file. A log
// left with changes in it (an import that was stopped) needs that file, and
// is refused rather than read past.
std::unique_ptr<Database> OpenForReading(const std::string &path)
{
    constexpr int Flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX;
    auto db = std::make_unique<Database>(path, Flags);
    const int rc = FirstRead(*db);
    if (rc != SQLITE_READONLY && rc != SQLITE_CANTOPEN)
        return db;
    struct stat log {};
    if (::stat((path + "-wal").c_str(), &log) == 0 && log.st_size > 0)
        throw ArchiveError("an import left changes in " + path
            + "-wal, which only a user who may write the folder can read in");
    db.reset();
    return std::make_unique<Database>(FileUri(path) + "?immutable=1", Flags | SQLITE_OPEN_URI);
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
    // An empty file becomes an archive when imported into; read, it is none.
    if ((!fresh || access == ArchiveAccess::Read) && !StartsLikeSqlite(path))
        throw ArchiveError(NotAnArchive(path));

    std::unique_ptr<Database> db;
    try {
        db = access == ArchiveAccess::Read
            ? OpenForReading(path)
            : std::make_unique<Database>(
                  path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_CREATE);
        int64_t layout = ArchiveLayout;
        if (!fresh) {
            if (db->number("PRAGMA application_id") != ArchiveApplicationId)
                throw ArchiveError(NotAnArchive(path));
            layout = db->number("PRAGMA user_version");
            if (layout > ArchiveLayout)
                throw ArchiveError(path + ": made by a later plotwise-archive (layout "
                    + std::to_string(layout) + "; this one reads layout "
                    + std::to_string(ArchiveLayout) + ")");
        }
        if (access == ArchiveAccess::Read)
            return db;
        // Folding frees the staged days' pages and rewrites the games' open
        // blocks; the pages freed are given back at the end of an import
        // (ArchiveWriter::finish). Set before anything else writes the new
        // file's header.
        //
        // A new archive has pages of 16 KB: a staged day (about 640 KB) goes
        // to the log and from it into the archive a page at a time, two
        // writes a page: a bulk import of 1,458 days took 11.7 to 15.4 s in
        // 16 KB pages against 15.0 to 18.6 s in 4 KB pages, into a smaller
        // file. An archive keeps the page size it was made with.
        if (fresh)
            db->exec(("PRAGMA page_size=" + std::to_string(NewArchivePageSize)
                + "; PRAGMA auto_vacuum=INCREMENTAL")
                         .c_str());
        // A checkpoint every 64 MB of log rather than every thousand pages:
        // a page written again in between (staged days come and go) is
        // copied once, and an import waits for the disk a few times, not at
        // every fold. After a checkpoint the log is cut back to 4 MB. Freed
        // pages are not overwritten with zeros (some builds of SQLite do so
        // by default): every folded day would be written once more.
        db->exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA cache_size=-16000;"
                 " PRAGMA journal_size_limit=4194304; PRAGMA secure_delete=FAST");
        db->exec(("PRAGMA wal_autocheckpoint="
            + std::to_string(CheckpointLogBytes / db->number("PRAGMA page_size")))
                     .c_str());
        if (fresh) {
            Transaction transaction(*db, "BEGIN IMMEDIATE");
            if (db->number("PRAGMA user_version") == 0) {
                db->exec(ArchiveSchema);
                db->exec(("PRAGMA application_id=" + std::to_string(ArchiveApplicationId)
                    + "; PRAGMA user_version=" + std::to_string(ArchiveLayout))
                             .c_str());
            }
            transaction.commit();
        }
        // An earlier layout is upgraded before the import adds a day.
        if (layout < ArchiveLayout)
            UpgradeArchive(*db);
    } catch (const ArchiveError &e) {
        const std::string message = e.what();
        throw ArchiveError(message.starts_with(path) ? message : path + ": " + message);
    }
    return db;
}
