// Ranking-list benchmark (run by hand): the top of a day and the movers
// between two days asked of plotwise-archive's service (warm, one keep-alive
// client) and, in the same run, of the peer: the same questions in SQL over
// the pandas peer's table. Also the service's memory over the list requests
// and the wall time of a whole `plotwise-archive movers` command.
//   bench_lists [--days N] [--games N] [--requests N] [--peer-queries N]
//               [--keep DIR] [--no-peer]
// With --keep, what DIR already holds is used as it is: snapshots/ (else
// generated), archive.pwa (else imported), peer_pandas.py.db (else built).
#include "BenchProcess.h"
#include "BenchRun.h"
#include "archive/ArchiveReader.h"
#include "archive/Days.h"
#include "archive/Sqlite.h"

#include <httplib.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Question {
    enum Kind { Top, TopOfYear, Movers100, Movers1000, Kinds } kind;
    int32_t from = 0; // the day of a top list
    int32_t to = 0;
    int year = 0;

    std::string target() const
    {
        switch (kind) {
        case Top: return "/lists/top?day=" + IsoDay(from) + "&count=100";
        case TopOfYear: return "/lists/top?day=" + IsoDay(from) + "&count=100&year=" + std::to_string(year);
        case Movers100: return "/lists/movers?from=" + IsoDay(from) + "&to=" + IsoDay(to) + "&top=100";
        default: return "/lists/movers?from=" + IsoDay(from) + "&to=" + IsoDay(to) + "&top=1000";
        }
    }
    // A line of the peer's questions.
    std::string peerLine() const
    {
        switch (kind) {
        case Top: return "top " + IsoDay(from) + " 100";
        case TopOfYear: return "top " + IsoDay(from) + " 100 " + std::to_string(year);
        case Movers100: return "movers " + IsoDay(from) + " " + IsoDay(to) + " 100";
        default: return "movers " + IsoDay(from) + " " + IsoDay(to) + " 1000";
        }
    }
};

const char *const KindNames[] = { "top 100 of a day", "top 100 of a year", "movers, top 100",
    "movers, top 1000" };

// The fields of a CSV line, quotes undone.
std::vector<std::string> CsvFields(std::string_view line)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"')
            fields.back() += line[++i];
        else if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            fields.emplace_back();
        else
            fields.back() += c;
    }
    return fields;
}

// An answer's key fields as the peer prints them: "rank:id;..." for a top
// list, "id:rank_from:rank_to:change:status;..." for movers.
std::string AnswerKeys(const Question &question, const std::string &csv)
{
    std::string keys;
    std::istringstream lines(csv);
    std::string line;
    std::getline(lines, line); // the header
    while (std::getline(lines, line)) {
        const std::vector<std::string> f = CsvFields(line);
        const bool top = question.kind == Question::Top || question.kind == Question::TopOfYear;
        if (f.size() != (top ? 8u : 9u))
            return "(a row of " + std::to_string(f.size()) + " fields) " + line;
        keys += keys.empty() ? "" : ";";
        if (top)
            keys += f[1] + ':' + f[2];
        else
            keys += f[2] + ':' + f[5] + ':' + f[6] + ':' + f[7] + ':' + f[8];
    }
    return keys;
}

double At(std::vector<double> v, double q)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[size_t(q * double(v.size() - 1))];
}

// The days to ask about: imported, held by the peer too, and made of one file
// (of several files the archive keeps the deepest, the peer the last).
std::vector<int32_t> DaysToAsk(const std::string &archive, const fs::path &snapshots,
    const std::string &peerDatabase)
{
    std::map<int32_t, int> files;
    for (const auto &entry : fs::directory_iterator(snapshots)) {
        if (const auto day = LeadingIsoDay(entry.path().filename().string()))
            ++files[*day];
    }
    std::set<int32_t> peerDays;
    if (!peerDatabase.empty()) {
        Database db(peerDatabase, SQLITE_OPEN_READONLY);
        Statement select(db.handle(), "SELECT DISTINCT day FROM ranks");
        while (select.step()) {
            if (const auto day = LeadingIsoDay(select.text(0)))
                peerDays.insert(*day);
        }
    }
    std::vector<int32_t> days;
    ArchiveReader reader(archive);
    for (const DaySummary &day : reader.daySummaries()) {
        if (files[day.day] == 1 && (peerDatabase.empty() || peerDays.count(day.day)))
            days.push_back(day.day);
    }
    return days;
}

std::vector<Question> Questions(const std::vector<int32_t> &days, int perKind, unsigned seed)
{
    std::mt19937 pick(seed);
    std::vector<Question> questions;
    for (int i = 0; i < perKind; ++i) {
        for (int kind = 0; kind < Question::Kinds; ++kind) {
            Question q { Question::Kind(kind) };
            q.from = days[pick() % days.size()];
            do
                q.to = days[pick() % days.size()];
            while (q.to == q.from);
            if (q.to < q.from)
                std::swap(q.from, q.to);
            q.year = 1950 + int(pick() % 75);
            questions.push_back(q);
        }
    }
    return questions;
}

bool Prepare(const fs::path &work, int days, int games, bool peer, std::string *peerDatabase)
{
    const fs::path snapshots = work / "snapshots";
    if (!fs::exists(snapshots) && !GenerateSnapshots(snapshots, days, games))
        return false;
    const std::string archive = (work / "archive.pwa").string();
    if (!fs::exists(archive)) {
        const Outcome import = RunChild({ PLOTWISE_ARCHIVE_PATH, "import", archive, snapshots.string() });
        std::printf("archive imported in %.1f s\n", import.seconds);
        if (!import.ok)
            return false;
    }
    if (!peer)
        return true;
    *peerDatabase = (work / "peer_pandas.py.db").string();
    if (!fs::exists(*peerDatabase)) {
        std::printf("building the pandas peer's table ...\n");
        std::fflush(stdout);
        const Outcome built = RunChild({ "/usr/bin/python3",
            std::string(PLOTWISE_BENCH_DIR) + "/peer_pandas.py", snapshots.string(), *peerDatabase });
        std::printf("the pandas peer's table built in %.1f s, peak %.0f MB\n", built.seconds,
            built.peakKiB / 1024.0);
        if (!built.ok)
            return false;
    }
    Database db(*peerDatabase, SQLITE_OPEN_READWRITE);
    if (db.number("SELECT count(*) FROM sqlite_master WHERE name = 'ranks_day_rank'") == 0) {
        const auto start = Clock::now();
        db.exec("CREATE INDEX ranks_day_rank ON ranks(day, rank)");
        std::printf("the peer's index on (day, rank) made in %.1f s\n",
            std::chrono::duration<double>(Clock::now() - start).count());
    }
    return true;
}

// Reads a file once, so that its pages are in the page cache.
void WarmFile(const std::string &path)
{
    std::FILE *file = std::fopen(path.c_str(), "rb");
    std::vector<char> buffer(1 << 20);
    while (file && std::fread(buffer.data(), 1, buffer.size(), file) > 0) { }
    if (file)
        std::fclose(file);
}

// A whole `plotwise-archive movers` command, top 100 and top 1000, on
// pairs of the questions' days: wall times in ms per top.
void PrintMoversCommand(const std::string &archive, const std::vector<Question> &questions)
{
    std::printf("\nwhole `plotwise-archive movers` command (goal < 100 ms):\n");
    for (const char *top : { "100", "1000" }) {
        std::vector<double> ms;
        long peakKiB = 0;
        bool ok = true;
        for (size_t i = 0; i < questions.size() && ms.size() < 20; i += Question::Kinds) {
            const Outcome run = RunChild({ PLOTWISE_ARCHIVE_PATH, "movers", archive, "--from",
                IsoDay(questions[i].from), "--to", IsoDay(questions[i].to), "--top", top });
            ok = ok && run.ok && run.out.rfind("from,to,", 0) == 0;
            ms.push_back(run.seconds * 1000);
            peakKiB = std::max(peakKiB, run.peakKiB);
        }
        std::printf("  --top %-4s %zu runs: p50 %.1f ms, max %.1f ms, peak memory %.1f MB%s\n", top,
            ms.size(), At(ms, 0.5), At(ms, 1.0), peakKiB / 1024.0, ok ? "" : " SOME FAILED");
    }
}

} // namespace

int main(int argc, char **argv)
{
    int days = 1458, games = 20000, requests = 250, peerQueries = 40;
    bool peer = true;
    std::string keep;
    if (!ReadOptions("bench_lists", argc, argv,
            { { "--days", &days }, { "--games", &games }, { "--requests", &requests },
                { "--peer-queries", &peerQueries } },
            { { "--no-peer", &peer } }, &keep)) {
        std::fprintf(stderr, "usage: bench_lists [--days N] [--games N] [--requests N]"
                             " [--peer-queries N] [--keep DIR] [--no-peer]\n");
        return 2;
    }
    const fs::path work = WorkFolder("bench_lists", keep);
    std::string peerDatabase;
    if (!Prepare(work, days, games, peer, &peerDatabase)) {
        std::fprintf(stderr, "bench_lists: making the archive or the peer's table failed\n");
        return 1;
    }
    const std::string archive = (work / "archive.pwa").string();
    const std::vector<int32_t> dayList = DaysToAsk(archive, work / "snapshots", peerDatabase);
    if (dayList.size() < 2) {
        std::fprintf(stderr, "bench_lists: too few days to ask about\n");
        return 1;
    }
    const std::vector<Question> warmUp = Questions(dayList, 25, 5);
    const std::vector<Question> questions = Questions(dayList, requests, 7);
    WarmFile(archive);

    // The service: every list asked of one keep-alive client, the warm-up
    // first; timed at the client (loopback round trips included).
    const RunningService service = StartService(archive, (work / "serve.out").string());
    if (service.port == 0) {
        std::fprintf(stderr, "bench_lists: the service did not start\n");
        return 1;
    }
    const long startKiB = StatusKiB(service.pid, "VmRSS");
    httplib::Client client("127.0.0.1", service.port);
    client.set_keep_alive(true);
    client.set_tcp_nodelay(true);
    int failures = 0;
    for (const Question &q : warmUp) {
        const auto answer = client.Get(q.target());
        failures += !answer || answer->status != 200;
    }
    std::vector<double> ms[Question::Kinds];
    std::vector<std::string> ours; // the answers' keys, of the questions the peer is asked
    size_t bytes = 0;
    for (size_t i = 0; i < questions.size(); ++i) {
        const Question &q = questions[i];
        const auto start = Clock::now();
        const auto answer = client.Get(q.target());
        ms[q.kind].push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        const bool ok = answer && answer->status == 200;
        failures += !ok;
        bytes += ok ? answer->body.size() : 0;
        if (i < size_t(peerQueries) * Question::Kinds)
            ours.push_back(ok ? AnswerKeys(q, answer->body) : "(failed)");
    }
    const long peakKiB = StatusKiB(service.pid, "VmHWM"), afterKiB = StatusKiB(service.pid, "VmRSS");
    StopService(service);

    // The peer: the first questions of each kind, after a warm-up of its own.
    std::vector<double> peerMs[Question::Kinds];
    int agree = 0, asked = 0;
    if (peer) {
        WarmFile(peerDatabase);
        const std::string questionFile = (work / "peer-questions.txt").string();
        {
            std::ofstream out(questionFile);
            for (size_t i = 0; i < size_t(Question::Kinds) * 2; ++i)
                out << "warm " << warmUp[i].peerLine() << '\n';
            for (size_t i = 0; i < ours.size(); ++i)
                out << questions[i].peerLine() << '\n';
        }
        const Outcome run = RunChild({ "/usr/bin/python3",
            std::string(PLOTWISE_BENCH_DIR) + "/peer_lists_sql.py", peerDatabase, questionFile });
        std::istringstream lines(run.out);
        std::string line;
        for (size_t i = 0; i < ours.size() && std::getline(lines, line); ++i) {
            const size_t space = line.find(' ');
            peerMs[questions[i].kind].push_back(std::atof(line.c_str()));
            ++asked;
            const std::string theirs = space == std::string::npos ? "" : line.substr(space + 1);
            if (theirs == ours[i])
                ++agree;
            else if (asked - agree <= 3)
                std::printf("answers differ: %s\n  ours: %.300s\n  peer: %.300s\n",
                    questions[i].peerLine().c_str(), ours[i].c_str(), theirs.c_str());
        }
        if (!run.ok || asked < int(ours.size()))
            std::printf("the peer FAILED after %d questions\n", asked);
    }

    std::printf("\n%zu days to ask about (of one file each); %zu list requests to the service "
                "(%zu to warm up), %.1f MB answered%s\n",
        dayList.size(), warmUp.size() + questions.size(), warmUp.size(), double(bytes) / 1e6,
        failures ? ", SOME FAILED" : "");
    const double goals[] = { 1, 0, 3, 10 };
    std::printf("%-20s %20s %22s %12s %8s\n", "list", "service p50 / p99", "SQL peer p50 / p99",
        "peer / ours", "goal");
    for (int kind = 0; kind < Question::Kinds; ++kind) {
        char goal[16] = "";
        if (goals[kind] > 0)
            std::snprintf(goal, sizeof goal, "< %g ms", goals[kind]);
        std::printf("%-20s %8.3f / %7.3f ms %9.2f / %8.2f ms %11.0fx %8s\n", KindNames[kind],
            At(ms[kind], 0.5), At(ms[kind], 0.99), At(peerMs[kind], 0.5), At(peerMs[kind], 0.99),
            At(ms[kind], 0.5) > 0 ? At(peerMs[kind], 0.5) / At(ms[kind], 0.5) : 0.0, goal);
    }
    std::printf("(service: %zu requests a kind; peer: %zu questions a kind)\n", ms[0].size(),
        peerMs[0].size());
    if (peer)
        std::printf("answers the same as the peer's (ranks, IDs, changes, statuses): %d of %d\n",
            agree, asked);
    std::printf("service memory over %zu list requests: %.1f MB at the start, peak %.1f MB, "
                "%.1f MB after (goal < 100 MB)\n",
        warmUp.size() + questions.size(), startKiB / 1024.0, peakKiB / 1024.0, afterKiB / 1024.0);
    PrintMoversCommand(archive, questions);
    if (keep.empty())
        fs::remove_all(work);
    return 0;
}
