// plotwise-sample-data: writes a folder of made-up service answers (history
// pages, geeklists, a search index) and a matching "nodes.txt". The output
// depends only on the options, so tests and benchmarks can regenerate it.
#include "PositiveOption.h"
#include "SampleDataLayout.h"
#include "SampleRng.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Family {
    const char *name;
    const char *id;
    const char *friendlyName;
    int rankDivisor;
};

const Family Families[] = {
    { "strategygames", "5497", "Strategy Game Rank", 4 },
    { "familygames", "5499", "Family Game Rank", 6 },
    { "thematic", "5496", "Thematic Rank", 5 },
};

struct Membership {
    int family; // index into Families
    int usersForRank; // ranked once this many users rated; < 0: never
};

// Names are XML text as the service sends it: "&amp;", numeric references
// and escaped markup stay as they are in the files.
struct Game {
    QByteArray id;
    QByteArray primaryName;
    QByteArray otherName;
    int finalUsers;
    double targetAverage;
    double weight;
    std::vector<Membership> families;
};

std::vector<Game> MakeGames(int count)
{
    std::vector<Game> games = {
        { "1001", "Harbour &amp; Hinterland", "Hafen und Hinterland", 18000, 7.4, 2.66,
            { { 0, 30 }, { 1, -1 } } },
        { "1002", "Caf&#233; Cartographers", "Les Cartographes du Caf&#233;", 6500, 7.0, 1.9,
            { { 1, 60 } } },
        { "1003", "Lanterns over Lindqvist", "&lt;i&gt;Lanterns&lt;/i&gt; over Lindqvist", 900, 6.6,
            3.1, { { 0, 200 }, { 2, 400 } } },
        { "1004", "Copper &amp; Coal Barons", "Kupfer &amp; Kohle", 32000, 7.9, 3.7,
            { { 0, 30 } } },
        { "1005", "Sk&#229;l! Mead Hall Feasts", "Sk&#229;l!", 2500, 6.3, 1.6,
            { { 1, 100 }, { 2, -1 } } },
        { "1006", "Merchant&#39;s Moon", "Le Marchand de Lune &#8364;", 12000, 7.2, 2.4,
            { { 0, 50 }, { 1, 80 } } },
    };
    Rng rng(4242);
    for (int i = int(games.size()); i < count; ++i) {
        const QByteArray number = QByteArray::number(i + 1);
        games.push_back({ QByteArray::number(1001 + i), "Sample Game " + number,
            "Beispielspiel " + number, 500 + int(rng.next() % 30000), 6.0 + 2.0 * rng.uniform(),
            1.5 + 2.5 * rng.uniform(), { { 0, 40 } } });
    }
    games.resize(std::size_t(count));
    return games;
}

QByteArray Fixed(double value, int decimals)
{
    return QByteArray::number(value, 'f', decimals);
}

// Plain writes: the folder is made again from the same options at will, and
// syncing each of a benchmark's thousand pages to disk would take most of
// the run. A failed write ends the program with an error.
void WriteFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(content) != content.size() || !file.flush()) {
        std::fprintf(stderr, "plotwise-sample-data: cannot write %s: %s\n", qPrintable(path),
            qPrintable(file.errorString()));
        std::exit(1);
    }
}

QByteArray GameHeader(const Game &game, int yearPublished)
{
    return "  <boardgame objectid=\"" + game.id + "\">\n    <yearpublished>"
        + QByteArray::number(yearPublished) + "</yearpublished>\n    <name primary=\"true\" "
        + "sortindex=\"1\">" + game.primaryName + "</name>\n    <name sortindex=\"1\">"
        + game.otherName + "</name>\n";
}

const char XmlDeclaration[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";

// One day's record as the history pages hold it. The values follow slow random
// walks: users grow, the average drifts towards the game's level, and the rank
// follows the Bayesian average once enough users rated.
class History
{
public:
    History(const Game &game, int days)
        : m_game(game)
        , m_days(days)
        , m_rng(game.id.toULongLong() * 7919)
        , m_average(game.targetAverage + 0.6)
        , m_weight(game.weight)
    {
    }

    void appendRecord(QByteArray &out, int day, QDate date)
    {
        const double progress = double(day) / m_days;
        const int users = int(m_game.finalUsers * std::pow(progress, 0.7));
        m_average += (m_game.targetAverage - m_average) * 0.01 + (m_rng.uniform() - 0.5) * 0.02;
        m_stddev = std::clamp(m_stddev + (m_rng.uniform() - 0.5) * 0.004, 1.0, 2.0);
        m_weight = std::clamp(m_weight + (m_rng.uniform() - 0.5) * 0.004, 1.0, 5.0);
        const double bayes = (users * m_average + 200 * 5.5) / (users + 200);
        const int rank = 1 + int(30000 * std::exp(-3.0 * (bayes - 5.5)));
        const QByteArray bayesText = Fixed(bayes, 5);

        out += "      <ratings date=\"" + date.toString(u"yyyyMMdd").toLatin1() + "\">\n";
        out += "        <usersrated>" + QByteArray::number(users) + "</usersrated>\n";
        out += "        <average>" + Fixed(m_average, 5) + "</average>\n";
        out += "        <bayesaverage>" + bayesText + "</bayesaverage>\n";
        out += "        <stddev>" + Fixed(m_stddev, 4) + "</stddev>\n";
        out += "        <median>0</median>\n        <ranks>\n";
        appendRank(
            out, "subtype", "1", "boardgame", "Board Game Rank", users >= 30, rank, bayesText);
        for (const Membership &m : m_game.families) {
            const Family &f = Families[m.family];
            appendRank(out, "family", f.id, f.name, f.friendlyName,
                m.usersForRank >= 0 && users >= m.usersForRank, 1 + rank / f.rankDivisor,
                bayesText);
        }
        out += "        </ranks>\n";
        out += "        <owned>" + QByteArray::number(int(users * 2.8)) + "</owned>\n";
        out += "        <wishing>" + QByteArray::number(int(users * 0.65)) + "</wishing>\n";
        out += "        <numcomments>" + QByteArray::number(int(users * 0.35)) + "</numcomments>\n";
        out += "        <averageweight>" + (users < 10 ? QByteArray("0") : Fixed(m_weight, 4))
            + "</averageweight>\n      </ratings>\n";
    }

private:
    static void appendRank(QByteArray &out, const char *type, const char *id, const char *name,
        const char *friendlyName, bool ranked, int rank, const QByteArray &bayes)
    {
        const QByteArray value = ranked ? QByteArray::number(rank) : QByteArray("Not Ranked");
        out += QByteArray("          <rank type=\"") + type + "\" id=\"" + id + "\" name=\"" + name
            + "\" friendlyname=\"" + friendlyName + "\" value=\"" + value + "\" bayesaverage=\""
            + (ranked ? bayes : QByteArray("Not Ranked")) + "\"/>\n";
    }

    const Game &m_game;
    int m_days;
    Rng m_rng;
    double m_average;
    double m_stddev = 1.4;
    double m_weight;
};

// Every game's history ends on the same fixed day, so the output never
// depends on when it was made.
const QDate LastDay(2024, 12, 31);

QDate FirstDay(int days)
{
    return LastDay.addDays(1 - days);
}

int YearPublished(QDate firstDay, std::size_t index)
{
    return firstDay.year() - int(index % 3);
}

void WriteHistory(const QString &dir, const Game &game, std::size_t index, int pages, int perPage)
{
    const int days = pages * perPage;
    const QDate first = FirstDay(days);
    const QByteArray header = GameHeader(game, YearPublished(first, index));
    const QString id = QString::fromLatin1(game.id);
    History history(game, days);
    for (int page = 1; page <= pages; ++page) {
        QByteArray out;
        out.reserve(perPage * 1100 + 512);
        out += XmlDeclaration;
        out += "<boardgames>\n" + header + "    <statistics page=\"" + QByteArray::number(page)
            + "\">\n";
        for (int i = 0; i < perPage; ++i) {
            const int day = (page - 1) * perPage + i;
            history.appendRecord(out, day, first.addDays(day));
        }
        out += "    </statistics>\n  </boardgame>\n</boardgames>\n";
        WriteFile(SampleHistoryPagePath(dir, id, page), out);
    }
    WriteFile(SampleEndPagePath(dir, id),
        XmlDeclaration + ("<boardgames>\n" + header + "  </boardgame>\n</boardgames>\n"));
}

struct ListItem {
    const char *subtype;
    QByteArray id;
    QByteArray name;
};

void WriteGeeklist(
    const QString &dir, const char *number, const char *title, const std::vector<ListItem> &items)
{
    QByteArray out = XmlDeclaration;
    out += QByteArray("<geeklist id=\"") + number + "\">\n  <title>" + title
        + "</title>\n  <username>sampleuser</username>\n";
    int itemId = 9000;
    for (const ListItem &item : items) {
        out += "  <item id=\"" + QByteArray::number(++itemId) + "\" objecttype=\"thing\" subtype=\""
            + item.subtype + "\" objectid=\"" + item.id + "\" objectname=\"" + item.name
            + "\" username=\"sampleuser\" postdate=\"Sat, 01 Jun 2024 10:00:00 +0000\">\n"
            + "    <body>Why " + item.name + " is on this list.</body>\n  </item>\n";
    }
    out += "</geeklist>\n";
    WriteFile(SampleGeeklistPath(dir, QString::fromLatin1(number)), out);
}

const ListItem Expansion { "boardgameexpansion", "9001", "Harbour &amp; Hinterland: Lighthouses" };

void WriteGeeklists(const QString &dir, const std::vector<Game> &games)
{
    std::vector<ListItem> all;
    for (const Game &g : games)
        all.push_back({ "boardgame", g.id, g.primaryName });
    all.insert(all.begin() + std::ptrdiff_t(all.size() / 2), Expansion);
    WriteGeeklist(dir, "500", "Every sample game", all);

    // Games, an expansion and an accessory between them, one game twice.
    const auto game = [&](std::size_t i) {
        const Game &g = games[i % games.size()];
        return ListItem { "boardgame", g.id, g.primaryName };
    };
    WriteGeeklist(dir, "501", "Mixed bag",
        { game(0), Expansion, game(2), { "boardgameaccessory", "9002", "Deluxe Coin Set" },
            game(0) });
    WriteGeeklist(dir, "502", "Nothing here yet", {});
}

void WriteSearchIndex(const QString &dir, const std::vector<Game> &games, QDate firstDay)
{
    QByteArray out = XmlDeclaration;
    out += "<boardgames>\n";
    for (std::size_t i = 0; i < games.size(); ++i)
        out += GameHeader(games[i], YearPublished(firstDay, i)) + "  </boardgame>\n";
    out += "  <boardgame objectid=\"" + Expansion.id + "\">\n    <name primary=\"true\">"
        + Expansion.name + "</name>\n    <yearpublished>2019</yearpublished>\n"
        + "  </boardgame>\n</boardgames>\n";
    WriteFile(SampleSearchIndexPath(dir), out);
}

void WriteNodes(const QString &dir)
{
    QByteArray out;
    for (const char *node : { "average", "bayesaverage", "usersrated", "stddev", "median", "owned",
             "wishing", "numcomments", "averageweight" })
        out += QByteArray(node) + '\n';
    out += "ranks/rank|name=boardgame\n";
    for (const Family &f : Families)
        out += QByteArray("ranks/rank|name=") + f.name + '\n';
    WriteFile(QDir(dir).filePath(QStringLiteral("nodes.txt")), out);
}

[[noreturn]] void Usage(int code)
{
    std::fprintf(code ? stderr : stdout,
        "usage: plotwise-sample-data [--games N] [--pages N] [--records N] DIR\n"
        "  --games N    number of games (default 6; the first six have fixed names)\n"
        "  --pages N    history pages holding records, per game (default 40)\n"
        "  --records N  daily records a page (default 100)\n"
        "Each game also gets a last page without statistics.\n");
    std::exit(code);
}

int PositiveOption(const QStringList &args, qsizetype &i)
{
    if (i + 1 >= args.size())
        Usage(2);
    const QByteArray text = args[++i].toLatin1();
    const std::optional<int> value = PositiveNumber(std::string_view(text.data(), size_t(text.size())));
    if (!value)
        Usage(2);
    return *value;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int games = 6, pages = 40, records = 100;
    QString dir;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == u"--games")
            games = PositiveOption(args, i);
        else if (args[i] == u"--pages")
            pages = PositiveOption(args, i);
        else if (args[i] == u"--records")
            records = PositiveOption(args, i);
        else if (args[i] == u"--help")
            Usage(0);
        else if (args[i].startsWith(u'-') || !dir.isEmpty())
            Usage(2);
        else
            dir = args[i];
    }
    if (dir.isEmpty())
        Usage(2);

    const std::vector<Game> list = MakeGames(games);
    for (std::size_t i = 0; i < list.size(); ++i)
        WriteHistory(dir, list[i], i, pages, records);
    WriteGeeklists(dir, list);
    WriteSearchIndex(dir, list, FirstDay(pages * records));
    WriteNodes(dir);
    return 0;
}
