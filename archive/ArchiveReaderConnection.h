// The reader's connections and what it holds per generation, shared by
// the files that define its calls.
#pragma once

#include "archive/ArchiveFile.h"
#include "archive/ArchiveFormat.h"
#include "archive/ArchiveReader.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct ArchiveReader::Staged : StagedDays {
    int64_t generation = -1;
};

struct ArchiveReader::HeldDays {
    int64_t generation = -1;
    std::vector<DaySummary> days;
};

struct ArchiveReader::Names {
    int64_t generation = -1;
    std::vector<Match> games; // by ID
    std::vector<std::string> folded; // beside games
};

class ArchiveReader::Connection
{
public:
    explicit Connection(const std::string &path)
        : db(OpenArchive(path, ArchiveAccess::Read))
        , generation(db->handle(), GenerationQuery)
        , game(db->handle(),
              "SELECT name, year, name_day, blocks, records, last_day FROM games WHERE game = ?")
        , block(db->handle(),
              "SELECT data FROM blocks WHERE game = ? ORDER BY first_day LIMIT 1 OFFSET ?")
        , blocks(db->handle(), "SELECT data FROM blocks WHERE game = ? ORDER BY first_day")
        , layout(db->handle(), "PRAGMA user_version")
    {
        // A list looks up a block per game it shows: 8 MB keeps the inner
        // pages of the blocks and the games' rows at hand (2 MB did not).
        db->exec("PRAGMA cache_size=-8000");
    }

    // Read in each transaction: an import may upgrade the archive meanwhile.
    int64_t currentLayout()
    {
        layout.step();
        const int64_t value = layout.integer(0);
        layout.reset();
        return value;
    }

    // Appends the game's open block, where the archive keeps them apart.
    void readOpenBlock(uint32_t game, std::vector<Record> &records)
    {
        if (!openBlock)
            openBlock.emplace(db->handle(), "SELECT data FROM open_blocks WHERE game = ?");
        openBlock->bind(1, game);
        if (openBlock->step()) {
            ReadBlock(openBlock->blob(0), records);
            openBlock->reset();
        }
    }

    int64_t currentGeneration()
    {
        generation.step();
        const int64_t value = generation.integer(0);
        generation.reset();
        return value;
    }

    std::unique_ptr<Database> db;
    Statement generation, game, block, blocks, layout;
    std::optional<Statement> dayRanks; // made where the archive has a day index
    std::optional<Statement> blockOfDay; // made by the first list that needs it
    std::optional<Statement> openBlock; // made where it keeps open blocks apart

};

// A connection for one call: owned when borrowed from the idle ones, or the
// open snapshot's, which stays with the snapshot.
class ArchiveReader::Lease
{
public:
    Lease(std::unique_ptr<Connection> owned, Connection *shared)
        : m_owned(std::move(owned))
        , m_connection(m_owned ? m_owned.get() : shared)
    {
    }
    Connection *operator->() const { return m_connection; }
    Connection &operator*() const { return *m_connection; }
    std::unique_ptr<Connection> release() { return std::move(m_owned); }

private:
    std::unique_ptr<Connection> m_owned;
    Connection *m_connection;
};
