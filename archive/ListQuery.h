// Reads the parameters of a ranking list, given by name: the command line's
// options (prefix "--") or the service's query parameters (no prefix), so
// both refuse the same things with the same reasons.
#pragma once

#include "archive/RankingLists.h"

#include <string>
#include <utility>
#include <vector>

using ListParameters = std::vector<std::pair<std::string, std::string>>;

// day, count, year. Throws ListError naming the first bad parameter; an
// empty value is an absent one.
[[nodiscard]] TopQuery ReadTopQuery(const ListParameters &parameters, const std::string &prefix);
// from, to (both needed), top, count, year.
[[nodiscard]] MoversQuery ReadMoversQuery(const ListParameters &parameters, const std::string &prefix);
