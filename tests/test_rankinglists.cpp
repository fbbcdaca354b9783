// The ranking lists' arithmetic: which games a list holds, in what order,
// with what status, and the CSV text of it, from days written as tables.
#include "archive/Days.h"
#include "archive/ListQuery.h"
#include "archive/RankingLists.h"

#include <QtTest>

#include <map>

namespace {

int32_t Day(const char *iso)
{
    return *LeadingIsoDay(iso);
}

// Days as "2020-01-01: 1=1 2=2; 2020-01-05: 2=1" (game=rank) and years as
// "1:2017 3:-500" (any other game: 2000). A day's deepest rank is its worst.
class TableSource : public ListSource
{
public:
    TableSource(const QString &days, const QString &years)
    {
        for (const QString &day : days.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QStringList parts = day.split(QLatin1Char(':'));
            std::vector<DayRank> &ranking = m_rankings[Day(parts[0].trimmed().toLatin1())];
            for (const QString &entry : parts[1].split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                const QStringList pair = entry.split(QLatin1Char('='));
                ranking.push_back({ pair[0].toUInt(), pair[1].toUInt() });
            }
            SortByRank(ranking);
        }
        for (const QString &entry : years.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            m_years[entry.section(QLatin1Char(':'), 0, 0).toUInt()] = entry.section(QLatin1Char(':'), 1).toInt();
    }

    std::vector<DaySummary> days() override
    {
        std::vector<DaySummary> days;
        for (const auto &[day, ranking] : m_rankings)
            days.push_back({ day, int64_t(ranking.size()), ranking.empty() ? 0 : ranking.back().rank });
        return days;
    }
    std::vector<DayRank> ranking(int32_t day, size_t limit) override
    {
        std::vector<DayRank> ranking = m_rankings.at(day);
        if (limit > 0 && ranking.size() > limit)
            ranking.resize(limit);
        return ranking;
    }
    std::vector<GameTitle> titles(std::span<const uint32_t> games) override
    {
        std::vector<GameTitle> titles;
        for (const uint32_t game : games) {
            const auto year = m_years.find(game);
            titles.push_back({ game == 7 ? "Seven, \"the\" game" : "Game " + std::to_string(game),
                year == m_years.end() ? 2000 : year->second });
        }
        return titles;
    }
    std::vector<Record> records(int32_t day, std::span<const uint32_t> games) override
    {
        std::vector<Record> records;
        for (const uint32_t game : games) {
            const auto ranked = std::find_if(m_rankings.at(day).begin(), m_rankings.at(day).end(),
                [&](const DayRank &r) { return r.game == game; });
            if (ranked == m_rankings.at(day).end())
                throw std::logic_error("no record");
            records.push_back({ day, ranked->rank, 100 + game, { 710, 2 }, { -5, 1 } });
        }
        return records;
    }

private:
    std::map<int32_t, std::vector<DayRank>> m_rankings;
    std::map<uint32_t, int32_t> m_years;
};

// A list's rows without the columns every row shares: for top "id,rank",
// for movers "id,rank_from,rank_to,change,status"; rows joined by ";".
QString Rows(const std::string &csv, bool movers)
{
    QStringList rows = QString::fromStdString(csv).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    rows.removeFirst();
    for (QString &row : rows) {
        const QStringList f = row.split(QLatin1Char(','));
        row = movers ? QStringList{ f[2], f[5], f[6], f[7], f[8] }.join(QLatin1Char(','))
                     : f[2] + QLatin1Char(',') + f[1];
    }
    return rows.join(QLatin1Char(';'));
}

std::optional<int32_t> OptionalYear(const QString &text)
{
    return text.isEmpty() ? std::nullopt : std::optional<int32_t>(text.toInt());
}

const char *Statuses = "2020-01-01: 1=1 2=2 3=3 4=4 5=5 6=6; 2020-01-02: 2=1 1=2 3=3 5=4 4=5 6=6";

} // namespace

class TestRankingLists : public QObject
{
    Q_OBJECT

private slots:
    void movers_data()
    {
        QTest::addColumn<QString>("days");
        QTest::addColumn<QString>("years");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("year");
        QTest::addColumn<QString>("rows");

        QTest::newRow("each status, ties of change by rank_to")
            << Statuses << "" << "2020-01-01" << "2020-01-02" << 4 << 0 << ""
            << "2,2,1,1,up;5,5,4,1,entered;3,3,3,0,same;1,1,2,-1,down;4,4,5,-1,left";
        QTest::newRow("count keeps the first rows")
            << Statuses << "" << "2020-01-01" << "2020-01-02" << 4 << 2 << "" << "2,2,1,1,up;5,5,4,1,entered";
        QTest::newRow("top 0 is every ranked game")
            << Statuses << "" << "2020-01-01" << "2020-01-02" << 0 << 0 << ""
            << "2,2,1,1,up;5,5,4,1,up;3,3,3,0,same;6,6,6,0,same;1,1,2,-1,down;4,4,5,-1,down";
        QTest::newRow("a new game entered, a game without a change last")
            << "2020-01-01: 1=1 2=2 3=3; 2020-01-02: 1=1 4=2 2=3 3=4" << "" << "2020-01-01"
            << "2020-01-02" << 3 << 0 << "" << "1,1,1,0,same;2,2,3,-1,down;3,3,4,-1,left;4,,2,,entered";
        QTest::newRow("gone from a day ranked deep enough: left; rank_to before a missing one")
            << "2020-01-01: 1=1 2=2; 2020-01-02: 1=1 3=2" << "" << "2020-01-01" << "2020-01-02" << 2
            << 0 << "" << "1,1,1,0,same;3,,2,,entered;2,2,,,left";
        QTest::newRow("short scrape on the second day: not listed, ties by rank_from")
            << "2020-01-01: 1=1 2=2 3=3 4=4 5=5; 2020-01-02: 1=1 2=2 3=3" << "" << "2020-01-01"
            << "2020-01-02" << 5 << 0 << ""
            << "1,1,1,0,same;2,2,2,0,same;3,3,3,0,same;4,4,,,not listed;5,5,,,not listed";
        QTest::newRow("short scrape on the first day: not listed")
            << "2020-01-01: 1=1 2=2; 2020-01-02: 1=1 2=2 3=3" << "" << "2020-01-01" << "2020-01-02"
            << 3 << 0 << "" << "1,1,1,0,same;2,2,2,0,same;3,,3,,not listed";
        QTest::newRow("tied ranks, then ties by ID")
            << "2020-01-01: 1=1 5=2 3=2; 2020-01-02: 1=1" << "" << "2020-01-01" << "2020-01-02" << 3
            << 0 << "" << "1,1,1,0,same;3,2,,,not listed;5,2,,,not listed";
        QTest::newRow("year: the top of that year, overall ranks")
            << "2020-01-01: 1=1 2=2 3=3 4=4 5=5; 2020-01-02: 4=1 2=2 1=3 5=4 3=5"
            << "1:2017 3:2017 4:2017" << "2020-01-01" << "2020-01-02" << 2 << 0 << "2017"
            << "4,4,1,3,entered;1,1,3,-2,down;3,3,5,-2,left";
        QTest::newRow("days missing: the latest before, backwards too")
            << "2020-01-01: 1=1 2=2; 2020-01-04: 2=1 1=2" << "" << "2020-01-06" << "2020-01-03" << 1
            << 0 << "" << "1,2,1,1,entered;2,1,2,-1,left";
    }
    void movers()
    {
        QFETCH(QString, days);
        QFETCH(QString, years);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(int, top);
        QFETCH(int, count);
        QFETCH(QString, year);
        QFETCH(QString, rows);
        TableSource source(days, years);
        const MoversQuery query{ Day(from.toLatin1()), Day(to.toLatin1()), size_t(top), size_t(count),
            OptionalYear(year) };
        QCOMPARE(Rows(MoversList(source, query), true), rows);
    }

    void top_data()
    {
        QTest::addColumn<QString>("days");
        QTest::addColumn<QString>("years");
        QTest::addColumn<QString>("day");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("year");
        QTest::addColumn<QString>("rows");

        const char *days = "2020-01-01: 1=1 2=2 3=3; 2020-01-03: 4=1 3=2 9=3 2=3 1=5";
        QTest::newRow("the last day, ties by ID") << days << "" << "" << 4 << "" << "4,1;3,2;2,3;9,3";
        QTest::newRow("count 0 is all") << days << "" << "" << 0 << "" << "4,1;3,2;2,3;9,3;1,5";
        QTest::newRow("a missing day: the latest before") << days << "" << "2020-01-02" << 2 << ""
                                                           << "1,1;2,2";
        QTest::newRow("year: its best, overall ranks")
            << days << "1:1999 2:1999 4:2001" << "2020-01-03" << 1 << "1999" << "2,3";
        QTest::newRow("year: all of it") << days << "1:1999 2:1999 4:2001" << "" << 0 << "1999"
                                         << "2,3;1,5";
    }
    void top()
    {
        QFETCH(QString, days);
        QFETCH(QString, years);
        QFETCH(QString, day);
        QFETCH(int, count);
        QFETCH(QString, year);
        QFETCH(QString, rows);
        TableSource source(days, years);
        TopQuery query{ std::nullopt, size_t(count), OptionalYear(year) };
        if (!day.isEmpty())
            query.day = Day(day.toLatin1());
        QCOMPARE(Rows(TopList(source, query), false), rows);
    }

    // The rows whole: the day used, quoted names, values as the snapshot gave them.
    void wholeRows()
    {
        TableSource source("2020-01-01: 7=1; 2020-01-05: 7=2 8=1", "7:-500");
        QCOMPARE(TopList(source, { Day("2020-01-04"), 1, std::nullopt }),
            "day,rank,id,name,year,average,bayes_average,users_rated\n"
            "2020-01-01,1,7,\"Seven, \"\"the\"\" game\",-500,7.10,-0.5,107\n");
        QCOMPARE(MoversList(source, { Day("2020-01-03"), Day("2020-01-09"), 1, 0, std::nullopt }),
            "from,to,id,name,year,rank_from,rank_to,change,status\n"
            "2020-01-01,2020-01-05,7,\"Seven, \"\"the\"\" game\",-500,1,2,-1,left\n"
            "2020-01-01,2020-01-05,8,Game 8,2000,,1,,entered\n");
        QCOMPARE(ListDaysText(source.days()), "first,2020-01-01\nlast,2020-01-05\nmissing,2020-01-02,2020-01-04\n");
    }

    void refused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("parameters");
        QTest::addColumn<QString>("reason");

        QTest::newRow("before the first day") << "movers" << QStringList{ "from", "2019-12-31", "to", "2020-01-05" }
                                              << "no day imported at or before 2019-12-31";
        QTest::newRow("not a date") << "top" << QStringList{ "day", "2020-02-30" } << "--day takes a day as YYYY-MM-DD";
        QTest::newRow("more after the date") << "top" << QStringList{ "day", "2020-01-01x" }
                                             << "--day takes a day as YYYY-MM-DD";
        QTest::newRow("a negative count") << "top" << QStringList{ "count", "-1" }
                                          << "--count takes a whole number (0: all)";
        QTest::newRow("not a year") << "movers" << QStringList{ "from", "2020-01-01", "to", "2020-01-01", "year", "20x" }
                                    << "--year takes a year, such as 2017";
        QTest::newRow("no second day") << "movers" << QStringList{ "from", "2020-01-01" }
                                       << "--to is needed: the second day";
        QTest::newRow("unknown") << "top" << QStringList{ "top", "5" } << "--top is not a parameter of this list";
        QTest::newRow("twice") << "top" << QStringList{ "count", "5", "count", "6" } << "--count is given twice";
    }
    void refused()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, parameters);
        QFETCH(QString, reason);
        ListParameters given;
        for (qsizetype i = 0; i + 1 < parameters.size(); i += 2)
            given.emplace_back(parameters[i].toStdString(), parameters[i + 1].toStdString());
        TableSource source("2020-01-01: 1=1; 2020-01-05: 1=1", "");
        try {
            if (kind == QLatin1String("top"))
                (void)TopList(source, ReadTopQuery(given, "--"));
            else
                (void)MoversList(source, ReadMoversQuery(given, "--"));
            QFAIL("the list was given");
        } catch (const ListError &e) {
            QCOMPARE(QString::fromUtf8(e.what()), reason);
        }
    }
};

QTEST_GUILESS_MAIN(TestRankingLists)
#include "test_rankinglists.moc"
