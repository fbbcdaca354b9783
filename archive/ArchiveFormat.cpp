#include "archive/ArchiveFormat.h"

#include "archive/ByteCodec.h"

#include <algorithm>

const char ArchiveSchema[] = R"(
CREATE TABLE days(day INTEGER PRIMARY KEY, file TEXT NOT NULL, records INTEGER NOT NULL,
    skipped INTEGER NOT NULL, digest INTEGER NOT NULL, staged BLOB,
    replaces INTEGER NOT NULL DEFAULT 0, deepest INTEGER NOT NULL DEFAULT 0);
CREATE TABLE day_ranks(day INTEGER PRIMARY KEY, data BLOB NOT NULL);
CREATE TABLE games(game INTEGER PRIMARY KEY, name TEXT NOT NULL, year INTEGER NOT NULL,
    name_day INTEGER NOT NULL, blocks INTEGER NOT NULL, records INTEGER NOT NULL,
    first_day INTEGER NOT NULL, last_day INTEGER NOT NULL);
CREATE TABLE blocks(game INTEGER NOT NULL, first_day INTEGER NOT NULL,
    last_day INTEGER NOT NULL, data BLOB NOT NULL);
CREATE UNIQUE INDEX blocks_by_game ON blocks(game, first_day);
CREATE TABLE open_blocks(game INTEGER PRIMARY KEY, data BLOB NOT NULL);
CREATE TABLE state(key TEXT PRIMARY KEY, value INTEGER NOT NULL);
INSERT INTO state VALUES('generation', 0);
)";

namespace {

uint8_t DigitsByte(const Record &r)
{
    return uint8_t(r.average.digits << 4 | r.bayesAverage.digits);
}

bool SetDigits(Record &r, uint8_t digits)
{
    r.average.digits = digits >> 4;
    r.bayesAverage.digits = digits & 0x0F;
    return r.average.digits <= Decimal::MaxDigits && r.bayesAverage.digits <= Decimal::MaxDigits;
}

// Sums that wrap instead of overflowing: damaged bytes give wrong values,
// never undefined behaviour.
int64_t Plus(int64_t a, int64_t b)
{
    return int64_t(uint64_t(a) + uint64_t(b));
}

// Block record flags.
constexpr uint8_t NextDay = 1; // the day after the record before; else a day step follows
constexpr uint8_t NewDigits = 2; // a digits byte follows

} // namespace

std::string PackDay(std::span<const SnapshotRow> rows)
{
    std::string out;
    out.reserve(rows.size() * 40);
    PutUnsigned(out, rows.size());
    uint32_t game = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        // A snapshot's names lie in file order, not in ID order: fetching
        // ahead hides the waits for memory.
        if (i + 8 < rows.size())
            __builtin_prefetch(rows[i + 8].name.data());
        const SnapshotRow &row = rows[i];
        PutUnsigned(out, row.game - game);
        game = row.game;
        PutUnsigned(out, row.record.rank);
        PutUnsigned(out, row.record.usersRated);
        PutSigned(out, row.record.average.mantissa);
        PutSigned(out, row.record.bayesAverage.mantissa);
        out.push_back(char(DigitsByte(row.record)));
        PutSigned(out, row.year);
        PutUnsigned(out, row.name.size());
        out += row.name;
    }
    return out;
}

bool ReadDayCount(ByteReader &in, uint64_t &count)
{
    count = in.unsignedNumber();
    return !in.bad();
}

bool ReadDayRow(ByteReader &in, uint32_t game, int32_t day, SnapshotRow &row)
{
    row.game = uint32_t(game + in.unsignedNumber());
    row.record.day = day;
    row.record.rank = uint32_t(in.unsignedNumber());
    row.record.usersRated = uint32_t(in.unsignedNumber());
    row.record.average.mantissa = in.signedNumber();
    row.record.bayesAverage.mantissa = in.signedNumber();
    if (!SetDigits(row.record, in.byte()))
        return false;
    row.year = int32_t(in.signedNumber());
    row.name = in.text(in.unsignedNumber());
    return !in.bad();
}

bool UnpackDay(std::string_view bytes, int32_t day, std::vector<SnapshotRow> &rows)
{
    ByteReader in(bytes);
    uint64_t count = 0;
    if (!ReadDayCount(in, count) || count > bytes.size())
        return false;
    rows.clear();
    rows.reserve(count);
    SnapshotRow row;
    for (uint64_t i = 0; i < count; ++i) {
        if (!ReadDayRow(in, row.game, day, row))
            return false;
        rows.push_back(row);
    }
    return in.atEnd();
}

std::string PackBlock(std::span<const Record> records)
{
    std::string out;
    out.reserve(records.size() * 8 + 4);
    PutUnsigned(out, records.size());
    Record before;
    uint8_t digits = 0;
    for (const Record &r : records) {
        const uint8_t flags = uint8_t((r.day == before.day + 1 ? NextDay : 0)
            | (DigitsByte(r) != digits ? NewDigits : 0));
        out.push_back(char(flags));
        if (!(flags & NextDay))
            PutSigned(out, int64_t(r.day) - before.day);
        if (flags & NewDigits) {
            digits = DigitsByte(r);
            out.push_back(char(digits));
        }
        PutSigned(out, int64_t(r.usersRated) - before.usersRated);
        PutSigned(out, int64_t(r.rank) - before.rank);
        PutSigned(out, r.average.mantissa - before.average.mantissa);
        PutSigned(out, r.bayesAverage.mantissa - before.bayesAverage.mantissa);
        before = r;
    }
    return out;
}

bool UnpackBlock(std::string_view bytes, std::vector<Record> &records)
{
    ByteReader in(bytes);
    const uint64_t count = in.unsignedNumber();
    if (count > bytes.size())
        return false;
    Record r;
    uint8_t digits = 0;
    for (uint64_t i = 0; i < count && !in.bad(); ++i) {
        const uint8_t flags = in.byte();
        r.day = int32_t(Plus(r.day, flags & NextDay ? 1 : in.signedNumber()));
        if (flags & NewDigits)
            digits = in.byte();
        if (!SetDigits(r, digits))
            return false;
        r.usersRated = uint32_t(Plus(r.usersRated, in.signedNumber()));
        r.rank = uint32_t(Plus(r.rank, in.signedNumber()));
        r.average.mantissa = Plus(r.average.mantissa, in.signedNumber());
        r.bayesAverage.mantissa = Plus(r.bayesAverage.mantissa, in.signedNumber());
        records.push_back(r);
    }
    return !in.bad() && in.atEnd();
}

void CountGenerationUp(Database &db)
{
    db.exec("UPDATE state SET value = value + 1 WHERE key = 'generation'");
}

void ReadBlock(std::string_view bytes, std::vector<Record> &records)
{
    if (!UnpackBlock(bytes, records))
        throw ArchiveError("the archive is damaged: a block does not read");
}

void ThrowDamagedDay(int32_t day)
{
    throw ArchiveError("the archive is damaged: the day " + std::to_string(day) + " does not read");
}

StagedDays ReadStagedDays(Database &db, const StagedDays *previous)
{
    StagedDays staged;
    {
        Statement days(db.handle(), "SELECT day, digest FROM days WHERE staged IS NOT NULL ORDER BY day");
        while (days.step()) {
            staged.days.push_back(int32_t(days.integer(0)));
            staged.digests.push_back(days.integer(1));
        }
    }
    // Each day's bytes read straight into the string that keeps them: as a
    // column, SQLite would first copy a day into a buffer of its own, and
    // those buffers, a little bigger each day, left the service's heap with
    // holes of some 20 MB among the days kept.
    staged.rows.reserve(staged.days.size());
    for (size_t i = 0; i < staged.days.size(); ++i) {
        const int32_t day = staged.days[i];
        if (previous) {
            const auto at = std::lower_bound(previous->days.begin(), previous->days.end(), day);
            const auto index = size_t(at - previous->days.begin());
            if (at != previous->days.end() && *at == day && previous->digests[index] == staged.digests[i]) {
                staged.rows.push_back(previous->rows[index]);
                continue;
            }
        }
        BlobReader blob(db.handle(), "days", "staged", day);
        std::string bytes;
        bytes.reserve(size_t(blob.size()));
        blob.read(0, bytes, size_t(blob.size()));
        staged.rows.push_back(std::make_shared<const StagedDayRows>(std::move(bytes), day));
    }
    return staged;
}

bool StagedAfterBlocks(std::span<const int32_t> stagedDays, std::optional<int32_t> lastDay)
{
    return !lastDay || stagedDays.empty() || stagedDays.front() > *lastDay;
}

void MergeStaged(std::vector<Record> &folded, std::span<const Record> staged,
    std::span<const int32_t> stagedDays)
{
    std::erase_if(folded, [&](const Record &r) {
        return std::binary_search(stagedDays.begin(), stagedDays.end(), r.day);
    });
    folded.insert(folded.end(), staged.begin(), staged.end());
    std::stable_sort(folded.begin(), folded.end(),
        [](const Record &a, const Record &b) { return a.day < b.day; });
}

bool StagedTitleStands(int32_t stagedDay, std::optional<int32_t> nameDay)
{
    return !nameDay || stagedDay >= *nameDay;
}

int64_t CountGames(Database &db, const StagedDays &staged)
{
    int64_t games = db.number("SELECT count(*) FROM games");
    std::vector<uint32_t> only;
    Statement known(db.handle(), "SELECT 1 FROM games WHERE game = ?");
    for (const auto &rows : staged.rows) {
        for (const SnapshotRow &row : *rows) {
            known.bind(1, row.game);
            if (!known.step())
                only.push_back(row.game);
            known.reset();
        }
    }
    std::sort(only.begin(), only.end());
    games += std::unique(only.begin(), only.end()) - only.begin();
    return games;
}
