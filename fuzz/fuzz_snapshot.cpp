// Snapshot reader (header, quoting, lines, numbers): never crashes; the rows
// it keeps are sorted by ID without repeats, their names are clean UTF-8,
// their decimals write back to text that reads the same, and a packed day
// unpacks to the same rows. The same bytes as a packed block or day must
// unpack or be refused, never crash.
#include "archive/ArchiveFormat.h"
#include "archive/SnapshotReader.h"
#include "fuzz/FuzzSupport.h"

#include <QString>

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
    }
    std::vector<Record> records;
    std::vector<SnapshotRow> rows;
    (void)UnpackBlock(input, records);
    (void)UnpackDay(input, 1, rows);
    return 0;
}
