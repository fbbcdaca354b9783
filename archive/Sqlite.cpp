#include "archive/Sqlite.h"

#include <sqlite3.h>

#include <algorithm>

namespace {

std::string ErrorText(sqlite3 *db, std::string_view what)
{
    return std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
}

} // namespace

void ThrowSqlite(sqlite3 *db, std::string_view what)
{
    throw ArchiveError(ErrorText(db, what));
}

Statement::Statement(sqlite3 *db, const char *sql)
    : m_db(db)
{
    if (sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr) != SQLITE_OK)
        ThrowSqlite(db, "cannot prepare a query");
}

Statement::~Statement()
{
    sqlite3_finalize(m_statement);
}

Statement &Statement::bind(int index, int64_t value)
{
    if (sqlite3_bind_int64(m_statement, index, value) != SQLITE_OK)
        ThrowSqlite(m_db, "cannot bind a value");
    return *this;
}

Statement &Statement::bind(int index, std::string_view text)
{
    if (sqlite3_bind_text64(m_statement, index, text.data(), text.size(), SQLITE_TRANSIENT,
            SQLITE_UTF8)
        != SQLITE_OK)
        ThrowSqlite(m_db, "cannot bind a text");
    return *this;
}

Statement &Statement::bindBlob(int index, std::string_view bytes)
{
    // A zero-length blob, not NULL, for no bytes.
    const int rc = sqlite3_bind_blob64(m_statement, index, bytes.data() ? bytes.data() : "",
        bytes.size(), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        ThrowSqlite(m_db, "cannot bind bytes");
    return *this;
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE) {
        const auto error = ErrorText(m_db, "cannot read or write the archive");
        sqlite3_reset(m_statement);
        throw ArchiveError(error);
    }
    sqlite3_reset(m_statement);
    return false;
}

void Statement::run()
{
    while (step()) { }
}

void Statement::reset()
{
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
}

int64_t Statement::integer(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

std::string_view Statement::text(int column) const
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
    return text ? std::string_view(text, size_t(sqlite3_column_bytes(m_statement, column)))
                : std::string_view();
}

std::string_view Statement::blob(int column) const
{
    const auto *bytes = static_cast<const char *>(sqlite3_column_blob(m_statement, column));
    return bytes ? std::string_view(bytes, size_t(sqlite3_column_bytes(m_statement, column)))
                 : std::string_view();
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

BlobReader::BlobReader(sqlite3 *db, const char *table, const char *column, int64_t rowid)
    : m_db(db)
{
    if (sqlite3_blob_open(db, "main", table, column, rowid, 0, &m_blob) != SQLITE_OK)
        ThrowSqlite(db, "cannot read the archive");
    m_size = sqlite3_blob_bytes(m_blob);
}

BlobReader::~BlobReader()
{
    sqlite3_blob_close(m_blob);
}

void BlobReader::read(int64_t offset, std::string &into, size_t size)
{
    const auto count = int(std::min<int64_t>(int64_t(size - std::min(size, into.size())),
        m_size - std::min(offset, m_size)));
    if (count <= 0)
        return;
    const size_t at = into.size();
    into.resize(at + size_t(count));
    if (sqlite3_blob_read(m_blob, into.data() + at, count, int(offset)) != SQLITE_OK)
        ThrowSqlite(m_db, "cannot read the archive");
}

Database::Database(const std::string &path, int flags)
{
    if (sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
        const std::string message = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        throw ArchiveError("cannot open: " + message);
    }
    sqlite3_extended_result_codes(m_db, 0);
    sqlite3_busy_timeout(m_db, 30000);
}

Database::~Database()
{
    sqlite3_close(m_db);
}

void Database::exec(const char *sql)
{
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        ThrowSqlite(m_db, "cannot read or write the archive");
}

int64_t Database::number(const char *sql)
{
    Statement statement(m_db, sql);
    const int64_t value = statement.step() ? statement.integer(0) : 0;
    statement.reset();
    return value;
}

Transaction::Transaction(Database &db, const char *begin)
    : m_db(db)
{
    if (sqlite3_get_autocommit(m_db.handle()) == 0)
        return;
    m_db.exec(begin);
    m_open = true;
}

Transaction::~Transaction()
{
    if (m_open)
        sqlite3_exec(m_db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::commit()
{
    if (!m_open)
        return;
    m_db.exec("COMMIT");
    m_open = false;
}
