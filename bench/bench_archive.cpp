// Archive benchmark (run by hand): generated daily snapshots imported by
// plotwise-archive and by the two peers a user would write instead (pandas;
// Python's csv module with sqlite3), side by side on the same files: time,
// peak memory, bytes on disk and bytes per record. Then one more day into
// the archive, the reading of day rankings from the day index, and the
// history-page latency of the service.
// With --long-days, one more day also goes into an archive of that many days
// (3650: ten years) of --long-games games (3000 unless given).
//   bench_archive [--days N] [--games N] [--requests N] [--long-days N] [--long-games N]
//                 [--keep DIR] [--no-peers] [--no-csv-peer] [--all-from-start]
// --all-from-start generates days of all the games from the first day on, as
// deep at the end as at the start: the cost of a day against the archive's
// age alone.
// It also prints what a day costs our import early, midway and at the end:
// the import's time over 128 days around the 100th and the 500th and over
// the last 128 (the last fold and the checkpoint at the end counted to them).
#include "BenchProcess.h"
#include "BenchRun.h"
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

// The cost of a day in ms around the 100th day put in, the 500th and at the
// end, from the times the import writes (PLOTWISE_ARCHIVE_TIMES): each over
// a window of 128 days, as many as the import folds at most at once. Also
// per 1,000 records (days grow as games join), the folds' share of each
// window, and the end's parts: the last fold, the freed pages given back and
// the checkpoint. records: each day's records in the order put in.
void PrintDayCosts(const std::string &timesPath, const std::vector<int64_t> &records)
{
    std::vector<double> at; // ms after each day put in; the end last
    std::vector<double> folds; // ms of folding up to each entry of at
    double folding = 0, put = 0, lastFold = 0, freed = 0, end = 0;
    std::FILE *file = std::fopen(timesPath.c_str(), "r");
    char what[16];
    double ms = 0;
    while (file && std::fscanf(file, "%15s %lf", what, &ms) == 2) {
        const std::string_view kind(what);
        if (kind == "put") {
            put = ms;
        } else if (kind == "fold") {
            folding += ms - put;
            lastFold = ms - put;
        } else if (kind == "freed") {
            freed = ms - put - lastFold;
        } else if (kind == "day" || kind == "end") {
            at.push_back(ms);
            folds.push_back(folding);
            end = ms;
        }
    }
    if (file)
        std::fclose(file);
    constexpr int Window = 128;
    const int files = int(at.size()) - 1; // days put in
    if (files < Window + 1) {
        std::printf("cost of a day: too few days to tell (%d)\n", files);
        return;
    }
    const bool perRecord = records.size() == size_t(files);
    // Days from, to counted from 1; at[i - 1] is the time after day i.
    const auto cost = [&](int from, int to) { return (at[size_t(to - 1)] - at[size_t(from - 1)]) / (to - from); };
    const auto foldShare = [&](int from, int to) {
        return (folds[size_t(to - 1)] - folds[size_t(from - 1)]) / (to - from);
    };
    // Per 1,000 records of the days put in over the window.
    const auto perThousand = [&](int from, int to) {
        int64_t sum = 0;
        for (int i = from; i < std::min(to, files); ++i)
            sum += records[size_t(i)];
        return sum > 0 ? (at[size_t(to - 1)] - at[size_t(from - 1)]) / double(sum) * 1000 : 0.0;
    };
    const auto rowsPerDay = [&](int from, int to) {
        int64_t sum = 0;
        for (int i = from; i < std::min(to, files); ++i)
            sum += records[size_t(i)];
        return double(sum) / std::max(1, std::min(to, files) - from);
    };
    std::printf("cost of a day (import time over 128 days):\n");
    double first = 0, firstPer = 0;
    const auto print = [&](const char *what, int from, int to) {
        const double day = cost(from, to);
        const double per = perRecord ? perThousand(from, to) : 0.0;
        first = first > 0 ? first : day;
        firstPer = firstPer > 0 ? firstPer : per;
        std::printf("  %-12s days %4d-%4d %6.1f ms (%.2fx), of it folding %5.1f ms", what, from, to,
            day, day / first, foldShare(from, to));
        if (perRecord)
            std::printf("; %6.0f rows a day, %.3f ms per 1,000 records (%.2fx)", rowsPerDay(from, to),
                per, per / firstPer);
        std::printf("\n");
    };
    for (const int centre : { 100, 500 }) {
        const int from = std::max(1, centre - Window / 2), to = from + Window;
        if (to <= files)
            print(("day " + std::to_string(centre)).c_str(), from, to);
    }
    print(("day " + std::to_string(files)).c_str(), files + 1 - Window, files + 1);
    const double endParts = end - at[size_t(files - 1)];
    std::printf("  the end, %.0f ms after the last day: last fold %.0f ms, freed pages given back %.0f ms,"
                " checkpoint %.0f ms; the last window without it %.1f ms a day (%.2fx)\n",
        endParts, lastFold, freed, endParts - lastFold - freed,
        (at[size_t(files - 1)] - at[size_t(files - Window)]) / (Window - 1),
        (at[size_t(files - 1)] - at[size_t(files - Window)]) / (Window - 1) / first);
    std::printf("  end / day 100 %.2fx (goal <= 1.5x)\n", cost(files + 1 - Window, files + 1) / first);
    // The same as an average from the start, the way a whole import is
    // usually quoted: the time to have put in the first N days, over N (the
    // last with the import's end).
    std::printf("cost of a day as the archive grows (import time from the start over the days so far):\n");
    const double firstAverage = at[99] / 100;
    std::vector<int> marks { 100 }; // files > 128 here
    if (files > 500)
        marks.push_back(500);
    marks.push_back(files);
    for (const int days : marks) {
        const double average = (days == files ? end : at[size_t(days - 1)]) / days;
        std::printf("  first %4d days %6.1f ms a day (%.2fx)\n", days, average, average / firstAverage);
    }
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
    int days = 100, games = 30000, requests = 5000, longDays = 0, longGames = 3000;
    bool peers = true, csvPeer = true, allFromStart = false;
    std::string keep;
    if (!ReadOptions("bench_archive", argc, argv,
            { { "--days", &days }, { "--games", &games }, { "--requests", &requests },
                { "--long-days", &longDays }, { "--long-games", &longGames } },
            { { "--no-peers", &peers }, { "--no-csv-peer", &csvPeer },
                { "--all-from-start", &allFromStart, true } },
            &keep)) {
        std::fprintf(stderr, "usage: bench_archive [--days N] [--games N] [--requests N]"
                             " [--long-days N] [--long-games N] [--keep DIR] [--no-peers]"
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
    fs::remove(archive);
    const std::string timesPath = (work / "import-times.txt").string();
    setenv("PLOTWISE_ARCHIVE_TIMES", timesPath.c_str(), 1);
    Row ours { "plotwise-archive", RunChild({ PLOTWISE_ARCHIVE_PATH, "import", archive, snapshots.string() }) };
    unsetenv("PLOTWISE_ARCHIVE_TIMES");
    if (!ours.run.ok) {
        std::fprintf(stderr, "bench_archive: the import failed\n");
        return 1;
    }
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
    PrintDayCosts(timesPath, dayRecords);
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
