// One staged day as readers keep it: its packed bytes and, per row, the game
// ID and where the row starts (8 bytes a row), a row decoded only when asked
// for. Unpacked, a day of 20,000 rows took about 3 MB; so about 0.8 MB, and a
// service may hold up to 128 staged days while an import runs.
#pragma once

#include "archive/SnapshotReader.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

class StagedDayRows
{
public:
    // Reads every row once, so that a damaged day is known here and not at
    // some later page: throws ArchiveError when the bytes do not read.
    StagedDayRows(std::string packed, int32_t day);

    [[nodiscard]] int32_t day() const { return m_day; }
    [[nodiscard]] size_t size() const { return m_rows.size(); }
    // The rows' names point into the bytes held here: a row is valid while
    // this holder lives and is not moved.
    [[nodiscard]] SnapshotRow at(size_t index) const;
    [[nodiscard]] std::optional<SnapshotRow> find(uint32_t game) const;

    // The rows in game ID order, each decoded as the walk reaches it.
    class const_iterator
    {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = SnapshotRow;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = SnapshotRow;

        const_iterator() = default;
        const_iterator(const StagedDayRows *rows, size_t index)
            : m_rows(rows)
            , m_index(index)
        {
        }
        SnapshotRow operator*() const { return m_rows->at(m_index); }
        const_iterator &operator++()
        {
            ++m_index;
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator before = *this;
            ++m_index;
            return before;
        }
        friend bool operator==(const const_iterator &a, const const_iterator &b)
        {
            return a.m_index == b.m_index;
        }

    private:
        const StagedDayRows *m_rows = nullptr;
        size_t m_index = 0;
    };
    [[nodiscard]] const_iterator begin() const { return { this, 0 }; }
    [[nodiscard]] const_iterator end() const { return { this, size() }; }

private:
    // Side by side, so that a look-up finds where the row starts in the
    // cache line that held its ID.
    struct Row {
        uint32_t game; // as the rows give them: increasing in a sound day
        uint32_t offset; // where the row starts in m_packed
    };

    std::string m_packed;
    int32_t m_day;
    std::vector<Row> m_rows;
};
