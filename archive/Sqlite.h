// A thin layer over the SQLite C interface: a connection and its prepared
// statements. Every failure throws ArchiveError naming what failed, so the
// archive's code reads as straight-line SQL; the commands catch it at their
// edge and turn it into a message and an exit status.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_blob;
struct sqlite3_stmt;

class ArchiveError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class Statement
{
public:
    Statement(sqlite3 *db, const char *sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    Statement &bind(int index, int64_t value);
    Statement &bind(int index, std::string_view text);
    Statement &bindBlob(int index, std::string_view bytes);
    // The next row: true while there is one. Resets itself at the end.
    bool step();
    void run(); // steps to the end
    void reset();

    [[nodiscard]] int64_t integer(int column) const;
    [[nodiscard]] std::string_view text(int column) const;
    [[nodiscard]] std::string_view blob(int column) const;
    [[nodiscard]] bool isNull(int column) const;

private:
    sqlite3 *m_db;
    sqlite3_stmt *m_statement = nullptr;
};

// Reads one blob a piece at a time, without loading it whole. Valid while
// its row is not changed.
class BlobReader
{
public:
    BlobReader(sqlite3 *db, const char *table, const char *column, int64_t rowid);
    ~BlobReader();
    BlobReader(const BlobReader &) = delete;
    BlobReader &operator=(const BlobReader &) = delete;

    [[nodiscard]] int64_t size() const { return m_size; }
    // Appends the bytes from offset on, as many as fit in size bytes in all.
    void read(int64_t offset, std::string &into, size_t size);

private:
    sqlite3 *m_db;
    sqlite3_blob *m_blob = nullptr;
    int64_t m_size = 0;
};

class Database
{
public:
    // flags are sqlite3_open_v2's; the connection waits up to 30 s for a lock.
    Database(const std::string &path, int flags);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    void exec(const char *sql);
    [[nodiscard]] int64_t number(const char *sql); // the first column of the first row, 0 if none
    [[nodiscard]] sqlite3 *handle() const { return m_db; }

private:
    sqlite3 *m_db = nullptr;
};

// Rolls back the transaction it began unless commit() was called. Inside a
// transaction already open on the connection it begins nothing and leaves
// the end, commit or rollback, to whoever opened it.
class Transaction
{
public:
    Transaction(Database &db, const char *begin = "BEGIN");
    ~Transaction();
    void commit();

private:
    Database &m_db;
    bool m_open = false;
};

[[noreturn]] void ThrowSqlite(sqlite3 *db, std::string_view what);
