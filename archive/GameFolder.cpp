#include "archive/GameFolder.h"

#include <algorithm>
#include <optional>
#include <string>

namespace {

struct GameRow {
    GameTitle title;
    int32_t nameDay = 0;
    int64_t blocks = 0;
    int64_t records = 0;
    int32_t firstDay = 0;
    int32_t lastDay = 0;
};

} // namespace

GameFolder::GameFolder(Database &db, const std::vector<int32_t> &stagedDays)
    : m_days(stagedDays)
    , m_find(db.handle(),
          "SELECT name, year, name_day, blocks, records, first_day, last_day FROM games WHERE game = ?")
    , m_blocks(db.handle(),
          "SELECT first_day, last_day, data FROM blocks WHERE game = ? ORDER BY first_day")
    , m_openBlock(db.handle(), "SELECT data FROM open_blocks WHERE game = ?")
    , m_lastDay(db.handle(), "SELECT max(last_day) FROM blocks WHERE game = ?")
    , m_dropBlocks(db.handle(), "DELETE FROM blocks WHERE game = ? AND first_day >= ?")
    , m_putBlock(db.handle(), "INSERT INTO blocks(game, first_day, last_day, data) VALUES(?, ?, ?, ?)")
    , m_putOpen(db.handle(), "INSERT OR REPLACE INTO open_blocks VALUES(?, ?)")
    , m_dropOpen(db.handle(), "DELETE FROM open_blocks WHERE game = ?")
    , m_putGame(db.handle(), "INSERT OR REPLACE INTO games VALUES(?, ?, ?, ?, ?, ?, ?, ?)")
    , m_dropGame(db.handle(), "DELETE FROM games WHERE game = ?")
{
}

void GameFolder::fold(uint32_t game, std::span<const Record> staged, const GameTitle *title, int32_t titleDay)
{
    std::optional<GameRow> row;
    m_find.bind(1, game);
    if (m_find.step()) {
        row.emplace();
        row->title.name = m_find.text(0);
        row->title.year = int32_t(m_find.integer(1));
        row->nameDay = int32_t(m_find.integer(2));
        row->blocks = m_find.integer(3);
        row->records = m_find.integer(4);
        row->firstDay = int32_t(m_find.integer(5));
        row->lastDay = int32_t(m_find.integer(6));
        m_find.reset();
    }
    GameRow next = row.value_or(GameRow {});
    const bool hadOpen = row && row->records % BlockRecords != 0;
    const auto readOpen = [&](std::vector<Record> &into) {
        m_openBlock.bind(1, game);
        if (m_openBlock.step()) {
            ReadBlock(m_openBlock.blob(0), into);
            m_openBlock.reset();
        }
    };

    // The records from the first block that changes on: the open block, or
    // a full one where a staged day falls inside the game's history.
    std::vector<Record> tail;
    int64_t keptBlocks = row ? row->records / BlockRecords : 0; // full ones
    std::optional<int32_t> dropFrom;
    if (StagedAfterBlocks(m_days, row ? std::optional(row->lastDay) : std::nullopt)) {
        // Only new days: the open block grows, and fills full ones.
        if (hadOpen)
            readOpen(tail);
        tail.insert(tail.end(), staged.begin(), staged.end());
    } else {
        // The full blocks from the first that reaches a staged day are read
        // again, then the open block, and merged.
        keptBlocks = 0;
        m_blocks.bind(1, game);
        while (m_blocks.step()) {
            if (!dropFrom && m_blocks.integer(1) < m_days.front()) {
                ++keptBlocks;
                continue;
            }
            if (!dropFrom)
                dropFrom = int32_t(m_blocks.integer(0));
            ReadBlock(m_blocks.blob(2), tail);
        }
        if (hadOpen)
            readOpen(tail);
        MergeStaged(tail, staged, m_days);
    }

    if (dropFrom) {
        m_dropBlocks.bind(1, game).bind(2, *dropFrom).run();
        m_dropBlocks.reset();
    }
    // Full blocks go to the end of the blocks table, so that a fold's pages
    // are the new ones, however old the archive.
    const size_t full = tail.size() / BlockRecords * BlockRecords;
    for (size_t at = 0; at < full; at += BlockRecords) {
        const auto part = std::span(tail).subspan(at, BlockRecords);
        m_putBlock.bind(1, game).bind(2, part.front().day).bind(3, part.back().day);
        m_putBlock.bindBlob(4, PackBlock(part)).run();
        m_putBlock.reset();
    }
    if (full < tail.size()) {
        m_putOpen.bind(1, game).bindBlob(2, PackBlock(std::span(tail).subspan(full))).run();
        m_putOpen.reset();
    } else if (hadOpen) {
        m_dropOpen.bind(1, game).run();
        m_dropOpen.reset();
    }

    next.blocks = keptBlocks + int64_t((tail.size() + BlockRecords - 1) / BlockRecords);
    next.records = keptBlocks * BlockRecords + int64_t(tail.size());
    if (next.records == 0) {
        m_dropGame.bind(1, game).run();
        m_dropGame.reset();
        return;
    }
    if (keptBlocks == 0)
        next.firstDay = tail.front().day;
    if (!tail.empty()) {
        next.lastDay = tail.back().day;
    } else {
        m_lastDay.bind(1, game);
        m_lastDay.step();
        next.lastDay = int32_t(m_lastDay.integer(0));
        m_lastDay.reset();
    }
    if (title && StagedTitleStands(titleDay, row ? std::optional(row->nameDay) : std::nullopt)) {
        next.title = *title;
        next.nameDay = titleDay;
    }
    m_putGame.bind(1, game).bind(2, next.title.name).bind(3, next.title.year);
    m_putGame.bind(4, next.nameDay).bind(5, next.blocks).bind(6, next.records);
    m_putGame.bind(7, next.firstDay).bind(8, next.lastDay).run();
    m_putGame.reset();
}
