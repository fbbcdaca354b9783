// Archives of an earlier layout: the day index worked out from the records
// themselves, for a reader of a layout-1 archive and for the upgrade an
// import makes to it.
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

// Brings an archive of layout 1 to the current layout in one transaction:
// the days' deepest ranks and the day index built from the days it holds.
// An archive of the current layout is left as it is.
void UpgradeArchive(Database &db);
