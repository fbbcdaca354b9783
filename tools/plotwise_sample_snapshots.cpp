// plotwise-sample-snapshots: writes a folder of made-up daily ranking
// snapshot files in the format of the community archives, with the faults
// real ones carry: a BOM, CRLF line ends, quoted names with commas, quotes,
// non-ASCII letters and trailing blanks, a duplicated ID, a file cut off
// part-way, a last line without its line end, years 0, negative and ancient,
// users rated above 65,535, 2 to 5 decimals, both file-name forms and a
// missing day; and the shape of real days: files that grow as games join,
// games that climb and fall for months at a time, scrapes that stop early
// (alone on their day, or beside a full scrape of the day) and days with two
// or three files. The output depends only on the options.
#include "PositiveOption.h"
#include "SampleRng.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Game {
    uint32_t id;
    std::string name;
    int year;
    int enterDay; // first day the game is ranked
    uint32_t users;
    int64_t average; // in 1e-5
    int64_t bayes; // in 1e-5
    uint32_t rank = 0;
    int64_t trend = 0; // the average's drift a day, in 1e-5, for months at a time
};

// Names that test the reader: commas, quotes, markup characters, non-ASCII
// letters, trailing blanks; and years from antiquity to none.
struct Special {
    const char *name;
    int year;
};
const Special Specials[] = {
    { "Ports, Pirates & Plunder", 2014 },
    { "The \"Quiet\" Harbour", 2016 },
    { "Sk\xC3\xA5l! Mead Hall Feasts", 0 },
    { "Lanterns over Lindqvist  ", -2200 },
    { "Caf\xC3\xA9 <Cartographers>", 1475 },
    { "Tea, \"Toast\", and Trains", 2019 },
    { "\xE6\x9D\xB1\xE4\xBA\xAC Tiles", -500 },
    { "Working Title", 2020 }, // renamed half-way (below)
};
constexpr size_t Renamed = 7;
const char RenamedTo[] = "Finished Title";

// The file's civil date from a day count since 1970-01-01.
void CivilFromDays(int64_t z, int &y, int &m, int &d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

constexpr int64_t FirstDay = 17086; // 2016-10-12

std::string DateText(int64_t day)
{
    int y, m, d;
    CivilFromDays(day, y, m, d);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
    return text;
}

// A value in 1e-5 written with digits decimals (2 to 5), rounded half up.
void AppendFixed(std::string &out, int64_t value, int digits)
{
    int64_t scale = 1;
    for (int i = digits; i < 5; ++i)
        scale *= 10;
    const int64_t rounded = (value + scale / 2) / scale;
    int64_t unit = 1;
    for (int i = 0; i < digits; ++i)
        unit *= 10;
    out += std::to_string(rounded / unit);
    out += '.';
    const std::string fraction = std::to_string(rounded % unit);
    out.append(size_t(digits) - fraction.size(), '0');
    out += fraction;
}

void AppendQuoted(std::string &out, std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

// allFromStart: every game ranked from the first day, so that every day has
// as many rows (a benchmark's shape that tells the archive's age apart from
// the days' growth).
std::vector<Game> MakeGames(int count, int days, bool allFromStart)
{
    Rng rng(20161012);
    std::vector<Game> games;
    uint32_t id = 1;
    for (int i = 0; i < count; ++i) {
        id += 1 + uint32_t(rng.next() % 40);
        Game g;
        g.id = id;
        if (size_t(i) < std::size(Specials)) {
            g.name = Specials[i].name;
            g.year = Specials[i].year;
        } else {
            g.name = "Sample Game " + std::to_string(i + 1);
            g.year = 1950 + int(rng.next() % 75);
        }
        // Three in five are ranked from the first day (all, allFromStart); the
        // rest join evenly.
        const int joiners = count - count * 3 / 5;
        g.enterDay = allFromStart || i < count * 3 / 5 ? 0 : (i - count * 3 / 5) * days / (joiners + 1);
        g.users = i == 0 ? 70000 : 30 + uint32_t(rng.next() % 20000);
        g.average = 550000 + int64_t(rng.next() % 300000);
        g.bayes = 0;
        games.push_back(g);
    }
    return games;
}

// Days a trend lasts before the game takes another.
constexpr int TrendDays = 120;

// A game's next trend: most drift slowly, one in 40 is a hit or a flop that
// moves thousands of ranks in a few months.
int64_t NextTrend(Rng &rng)
{
    const uint64_t draw = rng.next();
    const int64_t reach = draw % 40 == 0 ? 500 : 80;
    return int64_t((draw >> 8) % uint64_t(2 * reach + 1)) - reach;
}

// One day's moves: users grow, averages follow their trends and drift, the
// Bayesian average follows, and ranks are the order of the Bayesian averages.
// Trends come from a generator of their own, so that the day-to-day values
// draw the same numbers as before trends were added.
void Advance(std::vector<Game> &games, std::vector<Game *> &ranked, int dayIndex, Rng &rng,
    Rng &trends)
{
    ranked.clear();
    for (Game &g : games) {
        if (g.enterDay > dayIndex)
            continue;
        // Games change trends on days of their own, not all at once.
        if (dayIndex == g.enterDay || (dayIndex + int(g.id % TrendDays)) % TrendDays == 0)
            g.trend = NextTrend(trends);
        g.users += uint32_t(rng.next() % 12) + uint32_t(g.trend > 0 ? g.trend / 40 : 0);
        g.average = std::clamp<int64_t>(
            g.average + g.trend + int64_t(rng.next() % 2001) - 1000, 100000, 990000);
        g.bayes = (int64_t(g.users) * g.average + 1000 * 550000) / (int64_t(g.users) + 1000);
        ranked.push_back(&g);
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const Game *a, const Game *b) {
        return a->bayes != b->bayes ? a->bayes > b->bayes : a->id < b->id;
    });
    for (size_t i = 0; i < ranked.size(); ++i)
        ranked[i]->rank = uint32_t(i + 1);
}

enum Column { Id, Name, Year, Rank, Average, Bayes, Users, Url, Thumbnail };
const std::vector<Column> LayoutA = { Id, Name, Year, Rank, Average, Bayes, Users, Url, Thumbnail };
const std::vector<Column> LayoutB = { Rank, Id, Name, Year, Bayes, Average, Users, Thumbnail, Url };
const char *ColumnTitle(Column c)
{
    static const char *const titles[]
        = { "ID", "Name", "Year", "Rank", "Average", "Bayes average", "Users rated", "URL", "Thumbnail" };
    return titles[c];
}

struct FileStyle {
    bool bom;
    bool crlf;
    bool lastLineEnd;
    int averageDigits;
    int bayesDigits;
    const std::vector<Column> *layout;
};

void AppendRow(std::string &out, const Game &g, const std::string &name, const FileStyle &style)
{
    bool first = true;
    for (const Column c : *style.layout) {
        if (!first)
            out += ',';
        first = false;
        switch (c) {
        case Id: out += std::to_string(g.id); break;
        case Name: AppendQuoted(out, name); break;
        case Year: out += std::to_string(g.year); break;
        case Rank: out += std::to_string(g.rank); break;
        case Average: AppendFixed(out, g.average, style.averageDigits); break;
        case Bayes: AppendFixed(out, g.bayes, style.bayesDigits); break;
        case Users: out += std::to_string(g.users); break;
        case Url: out += "/boardgame/" + std::to_string(g.id); break;
        case Thumbnail: out += "/pic" + std::to_string(g.id % 1000) + ".jpg"; break;
        }
    }
}

std::string Snapshot(const std::vector<Game *> &ranked, const FileStyle &style, bool duplicate)
{
    const char *lineEnd = style.crlf ? "\r\n" : "\n";
    std::string out;
    out.reserve(ranked.size() * 80 + 256);
    if (style.bom)
        out += "\xEF\xBB\xBF";
    for (size_t i = 0; i < style.layout->size(); ++i)
        out += std::string(i ? "," : "") + ColumnTitle((*style.layout)[i]);
    for (const Game *g : ranked) {
        out += lineEnd;
        AppendRow(out, *g, g->name, style);
    }
    // The list shifted while it was scraped: a game met again further down,
    // with other values. Its first row stands.
    if (duplicate && ranked.size() > 5) {
        Game again = *ranked[4];
        again.rank = uint32_t(ranked.size());
        again.users += 3;
        again.average += 777;
        out += lineEnd;
        AppendRow(out, again, again.name, style);
    }
    if (style.lastLineEnd)
        out += lineEnd;
    return out;
}

void WriteFile(const std::filesystem::path &path, const std::string &bytes)
{
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()
        || std::fclose(file) != 0) {
        std::fprintf(stderr, "plotwise-sample-snapshots: cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

[[noreturn]] void Usage(int code)
{
    std::fprintf(code ? stderr : stdout,
        "usage: plotwise-sample-snapshots [--days N] [--games N] [--all-from-start] DIR\n"
        "  --days N   daily snapshots from 2016-10-12 (default 30; one day is missing\n"
        "             when N >= 10; some days have two or three files, of which\n"
        "             the deepest stands; one day in 53 has only a scrape that\n"
        "             stopped early)\n"
        "  --games N  games in all (default 300): three in five ranked from the first\n"
        "             day, the others joining over the days, so files grow\n");
    std::exit(code);
}

int PositiveOption(int argc, char **argv, int &i)
{
    if (i + 1 >= argc)
        Usage(2);
    const std::optional<int> value = PositiveNumber(argv[++i]);
    if (!value)
        Usage(2);
    return *value;
}

} // namespace

int main(int argc, char **argv)
{
    int days = 30, count = 300;
    bool allFromStart = false;
    std::string dir;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "--days")
            days = PositiveOption(argc, argv, i);
        else if (arg == "--games")
            count = PositiveOption(argc, argv, i);
        else if (arg == "--all-from-start")
            allFromStart = true;
        else if (arg == "--help")
            Usage(0);
        else if (arg.starts_with('-') || !dir.empty())
            Usage(2);
        else
            dir = arg;
    }
    if (dir.empty())
        Usage(2);
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        std::fprintf(stderr, "plotwise-sample-snapshots: cannot make %s\n", dir.c_str());
        return 1;
    }

    std::vector<Game> games = MakeGames(count, days, allFromStart);
    std::vector<Game *> ranked;
    Rng rng(4711), trends(19750301);
    const int missingDay = days >= 10 ? days / 2 : -1;
    const int cutDay = days >= 3 ? days * 2 / 3 : -1;
    for (int dayIndex = 0; dayIndex < days; ++dayIndex) {
        Advance(games, ranked, dayIndex, rng, trends);
        if (dayIndex == days / 2 && Renamed < games.size())
            games[Renamed].name = RenamedTo;
        if (dayIndex == missingDay)
            continue;
        const int era = dayIndex * 4 / days; // decimals change with the eras
        const FileStyle style { dayIndex % 3 == 0, dayIndex % 5 == 1, dayIndex % 4 != 2,
            5 - era, 2 + era, dayIndex < days / 2 ? &LayoutA : &LayoutB };
        std::string bytes = Snapshot(ranked, style, dayIndex % 6 == 3);
        if (dayIndex == cutDay) {
            // Cut off inside a quoted name some way down: that row is incomplete.
            const size_t at = bytes.find(",\"", bytes.size() * 2 / 5);
            if (at != std::string::npos)
                bytes.resize(at + 4);
        }
        const std::string date = DateText(FirstDay + dayIndex);
        const std::filesystem::path folder(dir);
        // A scrape that stopped early: the top 8% to 20% of the ranks, whole
        // rows, where the days around reach the full depth.
        const std::vector<Game *> top(ranked.begin(),
            ranked.begin() + std::max<ptrdiff_t>(1, ptrdiff_t(ranked.size()) * (8 + dayIndex % 13) / 100));
        const FileStyle plain { false, false, true, style.averageDigits, style.bayesDigits, style.layout };
        if (dayIndex % 53 == 27 && dayIndex != cutDay) {
            // The day's only file: the archive holds a shallow day.
            WriteFile(folder / (date + "T03-15-00.csv"), Snapshot(top, plain, false));
            continue;
        }
        if (dayIndex == 2) {
            // Three scrapes of one day, the full one first in name order.
            WriteFile(folder / (date + "T00-10-00.csv"), Snapshot(top, plain, false));
            WriteFile(folder / (date + "T23-10-00.csv"), Snapshot(top, plain, false));
        }
        if (dayIndex % 29 == 7) // a scrape after the full one that stopped early
            WriteFile(folder / (date + "T18-00-00.csv"), Snapshot(top, plain, false));
        if (dayIndex == 1) {
            // An earlier scrape of the same day, as deep, with other values:
            // the later file in name order stands for the day.
            std::vector<Game> earlier;
            for (const Game *g : ranked)
                earlier.push_back(*g);
            std::vector<Game *> earlierRanked;
            for (Game &g : earlier) {
                g.users = g.users > 5 ? g.users - 5 : 0;
                earlierRanked.push_back(&g);
            }
            WriteFile(folder / (date + "T00-30-40.csv"),
                Snapshot(earlierRanked, style, false));
        }
        WriteFile(folder / (dayIndex % 2 ? date + "T12-00-00.csv" : date + ".csv"), bytes);
    }
    return 0;
}
