#include "archive/StagedDayRows.h"

#include "archive/ArchiveFormat.h"
#include "archive/ByteCodec.h"

#include <algorithm>
#include <limits>
#include <string_view>

StagedDayRows::StagedDayRows(std::string packed, int32_t day)
    : m_packed(std::move(packed))
    , m_day(day)
{
    // A blob is at most a GB; a bigger one could not be indexed by 32 bits.
    if (m_packed.size() > std::numeric_limits<uint32_t>::max())
        ThrowDamagedDay(day);
    ByteReader in(m_packed);
    uint64_t count = 0;
    if (!ReadDayCount(in, count) || count > m_packed.size())
        ThrowDamagedDay(day);
    m_rows.reserve(count);
    SnapshotRow row;
    for (uint64_t i = 0; i < count; ++i) {
        const auto offset = uint32_t(in.used());
        if (!ReadDayRow(in, row.game, day, row))
            ThrowDamagedDay(day);
        m_rows.push_back({ row.game, offset });
    }
    if (!in.atEnd())
        ThrowDamagedDay(day);
}

SnapshotRow StagedDayRows::at(size_t index) const
{
    // A row's game is a step from the row before's: the ID kept for it.
    ByteReader in(std::string_view(m_packed).substr(m_rows[index].offset));
    SnapshotRow row;
    // Read once whole when the holder was made: it reads again.
    (void)ReadDayRow(in, index == 0 ? 0 : m_rows[index - 1].game, m_day, row);
    return row;
}

std::optional<SnapshotRow> StagedDayRows::find(uint32_t game) const
{
    const auto found = std::lower_bound(m_rows.begin(), m_rows.end(), game,
        [](const Row &row, uint32_t id) { return row.game < id; });
    if (found == m_rows.end() || found->game != game)
        return std::nullopt;
    return at(size_t(found - m_rows.begin()));
}
