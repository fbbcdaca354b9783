// Folds one game's staged records into its blocks: full blocks appended to
// the blocks table, the rest in the game's open block.
#pragma once

#include "archive/ArchiveFormat.h"
#include "archive/Record.h"
#include "archive/Sqlite.h"

#include <span>
#include <vector>

class GameFolder
{
public:
    // stagedDays: the days being folded, in order; kept by reference.
    GameFolder(Database &db, const std::vector<int32_t> &stagedDays);

    // staged: the game's staged records in day order; title: its latest staged
    // title with that day, when it has staged records.
    void fold(uint32_t game, std::span<const Record> staged, const GameTitle *title, int32_t titleDay);

private:
    const std::vector<int32_t> &m_days;
    Statement m_find, m_blocks, m_openBlock, m_lastDay, m_dropBlocks, m_putBlock, m_putOpen,
        m_dropOpen, m_putGame, m_dropGame;
};
