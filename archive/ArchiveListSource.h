// The ranking lists read from an archive: the day index for the rankings,
// and titles and records only for the games a list shows, all in one read
// transaction, so a list made while an import commits is of one state.
#pragma once

#include "archive/ArchiveReader.h"
#include "archive/RankingLists.h"

class ArchiveListSource : public ListSource
{
public:
    explicit ArchiveListSource(ArchiveReader &reader)
        : m_reader(reader)
        , m_snapshot(reader)
    {
    }

    std::vector<DaySummary> days() override { return m_reader.daySummaries(); }
    std::vector<DayRank> ranking(int32_t day, size_t limit) override
    {
        return m_reader.dayRanking(day, limit);
    }
    std::vector<GameTitle> titles(std::span<const uint32_t> games) override
    {
        return m_reader.titles(games);
    }
    std::vector<int32_t> years(std::span<const uint32_t> games) override
    {
        return m_reader.years(games);
    }
    std::vector<Record> records(int32_t day, std::span<const uint32_t> games) override
    {
        return m_reader.dayRecords(day, games);
    }

private:
    ArchiveReader &m_reader;
    ArchiveReader::Snapshot m_snapshot; // used on the thread that made it
};
