// One game's ranking record of one day, as a snapshot row gives it.
#pragma once

#include "archive/Decimal.h"

#include <cstdint>
#include <string>

struct Record {
    int32_t day = 0; // see Days.h
    uint32_t rank = 0;
    uint32_t usersRated = 0;
    Decimal average;
    Decimal bayesAverage;

    friend bool operator==(const Record &, const Record &) = default;
};

// A game's name and year of publication as one day's snapshot gives them.
struct GameTitle {
    std::string name;
    int32_t year = 0;
};
