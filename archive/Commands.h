// The commands of plotwise-archive; each returns the program's exit status.
#pragma once

#include "archive/RankingLists.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

int RunImport(const std::string &archive, const std::vector<std::string> &snapshots);
// maxAge: how long caches may keep a full history page, in seconds.
// address: the numeric address listened on; perAddress: connections from
// one address at most (0: any number); headSeconds: how long a request's
// head may take to arrive (0: any time).
int RunServe(const std::string &archive, const std::string &address, int port,
    const std::string &logFile, int64_t maxAge, size_t perAddress, unsigned headSeconds);
int RunInfo(const std::string &archive);
// A consistent copy of the archive as its last committed day left it, even
// while an import writes; written whole and renamed into place.
int RunCopy(const std::string &archive, const std::string &destination);
int RunTop(const std::string &archive, const TopQuery &query);
int RunMovers(const std::string &archive, const MoversQuery &query);

// "plotwise-archive: " and the message, on standard error.
void Complain(const std::string &message);
