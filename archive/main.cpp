// plotwise-archive: imports ranking snapshot files into an archive, serves
// it as the service's history, search and geeklist requests, and prints its
// ranking lists.
#include "archive/Commands.h"
#include "archive/ListQuery.h"
#include "service/CachePaths.h"
#include "service/HttpCaching.h"
#include "service/LocalHttp.h"

#include <charconv>
#include <cstdio>
#include <cstring>

namespace {

// Enough for a cache in front, or a club behind one address; a host that
// opens hundreds leaves room for the others.
constexpr int DefaultPerAddress = 256;

// Long enough for any client on a slow line to send a request's few
// hundred bytes; a client trickling its head gets no longer.
constexpr int DefaultHeadSeconds = 30;

void Usage(std::FILE *to)
{
    std::fprintf(to,
        "usage: plotwise-archive import ARCHIVE SNAPSHOT...\n"
        "       plotwise-archive serve ARCHIVE [--listen ADDRESS] [--port N] [--log FILE]\n"
        "                              [--max-age SECONDS] [--per-address N]\n"
        "                              [--head-seconds N]\n"
        "       plotwise-archive info ARCHIVE\n"
        "       plotwise-archive copy ARCHIVE DEST\n"
        "       plotwise-archive top ARCHIVE [--day DAY] [--count N] [--year Y]\n"
        "       plotwise-archive movers ARCHIVE --from DAY --to DAY [--top N] [--count K] [--year Y]\n"
        "       plotwise-archive --help | --version\n"
        "  import  adds snapshot files to ARCHIVE, creating it when absent; a SNAPSHOT\n"
        "          is a CSV file named by its day (YYYY-MM-DD...) or a folder of them.\n"
        "          Exit status 0: all imported; 1: some refused; 2: a bad command line\n"
        "          or an archive that cannot be opened or written.\n"
        "  serve   answers history pages, name searches, geeklists and the ranking\n"
        "          lists (/lists/top, /lists/movers, /lists/days) over HTTP on\n"
        "          127.0.0.1, or the numeric IPv4 or IPv6 address --listen gives (for\n"
        "          public use, behind an HTTP cache or reverse proxy), on port %d by\n"
        "          default (0 picks a free one), and prints \"listening on\n"
        "          ADDRESS:PORT\" once ready; --log FILE appends one line per request.\n"
        "          Answers carry ETag and Last-Modified and are answered 304 to a\n"
        "          matching If-None-Match or If-Modified-Since; caches may keep a full\n"
        "          history page --max-age seconds (default 86400), other answers 300\n"
        "          seconds. At most --per-address connections from one address\n"
        "          (default %d, 0: any number), the others closed at once; request\n"
        "          lines over 8 KB are answered 414, headers over 32 KB 431, a GET\n"
        "          with a body over 1 KB 413, and the connection closed; a connection\n"
        "          that has not sent a request's whole head --head-seconds (default\n"
        "          30, 0: no bound) after opening or after its last answer is closed.\n"
        "  info    prints the snapshots, games, records and bytes on disk.\n"
        "  copy    writes a consistent copy of ARCHIVE to DEST, also while an import\n"
        "          runs: the days committed when it starts, ready to be served\n"
        "          read-only (on another host, behind a cache).\n"
        "  top     prints CSV: day,rank,id,name,year,average,bayes_average,users_rated,\n"
        "          the N best-ranked games of DAY (default: the last imported day) in\n"
        "          rank order, ties by ID; --count N (default 100, 0: all); --year Y:\n"
        "          the N best-ranked games of year Y, with their overall rank.\n"
        "  movers  prints CSV: from,to,id,name,year,rank_from,rank_to,change,status for\n"
        "          every game ranked within the top N (--top, default 100, 0: all) on\n"
        "          either day. A rank is empty on a day the game has none; change is\n"
        "          rank_from - rank_to (positive: climbed). status: entered, left, up,\n"
        "          down, same, or \"not listed\" when the game has no rank on a day whose\n"
        "          list stops short of its rank on the other day. Rows by change, the\n"
        "          largest first, those without one last; ties by rank_to, rank_from,\n"
        "          ID. --count K keeps the first K rows (default 0: all). --year Y: only\n"
        "          games of year Y take part, the top N being theirs; ranks stay overall.\n"
        "          For both, a DAY (YYYY-MM-DD) the archive lacks stands for the latest\n"
        "          imported day before it, and every row shows the day used; names and\n"
        "          years are the games' latest, values as the snapshot gave them. Exit\n"
        "          status 2: a bad command line, an archive that cannot be read, or no\n"
        "          day imported at or before DAY.\n",
        int(SampleServiceDefaultPort), DefaultPerAddress);
}

int BadCommandLine(const char *problem)
{
    Complain(problem);
    Usage(stderr);
    return 2;
}

} // namespace

void Complain(const std::string &message)
{
    std::fprintf(stderr, "plotwise-archive: %s\n", message.c_str());
}

int main(int argc, char *argv[])
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--help") {
        Usage(stdout);
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        std::printf("plotwise-archive %s\n", PLOTWISE_VERSION);
        return 0;
    }
    if (args.size() < 2)
        return BadCommandLine("a command and an archive are needed");
    const std::string &command = args[0], &archive = args[1];
    if (command == "import") {
        if (args.size() < 3)
            return BadCommandLine("import: no snapshot files named");
        return RunImport(archive, { args.begin() + 2, args.end() });
    }
    if (command == "info") {
        if (args.size() != 2)
            return BadCommandLine("info: only the archive is named");
        return RunInfo(archive);
    }
    if (command == "copy") {
        if (args.size() != 3)
            return BadCommandLine("copy: the archive and the copy are named");
        return RunCopy(archive, args[2]);
    }
    if (command == "serve") {
        int port = SampleServiceDefaultPort;
        std::string log, address = "127.0.0.1";
        int64_t maxAge = DefaultFullPageMaxAgeSeconds;
        int perAddress = DefaultPerAddress;
        int headSeconds = DefaultHeadSeconds;
        for (size_t i = 2; i < args.size(); ++i) {
            if (i + 1 >= args.size())
                return BadCommandLine("serve: an option without its value");
            const std::string &value = args[++i];
            if (args[i - 1] == "--port") {
                const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), port);
                if (ec != std::errc() || end != value.data() + value.size() || port < 0
                    || port > 65535)
                    return BadCommandLine("serve: --port takes a number from 0 to 65535");
            } else if (args[i - 1] == "--max-age") {
                const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), maxAge);
                if (ec != std::errc() || end != value.data() + value.size() || maxAge < 0)
                    return BadCommandLine("serve: --max-age takes a number of seconds");
            } else if (args[i - 1] == "--per-address") {
                const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), perAddress);
                if (ec != std::errc() || end != value.data() + value.size() || perAddress < 0)
                    return BadCommandLine("serve: --per-address takes a number of connections");
            } else if (args[i - 1] == "--head-seconds") {
                const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), headSeconds);
                if (ec != std::errc() || end != value.data() + value.size() || headSeconds < 0)
                    return BadCommandLine("serve: --head-seconds takes a number of seconds");
            } else if (args[i - 1] == "--listen") {
                if (ListenAddressText(value).empty())
                    return BadCommandLine("serve: --listen takes a numeric IPv4 or IPv6 address");
                address = value;
            } else if (args[i - 1] == "--log") {
                log = value;
            } else {
                return BadCommandLine(("serve: unknown option " + args[i - 1]).c_str());
            }
        }
        return RunServe(archive, address, port, log, maxAge, size_t(perAddress), unsigned(headSeconds));
    }
    if (command == "top" || command == "movers") {
        ListParameters options;
        for (size_t i = 2; i < args.size(); i += 2) {
            if (!args[i].starts_with("--"))
                return BadCommandLine((command + ": an option --NAME VALUE expected, not " + args[i]).c_str());
            if (i + 1 >= args.size())
                return BadCommandLine((command + ": an option without its value").c_str());
            options.emplace_back(args[i].substr(2), args[i + 1]);
        }
        try {
            return command == "top" ? RunTop(archive, ReadTopQuery(options, "--"))
                                    : RunMovers(archive, ReadMoversQuery(options, "--"));
        } catch (const ListError &e) {
            return BadCommandLine((command + ": " + e.what()).c_str());
        }
    }
    return BadCommandLine(("unknown command " + command).c_str());
}
