// Archive benchmark (run by hand): generated daily snapshots imported by
// plotwise-archive and by the two peers a user would write instead (pandas;
// Python's csv module with sqlite3), side by side on the same files: time,
// peak memory, bytes on disk and bytes per record. Then one more day into
// the archive, the reading of day rankings from the day index, and the
// history-page latency of the service.
// With --long-days, one more day also goes into an archive of that many days
// (3650: ten years) of --long-games games (3000 unless given).
//   bench_archive [--days N] [--games N] [--requests N] [--long-days N] [--long-games N]
//                 [--runs N] [--keep DIR] [--no-peers] [--no-csv-peer] [--all-from-start]
// --all-from-start generates days of all the games from the first day on, as
// deep at the end as at the start: the cost of a day against the archive's
// age alone.
// It also prints what a day costs our import early, midway and at the end
// (ImportDayCosts.h), the median of --runs imports (3 unless given; the
// table shows the run of the median time).
#include "BenchProcess.h"
#include "BenchRun.h"
#include "ImportDayCosts.h"
#include "archive/ArchiveReader.h"
#include "archive/Sqlite.h"

#include <httplib.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

uintmax_t BytesOnDisk(const std::string &path)
{
    uintmax_t bytes = 0;
    for (const char *suffix : { "", "-wal" }) {
        std::error_code error;
        const auto size = fs::file_size(path + suffix, error);
        bytes += error ? 0 : size;
    }
    return bytes;
}

int64_t Count(const std::string &database, const char *sql)
{
    Database db(database, SQLITE_OPEN_READONLY);
    return db.number(sql);
}

// Reads every file once, so that every contender finds them in the page cache.
uintmax_t WarmFiles(const fs::path &folder, size_t *files)
{
    uintmax_t bytes = 0;
    std::vector<char> buffer(1 << 20);
    for (const auto &entry : fs::directory_iterator(folder)) {
        std::FILE *file = std::fopen(entry.path().c_str(), "rb");
        if (!file)
            continue;
        while (const size_t n = std::fread(buffer.data(), 1, buffer.size(), file))
            bytes += n;
        std::fclose(file);
        ++*files;
    }
    return bytes;
}

// Generates days + 1 daily snapshots of games into snapshots, unless there
// already, and moves the last day aside into extra: the day added afterwards.
bool Generate(const fs::path &snapshots, const fs::path &extra, int days, int games, bool allFromStart = false)
{
    if (fs::exists(snapshots))
        return true;
    if (!GenerateSnapshots(snapshots, days + 1, games, allFromStart))
        return false;
    std::vector<fs::path> files;
    for (const auto &entry : fs::directory_iterator(snapshots))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    fs::create_directories(extra);
    fs::rename(files.back(), extra / files.back().filename());
    return true;
}

// Imports one more day into an archive that holds days days of games games.
void PrintOneMoreDay(const std::string &archive, const fs::path &extra, int days, int games)
{
    const auto before = Count(archive, "SELECT sum(records) FROM days");
    Outcome next = RunChild({ PLOTWISE_ARCHIVE_PATH, "import", archive, extra.string() });
    const auto records = Count(archive, "SELECT sum(records) FROM days");
    next.ok = next.ok && records > before; // a day refused is no day put in
    std::printf("one more day into the archive of %d days of %d games (%lld records, %.1f MB):"
                " %.2f s, CPU %.2f s (goal: at most 1 s), peak %.1f MB%s\n",
        days, games, static_cast<long long>(records), double(BytesOnDisk(archive)) / 1e6,
        next.seconds, next.cpuSeconds, next.peakKiB / 1024.0, next.ok ? "" : " FAILED");
}

struct Row {
    const char *name;
    Outcome run;
    uintmax_t bytes = 0;
    int64_t records = 0;
};

void PrintRow(const Row &row)
{
    std::printf("%-18s %8.2f s %8.2f s %9.1f MB %10.1f MB %8lld %9.2f\n", row.name,
        row.run.seconds, row.run.cpuSeconds,
        row.run.peakKiB / 1024.0, double(row.bytes) / 1e6, static_cast<long long>(row.records),
        row.records ? double(row.bytes) / double(row.records) : 0.0);
}

} // namespace

// Day rankings read in this process as the ranking lists read them: the top
// 100 and the whole day, of up to 200 days in a random order, each read once.
void PrintDayRankings(const std::string &archive)
{
    ArchiveReader reader(archive);
    std::vector<DaySummary> days = reader.daySummaries();
    std::shuffle(days.begin(), days.end(), std::mt19937(11));
    days.resize(std::min<size_t>(days.size(), 200));
    std::vector<double> top, whole;
    size_t games = 0;
    for (const DaySummary &day : days) {
        auto start = Clock::now();
        const auto best = reader.dayRanking(day.day, 100);
        top.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        start = Clock::now();
        const auto all = reader.dayRanking(day.day);
        whole.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        games = std::max(games, all.size());
        if (best.empty() || all.size() != size_t(day.records))
            std::printf("day ranking of %d: WRONG SIZE\n", day.day);
    }
    if (days.empty())
        return;
    std::sort(top.begin(), top.end());
    std::sort(whole.begin(), whole.end());
    const auto at = [](const std::vector<double> &v, double q) { return v[size_t(q * double(v.size() - 1))]; };
    std::printf("day ranking, %zu days read once each: top 100 p50 %.3f ms, p99 %.3f ms (goal < 1 ms);"
                " whole day (up to %zu games) p50 %.3f ms, p99 %.3f ms (goal < 5 ms)\n",
        days.size(), at(top, 0.5), at(top, 0.99), games, at(whole, 0.5), at(whole, 0.99));
}

int main(int argc, char **argv)
{
    int days = 100, games = 30000, requests = 5000, longDays = 0, longGames = 3000, runs = 3;
    bool peers = true, csvPeer = true, allFromStart = false;
    std::string keep;
    if (!ReadOptions("bench_archive", argc, argv,
            { { "--days", &days }, { "--games", &games }, { "--requests", &requests },
                { "--long-days", &longDays }, { "--long-games", &longGames }, { "--runs", &runs } },
            { { "--no-peers", &peers }, { "--no-csv-peer", &csvPeer },
                { "--all-from-start", &allFromStart, true } },
            &keep)) {
        std::fprintf(stderr, "usage: bench_archive [--days N] [--games N] [--requests N]"
                             " [--long-days N] [--long-games N] [--runs N] [--keep DIR] [--no-peers]"
                             " [--no-csv-peer] [--all-from-start]\n");
        return 2;
    }
    const fs::path work = WorkFolder("bench_archive", keep);
    const fs::path snapshots = work / "snapshots", extra = work / "next-day";

    if (!Generate(snapshots, extra, days, games, allFromStart))
        return 1;
    size_t fileCount = 0;
    const uintmax_t csvBytes = WarmFiles(snapshots, &fileCount);

    std::vector<Row> rows;
    const std::string archive = (work / "archive.pwa").string();
    // Each import into a new archive, after the writes of the one before
    // have reached the disk.
    std::vector<Outcome> imports;
    std::vector<ImportDayCosts> costs;
    for (int run = 0; run < runs; ++run) {
        for (const char *suffix : { "", "-wal", "-shm" })
            fs::remove(archive + suffix);
        ::sync();
        const std::string timesPath = (work / ("import-times-" + std::to_string(run + 1) + ".txt")).string();
        setenv("PLOTWISE_ARCHIVE_TIMES", timesPath.c_str(), 1);
        imports.push_back(RunChild({ PLOTWISE_ARCHIVE_PATH, "import", archive, snapshots.string() }));
        unsetenv("PLOTWISE_ARCHIVE_TIMES");
        if (!imports.back().ok) {
            std::fprintf(stderr, "bench_archive: the import failed\n");
            return 1;
        }
        costs.push_back(ReadImportDayCosts(timesPath));
    }
    std::vector<Outcome> byTime = imports;
    std::sort(byTime.begin(), byTime.end(), [](const Outcome &a, const Outcome &b) { return a.seconds < b.seconds; });
    Row ours { "plotwise-archive", byTime[byTime.size() / 2] };
    ours.bytes = BytesOnDisk(archive);
    ours.records = Count(archive, "SELECT sum(records) FROM days");
    rows.push_back(ours);
    if (peers) {
        for (const auto &[name, script] :
            { std::pair { "pandas peer", "peer_pandas.py" }, std::pair { "csv peer", "peer_csv.py" } }) {
            if (!csvPeer && std::string_view(script) == "peer_csv.py")
                continue;
            const std::string database = (work / (std::string(script) + ".db")).string();
            fs::remove(database);
            ::sync();
            Row peer { name,
                RunChild({ "/usr/bin/python3", std::string(PLOTWISE_BENCH_DIR) + "/" + script,
                    snapshots.string(), database }) };
            if (!peer.run.ok) {
                std::fprintf(stderr, "bench_archive: %s failed\n", name);
                return 1;
            }
            peer.bytes = BytesOnDisk(database);
            peer.records = Count(database, "SELECT count(*) FROM ranks");
            rows.push_back(peer);
        }
    }

    std::printf("\n%zu generated snapshot files of %d days (%d games, %s), %.1f MB of CSV, read from"
                " the page cache; %lld records\n",
        fileCount, days, games, allFromStart ? "all of them every day" : "rows growing from 3/5 to all of them",
        double(csvBytes) / 1e6, static_cast<long long>(ours.records));
    std::printf("import             %10s %10s %12s %13s %8s %9s\n", "time", "CPU time",
        "peak memory", "on disk", "records", "bytes/rec");
    for (const Row &row : rows)
        PrintRow(row);
    std::printf("plotwise-archive: %s", ours.run.out.c_str());
    std::vector<int64_t> dayRecords;
    {
        Database db(archive, SQLITE_OPEN_READONLY);
        Statement select(db.handle(), "SELECT records FROM days ORDER BY day");
        while (select.step())
            dayRecords.push_back(select.integer(0));
    }
    if (runs > 1) {
        std::printf("plotwise-archive, %d imports:", runs);
        for (const Outcome &run : imports)
            std::printf(" %.2f s", run.seconds);
        std::printf("\n");
    }
    PrintDayCosts(costs, dayRecords);
    if (peers) {
        const Row &pandas = rows[1];
        const Row &csv = csvPeer ? rows[2] : rows[1];
        const char *csvName = csvPeer ? "csv peer" : "(no csv peer)";
        std::printf("time:   pandas peer / ours %.1fx (goal >= 10x), %s / ours %.1fx\n",
            pandas.run.seconds / ours.run.seconds, csvName, csv.run.seconds / ours.run.seconds);
        std::printf("CPU:    pandas peer / ours %.1fx, %s / ours %.1fx\n",
            pandas.run.cpuSeconds / ours.run.cpuSeconds, csvName, csv.run.cpuSeconds / ours.run.cpuSeconds);
        std::printf("memory: ours / pandas peer %.3f (goal <= 0.1, and at most 100 MB), ours / %s %.3f\n",
            double(ours.run.peakKiB) / double(pandas.run.peakKiB), csvName,
            double(ours.run.peakKiB) / double(csv.run.peakKiB));
        std::printf("size:   %.2f bytes per record (goal <= 12); pandas peer / ours %.1fx, %s"
                    " / ours %.1fx\n",
            double(ours.bytes) / double(ours.records),
            (double(pandas.bytes) / double(pandas.records)) / (double(ours.bytes) / double(ours.records)),
            csvName, (double(csv.bytes) / double(csv.records)) / (double(ours.bytes) / double(ours.records)));
    }

    PrintOneMoreDay(archive, extra, days, games);
    std::printf("then %.2f bytes per record on disk\n",
        double(BytesOnDisk(archive)) / double(Count(archive, "SELECT sum(records) FROM days")));
    PrintDayRankings(archive);
    if (longDays > 0) {
        // The daily use: one more day into an archive of years of days.
        const fs::path longWork = work / ("long-" + std::to_string(longDays) + "x" + std::to_string(longGames));
        if (!Generate(longWork / "snapshots", longWork / "next-day", longDays, longGames))
            return 1;
        const std::string longArchive = (longWork / "archive.pwa").string();
        fs::remove(longArchive);
        const Outcome built = RunChild(
            { PLOTWISE_ARCHIVE_PATH, "import", longArchive, (longWork / "snapshots").string() });
        if (!built.ok) {
            std::fprintf(stderr, "bench_archive: the import of %d days failed\n", longDays);
            return 1;
        }
        std::printf("%d days of %d games imported in %.1f s, CPU %.1f s, peak %.1f MB\n", longDays,
            longGames, built.seconds, built.cpuSeconds, built.peakKiB / 1024.0);
        PrintOneMoreDay(longArchive, longWork / "next-day", longDays, longGames);
    }

    // History pages from the service over one keep-alive connection: every
    // page asked once to warm up, then timed at the client (an upper bound
    // of the time at the service: loopback round trips included).
    const RunningService server = StartService(archive, (work / "serve.out").string());
    if (server.port == 0) {
        std::fprintf(stderr, "bench_archive: the service did not start\n");
        return 1;
    }
    std::vector<int64_t> ids;
    {
        Database db(archive, SQLITE_OPEN_READONLY);
        Statement select(db.handle(), "SELECT game, blocks FROM games ORDER BY random() LIMIT 500");
        while (select.step()) {
            const int64_t pages = select.integer(1) + 1;
            for (int64_t page = 1; page <= pages && ids.size() < 4000; page += std::max<int64_t>(1, pages / 3))
                ids.push_back(select.integer(0) * 1000 + page);
        }
    }
    httplib::Client client("127.0.0.1", server.port);
    client.set_keep_alive(true);
    client.set_tcp_nodelay(true);
    const auto target = [](int64_t key) {
        return "/xmlapi/boardgame/" + std::to_string(key / 1000) + "?historical=1&page="
            + std::to_string(key % 1000);
    };
    for (const int64_t key : ids)
        client.Get(target(key).c_str());
    std::vector<double> micros;
    std::mt19937 pick(7);
    int failures = 0;
    for (int i = 0; i < requests; ++i) {
        const int64_t key = ids[pick() % ids.size()];
        const auto start = Clock::now();
        const auto answer = client.Get(target(key).c_str());
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        failures += !answer || answer->status != 200;
    }
    StopService(server);
    std::sort(micros.begin(), micros.end());
    const auto at = [&](double q) { return micros[size_t(q * double(micros.size() - 1))] / 1000.0; };
    std::printf("history page, warm, %d requests on one keep-alive connection (%zu pages of %zu"
                " games): p50 %.3f ms, p99 %.3f ms, max %.3f ms (goal p99 < 2 ms)%s\n",
        requests, ids.size(), size_t(500), at(0.5), at(0.99), at(1.0),
        failures ? " SOME FAILED" : "");
    if (keep.empty())
        fs::remove_all(work);
    return 0;
}
