#include "archive/DayIndex.h"

#include "archive/ByteCodec.h"

#include <algorithm>
#include <bit>

void SortByRank(std::vector<DayRank> &ranks)
{
    std::sort(ranks.begin(), ranks.end(), [](const DayRank &a, const DayRank &b) {
        return a.rank != b.rank ? a.rank < b.rank : a.game < b.game;
    });
}

std::vector<DayRank> RanksOf(std::span<const SnapshotRow> rows)
{
    std::vector<DayRank> ranks;
    ranks.reserve(rows.size());
    for (const SnapshotRow &row : rows)
        ranks.push_back({ row.game, row.record.rank });
    SortByRank(ranks);
    return ranks;
}

// Ranks mostly run 1, 2, 3, ...: only the entries whose rank is not the one
// before plus one are written, and the game IDs are packed at the width of
// the day's largest.
std::string PackDayRanks(std::span<const DayRank> ranks)
{
    std::string out;
    PutUnsigned(out, ranks.size());
    uint32_t largest = 0;
    for (const DayRank &r : ranks)
        largest = std::max(largest, r.game);
    const int width = std::bit_width(largest);
    out.push_back(char(width));
    std::string steps;
    uint64_t exceptions = 0;
    size_t lastException = 0;
    uint32_t previous = 0;
    for (size_t i = 0; i < ranks.size(); ++i) {
        if (ranks[i].rank != previous + 1) {
            PutUnsigned(steps, i - lastException);
            PutUnsigned(steps, ranks[i].rank - previous);
            lastException = i;
            ++exceptions;
        }
        previous = ranks[i].rank;
    }
    PutUnsigned(out, exceptions);
    out += steps;
    uint64_t bits = 0;
    int held = 0;
    for (const DayRank &r : ranks) {
        bits |= uint64_t(r.game) << held;
        held += width;
        while (held >= 8) {
            out.push_back(char(bits & 0xFF));
            bits >>= 8;
            held -= 8;
        }
    }
    if (held > 0)
        out.push_back(char(bits & 0xFF));
    return out;
}

bool UnpackDayRanks(std::string_view bytes, size_t limit, std::vector<DayRank> &ranks)
{
    ByteReader in(bytes);
    const uint64_t count = in.unsignedNumber();
    const int width = in.byte();
    uint64_t left = in.unsignedNumber(); // exceptions not yet read
    if (in.bad() || width > 32 || (count > 0 && width == 0) || left > count
        || count > bytes.size() * 8)
        return false;
    const size_t wanted = limit == 0 ? size_t(count) : size_t(std::min<uint64_t>(limit, count));
    const size_t first = ranks.size();
    ranks.resize(first + wanted);

    // The ranks: each one more than the one before but where an exception
    // gives its step.
    bool pending = false, started = false;
    uint64_t index = 0, step = 0;
    const auto next = [&] { // reads the next exception; false when it does not read
        pending = left > 0;
        if (!pending)
            return true;
        const uint64_t skip = in.unsignedNumber();
        if ((started && skip == 0) || skip >= count - index)
            return false;
        started = true;
        index += skip;
        step = in.unsignedNumber();
        --left;
        return !in.bad();
    };
    if (!next())
        return false;
    uint64_t rank = 0;
    for (size_t i = 0; i < wanted; ++i) {
        if (pending && index == i) {
            rank += step;
            if (!next())
                return false;
        } else {
            rank += 1;
        }
        if (rank > UINT32_MAX)
            return false;
        ranks[first + i].rank = uint32_t(rank);
    }
    while (pending) {
        if (!next())
            return false;
    }

    // The games, width bits each.
    const std::string_view games = in.text((count * uint64_t(width) + 7) / 8);
    if (in.bad() || !in.atEnd())
        return false;
    const uint64_t mask = (uint64_t(1) << width) - 1;
    uint64_t bits = 0;
    int held = 0;
    size_t p = 0;
    for (size_t i = 0; i < wanted; ++i) {
        while (held < width) {
            bits |= uint64_t(uint8_t(games[p++])) << held;
            held += 8;
        }
        ranks[first + i].game = uint32_t(bits & mask);
        bits >>= width;
        held -= width;
    }
    return true;
}

std::vector<ShallowDay> ShallowDays(std::span<const DaySummary> days)
{
    constexpr size_t Window = 7;
    std::vector<ShallowDay> shallow;
    std::vector<uint32_t> around;
    for (size_t i = 0; i < days.size(); ++i) {
        const size_t size = std::min(Window, days.size());
        const size_t from = std::min(i >= Window / 2 ? i - Window / 2 : 0, days.size() - size);
        around.clear();
        for (size_t j = from; j < from + size; ++j)
            around.push_back(days[j].deepestRank);
        std::nth_element(around.begin(), around.begin() + around.size() / 2, around.end());
        const uint32_t median = around[around.size() / 2];
        if (uint64_t(days[i].deepestRank) * 2 < median)
            shallow.push_back({ days[i].day, days[i].deepestRank, median });
    }
    return shallow;
}
