// Snapshot reader (header, quoting, lines, numbers): never crashes; the rows
// it keeps are sorted by ID without repeats, their names are clean UTF-8,
// their decimals write back to text that reads the same, and a packed day
// unpacks to the same rows. The same bytes as a packed block or day must
// unpack or be refused, never crash; as a staged day held packed, they are
// refused exactly when unpacking refuses them, else give the same rows.
#include "archive/ArchiveFormat.h"
#include "archive/SnapshotReader.h"
#include "archive/StagedDayRows.h"
#include "fuzz/FuzzSupport.h"

#include <QString>

namespace {

bool SameRow(const SnapshotRow &a, const SnapshotRow &b)
{
    return a.game == b.game && a.record == b.record && a.name == b.name && a.year == b.year;
}

// The holder's look-ups and walk against the rows unpacking gave; nothing
// when it refuses the bytes.
void CheckStaged(const std::string &bytes, int32_t dayOf, bool unpacked,
    const std::vector<SnapshotRow> &rows)
{
    std::optional<StagedDayRows> day;
    try {
        day.emplace(bytes, dayOf);
    } catch (const ArchiveError &) {
    }
    FUZZ_CHECK(day.has_value() == unpacked);
    if (!day)
        return;
    FUZZ_CHECK(day->size() == rows.size());
    size_t i = 0;
    for (const SnapshotRow &row : *day)
        FUZZ_CHECK(SameRow(row, rows[i++]));
    // Bytes that read may still give IDs out of order (wrapping steps): a
    // look-up, a binary search, is only sure when every ID follows the one
    // before.
    for (size_t j = 1; j < rows.size(); ++j) {
        if (rows[j - 1].game >= rows[j].game)
            return;
    }
    for (const SnapshotRow &row : rows) {
        const auto found = day->find(row.game);
        FUZZ_CHECK(found && SameRow(*found, row));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string input(reinterpret_cast<const char *>(data), size);
    std::string bytes = input;
    const Snapshot snapshot = ReadSnapshot(bytes);
    FUZZ_CHECK(snapshot.error.empty() != snapshot.rows.empty());
    for (size_t i = 0; i < snapshot.rows.size(); ++i) {
        const SnapshotRow &row = snapshot.rows[i];
        FUZZ_CHECK(i == 0 || snapshot.rows[i - 1].game < row.game);
        FUZZ_CHECK(row.game > 0 && row.record.rank > 0);
        FUZZ_CHECK(CleanName(row.name) == row.name);
        for (const Decimal value : { row.record.average, row.record.bayesAverage })
            FUZZ_CHECK(ParseDecimal(DecimalText(value)) == value);
    }
    if (!snapshot.rows.empty()) {
        const std::string packed = PackDay(snapshot.rows);
        std::vector<SnapshotRow> back;
        FUZZ_CHECK(UnpackDay(packed, 0, back));
        FUZZ_CHECK(back.size() == snapshot.rows.size());
        for (size_t i = 0; i < back.size(); ++i) {
            FUZZ_CHECK(back[i].game == snapshot.rows[i].game);
            FUZZ_CHECK(back[i].record == snapshot.rows[i].record);
            FUZZ_CHECK(back[i].name == snapshot.rows[i].name);
            FUZZ_CHECK(back[i].year == snapshot.rows[i].year);
        }
        CheckStaged(packed, 0, true, back);
    }
    std::vector<Record> records;
    std::vector<SnapshotRow> rows;
    (void)UnpackBlock(input, records);
    const bool unpacked = UnpackDay(input, 1, rows);
    CheckStaged(input, 1, unpacked, rows);
    return 0;
}
