// Archives of an earlier layout: the day index worked out from the records
// themselves, for a reader of a layout-1 archive, and the upgrade an import
// makes to an archive of layout 1 or 2.
#pragma once

#include "archive/DayIndex.h"
#include "archive/Sqlite.h"

#include <functional>
#include <map>
#include <vector>

// The games of each day from..to in rank order, from the blocks and the
// staged days as the merge rule gives them (a staged day stands for its day).
[[nodiscard]] std::map<int32_t, std::vector<DayRank>> RanksFromRecords(
    Database &db, int32_t from, int32_t to);

// Each day's deepest rank, from the records, in one pass.
[[nodiscard]] std::map<int32_t, uint32_t> DeepestFromRecords(Database &db);

// Brings an archive of an earlier layout to the current one in one
// transaction: from layout 1, the days' deepest ranks and the day index
// built from the days it holds; from layouts 1 and 2, the games' open blocks
// moved apart from the full ones. An archive of the current layout is left
// as it is.
void UpgradeArchive(Database &db);
