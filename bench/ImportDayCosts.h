// What a day costs an import, read from the times the import writes
// (PLOTWISE_ARCHIVE_TIMES), and printed as the median of several imports of
// the same files: a single import of 1,458 days varies by a fifth from run
// to run (the disk, the checkpoints), the first 100 days most of all.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ImportDayCosts {
    std::vector<double> at; // ms after each day put in; the end last
    std::vector<double> folds; // ms of folding up to each entry of at
    double lastFold = 0, freed = 0, end = 0; // the end's parts, and the whole import
    [[nodiscard]] int days() const { return int(at.size()) - 1; }
};

// Empty when the file does not read.
[[nodiscard]] ImportDayCosts ReadImportDayCosts(const std::string &timesPath);

// The cost of a day in ms around the 100th day put in, the 500th and at the
// end, two ways: as the import's time from its start over the days so far
// (the way a whole import is quoted), and over windows of 128 days, as many
// as the import folds at most at once (the last window carrying the import's
// end). Also per 1,000 records (days grow as games join), the folds' share of
// each window, and the end's parts: the last fold, the freed pages given back
// and the checkpoint. records: each day's records in the order put in.
void PrintDayCosts(const std::vector<ImportDayCosts> &runs, const std::vector<int64_t> &records);
