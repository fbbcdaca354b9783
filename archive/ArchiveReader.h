// Reads an archive for the service, from any number of threads at once and
// while an import writes to it: every call reads in one transaction, so it
// sees whole days only, and the next call sees what was committed since;
// calls made while a Snapshot is open on their thread share its transaction.
#pragma once

#include "archive/ArchiveFormat.h"
#include "archive/DayIndex.h"
#include "archive/Record.h"
#include "archive/Sqlite.h"
#include "archive/SnapshotReader.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

class ArchiveReader
{
public:
    // Opens the archive once to check it; throws ArchiveError.
    explicit ArchiveReader(std::string path);
    ~ArchiveReader();

    class Snapshot;

    struct HistoryPage {
        GameTitle title; // the latest
        std::vector<Record> records; // in day order; empty past the last page
    };
    // Page 1 is the first, PageRecords records a page (ArchiveFormat.h);
    // nothing for a game the archive does not hold.
    [[nodiscard]] std::optional<HistoryPage> page(uint32_t game, int64_t page);

    struct Match {
        uint32_t game;
        GameTitle title;
    };
    // Games whose latest name contains every word, ignoring case, by ID.
    [[nodiscard]] std::vector<Match> search(const std::vector<std::string> &words);
    // The games' latest titles, beside games; an empty title for a game the
    // archive does not hold.
    [[nodiscard]] std::vector<GameTitle> titles(std::span<const uint32_t> games);
    // Their years alone, beside games (0 for a game the archive does not hold).
    [[nodiscard]] std::vector<int32_t> years(std::span<const uint32_t> games);

    struct Info {
        std::vector<int32_t> days; // in order
        std::vector<int64_t> dayRecords; // beside days
        int64_t records = 0;
        int64_t games = 0;
    };
    [[nodiscard]] Info readInfo();

    // Every imported day, in day order.
    [[nodiscard]] std::vector<DaySummary> daySummaries();
    // The day's games in rank order (ties by game ID); limit 0: all. Empty
    // when the day is not imported.
    [[nodiscard]] std::vector<DayRank> dayRanking(int32_t day, size_t limit = 0);
    // The games' records of the day, beside games. Throws ArchiveError when a
    // game has no record that day.
    [[nodiscard]] std::vector<Record> dayRecords(int32_t day, std::span<const uint32_t> games);

private:
    struct Staged; // staged days as read into memory, per generation
    struct Names; // every game's latest name, per generation
    struct HeldDays; // the day summaries, per generation
    class Connection;
    class Lease;

    // This thread's snapshot's connection while one is open, else an idle one.
    Lease borrow();
    void giveBack(Lease connection);
    void giveBack(std::unique_ptr<Connection> connection);
    // The staged days of the connection's open transaction.
    std::shared_ptr<const Staged> stagedFor(Connection &connection, int64_t generation);
    // Every game's latest name, read whole once per generation.
    std::shared_ptr<const Names> namesFor(Connection &connection, int64_t generation);
    // The names held for this generation, if any.
    std::shared_ptr<const Names> heldNames(int64_t generation);
    // Calls take with each game's latest title, in the order of games.
    void forEachTitle(std::span<const uint32_t> games, const std::function<void(const GameTitle &)> &take);

    std::string m_path;
    std::mutex m_mutex;
    std::vector<std::unique_ptr<Connection>> m_idle;
    std::shared_ptr<const Staged> m_staged;
    std::shared_ptr<const Names> m_names;
    std::shared_ptr<const HeldDays> m_days;
    static thread_local Snapshot *s_open; // innermost on this thread, any reader's
};

// One read transaction for several calls on this thread, so that what they
// read together is one state of the archive whatever an import commits
// meanwhile. Inside another of the same reader's it adds nothing.
class ArchiveReader::Snapshot
{
public:
    explicit Snapshot(ArchiveReader &reader);
    ~Snapshot();
    Snapshot(const Snapshot &) = delete;
    Snapshot &operator=(const Snapshot &) = delete;

private:
    friend class ArchiveReader;
    ArchiveReader &m_reader;
    std::unique_ptr<Connection> m_connection; // null inside another
    Snapshot *m_outer = nullptr;
    int m_exceptions = 0;
};

// A name folded for matching: case folded as Unicode does, UTF-8.
[[nodiscard]] std::string FoldedForSearch(std::string_view text);
